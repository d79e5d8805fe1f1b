#include "check/memory_budget.h"

#include "save/zip_archive.h"

#include <QtEndian>
#include <algorithm>

namespace check {
namespace {

quint32 at32(const QByteArray &bytes, qsizetype i) { return qFromLittleEndian<quint32>(bytes.constData() + i); }
quint16 at16(const QByteArray &bytes, qsizetype i) { return qFromLittleEndian<quint16>(bytes.constData() + i); }

// The most the reader unpacks: entries together are refused beyond this.
constexpr qint64 kMostUnpacked = 2 * save::kMaxDocumentSize;

// The sizes the central directory declares, added up; the most the reader
// unpacks when the directory cannot be read from the tail.
qint64 declaredUnpacked(qint64 fileSize, const QByteArray &tail)
{
    const qsizetype size = tail.size();
    for (qsizetype end = size - 22; end >= 0 && end >= size - 22 - 65535; --end) {
        if (at32(tail, end) != 0x06054b50)
            continue;
        const quint16 entries = at16(tail, end + 10);
        const qint64 directorySize = at32(tail, end + 12);
        const qint64 directoryAt = at32(tail, end + 16);
        // An archive of more entries than a package holds is refused before
        // anything is unpacked.
        if (entries > save::kMaxPackageEntries)
            return 0;
        const qint64 tailStart = fileSize - size;
        qint64 at = directoryAt - tailStart;
        if (at < 0 || at + directorySize > end)
            return kMostUnpacked;
        qint64 total = 0;
        for (int i = 0; i < entries; ++i) {
            if (at + 46 > end || at32(tail, at) != 0x02014b50)
                return kMostUnpacked;
            const quint32 unpacked = at32(tail, at + 24);
            if (unpacked == 0xFFFFFFFF)
                return kMostUnpacked;
            total += unpacked;
            at += 46 + at16(tail, at + 28) + at16(tail, at + 30) + at16(tail, at + 32);
        }
        return std::min(total, kMostUnpacked);
    }
    // No end record: not an archive, refused before anything is unpacked.
    return 0;
}

} // namespace

qint64 packageReadingCost(qint64 fileSize, const QByteArray &tail)
{
    // Measured: the document is held as its bytes, as the parser's text
    // (UTF-16) and as the passport's fields, and the page and the list are
    // made from those.
    return fileSize + 6 * declaredUnpacked(fileSize, tail) + 256 * 1024;
}

} // namespace check
