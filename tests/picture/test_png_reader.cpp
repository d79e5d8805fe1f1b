#include "core/failure.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_file.h"
#include "picture/picture_size.h"
#include "picture/png_reader.h"
#include "picture_fixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <jerror.h>

namespace {

// The largest difference of any channel of any pixel; -1 when the sizes differ.
int largestDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest =
                std::max({largest, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

} // namespace

class TestPngReader : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    QString cases; // the folder of the PNG cases and their references

    QString put(const QString &name, const QByteArray &bytes) { return fixtures::put(dir, name, bytes); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        cases = dir.filePath(QStringLiteral("cases"));
        const QString problem = fixtures::writePngCases(cases);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Every colour type and bit depth, colour keys, palettes with alpha,
    // every row filter, interlaced or not, and EXIF orientations: each as
    // Pillow decodes it (over white), to within 1.
    void likePillow_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList names = QDir(cases).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
        QVERIFY(names.size() > 150);
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << name.chopped(4);
    }
    void likePillow()
    {
        QFETCH(QString, name);
        const QImage reference(QDir(cases).filePath(name + QStringLiteral(".ppm")), "PPM");
        QVERIFY(!reference.isNull());
        picture::PngReader reader =
            picture::PngReader::open(QDir(cases).filePath(name + QStringLiteral(".png"))).value();
        QCOMPARE(reader.size(), reference.size());
        const QImage ours = reader.decodeReduced(reader.size()).value();
        const int difference = largestDifference(ours, reference);
        QVERIFY2(difference >= 0 && difference <= 1, qPrintable(QString::number(difference)));
    }

    // Reduced pictures sample the same pixels as a JPEG picture would,
    // interlaced or not, turned or not.
    void reducedLikePillow_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"big-n", "big-i", "big6-i"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void reducedLikePillow()
    {
        QFETCH(QString, name);
        const QImage reference(QDir(cases).filePath(name + QStringLiteral(".ppm")), "PPM");
        QVERIFY(!reference.isNull());
        picture::PngReader reader =
            picture::PngReader::open(QDir(cases).filePath(name + QStringLiteral(".png"))).value();
        QCOMPARE(reader.size(), reference.size());
        const QSize shown = picture::targetSize(reference.width(), reference.height());
        QVERIFY(shown != reference.size());
        const int difference =
            largestDifference(reader.decodeReduced(shown).value(), fixtures::sample(reference, shown));
        QVERIFY2(difference >= 0 && difference <= 1, qPrintable(QString::number(difference)));
    }

    // PNG files as Qt writes them (screenshots): composited onto white and
    // reduced by the same rule.
    void qtWrittenShown_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::newRow("opaque, reduced") << fixtures::pattern(640, 480);
        QTest::newRow("translucent, reduced") << fixtures::translucentPattern(900, 500);
        QTest::newRow("translucent, small") << fixtures::translucentPattern(120, 80);
        QTest::newRow("greyscale") << fixtures::pattern(400, 700).convertToFormat(QImage::Format_Grayscale8);
        QTest::newRow("palette") << fixtures::pattern(500, 500).convertToFormat(QImage::Format_Indexed8);
        QTest::newRow("16 bits a channel")
            << fixtures::translucentPattern(610, 310).convertToFormat(QImage::Format_RGBA64);
    }
    void qtWrittenShown()
    {
        QFETCH(QImage, picture);
        const QByteArray bytes = fixtures::png(picture);
        QVERIFY(bytes.startsWith("\x89PNG"));
        picture::PictureFile file =
            picture::PictureFile::open(put(QStringLiteral("screen.jpg"), bytes)).value(); // the name does not matter
        QCOMPARE(file.size(), picture.size());
        const QSize shown = picture::targetSize(picture.width(), picture.height());
        const QImage reference = fixtures::sample(fixtures::overWhite(picture), shown);
        const int difference = largestDifference(file.decodeReduced(shown).value(), reference);
        QVERIFY2(difference >= 0 && difference <= 1, qPrintable(QString::number(difference)));
    }

    // What the picture file gives for each kind of bad file.
    void pictureFileErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("atHeader"); // false: when the data are decoded
        QTest::addColumn<QString>("message");
        const QByteArray good = fixtures::png(fixtures::pattern(300, 200));
        QTest::newRow("empty") << QByteArray("") << true << QStringLiteral("Floating point division by zero");
        QTest::newRow("neither JPEG nor PNG") << QByteArray("GIF89a\x01\x00\x01\x00", 10) << true
                                              << QStringLiteral("JPEG error #%1").arg(int(JERR_NO_SOI));
        QTest::newRow("PNG signature alone")
            << good.left(8) << true << QStringLiteral("PNG error: the header cannot be read");
        QTest::newRow("PNG of 100000 x 100000") << fixtures::pngDeclaring(good, 100000, 100000) << true
                                                << QStringLiteral("too big: 100000 x 100000 (at most 16777216 pixels)");
        QTest::newRow("PNG over a million pixels wide") << fixtures::pngDeclaring(good, 1000001, 1) << true
                                                        << QStringLiteral("PNG error: the header cannot be read");
        const QByteArray deep =
            fixtures::png(fixtures::translucentPattern(60, 40).convertToFormat(QImage::Format_RGBA64));
        QTest::newRow("PNG of 6000 x 6000 in a small file")
            << fixtures::pngDeclaring(deep, 6000, 6000) << true
            << QStringLiteral("too big: 6000 x 6000 (at most 16777216 pixels)");
        QTest::newRow("PNG cut in its data")
            << good.left(good.size() / 2) << false << QStringLiteral("PNG error: the picture data cannot be read (");
        QByteArray damaged = good;
        damaged[good.indexOf("IDAT") + 20] = char(damaged[good.indexOf("IDAT") + 20] ^ 0x55);
        QTest::newRow("PNG with a damaged data chunk")
            << damaged << false << QStringLiteral("PNG error: the picture data cannot be read (");
    }
    void pictureFileErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, atHeader);
        QFETCH(QString, message);
        const QString path = put(QStringLiteral("bad.png"), bytes);
        Result<picture::PictureFile> file = picture::PictureFile::open(path);
        const QString opening = fixtures::failureOf(file);
        if (atHeader) {
            QCOMPARE(opening, message);
            return;
        }
        QCOMPARE(opening, QString());
        const QString decoding = fixtures::failureOf(file->decodeReduced(picture::targetSize(300, 200)));
        QVERIFY2(decoding.startsWith(message), qPrintable(decoding));
    }

    // An ancillary chunk larger than libpng may allocate for one chunk is
    // dropped; the picture loads.
    void oversizedChunkDropped()
    {
        const QImage picture = fixtures::pattern(50, 40);
        const QByteArray bytes = fixtures::withChunkBeforeData(
            fixtures::png(picture), "zTXt", QByteArray("Comment\0\0", 9) + qCompress(QByteArray(4 << 20, 'a')).mid(4));
        picture::PictureFile file = picture::PictureFile::open(put(QStringLiteral("chunk.png"), bytes)).value();
        QCOMPARE(
            largestDifference(file.decodeReduced(QSize(50, 40)).value(), picture.convertToFormat(QImage::Format_RGB32)),
            0);
    }

    // A reading whose flag is raised stops with Cancelled, JPEG or PNG.
    void cancelled_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("PNG") << fixtures::png(fixtures::pattern(400, 300));
        QTest::newRow("JPEG") << fixtures::cjpeg(fixtures::pattern(400, 300), {});
        QTest::newRow("progressive JPEG") << fixtures::cjpeg(fixtures::pattern(400, 300), {"-progressive"});
    }
    void cancelled()
    {
        QFETCH(QByteArray, bytes);
        const QString path = put(QStringLiteral("cancelled"), bytes);
        std::atomic<bool> flag(false);
        picture::ReadOptions options;
        options.cancelled = &flag;
        picture::PictureFile file = picture::PictureFile::open(path, options).value();
        flag = true;
        const Result<QImage> decoded = file.decodeReduced(QSize(40, 30));
        QVERIFY(!decoded);
        QCOMPARE(decoded.error().code(), FailureCode::Cancelled);
        // The preview gives nothing for it, and a picture otherwise.
        QVERIFY(picture::previewPicture(path, 160, &flag).isNull());
        flag = false;
        QCOMPARE(picture::previewPicture(path, 160, &flag).size(), QSize(160, 120));
    }
};

QTEST_MAIN(TestPngReader)
#include "test_png_reader.moc"
