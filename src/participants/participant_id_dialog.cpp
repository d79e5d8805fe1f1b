#include "participants/participant_id_dialog.h"

#include "gui/appearance.h"
#include "gui/guard.h"
#include "gui/keyboard.h"
#include "gui/modal.h"
#include "participants/participant_id.h"
#include "ui_participant_id_dialog.h"

#include <QKeyEvent>
#include <QShowEvent>

ParticipantIdDialog::ParticipantIdDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ParticipantIdDialog>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Form1"));
    setFont(gui::formFont());
    gui::makeFixedWindow(this, 249, 84, /*minimizeButton=*/false);
    ui->AddIDLabel->adjustSize();

    AddID = ui->AddID;
    Button1 = ui->Button1;
    // Digits only: no input method may bypass the key filter.
    AddID->setAttribute(Qt::WA_InputMethodEnabled, false);
    AddID->installEventFilter(this);

    // Tab runs between the field and the button; Enter on the focused button
    // presses it, as Enter in the field does while the button is enabled.
    gui::setTabChain({AddID, Button1});
    gui::pressButtonsOnEnter(this);

    connect(AddID, &QLineEdit::textChanged, this, gui::guarded(this, &ParticipantIdDialog::updateButton));
    connect(Button1, &QPushButton::clicked, this, gui::guarded(this, &ParticipantIdDialog::confirm));
}

ParticipantIdDialog::~ParticipantIdDialog() = default;

bool ParticipantIdDialog::acceptsKey(QChar key) const { return participants::isParticipantIdKey(key); }

void ParticipantIdDialog::updateButton()
{
    Button1->setEnabled(participants::isWellFormedParticipantId(AddID->text()));
}

void ParticipantIdDialog::confirm() { accept(); }

bool ParticipantIdDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == AddID && event->type() == QEvent::KeyPress) {
        // Only keys that would insert characters are screened; editing keys
        // (backspace, delete, arrows) and shortcuts such as paste pass.
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        const bool inserts =
            !text.isEmpty() && !text.front().isNull() && text.front().unicode() >= 32 && text.front().unicode() != 127;
        if (inserts && !(key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
            for (QChar c : text)
                if (!acceptsKey(c))
                    return true; // discarded: the field does not change
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ParticipantIdDialog::keyPressEvent(QKeyEvent *event)
{
    // Button1 is both the default and the cancel button: Escape presses it
    // while it is enabled, like Enter does, and does nothing otherwise.
    if (event->matches(QKeySequence::Cancel)) {
        if (Button1->isEnabled())
            Button1->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ParticipantIdDialog::setVisible(bool visible)
{
    if (visible)
        gui::centreOverOwner(this);
    QDialog::setVisible(visible);
}

void ParticipantIdDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Again now that the window has its frame: before the first showing its
    // size was not known.
    gui::centreOverOwner(this);
    updateButton();
    AddID->setFocus(Qt::OtherFocusReason);
}

void ParticipantIdDialog::clearId() { AddID->clear(); }

QString ParticipantIdDialog::enteredId() const { return AddID->text(); }
