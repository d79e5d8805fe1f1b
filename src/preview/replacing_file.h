#pragma once

// A file with a fixed name in a folder that others may write to (the
// system's temporary folder). The content goes into a fresh file that only
// this program created, under a random name in the same folder; committing
// renames it over the fixed name. Whatever stood at the name before (an
// earlier page, a planted link, another user's file) is replaced as a
// directory entry and never written through.

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

class ReplacingFile {
public:
    // folder ends with a separator; name is the fixed file name.
    ReplacingFile(const QString &folder, const QString &name);
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    // Creates the fresh file; false when the folder does not allow it.
    bool create();
    // Closes the fresh file so that another writer can fill it by name, and
    // gives its full path.
    QString handOver();
    // Writes all of the bytes into the fresh file.
    bool write(const QByteArray &bytes);
    // Renames the fresh file over the fixed name.
    bool commit();

    // The fixed name's full path.
    const QString &path() const { return path_; }
    // Why the last step failed.
    const QString &errorString() const { return error_; }

private:
    QString path_;
    QTemporaryFile fresh_;
    QString error_;
};
