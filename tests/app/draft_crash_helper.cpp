// The first run of the crash test: a program with the real windows in which
// a full passport with a picture is typed. Once the draft holds all of it,
// the program prints "ready <draft path>" and waits to be killed.
//
// Usage: draft_crash_helper PHOTO

#include "full_passport.h"
#include "gui/guard.h"
#include "save/package_reader.h"

#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    TirladaApplication app(argc, argv);
    QApplication::setApplicationName(gui::kAppTitle);
    if (argc < 2)
        return 2;

    tt::Session session;
    tt::typeFullPassport(session, QString::fromLocal8Bit(argv[1]));
    const PassportSnapshot typed = session.window().snapshot();

    // No flush: the draft must come by itself.
    QElapsedTimer waited;
    waited.start();
    QString draft;
    for (;;) {
        QTest::qWait(50);
        draft = session.window().draftPath();
        if (!draft.isEmpty()) {
            const save::ReadResult read = save::readPackage(draft);
            if (read.contents && read.contents->passport.notes == typed.notes
                && read.contents->passport.pictureCaption == typed.pictureCaption)
                break;
        }
        if (waited.elapsed() > 30000) {
            std::fprintf(stderr, "no draft\n");
            return 1;
        }
    }
    std::printf("ready %s\n", qPrintable(draft));
    std::fflush(stdout);
    return QApplication::exec();
}
