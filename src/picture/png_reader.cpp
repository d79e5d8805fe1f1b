#include "picture/png_reader.h"

#include "core/failure.h"
#include "picture/budget.h"
#include "picture/exif_orientation.h"
#include "picture/sampling.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <vector>

#include <png.h>

namespace picture {

bool isPngSignature(const QByteArray &start) { return start.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8)); }

// Everything libpng's callbacks and the guarded calls below touch. libpng
// reports an error by calling onError, which jumps back to the setjmp of the
// guarded call that is running; only C frames of libpng and the plain read
// callback lie between the two, so no C++ destructor is skipped.
struct PngReader::State {
    QFile file;
    ReadOptions options;
    Budget budget;
    // The chunk walk (readData): bytes of the header just read that libpng
    // has still to take, and bytes of the stream to pass on as they are
    // (the signature first, then each kept chunk's data and checksum).
    unsigned char header[8] = {};
    int headerLeft = 0;
    qint64 passLeft = 8;
    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[200] = {}; // libpng's reason for the last error

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 8; // bits a sample
    int type = 0;  // PNG_COLOR_TYPE_*
    bool interlaced = false;
    QRgb palette[256] = {}; // with the palette's alpha from tRNS
    int paletteSize = 0;
    bool keyed = false; // tRNS gives a colour (or grey) that is transparent
    png_color_16 key = {};
    int orientation = 1;

    ~State()
    {
        if (png)
            png_destroy_read_struct(&png, &info, nullptr);
    }
};

namespace {

using State = PngReader::State;

// libpng refuses a header beyond a million pixels on a side (its row buffer
// then stays under 8 MB); the picture's size and the work of reading it are
// bounded further by the budget (picture/budget.h).
constexpr png_uint_32 kMaxSide = 1000000;
// Ancillary chunks kept at most (text, say), and the largest chunk read at
// all: an ancillary chunk (text, a colour profile, EXIF data) beyond it is
// passed over in the file without being read (readData), so that a file of
// any size costs no more than its small chunks; its content is not used.
constexpr png_uint_32 kChunkCacheMax = 128;
constexpr png_alloc_size_t kChunkMallocMax = 2 * 1024 * 1024;

void onError(png_structp png, png_const_charp text)
{
    auto *state = static_cast<State *>(png_get_error_ptr(png));
    qstrncpy(state->message, text, sizeof state->message);
    png_longjmp(png, 1);
}

// Warnings (a damaged ancillary chunk, say) are ignored.
void onWarning(png_structp, png_const_charp) {}

// libpng's read callback. It walks the chunks of the file itself: each
// chunk's header is read here first, and an ancillary chunk (one whose type
// begins with a small letter) longer than kChunkMallocMax is sought over,
// checksum included, so that libpng never sees it; every other byte is
// passed on as it stands. libpng reads a chunk's length and type in one
// piece of 8 bytes, then its data and checksum.
void readData(png_structp png, png_bytep data, size_t length)
{
    auto *state = static_cast<State *>(png_get_io_ptr(png));
    QFile &file = state->file;
    while (length > 0) {
        if (state->headerLeft > 0) {
            const size_t piece = std::min(length, size_t(state->headerLeft));
            std::memcpy(data, state->header + (8 - state->headerLeft), piece);
            state->headerLeft -= int(piece);
            data += piece;
            length -= piece;
        } else if (state->passLeft > 0) {
            const qint64 piece = std::min(qint64(length), state->passLeft);
            if (file.read(reinterpret_cast<char *>(data), piece) != piece)
                png_error(png, "the file ends too soon");
            state->passLeft -= piece;
            data += piece;
            length -= size_t(piece);
        } else {
            if (file.read(reinterpret_cast<char *>(state->header), 8) != 8)
                png_error(png, "the file ends too soon");
            const quint32 size = quint32(state->header[0]) << 24 | quint32(state->header[1]) << 16
                                 | quint32(state->header[2]) << 8 | state->header[3];
            const bool ancillary = state->header[4] & 0x20;
            if (ancillary && size > kChunkMallocMax && size <= PNG_UINT_31_MAX) {
                if (!file.seek(file.pos() + qint64(size) + 4))
                    png_error(png, "the file ends too soon");
                continue;
            }
            state->headerLeft = 8;
            state->passLeft = qint64(size) + 4;
        }
    }
}

bool guardedHeader(State *state)
{
    if (setjmp(png_jmpbuf(state->png)))
        return false;
    png_set_read_fn(state->png, state, readData);
    png_set_user_limits(state->png, kMaxSide, kMaxSide);
    png_set_chunk_cache_max(state->png, kChunkCacheMax);
    png_set_chunk_malloc_max(state->png, kChunkMallocMax);
    png_read_info(state->png, state->info);

    int interlace = 0;
    png_get_IHDR(state->png, state->info, &state->width, &state->height, &state->depth, &state->type, &interlace,
                 nullptr, nullptr);
    state->interlaced = interlace != PNG_INTERLACE_NONE;

    png_colorp palette = nullptr;
    int paletteSize = 0;
    if (png_get_PLTE(state->png, state->info, &palette, &paletteSize) & PNG_INFO_PLTE) {
        state->paletteSize = std::min(paletteSize, 256);
        for (int i = 0; i < state->paletteSize; ++i)
            state->palette[i] = qRgba(palette[i].red, palette[i].green, palette[i].blue, 255);
    }
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_color_16p key = nullptr;
    if (png_get_tRNS(state->png, state->info, &alphas, &alphaCount, &key) & PNG_INFO_tRNS) {
        if (state->type == PNG_COLOR_TYPE_PALETTE && alphas) {
            for (int i = 0; i < std::min(alphaCount, state->paletteSize); ++i)
                state->palette[i] =
                    qRgba(qRed(state->palette[i]), qGreen(state->palette[i]), qBlue(state->palette[i]), alphas[i]);
        } else if ((state->type == PNG_COLOR_TYPE_GRAY || state->type == PNG_COLOR_TYPE_RGB) && key) {
            state->keyed = true;
            state->key = *key;
        }
    }
    png_uint_32 exifSize = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(state->png, state->info, &exifSize, &exif) & PNG_INFO_eXIf)
        state->orientation = exifOrientationOfTiff(exif, exifSize);
    return true;
}

// One sample of a row as stored: depth bits, big-endian.
inline unsigned sampleAt(const png_byte *row, size_t index, int depth)
{
    switch (depth) {
    case 16:
        return unsigned(row[2 * index]) << 8 | row[2 * index + 1];
    case 8:
        return row[index];
    default: {
        const size_t bit = index * size_t(depth);
        return (row[bit / 8] >> (8 - depth - int(bit % 8))) & ((1u << depth) - 1);
    }
    }
}

// A sample at 8 bits: 16-bit ones keep their high byte, smaller ones are
// spread over 0 to 255.
inline int toByte(unsigned value, int depth)
{
    if (depth == 16)
        return int(value >> 8);
    if (depth == 8)
        return int(value);
    return int(value * 255 / ((1u << depth) - 1));
}

inline QRgb overWhite(int red, int green, int blue, int alpha)
{
    auto mix = [alpha](int c) { return (c * alpha + 255 * (255 - alpha) + 127) / 255; };
    return alpha == 255 ? qRgb(red, green, blue) : qRgb(mix(red), mix(green), mix(blue));
}

// Pixel x of a row (of the whole picture or of an interlace pass), over white.
QRgb pixelAt(const State &state, const png_byte *row, size_t x)
{
    const int depth = state.depth;
    switch (state.type) {
    case PNG_COLOR_TYPE_GRAY: {
        const unsigned grey = sampleAt(row, x, depth);
        if (state.keyed && grey == state.key.gray)
            return qRgb(255, 255, 255);
        const int value = toByte(grey, depth);
        return qRgb(value, value, value);
    }
    case PNG_COLOR_TYPE_RGB: {
        const unsigned red = sampleAt(row, 3 * x, depth), green = sampleAt(row, 3 * x + 1, depth),
                       blue = sampleAt(row, 3 * x + 2, depth);
        if (state.keyed && red == state.key.red && green == state.key.green && blue == state.key.blue)
            return qRgb(255, 255, 255);
        return qRgb(toByte(red, depth), toByte(green, depth), toByte(blue, depth));
    }
    case PNG_COLOR_TYPE_PALETTE: {
        const unsigned index = sampleAt(row, x, depth);
        // An index past the palette is black, as libpng's own expansion gives it.
        const QRgb entry = int(index) < state.paletteSize ? state.palette[index] : qRgb(0, 0, 0);
        return overWhite(qRed(entry), qGreen(entry), qBlue(entry), qAlpha(entry));
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA: {
        const int grey = toByte(sampleAt(row, 2 * x, depth), depth);
        return overWhite(grey, grey, grey, toByte(sampleAt(row, 2 * x + 1, depth), depth));
    }
    default: // PNG_COLOR_TYPE_RGB_ALPHA
        return overWhite(toByte(sampleAt(row, 4 * x, depth), depth), toByte(sampleAt(row, 4 * x + 1, depth), depth),
                         toByte(sampleAt(row, 4 * x + 2, depth), depth),
                         toByte(sampleAt(row, 4 * x + 3, depth), depth));
    }
}

struct RowPlan {
    TargetLines target;
    const LineMap *map = nullptr;
    png_bytep row = nullptr; // one row of the whole picture's width
    bool stopped = false;    // by the budget: state->budget.stop tells why
};

int channels(int type)
{
    switch (type) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

// Reads every row of the picture (of every pass when interlaced: libpng
// then gives each pass's rows, of that pass's pixels, one after another)
// and puts the sampled pixels into their target lines.
bool guardedRows(State *state, RowPlan *plan)
{
    if (setjmp(png_jmpbuf(state->png)))
        return false;
    const int passes = state->interlaced ? PNG_INTERLACE_ADAM7_PASSES : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const png_uint_32 rows = state->interlaced ? PNG_PASS_ROWS(state->height, pass) : state->height;
        const png_uint_32 columns = state->interlaced ? PNG_PASS_COLS(state->width, pass) : state->width;
        // libpng passes over the passes that hold no pixel.
        if (rows == 0 || columns == 0)
            continue;
        // Each row is charged four units for each byte that libpng inflates
        // and unfilters.
        const qint64 rowUnits = 4 * ((qint64(columns) * channels(state->type) * state->depth + 7) / 8 + 1);
        for (png_uint_32 passRow = 0; passRow < rows; ++passRow) {
            if (!state->budget.spend(rowUnits)) {
                plan->stopped = true;
                return false;
            }
            png_read_row(state->png, plan->row, nullptr);
            const png_uint_32 y = state->interlaced ? PNG_ROW_FROM_PASS_ROW(passRow, pass) : passRow;
            const int line = plan->map->lineOfRow[y];
            if (line < 0)
                continue;
            QRgb *out = plan->target.start(line);
            const qsizetype step = plan->target.step();
            const std::vector<int> &pick = plan->map->pick;
            for (size_t i = 0; i < pick.size(); ++i) {
                const png_uint_32 x = png_uint_32(pick[i]);
                if (!state->interlaced)
                    out[qsizetype(i) * step] = pixelAt(*state, plan->row, x);
                else if (PNG_COL_IN_INTERLACE_PASS(x, pass))
                    out[qsizetype(i) * step] =
                        pixelAt(*state, plan->row, (x - PNG_PASS_START_COL(pass)) >> PNG_PASS_COL_SHIFT(pass));
            }
        }
    }
    return true;
}

} // namespace

PngReader::PngReader() : d(std::make_unique<State>()) {}
PngReader::PngReader(PngReader &&) noexcept = default;
PngReader &PngReader::operator=(PngReader &&) noexcept = default;

Result<PngReader> PngReader::open(const QString &path, const ReadOptions &options)
{
    PngReader reader;
    State *d = reader.d.get();
    d->options = options;
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::ReadOnly))
        return Unexpected(Failure(FailureCode::CannotOpenFile,
                                  {.file = QFileInfo(path).absoluteFilePath(), .reason = d->file.errorString()}));
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, d, onError, onWarning);
    if (d->png)
        d->info = png_create_info_struct(d->png);
    if (!d->png || !d->info)
        return Unexpected(Failure(FailureCode::OutOfMemory));
    d->budget.start(&d->options, d->file.size());
    if (!guardedHeader(d) || d->width == 0 || d->height == 0)
        return Unexpected(Failure(FailureCode::PngHeaderUnreadable, {.file = path}));
    if (std::optional<Failure> tooBig = oversize(d->width, d->height, d->file.size()))
        return Unexpected(std::move(*tooBig));
    return reader;
}

PngReader::~PngReader() = default;

QSize PngReader::size() const
{
    const QSize stored(int(d->width), int(d->height));
    return d->orientation >= 5 ? stored.transposed() : stored;
}

int PngReader::orientation() const { return d->orientation; }

Result<QImage> PngReader::decodeReduced(QSize target)
{
    QImage picture(target, QImage::Format_RGB32);
    if (picture.isNull())
        return Unexpected(Failure(FailureCode::OutOfMemory));
    // Pixels that no pass reaches (none, in a sound file) stay white.
    picture.fill(Qt::white);
    const LineMap map = mapLines(int(d->width), int(d->height), d->orientation, target.width(), target.height());
    std::vector<png_byte> row(png_get_rowbytes(d->png, d->info));
    RowPlan plan;
    plan.target = TargetLines(picture, map);
    plan.map = &map;
    plan.row = row.data();
    if (!guardedRows(d.get(), &plan)) {
        if (plan.stopped)
            return Unexpected(d->budget.failure());
        return Unexpected(Failure(FailureCode::PngDataUnreadable,
                                  {.file = d->file.fileName(), .reason = QString::fromLatin1(d->message)}));
    }
    return picture;
}

} // namespace picture
