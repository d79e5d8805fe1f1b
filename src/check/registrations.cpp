#include "check/registrations.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <tuple>

namespace check {
namespace {

QString quoted(const QString &text) { return QStringLiteral("«") + text + QStringLiteral("»"); }

// The file's text: a byte order mark decides; otherwise UTF-8 when the bytes
// are valid UTF-8, else Windows-1251 (what Excel writes as "CSV" on a
// Russian Windows). unicode: whether the text was UTF-8 or UTF-16.
QString decoded(const QByteArray &bytes, bool *unicode)
{
    *unicode = true;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        return utf16.decode(bytes.mid(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    *unicode = false;
    QStringDecoder cp1251("windows-1251");
    return cp1251.decode(bytes);
}

// A byte that no Windows-1251 text holds: 0x98, which the code page leaves
// unassigned.
bool notWindows1251(const QByteArray &bytes) { return bytes.contains('\x98'); }

// Whether a text decoded as Windows-1251 reads as Russian: mostly lowercase
// Cyrillic, as names and headers are. KOI8-R and other code pages read back
// mostly in capitals.
bool readsAsRussian(const QString &text)
{
    qsizetype lower = 0;
    qsizetype upper = 0;
    for (const QChar c : text) {
        if (c.script() != QChar::Script_Cyrillic)
            continue;
        if (c.isLower())
            ++lower;
        else if (c.isUpper())
            ++upper;
    }
    return lower >= upper;
}

// One record of a CSV text, with the row it starts on (the first row being
// 1), as a spreadsheet numbers them.
struct Record {
    int row = 0;
    QStringList fields;
};

// The records of a CSV text as RFC 4180 reads them: fields split at the
// delimiter, records at CR LF or LF, a field in double quotes may hold the
// delimiter, line breaks and doubled quotes. Empty rows are passed over but
// counted. maxRecords: stop after so many.
QList<Record> records(const QString &text, QChar delimiter, qsizetype maxRecords = -1)
{
    QList<Record> result;
    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int row = 1;
    auto endRecord = [&] {
        record.append(field);
        field.clear();
        fieldStarted = false;
        if (!(record.size() == 1 && record[0].isEmpty()))
            result.append({row, record});
        record.clear();
        ++row;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (maxRecords >= 0 && result.size() >= maxRecords)
            return result;
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == u'"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == delimiter) {
            record.append(field);
            field.clear();
            fieldStarted = false;
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            // CR LF ends the record at the LF.
        } else if (c == u'\n' || c == u'\r') {
            endRecord();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (!field.isEmpty() || !record.isEmpty())
        endRecord();
    return result;
}

QString headerKey(const QString &header) { return comparableName(header); }

struct Columns {
    qsizetype id = -1;
    qsizetype surname = -1;
    qsizetype name = -1;
    qsizetype patronymic = -1;
    bool complete() const { return id >= 0 && surname >= 0 && name >= 0 && patronymic >= 0; }
};

Columns columnsOf(const QStringList &header)
{
    Columns columns;
    qsizetype number = -1;
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QString key = headerKey(header[i]);
        if (key == QLatin1String("id") && columns.id < 0)
            columns.id = i;
        else if (key == QStringLiteral("номер") && number < 0)
            number = i;
        else if (key == QStringLiteral("фамилия") && columns.surname < 0)
            columns.surname = i;
        else if (key == QStringLiteral("имя") && columns.name < 0)
            columns.name = i;
        else if (key == QStringLiteral("отчество") && columns.patronymic < 0)
            columns.patronymic = i;
    }
    if (columns.id < 0)
        columns.id = number;
    return columns;
}

} // namespace

QString formattedId(const QString &digits)
{
    return digits.left(3) + QLatin1Char('-') + digits.mid(3, 3) + QLatin1Char('-') + digits.mid(6);
}

QString idDigits(const QString &id)
{
    QString digits;
    for (const QChar c : id) {
        if (c.isDigit() && c.unicode() < 128)
            digits += c;
        else if (c != u'-' && !c.isSpace())
            return QString();
    }
    return digits.size() == 9 ? digits : QString();
}

QString comparableName(const QString &name)
{
    const QString composed = name.normalized(QString::NormalizationForm_C);
    QString result;
    result.reserve(composed.size());
    for (const QChar c : composed)
        if (!c.isSpace())
            result += c;
    result = result.toCaseFolded();
    result.replace(QChar(0x0451), QChar(0x0435)); // ё → е
    return result;
}

namespace {

// Each Latin letter inside a word that also has Cyrillic letters, with its
// word.
QList<std::pair<QChar, QString>> latinLetters(const QString &text)
{
    QList<std::pair<QChar, QString>> found;
    auto isLatin = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    auto isCyrillic = [](QChar c) { return c.script() == QChar::Script_Cyrillic && c.isLetter(); };
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i].isLetter())
            continue;
        const QString word = text.mid(start, i - start);
        start = i + 1;
        if (std::any_of(word.cbegin(), word.cend(), isCyrillic))
            for (const QChar c : word)
                if (isLatin(c))
                    found.append({c, word});
    }
    return found;
}

} // namespace

QStringList latinInCyrillic(const QString &text)
{
    QStringList texts;
    for (const auto &[letter, word] : latinLetters(text))
        texts.append(QStringLiteral("латинская буква «%1» в «%2»").arg(letter).arg(word));
    return texts;
}

QString rowProblemText(const RowProblem &problem)
{
    switch (problem.kind) {
    case RowProblem::MalformedId:
        return problem.text.isEmpty()
                   ? QStringLiteral("строка %1: нет ID").arg(problem.row)
                   : QStringLiteral("строка %1: ID %2 — не девять цифр").arg(problem.row).arg(quoted(problem.text));
    case RowProblem::DuplicateId:
        return QStringLiteral("строка %1: ID %2 уже есть в строке %3 с другим именем")
            .arg(problem.row)
            .arg(formattedId(problem.text))
            .arg(problem.firstRow);
    case RowProblem::LatinInCyrillic:
        return QStringLiteral("строка %1: латинская буква «%2» в «%3»")
            .arg(problem.row)
            .arg(problem.text, problem.word);
    }
    return QString();
}

Result<Registrations> Registrations::parse(const QByteArray &bytes)
{
    bool unicode = true;
    const QString text = decoded(bytes, &unicode);
    // The delimiter is the one that splits the header row into the columns
    // sought.
    QChar delimiter;
    Columns columns;
    for (const QChar candidate : {QChar(u';'), QChar(u','), QChar(u'\t')}) {
        const QList<Record> header = records(text, candidate, 1);
        if (header.isEmpty())
            break;
        columns = columnsOf(header.first().fields);
        if (columns.complete()) {
            delimiter = candidate;
            break;
        }
    }
    // A NUL is in no text of a spreadsheet's (UTF-16 without its mark has
    // one in every other byte).
    const bool encodingWrong = text.contains(QChar(0)) || (!unicode && notWindows1251(bytes));
    if (delimiter.isNull() || encodingWrong)
        return Unexpected(
            Failure(FailureCode::CannotReadFile,
                    {.name = encodingWrong || (!unicode && !readsAsRussian(text)) ? QStringLiteral("encoding")
                                                                                  : QStringLiteral("columns")}));
    Registrations registrations;
    const QList<Record> rows = records(text, delimiter);
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList &row = rows[r].fields;
        const int number = rows[r].row;
        auto field = [&](qsizetype column) {
            return column < row.size() ? row[column].trimmed().normalized(QString::NormalizationForm_C) : QString();
        };
        Registered person{number, idDigits(field(columns.id)), field(columns.surname), field(columns.name),
                          field(columns.patronymic)};
        if (person.id.isEmpty()) {
            registrations.rowProblems_.append(
                {.kind = RowProblem::MalformedId, .row = number, .text = field(columns.id)});
            continue;
        }
        for (const QString &part : {person.surname, person.name, person.patronymic})
            for (const auto &[letter, word] : latinLetters(part))
                registrations.rowProblems_.append(
                    {.kind = RowProblem::LatinInCyrillic, .row = number, .text = letter, .word = word});
        QList<int> &same = registrations.byId_[person.id];
        bool known = false;
        for (const int index : std::as_const(same)) {
            const Registered &first = registrations.people_[index];
            if (comparableName(first.surname) == comparableName(person.surname)
                && comparableName(first.name) == comparableName(person.name)
                && comparableName(first.patronymic) == comparableName(person.patronymic)) {
                known = true;
                break;
            }
        }
        if (known)
            continue;
        if (!same.isEmpty())
            registrations.rowProblems_.append({.kind = RowProblem::DuplicateId,
                                               .row = number,
                                               .firstRow = registrations.people_[same.first()].row,
                                               .text = person.id});
        same.append(int(registrations.people_.size()));
        registrations.people_.append(std::move(person));
    }
    return registrations;
}

Match Registrations::match(const TPersonRecord &person) const
{
    const QString digits = idDigits(person.Id);
    if (digits.isEmpty())
        return Match::NoId;
    const auto found = byId_.constFind(digits);
    if (found == byId_.constEnd())
        return Match::NotRegistered;
    for (const int index : *found) {
        const Registered &registered = people_[index];
        if (comparableName(person.Surname) == comparableName(registered.surname)
            && comparableName(person.Name) == comparableName(registered.name)
            && comparableName(person.Patronymic) == comparableName(registered.patronymic))
            return Match::Registered;
    }
    return Match::NameDiffers;
}

QStringList Registrations::problems(const QString &role, int number, const TPersonRecord &person) const
{
    // An ID that is not nine digits is the package's own problem, already
    // named by the check of the package.
    const Match how = match(person);
    if (how == Match::NoId || how == Match::Registered)
        return {};
    const QString digits = idDigits(person.Id);
    const QString who = QStringLiteral("%1 %2 (ID %3)").arg(role).arg(number).arg(formattedId(digits));
    if (how == Match::NotRegistered)
        return {who + QStringLiteral(" не зарегистрирован")};
    // Named against the first registration of the ID.
    const Registered &found = people_[byId_.value(digits).first()];
    QStringList problems;
    const std::array<std::tuple<const char *, QString, QString>, 3> fields{{
        {"фамилия", person.Surname, found.surname},
        {"имя", person.Name, found.name},
        {"отчество", person.Patronymic, found.patronymic},
    }};
    for (const auto &[field, inPackage, registered] : fields) {
        if (comparableName(inPackage) == comparableName(registered))
            continue;
        QString problem = QStringLiteral("%1: %2 в пакете %3, а при регистрации %4")
                              .arg(who, QString::fromUtf8(field), quoted(inPackage.trimmed()), quoted(registered));
        QStringList latin = latinInCyrillic(inPackage) + latinInCyrillic(registered);
        if (!latin.isEmpty())
            problem += QStringLiteral(" (") + latin.join(QStringLiteral(", ")) + QLatin1Char(')');
        problems.append(problem);
    }
    return problems;
}

QList<Registered> Registrations::missingFrom(const QSet<QString> &seen) const
{
    QList<Registered> missing;
    for (const Registered &person : people_)
        if (!seen.contains(person.id))
            missing.append(person);
    return missing;
}

} // namespace check
