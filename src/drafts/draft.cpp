#include "drafts/draft.h"

#include "core/failure.h"
#include "core/files.h"
#include "drafts/draft_files.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/zip_archive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include <ctime>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#endif

namespace drafts {

Q_LOGGING_CATEGORY(lcDrafts, "tirlada.drafts")

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

} // namespace

QString draftFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/drafts");
}

QByteArray draftPackage(const PassportSnapshot &passport, const QByteArray &pictureJpeg, qint64 seconds)
{
    QList<std::pair<QString, QByteArray>> entries;
    entries.append({QStringLiteral("data.xml"), save::buildDataDocument(passport, seconds, save::DocumentForm::Draft)});
    if (passport.hasPicture)
        entries.append(
            {QStringLiteral("image.jpg"), pictureJpeg.isEmpty() ? picture::encodeJpeg(passport.picture) : pictureJpeg});
    return save::zipStored(entries).value();
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
        if (takeLock(*candidateLock)) {
            lock = std::move(candidateLock);
            std::lock_guard guard(mutex);
            path = candidate;
            return;
        }
    }
    throw Failure(FailureCode::NoFreeFileName, {.file = stem + kDraftSuffix, .reason = {}});
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
                // A draft is the user's alone from its first byte, whatever
                // the umask or the folder allows.
                writeOrigin(target, job.origin);
                core::writeFileReplacing(target, bytes, core::FileAccess::Private);
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

QList<qint64> DraftKeeper::writeCpuTimes() const
{
    std::lock_guard guard(d->mutex);
    return d->cpuTimes;
}

} // namespace drafts
