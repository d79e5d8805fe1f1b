#include "app/draft_list_dialog.h"

#include "gui/modal.h"
#include "gui/warning_line.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("Несохраненные паспорта работ");
const QString kIntro = QStringLiteral("Тирлада была закрыта, не сохранив эти паспорта работ.\n"
                                      "Выберите паспорт, чтобы восстановить его, или отметьте ненужные и удалите их.");
const QString kUntitled = QStringLiteral("(без названия)");
const QString kDamaged = QStringLiteral("поврежден, восстановить нельзя");
const QString kReadable = QStringLiteral("можно восстановить");
const QString kPictureLost = QStringLiteral("можно восстановить без картинки");

QString deleteQuestion(int count)
{
    return count == 1 ? QStringLiteral("Удалить выбранный черновик? Восстановить его будет нельзя.")
                      : QStringLiteral("Удалить выбранные черновики (%1)? Восстановить их будет нельзя.").arg(count);
}

constexpr int kPositionRole = Qt::UserRole;

} // namespace

DraftListDialog::DraftListDialog(const QList<Entry> &entries, Remover remove, QWidget *parent)
    : QDialog(parent), remove_(std::move(remove)), entries_(entries)
{
    setObjectName(QStringLiteral("DraftList"));
    setWindowTitle(kCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *intro = new QLabel(kIntro, this);
    intro->setObjectName(QStringLiteral("DraftListIntro"));
    intro->setWordWrap(true);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("DraftListView"));
    list_->setAccessibleName(kCaption);
    list_->setAccessibleDescription(kIntro);
    list_->setColumnCount(3);
    list_->setHeaderLabels(
        {QStringLiteral("Название работы"), QStringLiteral("Последнее изменение"), QStringLiteral("Состояние")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    intro->setBuddy(list_);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    for (int i = 0; i < entries_.size(); ++i) {
        const Entry &entry = entries_[i];
        const QString title = entry.title.trimmed().isEmpty() ? kUntitled : entry.title.simplified();
        const QString changed = russian.toString(entry.changed, QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        const QString state = entry.damaged ? kDamaged : entry.pictureLost ? kPictureLost : kReadable;
        auto *item = new QTreeWidgetItem(list_, {title, changed, state});
        item->setData(0, kPositionRole, i);
        item->setToolTip(0, title);
    }
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    list_->header()->setStretchLastSection(false);

    restore_ = new QPushButton(QStringLiteral("&Восстановить"), this);
    restore_->setObjectName(QStringLiteral("RestoreDraft"));
    restore_->setAccessibleName(QStringLiteral("Восстановить выбранный паспорт"));
    delete_ = new QPushButton(QStringLiteral("&Удалить"), this);
    delete_->setObjectName(QStringLiteral("DeleteDrafts"));
    delete_->setAccessibleName(QStringLiteral("Удалить выбранные черновики"));
    keep_ = new QPushButton(QStringLiteral("&Оставить на потом"), this);
    keep_->setObjectName(QStringLiteral("KeepDrafts"));
    keep_->setAccessibleName(QStringLiteral("Оставить все черновики до следующего запуска"));
    // Enter restores, and only restores: no other button is a default.
    restore_->setDefault(true);
    delete_->setAutoDefault(false);
    keep_->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(restore_);
    buttons->addWidget(delete_);
    buttons->addWidget(keep_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    setTabOrder(list_, restore_);
    setTabOrder(restore_, delete_);
    setTabOrder(delete_, keep_);

    connect(list_, &QTreeWidget::itemSelectionChanged, this, &DraftListDialog::selectionChanged);
    connect(list_, &QTreeWidget::itemActivated, this, [this] { restoreSelected(); });
    connect(restore_, &QPushButton::clicked, this, &DraftListDialog::restoreSelected);
    connect(delete_, &QPushButton::clicked, this, &DraftListDialog::deleteSelected);
    // Keeping them all is closing the dialog: Escape and the close box do
    // the same.
    connect(keep_, &QPushButton::clicked, this, &QDialog::reject);
    auto *deleteKey = new QShortcut(QKeySequence::Delete, list_);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &DraftListDialog::deleteSelected);

    // The newest draft comes first; the newest that can be restored is
    // selected, with the focus on the list, so that Enter restores it.
    selectNewestRestorable();
    list_->setFocus(Qt::OtherFocusReason);
    selectionChanged();
    resize(620, 320);
}

void DraftListDialog::selectNewestRestorable()
{
    QTreeWidgetItem *chosen = list_->topLevelItem(0);
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list_->topLevelItem(i);
        if (!entries_[item->data(0, kPositionRole).toInt()].damaged) {
            chosen = item;
            break;
        }
    }
    list_->clearSelection();
    if (!chosen)
        return;
    list_->setCurrentItem(chosen);
    chosen->setSelected(true);
}

QList<int> DraftListDialog::selectedPositions() const
{
    QList<int> positions;
    for (QTreeWidgetItem *item : list_->selectedItems())
        positions.append(item->data(0, kPositionRole).toInt());
    std::sort(positions.begin(), positions.end());
    return positions;
}

void DraftListDialog::selectionChanged()
{
    const QList<int> selected = selectedPositions();
    restore_->setEnabled(selected.size() == 1 && !entries_[selected.first()].damaged);
    delete_->setEnabled(!selected.isEmpty());
}

void DraftListDialog::restoreSelected()
{
    const QList<int> selected = selectedPositions();
    if (selected.size() != 1 || entries_[selected.first()].damaged)
        return;
    chosen_ = selected.first();
    accept();
}

void DraftListDialog::deleteSelected()
{
    const QList<int> selected = selectedPositions();
    if (selected.isEmpty())
        return;
    if (gui::modal::message(this, gui::modal::Icon::Question, kCaption, deleteQuestion(int(selected.size())),
                            gui::modal::Buttons::YesNo)
        != gui::modal::Answer::Yes)
        return;
    const QList<std::pair<int, Failure>> failed = remove_(selected);
    QList<int> kept;
    for (const auto &[position, failure] : failed)
        kept.append(position);
    for (QTreeWidgetItem *item : list_->selectedItems())
        if (!kept.contains(item->data(0, kPositionRole).toInt()))
            delete item;
    if (!failed.isEmpty()) {
        const Failure &failure = failed.constFirst().second;
        const QString why = gui::systemReason(failure);
        gui::modal::message(this, gui::modal::Icon::Warning, kCaption,
                            QStringLiteral("Не удалось удалить черновики (%1)%2. Они остались в списке.\n%3")
                                .arg(failed.size())
                                .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why,
                                     QDir::toNativeSeparators(failure.details().file)));
    }
    if (list_->topLevelItemCount() == 0) {
        // Nothing left to choose from.
        reject();
        return;
    }
    selectNewestRestorable();
    list_->setFocus(Qt::OtherFocusReason);
    selectionChanged();
}
