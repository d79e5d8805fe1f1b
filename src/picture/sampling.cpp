#include "picture/sampling.h"

namespace picture {

LineMap mapLines(int sourceWidth, int sourceHeight, int orientation, int targetWidth, int targetHeight)
{
    LineMap map;
    map.columns = orientation >= 5;
    const int uprightWidth = map.columns ? sourceHeight : sourceWidth;
    const int uprightHeight = map.columns ? sourceWidth : sourceHeight;
    // Upright x runs along source rows for 1-4 and down source rows for 5-8;
    // these say whether the run is reversed.
    const bool reverseX = orientation == 2 || orientation == 3 || orientation == 6 || orientation == 7;
    const bool reverseY = orientation == 3 || orientation == 4 || orientation == 7 || orientation == 8;

    auto uprightX = [&](int x) { return int(qint64(x) * uprightWidth / targetWidth); };
    auto uprightY = [&](int y) { return int(qint64(y) * uprightHeight / targetHeight); };

    map.lineOfRow.assign(size_t(sourceHeight), -1);
    if (!map.columns) {
        // Source row = upright row (reversed by 3, 4); column = upright column (reversed by 2, 3).
        for (int y = 0; y < targetHeight; ++y) {
            const int uy = uprightY(y);
            map.lineOfRow[size_t(reverseY ? sourceHeight - 1 - uy : uy)] = y;
        }
        map.pick.resize(size_t(targetWidth));
        for (int x = 0; x < targetWidth; ++x) {
            const int ux = uprightX(x);
            map.pick[size_t(x)] = reverseX ? sourceWidth - 1 - ux : ux;
        }
    } else {
        // Source row = upright column (reversed by 6, 7); source column =
        // upright row (reversed by 7, 8).
        for (int x = 0; x < targetWidth; ++x) {
            const int ux = uprightX(x);
            map.lineOfRow[size_t(reverseX ? sourceHeight - 1 - ux : ux)] = x;
        }
        map.pick.resize(size_t(targetHeight));
        for (int y = 0; y < targetHeight; ++y) {
            const int uy = uprightY(y);
            map.pick[size_t(y)] = reverseY ? sourceWidth - 1 - uy : uy;
        }
    }
    return map;
}

} // namespace picture
