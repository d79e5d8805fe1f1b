#include "picture/picture_size.h"

#include <algorithm>

namespace picture {

namespace {
constexpr qint64 kFrame = kFrameSide;

qint64 ceilDiv(qint64 a, qint64 b) { return (a + b - 1) / b; }
} // namespace

QSize targetSize(int width, int height)
{
    const qint64 larger = std::max(width, height);
    if (larger <= kFrame)
        return QSize(width, height);
    return QSize(int(ceilDiv(qint64(width) * kFrame, larger)), int(ceilDiv(qint64(height) * kFrame, larger)));
}

} // namespace picture
