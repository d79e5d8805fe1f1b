#include "sections/sections_dialog.h"

#include "gui/appearance.h"
#include "gui/guard.h"
#include "gui/keyboard.h"
#include "ui_sections_dialog.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalBlocker>

SectionsDialog::SectionsDialog(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::SectionsDialog>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Subjects"));
    setFont(gui::formFont());
    gui::makeFixedWindow(this, 652, 350, /*minimizeButton=*/false);
    gui::fitLabels(this);

    boxes = {ui->CheckBox1,  ui->CheckBox2,  ui->CheckBox3,  ui->CheckBox4,  ui->CheckBox5,  ui->CheckBox6,
             ui->CheckBox7,  ui->CheckBox8,  ui->CheckBox9,  ui->CheckBox10, ui->CheckBox11, ui->CheckBox12,
             ui->CheckBox13, ui->CheckBox14, ui->CheckBox15, ui->CheckBox16, ui->CheckBox17, ui->CheckBox18,
             ui->CheckBox19, ui->CheckBox20, ui->CheckBox21, ui->CheckBox22};
    // A caption wider than its box (the font differs from the one the layout
    // was drawn with) widens the box rather than being clipped; the columns
    // leave room for that.
    for (QCheckBox *box : boxes)
        box->resize(qMax(box->width(), box->sizeHint().width()), box->height());

    // "Выбрать" is no default button: Enter must not press it while the
    // focus is elsewhere...
    ui->Button1->setAutoDefault(false);
    ui->Button1->setDefault(false);
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
    // ...but Enter on "Выбрать" itself presses it, like Space.
    gui::pressButtonsOnEnter(this);

    // Tab runs through the boxes of each group in number order; "Выбрать"
    // stands before the supplementary section's box.
    QList<QWidget *> chain(boxes.begin(), boxes.begin() + sections::kSupplementarySubject - 1);
    chain << ui->Button1 << boxes[sections::kSupplementarySubject - 1];
    gui::setTabChain(chain);

    // Every change of a tick, by mouse, keyboard or the rule itself, runs the
    // rule again; the rule depends on the ticks only, so running it twice
    // changes nothing.
    for (QCheckBox *box : boxes)
        connect(box, &QCheckBox::toggled, this, gui::guarded(this, &SectionsDialog::applySelectionRule));
    applySelectionRule();
}

SectionsDialog::~SectionsDialog() = default;

sections::SubjectFlags SectionsDialog::ticks() const
{
    sections::SubjectFlags flags{};
    for (int i = 0; i < kSubjectCount; ++i)
        flags[i] = boxes[i]->isChecked();
    return flags;
}

void SectionsDialog::setTicksFromSlots(const std::array<qint32, 4> &slotNumbers)
{
    const sections::SubjectFlags wanted = sections::subjectTicksFromSlots(slotNumbers);
    for (int i = 0; i < kSubjectCount; ++i) {
        const QSignalBlocker quiet(boxes[i]);
        boxes[i]->setChecked(wanted[i]);
    }
    applySelectionRule();
}

void SectionsDialog::applySelectionRule()
{
    const sections::SubjectBoxStates states = sections::subjectBoxStates(ticks());
    for (int i = 0; i < kSubjectCount; ++i)
        boxes[i]->setEnabled(states.enabled[i]);
    QCheckBox *supplementary = boxes[sections::kSupplementarySubject - 1];
    if (states.untickSupplementary && supplementary->isChecked())
        supplementary->setChecked(false);
}

void SectionsDialog::setVisible(bool visible)
{
    // Centred over the passport window at every showing, wherever that
    // window has been moved in the meantime.
    if (visible && !isVisible())
        gui::centreOverOwner(this);
    QDialog::setVisible(visible);
}

void SectionsDialog::keyPressEvent(QKeyEvent *event)
{
    // No cancel button: Escape leaves the dialog open. The close box still
    // cancels it.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
