// A picture loads off the window's thread: the window keeps answering,
// "Отмена" and Escape leave the tab as it was, and the picture's buttons
// wait for the load.

#include "core/failure.h"
#include "gui/guard.h"
#include "picture/budget.h"
#include "picture_window_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QTimer>

#include <sys/stat.h>

namespace {

// Measures the longest gap between the turns of the event loop while it
// runs: a timer that fires every 10 ms notes how long it waited. This is
// not a measure of speed: a stall of a decoder on the window's thread is
// seconds long, and 200 ms is far above what any turn of the loop takes
// even on a loaded machine.
class Ticker {
public:
    Ticker()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
        clock.start();
        timer.start();
    }
    qint64 longestGap()
    {
        tick();
        return longest;
    }

private:
    void tick() { longest = std::max(longest, clock.restart()); }
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
};

} // namespace

class TestPictureLoading : public PictureWindowFixture {
    Q_OBJECT
private:
    QFrame *indicator() { return session->window().findChild<QFrame *>(QStringLiteral("PictureBusy")); }
    QPushButton *cancelButton() { return session->window().findChild<QPushButton *>(QStringLiteral("PictureCancel")); }

    // A named pipe: its reader waits until the test writes, as a file on a
    // stalled drive keeps a load waiting.
    QString pipe(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile::remove(path);
        if (mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            qFatal("cannot make the pipe %s", qPrintable(path));
        return path;
    }
    // Lets the waiting load go on with bytes.
    static void release(const QString &pipePath, const QByteArray &bytes)
    {
        QFile writer(pipePath);
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.write(bytes);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The 8 KB arithmetic-coded file that once held the window for 47 s:
    // the event loop turns all along, and the file is refused as too big.
    void windowAnswersWhileLoading()
    {
        const QImage before = bitmap();
        const QString path = put(QStringLiteral("arith.jpg"), fixtures::arithmeticHollow(65500, false, 8000));
        Ticker ticker;
        gui::modal::testing::queueFileName(path);
        QTest::mouseClick(addImg(), Qt::LeftButton);
        waitForLoad();
        QVERIFY2(ticker.longestGap() < 200, qPrintable(QString::number(ticker.longestGap())));
        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text,
                 gui::errorBoxText(gui::failureText(Failure(
                     FailureCode::PictureTooBig, {.width = 65500, .height = 65500, .limit = picture::kPixelsAlways}))));
        verifyNoPictureControls();
        QCOMPARE(bitmap(), before);
    }

    // A load that waits for its file: after 0.3 s the indicator shows
    // "Отмена"; the buttons wait; "Отмена" or Escape end the load, and
    // the tab is as it was, even once the file comes.
    void cancelLeavesTabUnchanged_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Отмена") << false;
        QTest::newRow("Escape") << true;
    }
    void cancelLeavesTabUnchanged()
    {
        QFETCH(bool, escape);
        session->window().activateWindow();
        const QImage before = bitmap();
        const QString path = pipe(QStringLiteral("slow.jpg"));
        const QString other = put(QStringLiteral("other.jpg"), fixtures::cjpeg(fixtures::pattern(64, 64), {}));
        const QByteArray late = fixtures::cjpeg(fixtures::pattern(640, 480), {});
        // From here on the test itself does nothing that takes long.
        Ticker ticker;
        gui::modal::testing::queueFileName(path);
        QTest::mouseClick(addImg(), Qt::LeftButton);
        QVERIFY(session->window().pictureLoading());
        QVERIFY(!addImg()->isEnabled());
        QVERIFY(!delImg()->isEnabled());
        QVERIFY(!indicator()->isVisible());
        QTRY_VERIFY(indicator()->isVisible());
        QCOMPARE(cancelButton()->text(), QStringLiteral("Отмена"));
        // Another picture meanwhile (a drop) waits: nothing starts.
        session->window().loadPictureFile(other);
        if (escape)
            QTest::keyClick(&session->window(), Qt::Key_Escape);
        else
            QTest::mouseClick(cancelButton(), Qt::LeftButton);
        QVERIFY(!session->window().pictureLoading());
        QVERIFY(!indicator()->isVisible());
        verifyNoPictureControls();

        // The file comes after all: its picture is not applied.
        release(path, late);
        QTest::qWait(300);
        QVERIFY2(ticker.longestGap() < 200, qPrintable(QString::number(ticker.longestGap())));
        QVERIFY(gui::modal::testing::messages().isEmpty());
        verifyNoPictureControls();
        QCOMPARE(box()->geometry(), QRect(23, 30, 300, 300));
        QCOMPARE(bitmap(), before);
    }

    // Closing the window ends a load under way.
    void closingCancels()
    {
        const QString path = pipe(QStringLiteral("closing.jpg"));
        gui::modal::testing::queueFileName(path);
        QTest::mouseClick(addImg(), Qt::LeftButton);
        QVERIFY(session->window().pictureLoading());
        QVERIFY(session->window().close());
        QVERIFY(!session->window().pictureLoading());
        release(path, fixtures::cjpeg(fixtures::pattern(640, 480), {}));
        QTest::qWait(100);
        QVERIFY(!session->window().snapshot().hasPicture);
    }
};

QTEST_MAIN(TestPictureLoading)
#include "test_picture_loading.moc"
