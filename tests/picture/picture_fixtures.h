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

// A CMYK JPEG with an Adobe marker, inks stored inverted as print software
// writes them; stored as YCCK when ycck is set. The left half is pure
// magenta + yellow ink (red), the right half cyan + magenta (blue).
QByteArray cmykRedBlue(int width, int height, bool ycck);

// Decodes the whole picture at full size with libjpeg (missing data filled
// in as the codec does) and reduces it by taking pixel (x * w / W, y * h / H).
QImage fullDecodeThenSample(const QByteArray &jpeg, QSize target);

// Writes bytes to a file; returns false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);

// The offset just past the start-of-scan header of the first scan.
qsizetype firstScanDataOffset(const QByteArray &jpeg);

} // namespace fixtures
