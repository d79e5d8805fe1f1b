#pragma once

// Festival participant IDs: nine decimal digits written XXX-XXX-XXX, whose
// last two digits are check digits derived from the first seven through MD5.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <optional>

namespace participants {

// The lowest and the highest nine-digit number that the ID dialog lets
// through.
inline constexpr qint64 kLowestParticipantId = 100000001;
inline constexpr qint64 kHighestParticipantId = 999999998;

// The text without surrounding blanks and control characters (codes 0 to
// 32) and without any "-" or " ".
QString stripParticipantId(const QString &text);

// MD5 of the bytes as 32 lowercase hexadecimal digits.
QString md5Hex(const QByteArray &bytes);

// The two check digits "00" to "99" for the first seven characters of an ID,
// taken as Windows-1251 bytes: the first digest byte n mapped to
// n * 99 / 255 rounded to the nearest integer.
QString participantIdCheckDigits(const QString &firstSeven);

// True when a typed character may enter the ID field: a digit, ".", "-" or
// " " (backspace is a key, not a character, and always passes).
bool isParticipantIdKey(QChar character);

// The ID dialog's rule for its button: after stripping, exactly nine ASCII
// digits forming a number from 100000001 to 999999998.
bool isWellFormedParticipantId(const QString &text);

// Tests the entered text against its check digits. On a match, the stripped
// ID with a "-" after its third and its sixth character; otherwise nothing.
std::optional<QString> formatCheckedParticipantId(const QString &entered);

} // namespace participants
