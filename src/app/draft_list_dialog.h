#pragma once

// The list of drafts that programs which ended without saving left behind,
// shown at start-up when there are several (or a damaged one): restore the
// selected one, delete the selected ones, or keep them all for later.

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
        QString title;     // the work's title; empty when it has none
        QDateTime changed; // the draft's last change
        bool damaged = false;
    };

    // remove deletes the drafts at the given positions of entries (the
    // positions as given here, whatever was deleted before).
    DraftListDialog(const QList<Entry> &entries, std::function<void(const QList<int> &)> remove,
                    QWidget *parent = nullptr);

    // The position of the draft to restore once the dialog is accepted; -1
    // when none is to be restored.
    int chosen() const { return chosen_; }

private:
    void selectionChanged();
    void restoreSelected();
    void deleteSelected();
    QList<int> selectedPositions() const;

    std::function<void(const QList<int> &)> remove_;
    QList<Entry> entries_;
    QTreeWidget *list_ = nullptr;
    QPushButton *restore_ = nullptr;
    QPushButton *delete_ = nullptr;
    QPushButton *keep_ = nullptr;
    int chosen_ = -1;
};
