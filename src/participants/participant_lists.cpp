#include "participants/participant_lists.h"

#include "gui/appearance.h"
#include "gui/modal.h"
#include "participants/participant_id_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace participants {
namespace {

const QString kErrorCaption = QStringLiteral("Ошибка");
const QString kDeleteCaption = QStringLiteral("Удаление автора");

int findItem(const QListWidget *list, const QString &text)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == text)
            return i;
    return -1;
}

void setNameEditsUnlocked(const ListView &side, bool unlocked)
{
    for (QLineEdit *edit : {side.surname, side.name, side.patronymic}) {
        edit->setReadOnly(!unlocked);
        gui::setEditBackground(edit, unlocked ? QPalette::Base : QPalette::Button);
    }
}

void updateCaption(const ListView &side)
{
    side.group->setTitle(side.captionPrefix + QString::number(side.list->count()) + QLatin1Char(')'));
}

} // namespace

int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.constFirst());
}

void selectRow(QListWidget *list, int row)
{
    const QSignalBlocker quiet(list);
    list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void addParticipant(QWidget *window, ParticipantIdDialog *form1, const ListView &own, const ListView &other)
{
    form1->AddID->setText(QString());
    if (gui::modal::exec(form1) != QDialog::Accepted)
        return;
    const std::optional<QString> id = checkEnteredId(window, form1->AddID->text());
    if (!id)
        return;

    // An ID stands at most once in the two lists together.
    if (const int i = findItem(own.list, *id); i >= 0) {
        selectRow(own.list, i);
        own.select();
        return;
    }
    if (const int i = findItem(other.list, *id); i >= 0) {
        selectRow(other.list, i);
        other.select();
        gui::modal::message(window, gui::modal::Icon::None, kErrorCaption, own.inOtherListMessage);
        return;
    }

    {
        const QSignalBlocker quiet(own.list);
        own.list->addItem(*id);
    }
    const int n = own.list->count();
    own.table[n - 1].Id = *id;

    if (own.leader) {
        own.leader->addItem(*id);
        if (n == 1)
            own.leader->setCurrentIndex(0);
        own.leaderLabel->setEnabled(true);
        own.leader->setEnabled(true);
    }

    selectRow(own.list, n - 1);
    own.select();
    updateCaption(own);
    if (n >= own.limit)
        own.add->setEnabled(false);
    if (selectedRow(own.list) >= 0)
        own.remove->setEnabled(true);
}

void selectParticipant(const ListView &side)
{
    const int k = selectedRow(side.list);
    if (k < 0)
        return;
    side.remove->setEnabled(true);
    const TPersonRecord person = side.table[k];
    side.surname->setText(person.Surname);
    side.name->setText(person.Name);
    side.patronymic->setText(person.Patronymic);
    setNameEditsUnlocked(side, true);
}

void deleteParticipant(QWidget *window, const ListView &side)
{
    const int k = selectedRow(side.list);
    if (k < 0)
        return;
    if (gui::modal::message(window, gui::modal::Icon::Question, kDeleteCaption, side.deleteQuestion,
                            gui::modal::Buttons::YesNo)
        != gui::modal::Answer::Yes)
        return;

    {
        const QSignalBlocker quiet(side.list);
        delete side.list->takeItem(k);
    }
    const int n = side.list->count();
    if (side.leader)
        side.leader->removeItem(k);
    updateCaption(side);
    side.remove->setEnabled(false);
    side.add->setEnabled(true);
    if (side.leader && n == 0) {
        side.leaderLabel->setEnabled(false);
        side.leader->setEnabled(false);
    }

    // The entries after the deleted one move up; the vacated last one is
    // emptied.
    for (int i = k; i < n; ++i)
        side.table[i] = side.table[i + 1];
    side.table[n] = TPersonRecord{};

    setNameEditsUnlocked(side, false);
    if (n > 0) {
        const int row = k > 0 ? k - 1 : 0;
        selectRow(side.list, row);
        if (side.leader)
            side.leader->setCurrentIndex(row);
        side.select();
    } else {
        side.surname->setText(QString());
        side.name->setText(QString());
        side.patronymic->setText(QString());
    }
}

void storeName(const ListView &side, QString TPersonRecord::*field, const QLineEdit *edit)
{
    const int k = selectedRow(side.list);
    if (k >= 0)
        side.table[k].*field = edit->text();
}

void restoreList(const ListView &side, const QList<TPersonRecord> &people, int leader)
{
    const int n = int(std::min<qsizetype>(people.size(), side.limit));
    {
        const QSignalBlocker quiet(side.list);
        side.list->clear();
        for (int i = 0; i < n; ++i)
            side.list->addItem(people[i].Id);
    }
    for (QLineEdit *edit : {side.surname, side.name, side.patronymic}) {
        const QSignalBlocker quiet(edit);
        edit->clear();
    }
    setNameEditsUnlocked(side, false);
    for (int i = 0; i < n; ++i)
        side.table[i] = people[i];

    if (side.leader) {
        side.leader->clear();
        for (int i = 0; i < n; ++i)
            side.leader->addItem(people[i].Id);
        side.leader->setCurrentIndex(leader >= 0 && leader < n ? leader : -1);
        side.leaderLabel->setEnabled(n > 0);
        side.leader->setEnabled(n > 0);
    }
    updateCaption(side);
    side.add->setEnabled(n < side.limit);
    side.remove->setEnabled(false);
    if (n > 0) {
        selectRow(side.list, 0);
        side.select();
    }
}

} // namespace participants
