// The window for keyboard and screen-reader users: one Tab chain, Enter on
// buttons, a visible focus on the help memos, names for every control, texts
// of any length.

#include "gui/keyboard.h"
#include "app/passport_window.h"
#include "ui_passport_window.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <limits>

namespace {

// List rows of a fixed height, as the lists were drawn.
class FixedRowHeight : public QStyledItemDelegate {
public:
    FixedRowHeight(int height, QObject *parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

constexpr int kRowHeight = 13;

// Keeps a name field out of the Tab chain while it is empty and read-only
// (no participant selected): there is nothing to read or type there.
class TabStopWhileUseful : public QObject {
public:
    explicit TabStopWhileUseful(QLineEdit *edit) : QObject(edit), edit_(edit)
    {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, &TabStopWhileUseful::update);
        update();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ReadOnlyChange)
            update();
        return false;
    }

private:
    void update()
    {
        edit_->setFocusPolicy(edit_->isReadOnly() && edit_->text().isEmpty() ? Qt::NoFocus : Qt::StrongFocus);
    }

    QLineEdit *edit_;
};

} // namespace

QList<QWidget *> PassportWindow::tabChain() const
{
    // Only the current sheet's controls are visible, so Tab runs from the
    // tab bar through that sheet and on to the bottom row.
    return {
        ui->SectionsTabs->tabBar(),
        // "Информация о работе"
        ui->title,
        ui->description,
        ui->tech_request,
        ui->manual,
        ui->public_post_index,
        ui->public_post_address,
        ui->public_phone,
        ui->public_email,
        ui->Button3,
        ui->HelpMemo,
        // "Картинка"
        ui->AddImg,
        ui->DelImg,
        ui->WorkImgSign,
        ui->Memo5,
        // "Авторы и руководители"
        ui->AuthorsListBox,
        ui->AuthorAdd,
        ui->AuthorDelete,
        ui->AuthorsLastname,
        ui->AuthorsName,
        ui->AuthorsPatronymic,
        ui->TeachersListBox,
        ui->TeacherAdd,
        ui->TeacherDelete,
        ui->TeachersLastname,
        ui->TeachersName,
        ui->TeachersPatronymic,
        ui->LeaderID,
        ui->Memo1,
        // "Комментарии"
        ui->Notes,
        ui->Memo2,
        // The bottom row
        ui->OpenButton,
        ui->Preview,
        ui->SaveButton,
    };
}

void PassportWindow::connectKeyboard()
{
    gui::setTabChain(tabChain());
    gui::pressButtonsOnEnter(this);

    // No one-line field has a length limit: Qt's default of 32767 would cut
    // a long paste without a word.
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        edit->setMaxLength(std::numeric_limits<int>::max());

    for (QPlainTextEdit *memo : {ui->HelpMemo, ui->Memo5, ui->Memo1, ui->Memo2}) {
        gui::showFocusFrame(memo);
        memo->setAccessibleName(QStringLiteral("Помощь"));
    }

    // The labels name their fields (buddies in the layout); these controls
    // have no label of their own.
    ui->AuthorsListBox->setAccessibleName(QStringLiteral("Номера авторов"));
    ui->TeachersListBox->setAccessibleName(QStringLiteral("Номера руководителей"));
    ui->LeaderID->view()->setAccessibleName(ui->LeaderID_Label->text());
    ui->WorkImg->setAccessibleName(QStringLiteral("Изображение к работе"));

    for (QListWidget *list : {ui->AuthorsListBox, ui->TeachersListBox}) {
        list->setItemDelegate(new FixedRowHeight(kRowHeight, list));
        list->setUniformItemSizes(true);
    }
    ui->LeaderID->setItemDelegate(new FixedRowHeight(kRowHeight, ui->LeaderID));

    for (QLineEdit *edit : {ui->AuthorsLastname, ui->AuthorsName, ui->AuthorsPatronymic, ui->TeachersLastname,
                            ui->TeachersName, ui->TeachersPatronymic})
        new TabStopWhileUseful(edit);

    // The sections chosen are read with the button that chooses them.
    auto describeSections = [this] {
        QStringList lines;
        for (const QLabel *line : {ui->subj1, ui->subj2, ui->subj3, ui->subj4})
            if (!line->text().trimmed().isEmpty())
                lines << line->text().trimmed();
        ui->Button3->setAccessibleDescription(lines.join(QLatin1Char('\n')));
    };
    connect(&model_, &PassportModel::subjectSlotsChanged, this, describeSections);
    describeSections();
}
