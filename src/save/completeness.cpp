#include "save/completeness.h"

#include <optional>
#include <utility>

namespace save {
namespace {

struct PersonLines {
    QString none;
    QString surname;
    QString name;
    QString patronymic;
};

// The first participant who lacks a name part, and that part; person -1
// for an empty list. Nothing when every participant is complete.
std::optional<std::pair<int, QString TPersonRecord::*>> participantGap(const QList<TPersonRecord> &people)
{
    if (people.isEmpty())
        return std::pair<int, QString TPersonRecord::*>{-1, nullptr};
    for (int i = 0; i < people.size(); ++i)
        for (QString TPersonRecord::*part : {&TPersonRecord::Surname, &TPersonRecord::Name, &TPersonRecord::Patronymic})
            if (core::isBlank(people[i].*part))
                return std::pair{i, part};
    return std::nullopt;
}

// Appends the line for the first participant who lacks a name part, or the
// line for an empty list.
void checkParticipants(const QList<TPersonRecord> &people, const PersonLines &lines, QStringList &missing)
{
    const auto gap = participantGap(people);
    if (!gap)
        return;
    if (gap->first < 0)
        missing.append(lines.none);
    else if (gap->second == &TPersonRecord::Surname)
        missing.append(lines.surname);
    else if (gap->second == &TPersonRecord::Name)
        missing.append(lines.name);
    else
        missing.append(lines.patronymic);
}

} // namespace

QStringList missingItems(const PassportSnapshot &passport)
{
    QStringList missing;
    if (core::isBlank(passport.title))
        missing.append(QStringLiteral(" - Название работы\n"));
    if (core::isBlank(passport.description))
        missing.append(QStringLiteral(" - Описание работы\n"));
    if (passport.subjectSlots[0] == 0)
        missing.append(QStringLiteral(" - Не задан ни один раздел\n"));
    checkParticipants(passport.authors,
                      {QStringLiteral(" - Не указан ни один автор\n"), QStringLiteral(" - Фамилии у всех авторов\n"),
                       QStringLiteral(" - Имена у всех авторов\n"), QStringLiteral(" - Отчества у всех авторов\n")},
                      missing);
    checkParticipants(
        passport.teachers,
        {QStringLiteral(" - Не указан ни один руководитель\n"), QStringLiteral(" - Фамилии у всех руководителей\n"),
         QStringLiteral(" - Имена у всех руководителей\n"), QStringLiteral(" - Отчества у всех руководителей\n")},
        missing);
    return missing;
}

FirstMissing firstMissing(const PassportSnapshot &passport)
{
    if (core::isBlank(passport.title))
        return {FirstMissing::Title};
    if (core::isBlank(passport.description))
        return {FirstMissing::Description};
    if (passport.subjectSlots[0] == 0)
        return {FirstMissing::Sections};
    if (const auto gap = participantGap(passport.authors))
        return {FirstMissing::Authors, gap->first, gap->second};
    if (const auto gap = participantGap(passport.teachers))
        return {FirstMissing::Teachers, gap->first, gap->second};
    return {};
}

QString incompleteText(const QStringList &missing)
{
    return QStringLiteral("Для записи электронного паспорта в файл необходимо заполнить следующие поля:\n\n")
           + missing.join(QString()) + QStringLiteral("\nПаспорт работы не сохранен.");
}

} // namespace save
