#include "check/participants_csv.h"

#include "check/registrations.h"

#include <QStringList>
#include <algorithm>

namespace check {
namespace {

QByteArray csvLine(const QStringList &fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString &field : fields)
        quoted.append(csvField(field));
    return (quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace

QString matchText(Match match)
{
    switch (match) {
    case Match::Registered:
        return QStringLiteral("да");
    case Match::NotRegistered:
        return QStringLiteral("не зарегистрирован");
    case Match::NameDiffers:
        return QStringLiteral("имя отличается");
    case Match::NoId:
        break;
    }
    return QStringLiteral("нет ID");
}

QByteArray csvHeader(bool withRegistrations)
{
    // Excel reads a CSV file as UTF-8 only when it starts with a byte order
    // mark; without one it takes the system's ANSI code page and shows the
    // Cyrillic as mojibake. LibreOffice and Python's "utf-8-sig" recognise
    // the mark and drop it.
    QStringList header{QStringLiteral("Пакет"),  QStringLiteral("Название работы"), QStringLiteral("Роль"),
                       QStringLiteral("Номер"),  QStringLiteral("ID участника"),    QStringLiteral("Фамилия"),
                       QStringLiteral("Имя"),    QStringLiteral("Отчество"),        QStringLiteral("Получатель счёта"),
                       QStringLiteral("Разделы")};
    if (withRegistrations)
        header.append(QStringLiteral("Совпадает с регистрацией"));
    return QByteArray("\xEF\xBB\xBF") + csvLine(header);
}

QString csvField(const QString &value)
{
    QString field = value;
    if (!field.isEmpty()) {
        // Spreadsheets skip blanks before a formula: " =1+1" and "\u00a0=1+1"
        // are formulas too.
        qsizetype i = 0;
        while (i < field.size() && (field[i] == u' ' || field[i] == u'\t' || field[i] == QChar(0x00A0)))
            ++i;
        const QChar first = i < field.size() ? field[i] : QChar();
        if (first == u'=' || first == u'+' || first == u'-' || first == u'@' || field[0] == u'\t' || field[0] == u'\r')
            field.prepend(QLatin1Char('\''));
    }
    // Quoted wherever a spreadsheet could split the field: at a comma, at
    // a semicolon (the list separator of a Russian Excel), at a TAB.
    static const QString kSplitting = QStringLiteral(",;\"\t\r\n");
    if (std::any_of(field.cbegin(), field.cend(), [](QChar c) { return kSplitting.contains(c); })) {
        field.replace(QLatin1String("\""), QLatin1String("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

QString sectionList(const PassportSnapshot &passport)
{
    QStringList names;
    for (qint32 number : passport.subjectSlots)
        if (number >= 1 && number <= kSubjectCount)
            names.append(passport.subjectNames[number]);
    return names.join(QStringLiteral("; "));
}

QByteArray csvRows(const QString &packageFile, const PassportSnapshot &passport, const Registrations *registrations)
{
    const QString sections = sectionList(passport);
    QByteArray rows;
    auto add = [&](const QString &role, qsizetype index, const TPersonRecord &person, const QString &recipient) {
        QStringList fields{packageFile, passport.title, role,        QString::number(index + 1),
                           person.Id,   person.Surname, person.Name, person.Patronymic,
                           recipient,   sections};
        if (registrations)
            fields.append(matchText(registrations->match(person)));
        rows += csvLine(fields);
    };
    for (qsizetype i = 0; i < passport.authors.size(); ++i)
        add(QStringLiteral("автор"), i, passport.authors[i], QString());
    for (qsizetype i = 0; i < passport.teachers.size(); ++i)
        add(QStringLiteral("руководитель"), i, passport.teachers[i],
            i == passport.leaderIndex ? QStringLiteral("да") : QStringLiteral("нет"));
    return rows;
}

} // namespace check
