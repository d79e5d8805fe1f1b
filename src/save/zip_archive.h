#pragma once

// The package's container: a ZIP archive held in memory, read and written
// through libzip.

#include "core/result.h"
#include "save/read_problem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

namespace save {

// The limits of reading. A package of the program is far below each.
inline constexpr qint64 kMaxPackageSize = 32 * 1024 * 1024;
inline constexpr qint64 kMaxDocumentSize = 16 * 1024 * 1024;
inline constexpr qint64 kMaxPictureFileSize = 2 * 1024 * 1024;
inline constexpr int kMaxPackageEntries = 16;

// One entry of a ZIP archive, read and checked against its CRC.
struct ZipEntry {
    QString name;
    QByteArray data;
    quint32 crc = 0;     // as the archive declares it (libzip checks data against it)
    bool stored = false; // kept without compression
};

struct ZipReadResult {
    QList<ZipEntry> entries; // in the archive's order; empty when problems is not
    ReadProblems problems;
};

// Reads every entry of a ZIP archive held in memory, refusing what a package
// never holds and what could harm the reader: more than maxEntries entries,
// an entry larger than maxEntrySize (declared or real), entries together
// larger than twice maxEntrySize, names that are absolute, hold "..", a
// backslash or end in "/", links, duplicate names, encrypted entries, data
// that fail their CRC.
ZipReadResult readZipEntries(const QByteArray &zip, qint64 maxEntrySize = kMaxDocumentSize,
                             int maxEntries = kMaxPackageEntries);

// A ZIP archive of stored (uncompressed) entries in the order given, built in
// memory: the package format, for writing a package without the archiver;
// or why libzip could not build it.
[[nodiscard]] Result<QByteArray> zipStored(const QList<std::pair<QString, QByteArray>> &entries);

} // namespace save
