#include "check/package_check.h"

#include "check/html_pages.h"
#include "check/participants_csv.h"
#include "core/failure.h"
#include "core/files.h"
#include "save/completeness.h"

#include <QDir>
#include <exception>

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

QString failureText(const Failure &failure)
{
    const FailureDetails &d = failure.details();
    const QString file = QDir::toNativeSeparators(d.file);
    switch (failure.code()) {
    case FailureCode::CannotOpenFile:
        return QStringLiteral("Cannot open file \"%1\". %2").arg(file, d.reason);
    case FailureCode::CannotCreateFile:
    case FailureCode::CannotWriteFile:
        return QStringLiteral("Cannot create file \"%1\". %2").arg(file, d.reason);
    default:
        // Nothing else reaches the report; its summary names it.
        return QString::fromUtf8(failure.what());
    }
}

QString reportLine(const QString &file, const QStringList &problems)
{
    if (problems.isEmpty())
        return oneLine(file) + QStringLiteral(": OK");
    return oneLine(file) + QStringLiteral(": ") + problems.join(QStringLiteral("; "));
}

Outcome evaluate(const save::ReadResult &read, const QString &file, const QString &pageName, Wanted wanted)
{
    Outcome outcome;
    try {
        const QStringList problems = problemTexts(packageProblems(read));
        outcome.line = reportLine(file, problems);
        outcome.sound = problems.isEmpty();
        if (!outcome.sound)
            return outcome;
        const PassportSnapshot &passport = read.contents->passport;
        if (wanted.participants)
            outcome.csvRows = csvRows(file, passport);
        if (wanted.pages) {
            const bool withPicture = passport.hasPicture && !read.contents->pictureJpeg.isEmpty();
            const QString pictureFile = withPicture ? pageName + QStringLiteral(".jpg") : QString();
            outcome.page = workPage(passport, pictureFile);
            if (withPicture)
                outcome.picture = read.contents->pictureJpeg;
            outcome.indexRow = indexRow(pageName + QStringLiteral(".html"), passport, file);
        }
    } catch (const std::exception &e) {
        outcome = Outcome();
        outcome.line = reportLine(file, {problemText(failed(e))});
    } catch (...) {
        outcome = Outcome();
        outcome.line = reportLine(file, {QStringLiteral("Сбой проверки")});
    }
    return outcome;
}

Outcome processPackage(const QString &path, const QString &file, const QString &pageName, Wanted wanted,
                       const QString &htmlFolder)
{
    Outcome outcome;
    try {
        // Nothing here needs the picture's pixels: the page takes the stored
        // JPEG as it is. Verifying it refuses exactly what decoding refuses.
        save::ReadOptions options;
        options.decodePicture = false;
        outcome = evaluate(save::readPackage(path, options), file, pageName, wanted);
    } catch (const std::exception &e) {
        outcome = Outcome();
        outcome.line = reportLine(file, {QStringLiteral("Сбой чтения: ") + asItem(QString::fromUtf8(e.what()))});
        return outcome;
    } catch (...) {
        outcome = Outcome();
        outcome.line = reportLine(file, {QStringLiteral("Сбой чтения")});
        return outcome;
    }
    if (outcome.sound && wanted.pages) {
        const QDir folder(htmlFolder);
        try {
            // The picture first: a page is never left pointing at a picture
            // that was not written.
            if (!outcome.picture.isEmpty())
                core::writeFileReplacing(folder.filePath(pageName + QStringLiteral(".jpg")), outcome.picture);
            core::writeFileReplacing(folder.filePath(pageName + QStringLiteral(".html")), outcome.page);
        } catch (const Failure &failure) {
            outcome.writeErrors.append(failureText(failure));
            outcome.indexRow.clear();
        }
        outcome.page.clear();
        outcome.picture.clear();
    }
    return outcome;
}

} // namespace check
