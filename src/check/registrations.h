#pragma once

// The committee's registration records, as exported from a spreadsheet:
// each participant's ID with the surname, name and patronymic given at
// registration, to match the packages' authors and supervisors against, and
// to find who registered and sent nothing.

#include "core/passport.h"
#include "core/result.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace check {

// How one person of a package stands against the registrations.
enum class Match {
    Registered,    // the same ID, under the same names
    NotRegistered, // no registration has the ID
    NameDiffers,   // the ID is registered under other names
    NoId,          // the person's ID is not nine digits: the package's own problem
};

// One registered participant: a row of the file.
struct Registered {
    int row = 0; // the row of the file, the header being row 1
    QString id;  // the nine digits
    QString surname;
    QString name;
    QString patronymic;
};

// A row of the registrations file that the committee should look at.
struct RowProblem {
    enum Kind {
        MalformedId,     // text: the ID as written
        DuplicateId,     // text: the ID; firstRow: the row that has it first, under other names
        LatinInCyrillic, // text: the letter, word: the word it stands in
    };
    Kind kind = MalformedId;
    int row = 0;
    int firstRow = 0;
    QString text;
    QString word;
};

class Registrations {
public:
    // Reads a CSV file with a header row. The columns are found by their
    // header names, in any case: "ID" or "Номер", "Фамилия", "Имя",
    // "Отчество". The delimiter (";", "," or TAB) and the encoding (UTF-8
    // with or without a byte order mark, UTF-16 with one, or Windows-1251)
    // are detected; fields may be quoted as RFC 4180 says. Rows whose ID is
    // not nine digits (dashes and blanks aside) are kept aside as problems,
    // as are IDs given again under other names. Fails with CannotReadFile
    // and name "encoding" (the bytes are neither UTF-8 nor Windows-1251) or
    // "columns" (the header lacks a column).
    [[nodiscard]] static Result<Registrations> parse(const QByteArray &bytes);

    // How the person stands; names are compared after Unicode NFC, trimming,
    // case folding and "ё" as "е", blanks aside.
    Match match(const TPersonRecord &person) const;
    // The problems of one person of a package, each ready for the report;
    // empty when the person is registered under the same names. role and
    // number name the person ("автор", 1).
    QStringList problems(const QString &role, int number, const TPersonRecord &person) const;

    // The rows to look at, in the file's order.
    const QList<RowProblem> &rowProblems() const { return rowProblems_; }
    // The registered participants whose ID is not in seen (nine digits each),
    // in the file's order.
    QList<Registered> missingFrom(const QSet<QString> &seen) const;

    qsizetype size() const { return people_.size(); }

private:
    QList<Registered> people_;        // in the file's order
    QHash<QString, QList<int>> byId_; // the ID's nine digits: indexes into people_
    QList<RowProblem> rowProblems_;
};

// The nine digits of an ID, dashes and blanks left out; empty when the ID is
// not nine digits.
QString idDigits(const QString &id);

// A name as names are compared: in Unicode NFC, without blanks, case folded,
// "ё" as "е".
QString comparableName(const QString &name);

// The Latin letters standing inside a word that also has Cyrillic ones (an
// "a" typed in "Ивaнов"): each letter with its word, as "латинская буква
// «a» в «Ивaнов»".
QStringList latinInCyrillic(const QString &text);

// An ID of nine digits as "123-456-789".
QString formattedId(const QString &digits);

// A row problem as the report shows it, without the file's name.
QString rowProblemText(const RowProblem &problem);

} // namespace check
