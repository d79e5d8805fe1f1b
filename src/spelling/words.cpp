#include "spelling/words.h"

#include "spelling/checker.h"

#include <QFile>
#include <QRegularExpression>

namespace spelling {
namespace {

bool isWordCharacter(QChar c) { return c.isLetterOrNumber() || c.isMark() || c == u'_'; }

bool isJoiner(QChar c)
{
    // Apostrophes (typewriter and typographic) and hyphens (hyphen-minus,
    // the Unicode hyphen and the non-breaking hyphen).
    return c == u'\'' || c == u'\u2019' || c == u'-' || c == u'\u2010' || c == u'\u2011';
}

bool isLatinLetter(QChar c) { return c.isLetter() && c.script() == QChar::Script_Latin; }

// Latin capitals and nothing else ("HTML", "C").
bool isLatinCapitals(QStringView part)
{
    if (part.isEmpty())
        return false;
    for (QChar c : part)
        if (!isLatinLetter(c) || !c.isUpper())
            return false;
    return true;
}

bool hasDigitOrUnderscore(QStringView part)
{
    for (QChar c : part)
        if (c.isNumber() || c == u'_')
            return true;
    return false;
}

// Punctuation that may stand around an address without being part of it.
bool isOpeningPunctuation(QChar c)
{
    return c == u'(' || c == u'[' || c == u'{' || c == u'<' || c == u'"' || c == u'\'' || c == u'\u00ab'
           || c == u'\u201e' || c == u'\u201c' || c == u'\u2018';
}

bool isClosingPunctuation(QChar c)
{
    return c == u')' || c == u']' || c == u'}' || c == u'>' || c == u'"' || c == u'\'' || c == u'\u00bb'
           || c == u'\u201d' || c == u'\u2019' || c == u'.' || c == u',' || c == u';' || c == u':' || c == u'!'
           || c == u'?' || c == u'\u2026';
}

// An e-mail address or a web address: "ivanov@school.ru", "https://…",
// "www.kovirta.ru", "kovirta.ru/works".
bool isAddress(QStringView chunk)
{
    while (!chunk.isEmpty() && isOpeningPunctuation(chunk.front()))
        chunk = chunk.sliced(1);
    while (!chunk.isEmpty() && isClosingPunctuation(chunk.back()))
        chunk.chop(1);
    if (chunk.isEmpty())
        return false;
    const qsizetype at = chunk.indexOf(u'@');
    if (at > 0 && at < chunk.size() - 1)
        return true;
    if (chunk.contains(u"://") || chunk.startsWith(u"www.", Qt::CaseInsensitive))
        return true;
    if (!chunk.contains(u'.'))
        return false;
    // A host name of Latin letters, digits and hyphens with a Latin top-level
    // domain, and perhaps a path.
    static const QRegularExpression host(QStringLiteral("^[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)*\\.[A-Za-z]{2,}(/.*)?$"));
    return host.match(chunk.toString()).hasMatch();
}

bool isHyphen(QChar c) { return c == u'-' || c == u'\u2010' || c == u'\u2011'; }

// Adds the words of one run of letters, digits and joiners.
void addToken(QStringView text, qsizetype start, qsizetype end, QList<WordSpan> &words)
{
    const QStringView token = text.sliced(start, end - start);
    if (hasDigitOrUnderscore(token))
        return;
    // An abbreviation of two or more capitals; a single capital letter
    // ("I", "A") is an English word.
    if (token.size() >= 2 && isLatinCapitals(token))
        return;
    // The parts between hyphens; apostrophes stay inside a part.
    QList<WordSpan> parts;
    qsizetype partStart = start;
    for (qsizetype i = start; i <= end; ++i) {
        if (i == end || isHyphen(text[i])) {
            parts.append({partStart, i - partStart});
            partStart = i + 1;
        }
    }
    bool abbreviation = false;
    for (const WordSpan &part : parts)
        abbreviation = abbreviation || isLatinCapitals(text.sliced(part.start, part.length));
    if (parts.size() == 1 || !abbreviation) {
        words.append({start, end - start});
        return;
    }
    for (const WordSpan &part : parts)
        if (!isLatinCapitals(text.sliced(part.start, part.length)))
            words.append(part);
}

} // namespace

QList<WordSpan> wordsToCheck(QStringView text)
{
    QList<WordSpan> words;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        const qsizetype chunkStart = i;
        while (i < n && !text[i].isSpace())
            ++i;
        const qsizetype chunkEnd = i;
        if (chunkStart == chunkEnd || isAddress(text.sliced(chunkStart, chunkEnd - chunkStart)))
            continue;
        // The tokens of the chunk: word characters, joined by single
        // apostrophes or hyphens that stand between word characters.
        qsizetype j = chunkStart;
        while (j < chunkEnd) {
            while (j < chunkEnd && !isWordCharacter(text[j]))
                ++j;
            if (j == chunkEnd)
                break;
            const qsizetype tokenStart = j;
            while (j < chunkEnd) {
                if (isWordCharacter(text[j]))
                    ++j;
                else if (isJoiner(text[j]) && j + 1 < chunkEnd && isWordCharacter(text[j + 1]))
                    ++j;
                else
                    break;
            }
            // One letter with a full stop is an initial or an abbreviation
            // ("А. С. Пушкин", "т.е.", "2009 г.").
            if (j - tokenStart == 1 && j < chunkEnd && text[j] == u'.')
                continue;
            addToken(text, tokenStart, j, words);
        }
    }
    return words;
}

WordSpan wordAt(QStringView text, qsizetype position)
{
    for (const WordSpan &word : wordsToCheck(text)) {
        if (word.start > position)
            break;
        if (position <= word.end())
            return word;
    }
    return {};
}

QStringList supplementaryWords()
{
    QFile file(QStringLiteral(":/spelling/school_words.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList words;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty() && !entry.startsWith(u'#'))
            words.append(entry);
    }
    return words;
}

} // namespace spelling
