// The subject sections on the passport window: the sections dialog, and the
// summary lines that show the model's sections.

#include "app/passport_window.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "sections/section_rules.h"
#include "sections/sections_dialog.h"
#include "ui_passport_window.h"

#include <QLabel>
#include <QPushButton>

void PassportWindow::connectSections()
{
    connect(ui->Button3, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::chooseSections));
    connect(&model_, &PassportModel::subjectSlotsChanged, this, &PassportWindow::showSections);
}

// Shows the sections dialog; on "Выбрать" the ticked sections go into the
// slots in section order. Closing the dialog otherwise changes nothing here;
// its ticks stay for the next time.
void PassportWindow::chooseSections()
{
    if (!sectionsDialog)
        return;
    if (gui::modal::exec(sectionsDialog) != QDialog::Accepted)
        return;
    model_.setSubjectSlots(sections::subjectSlotsFromTicks(sectionsDialog->ticks()));
}

void PassportWindow::showSections()
{
    // The dialog shows the same ticks next time.
    if (sectionsDialog)
        sectionsDialog->setTicksFromSlots(model_.subjectSlots());
    const std::array<QString, 4> lines =
        sections::subjectSummaryLines(model_.subjectSlots(), core::defaultSubjectNames());
    QLabel *const labels[] = {ui->subj1, ui->subj2, ui->subj3, ui->subj4};
    for (std::size_t k = 0; k < lines.size(); ++k) {
        labels[k]->setText(lines[k]);
        labels[k]->adjustSize();
    }
}
