// The files that cost a decoder far more than their size, one generator
// each (see picture_fixtures.h).

#include "picture_fixtures.h"

#include <QFile>

#include <functional>
#include <vector>

#include <zlib.h>

namespace fixtures {
namespace {

// The offset of the first frame header (any SOFn), or -1.
qsizetype frameHeader(const QByteArray &jpeg)
{
    for (qsizetype at = 2; at + 1 < jpeg.size(); ++at) {
        if (uchar(jpeg[at]) != 0xFF)
            continue;
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return at;
    }
    return -1;
}

QByteArray declaring(QByteArray jpeg, int side)
{
    const qsizetype sof = frameHeader(jpeg);
    if (sof < 0)
        return {};
    jpeg[sof + 5] = jpeg[sof + 7] = char(side >> 8);
    jpeg[sof + 6] = jpeg[sof + 8] = char(side & 0xFF);
    return jpeg;
}

QImage blackPicture()
{
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::black);
    return picture;
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

// Writes one PNG chunk, its checksum computed as the data are written in
// pieces by `data` (called with a function that takes each piece).
bool writeChunk(QFile &file, const QByteArray &type, quint32 size,
                const std::function<bool(const std::function<bool(const QByteArray &)> &)> &data)
{
    uLong crc = crc32(0, reinterpret_cast<const Bytef *>(type.constData()), 4);
    if (file.write(bigEndian(size) + type) != 8)
        return false;
    const bool written = data([&](const QByteArray &piece) {
        crc = crc32(crc, reinterpret_cast<const Bytef *>(piece.constData()), uInt(piece.size()));
        return file.write(piece) == piece.size();
    });
    return written && file.write(bigEndian(quint32(crc))) == 4;
}

bool writeWhole(QFile &file, const QByteArray &type, const QByteArray &data)
{
    return writeChunk(file, type, quint32(data.size()), [&](const auto &put) { return put(data); });
}

QByteArray header(quint32 width, quint32 height, int depth, int colourType)
{
    return bigEndian(width) + bigEndian(height) + char(depth) + char(colourType) + QByteArray(3, '\0');
}

} // namespace

QByteArray arithmeticHollow(int side, bool grey, int zeroBytes)
{
    const QByteArray coded = cjpeg(blackPicture(), grey ? QStringList{"-arithmetic", "-grayscale"}
                                                        : QStringList{"-arithmetic", "-sample", "1x1"});
    const QByteArray declared = declaring(coded, side);
    if (declared.isEmpty())
        return {};
    return declared.left(firstScanDataOffset(declared)) + QByteArray(zeroBytes, '\0') + QByteArray("\xFF\xD9", 2);
}

QByteArray emptyRefinements(int side, int scans)
{
    QByteArray jpeg = declaring(cjpeg(blackPicture(), {"-progressive"}), side);
    if (jpeg.isEmpty())
        return {};
    jpeg.chop(2);
    for (int i = 0; i < scans; ++i)
        jpeg += QByteArray("\xFF\xDA\x00\x08\x01\x01\x00\x01\x3F\x10", 10);
    return jpeg + QByteArray("\xFF\xD9", 2);
}

QByteArray cmykSampled(int side)
{
    QByteArray jpeg = declaring(cmykRedBlue(64, 64, Cmyk::Adobe, true), side);
    const qsizetype sof = frameHeader(jpeg);
    if (sof < 0)
        return {};
    // After the length, precision, height, width, count and first id.
    jpeg[sof + 11] = char(0x22);
    return jpeg;
}

bool writePaethZeros(const QString &path, quint32 width, quint32 height, int depth)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("\x89PNG\r\n\x1A\n", 8);
    if (!writeWhole(file, "IHDR", header(width, height, depth, 6)))
        return false;
    // One row: the filter byte 4 (Paeth), then zeros.
    std::vector<Bytef> row(size_t(width) * 4 * size_t(depth / 8) + 1, 0);
    row[0] = 4;
    z_stream zip{};
    if (deflateInit(&zip, 9) != Z_OK)
        return false;
    std::vector<Bytef> out(1 << 20);
    bool ok = true;
    for (quint32 y = 0; y <= height && ok; ++y) {
        const bool last = y == height;
        zip.next_in = last ? nullptr : row.data();
        zip.avail_in = last ? 0 : uInt(row.size());
        int status = Z_OK;
        do {
            zip.next_out = out.data();
            zip.avail_out = uInt(out.size());
            status = deflate(&zip, last ? Z_FINISH : Z_NO_FLUSH);
            const auto produced = qsizetype(out.size() - zip.avail_out);
            if (produced > 0)
                ok = ok && writeWhole(file, "IDAT", QByteArray(reinterpret_cast<const char *>(out.data()), produced));
        } while (zip.avail_out == 0 || (last && status != Z_STREAM_END));
    }
    deflateEnd(&zip);
    return ok && writeWhole(file, "IEND", {});
}

bool writeBigChunk(const QString &path, const QByteArray &type, qint64 size)
{
    const QByteArray small = png(pattern(400, 300));
    const qsizetype data = small.indexOf("IDAT") - 4;
    QFile file(path);
    if (data < 0 || !file.open(QIODevice::WriteOnly) || file.write(small.left(data)) != data)
        return false;
    const QByteArray start = type == "eXIf" ? exifTiff(6, false, false) : QByteArray("Comment\0", 8);
    const bool written = writeChunk(file, type, quint32(size), [&](const auto &put) {
        if (!put(start))
            return false;
        const QByteArray piece(1 << 20, type == "eXIf" ? '\0' : 'a');
        for (qint64 left = size - start.size(); left > 0; left -= piece.size())
            if (!put(piece.left(qsizetype(std::min<qint64>(left, piece.size())))))
                return false;
        return true;
    });
    return written && file.write(small.mid(data)) == small.size() - data;
}

} // namespace fixtures
