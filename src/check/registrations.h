#pragma once

// The committee's registration records, as exported from a spreadsheet:
// each participant's ID with the surname, name and patronymic given at
// registration, to match the packages' authors and supervisors against.

#include "core/passport.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace check {

class Registrations {
public:
    // Reads a CSV file with a header row. The columns are found by their
    // header names, in any case: "ID" or "Номер", "Фамилия", "Имя",
    // "Отчество". The delimiter (";", "," or TAB) and the encoding (UTF-8
    // with or without a byte order mark, UTF-16 with one, or Windows-1251)
    // are detected; fields may be quoted as RFC 4180 says. Rows whose ID is
    // not nine digits (dashes and blanks aside) are passed over. Without
    // those headers, nullopt and error says what is missing.
    static std::optional<Registrations> parse(const QByteArray &bytes, QString *error);

    // The problems of one person of a package; empty when the person is
    // registered under the same names. role and number name the person
    // ("автор", 1). Names are compared after trimming, case folding and
    // "ё" as "е", blanks aside.
    QStringList problems(const QString &role, int number, const TPersonRecord &person) const;
    bool matches(const TPersonRecord &person) const;

    qsizetype size() const { return people_.size(); }

private:
    struct Registered {
        QString surname;
        QString name;
        QString patronymic;
    };
    QHash<QString, Registered> people_; // by the ID's nine digits
};

// The nine digits of an ID, dashes and blanks left out; empty when the ID is
// not nine digits.
QString idDigits(const QString &id);

// A name as names are compared: without blanks, case folded, "ё" as "е".
QString comparableName(const QString &name);

} // namespace check
