#include "picture/budget.h"

#include <algorithm>

namespace picture {

qint64 pixelLimit(qint64 fileBytes) { return std::max(kPixelsAlways, std::max<qint64>(fileBytes, 0) * kPixelsPerByte); }

qint64 workLimit(qint64 fileBytes) { return std::max(kWorkAlways, std::max<qint64>(fileBytes, 0) * kWorkPerByte); }

std::optional<Failure> oversize(qint64 width, qint64 height, qint64 fileBytes)
{
    const qint64 limit = pixelLimit(fileBytes);
    if (width * height <= limit)
        return std::nullopt;
    return Failure(FailureCode::PictureTooBig, {.width = width, .height = height, .limit = limit});
}

Failure Budget::failure() const
{
    if (stop == Cancelled)
        return Failure(FailureCode::Cancelled);
    return Failure(FailureCode::PictureTooCostly, {.limit = limit});
}

} // namespace picture
