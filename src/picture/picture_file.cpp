#include "picture/picture_file.h"

#include "core/failure.h"
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

PictureFile::PictureFile(const QString &path, const ReadOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(FailureCode::CannotOpenFile,
                      {.file = QFileInfo(path).absoluteFilePath(), .reason = file.errorString()});
    const bool isPng = isPngSignature(file.read(8));
    file.close();
    if (isPng)
        png = std::make_unique<PngReader>(path, options);
    else
        jpeg = std::make_unique<JpegReader>(path, options);
}

PictureFile::~PictureFile() = default;

QSize PictureFile::size() const { return png ? png->size() : jpeg->size(); }

QImage PictureFile::decodeReduced(QSize target)
{
    return png ? png->decodeReduced(target) : jpeg->decodeReduced(target);
}

QImage previewPicture(const QString &path, int side, const std::atomic<bool> *cancelled)
{
    ReadOptions options;
    options.decoderMemory = kPreviewDecoderMemory;
    options.cancelled = cancelled;
    try {
        PictureFile file(path, options);
        const QSize size = file.size();
        return file.decodeReduced(fitInto(size.width(), size.height(), side));
    } catch (const Failure &failure) {
        if (failure.code() != FailureCode::Cancelled)
            qCDebug(lcPreview) << "no preview for" << path << failure.what();
    } catch (const std::exception &error) {
        qCDebug(lcPreview) << "no preview for" << path << error.what();
    }
    return QImage();
}

} // namespace picture
