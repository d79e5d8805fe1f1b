// Loading a picture through the window: what the picture tab shows for
// each kind of file, good and bad, and what it exports.

#include "core/failure.h"
#include "gui/guard.h"
#include "picture/budget.h"
#include "picture/picture_size.h"
#include "picture_window_fixture.h"

#include <QFile>
#include <QGroupBox>

#include <jerror.h>

namespace {

enum class After { Unchanged, Half, Loaded };

QByteArray withByte(QByteArray bytes, qsizetype at, char value)
{
    bytes[at] = value;
    return bytes;
}

// The SOS header of the scan after the first one gets Ss > Se.
QByteArray badSecondScan(const QByteArray &progressive)
{
    const QByteArray sos("\xFF\xDA", 2);
    const qsizetype first = progressive.indexOf(sos);
    const qsizetype second = progressive.indexOf(sos, first + 2);
    if (second < 0)
        return {};
    const int components = uchar(progressive[second + 4]);
    QByteArray bytes = progressive;
    bytes[second + 5 + 2 * components] = 63;    // spectral start
    bytes[second + 5 + 2 * components + 1] = 0; // spectral end
    return bytes;
}

// A progressive 4:4:4 JPEG that declares side x side pixels.
QByteArray enormousProgressive(int side)
{
    return fixtures::jpegDeclaring(fixtures::cjpeg(fixtures::pattern(64, 64), {"-progressive", "-sample", "1x1"}), side,
                                   side);
}

} // namespace

Q_DECLARE_METATYPE(After)

class TestPictureWindow : public PictureWindowFixture {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void loadsPicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("colour 640x480") << QSize(640, 480) << QStringList{};
        QTest::newRow("greyscale") << QSize(1024, 768) << QStringList{"-grayscale"};
        QTest::newRow("progressive") << QSize(200, 600) << QStringList{"-progressive"};
        QTest::newRow("small, kept as is") << QSize(299, 100) << QStringList{};
        QTest::newRow("1000x1") << QSize(1000, 1) << QStringList{};
        QTest::newRow("1x1000") << QSize(1, 1000) << QStringList{};
    }
    void loadsPicture()
    {
        QFETCH(QSize, size);
        QFETCH(QStringList, options);
        const QByteArray jpeg = fixtures::cjpeg(fixtures::pattern(size.width(), size.height()), options);
        load(put(QStringLiteral("photo.JPG"), jpeg));
        QVERIFY(gui::modal::testing::messages().isEmpty());
        const QSize shown = picture::targetSize(size.width(), size.height());
        verifyLoadedControls(shown);
        QCOMPARE(bitmap(), fixtures::fullDecodeThenSample(jpeg, shown));
        if (options.contains(QStringLiteral("-grayscale")))
            for (int x = 0; x < shown.width(); x += 17)
                QVERIFY(qGray(bitmap().pixel(x, 7)) == qRed(bitmap().pixel(x, 7))
                        && qRed(bitmap().pixel(x, 7)) == qBlue(bitmap().pixel(x, 7)));
    }

    // A phone photo stored sideways is shown upright, in a box of the
    // upright shape, and exported as the reference pipeline makes it.
    void loadsOrientedPhoto()
    {
        const QByteArray jpeg =
            fixtures::setOrientation(fixtures::exifTagged(fixtures::cjpeg(fixtures::pattern(640, 480), {})), 6);
        load(put(QStringLiteral("phone.jpg"), jpeg));
        QVERIFY(gui::modal::testing::messages().isEmpty());
        verifyLoadedControls(QSize(225, 300));
        const QImage reference = fixtures::sample(fixtures::upright(fixtures::djpegFull(jpeg), 6), QSize(225, 300));
        QCOMPARE(bitmap(), reference);
        const QString exported = dir.filePath(QStringLiteral("image.jpg"));
        QVERIFY(session->window().writePicture(exported));
        QFile file(exported);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == fixtures::exportOf(reference));
    }

    // A PNG screenshot is shown over white and exported like a photo.
    void loadsPng()
    {
        const QImage screen = fixtures::translucentPattern(1280, 720);
        load(put(QStringLiteral("screen.PNG"), fixtures::png(screen)));
        QVERIFY(gui::modal::testing::messages().isEmpty());
        verifyLoadedControls(QSize(300, 169));
        const QImage reference = fixtures::sample(fixtures::overWhite(screen), QSize(300, 169));
        QCOMPARE(bitmap(), reference);
        QCOMPARE(bitmap().pixel(150, 84), qRgb(255, 255, 255)); // the transparent square
        const QString exported = dir.filePath(QStringLiteral("image.jpg"));
        QVERIFY(session->window().writePicture(exported));
        QFile file(exported);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == fixtures::exportOf(reference));
    }

    void loadsCmyk()
    {
        load(put(QStringLiteral("print.jpg"), fixtures::cmykRedBlue(600, 200, fixtures::Cmyk::AdobeYcck)));
        QVERIFY(gui::modal::testing::messages().isEmpty());
        verifyLoadedControls(QSize(300, 100));
        QVERIFY(qRed(bitmap().pixel(20, 50)) > 240 && qBlue(bitmap().pixel(20, 50)) < 15);
        QVERIFY(qBlue(bitmap().pixel(280, 50)) > 240 && qRed(bitmap().pixel(280, 50)) < 15);
    }

    // A picture that is not square fills the top left of the frame; the rest
    // shows the group box's background, not white.
    void nonSquareSitsTopLeft()
    {
        QImage dark(200, 100, QImage::Format_RGB32);
        dark.fill(qRgb(20, 40, 60));
        load(put(QStringLiteral("wide.jpg"), fixtures::cjpeg(dark, {})));
        verifyLoadedControls(QSize(200, 100));
        auto *group = session->control<QGroupBox>("GroupBox3");
        const QImage shot = group->grab().toImage();
        const qreal ratio = shot.devicePixelRatio();
        auto at = [&](int x, int y) { return QColor(shot.pixel(int(x * ratio), int(y * ratio))); };
        QVERIFY(qAbs(at(23 + 100, 30 + 50).red() - 20) < 8);
        const QColor outside = at(23 + 250, 30 + 250);
        QVERIFY(outside != QColor(Qt::white));
        QCOMPARE(outside, group->palette().color(QPalette::Window));
    }

    // Each bad file gives its message in the error box and leaves the
    // documented state.
    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: the file does not exist
        QTest::addColumn<QString>("message");  // empty: no error box
        QTest::addColumn<After>("after");
        QTest::addColumn<QSize>("shown");

        const QByteArray good = fixtures::cjpeg(fixtures::pattern(640, 480), {});
        const qsizetype data = fixtures::firstScanDataOffset(good);
        const QByteArray progressive = fixtures::cjpeg(fixtures::pattern(640, 480), {"-progressive"});
        const QSize none(300, 300), shown(300, 225);
        // A picture declaring more pixels than its file may, refused at its
        // header, in the words of the error box.
        const auto tooBig = [](qint64 width, qint64 height) {
            return gui::failureText(Failure(FailureCode::PictureTooBig,
                                            {.width = width, .height = height, .limit = picture::kPixelsAlways}));
        };

        QTest::newRow("missing") << QByteArray() << QString() << After::Unchanged << none;
        QTest::newRow("empty") << QByteArray("") << QStringLiteral("Floating point division by zero")
                               << After::Unchanged << none;
        QTest::newRow("text named .jpg") << QByteArray("just some text\r\n") << jpegError(JERR_NO_SOI)
                                         << After::Unchanged << none;
        QTest::newRow("GIF named .png") << QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00", 13)
                                        << jpegError(JERR_NO_SOI) << After::Unchanged << none;
        const QByteArray png = fixtures::png(fixtures::pattern(640, 480));
        QTest::newRow("PNG too large") << fixtures::pngDeclaring(png, 20000, 20000) << tooBig(20000, 20000)
                                       << After::Unchanged << none;
        QTest::newRow("PNG cut in its data")
            << png.left(png.size() / 2)
            << QStringLiteral("PNG error: the picture data cannot be read (the file ends too soon)") << After::Half
            << shown;
        QTest::newRow("cut after 1 byte") << good.left(1) << jpegError(JERR_NO_SOI) << After::Unchanged << none;
        QTest::newRow("cut after the start marker")
            << good.left(2) << jpegError(JERR_NO_IMAGE) << After::Unchanged << none;
        QTest::newRow("cut in the tables") << good.left(100) << jpegError(JERR_NO_IMAGE) << After::Unchanged << none;
        // A sound header with the data cut short: shown as far as decoded.
        QTest::newRow("cut before the data") << good.left(data) << QString() << After::Loaded << shown;
        QTest::newRow("cut in the data") << good.left(data + (good.size() - data) / 3) << QString() << After::Loaded
                                         << shown;
        QTest::newRow("cut before the end marker") << good.left(good.size() - 2) << QString() << After::Loaded << shown;
        QTest::newRow("progressive cut in the data")
            << progressive.left(progressive.size() / 2) << QString() << After::Loaded << shown;
        // A sound header, then a codec error: the half-state. libjpeg's
        // full decode ends in that error, even where it comes after the
        // picture data.
        QTest::newRow("unknown marker inside the data")
            << withByte(withByte(good, data + (good.size() - data) / 2, char(0xFF)),
                        data + (good.size() - data) / 2 + 1, char(0x05))
            << jpegError(JERR_UNKNOWN_MARKER) << After::Half << shown;
        QTest::newRow("scan bomb") << fixtures::hollowProgressive(12000, 12000, 3000) << tooBig(12000, 12000)
                                   << After::Unchanged << none;
        QTest::newRow("scans past the budget")
            << fixtures::hollowProgressive(4000, 3000, 60)
            << gui::failureText(Failure(FailureCode::PictureTooCostly, {.limit = picture::kWorkAlways})) << After::Half
            << shown;
        QTest::newRow("8 KB arithmetic-coded 65500x65500")
            << fixtures::arithmeticHollow(65500, false, 8000) << tooBig(65500, 65500) << After::Unchanged << none;
        QTest::newRow("bad marker after the data")
            << withByte(good, good.size() - 1, char(0x05)) << jpegError(JERR_UNKNOWN_MARKER) << After::Half << shown;
        QTest::newRow("bad marker between scans")
            << badSecondScan(progressive) << jpegError(JERR_BAD_PROGRESSION) << After::Half << shown;
        // Over the pixels of its size a picture is refused at its header; in
        // a file large enough (padded to 1.2 MB), one whose coefficients need
        // more than the decoder's memory fails when decoded.
        QTest::newRow("enormous progressive")
            << enormousProgressive(65000) << tooBig(65000, 65000) << After::Unchanged << none;
        QTest::newRow("progressive over the memory limit")
            << fixtures::app1Padding(enormousProgressive(16384), 19, 1, 1) << jpegError(JERR_NO_BACKING_STORE)
            << After::Half << QSize(300, 300);
    }
    void badFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(After, after);
        QFETCH(QSize, shown);

        QString path = dir.filePath(QStringLiteral("missing.jpg"));
        if (bytes.isNull())
            message = QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(path);
        else
            path = put(QStringLiteral("bad.jpg"), bytes);
        const QImage before = bitmap();

        load(path);

        const auto messages = gui::modal::testing::messages();
        if (message.isEmpty()) {
            QVERIFY2(messages.isEmpty(), qPrintable(messages.value(0).text));
        } else {
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages[0].icon, gui::modal::Icon::Error);
            QCOMPARE(messages[0].caption, gui::kAppTitle);
            QCOMPARE(messages[0].text, gui::errorBoxText(message));
        }
        switch (after) {
        case After::Unchanged:
            verifyNoPictureControls();
            QCOMPARE(box()->geometry(), QRect(23, 30, 300, 300));
            QCOMPARE(bitmap(), before);
            break;
        case After::Half:
            // The box took the picture's size, keeping what it showed; no
            // picture was drawn or loaded.
            verifyNoPictureControls();
            QCOMPARE(box()->geometry(), QRect(QPoint(23, 30), shown));
            QCOMPARE(bitmap(), before.copy(QRect(QPoint(0, 0), shown)));
            QVERIFY(!session->window().writePicture(dir.filePath(QStringLiteral("none.jpg"))));
            QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.jpg"))));
            break;
        case After::Loaded:
            verifyLoadedControls(shown);
            QCOMPARE(bitmap(), fixtures::fullDecodeThenSample(bytes, shown));
            break;
        }
    }

    // Load, caption, export, delete, load again.
    void loadDeleteLoad()
    {
        const QString first = put(QStringLiteral("one.jpeg"), fixtures::cjpeg(fixtures::pattern(800, 600), {}));
        const QString second = put(QStringLiteral("two.jpg"), fixtures::cjpeg(fixtures::pattern(120, 250), {}));
        const QString exported = dir.filePath(QStringLiteral("image.jpg"));
        QFile::remove(exported);

        QVERIFY(!session->window().writePicture(exported));
        QVERIFY(!QFile::exists(exported));

        load(first);
        verifyLoadedControls(QSize(300, 225));
        QTest::keyClicks(sign(), QStringLiteral("Experiment"));
        QCOMPARE(session->window().snapshot().pictureCaption, QStringLiteral("Experiment"));
        // Loading again needs "Удалить" first.
        QTest::mouseClick(addImg(), Qt::LeftButton);
        QCOMPARE(gui::modal::testing::openRequests().size(), 1);

        // The export is the displayed pixels, encoded as cjpeg would.
        QVERIFY(session->window().writePicture(exported));
        QFile file(exported);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == fixtures::cjpeg(bitmap(), {"-quality", "90", "-baseline", "-dct", "float"}));
        file.close();

        QTest::mouseClick(delImg(), Qt::LeftButton);
        verifyNoPictureControls();
        QCOMPARE(box()->geometry(), QRect(23, 30, 300, 300));
        QImage white(300, 300, QImage::Format_RGB32);
        white.fill(Qt::white);
        QCOMPARE(bitmap(), white); // no "300 x 300" any more
        QVERIFY(!session->window().writePicture(dir.filePath(QStringLiteral("after.jpg"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("after.jpg"))));

        load(second);
        verifyLoadedControls(QSize(120, 250));
        QVERIFY(sign()->text().isEmpty());
        QCOMPARE(gui::modal::testing::openRequests().last().selectedFile, first);
        QVERIFY(gui::modal::testing::messages().isEmpty());
    }

    void exportFailureThrows()
    {
        load(put(QStringLiteral("ok.jpg"), fixtures::cjpeg(fixtures::pattern(50, 50), {})));
        const QString blocker = put(QStringLiteral("blocker"), "x");
        const QString target = blocker + QStringLiteral("/img.jpg");
        try {
            session->window().writePicture(target);
            QFAIL("no failure");
        } catch (const Failure &failure) {
            QVERIFY2(gui::failureText(failure).startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(target)),
                     qPrintable(gui::failureText(failure)));
        }
    }

    // A file that failed to load is not offered by the dialog again (its
    // preview would be read each time); the last one that loaded is.
};

QTEST_MAIN(TestPictureWindow)
#include "test_picture_window.moc"
