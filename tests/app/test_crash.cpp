// A crash loses nothing: a program with a full passport typed in is killed
// with SIGKILL, and the next start restores the passport from its draft.

#include "drafts/draft.h"
#include "full_passport.h"
#include "gui/guard.h"
#include "scripted_session.h"

#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/types.h>

namespace {

// The mean difference of the two pictures' channels, 0 to 255.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT
private slots:
    void killedProgramsPassportIsRestored()
    {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        const QString data = temp.filePath(QStringLiteral("data"));
        qputenv("XDG_DATA_HOME", data.toLocal8Bit());
        // The same data folder as the program's.
        QApplication::setApplicationName(gui::kAppTitle);
        const QString photo = tt::writeSessionPhoto(QDir(temp.path()), 640, 480);

        QProcess first;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
        first.setProcessEnvironment(environment);
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(QStringLiteral(DRAFT_CRASH_HELPER), {photo});
        QVERIFY(first.waitForStarted());
        QByteArray line;
        while (!line.endsWith('\n') && first.state() == QProcess::Running && first.waitForReadyRead(60000))
            line += first.readAll();
        QVERIFY2(line.startsWith("ready "), line.constData());
        const QString draft = QString::fromLocal8Bit(line.mid(6).trimmed());
        QVERIFY(QFile::exists(draft));

        // While that program runs, its draft is its own.
        QVERIFY(drafts::claimOrphanDrafts(drafts::draftFolder()).empty());

        ::kill(pid_t(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFile::exists(draft));

        // What was typed, typed again here to compare.
        PassportSnapshot typed;
        {
            tt::Session typing;
            tt::typeFullPassport(typing, photo);
            typed = typing.window().snapshot();
        }

        // The next start.
        tt::Session next;
        gui::modal::testing::queueAnswer(gui::modal::Answer::Yes);
        next.window().offerDraftRecovery();
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        QCOMPARE(gui::modal::testing::lastMessage().text, QStringLiteral("Восстановить несохраненный паспорт работы?"));

        PassportSnapshot restored = next.window().snapshot();
        QVERIFY(restored.hasPicture);
        QCOMPARE(restored.picture.size(), typed.picture.size());
        // The picture went through its JPEG export once.
        QVERIFY2(meanDifference(restored.picture, typed.picture) < 4.0,
                 qPrintable(QString::number(meanDifference(restored.picture, typed.picture))));
        restored.picture = typed.picture;
        // The draft's file now stands for the picture the user loaded.
        QVERIFY(!restored.pictureJpeg.isEmpty());
        restored.pictureJpeg.clear();
        QCOMPARE(restored, typed);

        // Unsaved still: the draft stays until saved or given up.
        QCOMPARE(next.window().draftPath(), draft);
        QVERIFY(QFile::exists(draft));
    }
};

QTEST_MAIN(TestCrash)
#include "test_crash.moc"
