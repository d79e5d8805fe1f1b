#pragma once

// The list of drafts that programs which ended without saving left behind,
// shown at start-up when there are several (or a damaged one): restore the
// selected one, delete the selected ones, or keep them all for later.

#include "core/failure.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <functional>

class QPushButton;
class QTreeWidget;

class DraftListDialog : public QDialog {
    Q_OBJECT
public:
    struct Entry {
        QString title;            // the work's title; empty when it has none
        QDateTime changed;        // the draft's last change
        bool damaged = false;     // nothing of it can be restored
        bool pictureLost = false; // its texts can be restored, its picture not
    };

    // Deletes the drafts at the given positions of entries (the positions as
    // given here, whatever was deleted before); gives those it could not
    // delete, each with its failure.
    using Remover = std::function<QList<std::pair<int, Failure>>(const QList<int> &)>;

    DraftListDialog(const QList<Entry> &entries, Remover remove, QWidget *parent = nullptr);

    // The position of the draft to restore once the dialog is accepted; -1
    // when none is to be restored.
    int chosen() const { return chosen_; }

private:
    void selectionChanged();
    void selectNewestRestorable();
    void restoreSelected();
    void deleteSelected();
    QList<int> selectedPositions() const;

    Remover remove_;
    QList<Entry> entries_;
    QTreeWidget *list_ = nullptr;
    QPushButton *restore_ = nullptr;
    QPushButton *delete_ = nullptr;
    QPushButton *keep_ = nullptr;
    int chosen_ = -1;
};
