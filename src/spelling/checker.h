#pragma once

// Spell checking with Hunspell: the Russian and the American English
// dictionaries where Debian installs them, and the user's own dictionary, a
// plain UTF-8 word list in the program's data folder.
//
// Loading the dictionaries takes a fraction of a second, so it runs on a
// thread of its own; until it is done every word counts as correct, and
// wordsChanged() tells when to check the shown texts again. Everything else
// runs on the thread that made the checker.

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

class QThread;

namespace spelling {

class Checker : public QObject {
    Q_OBJECT
public:
    struct Places {
        // Searched in order for "ru_RU" and "en_US" (.aff and .dic).
        QStringList dictionaryFolders;
        // The user's own dictionary.
        QString personalDictionary;
    };

    // Where the program's checker looks: /usr/share/hunspell, and
    // "словарь.txt" in the program's data folder.
    static Places defaultPlaces();

    explicit Checker(Places places, QObject *parent = nullptr);
    ~Checker() override;

    // The dictionaries have been loaded (or found missing).
    bool isLoaded() const { return loaded_; }
    // Waits until the dictionaries are loaded (tests, benchmarks, the
    // screenshots).
    void waitUntilLoaded();
    // At least one dictionary is loaded: words are checked at all.
    bool hasDictionaries() const;

    // False for a word that no dictionary knows. A word counts as correct
    // while the dictionaries are loading, when none is installed, and when
    // none of its script is (a Latin word without the English dictionary).
    bool isCorrect(const QString &word);

    // Up to max corrections of word, best first.
    QStringList suggestions(const QString &word, int max = 5);

    // Adds word to the user's dictionary file, so that it is known from now
    // on and in later runs. Throws Failure when the file cannot be written;
    // then nothing has changed.
    void addToDictionary(const QString &word);
    // Takes word as correct for the rest of the run.
    void ignore(const QString &word);

    // What the loading thread hands over.
    struct Dictionaries;

signals:
    // The dictionaries were loaded or a word was added or ignored: texts
    // already checked are to be checked again.
    void wordsChanged();

private:
    void takeLoaded();
    bool isKnownWord(const QString &word) const;

    Places places_;
    QThread *loader_ = nullptr;
    std::unique_ptr<Dictionaries> pending_; // written by the loader
    std::unique_ptr<Dictionaries> dictionaries_;
    bool loaded_ = false;
    QSet<QString> personal_;
    QSet<QString> ignored_;
    QHash<QString, bool> results_;
    QHash<QString, QStringList> suggestions_;
};

// The program's one checker, made on first use (and its dictionaries then
// start loading). It lives as long as the application.
Checker *sharedChecker();

namespace testing {
// Drops the program's checker, as if the program ended: the next
// sharedChecker() reads the dictionaries and the user's file again.
void restartSharedChecker();
// Where the next checker made by sharedChecker() looks for dictionaries; an
// empty list restores /usr/share/hunspell.
void setDictionaryFolders(const QStringList &folders);
} // namespace testing

} // namespace spelling
