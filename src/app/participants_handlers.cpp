// Authors and supervisors on the passport window: the handlers build a view
// of each list and call into the participants' rules.

#include "app/passport_window.h"
#include "gui/guard.h"
#include "participants/participant_id_dialog.h"
#include "participants/participant_lists.h"
#include "ui_passport_window.h"

namespace {

using participants::ListView;

ListView authorsView(Ui::PassportWindow &ui, PassportWindow &window)
{
    return {ui.AuthorsListBox,
            ui.AuthorsGroup,
            ui.AuthorAdd,
            ui.AuthorDelete,
            ui.AuthorsLastname,
            ui.AuthorsName,
            ui.AuthorsPatronymic,
            std::span<TPersonRecord>(window.AuthorsData.data(), kMaxAuthors),
            kMaxAuthors,
            participants::kAuthorsCaptionPrefix,
            participants::kAuthorInOtherList,
            participants::kDeleteAuthorQuestion,
            [&window] { window.showSelectedAuthor(); }};
}

ListView teachersView(Ui::PassportWindow &ui, PassportWindow &window)
{
    return {ui.TeachersListBox,
            ui.TeachersGroup,
            ui.TeacherAdd,
            ui.TeacherDelete,
            ui.TeachersLastname,
            ui.TeachersName,
            ui.TeachersPatronymic,
            std::span<TPersonRecord>(window.TeachersData.data(), kMaxTeachers),
            kMaxTeachers,
            participants::kTeachersCaptionPrefix,
            participants::kTeacherInOtherList,
            participants::kDeleteTeacherQuestion,
            [&window] { window.showSelectedTeacher(); },
            ui.LeaderID,
            ui.LeaderID_Label};
}

} // namespace

void PassportWindow::connectParticipants()
{
    for (QListWidget *list : {ui->AuthorsListBox, ui->TeachersListBox}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(false);
    }

    // A change of the selection by the user runs the select step. A list box
    // with items keeps one selected, as on the classic platform: a Ctrl+click
    // that would leave none selects the current item again.
    const auto onSelection = [this](QListWidget *list, void (PassportWindow::*select)()) {
        return [this, list, select] {
            if (list->selectedItems().isEmpty() && list->currentRow() >= 0) {
                participants::selectRow(list, list->currentRow());
            }
            gui::guarded(this, select)();
        };
    };
    connect(ui->AuthorsListBox, &QListWidget::itemSelectionChanged, this,
            onSelection(ui->AuthorsListBox, &PassportWindow::showSelectedAuthor));
    connect(ui->TeachersListBox, &QListWidget::itemSelectionChanged, this,
            onSelection(ui->TeachersListBox, &PassportWindow::showSelectedTeacher));

    connect(ui->AuthorAdd, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::addAuthor));
    connect(ui->TeacherAdd, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::addTeacher));
    connect(ui->AuthorDelete, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::deleteAuthor));
    connect(ui->TeacherDelete, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::deleteTeacher));

    connect(ui->AuthorsLastname, &QLineEdit::textChanged, this,
            gui::guarded(this, &PassportWindow::storeAuthorSurname));
    connect(ui->AuthorsName, &QLineEdit::textChanged, this, gui::guarded(this, &PassportWindow::storeAuthorName));
    connect(ui->AuthorsPatronymic, &QLineEdit::textChanged, this,
            gui::guarded(this, &PassportWindow::storeAuthorPatronymic));
    connect(ui->TeachersLastname, &QLineEdit::textChanged, this,
            gui::guarded(this, &PassportWindow::storeTeacherSurname));
    connect(ui->TeachersName, &QLineEdit::textChanged, this, gui::guarded(this, &PassportWindow::storeTeacherName));
    connect(ui->TeachersPatronymic, &QLineEdit::textChanged, this,
            gui::guarded(this, &PassportWindow::storeTeacherPatronymic));
}

void PassportWindow::addAuthor()
{
    participants::addParticipant(this, idDialog, authorsView(*ui, *this), teachersView(*ui, *this));
}

void PassportWindow::addTeacher()
{
    participants::addParticipant(this, idDialog, teachersView(*ui, *this), authorsView(*ui, *this));
}

void PassportWindow::deleteAuthor() { participants::deleteParticipant(this, authorsView(*ui, *this)); }
void PassportWindow::deleteTeacher() { participants::deleteParticipant(this, teachersView(*ui, *this)); }
void PassportWindow::showSelectedAuthor() { participants::selectParticipant(authorsView(*ui, *this)); }
void PassportWindow::showSelectedTeacher() { participants::selectParticipant(teachersView(*ui, *this)); }

void PassportWindow::storeAuthorSurname()
{
    participants::storeName(authorsView(*ui, *this), &TPersonRecord::Surname, ui->AuthorsLastname);
}
void PassportWindow::storeAuthorName()
{
    participants::storeName(authorsView(*ui, *this), &TPersonRecord::Name, ui->AuthorsName);
}
void PassportWindow::storeAuthorPatronymic()
{
    participants::storeName(authorsView(*ui, *this), &TPersonRecord::Patronymic, ui->AuthorsPatronymic);
}
void PassportWindow::storeTeacherSurname()
{
    participants::storeName(teachersView(*ui, *this), &TPersonRecord::Surname, ui->TeachersLastname);
}
void PassportWindow::storeTeacherName()
{
    participants::storeName(teachersView(*ui, *this), &TPersonRecord::Name, ui->TeachersName);
}
// The patronymic keeps exactly what is typed, like the other five name edits.
void PassportWindow::storeTeacherPatronymic()
{
    participants::storeName(teachersView(*ui, *this), &TPersonRecord::Patronymic, ui->TeachersPatronymic);
}

void PassportWindow::restoreParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers,
                                         int leader)
{
    AuthorsData = {};
    TeachersData = {};
    participants::restoreList(authorsView(*ui, *this), authors, -1);
    participants::restoreList(teachersView(*ui, *this), teachers, leader);
}
