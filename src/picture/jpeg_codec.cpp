#include "picture/jpeg_codec.h"

#include "core/failure.h"
#include "picture/budget.h"
#include "picture/exif_orientation.h"
#include "picture/jpeg_blocks.h"
#include "picture/jpeg_input.h"
#include "picture/sampling.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jerror.h>
#include <jpegint.h>
#include <jpeglib.h>

namespace picture {
namespace {

Q_LOGGING_CATEGORY(lcPicture, "tirlada.picture")

// libjpeg reports a fatal error by calling error_exit, which must not return.
// It jumps back to the setjmp of the guarded call that is running. Only C
// frames of libjpeg lie between the two, so no C++ destructor is skipped:
// every guarded call below is a plain function with plain locals.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    // The warnings met, by message number, each once and in order: plain
    // values, as they are written between a setjmp and its longjmp.
    int warnings[16];
    int warningCount;
};

void onFatalError(j_common_ptr codec) { std::longjmp(reinterpret_cast<ErrorManager *>(codec->err)->jump, 1); }

// Warnings (damaged but decodable data, a file cut short) are recorded for
// the caller to judge; trace messages are ignored, and nothing is printed.
void onMessage(j_common_ptr codec, int level)
{
    if (level >= 0)
        return;
    auto *errors = reinterpret_cast<ErrorManager *>(codec->err);
    ++errors->pub.num_warnings;
    const int code = errors->pub.msg_code;
    for (int i = 0; i < errors->warningCount; ++i)
        if (errors->warnings[i] == code)
            return;
    if (errors->warningCount < int(std::size(errors->warnings)))
        errors->warnings[errors->warningCount++] = code;
}
void onOutputMessage(j_common_ptr) {}

void setUpErrors(ErrorManager &errors)
{
    errors.warningCount = 0;
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onFatalError;
    errors.pub.emit_message = onMessage;
    errors.pub.output_message = onOutputMessage;
}

Failure codecError(const ErrorManager &errors)
{
    return Failure(FailureCode::JpegError, {.number = errors.pub.msg_code});
}

// A picture of several scans (progressive, or with its colours in separate
// scans) is held whole as coefficients, and every scan goes over all its
// blocks before the first row comes out; skipping rows saves none of that.
// No current camera or phone makes a photo above 2^28 pixels (268
// megapixels; the largest are about 200), so such a picture is refused as
// too big as soon as its header is read, whatever the file's size: its
// coefficients alone would take gigabytes. A single-scan (baseline) picture
// has no such cost: its rows between sampled ones are skipped.
constexpr qint64 kMultiScanPixelLimit = qint64(1) << 28;

// A long run of skipped rows is skipped in pieces of about this much work,
// so that the budget and the cancel flag are looked at every few
// milliseconds even where one skip would cross a huge picture.
constexpr qint64 kSkipPieceUnits = 16 * 1024 * 1024;

// ---- Decoding ----

enum class Colour { Grey, Rgb, Cmyk };

// Everything the decoding loop needs, as plain values.
struct DecodePlan {
    TargetLines target; // the reduced picture
    Colour colour = Colour::Rgb;
    const LineMap *map = nullptr;
    int rowsDecoded = 0;
};

// CMYK as libjpeg-based viewers show it: the inks are taken as stored
// inverted (255 is no ink), the way Adobe software writes them, whether or
// not the file carries Adobe's marker; each colour is its ink times black,
// rounded.
inline uchar inkToLight(int ink, int black) { return uchar((ink * black + 127) / 255); }

inline QRgb toRgb(const JSAMPLE *p, Colour colour)
{
    switch (colour) {
    case Colour::Grey:
        return qRgb(p[0], p[0], p[0]);
    case Colour::Rgb:
        return qRgb(p[0], p[1], p[2]);
    case Colour::Cmyk:
        return qRgb(inkToLight(p[0], p[3]), inkToLight(p[1], p[3]), inkToLight(p[2], p[3]));
    }
    return 0;
}

// Samples one decoded source row into its target line.
void sampleRow(const JSAMPLE *row, int components, Colour colour, const std::vector<int> &pick, QRgb *out,
               qsizetype step)
{
    for (size_t i = 0; i < pick.size(); ++i)
        out[qsizetype(i) * step] = toRgb(row + size_t(pick[i]) * size_t(components), colour);
}

bool guardedReadHeader(jpeg_decompress_struct *codec, ErrorManager *errors, bool *multiScan)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_read_header(codec, TRUE);
    *multiScan = jpeg_has_multiple_scans(codec);
    return true;
}

// Blocks that the Huffman decoder can still produce after it has met a
// marker: at most 64 buffered bits at 2 bits a block at least, and one more
// MCU decoded from the zero bits that libjpeg puts in when they run out.
constexpr int kBlocksPastMarker = 48;

// The source rows that decoding goes on to once the data of a single-scan
// picture have ended at a marker after endRow iMCU rows (see guardedDecode).
qint64 rowsBeforeStop(j_decompress_ptr codec, int endRow)
{
    const int rowsPerBand = codec->max_v_samp_factor * codec->min_DCT_scaled_size;
    const int blocksPerRow = std::max(1, int(codec->MCUs_per_row) * codec->blocks_in_MCU);
    const int spill = (kBlocksPastMarker + blocksPerRow - 1) / blocksPerRow;
    return (qint64(endRow) + spill + 2) * rowsPerBand;
}

// Decodes the source rows that the reduced picture samples, in order, into
// one row buffer and copies them out; libjpeg's own end of decoding runs,
// with the errors it raises there.
//
// The rows in between are passed over with jpeg_skip_scanlines: their
// inverse DCT, upsampling and colour conversion are left out, but in a
// single-scan picture their data are still entropy-decoded, so restart
// markers, damaged data and errors are met exactly as in the full decode (a
// picture of several scans has read them all before its first row comes
// out). For upsampling with context rows (fancy 4:2:0 and 4:4:0) libjpeg
// decodes the rows just before a wanted one again, so every row that comes
// out is the full decode's row (see below for where a skip may start). The
// last source row is always read, never skipped: libjpeg skips to the bottom
// without reading the rest of the data, and the errors that a full decode
// raises there must still come.
//
// One shortcut: in a single-scan picture, once the decoder stands at a
// marker that ends the scan's data for good (jpeg::scanDataEnded: the
// end-of-image marker, the one put in where the file ends, or a comment,
// say), libjpeg fills every later block of the scan with zeros, and every
// later row is the same uniform grey, whatever the picture's size. Decoding
// stops a few rows past that point and the remaining target lines take that
// colour. Past an end-of-image marker libjpeg reads nothing more; past any
// other, its end of decoding reads the markers that follow, from that one
// on, exactly as after the full decode.
bool guardedDecode(jpeg_decompress_struct *codec, ErrorManager *errors, DecodePlan *plan)
{
    if (setjmp(errors->jump))
        return false;

    jpeg_start_decompress(codec);
    jpeg::leaveOutUnsampledBlocks(codec, plan->map->pick);
    const int sourceWidth = int(codec->output_width);
    const int sourceHeight = int(codec->output_height);
    const int components = codec->output_components;

    // Allocated in libjpeg's own pool (freed with the codec), as no C++
    // object may live across the longjmp of an error.
    JSAMPARRAY row = (*codec->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE,
                                                 JDIMENSION(sourceWidth * components), 1);
    const LineMap *map = plan->map;
    const bool singleScan = !jpeg_has_multiple_scans(codec);
    // The upsampler turns each group of max_v_samp_factor rows out at once.
    // libjpeg-turbo skips exactly only from the start of such a group: a
    // skip that starts inside one leaves the upsampler on the rest of the
    // old group (seen with the plain 4:2:0 upsampling of a picture one pixel
    // wide, and with 1x4 sampling). So the rows up to the group's end are
    // read instead.
    const int rowsPerGroup = std::max(1, codec->max_v_samp_factor);
    int stopAt = sourceHeight;
    int wanted = 0; // the next source row to read

    // Every row put out is charged for its samples. The coded data that a
    // skip goes through are charged with their scan, as it starts
    // (jpeg::watch); a long skip goes in pieces of whole iMCU rows (which
    // keeps it starting on a group), with the cancel flag looked at between
    // them.
    const qint64 unitsPerRow = qint64(sourceWidth) * components;
    const int rowsPerIMCU = codec->max_v_samp_factor * codec->min_DCT_scaled_size;
    const int skipPiece = int(std::max<qint64>(1, kSkipPieceUnits / unitsPerRow / rowsPerIMCU) * rowsPerIMCU);
    // The shortcut below holds for Huffman coding alone (jpeg::scanDataEnded).
    const bool mayStopEarly = singleScan && !codec->arith_code;

    while (int(codec->output_scanline) < stopAt) {
        jpeg::watch(codec);
        const int position = int(codec->output_scanline);
        if (wanted < position)
            wanted = position;
        while (wanted < sourceHeight - 1 && map->lineOfRow[size_t(wanted)] < 0)
            ++wanted;
        const int next = std::min(wanted, stopAt - 1);
        const bool skip = next > position && position % rowsPerGroup == 0;
        if (skip) {
            jpeg_skip_scanlines(codec, JDIMENSION(std::min(next - position, skipPiece)));
        } else {
            jpeg::spend(codec, unitsPerRow);
            jpeg_read_scanlines(codec, row, 1);
            const int line = map->lineOfRow[size_t(position)];
            if (line >= 0)
                sampleRow(row[0], components, plan->colour, map->pick, plan->target.start(line), plan->target.step());
        }
        if (mayStopEarly && stopAt == sourceHeight && jpeg::scanDataEnded(codec)) {
            const qint64 stop = rowsBeforeStop(codec, int(codec->input_iMCU_row));
            // At least one more row is read after a skip, for the colour.
            const qint64 least = codec->output_scanline + (skip ? 1 : 0);
            stopAt = int(std::min<qint64>(sourceHeight, std::max(stop, least)));
        }
    }
    plan->rowsDecoded = int(codec->output_scanline);

    if (int(codec->output_scanline) < sourceHeight) {
        // The rest is the uniform colour of the last row decoded, taken at a
        // sampled column (the only ones made: jpeg::leaveOutUnsampledBlocks).
        const QRgb fill = toRgb(row[0] + size_t(map->pick.front()) * size_t(components), plan->colour);
        for (int sourceRow = int(codec->output_scanline); sourceRow < sourceHeight; ++sourceRow) {
            const int line = map->lineOfRow[size_t(sourceRow)];
            if (line < 0)
                continue;
            QRgb *out = plan->target.start(line);
            const qsizetype step = plan->target.step();
            for (size_t i = 0; i < map->pick.size(); ++i)
                out[qsizetype(i) * step] = fill;
        }
        if (codec->unread_marker == JPEG_EOI) {
            jpeg_abort_decompress(codec);
            return true;
        }
        // Skipping to the bottom ends the scan's input as its last row would,
        // but takes the end of the data as reached; the markers after the
        // scan are still to be read, by jpeg_finish_decompress.
        jpeg_skip_scanlines(codec, JDIMENSION(sourceHeight) - codec->output_scanline);
        codec->inputctl->eoi_reached = FALSE;
        jpeg_finish_decompress(codec);
    } else {
        jpeg_finish_decompress(codec);
    }
    return true;
}

// Reads all the coded data as guardedDecode does, through the same entropy
// decoder and marker reader, but only into coefficients: no inverse DCT,
// upsampling or colour conversion. Raises the errors guardedDecode raises:
// those of reading, and the one refusal of the output side that depends on
// the file, sampling factors that are not whole multiples of each other.
// rowsDecoded becomes the rows guardedDecode would have produced.
bool guardedVerify(jpeg_decompress_struct *codec, ErrorManager *errors, const jpeg::ScanGuard *scans, int *rowsDecoded)
{
    if (setjmp(errors->jump))
        return false;
    for (int i = 0; i < codec->num_components; ++i) {
        const jpeg_component_info &component = codec->comp_info[i];
        if (codec->max_h_samp_factor % component.h_samp_factor != 0
            || codec->max_v_samp_factor % component.v_samp_factor != 0)
            ERREXIT(codec, JERR_FRACT_SAMPLE_NOTIMPL);
    }
    const bool singleScan = !jpeg_has_multiple_scans(codec);
    // The first scan is charged before any of it is read.
    jpeg::watch(codec);
    jpeg_read_coefficients(codec);
    const int sourceHeight = int(codec->image_height);
    *rowsDecoded = sourceHeight;
    if (singleScan && scans->endRow >= 0)
        *rowsDecoded = int(std::min<qint64>(sourceHeight, rowsBeforeStop(codec, scans->endRow)));
    jpeg_finish_decompress(codec);
    return true;
}

} // namespace

// ---- JpegReader ----

struct JpegReader::State {
    QFile file;
    QByteArray memory; // the data held in memory, read in place
    ReadOptions options;
    ErrorManager errors;
    jpeg_decompress_struct codec;
    jpeg::Source source;
    Budget budget;
    jpeg::ScanGuard scans;
    jpeg::ExifSegment exif;
    bool created = false;
    int orientation = 1;
    int rowsDecoded = 0;

    ~State()
    {
        if (created)
            jpeg_destroy_decompress(&codec);
    }

    // The failure of a guarded call that returned false.
    Unexpected fail() const
    {
        if (budget.stop != Budget::Going)
            return Unexpected(budget.failure());
        return Unexpected(codecError(errors));
    }

    DecodeReport report() const
    {
        DecodeReport report;
        report.warnings = QList<int>(errors.warnings, errors.warnings + errors.warningCount);
        report.rowsDecoded = rowsDecoded;
        report.storedHeight = int(codec.image_height);
        return report;
    }
};

JpegReader::JpegReader() : d(std::make_unique<State>()) {}
JpegReader::JpegReader(JpegReader &&) noexcept = default;
JpegReader &JpegReader::operator=(JpegReader &&) noexcept = default;

Result<JpegReader> JpegReader::open(const QString &path, const ReadOptions &options)
{
    JpegReader reader;
    State &d = *reader.d;
    d.options = options;
    d.file.setFileName(path);
    if (!d.file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Unexpected(Failure(FailureCode::CannotOpenFile,
                                  {.file = QFileInfo(path).absoluteFilePath(), .reason = d.file.errorString()}));
    // An empty file has no header and so no size to scale by.
    if (d.file.size() == 0)
        return Unexpected(Failure(FailureCode::FloatingPointDivision));
    jpeg::setUpSource(d.source, &d.file, nullptr, 0);
    if (Result<void> started = reader.start(d.file.size()); !started)
        return Unexpected(std::move(started).error());
    return reader;
}

Result<JpegReader> JpegReader::read(const QByteArray &bytes, const ReadOptions &options)
{
    JpegReader reader;
    State &d = *reader.d;
    d.options = options;
    d.memory = bytes;
    if (bytes.isEmpty())
        return Unexpected(Failure(FailureCode::FloatingPointDivision));
    jpeg::setUpSource(d.source, nullptr, d.memory.constData(), size_t(d.memory.size()));
    if (Result<void> started = reader.start(bytes.size()); !started)
        return Unexpected(std::move(started).error());
    return reader;
}

Result<void> JpegReader::start(qint64 fileBytes)
{
    d->budget.start(&d->options, fileBytes);
    setUpErrors(d->errors);
    d->codec.err = &d->errors.pub;
    jpeg_create_decompress(&d->codec);
    d->created = true;
    d->codec.mem->max_memory_to_use = d->options.decoderMemory;
    jpeg::setUpScanGuard(d->scans, &d->budget);
    d->codec.progress = &d->scans.pub;
    d->codec.src = &d->source.pub;
    jpeg::keepFirstExif(&d->codec, &d->exif);

    bool multiScan = false;
    if (!guardedReadHeader(&d->codec, &d->errors, &multiScan))
        return d->fail();
    const qint64 width = d->codec.image_width, height = d->codec.image_height;
    if (std::optional<Failure> tooBig = oversize(width, height, fileBytes))
        return Unexpected(std::move(*tooBig));
    if (multiScan && width * height > kMultiScanPixelLimit)
        return Unexpected(
            Failure(FailureCode::PictureTooBig, {.width = width, .height = height, .limit = kMultiScanPixelLimit}));
    if (d->exif.found)
        d->orientation = exifOrientation(d->exif.bytes, d->exif.size);
    return {};
}

JpegReader::~JpegReader() = default;

QSize JpegReader::storedSize() const { return QSize(int(d->codec.image_width), int(d->codec.image_height)); }

QSize JpegReader::size() const
{
    const QSize stored = storedSize();
    return d->orientation >= 5 ? stored.transposed() : stored;
}

int JpegReader::orientation() const { return d->orientation; }

int JpegReader::rowsDecoded() const { return d->rowsDecoded; }

bool DecodeReport::damaged() const
{
    for (int code : warnings) {
        switch (code) {
        case JWRN_BOGUS_PROGRESSION:
        case JWRN_EXTRANEOUS_DATA:
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_JPEG_EOF:
        case JWRN_MUST_RESYNC:
        case JWRN_NOT_SEQUENTIAL:
            return true;
        default:
            break;
        }
    }
    return false;
}

bool DecodeReport::cutShort() const { return warnings.contains(int(JWRN_JPEG_EOF)); }

Result<DecodedJpeg> JpegReader::decodeReduced(QSize target)
{
    QImage picture(target, QImage::Format_RGB32);
    if (picture.isNull())
        return Unexpected(Failure(FailureCode::JpegError, {.number = int(JERR_OUT_OF_MEMORY)}));

    const QSize stored = storedSize();
    const LineMap map = mapLines(stored.width(), stored.height(), d->orientation, target.width(), target.height());
    DecodePlan plan;
    plan.target = TargetLines(picture, map);
    plan.map = &map;

    jpeg_decompress_struct &codec = d->codec;
    switch (codec.jpeg_color_space) {
    case JCS_GRAYSCALE:
        codec.out_color_space = JCS_GRAYSCALE;
        plan.colour = Colour::Grey;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        codec.out_color_space = JCS_CMYK;
        plan.colour = Colour::Cmyk;
        break;
    case JCS_UNKNOWN:
        // Passed through as stored: three or more components are taken as
        // RGB, fewer as grey.
        codec.out_color_space = JCS_UNKNOWN;
        plan.colour = codec.num_components >= 3 ? Colour::Rgb : Colour::Grey;
        break;
    default:
        codec.out_color_space = JCS_RGB;
        plan.colour = Colour::Rgb;
        break;
    }

    const bool decoded = guardedDecode(&codec, &d->errors, &plan);
    d->rowsDecoded = plan.rowsDecoded;
    if (!decoded)
        return d->fail();
    DecodedJpeg result{std::move(picture), d->report()};
    // The picture is shown as libjpeg filled it in; that it was damaged
    // reaches the log, for the user who asks why parts of it are grey.
    if (result.report.damaged())
        qCWarning(lcPicture, "picture data damaged, filled in by the decoder (libjpeg warning %d)%s%s",
                  result.report.warnings.constFirst(), d->file.fileName().isEmpty() ? "" : ": ",
                  qUtf8Printable(d->file.fileName()));
    return result;
}

Result<DecodeReport> JpegReader::verify()
{
    int rows = 0;
    const bool verified = guardedVerify(&d->codec, &d->errors, &d->scans, &rows);
    d->rowsDecoded = rows;
    if (!verified)
        return d->fail();
    return d->report();
}

} // namespace picture
