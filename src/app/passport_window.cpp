#include "app/passport_window.h"

#include "app/help_texts.h"
#include "drafts/draft_scheduler.h"
#include "gui/appearance.h"
#include "gui/memo_edit.h"
#include "picture/picture_size.h"
#include "spelling/spell_check.h"
#include "ui_passport_window.h"

#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The window's client area as designed.
constexpr QSize kClientSize(787, 502);
} // namespace

PassportWindow::PassportWindow(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::PassportWindow>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Pasport"));
    setFont(gui::formFont());
    gui::makeFixedWindow(this, kClientSize.width(), kClientSize.height(), /*minimizeButton=*/true);

    // The controls stand on a page of the designed size inside a scroll
    // area: on a screen too small for the window, the window shrinks to the
    // screen and the page scrolls (placeOnScreen).
    {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("PasportPage"));
        page->setFixedSize(kClientSize);
        for (QObject *child : QObjectList(children()))
            if (auto *widget = qobject_cast<QWidget *>(child))
                widget->setParent(page);
        auto *scroller = new QScrollArea(this);
        scroller->setObjectName(QStringLiteral("PasportScroller"));
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setFocusPolicy(Qt::NoFocus);
        scroller->setBackgroundRole(QPalette::Window);
        scroller->viewport()->setBackgroundRole(QPalette::Window);
        scroller->setWidget(page);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(scroller);
    }

    for (QPlainTextEdit *memo : {ui->description, ui->manual, ui->Notes})
        gui::setUpMemo(memo);
    for (QPlainTextEdit *memo : {ui->HelpMemo, ui->Memo5, ui->Memo1, ui->Memo2})
        gui::setUpHelpMemo(memo);
    {
        QPalette palette = ui->HelpMemo->palette();
        palette.setColor(QPalette::Text, palette.color(QPalette::ButtonText));
        ui->HelpMemo->setPalette(palette);
    }
    ui->HelpMemo->setPlainText(core::passportTextToMemo(help::initialPanelText()));
    ui->Memo5->setPlainText(core::passportTextToMemo(help::pictureHelp()));
    ui->Memo1->setPlainText(core::passportTextToMemo(help::participantsHelp()));
    ui->Memo2->setPlainText(core::passportTextToMemo(help::commentsHelp()));

    gui::setEditBackground(ui->WorkImgSign, QPalette::Window);
    for (QLineEdit *edit : {ui->AuthorsLastname, ui->AuthorsName, ui->AuthorsPatronymic, ui->TeachersLastname,
                            ui->TeachersName, ui->TeachersPatronymic})
        gui::setEditBackground(edit, QPalette::Button);
    ui->LeaderID->setEditable(false);
    gui::fitLabels(this);

    ui->SectionsTabs->setCurrentIndex(0);

    // The placeholder picture: a blank 300 x 300 bitmap with its size written
    // on it.
    ui->WorkImg->resizeBitmap(picture::kFrameSide, picture::kFrameSide);
    {
        QPainter painter(&ui->WorkImg->bitmap());
        painter.setFont(font());
        painter.setPen(Qt::black);
        painter.drawText(QRect(130, 148, 170, 30), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("300 x 300"));
    }
    ui->WorkImg->bitmapChanged();

    connectTexts();
    connectHelp();
    connectParticipants();
    connectSections();
    connectPicture();
    connectSave();
    connectPreview();
    connectKeyboard();
    // Spelling is checked in the texts people read (the table's
    // spell-checked rows); not in the index, phone, e-mail, IDs or names.
    {
        QList<QWidget *> spellChecked;
        for (const PassportTextRow &row : kPassportTexts)
            if (row.spellChecked)
                spellChecked.append(textControl(row.which));
        spelling::checkAsYouType(spellChecked);
    }
    connectPackage();
    // Last: the finished window is the passport not yet changed.
    model_.markSaved(QString());

    // Centred on the desktop when first shown, and wholly on it.
    gui::placeOnScreen(this, kClientSize, style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void PassportWindow::showEvent(QShowEvent *event)
{
    // Shown (again): changes count as input from now on.
    draftScheduler->resume();
    QWidget::showEvent(event);
    // Again now that the window has its frame.
    if (!event->spontaneous() && !placedWithFrame) {
        placedWithFrame = true;
        gui::placeOnScreen(this, kClientSize, style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    }
}

PassportWindow::~PassportWindow()
{
    // The controls outlive this part of the window, the model included, for
    // a moment; a change they signal while they are destroyed is no input.
    draftScheduler->stop();
    for (QObject *child : findChildren<QObject *>())
        child->blockSignals(true);
}

void PassportWindow::setDialogs(SectionsDialog *sections, ParticipantIdDialog *dialog)
{
    sectionsDialog = sections;
    idDialog = dialog;
}

// ---- Texts ----

QString PassportWindow::controlText(PassportModel::Text which) const
{
    QWidget *control = textControl(which);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        return edit->text();
    // A memo's raw text: toPlainText() would turn each no-break space into
    // a plain space.
    return core::memoTextToPassport(static_cast<gui::MemoEdit *>(control)->rawText());
}

void PassportWindow::showText(PassportModel::Text which)
{
    if (showingText)
        return;
    const QString text = model_.text(which);
    if (controlText(which) == text)
        return;
    {
        const QScopedValueRollback<bool> showing(showingText, true);
        QWidget *control = textControl(which);
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            edit->setText(text);
        else
            static_cast<gui::MemoEdit *>(control)->setMemoText(core::passportTextToMemo(text));
    }
    // The passport holds what the edit shows (a memo keeps its line breaks
    // as CR LF).
    model_.setText(which, controlText(which));
}

void PassportWindow::connectTexts()
{
    // Each row of the table of texts names its edit; the window keeps no
    // list of its own.
    for (const PassportTextRow &row : kPassportTexts) {
        QWidget *control = findChild<QWidget *>(row.control);
        auto *line = qobject_cast<QLineEdit *>(control);
        auto *memo = qobject_cast<gui::MemoEdit *>(control);
        if (!line && !memo)
            qFatal("the text %s has no line edit or memo named %s in the window", row.element.data(),
                   row.control.data());
        textControls[std::size_t(row.which)] = control;
        const PassportModel::Text which = row.which;
        // Typed text goes into the model; the edit need not be shown it back.
        const auto store = [this, which] {
            if (showingText)
                return;
            const QScopedValueRollback<bool> storing(showingText, true);
            model_.setText(which, controlText(which));
        };
        if (line)
            connect(line, &QLineEdit::textChanged, this, store);
        else
            connect(memo, &QPlainTextEdit::textChanged, this, store);
    }
    connect(&model_, &PassportModel::textChanged, this, &PassportWindow::showText);
}
