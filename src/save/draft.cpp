#include "save/draft.h"

#include "core/failure.h"
#include "core/files.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/leftovers.h"
#include "save/package_reader.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QLoggingCategory>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include <ctime>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcDrafts, "tirlada.drafts")

namespace save {

namespace {

// The calling thread's CPU time in nanoseconds.
qint64 threadCpuNs()
{
#ifdef Q_OS_UNIX
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
#else
    return 0;
#endif
}

const QString kDraftPrefix = QStringLiteral("draft-");
const QString kDraftSuffix = QStringLiteral(".kwp");
const QString kOriginSuffix = QStringLiteral(".json");
const QString kLockSuffix = QStringLiteral(".lock");
// An origin file is a few hundred bytes; anything larger is not one.
constexpr qint64 kMaxOriginSize = 64 * 1024;
// A lock file that names no process may be one that its program is still
// writing; it is judged stale only once it has stood this long.
constexpr qint64 kUnreadableLockGraceMs = 10 * 1000;

// Creates the folder and those above it, private to the user; on failure
// throws with the system's reason.
void makeFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    if (!QDir().mkpath(folder))
        throw Failure(FailureCode::CannotCreateFolder, {.file = folder, .reason = {}});
#else
    const QString clean = QDir::cleanPath(folder);
    QString prefix;
    const QStringList parts = clean.split(QLatin1Char('/'));
    for (int i = 0; i < parts.size(); ++i) {
        prefix += (i == 0 ? QString() : QStringLiteral("/")) + parts[i];
        if (prefix.isEmpty())
            continue;
        struct stat info {};
        const QByteArray name = QFile::encodeName(prefix);
        if (::stat(name.constData(), &info) == 0) {
            if (S_ISDIR(info.st_mode))
                continue;
            throw Failure(FailureCode::CannotCreateFolder, {.file = clean, .reason = qt_error_string(ENOTDIR)});
        }
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            throw Failure(FailureCode::CannotCreateFolder, {.file = clean, .reason = qt_error_string(errno)});
    }
    // The drafts folder itself is the user's alone.
    ::chmod(QFile::encodeName(clean).constData(), 0700);
#endif
}

QByteArray originBytes(const DraftOrigin &origin)
{
    QJsonObject object;
    object[QStringLiteral("package")] = origin.package;
    object[QStringLiteral("packageMd5")] = QString::fromLatin1(origin.packageMd5);
    object[QStringLiteral("savedPassport")] = QString::fromLatin1(origin.savedPassport);
    object[QStringLiteral("unsaved")] = origin.unsaved;
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

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
        const QDateTime boot = bootTime();
        return (boot.isValid() && made < boot) || made.msecsTo(QDateTime::currentDateTime()) > kUnreadableLockGraceMs;
    }
    if (pid == QCoreApplication::applicationPid())
        return ownerGone(pid, made);
    return false;
#endif
}

// A lock is held for as long as the program runs, hours perhaps: it counts as
// stale only when its process is gone, never by its age.
std::unique_ptr<QLockFile> lockFor(const QString &draftPath)
{
    auto lock = std::make_unique<QLockFile>(draftPath + QStringLiteral(".lock"));
    lock->setStaleLockTime(0);
    return lock;
}

} // namespace

QByteArray passportFingerprint(const PassportSnapshot &passport)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(BuildDataDocument(passport, 0, DocumentForm::Draft));
    hash.addData(QByteArrayView("\0picture\0"));
    if (passport.hasPicture && !passport.picture.isNull()) {
        const QImage pixels = passport.picture.convertToFormat(QImage::Format_ARGB32);
        hash.addData(QByteArray::number(pixels.width()) + 'x' + QByteArray::number(pixels.height()));
        for (int row = 0; row < pixels.height(); ++row)
            hash.addData(QByteArrayView(reinterpret_cast<const char *>(pixels.constScanLine(row)),
                                        qsizetype(pixels.width()) * 4));
    } else {
        hash.addData(QByteArrayView(passport.hasPicture ? "unread" : "none"));
    }
    return hash.result().toHex();
}

QByteArray fileMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPackageSize)
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return QByteArray();
    return hash.result().toHex();
}

QString originPath(const QString &draftPath)
{
    QString path = draftPath;
    if (path.endsWith(kDraftSuffix))
        path.chop(kDraftSuffix.size());
    return path + kOriginSuffix;
}

std::optional<DraftOrigin> readOrigin(const QString &draftPath)
{
    QFile file(originPath(draftPath));
    if (QFileInfo(file.fileName()).isSymLink() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxOriginSize)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.read(kMaxOriginSize), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcDrafts) << "the origin of" << draftPath << "cannot be read:" << error.errorString();
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    DraftOrigin origin;
    origin.package = object.value(QStringLiteral("package")).toString();
    origin.packageMd5 = object.value(QStringLiteral("packageMd5")).toString().toLatin1();
    origin.savedPassport = object.value(QStringLiteral("savedPassport")).toString().toLatin1();
    origin.unsaved = object.value(QStringLiteral("unsaved")).toBool(true);
    if (!origin.package.isEmpty() && !QDir::isAbsolutePath(origin.package))
        origin.package.clear();
    return origin;
}

QString draftFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/drafts");
}

QByteArray draftPackage(const PassportSnapshot &passport, const QByteArray &pictureJpeg, qint64 seconds)
{
    QList<std::pair<QString, QByteArray>> entries;
    entries.append({QStringLiteral("data.xml"), BuildDataDocument(passport, seconds, DocumentForm::Draft)});
    if (passport.hasPicture)
        entries.append(
            {QStringLiteral("image.jpg"), pictureJpeg.isEmpty() ? picture::encodeJpeg(passport.picture) : pictureJpeg});
    return zipStored(entries);
}

struct DraftKeeper::State {
    QString folder;

    struct Job {
        PassportSnapshot passport;
        QByteArray pictureJpeg;
        qint64 seconds = 0;
        DraftOrigin origin;
    };

    // Guarded by mutex.
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::optional<Job> queued;
    bool writing = false;
    bool stopping = false;
    quint64 generation = 0; // a discard makes every older job void
    QString path;
    bool onDisk = false;
    std::optional<Failure> lastError;
    std::function<void(const std::optional<Failure> &)> reporter;
    QList<qint64> times;
    QList<qint64> cpuTimes;

    // Held while the draft file is written or removed.
    std::mutex fileMutex;
    std::unique_ptr<QLockFile> lock; // under fileMutex

    // The writer thread's own: the last picture it encoded.
    qint64 encodedKey = 0;
    QByteArray encodedJpeg;

    std::thread writer;

    void run();
    // Takes a lock for a draft name of this process; under fileMutex.
    // Throws when there is none.
    void takeName();
};

void DraftKeeper::State::takeName()
{
    if (lock)
        return;
    makeFolder(folder);
    const QString stem = folder + QLatin1Char('/') + kDraftPrefix + QString::number(QCoreApplication::applicationPid());
    // Another window of this process, or a draft of an earlier process with
    // the same number that waits to be offered, keeps its name.
    for (int n = 1; n < 100; ++n) {
        const QString candidate = stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + kDraftSuffix;
        if (QFileInfo::exists(candidate))
            continue;
        auto candidateLock = lockFor(candidate);
        if (candidateLock->tryLock(0)) {
            lock = std::move(candidateLock);
            std::lock_guard guard(mutex);
            path = candidate;
            return;
        }
    }
    throw Failure(FailureCode::CannotLockFile, {.file = stem + kDraftSuffix, .reason = {}});
}

void DraftKeeper::State::run()
{
    for (;;) {
        Job job;
        quint64 jobGeneration = 0;
        {
            std::unique_lock guard(mutex);
            wake.wait(guard, [&] { return stopping || queued.has_value(); });
            if (!queued) // stopping with nothing left to write
                return;
            job = std::move(*queued);
            queued.reset();
            writing = true;
            jobGeneration = generation;
        }

        QElapsedTimer clock;
        clock.start();
        const qint64 cpuStart = threadCpuNs();
        std::optional<Failure> error;
        bool written = false;
        bool tried = false;
        try {
            QByteArray jpeg = job.pictureJpeg;
            if (job.passport.hasPicture && jpeg.isEmpty()) {
                if (encodedKey != job.passport.picture.cacheKey() || encodedJpeg.isEmpty()) {
                    encodedJpeg = picture::encodeJpeg(job.passport.picture);
                    encodedKey = job.passport.picture.cacheKey();
                }
                jpeg = encodedJpeg;
            }
            const QByteArray bytes = draftPackage(job.passport, jpeg, job.seconds);

            std::lock_guard fileGuard(fileMutex);
            bool current;
            {
                std::lock_guard guard(mutex);
                current = jobGeneration == generation;
            }
            if (current) {
                tried = true;
                takeName();
                QString target;
                {
                    std::lock_guard guard(mutex);
                    target = path;
                }
                // The origin first: a draft on disk always has the origin
                // of its own time beside it.
                core::writeFileReplacing(originPath(target), originBytes(job.origin));
                core::writeFileReplacing(target, bytes);
                // A draft is the user's alone, whatever the folder allows.
                const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
                QFile::setPermissions(originPath(target), ownerOnly);
                QFile::setPermissions(target, ownerOnly);
                written = true;
            }
        } catch (const Failure &failure) {
            tried = true;
            error = failure;
        } catch (const std::bad_alloc &) {
            tried = true;
            error = Failure(FailureCode::OutOfMemory);
        } catch (const std::exception &e) {
            tried = true;
            error = Failure(FailureCode::Unspecified, {.file = {}, .reason = QString::fromLocal8Bit(e.what())});
        }
        if (error)
            qCWarning(lcDrafts) << "the draft was not written:" << error->what();
        const qint64 elapsed = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs() - cpuStart;

        std::function<void(const std::optional<Failure> &)> report;
        {
            std::lock_guard guard(mutex);
            if (written) {
                onDisk = true;
                times.append(elapsed);
                cpuTimes.append(cpu);
                lastError.reset();
            } else if (error) {
                lastError = error;
            }
            report = reporter;
        }
        // Told before the writer counts as idle, so that whoever waits for
        // it finds the report on its way.
        if (tried && report)
            report(error);
        std::lock_guard guard(mutex);
        writing = false;
        if (!queued)
            idle.notify_all();
    }
}

DraftKeeper::DraftKeeper(const QString &folder) : d(std::make_unique<State>())
{
    d->folder = folder;
    d->writer = std::thread([state = d.get()] { state->run(); });
}

DraftKeeper::~DraftKeeper()
{
    {
        std::lock_guard guard(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    d->writer.join();
}

void DraftKeeper::submit(const PassportSnapshot &passport, const QByteArray &pictureJpeg, qint64 seconds,
                         const DraftOrigin &origin)
{
    {
        std::lock_guard guard(d->mutex);
        d->queued = State::Job{passport, pictureJpeg, seconds, origin};
    }
    d->wake.notify_one();
}

void DraftKeeper::setReporter(std::function<void(const std::optional<Failure> &)> reporter)
{
    std::lock_guard guard(d->mutex);
    d->reporter = std::move(reporter);
}

void DraftKeeper::discard()
{
    {
        std::lock_guard guard(d->mutex);
        d->queued.reset();
        ++d->generation;
    }
    std::lock_guard fileGuard(d->fileMutex);
    std::lock_guard guard(d->mutex);
    if (!d->path.isEmpty()) {
        QFile::remove(d->path);
        QFile::remove(originPath(d->path));
    }
    d->onDisk = false;
    d->idle.notify_all();
}

void DraftKeeper::adopt(const QString &path, std::unique_ptr<QLockFile> lock)
{
    {
        std::lock_guard guard(d->mutex);
        d->queued.reset();
        ++d->generation;
    }
    std::lock_guard fileGuard(d->fileMutex);
    std::lock_guard guard(d->mutex);
    if (!d->path.isEmpty() && d->path != path) {
        QFile::remove(d->path);
        QFile::remove(originPath(d->path));
    }
    d->lock = std::move(lock); // the old lock, if any, is released here
    d->path = path;
    d->onDisk = QFileInfo::exists(path);
}

void DraftKeeper::waitUntilIdle()
{
    std::unique_lock guard(d->mutex);
    d->idle.wait(guard, [&] { return !d->writing && !d->queued; });
}

QString DraftKeeper::path() const
{
    std::lock_guard guard(d->mutex);
    return d->path;
}

bool DraftKeeper::exists() const
{
    std::lock_guard guard(d->mutex);
    return d->onDisk;
}

std::optional<Failure> DraftKeeper::lastError() const
{
    std::lock_guard guard(d->mutex);
    return d->lastError;
}

QList<qint64> DraftKeeper::writeTimes() const
{
    std::lock_guard guard(d->mutex);
    return d->times;
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
        if (!orphan.lock->tryLock(0)) {
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
    const QDateTime boot = bootTime();
    for (const QFileInfo &file : dir.entryInfoList({QStringLiteral(".tirlada-*")}, QDir::Files | QDir::Hidden))
        if (!othersRun || (boot.isValid() && file.lastModified() < boot))
            QFile::remove(file.absoluteFilePath());
    std::stable_sort(orphans.begin(), orphans.end(),
                     [](const OrphanDraft &a, const OrphanDraft &b) { return a.modifiedMs > b.modifiedMs; });
    return orphans;
}

void removeOrphanDraft(OrphanDraft &draft)
{
    QFile::remove(draft.path);
    QFile::remove(originPath(draft.path));
    draft.lock.reset(); // unlocking removes the lock file
}

} // namespace save

namespace save {
QList<qint64> DraftKeeper::writeCpuTimes() const
{
    std::lock_guard guard(d->mutex);
    return d->cpuTimes;
}
} // namespace save
