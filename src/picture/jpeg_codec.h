#pragma once

#include "core/result.h"
#include "picture/jpeg_encoder.h"
#include "picture/read_options.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <memory>

namespace picture {

// What decoding a JPEG met on the way: libjpeg's warnings (damaged but
// decodable data, a file cut short) and how far it went.
struct DecodeReport {
    // libjpeg's warnings, by message number, each once, in order.
    QList<int> warnings;
    // Source rows that the decoding went through (read or skipped) before
    // it stopped; the stored height.
    int rowsDecoded = 0;
    int storedHeight = 0;

    // A warning that part of the coded data was corrupt or missing, which
    // the decoder then filled in (djpeg's "Corrupt JPEG data" and "Premature
    // end of JPEG file").
    bool damaged() const;
    // The data end before the end-of-image marker.
    bool cutShort() const;
};

// A picture reduced, and what its decoding met.
struct DecodedJpeg {
    QImage picture;
    DecodeReport report;
};

// Reads one JPEG file with libjpeg. The file is read in small pieces as the
// decoder asks for them; the decoded picture is never held at full size:
// only the source rows that the reduced picture samples are decoded, each
// into one row buffer, and the rows between them are skipped.
//
// Every reading is bounded by the budget of picture/budget.h.
//
// The failures, with these codes:
//   CannotOpenFile          the file cannot be opened (file, the system's reason)
//   FloatingPointDivision   the file is empty (no size at all)
//   JpegError               libjpeg's message code (number)
//   PictureTooBig           the header declares more pixels than the budget
//                           allows the file (width, height, limit)
//   PictureTooCostly        the reading would take more work than that (limit)
//   Cancelled               options.cancelled turned true
class JpegReader {
public:
    // Opens the file and reads the JPEG header, with the EXIF orientation
    // (of the first EXIF segment; the other APP1 segments are skipped). A
    // picture over the budget's pixels, or of several scans (progressive)
    // above 2^28 pixels, is refused here as too big.
    [[nodiscard]] static Result<JpegReader> open(const QString &path, const ReadOptions &options = {});
    // The same for JPEG data held in memory (a package's picture), except
    // that there is nothing to open.
    [[nodiscard]] static Result<JpegReader> read(const QByteArray &bytes, const ReadOptions &options = {});
    ~JpegReader();
    JpegReader(JpegReader &&) noexcept;
    JpegReader &operator=(JpegReader &&) noexcept;

    // The size of the upright picture: the stored size, turned for the
    // orientations 5 to 8.
    QSize size() const;
    // The size as stored in the header.
    QSize storedSize() const;
    // The EXIF orientation, 1 to 8 (1 without a readable one).
    int orientation() const;

    // Decodes the whole picture at full resolution, row after row, exactly as
    // libjpeg's full decode does (damaged data resynchronised, missing data
    // filled in as the codec fills it), turns it upright by its orientation,
    // and returns it reduced to target (RGB32) by dropping whole rows and
    // columns: target pixel (x, y) is upright pixel (x * w / W, y * h / H),
    // rounded down. Greyscale pictures come out grey; CMYK and YCCK ones are
    // converted to RGB with the inks taken as inverted. An error that libjpeg
    // raises anywhere up to the end of the file is its failure. Call once.
    [[nodiscard]] Result<DecodedJpeg> decodeReduced(QSize target);

    // Reads the whole coded picture as decodeReduced(size()) does, only
    // without making pixels (libjpeg's coefficients only: a fraction of the
    // time). Fails exactly where that would fail, and reports what it would
    // report. Call once, instead of decodeReduced().
    [[nodiscard]] Result<DecodeReport> verify();

    // Source rows that the last decodeReduced() or verify() went through
    // before it stopped, whether it failed or not.
    int rowsDecoded() const;

private:
    JpegReader();
    [[nodiscard]] Result<void> start(qint64 fileBytes);

    struct State;
    std::unique_ptr<State> d;
};

} // namespace picture
