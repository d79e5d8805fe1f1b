#include "picture_fixtures.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTransform>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace fixtures {

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
    QProcess process;
    process.start(QStringLiteral("cjpeg"), options);
    if (!process.waitForStarted())
        return {};
    process.write(ppm(picture));
    process.closeWriteChannel();
    QByteArray out;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(10000);
        out += process.readAllStandardOutput();
    }
    out += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return out;
}

namespace {
void quiet(j_common_ptr, int) {}
} // namespace

QByteArray cmykRedBlue(int width, int height, Cmyk kind, bool progressive)
{
    jpeg_compress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&codec, &buffer, &size);
    codec.image_width = JDIMENSION(width);
    codec.image_height = JDIMENSION(height);
    codec.input_components = 4;
    codec.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&codec);
    jpeg_set_colorspace(&codec, kind == Cmyk::AdobeYcck ? JCS_YCCK : JCS_CMYK); // with the Adobe marker
    codec.write_Adobe_marker = kind != Cmyk::Plain;
    jpeg_set_quality(&codec, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&codec);
    jpeg_start_compress(&codec, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * 4);
    for (int x = 0; x < width; ++x) {
        // Inverted inks: 0 is full ink, 255 none.
        const bool left = x < width / 2;
        const JSAMPLE c = left ? 255 : 0, m = 0, yellow = left ? 0 : 255, k = 255;
        row[size_t(x) * 4 + 0] = c;
        row[size_t(x) * 4 + 1] = m;
        row[size_t(x) * 4 + 2] = yellow;
        row[size_t(x) * 4 + 3] = k;
    }
    while (codec.next_scanline < codec.image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&codec, &pointer, 1);
    }
    jpeg_finish_compress(&codec);
    jpeg_destroy_compress(&codec);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    free(buffer);
    return bytes;
}

QByteArray cmykBomb(int side, int scans)
{
    QByteArray jpeg = cmykRedBlue(64, 64, Cmyk::Adobe, true);
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC2", 2));
    if (sof < 0)
        return {};
    jpeg[sof + 5] = char(side >> 8);
    jpeg[sof + 6] = char(side & 0xFF);
    jpeg[sof + 7] = char(side >> 8);
    jpeg[sof + 8] = char(side & 0xFF);
    qsizetype cut = 0;
    for (int i = 0; i <= scans; ++i) {
        cut = jpeg.indexOf(QByteArray("\xFF\xDA", 2), cut + 2);
        if (cut < 0)
            return {};
    }
    return jpeg.left(cut) + QByteArray("\xFF\xD9", 2);
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

} // namespace

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

QByteArray hollowProgressive(int width, int height, int extraScans)
{
    QByteArray jpeg = cjpeg(pattern(64, 64), {"-progressive"});
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC2", 2));
    if (sof < 0)
        return {};
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    const qsizetype lastScan = jpeg.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const int length = (uchar(jpeg[lastScan + 2]) << 8) | uchar(jpeg[lastScan + 3]);
    const QByteArray header = jpeg.mid(lastScan, 2 + length);
    QByteArray scans;
    for (int i = 0; i < extraScans; ++i)
        scans += header;
    jpeg.insert(jpeg.size() - 2, scans);
    return jpeg;
}

QByteArray hollowRestarts(int width, int height, int interval, int segments)
{
    QByteArray jpeg = cjpeg(pattern(64, 64), {});
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sof < 0 || sos < 0)
        return {};
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    QByteArray markers;
    for (int i = 0; i < segments; ++i)
        markers += QByteArray("\xFF", 1) + char(0xD0 + i % 8);
    jpeg.insert(jpeg.size() - 2, markers);
    const char restartInterval[] = {char(0xFF), char(0xDD), 0, 4, char(interval >> 8), char(interval & 0xFF)};
    jpeg.insert(sos, QByteArray(restartInterval, sizeof restartInterval));
    return jpeg;
}

namespace {
QByteArray raw(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int v : values)
        bytes += char(v & 0xFF);
    return bytes;
}
} // namespace

QByteArray markerAfterData(int width, int height, int interval, const QByteArray &tail)
{
    QByteArray jpeg = cjpeg(pattern(64, 64), {});
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sof < 0 || sos < 0)
        return {};
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    jpeg = jpeg.left(firstScanDataOffset(jpeg) + 16) + tail;
    if (interval > 0) {
        const char restartInterval[] = {char(0xFF), char(0xDD), 0, 4, char(interval >> 8), char(interval & 0xFF)};
        jpeg.insert(sos, QByteArray(restartInterval, sizeof restartInterval));
    }
    return jpeg;
}

QByteArray exifTiff(int orientation, bool asLong, bool littleEndian)
{
    QByteArray tiff;
    auto put16 = [&](int v) { tiff += littleEndian ? raw({v, v >> 8}) : raw({v >> 8, v}); };
    auto put32 = [&](quint32 v) {
        if (littleEndian) {
            put16(int(v & 0xFFFF));
            put16(int(v >> 16));
        } else {
            put16(int(v >> 16));
            put16(int(v & 0xFFFF));
        }
    };
    tiff += littleEndian ? QByteArray("II") : QByteArray("MM");
    put16(42);
    put32(8); // the first directory
    put16(1); // one entry
    put16(0x0112);
    put16(asLong ? 4 : 3);
    put32(1);
    if (asLong) {
        put32(quint32(orientation));
    } else {
        put16(orientation);
        put16(0);
    }
    put32(0); // no next directory
    return tiff;
}

QByteArray withExif(const QByteArray &jpeg, const QByteArray &tiff)
{
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(body.size()) + 2;
    return jpeg.left(2) + raw({0xFF, 0xE1, length >> 8, length}) + body + jpeg.mid(2);
}

QByteArray app1Padding(const QByteArray &jpeg, int segments, int firstOrientation, int laterOrientation)
{
    const QByteArray padding = QByteArray("\xFF\xE1\xFF\xFF", 4) + QByteArray("http://ns.adobe.com/xap/1.0/\0", 29)
                               + QByteArray(65533 - 29, ' ');
    auto exif = [](int orientation) {
        const QByteArray body = QByteArray("Exif\0\0", 6) + exifTiff(orientation, false, false);
        const int length = int(body.size()) + 2;
        return raw({0xFF, 0xE1, length >> 8, length}) + body;
    };
    QByteArray segmentsBytes;
    segmentsBytes.reserve(qsizetype(segments + 2) * padding.size());
    for (int i = 0; i < segments; ++i) {
        if (i == segments / 3)
            segmentsBytes += exif(firstOrientation);
        if (i == 2 * segments / 3)
            segmentsBytes += exif(laterOrientation);
        segmentsBytes += padding;
    }
    return jpeg.left(2) + segmentsBytes + jpeg.mid(2);
}

QImage translucentPattern(int width, int height)
{
    QImage image = pattern(width, height).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const bool hole = qAbs(x - width / 2) < width / 8 && qAbs(y - height / 2) < height / 8;
            const int alpha = hole ? 0 : (width > 1 ? x * 255 / (width - 1) : 255);
            row[x] = qRgba(qRed(row[x]), qGreen(row[x]), qBlue(row[x]), alpha);
        }
    }
    return image;
}

QByteArray png(const QImage &picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

QImage overWhite(const QImage &picture)
{
    // Each channel c at alpha a becomes (c * a + 255 * (255 - a)) / 255,
    // rounded to the nearest.
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(picture.size(), QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const QRgb p = source.pixel(x, y);
            const int a = qAlpha(p);
            auto mix = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            out.setPixel(x, y, qRgb(mix(qRed(p)), mix(qGreen(p)), mix(qBlue(p))));
        }
    return out;
}

namespace {
quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void putBigEndian(QByteArray &bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (24 - 8 * i)) & 0xFF);
}
} // namespace

QByteArray pngDeclaring(const QByteArray &png, quint32 width, quint32 height)
{
    // Signature (8), IHDR length (4), "IHDR" (4), width, height, 5 more
    // bytes, then the checksum over "IHDR" and its 13 data bytes.
    QByteArray bytes = png;
    putBigEndian(bytes, 16, width);
    putBigEndian(bytes, 20, height);
    putBigEndian(bytes, 29, crc32(bytes.mid(12, 17)));
    return bytes;
}

QByteArray withChunkBeforeData(const QByteArray &png, const QByteArray &type, const QByteArray &data)
{
    const qsizetype at = png.indexOf("IDAT") - 4;
    QByteArray chunk(4, '\0');
    putBigEndian(chunk, 0, quint32(data.size()));
    chunk += type + data + QByteArray(4, '\0');
    putBigEndian(chunk, chunk.size() - 4, crc32(chunk.mid(4, chunk.size() - 8)));
    return png.left(at) + chunk + png.mid(at);
}

QString writePngCases(const QString &folder)
{
    // Debian's own Python, where Pillow is installed as a package.
    const QString python = QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                             : QStringLiteral("python3");
    QProcess process;
    process.start(python, {qEnvironmentVariable("TIRLADA_TEST_DATA") + QStringLiteral("/png_cases.py"), folder});
    if (!process.waitForFinished(120000))
        return QStringLiteral("png_cases.py did not finish");
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString::fromLocal8Bit(process.readAllStandardError());
    return QString();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

qsizetype firstScanDataOffset(const QByteArray &jpeg)
{
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sos < 0)
        return -1;
    const int length = (uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]);
    return sos + 2 + length;
}

} // namespace fixtures
