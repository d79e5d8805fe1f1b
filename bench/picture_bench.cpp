// Figures for loading a work picture: the time to load and reduce a JPEG
// file next to djpeg's time to decode it. The peak memory of `load` and
// `idle` is measured from outside (run-picture.sh, with GNU time).
//
//   picture_bench ppm WIDTH HEIGHT      a photo-like PPM on standard output
//   picture_bench time FILE DJPEG RUNS  best times of ours and of djpeg (ms),
//                                       and their ratio
//   picture_bench png W H BITS FILE     a uniform translucent PNG, 8 or 16 bits
//                                       a channel, compressed hard
//   picture_bench refuse FILE           time (ms) until the load is refused,
//                                       and the message
//   picture_bench load FILE             one load (for memory)
//   picture_bench idle FILE             no load (for memory)

#include "core/failure.h"
#include "picture/picture_file.h"
#include "picture/picture_size.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

int writePpm(int width, int height)
{
    std::printf("P6\n%d %d\n255\n", width, height);
    std::vector<unsigned char> row(size_t(width) * 3);
    unsigned state = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const int noise = int((state >> 16) & 15) - 8;
            const double wave = std::sin(x / 37.0) * std::cos(y / 23.0);
            auto clamp = [](double v) { return (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v); };
            row[size_t(x) * 3 + 0] = clamp(x * 255.0 / width + noise);
            row[size_t(x) * 3 + 1] = clamp(y * 255.0 / height + noise);
            row[size_t(x) * 3 + 2] = clamp(128 + 90 * wave + noise);
        }
        std::fwrite(row.data(), 1, row.size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

void loadAndReduce(const QString &path)
{
    picture::PictureFile reader(path);
    const QSize shown = picture::targetSize(reader.size().width(), reader.size().height());
    const QImage picture = reader.decodeReduced(shown);
    if (picture.size() != shown)
        std::abort();
}

double runDjpeg(const char *djpeg, const char *file)
{
    const char *argv[] = {djpeg, "-outfile", "/dev/null", file, nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, djpeg, nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
        std::abort();
    int status = 0;
    waitpid(pid, &status, 0);
    const double elapsed = seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::abort();
    return elapsed;
}

int timeBoth(const char *file, const char *djpeg, int runs)
{
    const QString path = QString::fromLocal8Bit(file);
    double ours = 1e9, theirs = 1e9;
    loadAndReduce(path); // warm the page cache
    for (int i = 0; i < runs; ++i) {
        theirs = std::min(theirs, runDjpeg(djpeg, file));
        const auto start = Clock::now();
        loadAndReduce(path);
        ours = std::min(ours, seconds(start));
    }
    std::printf("%.2f %.2f %.3f\n", ours * 1000, theirs * 1000, ours / theirs);
    return 0;
}

int writePng(int width, int height, int bits, const char *file)
{
    QImage image(width, height, bits == 16 ? QImage::Format_RGBA64 : QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 0, 128));
    QImageWriter writer(QString::fromLocal8Bit(file), "png");
    writer.setQuality(0); // the strongest compression
    return writer.write(image) ? 0 : 1;
}

int timeRefusal(const char *file)
{
    const auto start = Clock::now();
    try {
        loadAndReduce(QString::fromLocal8Bit(file));
    } catch (const Failure &failure) {
        std::printf("%.2f %s\n", seconds(start) * 1000, failure.what());
        return 0;
    }
    std::printf("%.2f loaded\n", seconds(start) * 1000);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "ppm") == 0)
        return writePpm(std::atoi(argv[2]), std::atoi(argv[3]));
    if (argc == 5 && std::strcmp(argv[1], "time") == 0)
        return timeBoth(argv[2], argv[3], std::atoi(argv[4]));
    if (argc == 6 && std::strcmp(argv[1], "png") == 0)
        return writePng(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    if (argc == 3 && std::strcmp(argv[1], "refuse") == 0)
        return timeRefusal(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "load") == 0) {
        loadAndReduce(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "idle") == 0)
        return QString::fromLocal8Bit(argv[2]).isEmpty() ? 1 : 0;
    std::fprintf(
        stderr,
        "usage: picture_bench ppm W H | time FILE DJPEG RUNS | png W H BITS FILE | refuse FILE | load FILE | idle FILE\n");
    return 2;
}
