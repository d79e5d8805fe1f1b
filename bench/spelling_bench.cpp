// Spell checking through the real window: the window thread's time per
// keystroke with checking and without (no dictionary), in a short and in a
// 10,000-word description and in the title; a 10,000-word description
// checked whole, with an empty and with a warm cache; loading the
// dictionaries; the corrections of one word. Targets: a keystroke's median
// under 1 ms, the whole description under 50 ms.

#include "full_passport.h"
#include "gui/memo_edit.h"
#include "spelling/checker.h"
#include "spelling/spell_check.h"
#include "spelling/words.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalBlocker>
#include <QSyntaxHighlighter>
#include <QTemporaryDir>
#include <algorithm>

namespace {

double ms(qint64 ns) { return ns / 1e6; }

struct Figures {
    double median = 0;
    double p90 = 0;
};

Figures figures(QList<qint64> times)
{
    std::sort(times.begin(), times.end());
    return {ms(times[times.size() / 2]), ms(times[times.size() * 9 / 10])};
}

// Words of the Russian dictionary, without their affix flags: a vocabulary
// as large as a real text's.
QStringList vocabulary(int count)
{
    QFile file(QStringLiteral("/usr/share/hunspell/ru_RU.dic"));
    QStringList all;
    if (file.open(QIODevice::ReadOnly)) {
        file.readLine();
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            const QString word = line.section(u'/', 0, 0);
            if (word.size() > 2 && word[0].isLower())
                all.append(word);
        }
    }
    QRandomGenerator random(24);
    QStringList chosen;
    while (chosen.size() < count && !all.isEmpty())
        chosen.append(all[random.bounded(int(all.size()))]);
    return chosen;
}

// About words words in paragraphs of a hundred, drawn with the skewed
// frequencies of real text; one word in fifty has two letters swapped.
QString russianText(const QStringList &vocabulary, int words, bool paragraphs)
{
    QRandomGenerator random(2009);
    QString text;
    for (int i = 0; i < words; ++i) {
        const double r = random.generateDouble();
        QString word = vocabulary[int(r * r * r * (vocabulary.size() - 1))];
        if (random.bounded(50) == 0 && word.size() > 3)
            std::swap(word[1], word[2]);
        text += word;
        text += (paragraphs && i % 100 == 99) ? QStringLiteral("\n")
                                              : (i % 12 == 11 ? QStringLiteral(". ") : QStringLiteral(" "));
    }
    return text;
}

// The window thread's time for each character typed into field, painting
// included.
QList<qint64> typingTimes(QWidget *field, const QString &text)
{
    QList<qint64> times;
    field->setFocus();
    QApplication::processEvents();
    QElapsedTimer timer;
    for (QChar c : text) {
        timer.start();
        if (c == u'\n')
            QTest::keyClick(field, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
        QApplication::processEvents();
        times.append(timer.nsecsElapsed());
    }
    return times;
}

const QString kTyped = QStringLiteral("Ученики седьмого класса напсианные стихи о весне собрали в сборник и "
                                      "подготовили его к печати, добавив рисунки и комментарии.");

struct Typing {
    Figures shortMemo, longMemo, title, millionLetters;
};

Typing measureTyping(const QString &shortText, const QString &longText)
{
    Typing result;
    {
        tt::Session session;
        spelling::sharedChecker()->waitUntilLoaded();
        // Filled as opening a package fills it.
        auto *description = session.control<gui::MemoEdit>("description");
        description->setMemoText(shortText);
        description->moveCursor(QTextCursor::End);
        result.shortMemo = figures(typingTimes(description, kTyped));
        description->setMemoText(longText);
        description->moveCursor(QTextCursor::End);
        result.longMemo = figures(typingTimes(description, kTyped));
        result.title = figures(typingTimes(session.control<QLineEdit>("title"), kTyped));
        // A million letters without a blank pasted into the title, then
        // typed after: the run is no word, and only its visible part is
        // painted.
        auto *title = session.control<QLineEdit>("title");
        title->setText(QString(1000000, u'ы'));
        title->end(false);
        result.millionLetters = figures(typingTimes(title, kTyped.left(20)));
    }
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    gui::modal::testing::install();

    // Loading, off the window thread.
    QElapsedTimer timer;
    timer.start();
    spelling::Checker *checker = spelling::sharedChecker();
    const qint64 startNs = timer.nsecsElapsed();
    checker->waitUntilLoaded();
    const qint64 loadNs = timer.nsecsElapsed();
    if (!checker->hasDictionaries()) {
        printf("spelling: no dictionaries in /usr/share/hunspell\n");
        return 1;
    }

    const QStringList words = vocabulary(4000);
    const QString shortText = russianText(words, 300, true);
    const QString longText = russianText(words, 10000, false);
    const QString longParagraphs = russianText(words, 10000, true);

    // A 10,000-word description checked whole, first with every word new to
    // the checker, then again.
    double coldMs = 0, warmMs = 0;
    int marked = 0;
    {
        // A memo of the description's size, filled before the checking is
        // attached, with a checker that has not seen a word yet.
        spelling::testing::restartSharedChecker();
        spelling::Checker *shared = spelling::sharedChecker();
        {
            const QSignalBlocker quiet(shared);
            shared->waitUntilLoaded();
        }
        QPlainTextEdit description;
        description.resize(443, 93);
        description.setPlainText(longParagraphs);
        spelling::checkAsYouType({&description});
        auto *highlighter = description.document()->findChild<QSyntaxHighlighter *>();
        timer.start();
        highlighter->rehighlight();
        coldMs = ms(timer.nsecsElapsed());
        timer.start();
        highlighter->rehighlight();
        warmMs = ms(timer.nsecsElapsed());
        for (const spelling::WordSpan &w : spelling::wordsToCheck(longParagraphs))
            marked += shared->isCorrect(longParagraphs.mid(w.start, w.length)) ? 0 : 1;
    }

    // Per keystroke, with checking and without any dictionary.
    spelling::testing::restartSharedChecker();
    const Typing with = measureTyping(shortText, longText);
    QTemporaryDir empty;
    spelling::testing::setDictionaryFolders({empty.path()});
    spelling::testing::restartSharedChecker();
    const Typing without = measureTyping(shortText, longText);
    spelling::testing::setDictionaryFolders({});

    // The corrections of a word, as the context menu asks for them.
    spelling::testing::restartSharedChecker();
    spelling::sharedChecker()->waitUntilLoaded();
    timer.start();
    const QStringList fixes = spelling::sharedChecker()->suggestions(QStringLiteral("напсианные"));
    const double suggestMs = ms(timer.nsecsElapsed());

    printf("dictionaries: loaded in %.0f ms on their own thread (the window thread spent %.2f ms)\n", ms(loadNs),
           ms(startNs));
    printf("10,000-word description (100 paragraphs, %d words marked): checked in %.1f ms with every word new, "
           "%.1f ms again (target 50 ms)\n",
           marked, coldMs, warmMs);
    auto line = [](const char *what, const Figures &w, const Figures &wo) {
        printf("keystroke, %s: median %.3f ms, 90%% %.3f ms with checking; median %.3f ms, 90%% %.3f ms without "
               "(target: median under 1 ms)\n",
               what, w.median, w.p90, wo.median, wo.p90);
    };
    line("300-word description", with.shortMemo, without.shortMemo);
    line("10,000 words in one paragraph", with.longMemo, without.longMemo);
    line("title", with.title, without.title);
    line("title after 1,000,000 letters without a blank (target: 90% under 100 ms)", with.millionLetters,
         without.millionLetters);
    printf("a keystroke after 1,000,000 letters costs %.1f times one in a short title (with checking)\n",
           with.millionLetters.median / std::max(with.title.median, 1e-6));
    printf("corrections of one word: %.0f ms (%s)\n", suggestMs, qPrintable(fixes.join(QStringLiteral(", "))));
    return 0;
}
