#include "core/passport.h"

namespace core {

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

QString memoTextToPassport(const QString &rawText)
{
    // A memo's document keeps Enter as U+2029 and Shift+Enter as U+2028;
    // text set or pasted may still carry CR LF, a lone CR or a lone LF. Each
    // of them shows as a line break and becomes one CR LF. Nothing else is
    // touched: a no-break space stays a no-break space.
    QString text;
    text.reserve(rawText.size() + rawText.size() / 8);
    for (qsizetype i = 0; i < rawText.size(); ++i) {
        const QChar c = rawText[i];
        switch (c.unicode()) {
        case '\r':
            if (i + 1 < rawText.size() && rawText[i + 1] == QLatin1Char('\n'))
                ++i;
            Q_FALLTHROUGH();
        case '\n':
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
            text += QLatin1String("\r\n");
            break;
        default:
            text += c;
        }
    }
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

qsizetype characterCount(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

QString publishedDescription(const QString &description)
{
    // Walk 500 characters, a surrogate pair being one.
    qsizetype length = 0;
    for (int counted = 0; counted < kPublishedDescriptionLength && length < description.size(); ++counted) {
        if (description[length].isHighSurrogate() && length + 1 < description.size()
            && description[length + 1].isLowSurrogate())
            ++length;
        ++length;
    }
    if (length >= description.size())
        return description;
    // A CR LF pair is never split: the CR goes with its LF.
    if (description[length - 1] == QLatin1Char('\r') && description[length] == QLatin1Char('\n'))
        --length;
    return description.left(length);
}

} // namespace core
