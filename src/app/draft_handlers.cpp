// The draft that keeps unsaved input safe from a crash: its scheduling, the
// line that says when drafts cannot be written, and the drafts of programs
// that ended without saving, offered at start-up.

#include "app/draft_list_dialog.h"
#include "app/passport_window.h"
#include "core/failure.h"
#include "core/platform.h"
#include "drafts/draft_scheduler.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "save/leftovers.h"
#include "save/package_reader.h"
#include "ui_passport_window.h"

#include <QAccessible>
#include <QDateTime>
#include <QDir>
#include <QLockFile>

namespace {

const QString kRestoreQuestion = QStringLiteral("Восстановить несохраненный паспорт работы?");
const QString kRestoreErrorCaption = QStringLiteral("Ошибка восстановления");

// The line near the buttons: what is wrong, and what to do.
QString draftFailureText(const Failure &failure)
{
    const FailureDetails &d = failure.details();
    const QString because = d.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(d.reason);
    QString reason;
    switch (failure.code()) {
    case FailureCode::CannotCreateFolder:
        reason = QStringLiteral("папку для черновиков нельзя создать") + because;
        break;
    case FailureCode::CannotCreateFile:
    case FailureCode::CannotWriteFile:
        reason = QStringLiteral("файл черновика нельзя записать") + because;
        break;
    case FailureCode::NoFreeFileName:
        reason = QStringLiteral("в папке черновиков не нашлось свободного имени");
        break;
    case FailureCode::OutOfMemory:
        reason = QStringLiteral("не хватает памяти");
        break;
    default:
        reason = d.reason.isEmpty() ? QString::fromLatin1(failureCodeName(failure.code())) : d.reason;
        break;
    }
    return QStringLiteral("Черновик не сохраняется: %1. Сохраните паспорт работы, иначе при сбое введенное "
                          "пропадет.")
        .arg(reason);
}

// The same with the file or folder concerned, for the tooltip and screen
// readers.
QString draftFailureDetails(const Failure &failure)
{
    const QString file = failure.details().file;
    return file.isEmpty() ? draftFailureText(failure)
                          : draftFailureText(failure) + QStringLiteral("\nМесто: ") + QDir::toNativeSeparators(file);
}

} // namespace

void PassportWindow::connectDrafts()
{
    draftScheduler = new drafts::DraftScheduler(model_, drafts::draftFolder(), this);
    connect(draftScheduler, &drafts::DraftScheduler::failureChanged, this,
            [this] { gui::runGuarded(this, [this] { showDraftFailure(); }); });
    ui->DraftWarning->setVisible(false);
    ui->DraftWarning->setFocusPolicy(Qt::NoFocus);
    {
        QPalette palette = ui->DraftWarning->palette();
        palette.setColor(QPalette::WindowText, QColor(0xA0, 0x00, 0x00));
        ui->DraftWarning->setPalette(palette);
    }
}

void PassportWindow::showDraftFailure()
{
    QLabel *line = ui->DraftWarning;
    const std::optional<Failure> failure = draftScheduler->failure();
    if (!failure) {
        line->setVisible(false);
        line->clear();
        line->setToolTip(QString());
        line->setAccessibleName(QString());
        line->setAccessibleDescription(QString());
        return;
    }
    const QString text = draftFailureText(*failure);
    line->setText(text);
    line->setToolTip(draftFailureDetails(*failure));
    line->setAccessibleName(text);
    line->setAccessibleDescription(draftFailureDetails(*failure));
    line->setVisible(true);
    // Said by a screen reader without taking the focus from the typing.
    QAccessibleEvent alert(line, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void PassportWindow::writeDraftNow() { draftScheduler->writeNow(); }

void PassportWindow::flushDraft() { draftScheduler->flush(); }

void PassportWindow::discardDraft() { draftScheduler->discard(); }

QString PassportWindow::draftPath() const { return draftScheduler->path(); }

drafts::DraftKeeper &PassportWindow::draftKeeper() { return draftScheduler->keeper(); }

void PassportWindow::restoreDraft(drafts::OrphanDraft &orphan)
{
    const Result<save::PackageContents> read = save::openPackage(orphan.path, {.form = save::DocumentForm::Draft});
    if (!read) {
        gui::modal::message(this, gui::modal::Icon::Error, kRestoreErrorCaption,
                            QStringLiteral("Черновик не удалось прочитать, паспорт не восстановлен.\n%1\n\n%2")
                                .arg(QDir::toNativeSeparators(orphan.path),
                                     save::readProblemTexts(read.error().details().problems).join(QLatin1Char('\n'))));
        return;
    }
    // The restored passport is unsaved input: its draft stays, as this
    // window's own, until it is saved or given up. It names the package it
    // came from, which the caption shows and the save offers.
    cancelPictureLoad();
    model_.restore(read->passport);
    const QString package =
        orphan.origin && !orphan.origin->package.isEmpty() ? orphan.origin->package : model_.filePath();
    const QByteArray saved = orphan.origin ? orphan.origin->savedPassport : QByteArray();
    draftScheduler->setRestored(std::move(orphan));
    model_.markRestored(package, saved);
}

void PassportWindow::offerDraftRecovery()
{
    // What killed saves left in the temporary folder goes too.
    save::removeLeftoverWorkingFolders(platform::tempFolder());
    std::vector<drafts::OrphanDraft> orphans = drafts::claimOrphanDrafts(drafts::draftFolder());
    if (orphans.empty())
        return;

    // One draft that can be read: the question of old.
    if (orphans.size() == 1) {
        drafts::OrphanDraft &orphan = orphans.front();
        if (save::openPackage(orphan.path, {.decodePicture = false, .form = save::DocumentForm::Draft})) {
            if (gui::modal::message(this, gui::modal::Icon::Question, gui::kAppTitle, kRestoreQuestion,
                                    gui::modal::Buttons::YesNo)
                == gui::modal::Answer::Yes)
                restoreDraft(orphan);
            else
                drafts::removeOrphanDraft(orphan);
            return;
        }
    }

    // Several, or a damaged one: one list. The picture is checked, not
    // decoded, so that a long list comes up at once.
    QList<DraftListDialog::Entry> entries;
    for (const drafts::OrphanDraft &orphan : orphans) {
        const Result<save::PackageContents> read =
            save::openPackage(orphan.path, {.decodePicture = false, .form = save::DocumentForm::Draft});
        DraftListDialog::Entry entry;
        entry.damaged = !read;
        if (read)
            entry.title = read->passport.title;
        entry.changed = QDateTime::fromMSecsSinceEpoch(orphan.modifiedMs);
        entries.append(entry);
    }
    DraftListDialog dialog(
        entries,
        [&orphans](const QList<int> &positions) {
            for (int position : positions)
                drafts::removeOrphanDraft(orphans[size_t(position)]);
        },
        this);
    if (gui::modal::exec(&dialog) != QDialog::Accepted || dialog.chosen() < 0)
        return;
    // The others stay for the next start: their locks go with the list.
    restoreDraft(orphans[size_t(dialog.chosen())]);
}
