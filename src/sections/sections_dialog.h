#pragma once

#include "sections/section_rules.h"

#include <QDialog>
#include <array>
#include <memory>

class QCheckBox;
class QKeyEvent;

namespace Ui {
class SectionsDialog;
}

// The subject sections dialog "Разделы": 22 check boxes under one selection
// rule and the button "Выбрать". It is created once and only hidden between
// showings, so the ticks and enabled states carry over. It has neither a
// default nor a cancel button: only "Выбрать" accepts it, only the close box
// cancels it.
class SectionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SectionsDialog(QWidget *parent = nullptr);
    ~SectionsDialog() override;

    // The shared click handler of the 22 boxes: applies the selection rule
    // to the current ticks.
    void applySelectionRule();

    // The current ticks, section 1 first.
    sections::SubjectFlags ticks() const;
    // Ticks the sections in the slots and nothing else, then applies the
    // selection rule, as if the user had ticked them.
    void setTicksFromSlots(const std::array<qint32, 4> &slotNumbers);

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::SectionsDialog> ui;
    std::array<QCheckBox *, kSubjectCount> boxes{};
};
