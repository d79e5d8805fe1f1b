// The memory of a long session through the real window: a 12-megapixel
// photo loaded, removed and loaded again a hundred times, and the passport
// saved ten times with the real archiver. Prints the peak resident memory
// and the heap in use after the warm-up and at the end, and fails when the
// heap grew by 256 KB or more: a leaked picture row or bitmap would be tens
// of kilobytes a round.

#include "scripted_session.h"
#include "spelling/checker.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <malloc.h>
#include <sys/resource.h>

namespace {

long peakResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double mb(double bytes) { return bytes / (1024.0 * 1024.0); }

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QDir dir(folder.path());
    dir.mkpath(QStringLiteral("temp"));
    platform::testing::setTempFolder(dir.filePath(QStringLiteral("temp")));
    // Made by another process, so that making it does not count towards
    // this one's peak.
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    if (QProcess::execute(QStringLiteral("convert"), {QStringLiteral("-size"), QStringLiteral("4000x3000"),
                                                      QStringLiteral("gradient:red-blue"), photo})
        != 0)
        return 2;

    tt::Session session;
    // The spelling dictionaries are loaded once, not during the measurement.
    spelling::sharedChecker()->waitUntilLoaded();
    tt::fillCompletePassport(session);
    const long idleKb = peakResidentKb();

    int loads = 0, saves = 0;
    for (int i = 0; i < 10; ++i)
        loads += tt::loadAndRemovePicture(session, photo);
    saves += tt::savePassport(session, photo, dir.filePath(QStringLiteral("warm.kwp")));
    // The seam's record of what was shown is test bookkeeping: dropped
    // before each measurement.
    gui::modal::testing::reset();
    const size_t heapAfterWarmUp = mallinfo2().uordblks;
    for (int i = 0; i < 90; ++i)
        loads += tt::loadAndRemovePicture(session, photo);
    for (int i = 0; i < 9; ++i)
        saves += tt::savePassport(session, photo, dir.filePath(QStringLiteral("p%1.kwp").arg(i)));
    gui::modal::testing::reset();
    const size_t heapAtEnd = mallinfo2().uordblks;

    printf("session: %d loads and removals of a 4000 x 3000 photo, %d saves\n", loads, saves);
    printf("peak resident memory: %.1f MB (%.1f MB above the idle window)\n", peakResidentKb() / 1024.0,
           (peakResidentKb() - idleKb) / 1024.0);
    printf("heap in use: %.2f MB after the warm-up, %.2f MB at the end (growth %+.1f KB)\n", mb(heapAfterWarmUp),
           mb(heapAtEnd), (double(heapAtEnd) - double(heapAfterWarmUp)) / 1024.0);
    const double growth = double(heapAtEnd) - double(heapAfterWarmUp);
    constexpr double kGrowthLimit = 256 * 1024;
    printf("heap growth target: below %.0f KB: %s\n", kGrowthLimit / 1024.0, growth < kGrowthLimit ? "met" : "MISSED");
    return loads == 100 && saves == 10 && growth < kGrowthLimit ? 0 : 1;
}
