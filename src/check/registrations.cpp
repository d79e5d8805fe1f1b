#include "check/registrations.h"

#include <QStringDecoder>
#include <array>
#include <tuple>

namespace check {
namespace {

QString quoted(const QString &text) { return QStringLiteral("«") + text + QStringLiteral("»"); }

// The file's text: a byte order mark decides; otherwise UTF-8 when the bytes
// are valid UTF-8, else Windows-1251 (what Excel writes as "CSV" on a
// Russian Windows).
QString decoded(const QByteArray &bytes)
{
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
    QStringDecoder cp1251("windows-1251");
    return cp1251.decode(bytes);
}

// The records of a CSV text as RFC 4180 reads them: fields split at the
// delimiter, records at CR LF or LF, a field in double quotes may hold the
// delimiter, line breaks and doubled quotes. maxRecords: stop after so many.
QList<QStringList> records(const QString &text, QChar delimiter, qsizetype maxRecords = -1)
{
    QList<QStringList> result;
    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    auto endRecord = [&] {
        record.append(field);
        field.clear();
        fieldStarted = false;
        if (!(record.size() == 1 && record[0].isEmpty()))
            result.append(record);
        record.clear();
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

QString formattedId(const QString &digits)
{
    return digits.left(3) + QLatin1Char('-') + digits.mid(3, 3) + QLatin1Char('-') + digits.mid(6);
}

} // namespace

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
    QString result;
    result.reserve(name.size());
    for (const QChar c : name)
        if (!c.isSpace())
            result += c;
    result = result.toCaseFolded();
    result.replace(QChar(0x0451), QChar(0x0435)); // ё → е
    return result;
}

std::optional<Registrations> Registrations::parse(const QByteArray &bytes, QString *error)
{
    const QString text = decoded(bytes);
    // The delimiter is the one that splits the header row into the columns
    // sought.
    QChar delimiter;
    Columns columns;
    for (const QChar candidate : {QChar(u';'), QChar(u','), QChar(u'\t')}) {
        const QList<QStringList> header = records(text, candidate, 1);
        if (header.isEmpty())
            break;
        columns = columnsOf(header.first());
        if (columns.complete()) {
            delimiter = candidate;
            break;
        }
    }
    if (delimiter.isNull()) {
        *error = QStringLiteral("в первой строке нет столбцов «ID» (или «Номер»), «Фамилия», «Имя» и «Отчество»");
        return std::nullopt;
    }
    Registrations registrations;
    const QList<QStringList> rows = records(text, delimiter);
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList &row = rows[r];
        auto field = [&](qsizetype column) { return column < row.size() ? row[column].trimmed() : QString(); };
        const QString digits = idDigits(field(columns.id));
        if (digits.isEmpty() || registrations.people_.contains(digits))
            continue;
        registrations.people_.insert(digits, {field(columns.surname), field(columns.name), field(columns.patronymic)});
    }
    return registrations;
}

QStringList Registrations::problems(const QString &role, int number, const TPersonRecord &person) const
{
    const QString digits = idDigits(person.Id);
    // An ID that is not nine digits is the package's own problem, already
    // named by the check of the package.
    if (digits.isEmpty())
        return {};
    const QString who = QStringLiteral("%1 %2 (ID %3)").arg(role).arg(number).arg(formattedId(digits));
    const auto found = people_.constFind(digits);
    if (found == people_.constEnd())
        return {who + QStringLiteral(" не зарегистрирован")};
    QStringList problems;
    const std::array<std::tuple<const char *, QString, QString>, 3> fields{{
        {"фамилия", person.Surname, found->surname},
        {"имя", person.Name, found->name},
        {"отчество", person.Patronymic, found->patronymic},
    }};
    for (const auto &[field, inPackage, registered] : fields)
        if (comparableName(inPackage) != comparableName(registered))
            problems.append(QStringLiteral("%1: %2 в пакете %3, а при регистрации %4")
                                .arg(who, QString::fromUtf8(field), quoted(inPackage.trimmed()), quoted(registered)));
    return problems;
}

bool Registrations::matches(const TPersonRecord &person) const
{
    const QString digits = idDigits(person.Id);
    const auto found = people_.constFind(digits);
    return !digits.isEmpty() && found != people_.constEnd()
           && comparableName(person.Surname) == comparableName(found->surname)
           && comparableName(person.Name) == comparableName(found->name)
           && comparableName(person.Patronymic) == comparableName(found->patronymic);
}

} // namespace check
