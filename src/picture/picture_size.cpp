#include "picture/picture_size.h"

#include <algorithm>

namespace picture {

namespace {
qint64 ceilDiv(qint64 a, qint64 b) { return (a + b - 1) / b; }
} // namespace

QSize fitInto(int width, int height, int side)
{
    const qint64 larger = std::max(width, height);
    if (larger <= side)
        return QSize(width, height);
    return QSize(int(ceilDiv(qint64(width) * side, larger)), int(ceilDiv(qint64(height) * side, larger)));
}

QSize targetSize(int width, int height) { return fitInto(width, height, kFrameSide); }

} // namespace picture
