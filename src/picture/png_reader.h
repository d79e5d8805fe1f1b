#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

namespace picture {

// Reads one PNG file (a screenshot, typically) with Qt's image reader. The
// picture is composited onto white and reduced by the same rule as a JPEG
// picture: target pixel (x, y) is source pixel (x * w / W, y * h / H).
//
// Failures are thrown as Failure:
//   "Cannot open file \"%s\". %s"                 the file cannot be opened
//   "PNG error: the header cannot be read"
//   "PNG error: the picture is too large (%d x %d pixels; at most %d megapixels)"
//                                       the limit for the picture's bits a channel
//   "PNG error: the picture data cannot be read (%s)"   with Qt's reason
class PngReader {
public:
    // Opens the file and reads the PNG header.
    explicit PngReader(const QString &path);
    ~PngReader();
    PngReader(const PngReader &) = delete;
    PngReader &operator=(const PngReader &) = delete;

    QSize size() const;

    // Decodes the whole picture and returns it reduced to target (RGB32),
    // transparent parts over white. Call once.
    QImage decodeReduced(QSize target);

    // The most memory the decoded picture may take: 64 megapixels at 8 bits
    // a channel (a screenshot of an 8K screen twice over), 32 at 16 bits. The
    // whole picture is held in memory while it is reduced, and a small file
    // can declare a huge one.
    static constexpr qint64 kMaxBytes = 256LL * 1024 * 1024;

private:
    struct State;
    std::unique_ptr<State> d;
};

// Whether the bytes begin with the PNG signature.
bool isPngSignature(const QByteArray &start);

} // namespace picture
