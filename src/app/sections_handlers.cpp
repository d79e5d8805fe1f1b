// The section summary on the passport window.

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
}

// Shows the sections dialog; on "Выбрать" the ticked sections go into the
// slots in section order and their names into the summary lines. Closing the
// dialog otherwise changes nothing here; its ticks stay for the next time.
void PassportWindow::chooseSections()
{
    if (!sectionsDialog)
        return;
    if (gui::modal::exec(sectionsDialog) != QDialog::Accepted)
        return;

    SubjectSlots = sections::subjectSlotsFromTicks(sectionsDialog->ticks());
    showSubjectSummary();
}

void PassportWindow::restoreSections(const std::array<qint32, 4> &slotNumbers)
{
    // The dialog shows the same ticks next time, and the slots are what its
    // "Выбрать" would make of them.
    if (sectionsDialog) {
        sectionsDialog->setTicksFromSlots(slotNumbers);
        SubjectSlots = sections::subjectSlotsFromTicks(sectionsDialog->ticks());
    } else {
        SubjectSlots = slotNumbers;
    }
    showSubjectSummary();
}

void PassportWindow::showSubjectSummary()
{
    const std::array<QString, 4> lines = sections::subjectSummaryLines(SubjectSlots, SubjectNames);
    QLabel *const labels[] = {ui->subj1, ui->subj2, ui->subj3, ui->subj4};
    for (std::size_t k = 0; k < lines.size(); ++k) {
        labels[k]->setText(lines[k]);
        labels[k]->adjustSize();
    }
}
