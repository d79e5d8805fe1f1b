// The picture loader from arbitrary bytes (JPEG, or PNG by its signature):
// header, decode and reduction, then the export of what was shown. Failures with a message are
// the expected outcome for most inputs; anything else is a finding.

#include "core/failure.h"
#include "core/result.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_file.h"
#include "picture/picture_size.h"

#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {

const QString &scratchFile()
{
    static QTemporaryDir folder(QStringLiteral("/dev/shm/tirlada-fuzz-XXXXXX"));
    static const QString path = folder.filePath(QStringLiteral("input.jpg"));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QFile file(scratchFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    Result<picture::PictureFile> reader = picture::PictureFile::open(scratchFile());
    if (!reader)
        return 0;
    const QSize source = reader->size();
    const QSize target = picture::targetSize(source.width(), source.height());
    if (target.width() < 1 || target.height() < 1 || target.width() > 300 || target.height() > 300)
        abort();
    const Result<QImage> shown = reader->decodeReduced(target);
    if (!shown)
        return 0;
    if (shown->size() != target)
        abort();
    try {
        const QByteArray exported = picture::encodeJpeg(*shown);
        if (!exported.startsWith("\xFF\xD8"))
            abort();
    } catch (const Failure &) {
    }
    return 0;
}
