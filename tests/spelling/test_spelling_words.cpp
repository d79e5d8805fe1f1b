// Which parts of a text are words to check.

#include "spelling/words.h"

#include <QTest>

using spelling::WordSpan;

namespace {

QStringList wordsOf(const QString &text)
{
    QStringList words;
    for (const WordSpan &word : spelling::wordsToCheck(text))
        words << text.mid(word.start, word.length);
    return words;
}

} // namespace

class TestSpellingWords : public QObject {
    Q_OBJECT
private slots:
    void wordsToCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("plain") << "Сборник стихов о весне" << QStringList{"Сборник", "стихов", "о", "весне"};
        QTest::newRow("punctuation") << "«Весна», — сказал он; (вот!)" << QStringList{"Весна", "сказал", "он", "вот"};
        QTest::newRow("line breaks and tabs") << "один\r\nдва\tтри" << QStringList{"один", "два", "три"};
        QTest::newRow("hyphenated") << "кто-то из-за угла" << QStringList{"кто-то", "из-за", "угла"};
        QTest::newRow("dashes part words") << "слово—слово" << QStringList{"слово", "слово"};
        QTest::newRow("apostrophe inside") << "don't и д’Артаньян" << QStringList{"don't", "и", "д’Артаньян"};
        QTest::newRow("quotes around") << "'цитата'" << QStringList{"цитата"};
        QTest::newRow("digits") << "ученики 7-го класса, MP3, 2009г, Т-34" << QStringList{"ученики", "класса"};
        QTest::newRow("Latin capitals") << "файлы HTML и USB-C" << QStringList{"файлы", "и"};
        QTest::newRow("abbreviation in a hyphenated word") << "PDF-файл" << QStringList{"файл"};
        QTest::newRow("one Latin capital is a word") << "I и A" << QStringList{"I", "и", "A"};
        QTest::newRow("Cyrillic capitals are checked") << "МГУ" << QStringList{"МГУ"};
        QTest::newRow("mixed case is checked") << "iPhone" << QStringList{"iPhone"};
        QTest::newRow("e-mail") << "пишите ivanov@school.ru!" << QStringList{"пишите"};
        QTest::newRow("e-mail in brackets") << "(ivanov@school.ru)" << QStringList{};
        QTest::newRow("web address") << "см https://kovirta.ru/works?id=5." << QStringList{"см"};
        QTest::newRow("www") << "www.kovirta.ru" << QStringList{};
        QTest::newRow("host and path") << "kovirta.ru/works" << QStringList{};
        QTest::newRow("not a host: Cyrillic") << "слово.другое" << QStringList{"слово", "другое"};
        QTest::newRow("initials and abbreviations") << "А. С. Пушкин, т.е. 2009 г." << QStringList{"Пушкин"};
        QTest::newRow("identifier") << "snake_case" << QStringList{};
        QTest::newRow("stress mark stays in the word") << "за\u0301мок" << QStringList{"за\u0301мок"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("only punctuation") << " -- ... !" << QStringList{};
    }
    void wordsToCheck()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QCOMPARE(wordsOf(text), words);
    }

    void wordAt_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("word");
        // "один напсианные три"
        QTest::newRow("start of a word") << 5 << "напсианные";
        QTest::newRow("inside") << 8 << "напсианные";
        QTest::newRow("just after") << 15 << "напсианные";
        QTest::newRow("first word") << 0 << "один";
        QTest::newRow("end of text") << 19 << "три";
        QTest::newRow("after the text") << 25 << "";
    }
    void wordAt()
    {
        QFETCH(int, position);
        QFETCH(QString, word);
        const QString text = QStringLiteral("один напсианные три");
        const WordSpan span = spelling::wordAt(text, position);
        QCOMPARE(text.mid(span.start, span.length), word);
    }

    void wordAtSkipsWhatIsNoWord()
    {
        const QString text = QStringLiteral("HTML 7-го ivanov@school.ru");
        for (int i = 0; i <= text.size(); ++i)
            QCOMPARE(spelling::wordAt(text, i).length, 0);
    }
};

QTEST_GUILESS_MAIN(TestSpellingWords)
#include "test_spelling_words.moc"
