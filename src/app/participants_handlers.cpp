// Authors and supervisors on the passport window. The model holds the two
// lists and their rules; the list boxes, the name edits and the invoice
// recipient show them, and the handlers put what the user does into the
// model.

#include "app/passport_window.h"
#include "gui/appearance.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "participants/participant_id.h"
#include "participants/participant_id_dialog.h"
#include "ui_passport_window.h"

#include <QScopedValueRollback>
#include <QSignalBlocker>

namespace {

using Side = PassportModel::Side;

const QString kErrorCaption = QStringLiteral("Ошибка");
const QString kDeleteCaption = QStringLiteral("Удаление автора");

// The controls and the texts of one list.
struct ListControls {
    QListWidget *list;
    QGroupBox *group;
    QPushButton *add;
    QPushButton *remove;
    QLineEdit *surname;
    QLineEdit *name;
    QLineEdit *patronymic;
    QString captionPrefix;
    QString inOtherListMessage; // shown when an ID added here stands in the other list
    QString deleteQuestion;
};

ListControls controlsOf(Ui::PassportWindow &ui, Side side)
{
    if (side == Side::Authors)
        return {ui.AuthorsListBox,
                ui.AuthorsGroup,
                ui.AuthorAdd,
                ui.AuthorDelete,
                ui.AuthorsLastname,
                ui.AuthorsName,
                ui.AuthorsPatronymic,
                QStringLiteral("Авторы ("),
                QStringLiteral("Введенный ID уже является руководителем работы"),
                QStringLiteral("Вы действительно хотите удалить автора из списка?")};
    return {ui.TeachersListBox,
            ui.TeachersGroup,
            ui.TeacherAdd,
            ui.TeacherDelete,
            ui.TeachersLastname,
            ui.TeachersName,
            ui.TeachersPatronymic,
            QStringLiteral("Руководители ("),
            QStringLiteral("Введенный ID уже является автором работы"),
            QStringLiteral("Вы действительно хотите удалить руководителя из списка?")};
}

// The selected position of a list, or -1.
int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.constFirst());
}

// Selects a row without running the select step through the signal.
void selectRowQuietly(QListWidget *list, int row)
{
    const QSignalBlocker quiet(list);
    list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void setNameEditsUnlocked(const ListControls &c, bool unlocked)
{
    for (QLineEdit *edit : {c.surname, c.name, c.patronymic}) {
        edit->setReadOnly(!unlocked);
        gui::setEditBackground(edit, unlocked ? QPalette::Base : QPalette::Button);
    }
}

} // namespace

void PassportWindow::connectParticipants()
{
    for (QListWidget *list : {ui->AuthorsListBox, ui->TeachersListBox}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(false);
    }

    for (const Side side : {Side::Authors, Side::Teachers}) {
        const ListControls c = controlsOf(*ui, side);
        // A change of the selection by the user shows the participant. A
        // list box with items keeps one selected, as on the classic
        // platform: a Ctrl+click that would leave none selects the current
        // item again.
        connect(c.list, &QListWidget::itemSelectionChanged, this, [this, side, list = c.list] {
            if (list->selectedItems().isEmpty() && list->currentRow() >= 0)
                selectRowQuietly(list, list->currentRow());
            gui::runGuarded(this, [&] { showSelectedParticipant(side); });
        });
        connect(c.add, &QPushButton::clicked, this,
                [this, side] { gui::runGuarded(this, [&] { addParticipant(side); }); });
        connect(c.remove, &QPushButton::clicked, this,
                [this, side] { gui::runGuarded(this, [&] { deleteParticipant(side); }); });
        // The name edits keep exactly what is typed.
        for (const auto &field :
             {std::pair{c.surname, &TPersonRecord::Surname}, std::pair{c.name, &TPersonRecord::Name},
              std::pair{c.patronymic, &TPersonRecord::Patronymic}}) {
            // Named copies: a lambda may not capture a structured binding
            // (C++20 allows it, clang 14 does not).
            QLineEdit *const edit = field.first;
            QString TPersonRecord::*const part = field.second;
            connect(edit, &QLineEdit::textChanged, this,
                    [this, side, edit, part] { gui::runGuarded(this, [&] { storeName(side, part, edit); }); });
        }
    }
    connect(ui->LeaderID, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!showingParticipants)
            model_.setLeaderIndex(index);
    });

    connect(&model_, &PassportModel::participantsChanged, this, &PassportWindow::showParticipants);
    connect(&model_, &PassportModel::participantNameChanged, this, &PassportWindow::showParticipantName);
    connect(&model_, &PassportModel::leaderChanged, this, &PassportWindow::showLeader);
}

void PassportWindow::showParticipants(Side side)
{
    const ListControls c = controlsOf(*ui, side);
    const QList<TPersonRecord> &people = model_.participants(side);
    const QScopedValueRollback<bool> showing(showingParticipants, true);
    {
        const QSignalBlocker quiet(c.list);
        c.list->clear();
        for (const TPersonRecord &person : people)
            c.list->addItem(person.Id);
    }
    for (QLineEdit *edit : {c.surname, c.name, c.patronymic}) {
        const QSignalBlocker quiet(edit);
        edit->clear();
    }
    setNameEditsUnlocked(c, false);
    c.group->setTitle(c.captionPrefix + QString::number(people.size()) + QLatin1Char(')'));
    c.add->setEnabled(model_.canAdd(side));
    c.remove->setEnabled(false);
    if (side == Side::Teachers) {
        ui->LeaderID->clear();
        for (const TPersonRecord &person : people)
            ui->LeaderID->addItem(person.Id);
        showLeader();
        ui->LeaderID_Label->setEnabled(!people.isEmpty());
        ui->LeaderID->setEnabled(!people.isEmpty());
    }
    if (!people.isEmpty())
        selectParticipant(side, 0);
}

void PassportWindow::showLeader()
{
    const QScopedValueRollback<bool> showing(showingParticipants, true);
    ui->LeaderID->setCurrentIndex(model_.leaderIndex());
}

void PassportWindow::showParticipantName(Side side, int row)
{
    const ListControls c = controlsOf(*ui, side);
    if (selectedRow(c.list) != row)
        return;
    const TPersonRecord &person = model_.participants(side)[row];
    for (auto [edit, text] : {std::pair{c.surname, person.Surname}, std::pair{c.name, person.Name},
                              std::pair{c.patronymic, person.Patronymic}})
        if (edit->text() != text)
            edit->setText(text);
}

void PassportWindow::selectParticipant(Side side, int row)
{
    selectRowQuietly(controlsOf(*ui, side).list, row);
    showSelectedParticipant(side);
}

void PassportWindow::showSelectedParticipant(Side side)
{
    const ListControls c = controlsOf(*ui, side);
    const int k = selectedRow(c.list);
    if (k < 0)
        return;
    c.remove->setEnabled(true);
    // A copy: showing the names stores them back, one edit at a time.
    const TPersonRecord person = model_.participants(side)[k];
    c.surname->setText(person.Surname);
    c.name->setText(person.Name);
    c.patronymic->setText(person.Patronymic);
    setNameEditsUnlocked(c, true);
}

void PassportWindow::addParticipant(Side side)
{
    idDialog->clearId();
    if (gui::modal::exec(idDialog) != QDialog::Accepted)
        return;
    // The model takes only a checked ID, formatted.
    const QString entered = idDialog->enteredId();
    const PassportModel::Added added =
        model_.addParticipant(side, participants::formatCheckedParticipantId(entered).value_or(entered));
    switch (added.outcome) {
    case PassportModel::Added::NotChecked:
        gui::modal::message(this, gui::modal::Icon::Error, QStringLiteral("Ошибка"),
                            QStringLiteral("Введен ошибочный ID"));
        break;
    case PassportModel::Added::New:
    case PassportModel::Added::InThisList:
        selectParticipant(side, added.row);
        if (added.outcome == PassportModel::Added::New)
            controlsOf(*ui, side).remove->setEnabled(true);
        break;
    case PassportModel::Added::InOtherList:
        selectParticipant(PassportModel::otherSide(side), added.row);
        gui::modal::message(this, gui::modal::Icon::None, kErrorCaption, controlsOf(*ui, side).inOtherListMessage);
        break;
    case PassportModel::Added::ListFull:
        break;
    }
}

void PassportWindow::deleteParticipant(Side side)
{
    const ListControls c = controlsOf(*ui, side);
    const int k = selectedRow(c.list);
    if (k < 0)
        return;
    if (gui::modal::message(this, gui::modal::Icon::Question, kDeleteCaption, c.deleteQuestion,
                            gui::modal::Buttons::YesNo)
        != gui::modal::Answer::Yes)
        return;
    const int next = model_.deleteParticipant(side, k);
    if (next >= 0)
        selectParticipant(side, next);
}

void PassportWindow::storeName(Side side, QString TPersonRecord::*part, const QLineEdit *edit)
{
    const int k = selectedRow(controlsOf(*ui, side).list);
    if (k >= 0)
        model_.setParticipantName(side, k, part, edit->text());
}
