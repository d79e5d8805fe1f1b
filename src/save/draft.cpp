#include "save/draft.h"

#include "core/failure.h"
#include "core/files.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/package_reader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include <ctime>

namespace save {

namespace {

Q_LOGGING_CATEGORY(lcDrafts, "tirlada.drafts")

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

// A lock is held for as long as the program runs, hours perhaps: it counts as
// stale only when its process is gone, never by its age.
std::unique_ptr<QLockFile> lockFor(const QString &draftPath)
{
    auto lock = std::make_unique<QLockFile>(draftPath + QStringLiteral(".lock"));
    lock->setStaleLockTime(0);
    return lock;
}

} // namespace

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
    bool takeName(std::optional<Failure> *error);
};

bool DraftKeeper::State::takeName(std::optional<Failure> *error)
{
    if (lock)
        return true;
    if (!QDir().mkpath(folder)) {
        *error = Failure(FailureCode::CannotCreateFolder, {.file = folder});
        return false;
    }
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
            return true;
        }
    }
    *error = Failure(FailureCode::CannotLockDraft, {.file = folder});
    return false;
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
            if (current && takeName(&error)) {
                QString target;
                {
                    std::lock_guard guard(mutex);
                    target = path;
                }
                core::writeFileReplacing(target, bytes);
                written = true;
            }
        } catch (const Failure &failure) {
            error = failure;
        } catch (const std::exception &e) {
            error = Failure(FailureCode::Unspecified, {.reason = QString::fromLocal8Bit(e.what())});
        }
        if (error)
            qCWarning(lcDrafts, "draft not written: %s", error->what());
        const qint64 elapsed = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs() - cpuStart;

        std::lock_guard guard(mutex);
        writing = false;
        if (written) {
            onDisk = true;
            times.append(elapsed);
            cpuTimes.append(cpu);
            lastError.reset();
        } else if (error) {
            lastError = error;
        }
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

void DraftKeeper::submit(const PassportSnapshot &passport, const QByteArray &pictureJpeg, qint64 seconds)
{
    {
        std::lock_guard guard(d->mutex);
        d->queued = State::Job{passport, pictureJpeg, seconds};
    }
    d->wake.notify_one();
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
    if (!d->path.isEmpty())
        QFile::remove(d->path);
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
    if (!d->path.isEmpty() && d->path != path)
        QFile::remove(d->path);
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
    std::vector<OrphanDraft> orphans;
    const QFileInfoList files = QDir(folder).entryInfoList({kDraftPrefix + QLatin1Char('*') + kDraftSuffix},
                                                           QDir::Files | QDir::NoSymLinks | QDir::Hidden);
    for (const QFileInfo &file : files) {
        OrphanDraft orphan;
        orphan.path = file.absoluteFilePath();
        orphan.modifiedMs = file.lastModified().toMSecsSinceEpoch();
        orphan.lock = lockFor(orphan.path);
        // A lock whose process is gone is removed and taken; a live
        // program's lock, this program's own included, is refused.
        if (orphan.lock->tryLock(0))
            orphans.push_back(std::move(orphan));
    }
    std::stable_sort(orphans.begin(), orphans.end(),
                     [](const OrphanDraft &a, const OrphanDraft &b) { return a.modifiedMs > b.modifiedMs; });
    return orphans;
}

void removeOrphanDraft(OrphanDraft &draft)
{
    QFile::remove(draft.path);
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
