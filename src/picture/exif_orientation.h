#pragma once

#include <cstddef>

namespace picture {

// The EXIF "Orientation" of a picture, 1 to 8, read with libexif from the
// body of a JPEG APP1 segment (the bytes after its length, beginning with
// "Exif\0\0"). A segment that is not EXIF, cannot be read, has no such tag,
// or holds a value outside 1 to 8 gives 1: the picture is upright as stored.
// The tag may be stored as a SHORT (the standard's type) or as a LONG.
//   1 upright                  5 transposed (mirrored along the main diagonal)
//   2 mirrored left-right      6 to be turned 90 degrees clockwise
//   3 to be turned 180 degrees 7 transverse (mirrored along the other diagonal)
//   4 mirrored top-bottom      8 to be turned 90 degrees counter-clockwise
int exifOrientation(const unsigned char *segment, size_t size);

// The same for EXIF data without the "Exif\0\0" header, beginning with the
// TIFF header, as a PNG file's eXIf chunk holds it.
int exifOrientationOfTiff(const unsigned char *tiff, size_t size);

} // namespace picture
