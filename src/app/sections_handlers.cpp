// The section summary on the passport window.

#include "app/pasport.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "sections/section_rules.h"
#include "sections/subjects.h"
#include "ui_pasport.h"

#include <QLabel>
#include <QPushButton>

void TPasport::connectSections()
{
    connect(ui->Button3, &QPushButton::clicked, this, guarded(this, &TPasport::Button3Click));
}

// Shows the sections dialog; on "Выбрать" the ticked sections go into the
// slots in section order and their names into the summary lines. Closing the
// dialog otherwise changes nothing here; its ticks stay for the next time.
void TPasport::Button3Click()
{
    if (!Subjects)
        return;
    if (modal::exec(Subjects) != QDialog::Accepted)
        return;

    SubjectSlots = sections::subjectSlotsFromTicks(Subjects->ticks());
    showSubjectSummary();
}

void TPasport::restoreSections(const std::array<qint32, 4> &slotNumbers)
{
    // The dialog shows the same ticks next time, and the slots are what its
    // "Выбрать" would make of them.
    if (Subjects) {
        Subjects->setTicksFromSlots(slotNumbers);
        SubjectSlots = sections::subjectSlotsFromTicks(Subjects->ticks());
    } else {
        SubjectSlots = slotNumbers;
    }
    showSubjectSummary();
}

void TPasport::showSubjectSummary()
{
    const std::array<QString, 4> lines = sections::subjectSummaryLines(SubjectSlots, SubjectNames);
    QLabel *const labels[] = {ui->subj1, ui->subj2, ui->subj3, ui->subj4};
    for (std::size_t k = 0; k < lines.size(); ++k) {
        labels[k]->setText(lines[k]);
        labels[k]->adjustSize();
    }
}
