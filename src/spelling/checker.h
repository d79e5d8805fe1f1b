#pragma once

// Spell checking with Hunspell: the Russian and the American English
// dictionaries where Debian installs them, and the user's own dictionary, a
// plain UTF-8 word list in the program's data folder.
//
// Loading the dictionaries takes a fraction of a second, so it runs on a
// thread of its own; until it is done every word counts as correct, and
// wordsChanged() tells when to check the shown texts again. Everything else
// runs on the thread that made the checker.

#include "core/failure.h"
#include "core/result.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

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
    // while the dictionaries are loading, when none is installed, when none
    // of its script is (a Latin word without the English dictionary), and
    // when it is longer than Hunspell checks (kMaxWordLength).
    bool isCorrect(const QString &word);

    // Up to max corrections of word, best first: the closest by edit
    // distance, and among equally close ones in Hunspell's order.
    QStringList suggestions(const QString &word, int max = 5);

    // Adds word to the user's dictionary file, so that it is known from now
    // on and in later runs. Fails with the Failure of core::writeFileReplacing
    // (or CannotOpenFile for a file that cannot be read); then nothing has
    // changed, and dictionaryFailure() holds it until a word is added.
    [[nodiscard]] Result<void> addToDictionary(const QString &word);
    // Why the last word could not be added to the user's dictionary; nothing
    // once one was.
    const std::optional<Failure> &dictionaryFailure() const { return dictionaryFailure_; }
    // Takes word as correct for the rest of the run.
    void ignore(const QString &word);

    // What the loading thread hands over.
    struct Dictionaries;

    // Hunspell checks words up to this length; a longer run of letters is no
    // word, and is never marked.
    static constexpr qsizetype kMaxWordLength = 100;

signals:
    // The dictionaries were loaded or a word was added or ignored: texts
    // already checked are to be checked again.
    void wordsChanged();
    // dictionaryFailure() changed.
    void dictionaryFailureChanged();

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
    std::optional<Failure> dictionaryFailure_;
};

// The program's one checker, made on first use (and its dictionaries then
// start loading). It lives as long as the application.
Checker *sharedChecker();

// The number of characters in texts that reached the dictionaries (cached
// or not) since the program started: the work checking costs.
qint64 checkedCharacters();

// The words of today's school work that the dictionaries lack, shipped with
// the program: one a line, optionally followed by a word of the dictionary
// whose endings it takes ("нейросеть сеть").
QStringList supplementaryWords();

namespace testing {
// Drops the program's checker, as if the program ended: the next
// sharedChecker() reads the dictionaries and the user's file again.
void restartSharedChecker();
// Where the next checker made by sharedChecker() looks for dictionaries; an
// empty list restores /usr/share/hunspell.
void setDictionaryFolders(const QStringList &folders);
} // namespace testing

} // namespace spelling
