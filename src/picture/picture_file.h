#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

namespace picture {

class JpegReader;
class PngReader;

// The picture file that the user chose: a PNG file when it begins with the
// PNG signature, otherwise a JPEG file (so that any other file gets libjpeg's
// "not a JPEG file" error). Throws Failure as JpegReader and PngReader do;
// an empty file gives "Floating point division by zero".
class PictureFile {
public:
    explicit PictureFile(const QString &path);
    ~PictureFile();
    PictureFile(const PictureFile &) = delete;
    PictureFile &operator=(const PictureFile &) = delete;

    // The size of the upright picture.
    QSize size() const;
    // The picture upright, reduced to target (RGB32). Call once.
    QImage decodeReduced(QSize target);

private:
    std::unique_ptr<JpegReader> jpeg;
    std::unique_ptr<PngReader> png;
};

} // namespace picture
