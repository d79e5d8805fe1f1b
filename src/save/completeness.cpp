#include "save/completeness.h"

namespace save {
namespace {

struct PersonLines {
    QString none;
    QString surname;
    QString name;
    QString patronymic;
};

// Appends the line for the first participant who lacks a name part, or the
// line for an empty list.
void checkParticipants(const QList<TPersonRecord> &people, const PersonLines &lines, QStringList &missing)
{
    if (people.isEmpty()) {
        missing.append(lines.none);
        return;
    }
    for (const TPersonRecord &person : people) {
        if (isBlank(person.Surname)) {
            missing.append(lines.surname);
            return;
        }
        if (isBlank(person.Name)) {
            missing.append(lines.name);
            return;
        }
        if (isBlank(person.Patronymic)) {
            missing.append(lines.patronymic);
            return;
        }
    }
}

} // namespace

QStringList missingItems(const PassportSnapshot &passport)
{
    QStringList missing;
    if (isBlank(passport.title))
        missing.append(QStringLiteral(" - Название работы\n"));
    if (isBlank(passport.description))
        missing.append(QStringLiteral(" - Описание работы\n"));
    if (passport.subjectSlots[0] == 0)
        missing.append(QStringLiteral(" - Не задан ни один раздел\n"));
    checkParticipants(passport.authors,
                      {QStringLiteral(" - Не указан ни один автор\n"),
                       QStringLiteral(" - Фамилии у всех авторов\n"),
                       QStringLiteral(" - Имена у всех авторов\n"),
                       QStringLiteral(" - Отчества у всех авторов\n")},
                      missing);
    checkParticipants(passport.teachers,
                      {QStringLiteral(" - Не указан ни один руководитель\n"),
                       QStringLiteral(" - Фамилии у всех руководителей\n"),
                       QStringLiteral(" - Имена у всех руководителей\n"),
                       QStringLiteral(" - Отчества у всех руководителей\n")},
                      missing);
    return missing;
}

QString incompleteText(const QStringList &missing)
{
    return QStringLiteral("Для записи электронного паспорта в файл необходимо заполнить следующие поля:\n\n")
           + missing.join(QString()) + QStringLiteral("\nПаспорт работы не сохранен.");
}

} // namespace save
