#include "picture/jpeg_codec.h"

#include "core/failure.h"
#include "picture/exif_orientation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace picture {
namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return.
// It jumps back to the setjmp of the guarded call that is running. Only C
// frames of libjpeg lie between the two, so no C++ destructor is skipped:
// every guarded call below is a plain function with plain locals.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void onFatalError(j_common_ptr codec) { std::longjmp(reinterpret_cast<ErrorManager *>(codec->err)->jump, 1); }

// Warnings (damaged but decodable data, a file cut short) are ignored, and
// nothing is ever printed.
void onMessage(j_common_ptr, int) {}
void onOutputMessage(j_common_ptr) {}

void setUpErrors(ErrorManager &errors)
{
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onFatalError;
    errors.pub.emit_message = onMessage;
    errors.pub.output_message = onOutputMessage;
}

[[noreturn]] void throwCodecError(const ErrorManager &errors)
{
    throw Failure(FailureCode::JpegError, {.number = errors.pub.msg_code});
}

// The decoder never gets more than this for its own buffers: enough for the
// coefficients of a 200-megapixel progressive 4:2:0 photo (about 600 MB), so
// that any photo a current phone or camera makes loads. A header that
// declares a larger progressive picture ends with libjpeg's error instead of
// exhausting the machine.
constexpr long kDecoderMemoryLimit = 1024L * 1024 * 1024;

// A picture with many scans is read scan after scan over all its blocks
// before the first row comes out, so a small file of empty scans can keep the
// decoder busy for minutes. Real photos have about ten scans that read their
// blocks five to seven times over. Past 500 scans, or past 12 times the
// picture's blocks (a small picture may always have a million block reads, a
// matter of milliseconds), the file is refused with libjpeg's error for an
// impossible progression.
constexpr int kScanLimit = 500;
constexpr int kBlockPassLimit = 12;
constexpr qint64 kBlockReadsAlwaysAllowed = 1024 * 1024;

// A picture of several scans (progressive, or with its colours in separate
// scans) is held whole as coefficients, and every scan goes over all its
// blocks before the first row comes out; skipping rows saves none of that.
// A small file can declare a huge one with next to no data: at 357
// megapixels (the most that fits in the decoder's memory at 4:2:0) and ten
// empty scans it keeps the window busy for a second and takes 1 GB. No
// current camera or phone makes a photo above 2^28 pixels (268 megapixels;
// the largest are about 200), so such a picture is refused with libjpeg's
// error for a picture too big, as soon as its header is read; there the
// worst case stays well under a second. A single-scan (baseline) picture
// has no such cost: its rows between sampled ones are skipped, so it is
// read at any size libjpeg accepts.
constexpr qint64 kMultiScanPixelLimit = qint64(1) << 28;

// ---- Source: the file, read in pieces ----

constexpr qint64 kReadChunk = 64 * 1024;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

struct FileSource {
    jpeg_source_mgr pub;
    QIODevice *file = nullptr;  // the file; none for data held in memory
    bool ended = false;         // the file has no more data
    std::vector<JOCTET> buffer; // kReadChunk bytes, for a file
};

void initSource(j_decompress_ptr) {}

// At the end of the data the decoder is given an end-of-image marker, as
// often as it asks, so that it stops instead of reading on.
boolean fillInput(j_decompress_ptr codec)
{
    auto *source = reinterpret_cast<FileSource *>(codec->src);
    const qint64 count =
        source->ended ? 0 : source->file->read(reinterpret_cast<char *>(source->buffer.data()), kReadChunk);
    if (count <= 0) {
        source->ended = true;
        source->pub.next_input_byte = kEndOfImage;
        source->pub.bytes_in_buffer = sizeof kEndOfImage;
    } else {
        source->pub.next_input_byte = source->buffer.data();
        source->pub.bytes_in_buffer = size_t(count);
    }
    return TRUE;
}

void skipInput(j_decompress_ptr codec, long count)
{
    auto *source = reinterpret_cast<FileSource *>(codec->src);
    if (count <= 0)
        return;
    if (size_t(count) <= source->pub.bytes_in_buffer) {
        source->pub.next_input_byte += count;
        source->pub.bytes_in_buffer -= size_t(count);
        return;
    }
    const qint64 beyond = count - qint64(source->pub.bytes_in_buffer);
    source->pub.bytes_in_buffer = 0;
    if (!source->ended) {
        QIODevice &file = *source->file;
        file.seek(std::min(file.pos() + beyond, file.size()));
    }
}

void termSource(j_decompress_ptr) {}

// ---- Progress: the scan limits ----

struct ScanGuard {
    jpeg_progress_mgr pub;
    int lastScan = 0;
    qint64 blocksRead = 0; // blocks that the scans so far go over
    int endRow = -1;       // iMCU rows read when the end-of-image marker was first met
};

qint64 blocksInScan(j_decompress_ptr codec)
{
    qint64 blocks = 0;
    for (int i = 0; i < codec->comps_in_scan; ++i)
        blocks += qint64(codec->cur_comp_info[i]->width_in_blocks) * codec->cur_comp_info[i]->height_in_blocks;
    return blocks;
}

qint64 blocksInPicture(j_decompress_ptr codec)
{
    qint64 blocks = 0;
    for (int i = 0; i < codec->num_components; ++i)
        blocks += qint64(codec->comp_info[i].width_in_blocks) * codec->comp_info[i].height_in_blocks;
    return blocks;
}

// Called by libjpeg before each piece of input it reads, which includes the
// moment after each scan header: every new scan is counted there.
void watchScans(j_common_ptr common)
{
    if (!common->is_decompressor)
        return;
    auto codec = reinterpret_cast<j_decompress_ptr>(common);
    auto *guard = reinterpret_cast<ScanGuard *>(codec->progress);
    if (guard->endRow < 0 && codec->unread_marker == JPEG_EOI)
        guard->endRow = int(codec->input_iMCU_row);
    if (codec->input_scan_number == guard->lastScan)
        return;
    guard->lastScan = codec->input_scan_number;
    guard->blocksRead += blocksInScan(codec);
    if (guard->lastScan > kScanLimit
        || guard->blocksRead > std::max(kBlockReadsAlwaysAllowed, kBlockPassLimit * blocksInPicture(codec))) {
        codec->err->msg_code = JERR_BAD_PROGRESSION;
        (*codec->err->error_exit)(common);
    }
}

// ---- Decoding ----

enum class Colour { Grey, Rgb, Cmyk };

struct LineMap;

// Everything the decoding loop needs, as plain values.
struct DecodePlan {
    uchar *target = nullptr;    // RGB32 rows of the reduced picture
    qsizetype targetStride = 0; // in pixels
    int targetWidth = 0;
    int targetHeight = 0;
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

// Where each source row goes in the reduced, upright picture. The upright
// picture is the stored one turned or mirrored by the EXIF orientation; the
// reduced one takes upright pixel (x * uw / W, y * uh / H). Without a turn,
// a source row becomes (part of) one target row; with a turn (orientations
// 5 to 8) it becomes one target column. Either way each needed source row
// fills one target line, and its pixels along that line are picked from the
// columns in `pick`.
struct LineMap {
    std::vector<int> lineOfRow; // source row -> target line, or -1
    std::vector<int> pick;      // position along a target line -> source column
    bool columns = false;       // target lines are columns
};

LineMap mapLines(int sourceWidth, int sourceHeight, int orientation, int targetWidth, int targetHeight)
{
    LineMap map;
    map.columns = orientation >= 5;
    const int uprightWidth = map.columns ? sourceHeight : sourceWidth;
    const int uprightHeight = map.columns ? sourceWidth : sourceHeight;
    // Upright x runs along source rows for 1-4 and down source rows for 5-8;
    // these say whether the run is reversed.
    const bool reverseX = orientation == 2 || orientation == 3 || orientation == 6 || orientation == 7;
    const bool reverseY = orientation == 3 || orientation == 4 || orientation == 7 || orientation == 8;

    auto uprightX = [&](int x) { return int(qint64(x) * uprightWidth / targetWidth); };
    auto uprightY = [&](int y) { return int(qint64(y) * uprightHeight / targetHeight); };

    map.lineOfRow.assign(size_t(sourceHeight), -1);
    if (!map.columns) {
        // Source row = upright row (reversed by 3, 4); column = upright column (reversed by 2, 3).
        for (int y = 0; y < targetHeight; ++y) {
            const int uy = uprightY(y);
            map.lineOfRow[size_t(reverseY ? sourceHeight - 1 - uy : uy)] = y;
        }
        map.pick.resize(size_t(targetWidth));
        for (int x = 0; x < targetWidth; ++x) {
            const int ux = uprightX(x);
            map.pick[size_t(x)] = reverseX ? sourceWidth - 1 - ux : ux;
        }
    } else {
        // Source row = upright column (reversed by 6, 7); source column =
        // upright row (reversed by 7, 8).
        for (int x = 0; x < targetWidth; ++x) {
            const int ux = uprightX(x);
            map.lineOfRow[size_t(reverseX ? sourceHeight - 1 - ux : ux)] = x;
        }
        map.pick.resize(size_t(targetHeight));
        for (int y = 0; y < targetHeight; ++y) {
            const int uy = uprightY(y);
            map.pick[size_t(y)] = reverseY ? sourceWidth - 1 - uy : uy;
        }
    }
    return map;
}

// Samples one decoded source row into its target line.
void sampleRow(const JSAMPLE *row, int components, Colour colour, const std::vector<int> &pick, QRgb *out,
               qsizetype step)
{
    for (size_t i = 0; i < pick.size(); ++i)
        out[qsizetype(i) * step] = toRgb(row + size_t(pick[i]) * size_t(components), colour);
}

QRgb *lineStart(const DecodePlan &plan, const LineMap &map, int line)
{
    auto *pixels = reinterpret_cast<QRgb *>(plan.target);
    return map.columns ? pixels + line : pixels + plan.targetStride * line;
}

bool guardedReadHeader(jpeg_decompress_struct *codec, ErrorManager *errors, bool *multiScan)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_save_markers(codec, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(codec, TRUE);
    *multiScan = jpeg_has_multiple_scans(codec);
    return true;
}

// Blocks that the Huffman decoder can still produce after it has met a
// marker: at most 64 buffered bits at 2 bits a block at least, and one more
// MCU decoded from the zero bits that libjpeg puts in when they run out.
constexpr int kBlocksPastMarker = 48;

// The source rows that decoding goes on to once it has met the end-of-image
// marker of a single-scan picture after endRow iMCU rows (see guardedDecode).
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
// One shortcut: in a single-scan picture, once the decoder stands at an
// end-of-image marker (the real one, or the one put in where the file ends),
// every later block of the scan is empty and every later row is the same
// uniform colour, whatever the picture's size. Decoding stops a few rows past
// that point and the remaining target lines take that colour.
bool guardedDecode(jpeg_decompress_struct *codec, ErrorManager *errors, DecodePlan *plan)
{
    if (setjmp(errors->jump))
        return false;

    jpeg_start_decompress(codec);
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

    while (int(codec->output_scanline) < stopAt) {
        const int position = int(codec->output_scanline);
        if (wanted < position)
            wanted = position;
        while (wanted < sourceHeight - 1 && map->lineOfRow[size_t(wanted)] < 0)
            ++wanted;
        const int next = std::min(wanted, stopAt - 1);
        const bool skip = next > position && position % rowsPerGroup == 0;
        if (skip) {
            jpeg_skip_scanlines(codec, JDIMENSION(next - position));
        } else {
            jpeg_read_scanlines(codec, row, 1);
            const int line = map->lineOfRow[size_t(position)];
            if (line >= 0)
                sampleRow(row[0], components, plan->colour, map->pick, lineStart(*plan, *map, line),
                          map->columns ? plan->targetStride : 1);
        }
        if (singleScan && stopAt == sourceHeight && codec->unread_marker == JPEG_EOI) {
            const qint64 stop = rowsBeforeStop(codec, int(codec->input_iMCU_row));
            // At least one more row is read after a skip, for the colour.
            const qint64 least = codec->output_scanline + (skip ? 1 : 0);
            stopAt = int(std::min<qint64>(sourceHeight, std::max(stop, least)));
        }
    }
    plan->rowsDecoded = int(codec->output_scanline);

    if (int(codec->output_scanline) < sourceHeight) {
        // The rest is the uniform colour of the last row decoded.
        const QRgb fill = toRgb(row[0], plan->colour);
        for (int sourceRow = int(codec->output_scanline); sourceRow < sourceHeight; ++sourceRow) {
            const int line = map->lineOfRow[size_t(sourceRow)];
            if (line < 0)
                continue;
            QRgb *out = lineStart(*plan, *map, line);
            const qsizetype step = map->columns ? plan->targetStride : 1;
            for (size_t i = 0; i < map->pick.size(); ++i)
                out[qsizetype(i) * step] = fill;
        }
        // Past the end-of-image marker libjpeg reads nothing more.
        jpeg_abort_decompress(codec);
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
bool guardedVerify(jpeg_decompress_struct *codec, ErrorManager *errors, const ScanGuard *scans, int *rowsDecoded)
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
    ErrorManager errors;
    jpeg_decompress_struct codec;
    FileSource source;
    ScanGuard scans;
    bool created = false;
    int orientation = 1;
    int rowsDecoded = 0;

    ~State()
    {
        if (created)
            jpeg_destroy_decompress(&codec);
    }
};

JpegReader::JpegReader(const QString &path) : d(std::make_unique<State>())
{
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw Failure(FailureCode::CannotOpenFile,
                      {.file = QFileInfo(path).absoluteFilePath(), .reason = d->file.errorString()});
    // An empty file has no header and so no size to scale by.
    if (d->file.size() == 0)
        throw Failure(FailureCode::FloatingPointDivision);
    d->source.buffer.resize(size_t(kReadChunk));
    start(&d->file);
}

JpegReader::JpegReader(const QByteArray &bytes) : d(std::make_unique<State>())
{
    d->memory = bytes;
    if (bytes.isEmpty())
        throw Failure(FailureCode::FloatingPointDivision);
    start(nullptr);
}

void JpegReader::start(QIODevice *input)
{
    setUpErrors(d->errors);
    d->codec.err = &d->errors.pub;
    jpeg_create_decompress(&d->codec);
    d->created = true;
    d->codec.mem->max_memory_to_use = kDecoderMemoryLimit;
    d->scans.pub.progress_monitor = watchScans;
    d->codec.progress = &d->scans.pub;

    d->source.file = input;
    d->source.pub.init_source = initSource;
    d->source.pub.fill_input_buffer = fillInput;
    d->source.pub.skip_input_data = skipInput;
    d->source.pub.resync_to_restart = jpeg_resync_to_restart;
    d->source.pub.term_source = termSource;
    d->source.pub.next_input_byte = nullptr;
    d->source.pub.bytes_in_buffer = 0;
    if (!input) {
        // Data in memory are all in the buffer from the start, with
        // nothing more to read behind them: the same bytes in the same
        // order as from a file, without copying them in pieces.
        d->source.pub.next_input_byte = reinterpret_cast<const JOCTET *>(d->memory.constData());
        d->source.pub.bytes_in_buffer = size_t(d->memory.size());
        d->source.ended = true;
    }
    d->codec.src = &d->source.pub;

    bool multiScan = false;
    if (!guardedReadHeader(&d->codec, &d->errors, &multiScan))
        throwCodecError(d->errors);
    if (multiScan && qint64(d->codec.image_width) * d->codec.image_height > kMultiScanPixelLimit)
        throw Failure(FailureCode::JpegError, {.number = int(JERR_IMAGE_TOO_BIG)});

    // The first EXIF segment gives the orientation.
    for (jpeg_saved_marker_ptr marker = d->codec.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6
            && std::memcmp(marker->data, "Exif\0\0", 6) == 0) {
            d->orientation = exifOrientation(marker->data, marker->data_length);
            break;
        }
    }
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

QImage JpegReader::decodeReduced(QSize target)
{
    QImage picture(target, QImage::Format_RGB32);
    if (picture.isNull())
        throw Failure(FailureCode::JpegError, {.number = int(JERR_OUT_OF_MEMORY)});

    const QSize stored = storedSize();
    const LineMap map = mapLines(stored.width(), stored.height(), d->orientation, target.width(), target.height());
    DecodePlan plan;
    plan.target = picture.bits();
    plan.targetStride = picture.bytesPerLine() / qsizetype(sizeof(QRgb));
    plan.targetWidth = target.width();
    plan.targetHeight = target.height();
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
        throwCodecError(d->errors);
    return picture;
}

void JpegReader::verify()
{
    int rows = 0;
    const bool verified = guardedVerify(&d->codec, &d->errors, &d->scans, &rows);
    d->rowsDecoded = rows;
    if (!verified)
        throwCodecError(d->errors);
}

// ---- Encoding ----

namespace {

constexpr size_t kWriteChunk = 16 * 1024;

struct ByteArrayDestination {
    jpeg_destination_mgr pub;
    QByteArray *bytes = nullptr;
    JOCTET buffer[kWriteChunk];
};

void initDestination(j_compress_ptr codec)
{
    auto *destination = reinterpret_cast<ByteArrayDestination *>(codec->dest);
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = kWriteChunk;
}

boolean emptyOutput(j_compress_ptr codec)
{
    auto *destination = reinterpret_cast<ByteArrayDestination *>(codec->dest);
    destination->bytes->append(reinterpret_cast<const char *>(destination->buffer), qsizetype(kWriteChunk));
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = kWriteChunk;
    return TRUE;
}

void termDestination(j_compress_ptr codec)
{
    auto *destination = reinterpret_cast<ByteArrayDestination *>(codec->dest);
    destination->bytes->append(reinterpret_cast<const char *>(destination->buffer),
                               qsizetype(kWriteChunk - destination->pub.free_in_buffer));
}

bool guardedEncode(jpeg_compress_struct *codec, ErrorManager *errors, const uchar *pixels, qsizetype stride)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_set_defaults(codec);
    jpeg_set_quality(codec, 90, TRUE);
    codec->dct_method = JDCT_FLOAT;
    jpeg_start_compress(codec, TRUE);
    while (codec->next_scanline < codec->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * qsizetype(codec->next_scanline));
        jpeg_write_scanlines(codec, &row, 1);
    }
    jpeg_finish_compress(codec);
    return true;
}

struct Compressor {
    jpeg_compress_struct codec;
    ErrorManager errors;
    ByteArrayDestination destination;
    Compressor()
    {
        setUpErrors(errors);
        codec.err = &errors.pub;
        jpeg_create_compress(&codec);
    }
    ~Compressor() { jpeg_destroy_compress(&codec); }
};

} // namespace

QByteArray encodeJpeg(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    QByteArray bytes;
    auto compressor = std::make_unique<Compressor>();
    jpeg_compress_struct &codec = compressor->codec;
    compressor->destination.bytes = &bytes;
    compressor->destination.pub.init_destination = initDestination;
    compressor->destination.pub.empty_output_buffer = emptyOutput;
    compressor->destination.pub.term_destination = termDestination;
    codec.dest = &compressor->destination.pub;

    codec.image_width = JDIMENSION(rgb.width());
    codec.image_height = JDIMENSION(rgb.height());
    codec.input_components = 3;
    codec.in_color_space = JCS_RGB;
    if (!guardedEncode(&codec, &compressor->errors, rgb.constBits(), rgb.bytesPerLine()))
        throwCodecError(compressor->errors);
    return bytes;
}

} // namespace picture
