#include "check/package_check.h"

#include "check/html_pages.h"
#include "check/participants_csv.h"
#include "check/registrations.h"
#include "core/failure.h"
#include "core/failure_text.h"
#include "core/files.h"
#include "save/completeness.h"

#include <QFile>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <exception>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {
namespace {

// A text on one line: every control character becomes a blank.
QString oneLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line)
        if (c.unicode() < 32 || c.unicode() == 127)
            c = QLatin1Char(' ');
    return line;
}

// A problem as it stands between semicolons: on one line, without blanks
// around it or a full stop at its end.
QString asItem(const QString &problem)
{
    QString text = oneLine(problem).trimmed();
    if (text.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1String("..")))
        text.chop(1);
    return text;
}

// The window's list of missing items as one problem: "Не заполнено:
// название работы, фамилии у всех авторов".
QString missingProblem(const QList<save::MissingItem> &missing)
{
    QStringList items;
    for (const save::MissingItem &missingItem : missing) {
        QString item = save::missingItemText(missingItem);
        if (!item.isEmpty())
            item[0] = item[0].toLower();
        items.append(item);
    }
    return QStringLiteral("Не заполнено: ") + items.join(QStringLiteral(", "));
}

PackageProblem failed(const std::exception &e)
{
    return {.kind = PackageProblem::Failed, .reason = QString::fromUtf8(e.what())};
}

} // namespace

PackageProblems packageProblems(const save::ReadResult &read)
{
    PackageProblems problems;
    for (const save::ReadProblem &problem : read.problems)
        problems.push_back({.kind = PackageProblem::Read, .read = problem});
    if (read.contents) {
        const QList<save::MissingItem> missing = save::missingItems(read.contents->passport);
        if (!missing.isEmpty())
            problems.push_back({.kind = PackageProblem::Missing, .missing = missing});
    } else if (problems.isEmpty()) {
        problems.push_back({.kind = PackageProblem::NotRead});
    }
    return problems;
}

QString problemText(const PackageProblem &problem)
{
    switch (problem.kind) {
    case PackageProblem::Read:
        return asItem(save::readProblemText(problem.read));
    case PackageProblem::Missing:
        return asItem(missingProblem(problem.missing));
    case PackageProblem::NotRead:
        return QStringLiteral("Пакет не прочитан");
    case PackageProblem::Failed:
        return QStringLiteral("Сбой проверки: ") + asItem(problem.reason);
    }
    return QString();
}

QStringList problemTexts(const PackageProblems &problems)
{
    QStringList texts;
    for (const PackageProblem &problem : problems)
        texts.append(problemText(problem));
    return texts;
}

QString reportLine(const QString &file, const QStringList &problems)
{
    if (problems.isEmpty())
        return oneLine(file) + QStringLiteral(": OK");
    return oneLine(file) + QStringLiteral(": ") + problems.join(QStringLiteral("; "));
}

Outcome evaluate(const save::ReadResult &read, const QString &file, const QString &pageName, Wanted wanted,
                 const QString &indexName)
{
    Outcome outcome;
    outcome.file = file;
    try {
        outcome.problems = problemTexts(packageProblems(read));
        outcome.sound = outcome.problems.isEmpty();
        if (read.contents && wanted.registrations) {
            const PassportSnapshot &passport = read.contents->passport;
            for (qsizetype i = 0; i < passport.authors.size(); ++i)
                outcome.problems +=
                    wanted.registrations->problems(QStringLiteral("автор"), int(i + 1), passport.authors[i]);
            for (qsizetype i = 0; i < passport.teachers.size(); ++i)
                outcome.problems +=
                    wanted.registrations->problems(QStringLiteral("руководитель"), int(i + 1), passport.teachers[i]);
        }
        outcome.verdict = outcome.problems.isEmpty() ? Verdict::Sound : Verdict::Problems;
        outcome.line = reportLine(file, outcome.problems);
        if (!outcome.sound)
            return outcome;
        const PassportSnapshot &passport = read.contents->passport;
        if (wanted.participants)
            outcome.csvRows = csvRows(file, passport, wanted.registrations);
        if (wanted.pages) {
            const bool withPicture = passport.hasPicture && !read.contents->pictureJpeg.isEmpty();
            const QString pictureFile = withPicture ? pageName + QStringLiteral(".jpg") : QString();
            outcome.page = workPage(passport, pictureFile);
            if (withPicture)
                outcome.picture = read.contents->pictureJpeg;
            outcome.indexRow =
                indexRow(pageName + QStringLiteral(".html"), passport, indexName.isEmpty() ? file : indexName);
        }
    } catch (const std::exception &e) {
        outcome = Outcome();
        outcome.verdict = Verdict::Problems;
        outcome.problems = {problemText(failed(e))};
        outcome.line = reportLine(file, outcome.problems);
        outcome.file = file;
    } catch (...) {
        outcome = Outcome();
        outcome.verdict = Verdict::Problems;
        outcome.problems = {QStringLiteral("Сбой проверки")};
        outcome.line = reportLine(file, outcome.problems);
        outcome.file = file;
    }
    return outcome;
}

Outcome unread(const QString &file, const QString &reason)
{
    Outcome outcome;
    outcome.file = file;
    outcome.verdict = Verdict::Unread;
    outcome.problems = {reason};
    outcome.line = reportLine(file, outcome.problems);
    return outcome;
}

std::optional<save::ReadResult> readPackageFile(const QByteArray &path, const save::ReadOptions &options,
                                                QString *reason)
{
    // Opened without waiting: a pipe with no writer would otherwise block
    // here. Only a regular file is then read.
    int handle;
    do
        handle = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        *reason = QStringLiteral("не открывается: ") + systemReason(errno);
        return std::nullopt;
    }
    const auto closer = qScopeGuard([handle] { ::close(handle); });
    struct stat info;
    if (::fstat(handle, &info) != 0) {
        *reason = QStringLiteral("не открывается: ") + systemReason(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        *reason = S_ISDIR(info.st_mode)    ? QStringLiteral("это папка, а не файл пакета")
                  : S_ISFIFO(info.st_mode) ? QStringLiteral("это канал, а не файл пакета")
                                           : QStringLiteral("это устройство или сокет, а не файл пакета");
        return std::nullopt;
    }
    if (info.st_size > save::kMaxPackageSize) {
        // Refused by its size, as the reader refuses it, without reading.
        save::ReadResult result;
        result.problems.append({.code = save::ReadProblemCode::FileTooLarge,
                                .number = qint64(info.st_size),
                                .limit = save::kMaxPackageSize});
        return result;
    }
    // One byte beyond the size, in case the file has grown; never beyond one
    // byte over the limit, which the reader then refuses.
    const qint64 wanted = std::min<qint64>(qint64(info.st_size) + 1, save::kMaxPackageSize + 1);
    QByteArray bytes(wanted, Qt::Uninitialized);
    qint64 got = 0;
    while (got < wanted) {
        const auto n = ::read(handle, bytes.data() + got, size_t(wanted - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *reason = QStringLiteral("не читается: ") + systemReason(errno);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return save::readPackageBytes(bytes, options);
}

QString writeFailureText(const Failure &failure)
{
    return core::reportFailureText(failure, {[](const QString &file) { return shownName(QFile::encodeName(file)); },
                                             [](int error) { return systemReason(error); }});
}

Outcome processPackage(const Entry &entry, const QString &pageName, Wanted wanted, const QString &htmlFolder)
{
    if (!entry.problem.isEmpty())
        return unread(entry.shown, entry.problem);
    Outcome outcome;
    try {
        // Nothing here needs the picture's pixels: the page takes the stored
        // JPEG as it is. Verifying it refuses exactly what decoding refuses.
        save::ReadOptions options;
        options.decodePicture = false;
        QString reason;
        const std::optional<save::ReadResult> read = readPackageFile(entry.path, options, &reason);
        if (!read)
            return unread(entry.shown, reason);
        outcome = evaluate(*read, entry.shown, pageName, wanted, entry.relative);
    } catch (const std::exception &e) {
        outcome = Outcome();
        outcome.verdict = Verdict::Problems;
        outcome.problems = {QStringLiteral("Сбой чтения: ") + asItem(QString::fromUtf8(e.what()))};
        outcome.line = reportLine(entry.shown, outcome.problems);
        outcome.file = entry.shown;
        return outcome;
    } catch (...) {
        outcome = Outcome();
        outcome.verdict = Verdict::Problems;
        outcome.problems = {QStringLiteral("Сбой чтения")};
        outcome.line = reportLine(entry.shown, outcome.problems);
        outcome.file = entry.shown;
        return outcome;
    }
    if (outcome.sound && wanted.pages) {
        const QString folder = htmlFolder.endsWith(QLatin1Char('/')) ? htmlFolder : htmlFolder + QLatin1Char('/');
        try {
            // The picture first: a page is never left pointing at a picture
            // that was not written.
            if (!outcome.picture.isEmpty()) {
                core::writeFileReplacing(folder + pageName + QStringLiteral(".jpg"), outcome.picture);
                outcome.written.append(pageName + QStringLiteral(".jpg"));
            }
            core::writeFileReplacing(folder + pageName + QStringLiteral(".html"), outcome.page);
            outcome.written.append(pageName + QStringLiteral(".html"));
        } catch (const Failure &failure) {
            outcome.writeErrors.append(writeFailureText(failure));
            outcome.indexRow.clear();
        }
        outcome.page.clear();
        outcome.picture.clear();
    }
    return outcome;
}

} // namespace check
