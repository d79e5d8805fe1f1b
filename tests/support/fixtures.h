#pragma once

// Plain fixtures shared by the tests: participants and passports built as
// values, without any window.

#include "core/passport.h"

#include <QString>
#include <QStringList>

namespace tt {

// One participant as the lists hold it.
TPersonRecord person(const QString &id, const QString &surname, const QString &name, const QString &patronymic);

// A participant ID in the lists' form whose check digits are right: the
// first seven digits are 1000000 + n.
QString checkedId(int n);

// A passport that passes the completeness check and has every field filled:
// all texts, three sections and the supplementary one, two authors, two
// supervisors of whom the second receives the invoice, and a caption. The
// picture is left out; tests that need one add it.
PassportSnapshot fullPassport();

// The log lines of one category, recorded from install() on; every line
// still goes on to the handler that was there before.
namespace log {
void install(const char *category);
QStringList &lines();
} // namespace log

} // namespace tt
