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

// The text of the warning box for a non-empty list of missing items.
QString incompleteText(const QStringList &missing);

inline const QString kIncompleteCaption = QStringLiteral("Неполная информация");

} // namespace save
