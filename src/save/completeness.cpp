#include "save/completeness.h"

namespace save {
namespace {

// The item for the first participant who lacks a name part, or for an empty
// list; Nothing when every participant is complete.
MissingItem participantGap(const QList<TPersonRecord> &people, MissingItem::Item item)
{
    if (people.isEmpty())
        return {item};
    for (int i = 0; i < people.size(); ++i)
        for (QString TPersonRecord::*part : {&TPersonRecord::Surname, &TPersonRecord::Name, &TPersonRecord::Patronymic})
            if (core::isBlank(people[i].*part))
                return {item, i, part};
    return {};
}

} // namespace

QList<MissingItem> missingItems(const PassportSnapshot &passport)
{
    QList<MissingItem> missing;
    if (core::isBlank(passport.title))
        missing.push_back({MissingItem::Title});
    if (core::isBlank(passport.description))
        missing.push_back({MissingItem::Description});
    if (passport.subjectSlots[0] == 0)
        missing.push_back({MissingItem::Sections});
    for (const MissingItem &gap : {participantGap(passport.authors, MissingItem::Authors),
                                   participantGap(passport.teachers, MissingItem::Teachers)})
        if (gap.item != MissingItem::Nothing)
            missing.append(gap);
    return missing;
}

FirstMissing firstMissing(const PassportSnapshot &passport)
{
    const QList<MissingItem> missing = missingItems(passport);
    return missing.isEmpty() ? FirstMissing{} : missing.constFirst();
}

QString missingItemText(const MissingItem &item)
{
    const bool authors = item.item == MissingItem::Authors;
    switch (item.item) {
    case MissingItem::Nothing:
        break;
    case MissingItem::Title:
        return QStringLiteral("Название работы");
    case MissingItem::Description:
        return QStringLiteral("Описание работы");
    case MissingItem::Sections:
        return QStringLiteral("Не задан ни один раздел");
    case MissingItem::Authors:
    case MissingItem::Teachers:
        if (item.person < 0)
            return authors ? QStringLiteral("Не указан ни один автор")
                           : QStringLiteral("Не указан ни один руководитель");
        if (item.part == &TPersonRecord::Surname)
            return authors ? QStringLiteral("Фамилии у всех авторов") : QStringLiteral("Фамилии у всех руководителей");
        if (item.part == &TPersonRecord::Name)
            return authors ? QStringLiteral("Имена у всех авторов") : QStringLiteral("Имена у всех руководителей");
        return authors ? QStringLiteral("Отчества у всех авторов") : QStringLiteral("Отчества у всех руководителей");
    }
    return QString();
}

QString incompleteText(const QList<MissingItem> &missing)
{
    QString text = QStringLiteral("Для записи электронного паспорта в файл необходимо заполнить следующие поля:\n\n");
    for (const MissingItem &item : missing)
        text += QStringLiteral(" - ") + missingItemText(item) + QLatin1Char('\n');
    return text + QStringLiteral("\nПаспорт работы не сохранен.");
}

} // namespace save
