#include "check/run.h"

#include "check/html_pages.h"
#include "check/memory_budget.h"
#include "check/output_file.h"
#include "check/package_check.h"
#include "check/pages_folder.h"
#include "check/participants_csv.h"
#include "check/registrations.h"
#include "check/run_inputs.h"
#include "check/walk.h"
#include "core/failure.h"

#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QHash>
#include <QPromise>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
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

// The memory that the packages being read may take together: a fixed part
// and a part per thread. Sound packages of the usual size take a small
// fraction of it each; a large or hostile one waits for its share.
constexpr qint64 kBudgetBase = 24 * 1024 * 1024;
constexpr qint64 kBudgetPerThread = 6 * 1024 * 1024;

QString quoted(const QString &text) { return QStringLiteral("«") + text + QStringLiteral("»"); }
QString shownPath(const QString &path) { return quoted(QDir::toNativeSeparators(path)); }

// A pages folder that could not be made or locked, as the message says it.
QString pagesFolderText(const Failure &failure, const QString &folder)
{
    const FailureDetails &details = failure.details();
    if (details.name == QLatin1String("locked"))
        return QStringLiteral("папка страниц %1 занята: в неё сейчас пишет другой запуск tirlada-check.")
            .arg(shownPath(folder));
    if (details.name == QLatin1String("dangling"))
        return QStringLiteral("папка страниц %1 — ссылка на то, чего нет: %2.")
            .arg(shownPath(folder), systemReason(details.number));
    return QStringLiteral("не удалось создать папку %1: %2.").arg(shownPath(folder), systemReason(details.number));
}

// The registered participants who are in no package read, for the
// registrations report: a CSV like the participants' list.
QByteArray missingRegisteredCsv(const QList<Registered> &missing)
{
    QByteArray bytes = "\xEF\xBB\xBF";
    auto line = [&](const QStringList &fields) {
        QStringList quotedFields;
        for (const QString &field : fields)
            quotedFields.append(csvField(field));
        bytes += (quotedFields.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
    };
    line({QStringLiteral("Строка регистрации"), QStringLiteral("ID участника"), QStringLiteral("Фамилия"),
          QStringLiteral("Имя"), QStringLiteral("Отчество"), QStringLiteral("Замечание")});
    for (const Registered &person : missing)
        line({QString::number(person.row), formattedId(person.id), person.surname, person.name, person.patronymic,
              QStringLiteral("нет ни в одном пакете")});
    return bytes;
}

// What run() remembers of each package's page files.
constexpr quint8 kHtmlWritten = 1;
constexpr quint8 kJpgWritten = 2;

// The lines of a pages folder's list: the names kept from an earlier run, the
// index, and each package's page and picture; all that may be written
// (written null), or what was.
QByteArray manifestLines(const QStringList &kept, const QStringList &names, const QList<quint8> *written,
                         bool indexWritten = true)
{
    QByteArray lines;
    for (const QString &name : kept)
        lines += name.toUtf8() + '\n';
    if (indexWritten)
        lines += kIndexPageName.toUtf8() + '\n';
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty())
            continue;
        const QByteArray base = names[i].toUtf8();
        if (!written || ((*written)[i] & kHtmlWritten))
            lines += base + ".html\n";
        if (!written || ((*written)[i] & kJpgWritten))
            lines += base + ".jpg\n";
    }
    return lines;
}

} // namespace

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
        Result<Registrations> read = readRegistrations(options.registrations);
        if (!read)
            return usageError(registrationsFailureText(read.error(), options.registrations));
        registrations = std::move(*read);
        for (const RowProblem &problem : registrations->rowProblems())
            streams.message(QStringLiteral("файл регистрации %1, %2")
                                .arg(shownPath(options.registrations), rowProblemText(problem)));
    }

    const QList<Entry> entries = findPackages(options.inputs);
    if (entries.isEmpty())
        return usageError(QStringLiteral("пакеты (*.kwp) не найдены."));

    // No output may be written over an input, nor over another output.
    const Inputs inputs(entries, options);
    const Wanted wanted{!options.participantsCsv.isEmpty(), !options.htmlFolder.isEmpty(),
                        registrations ? &*registrations : nullptr};
    QString csvPath;
    if (wanted.participants) {
        csvPath = linkTarget(options.participantsCsv);
        if (const QString problem = inputs.outputProblem(csvPath); !problem.isEmpty())
            return usageError(
                QStringLiteral("список участников %1 %2.").arg(shownPath(options.participantsCsv), problem));
    }
    QString reportPath;
    if (!options.registrationsReport.isEmpty()) {
        if (!registrations)
            return usageError(QStringLiteral("--registrations-report действует только вместе с --registrations."));
        reportPath = linkTarget(options.registrationsReport);
        if (const QString problem = inputs.outputProblem(reportPath); !problem.isEmpty())
            return usageError(
                QStringLiteral("отчёт о регистрации %1 %2.").arg(shownPath(options.registrationsReport), problem));
        if (reportPath == csvPath)
            return usageError(QStringLiteral("отчёт о регистрации и список участников — один файл %1.")
                                  .arg(shownPath(options.registrationsReport)));
    }
    const QSet<QString> outputs{csvPath, reportPath};

    // Per package only its page's name is kept, and whether its files were
    // written: the names of a season's pages are made at the start, so that
    // they are unique, and the files are known at the end for the list.
    QStringList names;
    std::optional<PagesFolder> pages;
    QStringList ourFiles; // sorted: what the list of an earlier run names and this run may replace or remove
    auto ours = [&](const QString &name) { return std::binary_search(ourFiles.cbegin(), ourFiles.cend(), name); };
    if (wanted.pages) {
        Result<PagesFolder> opened = PagesFolder::open(options.htmlFolder);
        if (!opened)
            return usageError(pagesFolderText(opened.error(), options.htmlFolder));
        pages.emplace(std::move(*opened));
        const PagesFolder::Manifest manifest = pages->readManifest(
            [&](const QString &path) { return inputs.inputName(path).isEmpty() && !outputs.contains(path); });
        ourFiles = manifest.names;
        for (const QString &line : manifest.ignored)
            streams.message(QStringLiteral("в списке страниц %1 пропущена строка %2: это не страница этой программы.")
                                .arg(shownPath(pages->filePath(kManifestName)), quoted(line)));
        // Files that the tool did not write are never written over: a page
        // whose name is taken gets another.
        QSet<QString> reserved;
        const QStringList present = pages->entryNames();
        for (const QString &name : std::as_const(present)) {
            if (ours(name))
                continue;
            if (name.compare(kIndexPageName, Qt::CaseInsensitive) == 0)
                return usageError(QStringLiteral("в папке %1 уже есть файл %2, записанный не этой программой; "
                                                 "укажите для страниц другую папку.")
                                      .arg(shownPath(options.htmlFolder), kIndexPageName));
            for (const QLatin1String suffix : {QLatin1String(".html"), QLatin1String(".jpg")})
                if (name.endsWith(suffix, Qt::CaseInsensitive))
                    reserved.insert(name.chopped(suffix.size()).toCaseFolded());
        }
        QStringList shown;
        shown.reserve(entries.size());
        for (const Entry &entry : entries)
            shown.append(entry.kind == Entry::Package && entry.sameAs < 0 ? entry.shown() : QString());
        names = pageNames(shown, reserved);
        shown.clear();
        shown.squeeze();
        // Only a file that is there can be an input.
        auto refusal = [&](const QString &name) {
            const QString path = pages->filePath(name);
            if (outputs.contains(path))
                return QStringLiteral("%1 — это и файл страниц, и список или отчёт.").arg(shownPath(path));
            if (!std::binary_search(present.cbegin(), present.cend(), name))
                return QString();
            if (const QString input = inputs.inputName(path); !input.isEmpty())
                return QStringLiteral("страница %1 записалась бы поверх %2.").arg(shownPath(path), input);
            return QString();
        };
        for (const QString &name : {kIndexPageName, kManifestName})
            if (const QString refused = refusal(name); !refused.isEmpty())
                return usageError(refused);
        for (const QString &base : std::as_const(names))
            for (const QLatin1String suffix : {QLatin1String(".html"), QLatin1String(".jpg")})
                if (!base.isEmpty())
                    if (const QString refused = refusal(base + suffix); !refused.isEmpty())
                        return usageError(refused);
    }

    bool incomplete = false;
    std::optional<OutputFile> csv;
    std::optional<OutputFile> index;
    auto check = [&](Result<void> done, std::optional<OutputFile> *file = nullptr) {
        if (done)
            return true;
        streams.message(writeFailureText(done.error()));
        if (file)
            file->reset();
        incomplete = true;
        return false;
    };
    if (wanted.participants) {
        const QString folder = QFileInfo(csvPath).absolutePath();
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
            return usageError(QStringLiteral("не удалось создать папку %1.").arg(shownPath(folder)));
        Result<OutputFile> created = OutputFile::create(options.participantsCsv, LinkAtPath::Follow);
        if (!created)
            return usageError(writeFailureText(created.error()) + QLatin1Char('.'));
        csv.emplace(std::move(*created));
        if (Result<void> written = csv->write(csvHeader(registrations.has_value())); !written)
            return usageError(writeFailureText(written.error()) + QLatin1Char('.'));
    }
    if (wanted.pages) {
        // Listed before they are written: a run that is cut short leaves no
        // page that a later run would take for the user's.
        if (Result<void> listed = pages->writeManifest(manifestLines(ourFiles, names, nullptr)); !listed)
            return usageError(writeFailureText(listed.error()) + QLatin1Char('.'));
        Result<OutputFile> created = OutputFile::create(pages->filePath(kIndexPageName));
        if (!created)
            return usageError(writeFailureText(created.error()) + QLatin1Char('.'));
        index.emplace(std::move(*created));
        if (!check(index->write(indexStart()), &index))
            return kUsageError;
    }

    QThreadPool pool;
    const int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();
    pool.setMaxThreadCount(threads);
    const qsizetype window = qsizetype(threads) * kAheadPerThread;
    MemoryBudget budget(kBudgetBase + kBudgetPerThread * threads);

    qsizetype soundCount = 0;
    qsizetype problemCount = 0;
    qsizetype unreadCount = 0;
    QList<quint8> written(wanted.pages ? entries.size() : 0, 0); // kHtmlWritten, kJpgWritten
    QSet<QString> seenIds;
    // The outcomes of the files that have a second name, for that name's line.
    QSet<qint32> named;
    for (const Entry &entry : entries)
        if (entry.sameAs >= 0)
            named.insert(entry.sameAs);
    QHash<qint32, std::pair<Verdict, QStringList>> firstOutcomes;

    auto report = [&](const Outcome &outcome) {
        if (options.quiet && (outcome.verdict == Verdict::Sound || outcome.verdict == Verdict::Skipped))
            return;
        if (options.format == Format::Jsonl)
            streams.report(jsonLine(outcome.file,
                                    outcome.verdict == Verdict::Sound || outcome.verdict == Verdict::Skipped,
                                    outcome.problems, outcome.note));
        else
            streams.report(outcome.line.toUtf8());
    };
    // A second name of a file: its line tells what the first name's did,
    // and it counts once.
    auto reportSecondName = [&](const Entry &entry) {
        const auto &[verdict, problems] = firstOutcomes.value(entry.sameAs);
        Outcome outcome;
        outcome.file = entry.shown();
        outcome.verdict = verdict;
        outcome.problems = problems;
        outcome.note = QStringLiteral("тот же файл, что %1").arg(quoted(entries[entry.sameAs].shown()));
        outcome.line = reportLine(outcome.file, problems) + QStringLiteral(" (") + outcome.note + QLatin1Char(')');
        report(outcome);
    };

    // The packages are read on the pool; the results are taken from the front
    // of the queue in input order, so the report reads the same however the
    // threads were scheduled.
    std::deque<std::pair<qsizetype, QFuture<Outcome>>> inFlight;
    auto writeOldest = [&] {
        auto [i, future] = std::move(inFlight.front());
        inFlight.pop_front();
        if (entries[i].sameAs >= 0)
            return reportSecondName(entries[i]);
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
        case Verdict::Skipped:
            break;
        }
        if (named.contains(qint32(i)))
            firstOutcomes.insert(qint32(i), {outcome.verdict, outcome.problems});
        report(outcome);
        for (const QString &id : outcome.ids)
            seenIds.insert(id);
        for (const QString &name : outcome.written)
            written[i] |= name.endsWith(QLatin1String(".jpg")) ? kJpgWritten : kHtmlWritten;
        for (const QString &error : outcome.writeErrors) {
            streams.message(error);
            incomplete = true;
        }
        if (csv && !outcome.csvRows.isEmpty())
            check(csv->write(outcome.csvRows), &csv);
        if (index && !outcome.indexRow.isEmpty())
            check(index->write(outcome.indexRow), &index);
    };

    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (qsizetype(inFlight.size()) >= window)
            writeOldest();
        const Entry &entry = entries[i];
        if (entry.sameAs >= 0) {
            inFlight.push_back({i, QFuture<Outcome>()});
            continue;
        }
        auto promise = std::make_shared<QPromise<Outcome>>();
        inFlight.push_back({i, promise->future()});
        promise->start();
        const QString pageName = wanted.pages ? names[i] : QString();
        const QString folder = pages ? pages->path() : QString();
        pool.start([promise, &entry, pageName, wanted, folder, &budget] {
            // Nothing may escape into the pool: the package gets a line
            // whatever happened to it.
            try {
                promise->addResult(processPackage(entry, pageName, wanted, folder, &budget));
            } catch (...) {
                Outcome failed;
                failed.verdict = Verdict::Problems;
                failed.problems = {QStringLiteral("Сбой проверки")};
                failed.file = entry.shown();
                failed.line = reportLine(failed.file, failed.problems);
                promise->addResult(std::move(failed));
            }
            promise->finish();
        });
    }
    while (!inFlight.empty())
        writeOldest();

    if (registrations) {
        const QList<Registered> missing = registrations->missingFrom(seenIds);
        reportMissing(streams, missing, options.format);
        if (!reportPath.isEmpty())
            check(writeOutput(reportPath, missingRegisteredCsv(missing)));
    }
    if (csv)
        check(csv->commit());
    if (pages) {
        const bool indexWritten =
            index && check(index->write(indexEnd()), &index) && check(index->commit(false), &index);
        // The pages of earlier runs that this run did not write again belong
        // to packages that are gone or no longer sound.
        QHash<QString, qint32> byName;
        for (qsizetype i = 0; i < names.size(); ++i)
            if (!names[i].isEmpty())
                byName.insert(names[i], qint32(i));
        auto writtenNow = [&](const QString &name) {
            if (name == kIndexPageName)
                return indexWritten;
            for (const auto &[suffix, bit] :
                 {std::pair{QLatin1String(".html"), kHtmlWritten}, std::pair{QLatin1String(".jpg"), kJpgWritten}})
                if (name.endsWith(suffix))
                    if (const qint32 at = byName.value(name.chopped(suffix.size()), -1); at >= 0)
                        return (written[at] & bit) != 0;
            return false;
        };
        QStringList kept;
        for (const QString &name : std::as_const(ourFiles)) {
            if (writtenNow(name))
                continue;
            const QByteArray path = QFile::encodeName(pages->filePath(name));
            if (::unlink(path.constData()) != 0 && errno != ENOENT) {
                streams.message(QStringLiteral("не удалось удалить устаревшую страницу %1: %2")
                                    .arg(quoted(shownName(path)), systemReason(errno)));
                kept.append(name);
                incomplete = true;
            }
        }
        // The pages' renames reach the disk with the list's.
        check(pages->writeManifest(manifestLines(kept, names, &written, indexWritten)));
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
