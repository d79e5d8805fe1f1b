#pragma once

// Pictures for the picture tests, made on the spot: patterns, JPEG files
// encoded by the real cjpeg or by libjpeg, and a plain full-size decode to
// compare the window's reduced decode with.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

namespace fixtures {

// A picture with detail everywhere: colour ramps across and down, and a
// checker of odd-sized cells, so that a wrong row or column shows.
QImage pattern(int width, int height);

// The picture as a binary PPM (P6).
QByteArray ppm(const QImage &picture);

// Runs cjpeg with the given options on a PPM of the picture; returns the
// JPEG bytes (empty when cjpeg fails).
QByteArray cjpeg(const QImage &picture, const QStringList &options);

// A CMYK JPEG whose left half is magenta + yellow ink (red) and right half
// cyan + magenta (blue). Kinds: an Adobe marker with the inks stored inverted,
// as print software writes them, as CMYK or as YCCK; or plain CMYK without
// the marker, inks stored as they are.
enum class Cmyk { Adobe, AdobeYcck, Plain };
QByteArray cmykRedBlue(int width, int height, Cmyk kind);

// Decodes the whole picture at full size with libjpeg (missing data filled
// in as the codec does) and reduces it by taking pixel (x * w / W, y * h / H).
QImage fullDecodeThenSample(const QByteArray &jpeg, QSize target);

// Writes bytes to a file; returns false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);

// The offset just past the start-of-scan header of the first scan.
qsizetype firstScanDataOffset(const QByteArray &jpeg);

} // namespace fixtures
