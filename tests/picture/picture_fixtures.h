#pragma once

// Pictures for the picture tests, made on the spot: patterns, JPEG files
// encoded by the real cjpeg or by libjpeg, and a plain full-size decode to
// compare the window's reduced decode with. The shared ones and the
// references are in picture_fixtures.cpp, the JPEG files made by hand in
// crafted_jpegs.cpp, the PNG files in png_fixtures.cpp.

#include "core/failure.h"
#include "core/result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

class QTemporaryDir;

namespace fixtures {

// A picture with detail everywhere: colour ramps across and down, and a
// checker of odd-sized cells, so that a wrong row or column shows.
QImage pattern(int width, int height);

// The picture as a binary PPM (P6).
QByteArray ppm(const QImage &picture);

// Runs cjpeg with the given options on a PPM of the picture; returns the
// JPEG bytes (empty when cjpeg fails).
QByteArray cjpeg(const QImage &picture, const QStringList &options);

// The JPEG whose frame header (baseline or progressive) declares width x
// height, whatever its data holds; empty when it has no such header.
QByteArray jpegDeclaring(QByteArray jpeg, int width, int height);

// A CMYK JPEG whose left half is magenta + yellow ink (red) and right half
// cyan + magenta (blue). Kinds: an Adobe marker with the inks stored inverted,
// as print software writes them, as CMYK or as YCCK; or plain CMYK without
// the marker, inks stored as they are.
enum class Cmyk { Adobe, AdobeYcck, Plain };
QByteArray cmykRedBlue(int width, int height, Cmyk kind, bool progressive = false);

// A progressive CMYK JPEG that declares side x side pixels and holds the
// first `scans` scans of a 64 x 64 picture: a tiny file whose coefficients
// alone would take gigabytes.
QByteArray cmykBomb(int side, int scans);

// Decodes the whole picture at full size with libjpeg (missing data filled
// in as the codec does) and reduces it by taking pixel (x * w / W, y * h / H).
QImage fullDecodeThenSample(const QByteArray &jpeg, QSize target);

// The reference for what the program shows and exports, from libjpeg's own
// tools: djpeg's full decode (-pnm), turned upright by the orientation (Qt's
// own mirroring and turning), sampled by taking pixel (x * w / W, y * h / H)
// at the target size of the upright picture, and encoded with
// `cjpeg -quality 90 -baseline -dct float`.
// djpegFull gives a null image when djpeg fails.
QImage djpegFull(const QByteArray &jpeg);
QImage upright(const QImage &stored, int orientation);
QImage sample(const QImage &full, QSize target);
QByteArray exportOf(const QImage &shown); // cjpeg -quality 90 -baseline -dct float

// The JPEG with an EXIF segment written by exiftool (big-endian) holding the
// orientation tag 1; setOrientation then puts any value into that tag, in or
// out of 1 to 8.
QByteArray exifTagged(const QByteArray &jpeg);
QByteArray setOrientation(QByteArray tagged, int value);

// A progressive JPEG that declares width x height (4:2:0) but holds the data
// of a 64 x 64 picture, followed by extraScans copies of its last scan header
// with no data: a small file that costs the decoder a lot.
QByteArray hollowProgressive(int width, int height, int extraScans);

// A baseline JPEG that declares width x height (4:2:0) with a restart
// interval of `interval` MCUs, but holds only the data of a 64 x 64 picture
// in its first interval, followed by `segments` empty restart segments: a
// small file that makes the decoder go through the whole declared picture.
QByteArray hollowRestarts(int width, int height, int interval, int segments);

// A baseline JPEG that declares width x height (4:2:0) with a restart
// interval of `interval` MCUs (0: none), whose scan holds 16 bytes of data
// followed by tail (a marker, say, and what comes after it).
QByteArray markerAfterData(int width, int height, int interval, const QByteArray &tail);

// EXIF data (TIFF header and one directory) holding the Orientation tag as
// a SHORT or as a LONG, big- or little-endian.
QByteArray exifTiff(int orientation, bool asLong, bool littleEndian);
// The JPEG with an APP1 segment of "Exif\0\0" + tiff right after its start.
QByteArray withExif(const QByteArray &jpeg, const QByteArray &tiff);

// The JPEG with `segments` APP1 segments of 65533 bytes each after its
// start: padding (not EXIF), an EXIF segment with the first orientation
// after a third of them, and one with the later orientation after two
// thirds.
QByteArray app1Padding(const QByteArray &jpeg, int segments, int firstOrientation, int laterOrientation);

// A pattern with transparency: alpha rising from left to right, and a fully
// transparent square in the middle.
QImage translucentPattern(int width, int height);

// The picture as a PNG file, written by Qt.
QByteArray png(const QImage &picture);

// The reference for a PNG: the picture over white, then sampled.
QImage overWhite(const QImage &picture);

// A PNG whose header declares width x height (with a correct checksum).
QByteArray pngDeclaring(const QByteArray &png, quint32 width, quint32 height);

// The PNG with one more chunk of the given type just before its first IDAT
// chunk (with a correct checksum).
QByteArray withChunkBeforeData(const QByteArray &png, const QByteArray &type, const QByteArray &data);

// Writes the PNG cases of png_cases.py (every colour type and bit depth,
// with their references) into folder; returns what went wrong, or nothing.
QString writePngCases(const QString &folder);

// Files that cost a decoder far more than their size (budget_fixtures.cpp).
// A black 64 x 64 picture coded with arithmetic coding, at 4:4:4 or grey,
// that declares side x side pixels, with everything after its scan header
// replaced by zeroBytes zero bytes and the end marker.
QByteArray arithmeticHollow(int side, bool grey, int zeroBytes);
// A progressive black 64 x 64 picture that declares side x side pixels,
// followed by `scans` AC refinement scans of its first component that hold
// no data.
QByteArray emptyRefinements(int side, int scans);
// A progressive CMYK picture that declares side x side pixels, its first
// component sampled 2 x 2.
QByteArray cmykSampled(int side);
// Writes a PNG of width x height RGBA at depth 8 or 16 whose rows are the
// Paeth filter over zeros, compressed at level 9.
bool writePaethZeros(const QString &path, quint32 width, quint32 height, int depth);
// Writes a 400 x 300 PNG with one chunk of `size` bytes before its picture
// data, written in pieces: an eXIf chunk (a TIFF header with the
// orientation 6, then zeros) or a tEXt one.
bool writeBigChunk(const QString &path, const QByteArray &type, qint64 size);

// Writes bytes to a file; returns false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);
// Writes bytes as the file name in dir, and gives its path; a file that
// cannot be written ends the test program.
QString put(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes);

// The offset just past the start-of-scan header of the first scan.
qsizetype firstScanDataOffset(const QByteArray &jpeg);

// A decoding failure in the words the window's error box gives it, for the
// codes the picture readers throw (the box's own wording lives with the
// widgets, which these tests do not link).
QString failureWords(const Failure &failure);
// The words of the failure that action throws; empty when it throws none.
QString failureOf(const std::function<void()> &action);
// The words of a result's failure; empty when it holds a value.
template <class T>
QString failureOf(const Result<T> &result)
{
    return result ? QString() : failureWords(result.error());
}

} // namespace fixtures
