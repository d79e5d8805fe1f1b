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
QString problemText(const QString &problem)
{
    QString text = oneLine(problem).trimmed();
    if (text.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1String("..")))
        text.chop(1);
    return text;
}

// The window's list of missing items as one problem: "Не заполнено:
// название работы, фамилии у всех авторов".
QString missingProblem(const QStringList &missing)
{
    QStringList items;
    for (const QString &line : missing) {
        QString item = line.trimmed();
        if (item.startsWith(QLatin1String("- ")))
            item.remove(0, 2);
        if (!item.isEmpty())
            item[0] = item[0].toLower();
        items.append(item);
    }
    return QStringLiteral("Не заполнено: ") + items.join(QStringLiteral(", "));
}

} // namespace

QStringList packageProblems(const save::ReadResult &read)
{
    QStringList problems;
    for (const QString &problem : read.problems)
        problems.append(problemText(problem));
    if (read.contents) {
        const QStringList missing = save::missingItems(read.contents->passport);
        if (!missing.isEmpty())
            problems.append(missingProblem(missing));
    } else if (problems.isEmpty()) {
        problems.append(QStringLiteral("Пакет не прочитан"));
    }
    return problems;
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
        const QStringList problems = packageProblems(read);
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
        outcome.line = reportLine(file, {QStringLiteral("Сбой проверки: ") + problemText(QString::fromUtf8(e.what()))});
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
        outcome.line = reportLine(file, {QStringLiteral("Сбой чтения: ") + problemText(QString::fromUtf8(e.what()))});
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
            outcome.writeErrors.append(failure.message());
            outcome.indexRow.clear();
        }
        outcome.page.clear();
        outcome.picture.clear();
    }
    return outcome;
}

} // namespace check
