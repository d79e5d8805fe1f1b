// A long session through the real window: the picture loaded, removed and
// loaded again a hundred times and the passport saved ten times. Every round
// works and leaves nothing behind in the temporary folder; the sanitizer run
// checks for leaks at exit. How much the heap grows is measured by the
// session benchmark (make bench), not here.

#include "scripted_session.h"
#include "spelling/checker.h"

#include <QTemporaryDir>

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void longSessionLeavesNothingBehind()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QDir dir(folder.path());
        dir.mkpath(QStringLiteral("temp"));
        platform::testing::setTempFolder(dir.filePath(QStringLiteral("temp")));
        const QString photo = tt::writeSessionPhoto(dir, 1600, 1200);

        tt::Session session;
        // The spelling dictionaries are loaded once, not during the measurement.
        spelling::sharedChecker()->waitUntilLoaded();
        tt::fillCompletePassport(session);

        // Warm-up rounds fill Qt's caches (fonts, styles) once.
        for (int i = 0; i < 10; ++i)
            QVERIFY(tt::loadAndRemovePicture(session, photo));
        QVERIFY(tt::savePassport(session, photo, dir.filePath(QStringLiteral("warm.kwp"))));
        gui::modal::testing::reset();

        for (int i = 0; i < 90; ++i)
            QVERIFY(tt::loadAndRemovePicture(session, photo));
        for (int i = 0; i < 9; ++i)
            QVERIFY(tt::savePassport(session, photo, dir.filePath(QStringLiteral("p%1.kwp").arg(i))));
        QCOMPARE(gui::modal::testing::messages().size(), 9);

        // Nothing of the session is left in the temporary folder.
        QCOMPARE(QDir(dir.filePath(QStringLiteral("temp"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
        platform::testing::setTempFolder(QString());
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
