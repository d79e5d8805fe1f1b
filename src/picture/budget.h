#pragma once

#include "core/failure.h"
#include "picture/read_options.h"

#include <QtGlobal>
#include <optional>

namespace picture {

// The one bound on reading a picture, whatever its format or coding. A file
// of a few kilobytes can declare a picture of billions of pixels, or scans
// and rows that make the decoder go over the same pixels again and again;
// so both what a file declares and what reading it costs are tied to its
// size.
//
// Pixels: a file may declare kPixelsAlways pixels whatever its size, and
// kPixelsPerByte for each of its bytes beyond that (the plainest real photo
// or screenshot holds far fewer pixels per byte). More is refused as soon
// as the header is read: PictureTooBig.
//
// Work: counted in units of about a nanosecond of decoding on a current
// machine: a JPEG scan costs one unit for each coefficient it goes over
// (64 a block), a row put out one unit for each of its samples; a PNG row
// four units for each of its decoded bytes. A file may take kWorkAlways
// units whatever its size, and kWorkPerByte for each of its bytes; past
// that the reading stops: PictureTooCostly. The counter and the cancel flag
// are looked at before every scan and every row, and between pieces of a
// long run of skipped rows, so that a cancelled reading stops within a few
// milliseconds.
inline constexpr qint64 kPixelsAlways = qint64(1) << 24; // 16.7 megapixels
inline constexpr qint64 kPixelsPerByte = 256;
inline constexpr qint64 kWorkAlways = 400'000'000; // about a third of a second
inline constexpr qint64 kWorkPerByte = 1024;

// The pixels and the work allowed to a file of fileBytes bytes.
qint64 pixelLimit(qint64 fileBytes);
qint64 workLimit(qint64 fileBytes);

// The failure for a declared picture of width x height pixels over the
// limit of a file of fileBytes bytes, or nothing.
std::optional<Failure> oversize(qint64 width, qint64 height, qint64 fileBytes);

// The running count of one reading. Plain values only: libjpeg's and
// libpng's error jumps pass over it.
struct Budget {
    enum Stop { Going, TooCostly, Cancelled };

    const ReadOptions *options = nullptr;
    qint64 limit = 0;
    qint64 work = 0;
    Stop stop = Going;

    void start(const ReadOptions *readOptions, qint64 fileBytes)
    {
        options = readOptions;
        limit = workLimit(fileBytes);
        work = 0;
        stop = Going;
    }

    // Counts units of work about to be done; false when the reading must
    // stop instead: over the limit, or cancelled.
    bool spend(qint64 units)
    {
        if (options && options->isCancelled()) {
            stop = Cancelled;
            return false;
        }
        work += units;
        if (work > limit) {
            stop = TooCostly;
            return false;
        }
        return true;
    }

    // The failure of a reading stopped by spend().
    Failure failure() const;
};

} // namespace picture
