// A very long line pasted into a memo: 1,000,000 characters without a blank
// or a line break. Times the paste, a letter typed after it (with the
// window painted), and how long the draft takes to follow the letter.

#include "drafts/draft.h"
#include "gui/guard.h"
#include "save/package_reader.h"
#include "tirlada_test.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

namespace {

double ms(qint64 ns) { return double(ns) / 1e6; }

// Lets the window handle what is pending and paint itself, as it would
// before the user sees the letter.
void settle(QWidget *window)
{
    QCoreApplication::processEvents();
    window->repaint();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    TirladaApplication app(argc, argv);
    QApplication::setApplicationName(gui::kAppTitle);
    QTemporaryDir temp;
    qputenv("XDG_DATA_HOME", temp.filePath(QStringLiteral("data")).toLocal8Bit());

    for (const char *name : {"description", "Notes"}) {
        tt::Session session;
        auto *memo = session.control<QPlainTextEdit>(name);
        // The memo on its own sheet, shown.
        for (QWidget *w = memo; w; w = w->parentWidget())
            if (auto *tabs = qobject_cast<QTabWidget *>(w->parentWidget()))
                tabs->setCurrentWidget(w);
        settle(&session.window());
        memo->setFocus();

        const QString huge(1000000, QLatin1Char('w'));
        QElapsedTimer clock;
        clock.start();
        QApplication::clipboard()->setText(huge);
        QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
        settle(&session.window());
        const qint64 paste = clock.nsecsElapsed();

        qint64 worstLetter = 0;
        for (int i = 0; i < 5; ++i) {
            clock.restart();
            QTest::keyClick(memo, Qt::Key_A);
            settle(&session.window());
            worstLetter = std::max(worstLetter, clock.nsecsElapsed());
        }

        // The draft follows the last letter by itself.
        clock.restart();
        const QString expected = huge + QStringLiteral("aaaaa");
        bool followed = false;
        while (clock.elapsed() < 10000) {
            QTest::qWait(10);
            const QString draft = session.window().draftPath();
            if (draft.isEmpty() || !QFile::exists(draft))
                continue;
            const save::ReadResult read =
                save::readPackage(draft, {.decodePicture = false, .form = save::DocumentForm::Draft});
            if (read.contents && read.contents->passport.notes + read.contents->passport.description == expected) {
                followed = true;
                break;
            }
        }
        const qint64 draft = clock.nsecsElapsed();
        std::printf("long paste into %-11s paste %8.1f ms   letter after it (worst of 5) %7.1f ms (target 100)   "
                    "draft follows in %7.1f ms (target 2000)%s\n",
                    name, ms(paste), ms(worstLetter), ms(draft), followed ? "" : "  NOT FOLLOWED");
    }
    return 0;
}
