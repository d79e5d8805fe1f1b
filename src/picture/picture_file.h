#pragma once

#include "core/result.h"
#include "picture/read_options.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <memory>

namespace picture {

class JpegReader;
class PngReader;

// The picture file that the user chose: a PNG file when it begins with the
// PNG signature, otherwise a JPEG file (so that any other file gets libjpeg's
// "not a JPEG file" error). Fails as JpegReader and PngReader do; an empty
// file gives "Floating point division by zero". This is the one door
// through which a picture comes in: the "Добавить" button, a dropped file
// and the open dialog's preview all read through it.
class PictureFile {
public:
    [[nodiscard]] static Result<PictureFile> open(const QString &path, const ReadOptions &options = {});
    ~PictureFile();
    PictureFile(PictureFile &&) noexcept;
    PictureFile &operator=(PictureFile &&) noexcept;

    // The size of the upright picture.
    QSize size() const;
    // The picture upright, reduced to target (RGB32). Call once.
    [[nodiscard]] Result<QImage> decodeReduced(QSize target);

private:
    PictureFile();
    std::unique_ptr<JpegReader> jpeg;
    std::unique_ptr<PngReader> png;
};

// The picture at path reduced to fit into side x side pixels (never
// enlarged), for the open dialog's preview; a null image when the file is
// refused or fails in any way, or when cancelled turns true meanwhile (the
// reading then stops soon; a failure is logged). Reads with all the limits
// of loading, and with
// the decoder's memory capped at kPreviewDecoderMemory. Safe to call from
// any thread.
QImage previewPicture(const QString &path, int side, const std::atomic<bool> *cancelled);

// A progressive JPEG is held whole as coefficients while it is read: this
// much lets a 50-megapixel progressive 4:2:0 photo preview and keeps the
// dialog far from the memory a full load may take.
inline constexpr long kPreviewDecoderMemory = 160L * 1024 * 1024;

} // namespace picture
