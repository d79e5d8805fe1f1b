#include "picture/picture_file.h"

#include "core/failure.h"
#include "core/result.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_size.h"
#include "picture/png_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace picture {

namespace {
Q_LOGGING_CATEGORY(lcPreview, "tirlada.picture.preview")
}

PictureFile::PictureFile() = default;
PictureFile::PictureFile(PictureFile &&) noexcept = default;
PictureFile &PictureFile::operator=(PictureFile &&) noexcept = default;
PictureFile::~PictureFile() = default;

Result<PictureFile> PictureFile::open(const QString &path, const ReadOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Unexpected(Failure(FailureCode::CannotOpenFile,
                                  {.file = QFileInfo(path).absoluteFilePath(), .reason = file.errorString()}));
    const bool isPng = isPngSignature(file.read(8));
    file.close();
    PictureFile picture;
    if (isPng) {
        Result<PngReader> reader = PngReader::open(path, options);
        if (!reader)
            return Unexpected(std::move(reader).error());
        picture.png = std::make_unique<PngReader>(std::move(*reader));
    } else {
        Result<JpegReader> reader = JpegReader::open(path, options);
        if (!reader)
            return Unexpected(std::move(reader).error());
        picture.jpeg = std::make_unique<JpegReader>(std::move(*reader));
    }
    return picture;
}

QSize PictureFile::size() const { return png ? png->size() : jpeg->size(); }

Result<QImage> PictureFile::decodeReduced(QSize target)
{
    if (png)
        return png->decodeReduced(target);
    Result<DecodedJpeg> decoded = jpeg->decodeReduced(target);
    if (!decoded)
        return Unexpected(std::move(decoded).error());
    return std::move(decoded->picture);
}

QImage previewPicture(const QString &path, int side, const std::atomic<bool> *cancelled)
{
    ReadOptions options;
    options.decoderMemory = kPreviewDecoderMemory;
    options.cancelled = cancelled;
    // Runs on a thread of its own, where nothing may escape (a buffer that
    // cannot be had, say).
    try {
        Result<PictureFile> file = PictureFile::open(path, options);
        Result<QImage> shown = file ? file->decodeReduced(fitInto(file->size().width(), file->size().height(), side))
                                    : Result<QImage>(Unexpected(file.error()));
        if (shown)
            return std::move(*shown);
        if (shown.error().code() != FailureCode::Cancelled)
            logFailure(lcPreview(), "previewing a picture", shown.error());
    } catch (...) {
        logUnexpectedException(lcPreview(), "previewing a picture");
    }
    return QImage();
}

} // namespace picture
