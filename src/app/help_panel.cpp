// The field help panel of the first sheet: clicking into a field, or moving
// the focus into it, shows that field's help.

#include "app/help_texts.h"
#include "app/pasport.h"
#include "gui/guard.h"
#include "ui_pasport.h"

#include <QEvent>
#include <QTextDocument>

void TPasport::titleClick() { ui->HelpMemo->setPlainText(core::passportTextToMemo(help::titleHelp())); }
void TPasport::descriptionClick() { ui->HelpMemo->setPlainText(core::passportTextToMemo(help::descriptionHelp())); }
void TPasport::tech_requestClick() { ui->HelpMemo->setPlainText(core::passportTextToMemo(help::requirementsHelp())); }
void TPasport::manualClick() { ui->HelpMemo->setPlainText(core::passportTextToMemo(help::manualHelp())); }
void TPasport::public_post_indexClick() { ui->HelpMemo->setPlainText(core::passportTextToMemo(help::contactsHelp())); }

void TPasport::descriptionChange()
{
    // Counted as the cut counts: a line break is two characters (CR LF), a
    // character outside the basic plane one.
    const qsizetype count = core::characterCount(core::memoTextToPassport(ui->description->document()->toRawText()));
    QString text = QStringLiteral("%1 из %2").arg(count).arg(core::kPublishedDescriptionLength);
    QPalette palette = ui->Work_infoGroup->palette();
    if (count > core::kPublishedDescriptionLength) {
        text += QStringLiteral(": текст после %1-го знака не будет опубликован").arg(core::kPublishedDescriptionLength);
        // Dark red: stands out, and reads well on the window's grey.
        palette.setColor(QPalette::WindowText, QColor(0xA0, 0x00, 0x00));
    }
    ui->DescriptionCount->setText(text);
    ui->DescriptionCount->setPalette(palette);
    ui->description->setAccessibleDescription(text);
}

void TPasport::connectHelp()
{
    connect(ui->description, &QPlainTextEdit::textChanged, this, guarded(this, &TPasport::descriptionChange));
    descriptionChange();

    // A memo receives its mouse presses on its viewport.
    for (QObject *field :
         {static_cast<QObject *>(ui->title), static_cast<QObject *>(ui->description),
          static_cast<QObject *>(ui->description->viewport()), static_cast<QObject *>(ui->tech_request),
          static_cast<QObject *>(ui->manual), static_cast<QObject *>(ui->manual->viewport()),
          static_cast<QObject *>(ui->public_post_index), static_cast<QObject *>(ui->public_post_address),
          static_cast<QObject *>(ui->public_phone), static_cast<QObject *>(ui->public_email)})
        field->installEventFilter(this);
}

bool TPasport::eventFilter(QObject *watched, QEvent *event)
{
    if (packageDragEvent(event))
        return true;
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::MouseButtonPress)
        return QWidget::eventFilter(watched, event);

    void (TPasport::*handler)() = nullptr;
    if (watched == ui->title)
        handler = &TPasport::titleClick;
    else if (watched == ui->description || watched == ui->description->viewport())
        handler = &TPasport::descriptionClick;
    else if (watched == ui->tech_request)
        handler = &TPasport::tech_requestClick;
    else if (watched == ui->manual || watched == ui->manual->viewport())
        handler = &TPasport::manualClick;
    else if (watched == ui->public_post_index || watched == ui->public_post_address || watched == ui->public_phone
             || watched == ui->public_email)
        handler = &TPasport::public_post_indexClick;
    if (handler)
        guarded(this, handler)();
    return QWidget::eventFilter(watched, event);
}
