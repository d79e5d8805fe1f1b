#pragma once

// Reading a package back: the ZIP archive in memory with libzip, then the
// data document with QXmlStreamReader, strictly. Whatever cannot be read is
// named in plain Russian sentences, and then nothing of the package is
// returned. Nothing is ever written while reading.

#include "core/passport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace save {

// What a package holds, as the window takes it back.
struct PackageContents {
    // Every field of the passport: the texts as stored (line breaks CR LF),
    // the section slots and the default section names, the season, the
    // authors and supervisors in order with the invoice recipient, the
    // picture (decoded from image.jpg) and its caption. The description is
    // what the document stores: its first 500 characters, since no more is
    // ever written.
    PassportSnapshot passport;
    // image.jpg exactly as stored, so that a save can write it back
    // unchanged; empty without a picture.
    QByteArray pictureJpeg;
    // The data document's time stamp, in seconds since 1970.
    qint64 savedAt = 0;
};

struct ReadResult {
    // Set exactly when problems is empty.
    std::optional<PackageContents> contents;
    // Each problem as a sentence for the user.
    QStringList problems;
};

// Reads the package file (refused above kMaxPackageSize), then as
// readPackageBytes.
ReadResult readPackage(const QString &path);
// Reads a package held in memory.
ReadResult readPackageBytes(const QByteArray &zip);

// A ZIP archive of stored (uncompressed) entries in the order given, built in
// memory: the package format, for writing a package without the archiver.
QByteArray zipStored(const QList<std::pair<QString, QByteArray>> &entries);

// The limits of reading. A package of the program is far below each.
inline constexpr qint64 kMaxPackageSize = 32 * 1024 * 1024;
inline constexpr qint64 kMaxDocumentSize = 16 * 1024 * 1024;
inline constexpr qint64 kMaxPictureFileSize = 2 * 1024 * 1024;
inline constexpr int kMaxPackageEntries = 16;

// One entry of a ZIP archive, read and checked against its CRC.
struct ZipEntry {
    QString name;
    QByteArray data;
    quint32 crc = 0;     // as the archive declares it (checked against data)
    bool stored = false; // kept without compression
};

struct ZipReadResult {
    QList<ZipEntry> entries; // in the archive's order; empty when problems is not
    QStringList problems;
};

// Reads every entry of a ZIP archive held in memory, refusing what a package
// never holds and what could harm the reader: more than maxEntries entries,
// an entry larger than maxEntrySize (declared or real), entries together
// larger than twice maxEntrySize, names that are
// absolute, hold "..", a backslash or end in "/", links, duplicate names,
// encrypted entries, data that fail their CRC.
ZipReadResult readZipEntries(const QByteArray &zip, qint64 maxEntrySize = kMaxDocumentSize,
                             int maxEntries = kMaxPackageEntries);

// CRC-32 of the bytes, as ZIP archives record it.
quint32 zipCrc(const QByteArray &bytes);

} // namespace save
