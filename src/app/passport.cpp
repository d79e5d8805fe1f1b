#include "app/passport.h"

std::array<QString, kSubjectCount + 1> defaultSubjectNames()
{
    return {
        QString(),
        QStringLiteral("Астрономия, космонавтика и авиация"),
        QStringLiteral("Биология"),
        QStringLiteral("География"),
        QStringLiteral("История, археология"),
        QStringLiteral("Искусствоведение"),
        QStringLiteral("Лингвистика (русский и иностранные языки)"),
        QStringLiteral("Литературоведение"),
        QStringLiteral("Математика"),
        QStringLiteral("Религиоведение"),
        QStringLiteral("Экономика, социология и право"),
        QStringLiteral("Физика"),
        QStringLiteral("Химия"),
        QStringLiteral("Здоровье человека"),
        QStringLiteral("Физкультура и спорт"),
        QStringLiteral("Экология"),
        QStringLiteral("Художественное творчество"),
        QStringLiteral("Техническое творчество"),
        QStringLiteral("Информационные технологии"),
        QStringLiteral("Литературное творчество"),
        QStringLiteral("Музыкальное творчество"),
        QStringLiteral("Краеведение"),
        QStringLiteral("В помощь учителю"),
    };
}

QString memoTextToPassport(const QString &plainText)
{
    // QPlainTextEdit gives bare LF (and U+2029 for a paragraph break in rare
    // paths); the passport counts a line break as CR LF.
    QString text = plainText;
    text.replace(QChar(0x2029), QLatin1Char('\n'));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

QString passportTextToMemo(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return plain;
}
