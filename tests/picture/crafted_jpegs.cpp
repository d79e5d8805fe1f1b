// JPEG files made by hand: CMYK ones written through libjpeg, and files
// changed byte by byte to declare what they do not hold.

#include "picture_fixtures.h"

#include <vector>

#include <jpeglib.h>

namespace fixtures {

namespace {

QByteArray raw(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int v : values)
        bytes += char(v & 0xFF);
    return bytes;
}

// Makes the frame header (baseline or progressive, whichever comes first)
// declare width x height; its offset, or -1 when the JPEG has none.
qsizetype declareSize(QByteArray &jpeg, int width, int height)
{
    const qsizetype baseline = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    const qsizetype progressive = jpeg.indexOf(QByteArray("\xFF\xC2", 2));
    const qsizetype sof = baseline < 0 || (progressive >= 0 && progressive < baseline) ? progressive : baseline;
    if (sof < 0)
        return -1;
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return sof;
}

// A restart interval of `interval` MCUs, put in before the scan at sos.
void insertRestartInterval(QByteArray &jpeg, qsizetype sos, int interval)
{
    const char restartInterval[] = {char(0xFF), char(0xDD), 0, 4, char(interval >> 8), char(interval & 0xFF)};
    jpeg.insert(sos, QByteArray(restartInterval, sizeof restartInterval));
}

} // namespace

QByteArray jpegDeclaring(QByteArray jpeg, int width, int height)
{
    return declareSize(jpeg, width, height) < 0 ? QByteArray() : jpeg;
}

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
    if (declareSize(jpeg, side, side) < 0)
        return {};
    qsizetype cut = 0;
    for (int i = 0; i <= scans; ++i) {
        cut = jpeg.indexOf(QByteArray("\xFF\xDA", 2), cut + 2);
        if (cut < 0)
            return {};
    }
    return jpeg.left(cut) + QByteArray("\xFF\xD9", 2);
}

QByteArray hollowProgressive(int width, int height, int extraScans)
{
    QByteArray jpeg = cjpeg(pattern(64, 64), {"-progressive"});
    if (declareSize(jpeg, width, height) < 0)
        return {};
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
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (declareSize(jpeg, width, height) < 0 || sos < 0)
        return {};
    QByteArray markers;
    for (int i = 0; i < segments; ++i)
        markers += QByteArray("\xFF", 1) + char(0xD0 + i % 8);
    jpeg.insert(jpeg.size() - 2, markers);
    insertRestartInterval(jpeg, sos, interval);
    return jpeg;
}

QByteArray markerAfterData(int width, int height, int interval, const QByteArray &tail)
{
    QByteArray jpeg = cjpeg(pattern(64, 64), {});
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (declareSize(jpeg, width, height) < 0 || sos < 0)
        return {};
    jpeg = jpeg.left(firstScanDataOffset(jpeg) + 16) + tail;
    if (interval > 0)
        insertRestartInterval(jpeg, sos, interval);
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

} // namespace fixtures
