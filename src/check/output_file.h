#pragma once

// The files the committee's tool writes (the participants' list, the pages,
// the index, the pages folder's list): each is written under a hidden fresh
// name beside its final one, private (0600) from its first byte, and gets its
// final mode, reaches the disk and is renamed over the final name only when
// whole. An interrupted run leaves every output old and whole or new and
// whole, and no fresh file behind (see removeFreshFilesAndExit).

#include "core/result.h"

#include <QByteArray>
#include <QString>

namespace check {

// Where an output's final name leads.
enum class LinkAtPath {
    // A link at the path is replaced by the file, never written through: for
    // the pages folder, which others may share.
    Replace,
    // A link at the path is followed, as an editor does: the file it leads to
    // is written, keeping its mode. For a file the user names.
    Follow,
};

class OutputFile {
public:
    // Creates the fresh file beside path. Fails with CannotCreateFile (file:
    // path, number: errno).
    [[nodiscard]] static Result<OutputFile> create(const QString &path, LinkAtPath links = LinkAtPath::Replace);

    OutputFile(OutputFile &&other) noexcept;
    OutputFile &operator=(OutputFile &&other) noexcept;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    // Without a successful commit() the fresh file is removed.
    ~OutputFile();

    // Fails with CannotWriteFile (file, number: errno).
    [[nodiscard]] Result<void> write(const QByteArray &bytes);
    // Gives the file its final mode (that of the file it replaces, else 0666
    // less the umask), flushes it to the disk and renames it over the final
    // name. The folder is flushed afterwards when syncFolder is set; a caller
    // writing many files into one folder flushes it once at the end (see
    // syncFolder()). Fails with CannotWriteFile (file, number: errno).
    [[nodiscard]] Result<void> commit(bool syncFolder = true);

    // The final file, after links (with LinkAtPath::Follow).
    QString path() const { return path_; }

private:
    OutputFile() = default;
    void discard() noexcept;

    QString path_;
    QByteArray fresh_;
    int handle_ = -1;
    int slot_ = -1;
    bool follow_ = false;
};

// Writes a whole output at once.
[[nodiscard]] Result<void> writeOutput(const QString &path, const QByteArray &bytes, bool syncFolder = true);

// Flushes a folder's entries (the renames done in it) to the disk. Fails with
// CannotWriteFile (file: the folder, number: errno).
[[nodiscard]] Result<void> syncFolder(const QString &folder);

// The file a path names after following its links (at most 40 of them); the
// path itself when it is no link. A link to a missing file gives where that
// file would be.
QString linkTarget(const QString &path);

// The umask of the process, read without changing it.
unsigned processUmask();

// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove every fresh
// file still open and end the process with 128 + the signal's number (130
// for Ctrl+C, 143 for SIGTERM).
void removeFreshFilesOnSignals();

} // namespace check
