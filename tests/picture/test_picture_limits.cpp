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
    // refused: more than 500 scans, or scans that go over the picture's
    // blocks more than 12 times.
    void scanLimits_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<bool>("refused");
        QTest::newRow("scan bomb: 12000x12000, 3000 empty scans")
            << fixtures::hollowProgressive(12000, 12000, 3000) << true;
        QTest::newRow("600 scans on a small picture") << fixtures::hollowProgressive(64, 64, 590) << true;
        QTest::newRow("490 scans on a small picture") << fixtures::hollowProgressive(64, 64, 480) << false;
        QTest::newRow("40 empty scans over 4000x3000") << fixtures::hollowProgressive(4000, 3000, 40) << true;
        QTest::newRow("5 empty scans over 4000x3000") << fixtures::hollowProgressive(4000, 3000, 5) << false;
    }
    void scanLimits()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(bool, refused);
        QVERIFY(!jpeg.isEmpty());
        picture::JpegReader reader(put(QStringLiteral("scans.jpg"), jpeg));
        const QSize shown = picture::targetSize(reader.size().width(), reader.size().height());
        const QString message = fixtures::failureOf([&] { reader.decodeReduced(shown); });
        QCOMPARE(message, refused ? QStringLiteral("JPEG error #%1").arg(int(JERR_BAD_PROGRESSION)) : QString());
    }

    // The decoder's memory is enough for a 200-megapixel progressive 4:2:0
    // photo.
    void progressive200MegapixelsLoads()
    {
        const QByteArray jpeg = fixtures::hollowProgressive(16384, 12288, 0);
        picture::JpegReader reader(put(QStringLiteral("200mp.jpg"), jpeg));
        QCOMPARE(fixtures::failureOf([&] { QCOMPARE(reader.decodeReduced(QSize(300, 225)).size(), QSize(300, 225)); }),
                 QString());
    }

    // A header that claims 65000 x 65000 pixels with almost no data behind
    // it is over at once.
    void enormousBaselineHeaderWithoutData()
    {
        const QByteArray jpeg = fixtures::jpegDeclaring(fixtures::cjpeg(fixtures::pattern(64, 64), {}), 65000, 65000);
        QVERIFY(!jpeg.isEmpty());
        picture::JpegReader reader(put(QStringLiteral("huge.jpg"), jpeg));
        QCOMPARE(reader.size(), QSize(65000, 65000));
        reader.decodeReduced(QSize(300, 300));
        QVERIFY(reader.rowsDecoded() < 200);
    }

    // A progressive picture whose coefficients would need more than the
    // decoder's memory (16384 x 16384 at 4:4:4, 1.5 GB) ends with libjpeg's
    // error for the memory limit.
    void enormousProgressiveHitsMemoryLimit()
    {
        const QByteArray jpeg = fixtures::jpegDeclaring(
            fixtures::cjpeg(fixtures::pattern(64, 64), {"-progressive", "-sample", "1x1"}), 16384, 16384);
        QVERIFY(!jpeg.isEmpty());
        picture::JpegReader reader(put(QStringLiteral("hugeprog.jpg"), jpeg));
        const QString message = fixtures::failureOf([&] { reader.decodeReduced(QSize(300, 300)); });
        QCOMPARE(message, QStringLiteral("JPEG error #%1").arg(int(JERR_NO_BACKING_STORE)));
    }

    // Small files that declare a huge picture with next to no data behind
    // it. A progressive picture above 2^28 pixels is refused as soon as its
    // header is read; smaller ones, and baseline pictures of any size whose
    // restart segments make the decoder go through every row, load.
    void hostileSmallFiles_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<int>("code"); // 0: loads
        QTest::newRow("progressive 65000x65000")
            << fixtures::hollowProgressive(65000, 65000, 0) << int(JERR_IMAGE_TOO_BIG);
        QTest::newRow("progressive 16385x16384, just over 2^28 pixels")
            << fixtures::hollowProgressive(16385, 16384, 0) << int(JERR_IMAGE_TOO_BIG);
        QTest::newRow("progressive 12000x12000") << fixtures::hollowProgressive(12000, 12000, 0) << 0;
        QTest::newRow("baseline 65000x65000, 260 empty restart segments of 65535 MCUs")
            << fixtures::hollowRestarts(65000, 65000, 65535, 260) << 0;
    }
    void hostileSmallFiles()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(int, code);
        QVERIFY(!jpeg.isEmpty());
        QVERIFY(jpeg.size() < 16 * 1024);
        const QString path = put(QStringLiteral("hostile.jpg"), jpeg);
        std::unique_ptr<picture::JpegReader> reader;
        const QString opening = fixtures::failureOf([&] { reader = std::make_unique<picture::JpegReader>(path); });
        if (code) {
            QCOMPARE(opening, QStringLiteral("JPEG error #%1").arg(code));
            return;
        }
        QCOMPARE(opening, QString());
        QImage shown;
        QCOMPARE(fixtures::failureOf([&] { shown = reader->decodeReduced(QSize(300, 300)); }), QString());
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
        picture::JpegReader reader(put(QStringLiteral("hollow.jpg"), jpeg));
        const QSize shown = picture::targetSize(reader.size().width(), reader.size().height());
        QCOMPARE(reader.decodeReduced(shown), fixtures::fullDecodeThenSample(jpeg, shown));
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
        picture::JpegReader reader(put(QStringLiteral("marker.jpg"), jpeg));
        const QSize shown = picture::targetSize(reader.size().width(), reader.size().height());
        QImage ours;
        const QString message = fixtures::failureOf([&] { ours = reader.decodeReduced(shown); });
        QVERIFY2(reader.rowsDecoded() < 100, qPrintable(QString::number(reader.rowsDecoded())));
        const QImage full = fixtures::djpegFull(jpeg);
        if (full.isNull()) {
            QVERIFY2(message.startsWith(QStringLiteral("JPEG error #")), qPrintable(message));
            return;
        }
        QCOMPARE(message, QString());
        QCOMPARE(ours, fixtures::sample(full, shown));
    }

    // 65500 x 65500 with a restart interval of one MCU and a comment after
    // 16 bytes of data: 178 bytes that made the decoder go through 67
    // million MCUs.
    void markerInHugeBaseline()
    {
        const QByteArray jpeg =
            fixtures::markerAfterData(65500, 65500, 1, QByteArray("\xFF\xFE\x00\x06note\xFF\xD9", 10));
        QVERIFY(jpeg.size() < 1024);
        picture::JpegReader reader(put(QStringLiteral("huge-marker.jpg"), jpeg));
        QImage shown;
        QCOMPARE(fixtures::failureOf([&] { shown = reader.decodeReduced(QSize(300, 300)); }), QString());
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
        picture::JpegReader reader(path);
        const qint64 held = heapInUse() - before;
        QVERIFY2(held < 2 * 1024 * 1024, qPrintable(QString::number(held)));
        QCOMPARE(reader.orientation(), 6);
        QCOMPARE(reader.size(), QSize(48, 64));
        QCOMPARE(reader.decodeReduced(QSize(48, 64)).size(), QSize(48, 64));
    }
};

QTEST_MAIN(TestPictureLimits)
#include "test_picture_limits.moc"
