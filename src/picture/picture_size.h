#pragma once

#include <QSize>

namespace picture {

// The side of the square frame that a work picture is shown in and saved
// at: the image box, the reduction and the package all use it.
inline constexpr int kFrameSide = 300;

// The size at which a picture of width x height pixels is shown: reduced to
// fit into 300 x 300 with its proportions kept, never enlarged. The larger
// side of a reduced picture is exactly 300; the smaller one is rounded up, so
// it never drops to 0.
QSize targetSize(int width, int height);

// The same rule for a square of any side (the open dialog's preview).
QSize fitInto(int width, int height, int side);

} // namespace picture
