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
#include "gui/warning_line.h"
#include "save/leftovers.h"
#include "save/package_reader.h"
#include "spelling/checker.h"
#include "spelling/spell_check.h"
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
    const QString why = gui::systemReason(failure);
    const QString because = why.isEmpty() ? QString() : QStringLiteral(": %1").arg(why);
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
        reason = why.isEmpty() ? QString::fromLatin1(failureCodeName(failure.code())) : why;
        break;
    }
    return QStringLiteral("Черновик не сохраняется (%1). Сохраните паспорт работы, иначе при сбое введенное "
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
    gui::makeWarningLine(ui->DraftWarning);
    ui->DraftWarning->setVisible(false);
    // The same line says when a word cannot be added to the user's
    // dictionary.
    connect(spelling::sharedChecker(), &spelling::Checker::dictionaryFailureChanged, this,
            [this] { gui::runGuarded(this, [this] { showDraftFailure(); }); });
}

void PassportWindow::showDraftFailure()
{
    // A draft that cannot be written matters more than a word the
    // dictionary did not take.
    const std::optional<Failure> failure = draftScheduler->failure();
    const std::optional<Failure> &dictionaryFailure = spelling::sharedChecker()->dictionaryFailure();
    if (failure)
        gui::showWarning(ui->DraftWarning, draftFailureText(*failure), draftFailureDetails(*failure));
    else if (dictionaryFailure)
        gui::showWarning(ui->DraftWarning, spelling::dictionaryFailureText(*dictionaryFailure),
                         spelling::dictionaryFailureDetails(*dictionaryFailure));
    else
        gui::showWarning(ui->DraftWarning, QString(), QString());
}

void PassportWindow::writeDraftNow() { draftScheduler->writeNow(); }

void PassportWindow::flushDraft() { draftScheduler->flush(); }

void PassportWindow::discardDraft() { draftScheduler->discard(); }

QString PassportWindow::draftPath() const { return draftScheduler->path(); }

drafts::DraftKeeper &PassportWindow::draftKeeper() { return draftScheduler->keeper(); }

void PassportWindow::restoreDraft(drafts::OrphanDraft &orphan)
{
    const drafts::DraftReading result = drafts::readDraft(orphan.path, /*decodePicture=*/true);
    if (!result.contents) {
        gui::modal::message(this, gui::modal::Icon::Error, kRestoreErrorCaption,
                            QStringLiteral("Черновик не удалось прочитать, паспорт не восстановлен.\n%1\n\n%2")
                                .arg(QDir::toNativeSeparators(orphan.path),
                                     save::readProblemTexts(result.problems).join(QLatin1Char('\n'))));
        return;
    }
    // The restored passport is unsaved input: its draft stays, as this
    // window's own, until it is saved or given up. It names the package it
    // came from, which the caption shows and the save offers.
    cancelPictureLoad();
    model_.restore(result.contents->passport);
    const QString package =
        orphan.origin && !orphan.origin->package.isEmpty() ? orphan.origin->package : model_.filePath();
    const QByteArray saved = orphan.origin ? orphan.origin->savedPassport : QByteArray();
    draftScheduler->setRestored(std::move(orphan));
    model_.markRestored(package, saved);
    if (result.pictureLost)
        gui::modal::message(this, gui::modal::Icon::Warning, kRestoreErrorCaption,
                            QStringLiteral("Картинку из черновика восстановить не удалось: она повреждена. "
                                           "Тексты паспорта работы восстановлены, картинку добавьте заново."));
}

void PassportWindow::offerDraftRecovery()
{
    // What killed saves left in the temporary folder goes too.
    save::removeLeftoverWorkingFolders(platform::tempFolder());
    std::vector<drafts::OrphanDraft> orphans = drafts::claimOrphanDrafts(drafts::draftFolder());
    if (orphans.empty())
        return;

    // The picture is checked, not decoded, so that a long list comes up at
    // once.
    QList<DraftListDialog::Entry> entries;
    for (const drafts::OrphanDraft &orphan : orphans) {
        const drafts::DraftReading read = drafts::readDraft(orphan.path, /*decodePicture=*/false);
        DraftListDialog::Entry entry;
        entry.damaged = !read.contents.has_value();
        entry.pictureLost = read.pictureLost;
        if (read.contents)
            entry.title = read.contents->passport.title;
        entry.changed = QDateTime::fromMSecsSinceEpoch(orphan.modifiedMs);
        entries.append(entry);
    }

    // One whole draft: the question of old. Only "Нет" gives it up; Escape
    // and the close box keep it for the next start.
    if (orphans.size() == 1 && !entries.front().damaged && !entries.front().pictureLost) {
        drafts::OrphanDraft &orphan = orphans.front();
        switch (gui::modal::message(this, gui::modal::Icon::Question, gui::kAppTitle, kRestoreQuestion,
                                    gui::modal::Buttons::YesNo)) {
        case gui::modal::Answer::Yes:
            restoreDraft(orphan);
            break;
        case gui::modal::Answer::No:
            if (auto removed = drafts::removeOrphanDraft(orphan); !removed)
                gui::modal::message(this, gui::modal::Icon::Warning, gui::kAppTitle,
                                    QStringLiteral("Черновик не удалось удалить (%1). Он будет предложен при "
                                                   "следующем запуске.\n%2")
                                        .arg(gui::systemReason(removed.error()),
                                             QDir::toNativeSeparators(removed.error().details().file)));
            break;
        default:
            break; // kept: its lock goes with the list
        }
        return;
    }

    // Several, or a damaged one: one list.
    DraftListDialog dialog(
        entries,
        [&orphans](const QList<int> &positions) {
            QList<std::pair<int, Failure>> failed;
            for (int position : positions)
                if (auto removed = drafts::removeOrphanDraft(orphans[size_t(position)]); !removed)
                    failed.append({position, removed.error()});
            return failed;
        },
        this);
    if (gui::modal::exec(&dialog) != QDialog::Accepted || dialog.chosen() < 0)
        return;
    // The others stay for the next start: their locks go with the list.
    restoreDraft(orphans[size_t(dialog.chosen())]);
}
