#include "fixtures.h"

#include "participants/participant_id.h"

namespace tt {

TPersonRecord person(const QString &id, const QString &surname, const QString &name, const QString &patronymic)
{
    return TPersonRecord{id, surname, name, patronymic};
}

QString checkedId(int n)
{
    const QString seven = QString::number(1000000 + n);
    const QString nine = seven + participants::participantIdCheckDigits(seven);
    return nine.left(3) + QLatin1Char('-') + nine.mid(3, 3) + QLatin1Char('-') + nine.mid(6);
}

PassportSnapshot fullPassport()
{
    PassportSnapshot s;
    s.title = QStringLiteral("Весна в городе");
    s.description = QStringLiteral("Стихи и рисунки\r\nо весне");
    s.techRequest = QStringLiteral("Браузер");
    s.manual = QStringLiteral("Открыть страницу\r\nи читать");
    s.postIndex = QStringLiteral("123456");
    s.postAddress = QStringLiteral("г. Москва, ул. Весенняя, д. 1");
    s.phone = QStringLiteral("+7 495 123-45-67");
    s.email = QStringLiteral("school@example.org");
    s.notes = QStringLiteral("Спасибо!");
    s.subjectSlots = {3, 7, 15, 22};
    s.subjectNames = core::defaultSubjectNames();
    s.seasonId = 4;
    s.seasonName = QStringLiteral("2008/2009 учебный год");
    s.authors = {person(checkedId(1), QStringLiteral("Петров"), QStringLiteral("Пётр"), QStringLiteral("Петрович")),
                 person(checkedId(2), QStringLiteral("Иванова"), QStringLiteral("Мария"), QString())};
    s.teachers = {person(checkedId(3), QStringLiteral("Сидорова"), QStringLiteral("Анна"), QStringLiteral("Ивановна")),
                  person(checkedId(4), QStringLiteral("Кузнецов"), QStringLiteral("Иван"), QStringLiteral("Павлович"))};
    s.leaderIndex = 1;
    s.pictureCaption = QStringLiteral("Обложка");
    return s;
}

namespace log {
namespace {
QByteArray recordedCategory;
QtMessageHandler previousHandler = nullptr;

void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (recordedCategory == context.category)
        lines().append(message);
    previousHandler(type, context, message);
}
} // namespace

void install(const char *category)
{
    recordedCategory = category;
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(record);
}

QStringList &lines()
{
    static QStringList recorded;
    return recorded;
}
} // namespace log

} // namespace tt
