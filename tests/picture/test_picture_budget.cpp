#include "core/failure.h"
#include "picture/budget.h"
#include "picture/picture_file.h"
#include "picture/picture_size.h"
#include "picture_fixtures.h"
#include "save/data_document.h"
#include "save/package_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <memory>

namespace {

// CPU time of this thread, in seconds: what a reading costs, whatever else
// the machine is doing.
double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 5; // the sanitizers' cost
constexpr bool kMeasureMemory = false;
#else
constexpr double kSlowdown = 1;
constexpr bool kMeasureMemory = true;
#endif

// The peak of the process's resident memory since resetPeak(), in MB.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
qint64 peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong() / 1024;
    return -1;
}

} // namespace

// Files that cost a decoder far more than their size. Each ends within the
// reading budget, as a picture or as a refusal that says why, in bounded
// CPU time and memory.
class TestPictureBudget : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString put(const QString &name, const QByteArray &bytes) { return fixtures::put(dir, name, bytes); }

    // Loads the file as the window does; gives the failure's words (empty
    // when it loads) and the picture.
    static QString load(const QString &path, QImage *shown = nullptr, const picture::ReadOptions &options = {})
    {
        Result<picture::PictureFile> file = picture::PictureFile::open(path, options);
        if (!file)
            return fixtures::failureOf(file);
        const Result<QImage> picture =
            file->decodeReduced(picture::targetSize(file->size().width(), file->size().height()));
        if (picture && shown)
            *shown = *picture;
        return fixtures::failureOf(picture);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void budgetRows_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message"); // empty: loads
        QTest::addColumn<double>("cpuSeconds");
        const QString tooBig = QStringLiteral("too big: %1 x %1 (at most %2 pixels)");
        const qint64 always = picture::kPixelsAlways;

        QByteArray jpeg = fixtures::arithmeticHollow(65500, false, 8000);
        QVERIFY(!jpeg.isEmpty() && jpeg.size() < 9000);
        QTest::newRow("arithmetic-coded 65500², 4:4:4, 8000 zero bytes")
            << put("arith444.jpg", jpeg) << tooBig.arg(65500).arg(always) << 1.0;
        jpeg = fixtures::arithmeticHollow(65500, true, 1000);
        QVERIFY(!jpeg.isEmpty() && jpeg.size() < 1200);
        QTest::newRow("arithmetic-coded grey 65500², 1000 zero bytes")
            << put("arithgrey.jpg", jpeg) << tooBig.arg(65500).arg(always) << 1.0;
        jpeg = fixtures::emptyRefinements(16384, 10);
        QVERIFY(!jpeg.isEmpty() && jpeg.size() < 1024);
        QTest::newRow("progressive 16384², 10 empty refinement scans")
            << put("refine10.jpg", jpeg) << tooBig.arg(16384).arg(always) << 1.0;
        jpeg = fixtures::cmykSampled(16384);
        QVERIFY(!jpeg.isEmpty() && jpeg.size() < 1024);
        QTest::newRow("progressive CMYK 16384², first component 2x2")
            << put("cmyk.jpg", jpeg) << tooBig.arg(16384).arg(always) << 1.0;
        jpeg = fixtures::emptyRefinements(16384, 499);
        QVERIFY(!jpeg.isEmpty() && jpeg.size() < 6000);
        QTest::newRow("progressive 16384², 499 empty scans")
            << put("refine499.jpg", jpeg) << tooBig.arg(16384).arg(always) << 1.0;

        // Within the pixels any file may declare, the work counter ends
        // them: every block of a 4096² arithmetic-coded picture is decoded
        // (the coder makes data from zeros), and empty scans over 4000x3000.
        QTest::newRow("arithmetic-coded 4096², 4:4:4, 8000 zero bytes")
            << put("arith4096.jpg", fixtures::arithmeticHollow(4096, false, 8000)) << QString() << 1.0;
        QTest::newRow("progressive 4000x3000, 60 empty scans")
            << put("scans60.jpg", fixtures::hollowProgressive(4000, 3000, 60)) << QStringLiteral("too costly") << 1.0;

        const QString paeth = dir.filePath("paeth.png");
        QVERIFY(fixtures::writePaethZeros(paeth, 5792, 5792, 16));
        QVERIFY(QFileInfo(paeth).size() < 300 * 1024);
        QTest::newRow("PNG 5792² RGBA 16-bit, Paeth rows over zeros") << paeth << QStringLiteral("too costly") << 1.0;
        const QString wide = dir.filePath("wide.png");
        QVERIFY(fixtures::writePaethZeros(wide, 1000000, 64, 8));
        // 64 megapixels in 260 KB: just within the pixels of its size, and
        // far over its work.
        QTest::newRow("PNG 1,000,000 x 64 RGBA") << wide << QStringLiteral("too costly") << 1.0;
        for (const char *type : {"eXIf", "tEXt", "iTXt"}) {
            const QString big = dir.filePath(QStringLiteral("big-%1.png").arg(type));
            QVERIFY(fixtures::writeBigChunk(big, type, 100 * 1000 * 1000));
            QTest::newRow(qPrintable(QStringLiteral("PNG 400x300 behind a 100 MB %1 chunk").arg(type)))
                << big << QString() << 3.0;
        }
    }
    void budgetRows()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        QFETCH(double, cpuSeconds);
        resetPeak();
        const double start = threadCpuSeconds();
        QImage shown;
        QCOMPARE(load(path, &shown), message);
        const double spent = threadCpuSeconds() - start;
        QVERIFY2(spent < cpuSeconds * kSlowdown, qPrintable(QString::number(spent)));
        if (kMeasureMemory) {
            const qint64 peak = peakMegabytes();
            QVERIFY2(peak < 300, qPrintable(QString::number(peak)));
        }
        if (message.isEmpty())
            QVERIFY(!shown.isNull());
    }

    // An orientation in an eXIf chunk passed over unread is not applied;
    // the same orientation in a small one is.
    void orientationOfSkippedExif()
    {
        const QString big = dir.filePath("orient-big.png");
        QVERIFY(fixtures::writeBigChunk(big, "eXIf", 3 * 1024 * 1024));
        QCOMPARE(picture::PictureFile::open(big).value().size(), QSize(400, 300));
        const QString small = dir.filePath("orient-small.png");
        QVERIFY(fixtures::writeBigChunk(small, "eXIf", 1024 * 1024));
        QCOMPARE(picture::PictureFile::open(small).value().size(), QSize(300, 400));
    }

    // A reading whose flag is raised stops at the next row or scan: the
    // costly PNG and a 4096² arithmetic-coded picture end as cancelled
    // after next to no work.
    void cancelledReadingStops_data()
    {
        QTest::addColumn<QString>("path");
        const QString paeth = dir.filePath("paeth-cancel.png");
        QVERIFY(fixtures::writePaethZeros(paeth, 5792, 5792, 16));
        QTest::newRow("PNG") << paeth;
        QTest::newRow("arithmetic JPEG") << put("arith-cancel.jpg", fixtures::arithmeticHollow(4096, false, 8000));
    }
    void cancelledReadingStops()
    {
        QFETCH(QString, path);
        std::atomic<bool> cancelled = false;
        picture::ReadOptions options;
        options.cancelled = &cancelled;
        picture::PictureFile file = picture::PictureFile::open(path, options).value();
        cancelled = true;
        const double start = threadCpuSeconds();
        QCOMPARE(fixtures::failureOf(file.decodeReduced(QSize(300, 300))), QStringLiteral("cancelled"));
        const double spent = threadCpuSeconds() - start;
        QVERIFY2(spent < 0.1 * kSlowdown, qPrintable(QString::number(spent)));
    }

    // An arithmetic-coded picture cut short: past the cut, the decoder
    // goes on making stripes from the zeros it is given, and the picture
    // shows them exactly as djpeg does.
    void truncatedArithmeticLikeDjpeg_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        const QByteArray whole = fixtures::cjpeg(fixtures::pattern(600, 450), {"-arithmetic"});
        const QByteArray grey = fixtures::cjpeg(fixtures::pattern(450, 600), {"-arithmetic", "-grayscale"});
        QVERIFY(!whole.isEmpty() && !grey.isEmpty());
        for (int tenth = 1; tenth <= 9; tenth += 2) {
            QTest::addRow("4:2:0 cut at %d/10", tenth) << whole.left(whole.size() * tenth / 10);
            QTest::addRow("grey cut at %d/10", tenth) << grey.left(grey.size() * tenth / 10);
        }
    }
    void truncatedArithmeticLikeDjpeg()
    {
        QFETCH(QByteArray, jpeg);
        const QString path = put(QStringLiteral("cut-arith.jpg"), jpeg);
        QImage shown;
        QCOMPARE(load(path, &shown), QString());
        const QImage full = fixtures::djpegFull(jpeg);
        QVERIFY(!full.isNull());
        QCOMPARE(shown, fixtures::sample(full, shown.size()));
    }

    // The package reader (the window's opening and the committee's tool)
    // reads image.jpg with the same budget: a package whose picture is the
    // 8 KB arithmetic-coded file is refused at once, decoding or verifying.
    void packageWithCostlyPicture_data()
    {
        QTest::addColumn<bool>("decode");
        QTest::newRow("opened by the window") << true;
        QTest::newRow("checked by the committee's tool") << false;
    }
    void packageWithCostlyPicture()
    {
        QFETCH(bool, decode);
        PassportSnapshot passport;
        passport.title = QStringLiteral("Работа");
        const QByteArray zip =
            save::zipStored({{QStringLiteral("data.xml"), save::buildDataDocument(passport, 1234567890)},
                             {QStringLiteral("image.jpg"), fixtures::arithmeticHollow(65500, false, 8000)}})
                .value();
        save::ReadOptions options;
        options.decodePicture = decode;
        const double start = threadCpuSeconds();
        const save::ReadResult result = save::readPackageBytes(zip, options);
        const double spent = threadCpuSeconds() - start;
        QVERIFY2(spent < 0.5 * kSlowdown, qPrintable(QString::number(spent)));
        QVERIFY(!result.contents);
        bool tooLarge = false;
        for (const save::ReadProblem &problem : result.problems)
            tooLarge = tooLarge
                       || (problem.code == save::ReadProblemCode::PictureTooLarge && problem.width == 65500
                           && problem.height == 65500);
        QVERIFY(tooLarge);
    }
};

QTEST_MAIN(TestPictureBudget)
#include "test_picture_budget.moc"
