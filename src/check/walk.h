#pragma once

// Finding the packages to check: files named directly and every "*.kwp"
// below a folder, by the names' bytes, so that nothing is passed over in
// silence: hidden files and folders, names that are not UTF-8, entries that
// are not files, folders that cannot be read.

#include <QByteArray>
#include <QList>
#include <QString>

namespace check {

// One line of the report to come: a package to read, something that could
// not be looked into, or a link to a folder that was not followed. Only the
// path's bytes are kept; the names shown are made when the line is written,
// so that a season of many packages takes little memory.
struct Entry {
    enum Kind : quint8 {
        Package,    // a file to read as a package
        Unreadable, // problem: why it could not be looked into
        FolderLink, // a link to a folder, which is not followed
    };
    QByteArray path;       // as the system names it, to open it by
    QString problem;       // Unreadable: why
    qint32 relativeAt = 0; // where the name shown in the index starts in path
    qint32 sameAs = -1;    // a second name of a file named before: that entry's index
    Kind kind = Package;
    bool link = false;  // the path is a link (its own identity differs from its file's)
    quint64 device = 0; // Package: the file's identity, when it exists
    quint64 inode = 0;

    // As the report shows it (see shownName).
    QString shown() const;
    // As the index page shows it: below the folder given, or the file's name.
    QString relative() const;
};

// A name of bytes as the report shows it: UTF-8 where the bytes are UTF-8,
// every other byte as "\xNN" (two lowercase hexadecimal digits), and a
// backslash of the name doubled ("\\"), so that no name reads as another.
QString shownName(const QByteArray &bytes);

// The system's reason for errno, in Russian where it is a common one.
QString systemReason(int error);

// The entries named by the inputs, in a stable order: each input in turn; a
// file (or anything that is not a folder) as it is; a folder searched at
// every depth for entries whose name ends in ".kwp" in any case, hidden ones
// included, sorted by their paths' bytes. A link given as an input is
// followed; below it, a link to a folder is not (as find and git do) and
// becomes a FolderLink entry, while a link to a file named "*.kwp" is taken.
// A path reached twice is taken once; a second name of the same file (a hard
// link, a link) is an entry of its own with sameAs set. An input that does
// not exist, or a folder that cannot be read, becomes an Unreadable entry.
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
