// Authors and supervisors on the passport window: the handlers build a view
// of each list and call into the participants' rules.

#include "app/pasport.h"
#include "gui/guard.h"
#include "participants/form1.h"
#include "participants/participant_lists.h"
#include "ui_pasport.h"

namespace {

using participants::ListView;

ListView authorsView(Ui::TPasport &ui, TPasport &window)
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
            [&window] { window.AuthorSelectClick(); }};
}

ListView teachersView(Ui::TPasport &ui, TPasport &window)
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
            [&window] { window.TeacherSelectClick(); },
            ui.LeaderID,
            ui.LeaderID_Label};
}

} // namespace

void TPasport::connectParticipants()
{
    for (QListWidget *list : {ui->AuthorsListBox, ui->TeachersListBox}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(false);
    }

    // A change of the selection by the user runs the select step. A list box
    // with items keeps one selected, as on the classic platform: a Ctrl+click
    // that would leave none selects the current item again.
    const auto onSelection = [this](QListWidget *list, void (TPasport::*select)()) {
        return [this, list, select] {
            if (list->selectedItems().isEmpty() && list->currentRow() >= 0) {
                participants::selectRow(list, list->currentRow());
            }
            guarded(this, select)();
        };
    };
    connect(ui->AuthorsListBox, &QListWidget::itemSelectionChanged, this,
            onSelection(ui->AuthorsListBox, &TPasport::AuthorSelectClick));
    connect(ui->TeachersListBox, &QListWidget::itemSelectionChanged, this,
            onSelection(ui->TeachersListBox, &TPasport::TeacherSelectClick));

    connect(ui->AuthorAdd, &QPushButton::clicked, this, guarded(this, &TPasport::AuthorAddClick));
    connect(ui->TeacherAdd, &QPushButton::clicked, this, guarded(this, &TPasport::TeacherAddClick));
    connect(ui->AuthorDelete, &QPushButton::clicked, this, guarded(this, &TPasport::AuthorDeleteClick));
    connect(ui->TeacherDelete, &QPushButton::clicked, this, guarded(this, &TPasport::TeacherDeleteClick));

    connect(ui->AuthorsLastname, &QLineEdit::textChanged, this, guarded(this, &TPasport::AuthorsLastnameChange));
    connect(ui->AuthorsName, &QLineEdit::textChanged, this, guarded(this, &TPasport::AuthorsNameChange));
    connect(ui->AuthorsPatronymic, &QLineEdit::textChanged, this, guarded(this, &TPasport::AuthorsPatronymicChange));
    connect(ui->TeachersLastname, &QLineEdit::textChanged, this, guarded(this, &TPasport::TeachersLastnameChange));
    connect(ui->TeachersName, &QLineEdit::textChanged, this, guarded(this, &TPasport::TeachersNameChange));
    connect(ui->TeachersPatronymic, &QLineEdit::textChanged, this, guarded(this, &TPasport::TeachersPatronymicChange));
}

void TPasport::AuthorAddClick()
{
    participants::addParticipant(this, Form1, authorsView(*ui, *this), teachersView(*ui, *this));
}

void TPasport::TeacherAddClick()
{
    participants::addParticipant(this, Form1, teachersView(*ui, *this), authorsView(*ui, *this));
}

void TPasport::AuthorDeleteClick() { participants::deleteParticipant(this, authorsView(*ui, *this)); }
void TPasport::TeacherDeleteClick() { participants::deleteParticipant(this, teachersView(*ui, *this)); }
void TPasport::AuthorSelectClick() { participants::selectParticipant(authorsView(*ui, *this)); }
void TPasport::TeacherSelectClick() { participants::selectParticipant(teachersView(*ui, *this)); }

void TPasport::AuthorsLastnameChange()
{
    participants::storeName(authorsView(*ui, *this), &TPersonRecord::Surname, ui->AuthorsLastname);
}
void TPasport::AuthorsNameChange()
{
    participants::storeName(authorsView(*ui, *this), &TPersonRecord::Name, ui->AuthorsName);
}
void TPasport::AuthorsPatronymicChange()
{
    participants::storeName(authorsView(*ui, *this), &TPersonRecord::Patronymic, ui->AuthorsPatronymic);
}
void TPasport::TeachersLastnameChange()
{
    participants::storeName(teachersView(*ui, *this), &TPersonRecord::Surname, ui->TeachersLastname);
}
void TPasport::TeachersNameChange()
{
    participants::storeName(teachersView(*ui, *this), &TPersonRecord::Name, ui->TeachersName);
}
// The patronymic keeps exactly what is typed, like the other five name edits.
void TPasport::TeachersPatronymicChange()
{
    participants::storeName(teachersView(*ui, *this), &TPersonRecord::Patronymic, ui->TeachersPatronymic);
}

void TPasport::restoreParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers,
                                   int leader)
{
    AuthorsData = {};
    TeachersData = {};
    participants::restoreList(authorsView(*ui, *this), authors, -1);
    participants::restoreList(teachersView(*ui, *this), teachers, leader);
}
