#pragma once

// What a passport must hold before it can be saved.

#include "core/passport.h"

#include <QList>
#include <QString>

namespace save {

// One thing the passport lacks, as a place in the passport: what the user is
// taken to after the warning box.
struct MissingItem {
    enum Item { Nothing, Title, Description, Sections, Authors, Teachers };
    Item item = Nothing;
    // Authors and Teachers: the position of the first participant who lacks
    // a name part, and that part; -1 and nullptr when the list is empty.
    int person = -1;
    QString TPersonRecord::*part = nullptr;

    bool operator==(const MissingItem &) const = default;
};
using FirstMissing = MissingItem;

// The missing items, in the order the user reads them; an empty list means
// the passport is complete. At most one item is given for the authors and
// one for the supervisors: the first participant who lacks something
// decides it.
QList<MissingItem> missingItems(const PassportSnapshot &passport);

// The first of missingItems, or Nothing.
FirstMissing firstMissing(const PassportSnapshot &passport);

// The item as the window's warning and the committee's report name it:
// "Название работы", "Не указан ни один автор", "Фамилии у всех авторов".
QString missingItemText(const MissingItem &item);

// The text of the warning box for a non-empty list of missing items.
QString incompleteText(const QList<MissingItem> &missing);

inline const QString kIncompleteCaption = QStringLiteral("Неполная информация");

} // namespace save
