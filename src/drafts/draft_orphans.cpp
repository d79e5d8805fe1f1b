// Whose a draft is: each draft has a lock that its program holds while it
// runs. A draft whose lock nobody holds is an orphan, offered to the user at
// the next start.

#include "drafts/draft.h"
#include "drafts/draft_files.h"
#include "save/leftovers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace drafts {

namespace {

// A lock file that names no process may be one that its program is still
// writing; it is judged stale only once it has stood this long.
constexpr qint64 kUnreadableLockGraceMs = 10 * 1000;

// Whether the lock file stands for no running program although QLockFile
// would keep it forever: it names no process (empty, garbage), or this
// process's own number, and its time says its program is gone. A lock that
// a running program holds is never stale.
bool staleByTime(const QString &lockPath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(lockPath);
    return false;
#else
    const QFileInfo info(lockPath);
    if (!info.isFile() || info.isSymLink())
        return false;
    const int handle = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (handle < 0)
        return false;
    // QLockFile holds the lock file locked while its program runs.
    const bool held = ::flock(handle, LOCK_SH | LOCK_NB) != 0;
    char buffer[256] = {};
    const ssize_t length = held ? 0 : ::read(handle, buffer, sizeof buffer - 1);
    ::close(handle);
    if (held)
        return false;
    const QList<QByteArray> lines = QByteArray(buffer, int(std::max<ssize_t>(length, 0))).split('\n');
    bool named = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&named);
    const QDateTime made = info.lastModified();
    if (!named || pid <= 0) {
        const QDateTime boot = save::bootTime();
        return (boot.isValid() && made < boot) || made.msecsTo(QDateTime::currentDateTime()) > kUnreadableLockGraceMs;
    }
    if (pid == QCoreApplication::applicationPid())
        return save::ownerGone(pid, made);
    return false;
#endif
}

} // namespace

std::unique_ptr<QLockFile> lockFor(const QString &draftPath)
{
    auto lock = std::make_unique<QLockFile>(draftPath + kLockSuffix);
    lock->setStaleLockTime(0);
    return lock;
}

bool takeLock(QLockFile &lock)
{
    if (!lock.tryLock(0))
        return false;
    // QLockFile makes its file as any file is made (0666 less the umask), so
    // it is narrowed at once. It names only the process, the program and
    // the host, and the drafts folder is the user's alone (0700) from its
    // making, so no one else could reach it in between.
    QFile::setPermissions(lock.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

OrphanDraft::OrphanDraft() = default;
OrphanDraft::OrphanDraft(OrphanDraft &&) noexcept = default;
OrphanDraft &OrphanDraft::operator=(OrphanDraft &&) noexcept = default;
OrphanDraft::~OrphanDraft() = default;

std::vector<OrphanDraft> claimOrphanDrafts(const QString &folder)
{
    // Every draft name that something in the folder belongs to: the draft,
    // its origin, its lock, and the half-written files of a write that was
    // cut off ("draft-<process>.kwp.XXXXXX").
    static const QRegularExpression owned(
        QStringLiteral("^(draft-\\d+(?:-\\d+)?)(\\.kwp|\\.json)(\\.lock|\\.[A-Za-z0-9]{6})?$"));
    const QDir dir(folder);
    QMap<QString, QStringList> byName; // draft name -> its files that are not the draft, origin or lock
    for (const QString &file : dir.entryList({kDraftPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = owned.match(file);
        if (!match.hasMatch())
            continue;
        QStringList &leftovers = byName[match.captured(1)];
        const QString tail = match.captured(3);
        if (!tail.isEmpty() && tail != kLockSuffix)
            leftovers.append(file);
    }

    std::vector<OrphanDraft> orphans;
    bool othersRun = false; // a draft here belongs to a running program
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        OrphanDraft orphan;
        orphan.path = dir.absoluteFilePath(it.key() + kDraftSuffix);
        const QString lockPath = orphan.path + kLockSuffix;
        if (staleByTime(lockPath) && QFile::remove(lockPath))
            qCInfo(lcDrafts) << "removed the stale lock" << lockPath;
        orphan.lock = lockFor(orphan.path);
        // A lock whose process is gone is removed and taken; a live
        // program's lock, this program's own included, is refused.
        if (!takeLock(*orphan.lock)) {
            othersRun = true;
            continue;
        }
        for (const QString &leftover : it.value())
            if (QFile::remove(dir.absoluteFilePath(leftover)))
                qCInfo(lcDrafts) << "removed the half-written" << leftover;
        const QFileInfo draft(orphan.path);
        if (!draft.isFile() || draft.isSymLink()) {
            // Nothing left to offer: an origin without its draft goes.
            QFile::remove(originPath(orphan.path));
            continue; // the lock goes with the object
        }
        orphan.modifiedMs = draft.lastModified().toMSecsSinceEpoch();
        orphan.origin = readOrigin(orphan.path);
        orphans.push_back(std::move(orphan));
    }
    // A half-written file under a hidden fresh name names no owner: it is
    // removed when no running program keeps a draft here, or when it is
    // older than the system's start.
    const QDateTime boot = save::bootTime();
    for (const QFileInfo &file : dir.entryInfoList({QStringLiteral(".tirlada-*")}, QDir::Files | QDir::Hidden))
        if (!othersRun || (boot.isValid() && file.lastModified() < boot))
            QFile::remove(file.absoluteFilePath());
    std::stable_sort(orphans.begin(), orphans.end(),
                     [](const OrphanDraft &a, const OrphanDraft &b) { return a.modifiedMs > b.modifiedMs; });
    return orphans;
}

Result<void> removeOrphanDraft(OrphanDraft &draft)
{
    std::optional<Failure> failure;
    for (const QString &path : {draft.path, originPath(draft.path)}) {
#ifdef Q_OS_WIN
        QFile file(path);
        if (!file.remove() && QFileInfo::exists(path) && !failure)
            failure = Failure(FailureCode::CannotWriteFile, {.file = path, .reason = file.errorString()});
#else
        if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT && !failure)
            failure = Failure(FailureCode::CannotWriteFile,
                              {.file = path, .reason = qt_error_string(errno), .number = errno});
#endif
    }
    draft.lock.reset(); // unlocking removes the lock file
    if (failure)
        return Unexpected(*failure);
    return {};
}
} // namespace drafts
