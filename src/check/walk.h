#pragma once

// Finding the packages to check: files named directly and every "*.kwp"
// below a folder, by the names' bytes, so that nothing is passed over in
// silence: hidden files and folders, names that are not UTF-8, entries that
// are not files, folders that cannot be read.

#include <QByteArray>
#include <QList>
#include <QString>

namespace check {

// One line of the report to come: a package to read, or something that
// could not be looked into.
struct Entry {
    QByteArray path;  // as the system names it, to open it by
    QString shown;    // as the report shows it (see shownName)
    QString relative; // as the index page shows it: below the folder given, or the file's name
    QString problem;  // not empty: this could not be read, and why
};

// A name of bytes as the report shows it: UTF-8 where the bytes are UTF-8,
// every other byte as "\xNN" (two lowercase hexadecimal digits).
QString shownName(const QByteArray &bytes);

// The system's reason for errno, in Russian where it is a common one.
QString systemReason(int error);

// The entries named by the inputs, in a stable order: each input in turn; a
// file (or anything that is not a folder) as it is; a folder searched at
// every depth for entries whose name ends in ".kwp" in any case, hidden ones
// included, sorted by their paths' bytes. Links to folders are followed, a
// folder reached twice is searched once (no loop). A package reached twice
// (by two names or two inputs) is taken once. An input that does not exist,
// or a folder that cannot be read, becomes an entry with its problem.
QList<Entry> findPackages(const QList<QByteArray> &inputs);

// The identity of the file a path names (device and inode), following links;
// both zero when it names nothing. noFollow: of the entry itself.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool isValid() const { return device != 0 || inode != 0; }
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};
FileIdentity identityOf(const QByteArray &path, bool noFollow = false);

} // namespace check
