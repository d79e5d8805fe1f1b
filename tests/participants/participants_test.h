#pragma once

// Helpers of the participants tests: typing any text the way a keyboard
// does, and IDs with correct check digits.

#include "participants/participant_id.h"

#include <QTest>
#include <QWidget>

namespace pt {

// Types the text one character at a time as key presses. Unlike
// QTest::keyClicks it also types characters outside Latin-1 (Cyrillic).
inline void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        const auto key = Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}

// The nine digits of a valid ID whose first seven are 1000000 + n.
inline QString validId(int n)
{
    const QString seven = QString::number(1000000 + n);
    return seven + participants::participantIdCheckDigits(seven);
}

// The same nine digits as the lists show them.
inline QString formatted(const QString &nine)
{
    return nine.left(3) + QLatin1Char('-') + nine.mid(3, 3) + QLatin1Char('-') + nine.mid(6);
}

} // namespace pt
