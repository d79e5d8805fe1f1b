#include "participants/participant_id.h"

#include "core/passport.h"

#include <QCryptographicHash>
#include <QStringEncoder>

namespace participants {

QString stripParticipantId(const QString &text)
{
    QString s = core::trimControls(text);
    s.remove(QLatin1Char('-'));
    s.remove(QLatin1Char(' '));
    return s;
}

QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString participantIdCheckDigits(const QString &firstSeven)
{
    // One encoder per thread: making one costs more than the check itself,
    // and an encoder is not shared between threads.
    thread_local QStringEncoder toCp1251("windows-1251", QStringEncoder::Flag::Stateless);
    const QByteArray bytes = toCp1251.encode(firstSeven);
    const int n = md5Hex(bytes).left(2).toInt(nullptr, 16);
    // n * 99 / 255 never ends in exactly one half, so adding 127 before the
    // integer division rounds to the nearest.
    const int x = (n * 99 + 127) / 255;
    return QStringLiteral("%1").arg(x, 2, 10, QLatin1Char('0'));
}

bool isParticipantIdKey(QChar character)
{
    const char16_t c = character.unicode();
    return (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u' ';
}

bool isWellFormedParticipantId(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QString s = stripParticipantId(text);
    if (s.size() != 9)
        return false;
    qint64 value = 0;
    for (QChar c : s) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value >= kLowestParticipantId && value <= kHighestParticipantId;
}

std::optional<QString> formatCheckedParticipantId(const QString &entered)
{
    const QString s = stripParticipantId(entered);
    if (participantIdCheckDigits(s.left(7)) != s.mid(7, 2))
        return std::nullopt;
    return s.left(3) + QLatin1Char('-') + s.mid(3, 3) + QLatin1Char('-') + s.mid(6);
}

} // namespace participants
