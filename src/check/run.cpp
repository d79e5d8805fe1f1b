#include "check/run.h"

#include "check/html_pages.h"
#include "check/package_check.h"
#include "check/participants_csv.h"
#include "check/registrations.h"
#include "check/walk.h"
#include "core/failure.h"
#include "core/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QPromise>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <cerrno>
#include <deque>
#include <memory>
#include <optional>

#include <unistd.h>

namespace check {
namespace {

// Packages read ahead of the one being written, per thread: enough to keep
// every core busy while one package takes longer, few enough that memory
// does not grow with the number of packages.
constexpr int kAheadPerThread = 4;

// The list of the files that the tool wrote into a pages folder: only these
// are ever replaced or removed there.
const QString kManifestName = QStringLiteral(".tirlada-check-pages");
const QByteArray kManifestHeader = "# tirlada-check: pages written into this folder\n";

// The largest registrations file read: far above a season's records.
constexpr qint64 kMaxRegistrationsSize = 64 * 1024 * 1024;

QString quoted(const QString &text) { return QStringLiteral("«") + text + QStringLiteral("»"); }

// "пакет", "пакета" or "пакетов" after the number.
QString packagesWord(qsizetype n)
{
    const qsizetype lastTwo = n % 100;
    const qsizetype last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return QStringLiteral("пакетов");
    if (last == 1)
        return QStringLiteral("пакет");
    if (last >= 2 && last <= 4)
        return QStringLiteral("пакета");
    return QStringLiteral("пакетов");
}

QByteArray jsonString(const QString &text)
{
    QByteArray json = "\"";
    for (const char c : text.toUtf8()) {
        const auto u = uchar(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\r') {
            json += "\\r";
        } else if (c == '\t') {
            json += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            json += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0')).toLatin1();
        } else {
            json += c;
        }
    }
    return json + '"';
}

// Where the report and the messages go. A report that cannot be written is
// given up, and the run goes on to write its other outputs.
class Streams {
public:
    Streams(QIODevice &out, QIODevice &err) : out_(out), err_(err) {}

    void report(const QByteArray &line)
    {
        if (!reportOpen_)
            return;
        const QByteArray bytes = line + '\n';
        if (out_.write(bytes) == bytes.size())
            return;
        reportOpen_ = false;
        // A reader that has gone (the end of "| head -1") takes what it
        // wanted; nothing is wrong with the run.
        const auto *device = dynamic_cast<const DescriptorDevice *>(&out_);
        const int error = device ? device->lastError() : 0;
        if (error == EPIPE)
            return;
        reportFailed_ = true;
        message(QStringLiteral("не удалось записать отчёт в стандартный вывод: ")
                + (error != 0 ? systemReason(error) : out_.errorString()));
    }

    void message(const QString &text) { line(QStringLiteral("tirlada-check: ") + text); }
    void line(const QString &text) { err_.write((text + QLatin1Char('\n')).toUtf8()); }

    bool reportFailed() const { return reportFailed_; }

private:
    QIODevice &out_;
    QIODevice &err_;
    bool reportOpen_ = true;
    bool reportFailed_ = false;
};

bool readWhole(const QString &path, qint64 limit, QByteArray *bytes, QString *reason)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        *reason = systemReason(ENOENT);
        return false;
    }
    if (!info.isFile()) {
        *reason = QStringLiteral("это не файл");
        return false;
    }
    if (info.size() > limit) {
        *reason = QStringLiteral("файл больше %1 байт").arg(limit);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    *bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

// The names of the files in the manifest of a pages folder; plain names
// only, so that a planted list reaches nothing outside the folder.
QSet<QString> readManifest(const QString &folder)
{
    QSet<QString> names;
    QFile file(QDir(folder).filePath(kManifestName));
    if (!file.open(QIODevice::ReadOnly))
        return names;
    const QList<QByteArray> lines = file.read(16 * 1024 * 1024).split('\n');
    for (const QByteArray &line : lines) {
        const QString name = QString::fromUtf8(line);
        if (name.isEmpty() || name.startsWith(QLatin1Char('#')) || name.contains(QLatin1Char('/'))
            || name == QLatin1String(".") || name == QLatin1String("..") || name == kManifestName)
            continue;
        names.insert(name);
    }
    return names;
}

void writeManifest(const QString &folder, const QSet<QString> &names)
{
    QStringList sorted(names.cbegin(), names.cend());
    sorted.sort();
    QByteArray bytes = kManifestHeader;
    for (const QString &name : sorted)
        bytes += name.toUtf8() + '\n';
    core::writeFileReplacing(QDir(folder).filePath(kManifestName), bytes);
}

// Whether the path names one of the inputs: the same file, or the same
// directory entry, so that writing there would replace a package.
class Inputs {
public:
    explicit Inputs(const QList<Entry> &entries)
    {
        for (const Entry &entry : entries) {
            if (!entry.problem.isEmpty())
                continue;
            add(identityOf(entry.path));
            add(identityOf(entry.path, true));
        }
    }
    bool named(const QString &path) const
    {
        const QByteArray bytes = QFile::encodeName(path);
        return has(identityOf(bytes)) || has(identityOf(bytes, true));
    }

private:
    void add(FileIdentity id)
    {
        if (id.isValid())
            ids_.insert({id.device, id.inode});
    }
    bool has(FileIdentity id) const { return id.isValid() && ids_.contains({id.device, id.inode}); }
    QSet<std::pair<quint64, quint64>> ids_;
};

} // namespace

DescriptorDevice::DescriptorDevice(int handle) : handle_(handle) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

qint64 DescriptorDevice::writeData(const char *data, qint64 size)
{
    if (lastError_ != 0)
        return -1;
    qint64 done = 0;
    while (done < size) {
        const auto n = ::write(handle_, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            lastError_ = n < 0 ? errno : EIO;
            setErrorString(systemReason(lastError_));
            return -1;
        }
        done += n;
    }
    return done;
}

QByteArray jsonLine(const QString &path, bool ok, const QStringList &problems)
{
    QByteArray line = "{\"path\": " + jsonString(path) + ", \"ok\": " + (ok ? "true" : "false") + ", \"problems\": [";
    for (qsizetype i = 0; i < problems.size(); ++i) {
        if (i > 0)
            line += ", ";
        line += jsonString(problems[i]);
    }
    return line + "]}";
}

int run(const RunOptions &options, QIODevice &out, QIODevice &err)
{
    Streams streams(out, err);
    auto usageError = [&](const QString &text) {
        streams.message(text);
        return kUsageError;
    };

    // Everything that could stop the run is settled before anything is
    // written.
    std::optional<Registrations> registrations;
    if (!options.registrations.isEmpty()) {
        QByteArray bytes;
        QString reason;
        if (!readWhole(options.registrations, kMaxRegistrationsSize, &bytes, &reason))
            return usageError(QStringLiteral("файл регистрации %1 не читается: %2")
                                  .arg(quoted(QDir::toNativeSeparators(options.registrations)), reason));
        registrations = Registrations::parse(bytes, &reason);
        if (!registrations)
            return usageError(QStringLiteral("файл регистрации %1 не подходит: %2")
                                  .arg(quoted(QDir::toNativeSeparators(options.registrations)), reason));
    }

    const QList<Entry> entries = findPackages(options.inputs);
    if (entries.isEmpty())
        return usageError(QStringLiteral("пакеты (*.kwp) не найдены."));

    const Inputs inputs(entries);
    const Wanted wanted{!options.participantsCsv.isEmpty(), !options.htmlFolder.isEmpty(),
                        registrations ? &*registrations : nullptr};
    if (wanted.participants && inputs.named(options.participantsCsv))
        return usageError(QStringLiteral("список участников %1 записался бы поверх проверяемого пакета.")
                              .arg(quoted(QDir::toNativeSeparators(options.participantsCsv))));

    QStringList names;
    QSet<QString> ourFiles;     // what the manifest lists from earlier runs
    QSet<QString> plannedFiles; // what this run may write
    QString pagesFolder;
    if (wanted.pages) {
        pagesFolder = QDir::cleanPath(QDir().absoluteFilePath(options.htmlFolder));
        if (!QDir().mkpath(pagesFolder) || !QFileInfo(pagesFolder).isDir())
            return usageError(QStringLiteral("не удалось создать папку %1.")
                                  .arg(quoted(QDir::toNativeSeparators(options.htmlFolder))));
        ourFiles = readManifest(pagesFolder);
        // Files that the tool did not write are never written over: a page
        // whose name is taken gets another.
        QSet<QString> reserved;
        const QStringList present =
            QDir(pagesFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : present) {
            if (ourFiles.contains(name))
                continue;
            if (name.compare(kIndexPageName, Qt::CaseInsensitive) == 0)
                return usageError(QStringLiteral("в папке %1 уже есть файл %2, записанный не этой программой; "
                                                 "укажите для страниц другую папку.")
                                      .arg(quoted(QDir::toNativeSeparators(options.htmlFolder)), kIndexPageName));
            for (const QLatin1String suffix : {QLatin1String(".html"), QLatin1String(".jpg")})
                if (name.endsWith(suffix, Qt::CaseInsensitive))
                    reserved.insert(name.chopped(suffix.size()).toCaseFolded());
        }
        QStringList shown;
        shown.reserve(entries.size());
        for (const Entry &entry : entries)
            shown.append(entry.shown);
        names = pageNames(shown, reserved);
        plannedFiles.insert(kIndexPageName);
        for (qsizetype i = 0; i < entries.size(); ++i)
            if (entries[i].problem.isEmpty()) {
                plannedFiles.insert(names[i] + QStringLiteral(".html"));
                plannedFiles.insert(names[i] + QStringLiteral(".jpg"));
            }
        const QString csvPath =
            wanted.participants ? QDir::cleanPath(QDir().absoluteFilePath(options.participantsCsv)) : QString();
        for (const QString &name : std::as_const(plannedFiles) + QSet<QString>{kManifestName}) {
            const QString path = pagesFolder + QLatin1Char('/') + name;
            if (inputs.named(path))
                return usageError(QStringLiteral("страница %1 записалась бы поверх проверяемого пакета.")
                                      .arg(quoted(QDir::toNativeSeparators(path))));
            if (path == csvPath)
                return usageError(QStringLiteral("список участников %1 совпадает с файлом страниц.")
                                      .arg(quoted(QDir::toNativeSeparators(csvPath))));
        }
    }

    bool incomplete = false;
    std::optional<core::ReplacingFile> csv;
    std::optional<core::ReplacingFile> index;
    try {
        if (wanted.participants) {
            const QString folder = QFileInfo(options.participantsCsv).absolutePath();
            if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
                return usageError(
                    QStringLiteral("не удалось создать папку %1.").arg(quoted(QDir::toNativeSeparators(folder))));
            csv.emplace(options.participantsCsv);
            csv->write(csvHeader(registrations.has_value()));
        }
        if (wanted.pages) {
            // Listed before they are written: a run that is cut short leaves
            // no page that a later run would take for the user's.
            writeManifest(pagesFolder, ourFiles + plannedFiles);
            index.emplace(pagesFolder + QLatin1Char('/') + kIndexPageName);
            index->write(indexStart());
        }
    } catch (const Failure &failure) {
        return usageError(writeFailureText(failure) + QLatin1Char('.'));
    }

    QThreadPool pool;
    const int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();
    pool.setMaxThreadCount(threads);
    const qsizetype window = qsizetype(threads) * kAheadPerThread;

    qsizetype soundCount = 0;
    qsizetype problemCount = 0;
    qsizetype unreadCount = 0;
    QSet<QString> writtenFiles;

    // The packages are read on the pool; the results are taken from the front
    // of the queue in input order, so the report reads the same however the
    // threads were scheduled.
    std::deque<QFuture<Outcome>> inFlight;
    auto writeOldest = [&] {
        QFuture<Outcome> future = std::move(inFlight.front());
        inFlight.pop_front();
        future.waitForFinished();
        const Outcome outcome = future.takeResult();
        switch (outcome.verdict) {
        case Verdict::Sound:
            ++soundCount;
            break;
        case Verdict::Problems:
            ++problemCount;
            break;
        case Verdict::Unread:
            ++unreadCount;
            break;
        }
        if (!options.quiet || outcome.verdict != Verdict::Sound) {
            if (options.format == Format::Jsonl) {
                streams.report(jsonLine(outcome.file, outcome.verdict == Verdict::Sound, outcome.problems));
            } else {
                streams.report(outcome.line.toUtf8());
            }
        }
        for (const QString &name : outcome.written)
            writtenFiles.insert(name);
        for (const QString &error : outcome.writeErrors) {
            streams.message(error);
            incomplete = true;
        }
        try {
            if (csv && !outcome.csvRows.isEmpty())
                csv->write(outcome.csvRows);
        } catch (const Failure &failure) {
            streams.message(writeFailureText(failure));
            csv.reset();
            incomplete = true;
        }
        try {
            if (index && !outcome.indexRow.isEmpty())
                index->write(outcome.indexRow);
        } catch (const Failure &failure) {
            streams.message(writeFailureText(failure));
            index.reset();
            incomplete = true;
        }
    };

    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (qsizetype(inFlight.size()) >= window)
            writeOldest();
        auto promise = std::make_shared<QPromise<Outcome>>();
        inFlight.push_back(promise->future());
        promise->start();
        const Entry entry = entries[i];
        const QString pageName = wanted.pages ? names[i] : QString();
        pool.start([promise, entry, pageName, wanted, pagesFolder] {
            // Nothing may escape into the pool: the package gets a line
            // whatever happened to it.
            try {
                promise->addResult(processPackage(entry, pageName, wanted, pagesFolder));
            } catch (...) {
                Outcome failed;
                failed.verdict = Verdict::Problems;
                failed.problems = {QStringLiteral("Сбой проверки")};
                failed.file = entry.shown;
                failed.line = reportLine(entry.shown, failed.problems);
                promise->addResult(std::move(failed));
            }
            promise->finish();
        });
    }
    while (!inFlight.empty())
        writeOldest();

    try {
        if (csv)
            csv->commit();
    } catch (const Failure &failure) {
        streams.message(writeFailureText(failure));
        incomplete = true;
    }
    if (wanted.pages) {
        try {
            if (index) {
                index->write(indexEnd());
                index->commit();
                writtenFiles.insert(kIndexPageName);
            }
        } catch (const Failure &failure) {
            streams.message(writeFailureText(failure));
            incomplete = true;
        }
        // The pages of earlier runs that this run did not write again belong
        // to packages that are gone or no longer sound.
        QSet<QString> kept = writtenFiles;
        for (const QString &name : std::as_const(ourFiles)) {
            if (writtenFiles.contains(name))
                continue;
            const QByteArray path = QFile::encodeName(pagesFolder + QLatin1Char('/') + name);
            if (::unlink(path.constData()) != 0 && errno != ENOENT) {
                streams.message(QStringLiteral("не удалось удалить устаревшую страницу %1: %2")
                                    .arg(quoted(shownName(path)), systemReason(errno)));
                kept.insert(name);
                incomplete = true;
            }
        }
        try {
            writeManifest(pagesFolder, kept);
        } catch (const Failure &failure) {
            streams.message(writeFailureText(failure));
            incomplete = true;
        }
    }

    const qsizetype total = soundCount + problemCount + unreadCount;
    streams.line(QStringLiteral("Проверено %1 %2: без замечаний %3, с замечаниями %4, не прочитано %5.")
                     .arg(total)
                     .arg(packagesWord(total))
                     .arg(soundCount)
                     .arg(problemCount)
                     .arg(unreadCount));
    if (incomplete || unreadCount > 0 || streams.reportFailed())
        return kIncomplete;
    return problemCount > 0 ? kSomeNotSound : kAllSound;
}

} // namespace check
