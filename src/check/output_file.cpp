#include "check/output_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {
namespace {

// The fresh files open at any moment, for a signal handler to remove: a slot
// is taken before the file is created and given back once it is renamed or
// removed. Each thread writes one file at a time, so a slot per thread and a
// few for the run's own outputs are enough; the handler reads them without a
// lock.
constexpr int kSlots = 1100;
constexpr size_t kSlotPath = 4096;
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<bool> inUse{false};
    char path[kSlotPath];
};
std::array<Slot, kSlots> freshSlots;

int takeSlot(const QByteArray &path)
{
    if (size_t(path.size()) >= kSlotPath)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (freshSlots[i].taken.compare_exchange_strong(expected, true)) {
            std::memcpy(freshSlots[i].path, path.constData(), size_t(path.size()) + 1);
            freshSlots[i].inUse.store(true);
            return i;
        }
    }
    return -1;
}

void giveBack(int slot)
{
    if (slot < 0)
        return;
    freshSlots[slot].inUse.store(false);
    freshSlots[slot].taken.store(false);
}

extern "C" void removeFreshFilesAndExit(int signal)
{
    for (Slot &slot : freshSlots)
        if (slot.inUse.load())
            ::unlink(slot.path);
    ::_exit(128 + signal);
}

// ".tirlada-" and eight random letters and digits: short, so that the final
// name may take all the room a name has, and hidden.
QByteArray freshName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local QRandomGenerator random(QRandomGenerator::global()->generate());
    char name[] = ".tirlada-XXXXXXXX.tmp";
    for (int i = 9; i < 17; ++i)
        name[i] = kLetters[random.bounded(int(sizeof kLetters - 1))];
    return QByteArray(name);
}

Unexpected failed(FailureCode code, const QString &file, int error)
{
    return Unexpected(Failure(code, {.file = file, .reason = qt_error_string(error), .number = error}));
}

int syncDescriptor(int handle)
{
    int done;
    do
        done = ::fsync(handle);
    while (done != 0 && errno == EINTR);
    return done == 0 ? 0 : errno;
}

} // namespace

unsigned processUmask()
{
    // The status file tells it without the race of setting and restoring it
    // while other threads create files. The umask does not change during a
    // run, so it is read once.
    static const unsigned mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const unsigned value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        return value & 0777;
                }
        }
        return 022u;
    }();
    return mask;
}

QString linkTarget(const QString &path)
{
    QString current = QDir::cleanPath(QDir().absoluteFilePath(path));
    for (int hop = 0; hop < 40; ++hop) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        const QByteArray name = QFile::encodeName(current);
        QByteArray target(4096, Qt::Uninitialized);
        const auto length = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (length <= 0)
            return current;
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        current = QDir::cleanPath(QDir::isAbsolutePath(next) ? next : info.absolutePath() + QLatin1Char('/') + next);
    }
    return current;
}

Result<OutputFile> OutputFile::create(const QString &path, LinkAtPath links)
{
    OutputFile file;
    file.follow_ = links == LinkAtPath::Follow;
    file.path_ = links == LinkAtPath::Follow ? linkTarget(path) : QDir::cleanPath(QDir().absoluteFilePath(path));
    const QByteArray folder = QFile::encodeName(file.path_.left(file.path_.lastIndexOf(QLatin1Char('/')) + 1));
    for (int attempt = 0; attempt < 100 && file.handle_ < 0; ++attempt) {
        file.fresh_ = folder + freshName();
        // Listed before it exists, so that a signal arriving between the
        // two still finds it.
        file.slot_ = takeSlot(file.fresh_);
        do
            file.handle_ = ::open(file.fresh_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        while (file.handle_ < 0 && errno == EINTR);
        if (file.handle_ < 0) {
            const int error = errno;
            giveBack(file.slot_);
            file.slot_ = -1;
            if (error != EEXIST) {
                file.fresh_.clear();
                return failed(FailureCode::CannotCreateFile, file.path_, error);
            }
        }
    }
    if (file.handle_ < 0) {
        file.fresh_.clear();
        return failed(FailureCode::CannotCreateFile, file.path_, EEXIST);
    }
    return file;
}

OutputFile::OutputFile(OutputFile &&other) noexcept
    : path_(std::move(other.path_)), fresh_(std::move(other.fresh_)), handle_(other.handle_), slot_(other.slot_),
      follow_(other.follow_)
{
    other.handle_ = -1;
    other.slot_ = -1;
    other.fresh_.clear();
}

OutputFile &OutputFile::operator=(OutputFile &&other) noexcept
{
    if (this != &other) {
        discard();
        path_ = std::move(other.path_);
        fresh_ = std::move(other.fresh_);
        handle_ = other.handle_;
        slot_ = other.slot_;
        follow_ = other.follow_;
        other.handle_ = -1;
        other.slot_ = -1;
        other.fresh_.clear();
    }
    return *this;
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() noexcept
{
    if (handle_ >= 0)
        ::close(handle_);
    handle_ = -1;
    if (!fresh_.isEmpty())
        ::unlink(fresh_.constData());
    fresh_.clear();
    giveBack(slot_);
    slot_ = -1;
}

Result<void> OutputFile::write(const QByteArray &bytes)
{
    if (handle_ < 0)
        return failed(FailureCode::CannotWriteFile, path_, EBADF);
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const auto written = ::write(handle_, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            discard();
            return failed(FailureCode::CannotWriteFile, path_, error);
        }
        data += written;
        left -= written;
    }
    return {};
}

Result<void> OutputFile::commit(bool syncTheFolder)
{
    if (handle_ < 0)
        return failed(FailureCode::CannotWriteFile, path_, EBADF);
    const QByteArray final = QFile::encodeName(path_);
    // The mode of the file replaced, so that a list made private stays
    // private; a new file gets what the user's umask gives.
    struct stat old;
    const int found = follow_ ? ::stat(final.constData(), &old) : ::lstat(final.constData(), &old);
    const mode_t mode =
        found == 0 && S_ISREG(old.st_mode) ? mode_t(old.st_mode & 07777) : mode_t(0666 & ~processUmask());
    int error = ::fchmod(handle_, mode) != 0 ? errno : 0;
    if (error == 0)
        error = syncDescriptor(handle_);
    const int handle = handle_;
    handle_ = -1;
    // A disk that fills up, or a network folder, may report it only here.
    if (::close(handle) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(fresh_.constData(), final.constData()) != 0)
        error = errno;
    if (error != 0) {
        discard();
        return failed(FailureCode::CannotWriteFile, path_, error);
    }
    fresh_.clear();
    giveBack(slot_);
    slot_ = -1;
    if (syncTheFolder)
        return syncFolder(path_.left(path_.lastIndexOf(QLatin1Char('/')) + 1));
    return {};
}

Result<void> writeOutput(const QString &path, const QByteArray &bytes, bool syncTheFolder)
{
    Result<OutputFile> file = OutputFile::create(path);
    if (!file)
        return Unexpected(file.error());
    if (Result<void> written = file->write(bytes); !written)
        return written;
    return file->commit(syncTheFolder);
}

Result<void> syncFolder(const QString &folder)
{
    int handle;
    do
        handle = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (handle < 0 && errno == EINTR);
    if (handle < 0)
        return failed(FailureCode::CannotWriteFile, folder, errno);
    const int error = syncDescriptor(handle);
    ::close(handle);
    if (error != 0 && error != EINVAL)
        return failed(FailureCode::CannotWriteFile, folder, error);
    return {};
}

void removeFreshFilesOnSignals()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = removeFreshFilesAndExit;
    sigfillset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace check
