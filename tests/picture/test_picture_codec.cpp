#include "core/failure.h"
#include "core/files.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_size.h"
#include "picture_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <jpeglib.h>
#include <jerror.h>


class TestPictureCodec : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString put(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        if (!fixtures::writeFile(path, bytes))
            qFatal("cannot write fixture %s", qPrintable(path));
        return path;
    }

    static QString failureOf(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const Failure &failure) {
            return failure.message();
        }
        return QString();
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void targetSize_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("640x480") << QSize(640, 480) << QSize(300, 225);
        QTest::newRow("1024x768") << QSize(1024, 768) << QSize(300, 225);
        QTest::newRow("4000x3000") << QSize(4000, 3000) << QSize(300, 225);
        QTest::newRow("1920x1080 rounds up") << QSize(1920, 1080) << QSize(300, 169);
        QTest::newRow("200x600") << QSize(200, 600) << QSize(100, 300);
        QTest::newRow("900x300") << QSize(900, 300) << QSize(300, 100);
        QTest::newRow("3000x2000") << QSize(3000, 2000) << QSize(300, 200);
        QTest::newRow("300x300 kept") << QSize(300, 300) << QSize(300, 300);
        QTest::newRow("299x100 not enlarged") << QSize(299, 100) << QSize(299, 100);
        QTest::newRow("1x1 not enlarged") << QSize(1, 1) << QSize(1, 1);
        QTest::newRow("301x301") << QSize(301, 301) << QSize(300, 300);
        QTest::newRow("350x350") << QSize(350, 350) << QSize(300, 300);
        QTest::newRow("1000x1 keeps a row") << QSize(1000, 1) << QSize(300, 1);
        QTest::newRow("1x1000 keeps a column") << QSize(1, 1000) << QSize(1, 300);
        QTest::newRow("65535x65535") << QSize(65535, 65535) << QSize(300, 300);
        QTest::newRow("65535x1") << QSize(65535, 1) << QSize(300, 1);
    }
    void targetSize()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, shown);
        QCOMPARE(TargetSize(source.width(), source.height()), shown);
    }

    // The reduced picture from the row-by-row decode equals a full-size
    // decode followed by the same sampling.
    void streamingEqualsFullDecode_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("cutPercent"); // 0: whole file
        const QStringList baseline{"-quality", "85"};
        QTest::newRow("colour 4:2:0, reduced") << QSize(1000, 750) << baseline << 0;
        QTest::newRow("odd sizes") << QSize(997, 613) << baseline << 0;
        QTest::newRow("small, not reduced") << QSize(200, 100) << baseline << 0;
        QTest::newRow("greyscale") << QSize(640, 480) << QStringList{"-grayscale"} << 0;
        QTest::newRow("progressive") << QSize(777, 333) << QStringList{"-progressive"} << 0;
        QTest::newRow("4:4:4") << QSize(640, 480) << QStringList{"-sample", "1x1"} << 0;
        QTest::newRow("restart markers") << QSize(640, 480) << QStringList{"-restart", "1"} << 0;
        QTest::newRow("1000x1") << QSize(1000, 1) << baseline << 0;
        QTest::newRow("1x1000") << QSize(1, 1000) << baseline << 0;
        QTest::newRow("cut at 40%") << QSize(800, 600) << baseline << 40;
        QTest::newRow("progressive cut at 60%") << QSize(800, 600) << QStringList{"-progressive"} << 60;
    }
    void streamingEqualsFullDecode()
    {
        QFETCH(QSize, size);
        QFETCH(QStringList, options);
        QFETCH(int, cutPercent);
        QByteArray jpeg = fixtures::cjpeg(fixtures::pattern(size.width(), size.height()), options);
        QVERIFY(!jpeg.isEmpty());
        if (cutPercent)
            jpeg.truncate(jpeg.size() * cutPercent / 100);
        const QString path = put(QStringLiteral("stream.jpg"), jpeg);

        picture::JpegReader reader(path);
        QCOMPARE(reader.size(), size);
        const QSize shown = TargetSize(size.width(), size.height());
        const QImage streamed = reader.decodeReduced(shown);
        QCOMPARE(streamed.size(), shown);
        QCOMPARE(streamed, fixtures::fullDecodeThenSample(jpeg, shown));
    }

    // Where the picture data end early (the file is cut short, or a marker
    // stands in the middle of the data), decoding stops a few rows later
    // instead of decoding padding down to the last row.
    void dataEndingEarlyStopsDecoding_data()
    {
        QTest::addColumn<bool>("marker");
        QTest::newRow("file cut short") << false;
        QTest::newRow("marker inside the data") << true;
    }
    void dataEndingEarlyStopsDecoding()
    {
        QFETCH(bool, marker);
        QByteArray jpeg = fixtures::cjpeg(fixtures::pattern(1600, 1600), {"-quality", "90"});
        QVERIFY(!jpeg.isEmpty());
        const qsizetype at = jpeg.size() / 5;
        if (marker) {
            jpeg[at] = char(0xFF);
            jpeg[at + 1] = char(0x05);
        } else {
            jpeg.truncate(at);
        }
        picture::JpegReader reader(put(QStringLiteral("cut.jpg"), jpeg));
        const QImage shown = reader.decodeReduced(QSize(300, 300));
        QVERIFY2(reader.rowsDecoded() < 600, qPrintable(QString::number(reader.rowsDecoded())));
        QCOMPARE(shown.pixel(150, 299), qRgb(128, 128, 128));
        QVERIFY(shown.pixel(150, 0) != qRgb(128, 128, 128));
    }

    // A header that claims 65000 x 65000 pixels with almost no data behind
    // it is over at once.
    void enormousBaselineHeaderWithoutData()
    {
        QByteArray jpeg = fixtures::cjpeg(fixtures::pattern(64, 64), {});
        const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(sof > 0);
        jpeg[sof + 5] = char(0xFD); // height 0xFDE8 = 65000
        jpeg[sof + 6] = char(0xE8);
        jpeg[sof + 7] = char(0xFD); // width
        jpeg[sof + 8] = char(0xE8);
        picture::JpegReader reader(put(QStringLiteral("huge.jpg"), jpeg));
        QCOMPARE(reader.size(), QSize(65000, 65000));
        reader.decodeReduced(QSize(300, 300));
        QVERIFY(reader.rowsDecoded() < 200);
    }

    // An enormous progressive picture would need gigabytes of coefficient
    // buffers: the decoder's memory limit turns it into a codec error.
    void enormousProgressiveHitsMemoryLimit()
    {
        QByteArray jpeg = fixtures::cjpeg(fixtures::pattern(64, 64), {"-progressive"});
        const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC2", 2));
        QVERIFY(sof > 0);
        jpeg[sof + 5] = char(0xFD);
        jpeg[sof + 6] = char(0xE8);
        jpeg[sof + 7] = char(0xFD);
        jpeg[sof + 8] = char(0xE8);
        picture::JpegReader reader(put(QStringLiteral("hugeprog.jpg"), jpeg));
        const QString message = failureOf([&] { reader.decodeReduced(QSize(300, 300)); });
        QCOMPARE(message, QStringLiteral("JPEG error #%1").arg(int(JERR_NO_BACKING_STORE)));
    }

    void colourModels_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QRgb>("left");
        QTest::addColumn<QRgb>("right");
        using fixtures::Cmyk;
        QTest::newRow("CMYK, Adobe") << fixtures::cmykRedBlue(400, 200, Cmyk::Adobe) << qRgb(255, 0, 0)
                                     << qRgb(0, 0, 255);
        QTest::newRow("YCCK, Adobe") << fixtures::cmykRedBlue(400, 200, Cmyk::AdobeYcck) << qRgb(255, 0, 0)
                                     << qRgb(0, 0, 255);
        QTest::newRow("CMYK, no Adobe marker") << fixtures::cmykRedBlue(400, 200, Cmyk::Plain) << qRgb(255, 0, 0)
                                               << qRgb(0, 0, 255);
        QImage grey(400, 200, QImage::Format_RGB32);
        grey.fill(qRgb(60, 60, 60));
        QTest::newRow("greyscale") << fixtures::cjpeg(grey, {"-grayscale"}) << qRgb(60, 60, 60) << qRgb(60, 60, 60);
    }
    void colourModels()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(QRgb, left);
        QFETCH(QRgb, right);
        picture::JpegReader reader(put(QStringLiteral("colour.jpg"), jpeg));
        const QImage shown = reader.decodeReduced(TargetSize(reader.size().width(), reader.size().height()));
        auto near = [](QRgb a, QRgb b) {
            return qAbs(qRed(a) - qRed(b)) <= 6 && qAbs(qGreen(a) - qGreen(b)) <= 6 && qAbs(qBlue(a) - qBlue(b)) <= 6;
        };
        const QRgb seenLeft = shown.pixel(20, 50), seenRight = shown.pixel(shown.width() - 20, 50);
        QVERIFY2(near(seenLeft, left), qPrintable(QString::number(seenLeft, 16)));
        QVERIFY2(near(seenRight, right), qPrintable(QString::number(seenRight, 16)));
    }

    void readErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("Floating point division by zero");
        QTest::newRow("text") << QByteArray("hello\n") << QStringLiteral("JPEG error #%1").arg(int(JERR_NO_SOI));
        QTest::newRow("one byte") << QByteArray("\xFF", 1) << QStringLiteral("JPEG error #%1").arg(int(JERR_NO_SOI));
        QTest::newRow("start marker only") << QByteArray("\xFF\xD8", 2)
                                           << QStringLiteral("JPEG error #%1").arg(int(JERR_NO_IMAGE));
    }
    void readErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = put(QStringLiteral("bad.jpg"), bytes);
        QCOMPARE(failureOf([&] { picture::JpegReader reader(path); }), message);
    }

    void missingFile()
    {
        const QString path = dir.filePath(QStringLiteral("nowhere.jpg"));
        QCOMPARE(failureOf([&] { picture::JpegReader reader(path); }),
                 QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(path));
    }

    // The export is byte for byte what cjpeg makes of the same pixels.
    void exportMatchesCjpeg_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("300x225") << QSize(300, 225);
        QTest::newRow("300x300") << QSize(300, 300);
        QTest::newRow("17x300") << QSize(17, 300);
        QTest::newRow("300x1") << QSize(300, 1);
        QTest::newRow("1x1") << QSize(1, 1);
    }
    void exportMatchesCjpeg()
    {
        QFETCH(QSize, size);
        const QImage picture = fixtures::pattern(size.width(), size.height());
        const QByteArray ours = picture::encodeJpeg(picture);
        const QByteArray oracle = fixtures::cjpeg(picture, {"-quality", "90", "-baseline", "-dct", "float"});
        QVERIFY(!oracle.isEmpty());
        QCOMPARE(ours.size(), oracle.size());
        QVERIFY(ours == oracle);
    }

    void exportHeader()
    {
        const QByteArray jpeg = picture::encodeJpeg(fixtures::pattern(120, 80));
        // SOI, then JFIF 1.01, density unit 0, density 1 x 1, no thumbnail.
        QCOMPARE(jpeg.left(20), QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20));
        // Baseline frame, three components 1, 2, 3 sampled 2x2, 1x1, 1x1.
        const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(sof > 0);
        QCOMPARE(jpeg.mid(sof + 4, 15), QByteArray("\x08\x00\x50\x00\x78\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 15));
        QCOMPARE(jpeg.indexOf(QByteArray("\xFF\xC2", 2)), -1);
        QCOMPARE(jpeg.indexOf(QByteArray("\xFF\xFE", 2)), -1); // no comment
    }

    // A link planted at the export path is replaced by the file; the file it
    // pointed to is left alone.
    void exportReplacesPlantedLink()
    {
        const QString victim = put(QStringLiteral("victim.txt"), "keep me");
        const QString target = dir.filePath(QStringLiteral("img.jpg"));
        QFile::remove(target);
        QVERIFY(QFile::link(victim, target));
        const QByteArray jpeg = picture::encodeJpeg(fixtures::pattern(30, 20));
        writeFileReplacing(target, jpeg);
        QVERIFY(!QFileInfo(target).isSymLink());
        QFile written(target);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll() == jpeg);
        QFile kept(victim);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("keep me"));
        // Nothing else is left beside it.
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("img.jpg*")}, QDir::Files | QDir::System),
                 QStringList{QStringLiteral("img.jpg")});
    }

    void exportFailure()
    {
        const QString file = put(QStringLiteral("plain.txt"), "x");
        const QString target = file + QStringLiteral("/image.jpg");
        const QString message = failureOf([&] { writeFileReplacing(target, "data"); });
        QVERIFY2(message.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(target)), qPrintable(message));
        QVERIFY(message.size() > QStringLiteral("Cannot create file \"%1\". ").arg(target).size());
    }
};

QTEST_MAIN(TestPictureCodec)
#include "test_picture_codec.moc"
