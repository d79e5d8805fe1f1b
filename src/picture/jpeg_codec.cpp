#include "picture/jpeg_codec.h"

#include "core/failure.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

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
    throw Failure(QStringLiteral("JPEG error #%1").arg(errors.pub.msg_code));
}

// The decoder never gets more than this for its own buffers; a header that
// declares an enormous progressive picture ends with libjpeg's error instead
// of exhausting the machine.
constexpr long kDecoderMemoryLimit = 512L * 1024 * 1024;

// ---- Source: the file, read in pieces ----

constexpr qint64 kReadChunk = 64 * 1024;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

struct FileSource {
    jpeg_source_mgr pub;
    QIODevice *file = nullptr; // a file, or a buffer in memory
    bool ended = false;        // the file has no more data
    JOCTET buffer[kReadChunk];
};

void initSource(j_decompress_ptr) {}

// At the end of the data the decoder is given an end-of-image marker, as
// often as it asks, so that it stops instead of reading on.
boolean fillInput(j_decompress_ptr codec)
{
    auto *source = reinterpret_cast<FileSource *>(codec->src);
    const qint64 count = source->ended ? 0 : source->file->read(reinterpret_cast<char *>(source->buffer), kReadChunk);
    if (count <= 0) {
        source->ended = true;
        source->pub.next_input_byte = kEndOfImage;
        source->pub.bytes_in_buffer = sizeof kEndOfImage;
    } else {
        source->pub.next_input_byte = source->buffer;
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

// ---- Decoding ----

enum class Colour { Grey, Rgb, Cmyk, InvertedCmyk };

// Everything the decoding loop needs, as plain values.
struct DecodePlan {
    uchar *target = nullptr; // RGB32 rows of the reduced picture
    qsizetype targetStride = 0;
    int targetWidth = 0;
    int targetHeight = 0;
    Colour colour = Colour::Rgb;
    int rowsDecoded = 0;
};

inline uchar inkToLight(int ink, int black) { return uchar((ink * black + 127) / 255); }

// Samples one decoded source row into one row of the reduced picture.
void sampleRow(const JSAMPLE *row, const int *columns, int components, Colour colour, QRgb *out, int width)
{
    for (int x = 0; x < width; ++x) {
        const JSAMPLE *p = row + columns[x] * components;
        switch (colour) {
        case Colour::Grey:
            out[x] = qRgb(p[0], p[0], p[0]);
            break;
        case Colour::Rgb:
            out[x] = qRgb(p[0], p[1], p[2]);
            break;
        case Colour::InvertedCmyk: // Adobe writes the inks inverted: 255 is no ink
            out[x] = qRgb(inkToLight(p[0], p[3]), inkToLight(p[1], p[3]), inkToLight(p[2], p[3]));
            break;
        case Colour::Cmyk:
            out[x] = qRgb(inkToLight(255 - p[0], 255 - p[3]), inkToLight(255 - p[1], 255 - p[3]),
                          inkToLight(255 - p[2], 255 - p[3]));
            break;
        }
    }
}

bool guardedReadHeader(jpeg_decompress_struct *codec, ErrorManager *errors)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_read_header(codec, TRUE);
    return true;
}

// Decodes every source row in turn into one row buffer; the rows that the
// reduced picture samples are copied out, the others are dropped. When the
// data end early (the file is cut short, or a marker stands in the middle of
// the picture data), a single-scan picture stops a few rows later: the rows
// beyond hold no data, and decoding them would only produce padding.
bool guardedDecode(jpeg_decompress_struct *codec, ErrorManager *errors, FileSource *source, DecodePlan *plan)
{
    if (setjmp(errors->jump))
        return false;

    jpeg_start_decompress(codec);
    const int sourceWidth = int(codec->output_width);
    const int sourceHeight = int(codec->output_height);
    const int components = codec->output_components;

    JSAMPARRAY row = (*codec->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE,
                                                 JDIMENSION(sourceWidth * components), 1);
    int *columns = static_cast<int *>((*codec->mem->alloc_small)(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE,
                                                                 sizeof(int) * size_t(plan->targetWidth)));
    for (int x = 0; x < plan->targetWidth; ++x)
        columns[x] = int(qint64(x) * sourceWidth / plan->targetWidth);

    // Output rows per row of MCUs; decoding may run up to two such rows
    // ahead of the output.
    const int rowsPerBand = codec->max_v_samp_factor * codec->min_DCT_scaled_size;
    const bool singleScan = !jpeg_has_multiple_scans(codec);
    int stopAt = sourceHeight;
    int targetRow = 0;
    int wantedRow = 0; // the source row that targetRow samples

    while (int(codec->output_scanline) < stopAt) {
        const int sourceRow = int(codec->output_scanline);
        jpeg_read_scanlines(codec, row, 1);
        if (sourceRow == wantedRow && targetRow < plan->targetHeight) {
            sampleRow(row[0], columns, components, plan->colour,
                      reinterpret_cast<QRgb *>(plan->target + plan->targetStride * targetRow), plan->targetWidth);
            ++targetRow;
            wantedRow = int(qint64(targetRow) * sourceHeight / plan->targetHeight);
        }
        const int marker = codec->unread_marker;
        const bool hitMarker = marker != 0 && !(marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7);
        if (singleScan && stopAt == sourceHeight && (source->ended || hitMarker)) {
            const int bandEnd = (int(codec->output_scanline) + rowsPerBand - 1) / rowsPerBand * rowsPerBand;
            stopAt = std::min(sourceHeight, bandEnd + 2 * rowsPerBand);
        }
    }
    plan->rowsDecoded = int(codec->output_scanline);

    if (int(codec->output_scanline) < sourceHeight) {
        // Cut short: the rows without data are the codec's mid-grey.
        for (int y = targetRow; y < plan->targetHeight; ++y)
            std::fill_n(reinterpret_cast<QRgb *>(plan->target + plan->targetStride * y), plan->targetWidth,
                        qRgb(128, 128, 128));
        jpeg_abort_decompress(codec);
    } else {
        jpeg_finish_decompress(codec);
    }
    return true;
}

} // namespace

// ---- JpegReader ----

struct JpegReader::State {
    QFile file;
    QBuffer memory;
    ErrorManager errors;
    jpeg_decompress_struct codec;
    FileSource source;
    bool created = false;
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
        throw Failure(QStringLiteral("Cannot open file \"%1\". %2")
                          .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), d->file.errorString()));
    start(d->file);
}

JpegReader::JpegReader(const QByteArray &bytes) : d(std::make_unique<State>())
{
    d->memory.setData(bytes);
    d->memory.open(QIODevice::ReadOnly);
    start(d->memory);
}

void JpegReader::start(QIODevice &input)
{
    // An empty file has no header and so no size to scale by.
    if (input.size() == 0)
        throw Failure(QStringLiteral("Floating point division by zero"));

    setUpErrors(d->errors);
    d->codec.err = &d->errors.pub;
    jpeg_create_decompress(&d->codec);
    d->created = true;
    d->codec.mem->max_memory_to_use = kDecoderMemoryLimit;

    d->source.file = &input;
    d->source.pub.init_source = initSource;
    d->source.pub.fill_input_buffer = fillInput;
    d->source.pub.skip_input_data = skipInput;
    d->source.pub.resync_to_restart = jpeg_resync_to_restart;
    d->source.pub.term_source = termSource;
    d->source.pub.next_input_byte = nullptr;
    d->source.pub.bytes_in_buffer = 0;
    d->codec.src = &d->source.pub;

    if (!guardedReadHeader(&d->codec, &d->errors))
        throwCodecError(d->errors);
}

JpegReader::~JpegReader() = default;

QSize JpegReader::size() const { return QSize(int(d->codec.image_width), int(d->codec.image_height)); }

int JpegReader::rowsDecoded() const { return d->rowsDecoded; }

QImage JpegReader::decodeReduced(QSize target)
{
    QImage picture(target, QImage::Format_RGB32);
    if (picture.isNull())
        throw Failure(QStringLiteral("JPEG error #%1").arg(int(JERR_OUT_OF_MEMORY)));

    DecodePlan plan;
    plan.target = picture.bits();
    plan.targetStride = picture.bytesPerLine();
    plan.targetWidth = target.width();
    plan.targetHeight = target.height();

    jpeg_decompress_struct &codec = d->codec;
    switch (codec.jpeg_color_space) {
    case JCS_GRAYSCALE:
        codec.out_color_space = JCS_GRAYSCALE;
        plan.colour = Colour::Grey;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        codec.out_color_space = JCS_CMYK;
        plan.colour = codec.saw_Adobe_marker ? Colour::InvertedCmyk : Colour::Cmyk;
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

    const bool decoded = guardedDecode(&codec, &d->errors, &d->source, &plan);
    d->rowsDecoded = plan.rowsDecoded;
    if (!decoded)
        throwCodecError(d->errors);
    return picture;
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

// ---- Writing ----

} // namespace picture
