// PNG files: patterns with transparency written by Qt, headers changed to
// declare what they do not hold, and the cases of png_cases.py.

#include "picture_fixtures.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>

namespace fixtures {

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

} // namespace fixtures
