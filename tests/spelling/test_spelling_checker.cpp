// The checker: the system's dictionaries, the user's own dictionary, and
// what happens without dictionaries.

#include "core/failure.h"
#include "spelling/checker.h"

#include "fixtures.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using spelling::Checker;

namespace {

const QString kSystemFolder = QStringLiteral("/usr/share/hunspell");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSpellingChecker : public QObject {
    Q_OBJECT
    QTemporaryDir folder;
    // The system's dictionaries, loaded once for the tests that only read.
    std::unique_ptr<Checker> system;

    QString path(const QString &name) const { return QDir(folder.path()).filePath(name); }
    Checker::Places places(const QStringList &folders = {kSystemFolder}) const
    {
        return {folders, path(QStringLiteral("data/словарь.txt"))};
    }

private slots:
    void initTestCase()
    {
        tt::log::install("tirlada.spelling");
        QVERIFY2(QFile::exists(kSystemFolder + QStringLiteral("/ru_RU.dic")), "hunspell-ru is not installed");
        QVERIFY2(QFile::exists(kSystemFolder + QStringLiteral("/en_US.dic")), "hunspell-en-us is not installed");
        system = std::make_unique<Checker>(Checker::Places{{kSystemFolder}, path(QStringLiteral("none/словарь.txt"))});
        system->waitUntilLoaded();
        QVERIFY(system->hasDictionaries());
    }
    void init()
    {
        tt::log::lines().clear();
        QDir(path(QStringLiteral("data"))).removeRecursively();
    }

    void words_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("correct");
        QTest::newRow("Russian") << "написанные" << true;
        QTest::newRow("misspelt") << "напсианные" << false;
        QTest::newRow("capitalised") << "Сборник" << true;
        QTest::newRow("capitals") << "СБОРНИК" << true;
        QTest::newRow("yo") << "ёлка" << true;
        QTest::newRow("stress mark") << "за\u0301мок" << true;
        QTest::newRow("English") << "Windows" << true;
        QTest::newRow("English misspelt") << "Windos" << false;
        QTest::newRow("apostrophe") << "don't" << true;
        QTest::newRow("typographic apostrophe") << "don’t" << true;
        QTest::newRow("hyphenated") << "что-нибудь" << true;
        QTest::newRow("Latin C in a Russian word") << "Cтих" << false;
        QTest::newRow("unknown name") << "Тирлада" << false;
    }
    void words()
    {
        QFETCH(QString, word);
        QFETCH(bool, correct);
        QCOMPARE(system->isCorrect(word), correct);
        // And again, from the cache.
        QCOMPARE(system->isCorrect(word), correct);
        QVERIFY(tt::log::lines().isEmpty());
    }

    void suggestions()
    {
        const QStringList found = system->suggestions(QStringLiteral("напсианные"));
        QVERIFY2(found.contains(QStringLiteral("написанные")), qPrintable(found.join(u' ')));
        QVERIFY(found.size() <= 5);
        QCOMPARE(system->suggestions(QStringLiteral("напсианные"), 2), found.mid(0, 2));
        QVERIFY(system->suggestions(QStringLiteral("progam")).contains(QStringLiteral("program")));
    }

    void everythingIsCorrectWhileLoading()
    {
        Checker checker(places());
        if (!checker.isLoaded())
            QVERIFY(checker.isCorrect(QStringLiteral("напсианные")));
        QSignalSpy loaded(&checker, &Checker::wordsChanged);
        QVERIFY(loaded.wait(30000) || checker.isLoaded());
        QVERIFY(!checker.isCorrect(QStringLiteral("напсианные")));
    }

    void addedWordIsKnownAfterARestart()
    {
        // A word another run added in the meantime is kept.
        QDir().mkpath(path(QStringLiteral("data")));
        {
            Checker checker(places());
            checker.waitUntilLoaded();
            writeFile(places().personalDictionary, "Ковирта\n");
            QSignalSpy changed(&checker, &Checker::wordsChanged);
            QVERIFY(checker.addToDictionary(QStringLiteral("Тирлада")));
            QCOMPARE(changed.count(), 1);
            QVERIFY(checker.isCorrect(QStringLiteral("Тирлада")));
        }
        QCOMPARE(readFile(places().personalDictionary), QStringLiteral("Ковирта\nТирлада\n").toUtf8());
        Checker restarted(places());
        restarted.waitUntilLoaded();
        QVERIFY(restarted.isCorrect(QStringLiteral("Тирлада")));
        QVERIFY(restarted.isCorrect(QStringLiteral("ТИРЛАДА")));
        QVERIFY(restarted.isCorrect(QStringLiteral("Ковирта")));
        QVERIFY(!restarted.isCorrect(QStringLiteral("тирлада")));
    }

    void dataFolderIsMadeWhenMissing()
    {
        Checker checker(places());
        checker.waitUntilLoaded();
        QVERIFY(checker.addToDictionary(QStringLiteral("тирлада")));
        QCOMPARE(readFile(places().personalDictionary), QStringLiteral("тирлада\n").toUtf8());
        // A lower-case entry also covers the word at the start of a sentence.
        QVERIFY(checker.isCorrect(QStringLiteral("Тирлада")));
    }

    void ignoredWordIsForgottenAfterARestart()
    {
        {
            Checker checker(places());
            checker.waitUntilLoaded();
            checker.ignore(QStringLiteral("напсианные"));
            QVERIFY(checker.isCorrect(QStringLiteral("напсианные")));
        }
        QVERIFY(!QFile::exists(places().personalDictionary));
        Checker restarted(places());
        restarted.waitUntilLoaded();
        QVERIFY(!restarted.isCorrect(QStringLiteral("напсианные")));
    }

    void unwritableDictionaryChangesNothing()
    {
        writeFile(path(QStringLiteral("plain-file")), "x");
        Checker checker({{kSystemFolder}, path(QStringLiteral("plain-file/словарь.txt"))});
        checker.waitUntilLoaded();
        QSignalSpy changed(&checker, &Checker::wordsChanged);
        QVERIFY(!checker.addToDictionary(QStringLiteral("Тирлада")));
        QVERIFY(!checker.isCorrect(QStringLiteral("Тирлада")));
        QCOMPARE(changed.count(), 0);
    }

    // The likeliest correction first: the closest by edit distance, a
    // wrong vowel closest of all, in Hunspell's order among equally close.
    void suggestionsComeClosestFirst_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("first");
        QTest::newRow("превет") << "превет"
                                << "привет";
        QTest::newRow("сабака") << "сабака"
                                << "собака";
        QTest::newRow("exampel") << "exampel"
                                 << "example";
    }
    void suggestionsComeClosestFirst()
    {
        QFETCH(QString, word);
        QFETCH(QString, first);
        Checker checker(places());
        checker.waitUntilLoaded();
        const QStringList suggestions = checker.suggestions(word, 5);
        QVERIFY(!suggestions.isEmpty());
        QVERIFY2(suggestions.first() == first, qPrintable(suggestions.join(u", ")));
    }

    // Words of today's school work that the dictionaries lack are known,
    // with their endings where they decline.
    void schoolWordsAreKnown_data()
    {
        QTest::addColumn<QString>("word");
        for (const char *word :
             {"нейросеть", "нейросети", "Нейросетью", "экзопланета", "экзопланеты", "селфи", "Wi-Fi", "Minecraft"})
            QTest::newRow(word) << QString::fromUtf8(word);
    }
    void schoolWordsAreKnown()
    {
        QFETCH(QString, word);
        Checker checker(places());
        checker.waitUntilLoaded();
        QVERIFY(checker.hasDictionaries());
        QVERIFY(checker.isCorrect(word));
        // Still a checker: a misspelling next to it is marked.
        QVERIFY(!checker.isCorrect(QStringLiteral("нейросеьт")));
    }

    // A run of letters longer than Hunspell checks is no word: never
    // marked, and never handed to the dictionaries.
    void overlongWordsAreNotChecked()
    {
        Checker checker(places());
        checker.waitUntilLoaded();
        const qint64 before = spelling::checkedCharacters();
        QVERIFY(checker.isCorrect(QString(Checker::kMaxWordLength + 1, u'ы')));
        QVERIFY(checker.isCorrect(QString(1000000, u'ы')));
        QVERIFY(checker.suggestions(QString(1000000, u'ы')).isEmpty());
        QCOMPARE(spelling::checkedCharacters(), before);
        QVERIFY(!checker.isCorrect(QString(Checker::kMaxWordLength, u'ы')));
    }

    void oversizedDictionaryIsNeitherReadNorOverwritten()
    {
        QDir().mkpath(path(QStringLiteral("data")));
        const QByteArray big = QByteArray("Тирлада\n").repeated(600000);
        writeFile(places().personalDictionary, big);
        Checker checker(places());
        checker.waitUntilLoaded();
        QVERIFY(!checker.isCorrect(QStringLiteral("Тирлада")));
        QCOMPARE(tt::log::lines().size(), 1);
        QVERIFY(!checker.addToDictionary(QStringLiteral("Ковирта")));
        QCOMPARE(readFile(places().personalDictionary).size(), big.size());
    }

    void withoutDictionariesNothingIsMarked()
    {
        QDir().mkpath(path(QStringLiteral("empty")));
        Checker checker(places({path(QStringLiteral("empty"))}));
        checker.waitUntilLoaded();
        QVERIFY(!checker.hasDictionaries());
        QVERIFY(checker.isCorrect(QStringLiteral("напсианные")));
        QVERIFY(checker.suggestions(QStringLiteral("напсианные")).isEmpty());
        QCOMPARE(tt::log::lines().size(), 1);
        QVERIFY2(tt::log::lines().constFirst().contains(QStringLiteral("no spelling dictionary")),
                 qPrintable(tt::log::lines().constFirst()));
    }

    void aMissingAlphabetIsNotMarked()
    {
        // Only the Russian dictionary: English words are not marked, Russian
        // ones are checked.
        const QString ru = path(QStringLiteral("ru-only"));
        QDir().mkpath(ru);
        for (const char *suffix : {".aff", ".dic"})
            QVERIFY(QFile::link(kSystemFolder + QStringLiteral("/ru_RU") + QLatin1String(suffix),
                                ru + QStringLiteral("/ru_RU") + QLatin1String(suffix)));
        Checker checker(places({ru}));
        checker.waitUntilLoaded();
        QVERIFY(checker.isCorrect(QStringLiteral("Windos")));
        QVERIFY(!checker.isCorrect(QStringLiteral("напсианные")));
        QCOMPARE(tt::log::lines().size(), 1);
        QVERIFY(tt::log::lines().constFirst().contains(QStringLiteral("en_US")));
    }

    void eightBitDictionary()
    {
        // A dictionary in KOI8-R, as older hunspell-ru packages ship it.
        const QString koi = path(QStringLiteral("koi8"));
        QDir().mkpath(koi);
        QStringEncoder toKoi8("KOI8-R");
        QVERIFY(toKoi8.isValid());
        writeFile(koi + QStringLiteral("/ru_RU.aff"),
                  toKoi8(QStringLiteral("SET KOI8-R\nTRY оаеинтсрвлкмдпуяызьбгчйхжюшцщэфёъ\n")));
        writeFile(koi + QStringLiteral("/ru_RU.dic"), toKoi8(QStringLiteral("3\nкошка\nсобака\nдом\n")));
        Checker checker(places({koi}));
        checker.waitUntilLoaded();
        QVERIFY(checker.hasDictionaries());
        QVERIFY(checker.isCorrect(QStringLiteral("кошка")));
        QVERIFY(checker.isCorrect(QStringLiteral("Собака")));
        QVERIFY(!checker.isCorrect(QStringLiteral("кошко")));
        // A letter KOI8-R does not have: no such word in the dictionary.
        QVERIFY(!checker.isCorrect(QStringLiteral("кошкаї")));
        QVERIFY(checker.suggestions(QStringLiteral("кошко")).contains(QStringLiteral("кошка")));
    }
};

QTEST_GUILESS_MAIN(TestSpellingChecker)
#include "test_spelling_checker.moc"
