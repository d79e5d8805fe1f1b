#pragma once

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

// Reads one JPEG file with libjpeg. The file is read in small pieces as the
// decoder asks for them; the decoded picture is never held at full size:
// only the source rows that the reduced picture samples are decoded, each
// into one row buffer, and the rows between them are skipped.
//
// Every reading is bounded by the budget of picture/budget.h.
//
// Every failure is thrown as Failure, with these codes:
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
    // With options.cancelled turning true, any call stops soon with
    // FailureCode::Cancelled.
    explicit JpegReader(const QString &path, const ReadOptions &options = {});
    // Reads the JPEG data held in memory (a package's picture); failures
    // as for a file, except that there is nothing to open.
    explicit JpegReader(const QByteArray &bytes, const ReadOptions &options = {});
    ~JpegReader();
    JpegReader(const JpegReader &) = delete;
    JpegReader &operator=(const JpegReader &) = delete;

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
    // raises anywhere up to the end of the file is thrown. Call once.
    QImage decodeReduced(QSize target);

    // Reads the whole coded picture as decodeReduced(size()) does, only
    // without making pixels (libjpeg's coefficients only: a fraction of the
    // time). Throws exactly where that would throw, and rowsDecoded() then
    // tells what it would tell. Call once, instead of decodeReduced().
    void verify();

    // Source rows that the last decodeReduced() went through (read or
    // skipped) before it stopped, or that verify() found it would.
    int rowsDecoded() const;

    // libjpeg's warnings met so far (header, decoding or verifying), by
    // message number, each once, in order. The data were damaged when
    // damaged() says so: a warning that part of the coded data was corrupt
    // or missing, which the decoder then filled in (djpeg's "Corrupt JPEG
    // data" and "Premature end of JPEG file"). cutShort(): the data end
    // before the end-of-image marker.
    QList<int> warnings() const;
    bool damaged() const;
    bool cutShort() const;

private:
    void start(qint64 fileBytes);

    struct State;
    std::unique_ptr<State> d;
};

} // namespace picture
