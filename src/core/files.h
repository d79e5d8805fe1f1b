#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace core {

// Who may read a file that the program writes.
enum class FileAccess {
    // As any file the user makes: a new file gets 0666 less the umask, a
    // file that is replaced keeps its mode.
    Ordinary,
    // Only the user, always (0600): for files that hold unsaved private
    // input, whatever the umask or the mode of the file replaced.
    Private,
};

// Writes bytes to a fresh file, created under a short random name in the
// same folder, and then renames it over path. Whatever stood at path (an
// earlier file, a link planted in a shared folder, another user's file) is
// replaced as a directory entry and never written through; on failure
// nothing at path has changed and the fresh file is removed. The fresh name
// is short, so that a final name as long as the system allows can still be
// written.
// Fails with CannotCreateFile {file, reason, number: the system's errno}.
[[nodiscard]] Result<void> writeFile(const QString &path, const QByteArray &bytes,
                                     FileAccess access = FileAccess::Ordinary);
// writeFile for callers that end in a handler's guard: throws its Failure.
void writeFileReplacing(const QString &path, const QByteArray &bytes, FileAccess access = FileAccess::Ordinary);

// Renames from over to in one step, replacing whatever entry to names (a
// link is replaced, not followed). Fails with CannotWriteFile {file: to,
// reason}.
[[nodiscard]] Result<void> renameReplacing(const QString &from, const QString &to);

// The same write-then-rename for a file written in pieces: the pieces go to a
// fresh file beside path, and commit() renames it over path. Without a
// successful commit() nothing at path changes and the fresh file is removed
// when the object goes. Every failure throws the Failure of
// writeFileReplacing.
class ReplacingFile {
public:
    explicit ReplacingFile(const QString &path, FileAccess access = FileAccess::Ordinary);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    void write(const QByteArray &bytes);
    void commit();
    // The fresh file's name, while it is there.
    QString freshPath() const { return freshPath_; }

private:
    [[noreturn]] void fail(int error) const;
    void discard() noexcept;

    QString fullPath_;
    QString freshPath_;
    FileAccess access_;
    int handle_ = -1;
};

namespace testing {
// Called with the fresh file's descriptor as soon as it is open, so that a
// test can put a file whose writes fail in its place (dup2 of /dev/full).
// nullptr removes it.
void setFreshFileHook(std::function<void(int handle)> hook);
} // namespace testing

} // namespace core
