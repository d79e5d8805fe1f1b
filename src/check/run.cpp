#include "check/run.h"

#include "check/html_pages.h"
#include "check/package_check.h"
#include "check/participants_csv.h"
#include "core/failure.h"
#include "core/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFuture>
#include <QPromise>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <deque>
#include <memory>
#include <optional>

namespace check {
namespace {

void writeLine(QIODevice &device, const QString &line) { device.write((line + QLatin1Char('\n')).toUtf8()); }

// Packages read ahead of the one being written, per thread: enough to keep
// every core busy while one package takes longer, few enough that memory
// does not grow with the number of packages.
constexpr int kAheadPerThread = 4;

} // namespace

QStringList findPackages(const QStringList &inputs, QStringList *missing)
{
    QStringList packages;
    QSet<QString> seen;
    auto take = [&](const QString &path) {
        QString key = QFileInfo(path).canonicalFilePath();
        if (key.isEmpty())
            key = QFileInfo(path).absoluteFilePath();
        if (seen.contains(key))
            return;
        seen.insert(key);
        packages.append(path);
    };
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (!info.exists()) {
            missing->append(input);
        } else if (info.isDir()) {
            // Hidden files (editors' and archivers' leftovers such as
            // "._work.kwp") and linked folders are passed over.
            QStringList found;
            QDirIterator it(input, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (path.endsWith(QLatin1String(".kwp"), Qt::CaseInsensitive))
                    found.append(path);
            }
            found.sort();
            for (const QString &path : found)
                take(path);
        } else {
            take(input);
        }
    }
    return packages;
}

int run(const RunOptions &options, QIODevice &out, QIODevice &err)
{
    QStringList missing;
    const QStringList packages = findPackages(options.inputs, &missing);
    int status = kAllSound;

    const Wanted wanted{!options.participantsCsv.isEmpty(), !options.htmlFolder.isEmpty()};
    std::optional<core::ReplacingFile> csv;
    std::optional<core::ReplacingFile> index;
    QStringList names;
    try {
        if (wanted.participants) {
            csv.emplace(options.participantsCsv);
            csv->write(csvHeader());
        }
        if (wanted.pages) {
            if (!QDir().mkpath(options.htmlFolder) || !QFileInfo(options.htmlFolder).isDir()) {
                writeLine(err, QStringLiteral("Не удалось создать папку \"%1\".")
                                   .arg(QDir::toNativeSeparators(options.htmlFolder)));
                return kUsageError;
            }
            index.emplace(QDir(options.htmlFolder).filePath(kIndexPageName));
            index->write(indexStart());
            names = pageNames(packages);
        }
    } catch (const Failure &failure) {
        writeLine(err, failureText(failure));
        return kUsageError;
    }

    for (const QString &input : missing) {
        writeLine(out, reportLine(input, {QStringLiteral("Нет такого файла или папки")}));
        status = kSomeNotSound;
    }
    if (packages.isEmpty() && missing.isEmpty()) {
        writeLine(err, QStringLiteral("Пакеты (*.kwp) не найдены."));
        status = kSomeNotSound;
    }

    QThreadPool pool;
    const int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();
    pool.setMaxThreadCount(threads);
    const qsizetype window = qsizetype(threads) * kAheadPerThread;

    // The packages are read on the pool; the results are taken from the front
    // of the queue in input order, so the report reads the same however the
    // threads were scheduled.
    std::deque<QFuture<Outcome>> inFlight;
    auto writeOldest = [&] {
        QFuture<Outcome> future = std::move(inFlight.front());
        inFlight.pop_front();
        future.waitForFinished();
        const Outcome outcome = future.takeResult();
        writeLine(out, outcome.line);
        if (!outcome.sound)
            status = kSomeNotSound;
        for (const QString &error : outcome.writeErrors) {
            writeLine(err, error);
            status = kSomeNotSound;
        }
        try {
            if (csv && !outcome.csvRows.isEmpty())
                csv->write(outcome.csvRows);
        } catch (const Failure &failure) {
            writeLine(err, failureText(failure));
            csv.reset();
            status = kSomeNotSound;
        }
        try {
            if (index && !outcome.indexRow.isEmpty())
                index->write(outcome.indexRow);
        } catch (const Failure &failure) {
            writeLine(err, failureText(failure));
            index.reset();
            status = kSomeNotSound;
        }
    };

    for (qsizetype i = 0; i < packages.size(); ++i) {
        if (qsizetype(inFlight.size()) >= window)
            writeOldest();
        auto promise = std::make_shared<QPromise<Outcome>>();
        inFlight.push_back(promise->future());
        promise->start();
        const QString path = packages[i];
        const QString pageName = wanted.pages ? names[i] : QString();
        const QString folder = options.htmlFolder;
        pool.start([promise, path, pageName, wanted, folder] {
            // Nothing may escape into the pool: the package gets a line
            // whatever happened to it.
            try {
                promise->addResult(processPackage(path, path, pageName, wanted, folder));
            } catch (...) {
                Outcome failed;
                failed.line = reportLine(path, {QStringLiteral("Сбой проверки")});
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
        writeLine(err, failureText(failure));
        status = kSomeNotSound;
    }
    try {
        if (index) {
            index->write(indexEnd());
            index->commit();
        }
    } catch (const Failure &failure) {
        writeLine(err, failureText(failure));
        status = kSomeNotSound;
    }
    return status;
}

} // namespace check
