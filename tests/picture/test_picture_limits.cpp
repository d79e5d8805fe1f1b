#include "core/failure.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_size.h"
#include "picture_fixtures.h"

#include <QTemporaryDir>
#include <QTest>

#include <malloc.h>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Bytes that the program has taken from the heap and not given back.
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
}

} // namespace

// Files that cost the decoder much more than their size: many scans, huge
// declared pictures with little data, markers in the data, many APP1
// segments. Each is refused at once or read in a bounded time and memory,
// with what libjpeg's full decode shows.
class TestPictureLimits : public QObject {
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

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // Files that would keep the decoder reading scan after scan are
    // refused: more than 500 scans, or scans that cost more than the budget
    // allows a file of their size; a small file that declares a huge
    // picture is refused at its header.
    void scanLimits_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QString>("message");
        const QString badProgression = QStringLiteral("JPEG error #%1").arg(int(JERR_BAD_PROGRESSION));
        QTest::newRow("scan bomb: 12000x12000, 3000 empty scans")
            << fixtures::hollowProgressive(12000, 12000, 3000)
            << QStringLiteral("too big: 12000 x 12000 (at most 16777216 pixels)");
        QTest::newRow("600 scans on a small picture") << fixtures::hollowProgressive(64, 64, 590) << badProgression;
        QTest::newRow("490 scans on a small picture") << fixtures::hollowProgressive(64, 64, 480) << QString();
        QTest::newRow("40 empty scans over 4000x3000")
            << fixtures::hollowProgressive(4000, 3000, 40) << QStringLiteral("too costly");
        QTest::newRow("5 empty scans over 4000x3000") << fixtures::hollowProgressive(4000, 3000, 5) << QString();
    }
    void scanLimits()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(QString, message);
        QVERIFY(!jpeg.isEmpty());
        const QString path = put(QStringLiteral("scans.jpg"), jpeg);
        Result<picture::JpegReader> reader = picture::JpegReader::open(path);
        if (!reader) {
            QCOMPARE(fixtures::failureOf(reader), message);
            return;
        }
        QCOMPARE(fixtures::failureOf(
                     reader->decodeReduced(picture::targetSize(reader->size().width(), reader->size().height()))),
                 message);
    }

    // The decoder's memory is enough for a 200-megapixel progressive 4:2:0
    // photo, in a file of a size such a photo has (here padded with APP1
    // segments to 2 MB).
    void progressive200MegapixelsLoads()
    {
        const QByteArray jpeg = fixtures::app1Padding(fixtures::hollowProgressive(16384, 12288, 0), 32, 1, 1);
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("200mp.jpg"), jpeg)).value();
        const Result<picture::DecodedJpeg> decoded = reader.decodeReduced(QSize(300, 225));
        QCOMPARE(fixtures::failureOf(decoded), QString());
        QCOMPARE(decoded->picture.size(), QSize(300, 225));
    }

    // A header that claims 4096 x 4096 pixels (as many as any file may
    // declare) with almost no data behind it is over at once.
    void enormousBaselineHeaderWithoutData()
    {
        const QByteArray jpeg = fixtures::jpegDeclaring(fixtures::cjpeg(fixtures::pattern(64, 64), {}), 4096, 4096);
        QVERIFY(!jpeg.isEmpty());
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("huge.jpg"), jpeg)).value();
        QCOMPARE(reader.size(), QSize(4096, 4096));
        QVERIFY(reader.decodeReduced(QSize(300, 300)));
        QVERIFY(reader.rowsDecoded() < 200);
    }

    // A progressive picture whose coefficients would need more than the
    // decoder's memory (16384 x 16384 at 4:4:4, 1.5 GB) ends with libjpeg's
    // error for the memory limit, in a file large enough for the budget to
    // let it declare that many pixels (padded to 1.2 MB).
    void enormousProgressiveHitsMemoryLimit()
    {
        const QByteArray jpeg = fixtures::app1Padding(
            fixtures::jpegDeclaring(fixtures::cjpeg(fixtures::pattern(64, 64), {"-progressive", "-sample", "1x1"}),
                                    16384, 16384),
            19, 1, 1);
        QVERIFY(!jpeg.isEmpty());
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("hugeprog.jpg"), jpeg)).value();
        const QString message = fixtures::failureOf(reader.decodeReduced(QSize(300, 300)));
        QCOMPARE(message, QStringLiteral("JPEG error #%1").arg(int(JERR_NO_BACKING_STORE)));
    }

    // Small files that declare a huge picture with next to no data behind
    // it are refused as too big as soon as their header is read. Up to the
    // pixels any file may declare, progressive pictures and baseline ones
    // whose restart segments make the decoder go through every row load.
    void hostileSmallFiles_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QString>("message"); // empty: loads
        QTest::newRow("progressive 65000x65000") << fixtures::hollowProgressive(65000, 65000, 0)
                                                 << QStringLiteral("too big: 65000 x 65000 (at most 16777216 pixels)");
        QTest::newRow("progressive 12000x12000") << fixtures::hollowProgressive(12000, 12000, 0)
                                                 << QStringLiteral("too big: 12000 x 12000 (at most 16777216 pixels)");
        QTest::newRow("baseline 65000x65000, 260 empty restart segments of 65535 MCUs")
            << fixtures::hollowRestarts(65000, 65000, 65535, 260)
            << QStringLiteral("too big: 65000 x 65000 (at most 16777216 pixels)");
        QTest::newRow("progressive 4096x4096") << fixtures::hollowProgressive(4096, 4096, 0) << QString();
        QTest::newRow("baseline 4096x4096, 300 empty restart segments of 256 MCUs")
            << fixtures::hollowRestarts(4096, 4096, 256, 300) << QString();
    }
    void hostileSmallFiles()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(QString, message);
        QVERIFY(!jpeg.isEmpty());
        QVERIFY(jpeg.size() < 16 * 1024);
        const QString path = put(QStringLiteral("hostile.jpg"), jpeg);
        Result<picture::JpegReader> reader = picture::JpegReader::open(path);
        QCOMPARE(fixtures::failureOf(reader), message);
        if (!message.isEmpty())
            return;
        const Result<picture::DecodedJpeg> decoded = reader->decodeReduced(QSize(300, 300));
        QCOMPARE(fixtures::failureOf(decoded), QString());
        const QImage &shown = decoded->picture;
        // Past the few blocks of data, libjpeg fills in mid-grey.
        QCOMPARE(shown.pixel(150, 150), qRgb(128, 128, 128));
        QCOMPARE(shown.pixel(299, 299), qRgb(128, 128, 128));
    }

    // The same kinds of file at a size whose full decode a test can hold:
    // the rows passed over are skipped exactly.
    void hollowFilesLikeFullDecode_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::newRow("progressive, no data") << fixtures::hollowProgressive(4000, 3000, 0);
        QTest::newRow("progressive, 5 empty scans") << fixtures::hollowProgressive(3000, 4000, 5);
        QTest::newRow("baseline, empty restart segments") << fixtures::hollowRestarts(4000, 3000, 100, 500);
        QTest::newRow("baseline, restart segments to past the end") << fixtures::hollowRestarts(3001, 2999, 7, 9000);
    }
    void hollowFilesLikeFullDecode()
    {
        QFETCH(QByteArray, jpeg);
        QVERIFY(!jpeg.isEmpty());
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("hollow.jpg"), jpeg)).value();
        const QSize shown = picture::targetSize(reader.size().width(), reader.size().height());
        QCOMPARE(reader.decodeReduced(shown).value().picture, fixtures::fullDecodeThenSample(jpeg, shown));
    }

    // Once the scan's data end at a marker that libjpeg leaves in place (a
    // comment, say, with restart intervals or without), every later block
    // is empty: decoding stops a few rows past it, and what follows the
    // marker is still read as the full decode reads it.
    void markerEndsData_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        const QByteArray end("\xFF\xD9", 2);
        const QByteArray comment("\xFF\xFE\x00\x06note", 8);
        // The length bytes apart from the letters: "\x04ab" would be one
        // escape.
        const QByteArray app5 = QByteArray("\xFF\xE5\x00\x04", 4) + "ab";
        const QByteArray scan =
            fixtures::cjpeg(fixtures::pattern(64, 64), {})
                .mid(fixtures::cjpeg(fixtures::pattern(64, 64), {}).indexOf(QByteArray("\xFF\xDA", 2)), 14);
        QTest::newRow("restart interval 1, comment, end") << fixtures::markerAfterData(4000, 3000, 1, comment + end);
        QTest::newRow("no restart interval, comment, end") << fixtures::markerAfterData(4000, 3000, 0, comment + end);
        QTest::newRow("restart interval 7, APP5, comment, end")
            << fixtures::markerAfterData(3001, 2999, 7, app5 + comment + end);
        QTest::newRow("restart interval 1, comment, file ends") << fixtures::markerAfterData(4000, 3000, 1, comment);
        QTest::newRow("restart interval 1, comment, a second scan")
            << fixtures::markerAfterData(4000, 3000, 1, comment + scan + end);
        QTest::newRow("no restart interval, RST3, end")
            << fixtures::markerAfterData(4000, 3000, 0, QByteArray("\xFF\xD3", 2) + end);
        QTest::newRow("restart interval 1, end") << fixtures::markerAfterData(4000, 3000, 1, end);
    }
    void markerEndsData()
    {
        QFETCH(QByteArray, jpeg);
        QVERIFY(!jpeg.isEmpty());
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("marker.jpg"), jpeg)).value();
        const QSize shown = picture::targetSize(reader.size().width(), reader.size().height());
        QImage ours;
        const Result<picture::DecodedJpeg> decoded = reader.decodeReduced(shown);
        const QString message = fixtures::failureOf(decoded);
        if (decoded)
            ours = decoded->picture;
        QVERIFY2(reader.rowsDecoded() < 100, qPrintable(QString::number(reader.rowsDecoded())));
        const QImage full = fixtures::djpegFull(jpeg);
        if (full.isNull()) {
            QVERIFY2(message.startsWith(QStringLiteral("JPEG error #")), qPrintable(message));
            return;
        }
        QCOMPARE(message, QString());
        QCOMPARE(ours, fixtures::sample(full, shown));
    }

    // 4096 x 4096 (as many pixels as any file may declare) with a restart
    // interval of one MCU and a comment after 16 bytes of data: the decoder
    // stops a few rows past the comment.
    void markerInHugeBaseline()
    {
        const QByteArray jpeg =
            fixtures::markerAfterData(4096, 4096, 1, QByteArray("\xFF\xFE\x00\x06note\xFF\xD9", 10));
        QVERIFY(jpeg.size() < 1024);
        picture::JpegReader reader = picture::JpegReader::open(put(QStringLiteral("huge-marker.jpg"), jpeg)).value();
        QImage shown;
        const Result<picture::DecodedJpeg> decoded = reader.decodeReduced(QSize(300, 300));
        QCOMPARE(fixtures::failureOf(decoded), QString());
        shown = decoded->picture;
        QVERIFY2(reader.rowsDecoded() < 200, qPrintable(QString::number(reader.rowsDecoded())));
        QCOMPARE(shown.pixel(150, 150), qRgb(128, 128, 128));
        QCOMPARE(shown.pixel(299, 299), qRgb(128, 128, 128));
    }

    // Only the first EXIF segment is kept: the reader holds nothing of the
    // 20 MB of other APP1 segments, and a later EXIF segment does not count.
    void app1SegmentsNotKept()
    {
        const QByteArray jpeg = fixtures::app1Padding(fixtures::cjpeg(fixtures::pattern(64, 48), {}), 320, 6, 3);
        QVERIFY(jpeg.size() > 20 * 1000 * 1000);
        const QString path = put(QStringLiteral("app1.jpg"), jpeg);
        const qint64 before = heapInUse();
        picture::JpegReader reader = picture::JpegReader::open(path).value();
        const qint64 held = heapInUse() - before;
        QVERIFY2(held < 2 * 1024 * 1024, qPrintable(QString::number(held)));
        QCOMPARE(reader.orientation(), 6);
        QCOMPARE(reader.size(), QSize(48, 64));
        QCOMPARE(reader.decodeReduced(QSize(48, 64)).value().picture.size(), QSize(48, 64));
    }
};

QTEST_MAIN(TestPictureLimits)
#include "test_picture_limits.moc"
