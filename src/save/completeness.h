#pragma once

// What a passport must hold before it can be saved.

#include "core/passport.h"

#include <QStringList>

namespace save {

// The missing items, in the order the user reads them. Each line starts with
// " - " and ends with a line feed; an empty list means the passport is
// complete. At most one line is given for the authors and one for the
// supervisors: the first participant who lacks something decides it.
QStringList missingItems(const PassportSnapshot &passport);

// The first item that missingItems lists, as a place in the passport: what
// the user is taken to after the warning box.
struct FirstMissing {
    enum Item { Nothing, Title, Description, Sections, Authors, Teachers };
    Item item = Nothing;
    // Authors and Teachers: the position of the first participant who lacks
    // a name part, and that part; -1 and nullptr when the list is empty.
    int person = -1;
    QString TPersonRecord::*part = nullptr;
};
FirstMissing firstMissing(const PassportSnapshot &passport);

// The text of the warning box for a non-empty list of missing items.
QString incompleteText(const QStringList &missing);

inline const QString kIncompleteCaption = QStringLiteral("Неполная информация");

} // namespace save
