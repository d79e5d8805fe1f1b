#pragma once

#include <QImage>
#include <QtGlobal>
#include <vector>

namespace picture {

// Where each source row goes in the reduced, upright picture. The upright
// picture is the stored one turned or mirrored by the EXIF orientation; the
// reduced one takes upright pixel (x * uw / W, y * uh / H), rounded down: the
// nearest-neighbour sampling that both the JPEG and the PNG reader use.
// Without a turn, a source row becomes (part of) one target row; with a turn
// (orientations 5 to 8) it becomes one target column. Either way each needed
// source row fills one target line, and its pixels along that line are
// picked from the source columns in `pick`.
struct LineMap {
    std::vector<int> lineOfRow; // source row -> target line, or -1
    std::vector<int> pick;      // position along a target line -> source column
    bool columns = false;       // target lines are columns
};

LineMap mapLines(int sourceWidth, int sourceHeight, int orientation, int targetWidth, int targetHeight);

// The lines of the reduced picture (RGB32) as plain pointers, for code that
// must hold no C++ object with a destructor (libjpeg's and libpng's error
// jumps pass over it).
struct TargetLines {
    QRgb *pixels = nullptr;
    qsizetype stride = 0; // in pixels
    bool columns = false;

    TargetLines() = default;
    TargetLines(QImage &target, const LineMap &map)
        : pixels(reinterpret_cast<QRgb *>(target.bits())), stride(target.bytesPerLine() / qsizetype(sizeof(QRgb))),
          columns(map.columns)
    {}
    // The first pixel of a target line, and the step to the next one along it.
    QRgb *start(int line) const { return columns ? pixels + line : pixels + stride * line; }
    qsizetype step() const { return columns ? stride : 1; }
};

} // namespace picture
