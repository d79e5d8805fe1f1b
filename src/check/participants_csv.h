#pragma once

// The participants' list: one CSV row per author and supervisor of every
// sound package, for matching against the registration records in a
// spreadsheet.

#include "core/passport.h"

#include <QByteArray>
#include <QString>

namespace check {

class Registrations;
enum class Match;

// The column "Совпадает с регистрацией": "да", "не зарегистрирован" or "имя
// отличается".
QString matchText(Match match);

// The start of the file: a UTF-8 byte order mark and the header row; with
// registrations, a last column "Совпадает с регистрацией".
QByteArray csvHeader(bool withRegistrations = false);

// One field, quoted as RFC 4180 asks: a field holding a comma, a semicolon,
// a double quote, TAB, CR or LF is put in double quotes with each double
// quote doubled, so that a spreadsheet splitting at ";" keeps it whole. A
// field that a spreadsheet would take for a formula (whose first character
// that is not a blank, TAB or no-break space is "=", "+", "-" or "@", or that
// starts with TAB or CR) gets an apostrophe in front, so that opening the
// list never runs anything a participant typed.
QString csvField(const QString &value);

// The section names of the passport, in slot order, joined by "; " (the
// names themselves hold commas).
QString sectionList(const PassportSnapshot &passport);

// The rows of one package, authors first, each ending in CR LF, as UTF-8.
// With registrations, each row ends in matchText() of the person.
QByteArray csvRows(const QString &packageFile, const PassportSnapshot &passport,
                   const Registrations *registrations = nullptr);

} // namespace check
