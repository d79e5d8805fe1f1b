#pragma once

// The input side of the JPEG reader: the file or memory that libjpeg reads
// from, the scan limits and the cancel flag (libjpeg's progress monitor), and
// the one EXIF segment that is kept. Used by jpeg_codec.cpp alone.

#include "picture/budget.h"

#include <QtGlobal>
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

class QIODevice;

namespace picture::jpeg {

// The file, read in pieces as the decoder asks for them, or data held in
// memory, read in place. At the end of the data the decoder is given an
// end-of-image marker, as often as it asks, so that it stops.
struct Source {
    jpeg_source_mgr pub;
    QIODevice *file = nullptr;  // the file; none for data held in memory
    bool ended = false;         // the file has no more data
    std::vector<JOCTET> buffer; // a piece of the file
};

// Sets up the source for a file, or (file null) for size bytes at data.
void setUpSource(Source &source, QIODevice *file, const void *data, size_t size);

// The progress monitor: charges each scan to the budget as it starts (one
// unit for each coefficient it goes over), looks at the cancel flag, and
// refuses more than 500 scans with libjpeg's error for an impossible
// progression. A reading stopped by the budget ends with the same error,
// and budget->stop tells why.
struct ScanGuard {
    jpeg_progress_mgr pub;
    Budget *budget = nullptr;
    int lastScan = 0;
    int endRow = -1; // iMCU rows read when the scan's data were first found to end
};

void setUpScanGuard(ScanGuard &guard, Budget *budget);

// Runs the progress monitor: charges a scan that has just started, and
// stops the reading when it is cancelled.
void watch(j_decompress_ptr codec);

// Charges units of work to the budget; stops the reading with libjpeg's
// error jump when the budget says so.
void spend(j_decompress_ptr codec, qint64 units);

// Whether the marker that the decoder stands at in a single-scan picture
// coded with Huffman tables
// ends the scan's data for good, so that every later block of the scan is
// empty: libjpeg never reads past it before the scan ends. (An arithmetic
// decoder goes on making coefficients from the zeros it is given past the
// end, so there it is always false.) True for any
// marker without restart intervals; with them, for a marker that libjpeg's
// restart resynchronisation leaves in place (any valid marker but RSTn).
bool scanDataEnded(j_decompress_ptr codec);

// The first APP1 segment that holds EXIF data. The others, and any APP1
// segment after it, are skipped as they are read: a file can hold any number
// of them, and libjpeg's saved markers lie outside its memory cap.
struct ExifSegment {
    unsigned char bytes[65535];
    size_t size = 0;
    bool found = false;
};

// Reads APP1 segments into segment from now on (before jpeg_read_header).
void keepFirstExif(j_decompress_ptr codec, ExifSegment *segment);

} // namespace picture::jpeg
