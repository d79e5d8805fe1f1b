// The field help panel of the first sheet: clicking into a field, or moving
// the focus into it, shows that field's help.

#include "app/help_texts.h"
#include "app/passport_window.h"
#include "gui/guard.h"
#include "ui_passport_window.h"

#include <QEvent>

void PassportWindow::showTitleHelp() { ui->HelpMemo->setPlainText(core::passportTextToMemo(help::titleHelp())); }
void PassportWindow::showDescriptionHelp()
{
    ui->HelpMemo->setPlainText(core::passportTextToMemo(help::descriptionHelp()));
}
void PassportWindow::showRequirementsHelp()
{
    ui->HelpMemo->setPlainText(core::passportTextToMemo(help::requirementsHelp()));
}
void PassportWindow::showManualHelp() { ui->HelpMemo->setPlainText(core::passportTextToMemo(help::manualHelp())); }
void PassportWindow::showContactsHelp() { ui->HelpMemo->setPlainText(core::passportTextToMemo(help::contactsHelp())); }

void PassportWindow::showDescriptionCount()
{
    // Counted as the cut counts: a line break is two characters (CR LF), a
    // character outside the basic plane one.
    const qsizetype count = core::characterCount(model_.text(PassportModel::Text::Description));
    QString text = QStringLiteral("%1 из %2").arg(count).arg(core::kPublishedDescriptionLength);
    QPalette palette = ui->Work_infoGroup->palette();
    if (count > core::kPublishedDescriptionLength) {
        text += QStringLiteral(": текст после %1-го знака не будет опубликован").arg(core::kPublishedDescriptionLength);
        // Dark red: stands out, and reads well on the window's grey.
        palette.setColor(QPalette::WindowText, QColor(0xA0, 0x00, 0x00));
    }
    ui->DescriptionCount->setText(text);
    ui->DescriptionCount->setPalette(palette);
    // Read with the field: the count, then the field's help.
    ui->description->setAccessibleDescription(text + QLatin1Char('\n')
                                              + core::passportTextToMemo(help::descriptionHelp()));
}

void PassportWindow::connectHelp()
{
    connect(&model_, &PassportModel::textChanged, this, [this](PassportModel::Text which) {
        if (which == PassportModel::Text::Description)
            gui::runGuarded(this, [this] { showDescriptionCount(); });
    });
    showDescriptionCount();

    // Each field's help is its accessible description, read with the field
    // (the help panel is reached only after every field).
    ui->title->setAccessibleDescription(core::passportTextToMemo(help::titleHelp()));
    ui->tech_request->setAccessibleDescription(core::passportTextToMemo(help::requirementsHelp()));
    ui->manual->setAccessibleDescription(core::passportTextToMemo(help::manualHelp()));
    for (QWidget *contact :
         {static_cast<QWidget *>(ui->public_post_index), static_cast<QWidget *>(ui->public_post_address),
          static_cast<QWidget *>(ui->public_phone), static_cast<QWidget *>(ui->public_email)})
        contact->setAccessibleDescription(core::passportTextToMemo(help::contactsHelp()));
    for (QWidget *field : {static_cast<QWidget *>(ui->AddImg), static_cast<QWidget *>(ui->WorkImgSign)})
        field->setAccessibleDescription(core::passportTextToMemo(help::pictureHelp()));
    for (QWidget *field : {static_cast<QWidget *>(ui->AuthorsListBox), static_cast<QWidget *>(ui->TeachersListBox),
                           static_cast<QWidget *>(ui->AuthorAdd), static_cast<QWidget *>(ui->TeacherAdd)})
        field->setAccessibleDescription(core::passportTextToMemo(help::participantsHelp()));
    ui->Notes->setAccessibleDescription(core::passportTextToMemo(help::commentsHelp()));

    // A memo receives its mouse presses on its viewport.
    for (QObject *field :
         {static_cast<QObject *>(ui->title), static_cast<QObject *>(ui->description),
          static_cast<QObject *>(ui->description->viewport()), static_cast<QObject *>(ui->tech_request),
          static_cast<QObject *>(ui->manual), static_cast<QObject *>(ui->manual->viewport()),
          static_cast<QObject *>(ui->public_post_index), static_cast<QObject *>(ui->public_post_address),
          static_cast<QObject *>(ui->public_phone), static_cast<QObject *>(ui->public_email)})
        field->installEventFilter(this);
}

bool PassportWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (packageDragEvent(event))
        return true;
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::MouseButtonPress)
        return QWidget::eventFilter(watched, event);

    void (PassportWindow::*handler)() = nullptr;
    if (watched == ui->title)
        handler = &PassportWindow::showTitleHelp;
    else if (watched == ui->description || watched == ui->description->viewport())
        handler = &PassportWindow::showDescriptionHelp;
    else if (watched == ui->tech_request)
        handler = &PassportWindow::showRequirementsHelp;
    else if (watched == ui->manual || watched == ui->manual->viewport())
        handler = &PassportWindow::showManualHelp;
    else if (watched == ui->public_post_index || watched == ui->public_post_address || watched == ui->public_phone
             || watched == ui->public_email)
        handler = &PassportWindow::showContactsHelp;
    if (handler)
        gui::guarded(this, handler)();
    return QWidget::eventFilter(watched, event);
}
