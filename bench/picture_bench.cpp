// Figures for loading a work picture: the time to load and reduce a JPEG
// file next to djpeg's time to decode it. The peak memory of `load` and
// `idle` is measured from outside (run-picture.sh, with GNU time).
//
//   picture_bench ppm WIDTH HEIGHT      a photo-like PPM on standard output
//   picture_bench time FILE DJPEG RUNS  best times of ours and of djpeg (ms),
//                                       and their ratio
//   picture_bench time8 FILE DJPEG RUNS the same against djpeg -scale 1/8
//   picture_bench png W H BITS FILE     a uniform translucent PNG, 8 or 16 bits
//                                       a channel, compressed hard
//   picture_bench refuse FILE           time (ms) until the load is refused,
//                                       and the message
//   picture_bench best FILE RUNS        best time of ours (ms)
//   picture_bench uniform W H INTERLACED FILE
//                                       a uniform translucent 8-bit RGBA PNG,
//                                       plain (0) or Adam7-interlaced (1),
//                                       compressed hard
//   picture_bench cmykbomb FILE         a 1.7 kB progressive CMYK JPEG that
//                                       declares 16384 x 16384 pixels, 4 scans
//   picture_bench preview FILE          time (ms) of the open dialog's preview,
//                                       and whether it shows a picture
//   picture_bench load FILE             one load (for memory)
//   picture_bench idle FILE             no load (for memory)

#include "core/failure.h"
#include "core/result.h"
#include "picture/picture_file.h"
#include "picture/picture_size.h"

#include <jpeglib.h>
#include <zlib.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
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

// One load as the window does it; the failure that ends it, if any (a
// file meant to load aborts on one: see loadAndReduce).
std::optional<Failure> tryLoad(const QString &path)
{
    Result<picture::PictureFile> reader = picture::PictureFile::open(path);
    if (!reader)
        return reader.error();
    const QSize shown = picture::targetSize(reader->size().width(), reader->size().height());
    const Result<QImage> picture = reader->decodeReduced(shown);
    if (!picture)
        return picture.error();
    if (picture->size() != shown)
        std::abort();
    return std::nullopt;
}

void loadAndReduce(const QString &path)
{
    if (tryLoad(path))
        std::abort();
}

double runDjpeg(const char *djpeg, const char *file, bool eighth = false)
{
    const char *full[] = {djpeg, "-outfile", "/dev/null", file, nullptr};
    const char *scaled[] = {djpeg, "-scale", "1/8", "-outfile", "/dev/null", file, nullptr};
    const char **argv = eighth ? scaled : full;
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

int timeBoth(const char *file, const char *djpeg, int runs, bool eighth = false)
{
    const QString path = QString::fromLocal8Bit(file);
    double ours = 1e9, theirs = 1e9;
    loadAndReduce(path); // warm the page cache
    for (int i = 0; i < runs; ++i) {
        theirs = std::min(theirs, runDjpeg(djpeg, file, eighth));
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

int timeOurs(const char *file, int runs)
{
    const QString path = QString::fromLocal8Bit(file);
    double ours = 1e9;
    loadAndReduce(path); // warm the page cache
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        loadAndReduce(path);
        ours = std::min(ours, seconds(start));
    }
    std::printf("%.2f\n", ours * 1000);
    return 0;
}

// PNG by hand, so that it can be interlaced: the rows (of each Adam7 pass)
// are all the same, each with filter 0.
void putChunk(std::FILE *out, const char *type, const std::vector<unsigned char> &data)
{
    const unsigned char length[4] = {uchar(data.size() >> 24), uchar(data.size() >> 16), uchar(data.size() >> 8),
                                     uchar(data.size())};
    std::fwrite(length, 1, 4, out);
    uLong crc = crc32(0, reinterpret_cast<const Bytef *>(type), 4);
    crc = crc32(crc, data.data(), uInt(data.size()));
    std::fwrite(type, 1, 4, out);
    std::fwrite(data.data(), 1, data.size(), out);
    const unsigned char sum[4] = {uchar(crc >> 24), uchar(crc >> 16), uchar(crc >> 8), uchar(crc)};
    std::fwrite(sum, 1, 4, out);
}

int writeUniformPng(int width, int height, bool interlaced, const char *file)
{
    std::FILE *out = std::fopen(file, "wb");
    if (!out)
        return 1;
    std::fwrite("\x89PNG\r\n\x1a\n", 1, 8, out);
    std::vector<unsigned char> header = {uchar(width >> 24),
                                         uchar(width >> 16),
                                         uchar(width >> 8),
                                         uchar(width),
                                         uchar(height >> 24),
                                         uchar(height >> 16),
                                         uchar(height >> 8),
                                         uchar(height),
                                         8,
                                         6,
                                         0,
                                         0,
                                         uchar(interlaced ? 1 : 0)};
    putChunk(out, "IHDR", header);
    z_stream stream{};
    deflateInit(&stream, 9);
    std::vector<unsigned char> row(size_t(width) * 4 + 1), compressed(1 << 20), idat;
    for (size_t x = 0; x < size_t(width); ++x) {
        row[1 + 4 * x] = 200;
        row[2 + 4 * x] = 100;
        row[3 + 4 * x] = 50;
        row[4 + 4 * x] = 128;
    }
    static const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    auto feed = [&](const unsigned char *data, size_t size, int flush) {
        stream.next_in = const_cast<Bytef *>(data);
        stream.avail_in = uInt(size);
        do {
            stream.next_out = compressed.data();
            stream.avail_out = uInt(compressed.size());
            deflate(&stream, flush);
            idat.insert(idat.end(), compressed.data(), compressed.data() + (compressed.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    };
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
        const int x0 = interlaced ? passes[pass][0] : 0, y0 = interlaced ? passes[pass][1] : 0;
        const int dx = interlaced ? passes[pass][2] : 1, dy = interlaced ? passes[pass][3] : 1;
        const int columns = width > x0 ? (width - x0 + dx - 1) / dx : 0;
        if (columns == 0)
            continue;
        for (int y = y0; y < height; y += dy)
            feed(row.data(), size_t(columns) * 4 + 1, Z_NO_FLUSH);
    }
    feed(nullptr, 0, Z_FINISH);
    deflateEnd(&stream);
    putChunk(out, "IDAT", idat);
    putChunk(out, "IEND", {});
    return std::fclose(out) == 0 ? 0 : 1;
}

int writeCmykBomb(const char *file)
{
    jpeg_compress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&codec, &buffer, &size);
    codec.image_width = 64;
    codec.image_height = 64;
    codec.input_components = 4;
    codec.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&codec);
    jpeg_simple_progression(&codec);
    jpeg_start_compress(&codec, TRUE);
    std::vector<JSAMPLE> row(64 * 4, 128);
    while (codec.next_scanline < codec.image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&codec, &pointer, 1);
    }
    jpeg_finish_compress(&codec);
    jpeg_destroy_compress(&codec);
    std::string jpeg(reinterpret_cast<const char *>(buffer), size);
    free(buffer);
    const size_t sof = jpeg.find("\xFF\xC2");
    if (sof == std::string::npos)
        return 1;
    jpeg.replace(sof + 5, 4, std::string("\x40\x00\x40\x00", 4));
    size_t cut = 0;
    for (int scan = 0; scan <= 4; ++scan)
        if ((cut = jpeg.find("\xFF\xDA", cut + 2)) == std::string::npos)
            return 1;
    jpeg = jpeg.substr(0, cut) + "\xFF\xD9";
    std::FILE *out = std::fopen(file, "wb");
    return out && std::fwrite(jpeg.data(), 1, jpeg.size(), out) == jpeg.size() && std::fclose(out) == 0 ? 0 : 1;
}

int timePreview(const char *file)
{
    std::atomic<bool> cancelled(false);
    const auto start = Clock::now();
    const QImage shown = picture::previewPicture(QString::fromLocal8Bit(file), 160, &cancelled);
    std::printf("%.2f %s\n", seconds(start) * 1000, shown.isNull() ? "none" : "shown");
    return 0;
}

int timeRefusal(const char *file)
{
    const auto start = Clock::now();
    if (const std::optional<Failure> failure = tryLoad(QString::fromLocal8Bit(file))) {
        std::printf("%.2f %s\n", seconds(start) * 1000, failure->what());
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
    if (argc == 5 && std::strcmp(argv[1], "time8") == 0)
        return timeBoth(argv[2], argv[3], std::atoi(argv[4]), true);
    if (argc == 6 && std::strcmp(argv[1], "png") == 0)
        return writePng(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    if (argc == 3 && std::strcmp(argv[1], "refuse") == 0)
        return timeRefusal(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "best") == 0)
        return timeOurs(argv[2], std::atoi(argv[3]));
    if (argc == 6 && std::strcmp(argv[1], "uniform") == 0)
        return writeUniformPng(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]) != 0, argv[5]);
    if (argc == 3 && std::strcmp(argv[1], "cmykbomb") == 0)
        return writeCmykBomb(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "preview") == 0)
        return timePreview(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "load") == 0) {
        loadAndReduce(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "idle") == 0)
        return QString::fromLocal8Bit(argv[2]).isEmpty() ? 1 : 0;
    std::fprintf(
        stderr,
        "usage: picture_bench ppm W H | time FILE DJPEG RUNS | png W H BITS FILE | refuse FILE | load FILE | idle FILE"
        " | best FILE RUNS | uniform W H INTERLACED FILE | cmykbomb FILE | preview FILE\n");
    return 2;
}
