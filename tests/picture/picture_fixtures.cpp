// The shared fixtures: patterns, JPEG files encoded by the real cjpeg,
// libjpeg's and djpeg's full decodes as references, EXIF tagging by
// exiftool, and the words of a failure.

#include "picture_fixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTransform>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace fixtures {

namespace {

QByteArray run(const QString &program, const QStringList &arguments, const QByteArray &input, bool *ok = nullptr,
               int *status = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        if (ok)
            *ok = false;
        return {};
    }
    process.write(input);
    process.closeWriteChannel();
    QByteArray out;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(30000);
        out += process.readAllStandardOutput();
    }
    out += process.readAllStandardOutput();
    if (ok)
        *ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (status)
        *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return out;
}

void quiet(j_common_ptr, int) {}

} // namespace

QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int red = width > 1 ? x * 255 / (width - 1) : 128;
            const int green = height > 1 ? y * 255 / (height - 1) : 128;
            const int blue = ((x / 7 + y / 5) % 2) ? 230 : 20;
            row[x] = qRgb(red, green, blue);
        }
    }
    return image;
}

QByteArray ppm(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    QByteArray bytes = QStringLiteral("P6\n%1 %2\n255\n").arg(rgb.width()).arg(rgb.height()).toLatin1();
    for (int y = 0; y < rgb.height(); ++y)
        bytes.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
    return bytes;
}

QByteArray cjpeg(const QImage &picture, const QStringList &options)
{
    bool ok = false;
    const QByteArray out = run(QStringLiteral("cjpeg"), options, ppm(picture), &ok);
    return ok ? out : QByteArray();
}

QImage fullDecodeThenSample(const QByteArray &jpeg, QSize target)
{
    jpeg_decompress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    errors.emit_message = quiet;
    jpeg_create_decompress(&codec);
    jpeg_mem_src(&codec, reinterpret_cast<const unsigned char *>(jpeg.constData()), (unsigned long)jpeg.size());
    jpeg_read_header(&codec, TRUE);
    const bool grey = codec.jpeg_color_space == JCS_GRAYSCALE;
    codec.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&codec);
    const int w = int(codec.output_width), h = int(codec.output_height), n = codec.output_components;
    std::vector<JSAMPLE> full(size_t(w) * size_t(h) * size_t(n));
    while (codec.output_scanline < codec.output_height) {
        JSAMPROW row = full.data() + size_t(codec.output_scanline) * size_t(w) * size_t(n);
        jpeg_read_scanlines(&codec, &row, 1);
    }
    jpeg_finish_decompress(&codec);
    jpeg_destroy_decompress(&codec);

    QImage out(target, QImage::Format_RGB32);
    for (int y = 0; y < target.height(); ++y) {
        const qint64 sy = qint64(y) * h / target.height();
        for (int x = 0; x < target.width(); ++x) {
            const qint64 sx = qint64(x) * w / target.width();
            const JSAMPLE *p = full.data() + (sy * w + sx) * n;
            out.setPixel(x, y, grey ? qRgb(p[0], p[0], p[0]) : qRgb(p[0], p[1], p[2]));
        }
    }
    return out;
}

QImage djpegFull(const QByteArray &jpeg)
{
    // djpeg exits with 2 where it only warned, with 1 on a fatal error.
    int status = -1;
    const QByteArray pnm = run(QStringLiteral("djpeg"), {QStringLiteral("-pnm")}, jpeg, nullptr, &status);
    if (status != 0 && status != 2)
        return {};
    QImage image;
    if (!image.loadFromData(pnm, pnm.startsWith("P5") ? "PGM" : "PPM"))
        return {};
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage upright(const QImage &stored, int orientation)
{
    const QTransform quarter = QTransform().rotate(90);
    switch (orientation) {
    case 2:
        return stored.mirrored(true, false);
    case 3:
        return stored.mirrored(true, true);
    case 4:
        return stored.mirrored(false, true);
    case 5:
        return stored.transformed(quarter).mirrored(true, false);
    case 6:
        return stored.transformed(quarter);
    case 7:
        return stored.transformed(quarter).mirrored(false, true);
    case 8:
        return stored.transformed(QTransform().rotate(270));
    default:
        return stored;
    }
}

QImage sample(const QImage &full, QSize target)
{
    if (full.isNull())
        return {};
    QImage out(target, QImage::Format_RGB32);
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x)
            out.setPixel(x, y,
                         full.pixel(int(qint64(x) * full.width() / target.width()),
                                    int(qint64(y) * full.height() / target.height())));
    return out;
}

QByteArray exportOf(const QImage &shown) { return cjpeg(shown, {"-quality", "90", "-baseline", "-dct", "float"}); }

QByteArray exifTagged(const QByteArray &jpeg)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tagged.jpg"));
    if (!writeFile(path, jpeg))
        return {};
    bool ok = false;
    run(QStringLiteral("exiftool"), {"-q", "-overwrite_original", "-n", "-Orientation=1", "-ExifByteOrder=MM", path},
        {}, &ok);
    QFile file(path);
    if (!ok || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray setOrientation(QByteArray tagged, int value)
{
    // The IFD entry: tag 0x0112, type SHORT, count 1, then the value.
    const QByteArray entry("\x01\x12\x00\x03\x00\x00\x00\x01", 8);
    const qsizetype at = tagged.indexOf(entry);
    if (at < 0)
        return {};
    tagged[at + 8] = char((value >> 8) & 0xFF);
    tagged[at + 9] = char(value & 0xFF);
    return tagged;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString put(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    if (!writeFile(path, bytes))
        qFatal("cannot write fixture %s", qPrintable(path));
    return path;
}

qsizetype firstScanDataOffset(const QByteArray &jpeg)
{
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sos < 0)
        return -1;
    const int length = (uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]);
    return sos + 2 + length;
}

QString failureWords(const Failure &failure)
{
    const FailureDetails &d = failure.details();
    switch (failure.code()) {
    case FailureCode::CannotOpenFile:
        return QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(d.file), d.reason);
    case FailureCode::CannotCreateFile:
        return QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(d.file), d.reason);
    case FailureCode::JpegError:
        return QStringLiteral("JPEG error #%1").arg(d.number);
    case FailureCode::PngHeaderUnreadable:
        return QStringLiteral("PNG error: the header cannot be read");
    case FailureCode::PngTooLarge:
        return QStringLiteral("PNG error: the picture is too large (%1 x %2 pixels; at most %3 megapixels)")
            .arg(d.width)
            .arg(d.height)
            .arg(d.limit);
    case FailureCode::PngDataUnreadable:
        return QStringLiteral("PNG error: the picture data cannot be read (%1)").arg(d.reason);
    case FailureCode::FloatingPointDivision:
        return QStringLiteral("Floating point division by zero");
    case FailureCode::PictureTooBig:
        return QStringLiteral("too big: %1 x %2 (at most %3 pixels)").arg(d.width).arg(d.height).arg(d.limit);
    case FailureCode::PictureTooCostly:
        return QStringLiteral("too costly");
    case FailureCode::Cancelled:
        return QStringLiteral("cancelled");
    default:
        return QString::fromUtf8(failure.what());
    }
}

QString failureOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Failure &failure) {
        return failureWords(failure);
    }
    return QString();
}

} // namespace fixtures
