#include "picture/png_reader.h"

#include "core/failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>

namespace picture {

bool isPngSignature(const QByteArray &start) { return start.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8)); }

struct PngReader::State {
    QFile file;
    QImageReader reader;
    QSize size;
};

PngReader::PngReader(const QString &path) : d(std::make_unique<State>())
{
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::ReadOnly))
        throw Failure(FailureCode::CannotOpenFile,
                      {.file = QFileInfo(path).absoluteFilePath(), .reason = d->file.errorString()});
    d->reader.setDevice(&d->file);
    d->reader.setFormat("png");
    d->reader.setAutoTransform(false);
    d->size = d->reader.size();
    if (!d->size.isValid() || d->size.isEmpty())
        throw Failure(QStringLiteral("PNG error: the header cannot be read"));
    // Qt decodes into 4 bytes a pixel, or 8 at 16 bits a channel.
    const QImage::Format format = d->reader.imageFormat();
    const int bytesPerPixel =
        format == QImage::Format_Invalid ? 4 : std::max(4, QImage::toPixelFormat(format).bitsPerPixel() / 8);
    const qint64 maxPixels = kMaxBytes / bytesPerPixel;
    if (qint64(d->size.width()) * d->size.height() > maxPixels)
        throw Failure(QStringLiteral("PNG error: the picture is too large (%1 x %2 pixels; at most %3 megapixels)")
                          .arg(d->size.width())
                          .arg(d->size.height())
                          .arg(maxPixels / (1024 * 1024)));
    d->reader.setAllocationLimit(int(kMaxBytes / (1024 * 1024)) + 1);
}

PngReader::~PngReader() = default;

QSize PngReader::size() const { return d->size; }

QImage PngReader::decodeReduced(QSize target)
{
    const QImage full = d->reader.read();
    if (full.isNull())
        throw Failure(QStringLiteral("PNG error: the picture data cannot be read (%1)").arg(d->reader.errorString()));

    // Sampled first, composited after: both work pixel by pixel, so the
    // order does not matter, and only the kept pixels are composited.
    QImage sampled(target, QImage::Format_ARGB32);
    for (int y = 0; y < target.height(); ++y) {
        const int sourceY = int(qint64(y) * full.height() / target.height());
        auto *out = reinterpret_cast<QRgb *>(sampled.scanLine(y));
        for (int x = 0; x < target.width(); ++x)
            out[x] = full.pixel(int(qint64(x) * full.width() / target.width()), sourceY);
    }
    QImage shown(target, QImage::Format_RGB32);
    shown.fill(Qt::white);
    QPainter painter(&shown);
    painter.drawImage(0, 0, sampled);
    painter.end();
    return shown;
}

} // namespace picture
