#include "spelling/checker.h"

#include "core/failure.h"
#include "core/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <hunspell.hxx>
#include <vector>

Q_LOGGING_CATEGORY(lcSpelling, "tirlada.spelling")

namespace spelling {
namespace {

const QString kSystemDictionaries = QStringLiteral("/usr/share/hunspell");
const QString kPersonalFileName = QStringLiteral("словарь.txt");
// The user's own list is typed in word by word; a larger file is not one.
constexpr qint64 kPersonalFileLimit = 4 * 1024 * 1024;
// Results kept before the cache starts again; a long session types far
// fewer distinct words.
constexpr qsizetype kCacheLimit = 200000;

enum class Script { None, Cyrillic, Latin, Mixed };

Script scriptOf(const QString &word)
{
    Script found = Script::None;
    for (QChar c : word) {
        if (!c.isLetter())
            continue;
        const Script s = c.script() == QChar::Script_Cyrillic ? Script::Cyrillic
                         : c.script() == QChar::Script_Latin  ? Script::Latin
                                                              : Script::Mixed;
        if (found == Script::None)
            found = s;
        else if (found != s)
            return Script::Mixed;
    }
    return found;
}

// The word as the dictionaries spell it: without stress marks and soft
// hyphens, with the typewriter apostrophe.
QString lookupForm(const QString &word)
{
    QString form;
    form.reserve(word.size());
    for (QChar c : word) {
        if (c == u'\u0301' || c == u'\u0300' || c == u'\u00ad')
            continue;
        form.append(c == u'\u2019' ? QChar(u'\'') : c);
    }
    return form;
}

struct PersonalFile {
    QStringList words;
    bool readable = true;
    QString reason;
};

// The user's word list: one word a line, UTF-8. A missing file is an empty
// list.
PersonalFile readPersonalFile(const QString &path)
{
    PersonalFile result;
    QFile file(path);
    if (!file.exists())
        return result;
    if (!file.open(QIODevice::ReadOnly)) {
        result.readable = false;
        result.reason = file.errorString();
        return result;
    }
    const QByteArray bytes = file.read(kPersonalFileLimit + 1);
    if (bytes.size() > kPersonalFileLimit) {
        result.readable = false;
        result.reason = QStringLiteral("larger than %1 bytes").arg(kPersonalFileLimit);
        return result;
    }
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    for (const QString &line : text.split(u'\n')) {
        const QString word = line.trimmed();
        if (!word.isEmpty() && !result.words.contains(word))
            result.words.append(word);
    }
    return result;
}

QStringList &dictionaryFoldersOverride()
{
    static QStringList folders;
    return folders;
}

QPointer<Checker> &shared()
{
    static QPointer<Checker> checker;
    return checker;
}

// One Hunspell dictionary, with the conversion of words to and from its
// encoding ("SET" in its .aff file: UTF-8, KOI8-R, ...).
struct Dictionary {
    QString name;
    Script script = Script::None;
    std::unique_ptr<Hunspell> hunspell;
    QByteArray encoding;
    bool utf8 = true;

    // The word in the dictionary's encoding; false when it has no such
    // characters (then the dictionary cannot hold the word).
    bool encode(const QString &word, std::string &out) const
    {
        if (utf8) {
            out = word.toStdString();
            return true;
        }
        QStringEncoder encoder(encoding.constData());
        const QByteArray bytes = encoder.encode(word);
        QStringDecoder decoder(encoding.constData());
        const QString back = decoder.decode(bytes);
        if (encoder.hasError() || back != word)
            return false;
        out = bytes.toStdString();
        return true;
    }

    QString decode(const std::string &text) const
    {
        if (utf8)
            return QString::fromStdString(text);
        QStringDecoder decoder(encoding.constData());
        return decoder.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    }

    bool spell(const QString &word) const
    {
        std::string encoded;
        return encode(word, encoded) && hunspell->spell(encoded);
    }
};

} // namespace

struct Checker::Dictionaries {
    std::vector<Dictionary> list;
    QStringList missing; // the names not found, or not readable
    PersonalFile personal;
};

namespace {

// Hunspell's names of 8-bit encodings, where Qt knows them by another.
QByteArray qtEncodingName(const char *hunspellName)
{
    const QByteArray name = QByteArray(hunspellName).trimmed();
    if (name.compare("microsoft-cp1251", Qt::CaseInsensitive) == 0)
        return "windows-1251";
    if (name.compare("microsoft-cp1250", Qt::CaseInsensitive) == 0)
        return "windows-1250";
    return name;
}

std::unique_ptr<Checker::Dictionaries> loadDictionaries(const Checker::Places &places);

} // namespace

Checker::Places Checker::defaultPlaces()
{
    Places places;
    places.dictionaryFolders =
        dictionaryFoldersOverride().isEmpty() ? QStringList{kSystemDictionaries} : dictionaryFoldersOverride();
    places.personalDictionary =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u'/' + kPersonalFileName;
    return places;
}

Checker::Checker(Places places, QObject *parent) : QObject(parent), places_(std::move(places))
{
    loader_ = QThread::create([this] { pending_ = loadDictionaries(places_); });
    loader_->setObjectName(QStringLiteral("spelling dictionaries"));
    connect(loader_, &QThread::finished, this, &Checker::takeLoaded);
    loader_->start(QThread::LowPriority);
}

Checker::~Checker()
{
    loader_->wait();
    delete loader_;
}

void Checker::waitUntilLoaded() { takeLoaded(); }

void Checker::takeLoaded()
{
    if (loaded_)
        return;
    loader_->wait();
    dictionaries_ = std::move(pending_);
    loaded_ = true;
    for (const QString &word : std::as_const(dictionaries_->personal.words))
        personal_.insert(word);
    if (!dictionaries_->personal.readable)
        qCWarning(lcSpelling).noquote() << "the personal dictionary" << places_.personalDictionary
                                        << "is not read:" << dictionaries_->personal.reason;
    if (dictionaries_->list.empty())
        qCWarning(lcSpelling).noquote() << "no spelling dictionary (ru_RU, en_US) in"
                                        << places_.dictionaryFolders.join(QStringLiteral(", "))
                                        << "- spelling is not checked";
    else if (!dictionaries_->missing.isEmpty())
        qCWarning(lcSpelling).noquote() << "spelling dictionary missing:"
                                        << dictionaries_->missing.join(QStringLiteral(", "))
                                        << "- words in its alphabet are not checked";
    results_.clear();
    emit wordsChanged();
}

bool Checker::hasDictionaries() const { return loaded_ && !dictionaries_->list.empty(); }

bool Checker::isKnownWord(const QString &word) const
{
    auto listed = [this](const QString &w) { return personal_.contains(w) || ignored_.contains(w); };
    if (listed(word))
        return true;
    // "Тирлада" at the start of a sentence, "ТИРЛАДА" in capitals, for
    // "тирлада" in the list; "ТИРЛАДА" also for "Тирлада".
    const QString lower = word.toLower();
    if (lower != word && listed(lower))
        return true;
    if (word == word.toUpper() && lower.size() > 1) {
        const QString capitalised = lower.left(1).toUpper() + lower.mid(1);
        if (listed(capitalised))
            return true;
    }
    return false;
}

namespace {
std::atomic<qint64> checkedCharacterCount{0};

bool isVowel(QChar c)
{
    static const QString vowels = QStringLiteral("аеёиоуыэюяaeiouy");
    return vowels.contains(c);
}

// The edit distance of a and b (letters compared without regard to case),
// weighed as people misspell: a wrong letter is likelier than one left out
// or one too many, and a wrong vowel for another likeliest of all (an
// unstressed "е" for "и", "а" for "о"). In half steps: a vowel for a vowel
// 1, another letter for a letter 2, a letter left out or added 3.
qsizetype editDistance(const QString &a, const QString &b)
{
    constexpr qsizetype kVowel = 1, kLetter = 2, kGap = 3;
    const QString x = a.toLower(), y = b.toLower();
    std::vector<qsizetype> row(size_t(y.size()) + 1);
    for (qsizetype j = 0; j <= y.size(); ++j)
        row[size_t(j)] = j * kGap;
    for (qsizetype i = 1; i <= x.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i * kGap;
        for (qsizetype j = 1; j <= y.size(); ++j) {
            const QChar p = x[i - 1], q = y[j - 1];
            const qsizetype change = p == q ? 0 : isVowel(p) && isVowel(q) ? kVowel : kLetter;
            const qsizetype above = row[size_t(j)];
            row[size_t(j)] = std::min({above + kGap, row[size_t(j - 1)] + kGap, diagonal + change});
            diagonal = above;
        }
    }
    return row[size_t(y.size())];
}
} // namespace

qint64 checkedCharacters() { return checkedCharacterCount.load(); }

bool Checker::isCorrect(const QString &word)
{
    if (!hasDictionaries() || word.size() > kMaxWordLength)
        return true;
    checkedCharacterCount += word.size();
    const auto found = results_.constFind(word);
    if (found != results_.cend())
        return found.value();

    const QString form = lookupForm(word);
    bool correct = isKnownWord(form) || isKnownWord(word);
    if (!correct) {
        const Script script = scriptOf(form);
        bool checked = false;
        for (const Dictionary &dictionary : dictionaries_->list) {
            if (script != Script::Mixed && dictionary.script != script)
                continue;
            checked = true;
            if (dictionary.spell(form)) {
                correct = true;
                break;
            }
        }
        // No dictionary of the word's alphabet: nothing to say about it. A
        // word that mixes alphabets ("Cтих" with a Latin C) is checked by
        // every dictionary and marked when none knows it.
        if (!checked && script != Script::Mixed)
            correct = true;
    }
    if (results_.size() >= kCacheLimit)
        results_.clear();
    results_.insert(word, correct);
    return correct;
}

QStringList Checker::suggestions(const QString &word, int max)
{
    if (!hasDictionaries() || max <= 0 || word.size() > kMaxWordLength)
        return {};
    const auto found = suggestions_.constFind(word);
    if (found != suggestions_.cend())
        return found.value().mid(0, max);

    const QString form = lookupForm(word);
    const Script script = scriptOf(form);
    QStringList result;
    // The dictionaries of the word's alphabet first, then the others for a
    // word that mixes alphabets.
    for (int pass = 0; pass < 2; ++pass) {
        for (const Dictionary &dictionary : dictionaries_->list) {
            const bool own = dictionary.script == script;
            if ((pass == 0) != own || (pass == 1 && script != Script::Mixed))
                continue;
            std::string encoded;
            if (!dictionary.encode(form, encoded))
                continue;
            for (const std::string &s : dictionary.hunspell->suggest(encoded)) {
                const QString suggestion = dictionary.decode(s);
                if (!suggestion.isEmpty() && suggestion != word && !result.contains(suggestion))
                    result.append(suggestion);
            }
        }
    }
    // The likeliest first: Hunspell ranks by its own rules, which put a
    // word one letter away behind others; its order stays among equals.
    std::vector<std::pair<qsizetype, QString>> ranked;
    for (const QString &suggestion : std::as_const(result))
        ranked.emplace_back(editDistance(word, suggestion), suggestion);
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    result.clear();
    for (const auto &[distance, suggestion] : ranked)
        result.append(suggestion);
    if (suggestions_.size() >= 1000)
        suggestions_.clear();
    suggestions_.insert(word, result);
    return result.mid(0, max);
}

Result<void> Checker::addToDictionary(const QString &word)
{
    const QString added = word.trimmed();
    if (added.isEmpty() || added.contains(u'\n'))
        return {};
    auto failed = [this](Failure failure) -> Result<void> {
        dictionaryFailure_ = failure;
        emit dictionaryFailureChanged();
        return Unexpected(std::move(failure));
    };
    // The words another run may have added since this one started are kept.
    const QString &path = places_.personalDictionary;
    PersonalFile file = readPersonalFile(path);
    if (!file.readable)
        return failed(Failure(FailureCode::CannotOpenFile, {.file = path, .reason = file.reason}));
    if (!file.words.contains(added))
        file.words.append(added);
    QDir().mkpath(QFileInfo(path).absolutePath());
    try {
        core::writeFileReplacing(path, (file.words.join(u'\n') + u'\n').toUtf8());
    } catch (const Failure &failure) {
        return failed(failure);
    }
    for (const QString &w : std::as_const(file.words))
        personal_.insert(w);
    results_.clear();
    if (dictionaryFailure_) {
        dictionaryFailure_.reset();
        emit dictionaryFailureChanged();
    }
    emit wordsChanged();
    return {};
}

void Checker::ignore(const QString &word)
{
    ignored_.insert(word.trimmed());
    results_.clear();
    emit wordsChanged();
}

namespace {

std::unique_ptr<Checker::Dictionaries> loadDictionaries(const Checker::Places &places)
{
    auto loaded = std::make_unique<Checker::Dictionaries>();
    const std::pair<QString, Script> wanted[] = {{QStringLiteral("ru_RU"), Script::Cyrillic},
                                                 {QStringLiteral("en_US"), Script::Latin}};
    for (const auto &[name, script] : wanted) {
        QString aff, dic;
        for (const QString &folder : places.dictionaryFolders) {
            const QDir dir(folder);
            if (QFileInfo(dir.filePath(name + QStringLiteral(".aff"))).isFile()
                && QFileInfo(dir.filePath(name + QStringLiteral(".dic"))).isFile()) {
                aff = dir.filePath(name + QStringLiteral(".aff"));
                dic = dir.filePath(name + QStringLiteral(".dic"));
                break;
            }
        }
        if (aff.isEmpty()) {
            loaded->missing.append(name);
            continue;
        }
        Dictionary dictionary;
        dictionary.name = name;
        dictionary.script = script;
        dictionary.hunspell =
            std::make_unique<Hunspell>(QFile::encodeName(aff).constData(), QFile::encodeName(dic).constData());
        dictionary.encoding = qtEncodingName(dictionary.hunspell->get_dic_encoding());
        dictionary.utf8 = dictionary.encoding.compare("UTF-8", Qt::CaseInsensitive) == 0
                          || dictionary.encoding.compare("UTF8", Qt::CaseInsensitive) == 0;
        if (!dictionary.utf8 && !QStringEncoder(dictionary.encoding.constData()).isValid()) {
            loaded->missing.append(name + QStringLiteral(" (encoding ") + QString::fromLatin1(dictionary.encoding)
                                   + u')');
            continue;
        }
        // The words of today that the dictionary lacks, with the endings
        // of a word it has where one is given.
        for (const QString &line : supplementaryWords()) {
            const QStringList parts = line.split(u' ', Qt::SkipEmptyParts);
            if (parts.isEmpty() || scriptOf(parts[0]) != script)
                continue;
            std::string entry, example;
            if (!dictionary.encode(parts[0], entry))
                continue;
            if (parts.size() > 1 && dictionary.encode(parts[1], example) && dictionary.hunspell->spell(example))
                dictionary.hunspell->add_with_affix(entry, example);
            else
                dictionary.hunspell->add(entry);
        }
        loaded->list.push_back(std::move(dictionary));
    }
    loaded->personal = readPersonalFile(places.personalDictionary);
    return loaded;
}

} // namespace

Checker *sharedChecker()
{
    QPointer<Checker> &checker = shared();
    if (!checker)
        checker = new Checker(Checker::defaultPlaces(), QCoreApplication::instance());
    return checker;
}

namespace testing {

void restartSharedChecker()
{
    delete shared().data();
    shared() = nullptr;
}

void setDictionaryFolders(const QStringList &folders) { dictionaryFoldersOverride() = folders; }

} // namespace testing

} // namespace spelling
