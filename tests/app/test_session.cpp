// A long session must not leak or grow: the picture loaded, removed and
// loaded again a hundred times and the passport saved ten times. The
// sanitizer run checks for leaks at exit; the ordinary run checks that the
// heap in use after the session is where it was after the first rounds.

#include "scripted_session.h"
#include "spelling/checker.h"

#include <QTemporaryDir>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define TIRLADA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TIRLADA_ASAN 1
#endif
#endif

namespace {

qint64 heapInUse() { return qint64(mallinfo2().uordblks); }

} // namespace

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void longSessionDoesNotGrow()
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
        // The seam's record of what was shown is test bookkeeping: dropped
        // before each measurement.
        modal::testing::reset();
        const qint64 before = heapInUse();

        for (int i = 0; i < 90; ++i)
            QVERIFY(tt::loadAndRemovePicture(session, photo));
        for (int i = 0; i < 9; ++i)
            QVERIFY(tt::savePassport(session, photo, dir.filePath(QStringLiteral("p%1.kwp").arg(i))));
        QCOMPARE(modal::testing::messages().size(), 9);
        modal::testing::reset();
        const qint64 after = heapInUse();
        qInfo("heap in use: %lld bytes after the warm-up, %lld after the session", before, after);

        // Nothing of the session is left in the temporary folder.
        QCOMPARE(QDir(dir.filePath(QStringLiteral("temp"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
#ifndef TIRLADA_ASAN
        // A leaked picture row or bitmap would be tens of kilobytes a round.
        QVERIFY2(after - before < 256 * 1024, qPrintable(QStringLiteral("heap grew by %1 bytes").arg(after - before)));
#else
        Q_UNUSED(after);
        Q_UNUSED(before);
#endif
        platform::testing::setTempFolder(QString());
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
