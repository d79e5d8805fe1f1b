#include "core/passport.h"

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

namespace {
bool isControlOrBlank(QChar c) { return c.unicode() <= 32; }
} // namespace

QString trimControls(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isControlOrBlank(text[begin]))
        ++begin;
    while (end > begin && isControlOrBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

bool isBlank(const QString &text)
{
    for (QChar c : text)
        if (!isControlOrBlank(c))
            return false;
    return true;
}

QString publishedDescription(const QString &description)
{
    if (description.size() <= kPublishedDescriptionLength)
        return description;
    qsizetype length = kPublishedDescriptionLength;
    const QChar last = description[length - 1];
    const QChar next = description[length];
    if (last.isHighSurrogate() && next.isLowSurrogate())
        --length;
    else if (last == QLatin1Char('\r') && next == QLatin1Char('\n'))
        --length;
    return description.left(length);
}
