// Authors and supervisors: adding by ID, names, deletion, invoice recipient.
//
// Both lists follow the same rules; a Side names the controls, the table and
// the texts of one list, so each rule is written once.

#include "gui/appearance.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "app/pasport.h"
#include "participants/form1.h"
#include "participants/participant_id.h"
#include "ui_pasport.h"

#include <QSignalBlocker>
#include <span>

namespace {

const QString kErrorCaption = QStringLiteral("Ошибка");
const QString kDeleteCaption = QStringLiteral("Удаление автора");

struct Side {
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
    void (TPasport::*select)();
    // The invoice recipient, kept in step with the supervisors' list.
    QComboBox *leader = nullptr;
    QLabel *leaderLabel = nullptr;
};

Side authorsSide(Ui::TPasport &ui, TPasport &window)
{
    return {ui.AuthorsListBox, ui.AuthorsGroup, ui.AuthorAdd, ui.AuthorDelete,
            ui.AuthorsLastname, ui.AuthorsName, ui.AuthorsPatronymic,
            std::span<TPersonRecord>(window.AuthorsData.data(), kMaxAuthors), kMaxAuthors,
            QStringLiteral("Авторы ("), QStringLiteral("Введенный ID уже является руководителем работы"),
            QStringLiteral("Вы действительно хотите удалить автора из списка?"), &TPasport::AuthorSelectClick};
}

Side teachersSide(Ui::TPasport &ui, TPasport &window)
{
    return {ui.TeachersListBox, ui.TeachersGroup, ui.TeacherAdd, ui.TeacherDelete,
            ui.TeachersLastname, ui.TeachersName, ui.TeachersPatronymic,
            std::span<TPersonRecord>(window.TeachersData.data(), kMaxTeachers), kMaxTeachers,
            QStringLiteral("Руководители ("), QStringLiteral("Введенный ID уже является автором работы"),
            QStringLiteral("Вы действительно хотите удалить руководителя из списка?"),
            &TPasport::TeacherSelectClick, ui.LeaderID, ui.LeaderID_Label};
}

// The selected position of a list, or -1.
int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.constFirst());
}

// Selects a row without running the select step through the signal; the
// handlers run it themselves.
void selectRow(QListWidget *list, int row)
{
    const QSignalBlocker quiet(list);
    list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

int findItem(const QListWidget *list, const QString &text)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == text)
            return i;
    return -1;
}

void setNameEditsUnlocked(const Side &side, bool unlocked)
{
    for (QLineEdit *edit : {side.surname, side.name, side.patronymic}) {
        edit->setReadOnly(!unlocked);
        setEditBackground(edit, unlocked ? QPalette::Base : QPalette::Button);
    }
}

void updateCaption(const Side &side)
{
    side.group->setTitle(side.captionPrefix + QString::number(side.list->count()) + QLatin1Char(')'));
}

void addParticipant(TPasport *window, TForm1 *form1, const Side &own, const Side &other)
{
    form1->AddID->setText(QString());
    if (modal::exec(form1) != QDialog::Accepted)
        return;
    const std::optional<QString> id = CheckParticipantId(window, form1->AddID->text());
    if (!id)
        return;

    // An ID stands at most once in the two lists together.
    if (const int i = findItem(own.list, *id); i >= 0) {
        selectRow(own.list, i);
        (window->*own.select)();
        return;
    }
    if (const int i = findItem(other.list, *id); i >= 0) {
        selectRow(other.list, i);
        (window->*other.select)();
        modal::message(window, modal::Icon::None, kErrorCaption, own.inOtherListMessage);
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
    (window->*own.select)();
    updateCaption(own);
    if (n >= own.limit)
        own.add->setEnabled(false);
    if (selectedRow(own.list) >= 0)
        own.remove->setEnabled(true);
}

void selectParticipant(const Side &side)
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

void deleteParticipant(TPasport *window, const Side &side)
{
    const int k = selectedRow(side.list);
    if (k < 0)
        return;
    if (modal::message(window, modal::Icon::Question, kDeleteCaption, side.deleteQuestion, modal::Buttons::YesNo)
        != modal::Answer::Yes)
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
        (window->*side.select)();
    } else {
        side.surname->setText(QString());
        side.name->setText(QString());
        side.patronymic->setText(QString());
    }
}

// Stores the text of a name edit into the selected participant's entry.
void storeName(const Side &side, QString TPersonRecord::*field, const QLineEdit *edit)
{
    const int k = selectedRow(side.list);
    if (k >= 0)
        side.table[k].*field = edit->text();
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
                selectRow(list, list->currentRow());
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
    connect(ui->AuthorsPatronymic, &QLineEdit::textChanged, this,
            guarded(this, &TPasport::AuthorsPatronymicChange));
    connect(ui->TeachersLastname, &QLineEdit::textChanged, this, guarded(this, &TPasport::TeachersLastnameChange));
    connect(ui->TeachersName, &QLineEdit::textChanged, this, guarded(this, &TPasport::TeachersNameChange));
    connect(ui->TeachersPatronymic, &QLineEdit::textChanged, this,
            guarded(this, &TPasport::TeachersPatronymicChange));
}

void TPasport::AuthorAddClick()
{
    addParticipant(this, Form1, authorsSide(*ui, *this), teachersSide(*ui, *this));
}

void TPasport::TeacherAddClick()
{
    addParticipant(this, Form1, teachersSide(*ui, *this), authorsSide(*ui, *this));
}

void TPasport::AuthorDeleteClick() { deleteParticipant(this, authorsSide(*ui, *this)); }
void TPasport::TeacherDeleteClick() { deleteParticipant(this, teachersSide(*ui, *this)); }
void TPasport::AuthorSelectClick() { selectParticipant(authorsSide(*ui, *this)); }
void TPasport::TeacherSelectClick() { selectParticipant(teachersSide(*ui, *this)); }

void TPasport::AuthorsLastnameChange()
{
    storeName(authorsSide(*ui, *this), &TPersonRecord::Surname, ui->AuthorsLastname);
}
void TPasport::AuthorsNameChange() { storeName(authorsSide(*ui, *this), &TPersonRecord::Name, ui->AuthorsName); }
void TPasport::AuthorsPatronymicChange()
{
    storeName(authorsSide(*ui, *this), &TPersonRecord::Patronymic, ui->AuthorsPatronymic);
}
void TPasport::TeachersLastnameChange()
{
    storeName(teachersSide(*ui, *this), &TPersonRecord::Surname, ui->TeachersLastname);
}
void TPasport::TeachersNameChange() { storeName(teachersSide(*ui, *this), &TPersonRecord::Name, ui->TeachersName); }
// The patronymic keeps exactly what is typed, like the other five name edits.
void TPasport::TeachersPatronymicChange()
{
    storeName(teachersSide(*ui, *this), &TPersonRecord::Patronymic, ui->TeachersPatronymic);
}

// Puts the participants of a passport read back into both lists, as if they
// had been added one by one: the tables, the list items, the captions, the
// add buttons and the invoice recipient. The first participant of each list
// is selected, with its names in the unlocked name edits.
void TPasport::restoreParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers,
                                   int leader)
{
    AuthorsData = {};
    TeachersData = {};
    const std::pair<Side, const QList<TPersonRecord> *> sides[] = {{authorsSide(*ui, *this), &authors},
                                                                   {teachersSide(*ui, *this), &teachers}};
    for (const auto &[side, people] : sides) {
        const int n = int(std::min<qsizetype>(people->size(), side.limit));
        {
            const QSignalBlocker quiet(side.list);
            side.list->clear();
            for (int i = 0; i < n; ++i)
                side.list->addItem((*people)[i].Id);
        }
        for (QLineEdit *edit : {side.surname, side.name, side.patronymic}) {
            const QSignalBlocker quiet(edit);
            edit->clear();
        }
        setNameEditsUnlocked(side, false);
        for (int i = 0; i < n; ++i)
            side.table[i] = (*people)[i];

        if (side.leader) {
            side.leader->clear();
            for (int i = 0; i < n; ++i)
                side.leader->addItem((*people)[i].Id);
            side.leader->setCurrentIndex(leader >= 0 && leader < n ? leader : -1);
            side.leaderLabel->setEnabled(n > 0);
            side.leader->setEnabled(n > 0);
        }
        updateCaption(side);
        side.add->setEnabled(n < side.limit);
        side.remove->setEnabled(false);
        if (n > 0) {
            selectRow(side.list, 0);
            (this->*side.select)();
        }
    }
}
