#pragma once

#include "core/result.h"
#include "picture/read_options.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

namespace picture {

// Reads one PNG file (a screenshot, typically) with libpng, streamed: the
// rows are decoded one after another into one row buffer, and only the
// pixels that the reduced picture samples are kept, by the same rule as for
// a JPEG picture: target pixel (x, y) is upright pixel (x * w / W, y * h / H).
// An interlaced picture is read pass by pass in the same way: each sampled
// pixel is taken from the one pass that carries it, so it costs no more
// memory than a plain one. Transparent parts go over white; 16-bit channels
// keep their high byte. The EXIF orientation of an eXIf chunk before the
// picture data is applied as for a JPEG photo. Ancillary chunks over 2 MB
// are passed over without being read (an orientation in one is not
// applied). Every reading is bounded by the budget of picture/budget.h.
//
// The failures, with these codes:
//   CannotOpenFile       the file cannot be opened (file, the system's reason)
//   PngHeaderUnreadable  the header cannot be read or gives no size (file)
//   PictureTooBig        more pixels than the budget allows the file
//                        (width, height, limit)
//   PictureTooCostly     the reading would take more work than that (limit)
//   PngDataUnreadable    the picture data cannot be read (file, libpng's reason)
//   OutOfMemory          the decoder or the picture cannot be made
//   Cancelled            options.cancelled turned true
class PngReader {
public:
    // Opens the file and reads the PNG header.
    [[nodiscard]] static Result<PngReader> open(const QString &path, const ReadOptions &options = {});
    ~PngReader();
    PngReader(PngReader &&) noexcept;
    PngReader &operator=(PngReader &&) noexcept;

    // The size of the upright picture: the stored size, turned for the
    // orientations 5 to 8.
    QSize size() const;
    // The EXIF orientation, 1 to 8 (1 without a readable one).
    int orientation() const;

    // Decodes the whole picture and returns it upright, reduced to target
    // (RGB32). Call once.
    [[nodiscard]] Result<QImage> decodeReduced(QSize target);

    struct State;

private:
    PngReader();
    std::unique_ptr<State> d;
};

// Whether the bytes begin with the PNG signature.
bool isPngSignature(const QByteArray &start);

} // namespace picture
