#pragma once

// Which parts of a text are words to check. Text with digits ("7-го",
// "MP3"), Latin abbreviations in capitals ("HTML", "USB-C"), e-mail
// addresses and web addresses are not words, and are never marked; nor is a
// single letter with a full stop (an initial, "т.е.").

#include <QList>
#include <QStringView>

namespace spelling {

struct WordSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    friend bool operator==(const WordSpan &, const WordSpan &) = default;
};

// The words of text to check, in order. A word is a run of letters, with
// apostrophes and hyphens between letters ("кто-то", "don't"); in a
// hyphenated word a Latin abbreviation is left out and the other parts are
// checked on their own ("PDF-файл": "файл").
QList<WordSpan> wordsToCheck(QStringView text);

// The word to check that holds position, or touches it from either side (the
// text cursor just after a word stands on that word). length 0 when none.
WordSpan wordAt(QStringView text, qsizetype position);

} // namespace spelling
