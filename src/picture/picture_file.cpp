#include "picture/picture_file.h"

#include "core/failure.h"
#include "picture/jpeg_codec.h"
#include "picture/png_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace picture {

PictureFile::PictureFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(FailureCode::CannotOpenFile,
                      {.file = QFileInfo(path).absoluteFilePath(), .reason = file.errorString()});
    const bool isPng = isPngSignature(file.read(8));
    file.close();
    if (isPng)
        png = std::make_unique<PngReader>(path);
    else
        jpeg = std::make_unique<JpegReader>(path);
}

PictureFile::~PictureFile() = default;

QSize PictureFile::size() const { return png ? png->size() : jpeg->size(); }

QImage PictureFile::decodeReduced(QSize target)
{
    return png ? png->decodeReduced(target) : jpeg->decodeReduced(target);
}

} // namespace picture
