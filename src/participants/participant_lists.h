#pragma once

// The lists of authors and supervisors: adding by ID, names, deletion and
// the invoice recipient. Both lists follow the same rules; a ListView names
// the controls, the table and the texts of one list, so each rule is
// written once. The window builds the two views and calls in.

#include "core/passport.h"

#include <QString>
#include <functional>
#include <span>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;
class ParticipantIdDialog;

namespace participants {

struct ListView {
    QListWidget *list;
    QGroupBox *group;
    QPushButton *add;
    QPushButton *remove;
    QLineEdit *surname;
    QLineEdit *name;
    QLineEdit *patronymic;
    std::span<TPersonRecord> table;
    int limit;
    QString captionPrefix;
    QString inOtherListMessage; // shown when an ID added here stands in the other list
    QString deleteQuestion;
    std::function<void()> select; // the list's select handler
    // The invoice recipient, kept in step with the supervisors' list.
    QComboBox *leader = nullptr;
    QLabel *leaderLabel = nullptr;
};

// The texts of the two lists.
inline const QString kAuthorsCaptionPrefix = QStringLiteral("Авторы (");
inline const QString kTeachersCaptionPrefix = QStringLiteral("Руководители (");
inline const QString kAuthorInOtherList = QStringLiteral("Введенный ID уже является руководителем работы");
inline const QString kTeacherInOtherList = QStringLiteral("Введенный ID уже является автором работы");
inline const QString kDeleteAuthorQuestion = QStringLiteral("Вы действительно хотите удалить автора из списка?");
inline const QString kDeleteTeacherQuestion = QStringLiteral("Вы действительно хотите удалить руководителя из списка?");

// The selected position of a list, or -1.
int selectedRow(const QListWidget *list);
// Selects a row without running the select step through the signal; the
// handlers run it themselves.
void selectRow(QListWidget *list, int row);

// Runs the ID dialog and adds the checked ID to own, unless it stands in
// one of the lists already.
void addParticipant(QWidget *window, ParticipantIdDialog *form1, const ListView &own, const ListView &other);
// Shows the selected participant's names and unlocks the name edits.
void selectParticipant(const ListView &side);
// Asks, then removes the selected participant; the entries after it move up.
void deleteParticipant(QWidget *window, const ListView &side);
// Stores the text of a name edit into the selected participant's entry.
void storeName(const ListView &side, QString TPersonRecord::*field, const QLineEdit *edit);

// Fills the list with the participants of a passport read back, as if they
// had been added one by one: the table (whose entries must be empty), the
// items, the caption, the buttons, and for the supervisors the invoice
// recipient at position leader (-1: none). The first participant is
// selected, with its names in the unlocked name edits.
void restoreList(const ListView &side, const QList<TPersonRecord> &people, int leader);

} // namespace participants
