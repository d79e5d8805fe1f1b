#include "core/failure.h"
#include "core/files.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_file.h"
#include "picture/picture_size.h"
#include "picture_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <jerror.h>
#include <jpeglib.h>

class TestPictureCodec : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString put(const QString &name, const QByteArray &bytes) { return fixtures::put(dir, name, bytes); }

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
        QCOMPARE(picture::targetSize(source.width(), source.height()), shown);
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
        // Rows between sampled ones are skipped; every sampling layout of
        // the upsampler, with short and long skips, gives the full decode's
        // rows.
        const QStringList sampling[] = {{"-sample", "2x1"}, {"-sample", "1x2"}, {"-sample", "4x1"},
                                        {"-sample", "1x4"}, {"-sample", "2x2"}, {"-sample", "1x1"}};
        for (const QStringList &layout : sampling) {
            const QByteArray name = layout.last().toLatin1();
            QTest::addRow("%s", name.constData()) << QSize(1000, 750) << layout << 0;
            QTest::addRow("%s, tall: long skips", name.constData()) << QSize(240, 4000) << layout << 0;
            QTest::addRow("%s, progressive", name.constData())
                << QSize(901, 677) << (layout + QStringList{"-progressive"}) << 0;
            QTest::addRow("%s, progressive, tall", name.constData())
                << QSize(130, 3001) << (layout + QStringList{"-progressive"}) << 0;
            QTest::addRow("%s, restart every row, tall", name.constData())
                << QSize(333, 2500) << (layout + QStringList{"-restart", "1"}) << 0;
            QTest::addRow("%s, tall, cut at 70%%", name.constData()) << QSize(240, 4000) << layout << 70;
        }
        QTest::newRow("greyscale, tall") << QSize(200, 3000) << QStringList{"-grayscale"} << 0;
        QTest::newRow("greyscale, progressive, tall")
            << QSize(200, 3000) << QStringList{"-grayscale", "-progressive"} << 0;
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

        picture::JpegReader reader = picture::JpegReader::open(path).value();
        QCOMPARE(reader.size(), size);
        const QSize shown = picture::targetSize(size.width(), size.height());
        const QImage streamed = reader.decodeReduced(shown).value().picture;
        QCOMPARE(streamed.size(), shown);
        QCOMPARE(streamed, fixtures::fullDecodeThenSample(jpeg, shown));
    }

    // Where the file ends early, decoding stops a few rows later instead of
    // decoding padding down to the last row; the rows beyond are the
    // codec's own fill, as in the full decode.
    void fileCutShortStopsDecoding()
    {
        QByteArray jpeg = fixtures::cjpeg(fixtures::pattern(1600, 1600), {"-quality", "90"});
        QVERIFY(!jpeg.isEmpty());
        jpeg.truncate(jpeg.size() / 5);
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("cut.jpg"), jpeg)).value();
        const QImage shown = reader.decodeReduced(QSize(300, 300)).value().picture;
        QVERIFY2(reader.rowsDecoded() < 600, qPrintable(QString::number(reader.rowsDecoded())));
        QCOMPARE(shown.pixel(150, 299), qRgb(128, 128, 128));
        QCOMPARE(shown, fixtures::sample(fixtures::djpegFull(jpeg), QSize(300, 300)));
    }

    // Phone and camera photos are turned upright by their EXIF orientation
    // before they are reduced; the target size is that of the upright
    // picture, and the export is byte for byte the reference's.
    void orientation_data()
    {
        QTest::addColumn<QByteArray>("tagged");
        QTest::addColumn<int>("orientation");
        for (const QSize size : {QSize(640, 480), QSize(450, 700)}) {
            const QByteArray tagged =
                fixtures::exifTagged(fixtures::cjpeg(fixtures::pattern(size.width(), size.height()), {}));
            const char *shape = size.width() > size.height() ? "landscape" : "portrait";
            for (int orientation = 1; orientation <= 8; ++orientation)
                QTest::addRow("%s %d", shape, orientation) << tagged << orientation;
        }
        // Cut short, 4:4:4: the rows past the end are filled with the colour
        // of the last row's first pixel, whichever columns are sampled.
        const QByteArray full = fixtures::exifTagged(fixtures::cjpeg(fixtures::pattern(640, 480), {"-sample", "1x1"}));
        for (int orientation = 1; orientation <= 8; ++orientation)
            QTest::addRow("4:4:4 cut short %d", orientation) << full.left(full.size() * 6 / 10) << orientation;
    }
    void orientation()
    {
        QFETCH(QByteArray, tagged);
        QFETCH(int, orientation);
        QVERIFY(!tagged.isEmpty());
        const QByteArray jpeg = fixtures::setOrientation(tagged, orientation);
        QVERIFY(!jpeg.isEmpty());

        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("oriented.jpg"), jpeg)).value();
        QCOMPARE(reader.orientation(), orientation);
        const QImage upright = fixtures::upright(fixtures::djpegFull(jpeg), orientation);
        QVERIFY(!upright.isNull());
        QCOMPARE(reader.size(), upright.size());
        const QSize shown = picture::targetSize(upright.width(), upright.height());
        const QImage ours = reader.decodeReduced(shown).value().picture;
        const QImage reference = fixtures::sample(upright, shown);
        QCOMPARE(ours, reference);
        QVERIFY(picture::encodeJpeg(ours) == fixtures::exportOf(reference));
    }

    // A missing or unreadable tag, or a value outside 1 to 8, leaves the
    // picture as stored.
    void orientationUnreadable_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        const QByteArray plain = fixtures::cjpeg(fixtures::pattern(640, 480), {});
        const QByteArray tagged = fixtures::exifTagged(plain);
        QTest::newRow("no EXIF") << plain;
        QTest::newRow("value 0") << fixtures::setOrientation(tagged, 0);
        QTest::newRow("value 9") << fixtures::setOrientation(tagged, 9);
        QTest::newRow("value 65535") << fixtures::setOrientation(tagged, 65535);
        // The first IFD's offset points far beyond the segment.
        QByteArray lost = fixtures::setOrientation(tagged, 6);
        const qsizetype tiff = lost.indexOf(QByteArray("Exif\0\0MM\0\x2a", 10));
        QVERIFY(tiff > 0);
        lost.replace(tiff + 10, 4, QByteArray("\x7F\xFF\xFF\xF0", 4));
        QTest::newRow("IFD out of reach") << lost;
        // An APP1 segment that says EXIF but holds nothing readable.
        QByteArray junk = plain;
        junk.insert(2, QByteArray("\xFF\xE1\x00\x10"
                                  "Exif\0\0"
                                  "garbage!",
                                  18));
        QTest::newRow("EXIF segment of junk") << junk;
    }
    void orientationUnreadable()
    {
        QFETCH(QByteArray, jpeg);
        QVERIFY(!jpeg.isEmpty());
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("unoriented.jpg"), jpeg)).value();
        QCOMPARE(reader.orientation(), 1);
        QCOMPARE(reader.size(), QSize(640, 480));
        QCOMPARE(reader.decodeReduced(QSize(300, 225)).value().picture,
                 fixtures::sample(fixtures::djpegFull(jpeg), QSize(300, 225)));
    }

    // The Orientation tag stored as a LONG counts as one stored as a SHORT.
    void orientationTypes_data()
    {
        QTest::addColumn<bool>("asLong");
        QTest::addColumn<bool>("littleEndian");
        QTest::newRow("SHORT, big-endian") << false << false;
        QTest::newRow("LONG, big-endian") << true << false;
        QTest::newRow("LONG, little-endian") << true << true;
    }
    void orientationTypes()
    {
        QFETCH(bool, asLong);
        QFETCH(bool, littleEndian);
        const QByteArray jpeg = fixtures::withExif(fixtures::cjpeg(fixtures::pattern(64, 48), {}),
                                                   fixtures::exifTiff(6, asLong, littleEndian));
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("typed.jpg"), jpeg)).value();
        QCOMPARE(reader.orientation(), 6);
        QCOMPARE(reader.size(), QSize(48, 64));
    }

    // Damaged files that libjpeg's full decode accepts, with or without
    // warnings, come out exactly as the full decode shows them: the decoder
    // resynchronises at restart markers, and data missing at the end are
    // filled in as libjpeg fills them.
    void damagedLikeFullDecode_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        const QImage photo = fixtures::pattern(800, 600);
        const QByteArray restarts = fixtures::cjpeg(photo, {"-restart", "1"});
        const QByteArray baseline = fixtures::cjpeg(photo, {});
        const QByteArray progressive = fixtures::cjpeg(photo, {"-progressive"});
        const qsizetype data = fixtures::firstScanDataOffset(restarts);

        auto damaged = [](QByteArray bytes, qsizetype at, int count) {
            for (int i = 0; i < count; ++i)
                bytes[at + i] = char(uchar(bytes[at + i]) == 0x37 ? 0x38 : 0x37);
            return bytes;
        };
        // Two damaged bytes away from any marker.
        qsizetype at = data + (restarts.size() - data) * 2 / 5;
        while (restarts.mid(at - 2, 6).contains('\xFF'))
            ++at;
        QTest::newRow("restart markers, two damaged bytes") << damaged(restarts, at, 2);
        // A restart marker turned into another one: the decoder resyncs.
        const qsizetype rst = restarts.indexOf(QByteArray("\xFF\xD3", 2), data);
        QVERIFY(rst > 0);
        QByteArray wrongRestart = restarts;
        wrongRestart[rst + 1] = char(0xD6);
        QTest::newRow("restart marker out of order") << wrongRestart;
        // An invalid marker in the data: skipped to the next restart.
        QByteArray invalid = restarts;
        invalid[at] = char(0xFF);
        invalid[at + 1] = char(0x05);
        QTest::newRow("restart markers, invalid marker") << invalid;
        // An end-of-image marker inside the data: libjpeg stops there.
        QByteArray early = baseline;
        early.replace(baseline.size() / 2, 2, QByteArray("\xFF\xD9", 2));
        QTest::newRow("end marker inside the data") << early;
        for (int percent : {10, 50, 95})
            QTest::addRow("cut at %d%%", percent) << baseline.left(baseline.size() * percent / 100);
        QTest::newRow("restart markers, cut") << restarts.left(restarts.size() * 3 / 5);
        QTest::newRow("progressive, cut") << progressive.left(progressive.size() * 2 / 5);
        QTest::newRow("greyscale, cut") << fixtures::cjpeg(photo, {"-grayscale"}).left(20000);
        for (auto kind : {fixtures::Cmyk::Adobe, fixtures::Cmyk::AdobeYcck}) {
            const QByteArray cmyk = fixtures::cmykRedBlue(400, 300, kind);
            QTest::addRow("%s, cut", kind == fixtures::Cmyk::Adobe ? "CMYK" : "YCCK") << cmyk.left(cmyk.size() / 2);
        }
    }
    void damagedLikeFullDecode()
    {
        QFETCH(QByteArray, jpeg);
        const QImage full = fixtures::djpegFull(jpeg);
        QVERIFY2(!full.isNull(), "djpeg accepts the file");
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("damaged.jpg"), jpeg)).value();
        const QSize shown = picture::targetSize(full.width(), full.height());
        const QImage ours = reader.decodeReduced(shown).value().picture;
        const QImage reference = fixtures::sample(full, shown);
        QCOMPARE(ours, reference);
        QVERIFY(picture::encodeJpeg(ours) == fixtures::exportOf(reference));
    }

    // Where the full decode ends in a fatal error, even after the picture
    // data, the load fails with that error.
    void fatalAfterData_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<int>("code");
        const QByteArray baseline = fixtures::cjpeg(fixtures::pattern(800, 600), {});
        QByteArray unknown = baseline;
        unknown.replace(baseline.size() / 2, 2, QByteArray("\xFF\x05", 2));
        QTest::newRow("unknown marker inside the data") << unknown << int(JERR_UNKNOWN_MARKER);
        QByteArray tail = baseline;
        tail.replace(tail.size() - 2, 2, QByteArray("\xFF\x05", 2));
        QTest::newRow("unknown marker after the data") << tail << int(JERR_UNKNOWN_MARKER);
        QByteArray second = baseline;
        second.insert(second.size() - 2, QByteArray("\xFF\xD8", 2));
        QTest::newRow("second start marker after the data") << second << int(JERR_SOI_DUPLICATE);
    }
    void fatalAfterData()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(int, code);
        QVERIFY2(fixtures::djpegFull(jpeg).isNull(), "djpeg refuses the file");
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("fatal.jpg"), jpeg)).value();
        QCOMPARE(fixtures::failureOf(reader.decodeReduced(QSize(300, 225))),
                 QStringLiteral("JPEG error #%1").arg(code));
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
        QTest::newRow("CMYK, no Adobe marker")
            << fixtures::cmykRedBlue(400, 200, Cmyk::Plain) << qRgb(255, 0, 0) << qRgb(0, 0, 255);
        QImage grey(400, 200, QImage::Format_RGB32);
        grey.fill(qRgb(60, 60, 60));
        QTest::newRow("greyscale") << fixtures::cjpeg(grey, {"-grayscale"}) << qRgb(60, 60, 60) << qRgb(60, 60, 60);
    }
    void colourModels()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(QRgb, left);
        QFETCH(QRgb, right);
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("colour.jpg"), jpeg)).value();
        const QImage shown =
            reader.decodeReduced(picture::targetSize(reader.size().width(), reader.size().height())).value().picture;
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
        QTest::newRow("start marker only")
            << QByteArray("\xFF\xD8", 2) << QStringLiteral("JPEG error #%1").arg(int(JERR_NO_IMAGE));
    }
    void readErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = put(QStringLiteral("bad.jpg"), bytes);
        QCOMPARE(fixtures::failureOf(picture::JpegReader::open(path)), message);
    }

    void missingFile()
    {
        const QString path = dir.filePath(QStringLiteral("nowhere.jpg"));
        QCOMPARE(fixtures::failureOf(picture::JpegReader::open(path)),
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
        core::writeFileReplacing(target, jpeg);
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
        const QString message = fixtures::failureOf([&] { core::writeFileReplacing(target, "data"); });
        QVERIFY2(message.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(target)), qPrintable(message));
        QVERIFY(message.size() > QStringLiteral("Cannot create file \"%1\". ").arg(target).size());
    }
};

QTEST_MAIN(TestPictureCodec)
#include "test_picture_codec.moc"
