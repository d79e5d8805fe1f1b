#include "core/files.h"

#include "core/failure.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace core {

// Renames from over to, replacing whatever entry to names. QFile::rename
// refuses an existing target and QSaveFile follows a link at the target, so
// the system's own call is used.
Result<void> renameReplacing(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()), reinterpret_cast<const wchar_t *>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return Unexpected(
        Failure(FailureCode::CannotWriteFile, {.file = to, .reason = qt_error_string(int(GetLastError()))}));
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return {};
    const int error = errno;
    return Unexpected(
        Failure(FailureCode::CannotWriteFile, {.file = to, .reason = qt_error_string(error), .number = error}));
#endif
}

namespace {

std::function<void(int)> &freshFileHook()
{
    static std::function<void(int)> hook;
    return hook;
}

// ".tirlada-" and eight random letters and digits: short, so that the final
// name may take all the room a name has, and hidden, so that a left-over
// one (after a power cut) does not stand among the user's files.
QString freshName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // A generator of each thread's own, seeded once from the shared one, so
    // that threads writing pages side by side do not wait for each other.
    thread_local QRandomGenerator random(QRandomGenerator::global()->generate());
    char name[] = ".tirlada-XXXXXXXX.tmp";
    for (int i = 9; i < 17; ++i)
        name[i] = kLetters[random.bounded(int(sizeof kLetters - 1))];
    return QString::fromLatin1(name);
}

#ifdef Q_OS_WIN
int openFresh(const QByteArray &name, int mode)
{
    return ::_wopen(reinterpret_cast<const wchar_t *>(QFile::decodeName(name).utf16()),
                    _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, mode);
}
#else
int openFresh(const QByteArray &name, int mode)
{
    int handle;
    do
        handle = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    while (handle < 0 && errno == EINTR);
    return handle;
}
#endif

} // namespace

Result<void> writeFile(const QString &path, const QByteArray &bytes, FileAccess access)
{
    try {
        ReplacingFile file(path, access);
        file.write(bytes);
        file.commit();
    } catch (const Failure &failure) {
        return Unexpected(failure);
    }
    return {};
}

void writeFileReplacing(const QString &path, const QByteArray &bytes, FileAccess access)
{
    writeFile(path, bytes, access).value();
}

ReplacingFile::ReplacingFile(const QString &path, FileAccess access)
    : fullPath_(QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QDir::current().absoluteFilePath(path)),
      access_(access)
{
    const qsizetype slash = fullPath_.lastIndexOf(QLatin1Char('/'));
    const QString folder = fullPath_.left(slash + 1);
    // The system applies the umask to 0666; a private file is made 0600
    // from its first byte.
    const int mode = access == FileAccess::Private ? 0600 : 0666;
    for (int attempt = 0; attempt < 100 && handle_ < 0; ++attempt) {
        freshPath_ = folder + freshName();
        handle_ = openFresh(QFile::encodeName(freshPath_), mode);
        if (handle_ < 0 && errno != EEXIST)
            break;
    }
    if (handle_ < 0) {
        const int error = errno;
        freshPath_.clear();
        fail(error);
    }
    if (freshFileHook())
        freshFileHook()(handle_);
}

ReplacingFile::~ReplacingFile() { discard(); }

void ReplacingFile::discard() noexcept
{
    if (handle_ >= 0)
        ::close(handle_);
    handle_ = -1;
    if (!freshPath_.isEmpty())
        ::unlink(QFile::encodeName(freshPath_).constData());
    freshPath_.clear();
}

void ReplacingFile::fail(int error) const
{
    throw Failure(FailureCode::CannotCreateFile,
                  {.file = fullPath_, .reason = qt_error_string(error), .number = error});
}

void ReplacingFile::write(const QByteArray &bytes)
{
    if (handle_ < 0)
        fail(EBADF);
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const auto written = ::write(handle_, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail(written < 0 ? errno : ENOSPC);
        data += written;
        left -= written;
    }
}

void ReplacingFile::commit()
{
    if (handle_ < 0)
        fail(EBADF);
#ifndef Q_OS_WIN
    if (access_ == FileAccess::Private) {
        // The umask may have taken the owner's bits too.
        if (::fchmod(handle_, 0600) != 0)
            fail(errno);
    } else {
        // A file that is replaced keeps its mode: a list the user has made
        // private stays private. A link at the path is replaced, so its
        // target's mode does not count.
        struct stat old;
        if (::lstat(QFile::encodeName(fullPath_).constData(), &old) == 0 && S_ISREG(old.st_mode)
            && ::fchmod(handle_, old.st_mode & 07777) != 0)
            fail(errno);
    }
#endif
    // A disk that fills up, or a network folder, may report it only here.
    const int handle = handle_;
    handle_ = -1;
    if (::close(handle) != 0)
        fail(errno);

#ifdef Q_OS_WIN
    if (Result<void> renamed = renameReplacing(freshPath_, fullPath_); !renamed)
        throw Failure(FailureCode::CannotCreateFile, {.file = fullPath_, .reason = renamed.error().details().reason});
#else
    if (std::rename(QFile::encodeName(freshPath_).constData(), QFile::encodeName(fullPath_).constData()) != 0)
        fail(errno);
#endif
    // The fresh name is gone; nothing is left to remove.
    freshPath_.clear();
}

namespace testing {
void setFreshFileHook(std::function<void(int handle)> hook) { freshFileHook() = std::move(hook); }
} // namespace testing

} // namespace core
