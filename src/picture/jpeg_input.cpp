#include "picture/jpeg_input.h"

#include <QIODevice>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <jerror.h>

namespace picture::jpeg {
namespace {

constexpr qint64 kReadChunk = 64 * 1024;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr codec)
{
    auto *source = reinterpret_cast<Source *>(codec->src);
    const qint64 count =
        source->ended ? 0 : source->file->read(reinterpret_cast<char *>(source->buffer.data()), kReadChunk);
    if (count <= 0) {
        // The data end before the end-of-image marker: the file is cut
        // short, which libjpeg's own sources report the same way.
        WARNMS(codec, JWRN_JPEG_EOF);
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
    auto *source = reinterpret_cast<Source *>(codec->src);
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

// A picture with many scans is read scan after scan over all its blocks
// before the first row comes out; real photos have about ten. Every scan is
// charged to the budget, and past 500 the file is refused outright with
// libjpeg's error for an impossible progression.
constexpr int kScanLimit = 500;

[[noreturn]] void stop(j_decompress_ptr codec)
{
    codec->err->msg_code = JERR_BAD_PROGRESSION;
    (*codec->err->error_exit)(reinterpret_cast<j_common_ptr>(codec));
    std::abort(); // error_exit never returns
}

qint64 blocksInScan(j_decompress_ptr codec)
{
    qint64 blocks = 0;
    for (int i = 0; i < codec->comps_in_scan; ++i)
        blocks += qint64(codec->cur_comp_info[i]->width_in_blocks) * codec->cur_comp_info[i]->height_in_blocks;
    return blocks;
}

// Called by libjpeg before each piece of input it reads while it takes in
// the scans, and before each row it puts out: every new scan is charged
// there, and the cancel flag is looked at.
void watchScans(j_common_ptr common)
{
    if (!common->is_decompressor)
        return;
    watch(reinterpret_cast<j_decompress_ptr>(common));
}

// One byte of input; false only where the source suspends (it never does).
bool nextByte(j_decompress_ptr codec, int *value)
{
    jpeg_source_mgr *source = codec->src;
    if (source->bytes_in_buffer == 0 && !(*source->fill_input_buffer)(codec))
        return false;
    --source->bytes_in_buffer;
    *value = *source->next_input_byte++;
    return true;
}

// libjpeg's marker processor for APP1: reads the length, then keeps the
// segment when it is the first EXIF one and skips it otherwise. A length
// below 2 is taken as an empty segment, as libjpeg's own reader takes it.
boolean readApp1(j_decompress_ptr codec)
{
    auto *segment = static_cast<ExifSegment *>(codec->client_data);
    int high = 0, low = 0;
    if (!nextByte(codec, &high) || !nextByte(codec, &low))
        return FALSE;
    long left = std::max(0L, long(high << 8 | low) - 2);
    if (!segment->found) {
        static const unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
        size_t size = 0;
        // The header first: a segment that is not EXIF is skipped from there.
        while (left > 0 && size < sizeof kExifHeader) {
            int value = 0;
            if (!nextByte(codec, &value))
                return FALSE;
            segment->bytes[size++] = JOCTET(value);
            --left;
        }
        if (size == sizeof kExifHeader && std::memcmp(segment->bytes, kExifHeader, size) == 0) {
            jpeg_source_mgr *source = codec->src;
            while (left > 0) {
                if (source->bytes_in_buffer == 0 && !(*source->fill_input_buffer)(codec))
                    return FALSE;
                const size_t piece = std::min(size_t(left), source->bytes_in_buffer);
                std::memcpy(segment->bytes + size, source->next_input_byte, piece);
                source->next_input_byte += piece;
                source->bytes_in_buffer -= piece;
                size += piece;
                left -= long(piece);
            }
            segment->size = size;
            segment->found = true;
            return TRUE;
        }
    }
    if (left > 0)
        (*codec->src->skip_input_data)(codec, left);
    return TRUE;
}

} // namespace

void setUpSource(Source &source, QIODevice *file, const void *data, size_t size)
{
    source.file = file;
    source.pub.init_source = initSource;
    source.pub.fill_input_buffer = fillInput;
    source.pub.skip_input_data = skipInput;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = termSource;
    source.pub.next_input_byte = nullptr;
    source.pub.bytes_in_buffer = 0;
    if (file) {
        source.buffer.resize(size_t(kReadChunk));
    } else {
        // Data in memory are all in the buffer from the start, with nothing
        // more to read behind them: the same bytes in the same order as from
        // a file, without copying them in pieces.
        source.pub.next_input_byte = static_cast<const JOCTET *>(data);
        source.pub.bytes_in_buffer = size;
        source.ended = true;
    }
}

void setUpScanGuard(ScanGuard &guard, Budget *budget)
{
    guard.pub.progress_monitor = watchScans;
    guard.budget = budget;
}

void spend(j_decompress_ptr codec, qint64 units)
{
    auto *guard = reinterpret_cast<ScanGuard *>(codec->progress);
    if (!guard->budget->spend(units))
        stop(codec);
}

void watch(j_decompress_ptr codec)
{
    auto *guard = reinterpret_cast<ScanGuard *>(codec->progress);
    spend(codec, 0);
    if (guard->endRow < 0 && !jpeg_has_multiple_scans(codec) && scanDataEnded(codec))
        guard->endRow = int(codec->input_iMCU_row);
    if (codec->input_scan_number == guard->lastScan)
        return;
    guard->lastScan = codec->input_scan_number;
    if (guard->lastScan > kScanLimit)
        stop(codec);
    spend(codec, 64 * blocksInScan(codec));
}

bool scanDataEnded(j_decompress_ptr codec)
{
    const int marker = codec->unread_marker;
    if (marker == 0 || codec->arith_code)
        return false;
    if (codec->restart_interval == 0)
        return true;
    // jpeg_resync_to_restart scans on past a marker below SOF0 and may take
    // up the data after an RSTn; any other marker stays where it is, and
    // every later restart interval is empty.
    return marker >= 0xC0 && (marker < JPEG_RST0 || marker > JPEG_RST0 + 7);
}

void keepFirstExif(j_decompress_ptr codec, ExifSegment *segment)
{
    codec->client_data = segment;
    jpeg_set_marker_processor(codec, JPEG_APP0 + 1, readApp1);
}

} // namespace picture::jpeg
