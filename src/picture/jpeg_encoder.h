#pragma once

#include <QByteArray>
#include <QImage>

namespace picture {

// Encodes a picture as a baseline JFIF JPEG of its own size: 24-bit RGB,
// libjpeg's compression defaults, quality 90 with baseline forcing, the
// floating-point DCT. The result equals what `cjpeg -quality 90 -baseline
// -dct float` makes of the same pixels. A libjpeg error is thrown as
// Failure(FailureCode::JpegError).
QByteArray encodeJpeg(const QImage &picture);

} // namespace picture
