// Opening a saved package again, the question about unsaved input on close,
// and the draft that keeps unsaved input safe from a crash. A package read
// goes into the model, which the controls follow.

#include "app/passport_window.h"
#include "core/failure.h"
#include "core/platform.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "save/draft.h"
#include "save/package_reader.h"
#include "ui_passport_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLockFile>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>

namespace {

const QString kUnsavedQuestion = QStringLiteral("Сохранить изменения в паспорте работы?");
const QString kRestoreQuestion = QStringLiteral("Восстановить несохраненный паспорт работы?");
const QString kOpenErrorCaption = QStringLiteral("Ошибка открытия");

// A draft is written once the input has rested this long...
constexpr int kDraftQuietMs = 500;
// ...and never later than this after the oldest change it has not got yet.
constexpr int kDraftLatestMs = 2000;

QString openErrorText(const QString &path, const QStringList &problems)
{
    QString text = QStringLiteral("Файл не открыт как паспорт работы:\n%1\n").arg(QDir::toNativeSeparators(path));
    for (const QString &problem : problems)
        text += QStringLiteral("\n") + problem;
    return text;
}

// The one package file a drag carries, or an empty text.
QString droppedPackage(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1)
        return QString();
    const QUrl url = mime->urls().constFirst();
    if (!url.isLocalFile())
        return QString();
    const QString path = url.toLocalFile();
    return path.endsWith(QLatin1String(".kwp"), Qt::CaseInsensitive) ? path : QString();
}

} // namespace

void PassportWindow::connectPackage()
{
    connect(ui->OpenButton, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::openChosenPackage));
    auto *openShortcut = new QShortcut(QKeySequence::Open, this);
    openShortcut->setContext(Qt::WindowShortcut);
    connect(openShortcut, &QShortcut::activated, this, gui::guarded(this, &PassportWindow::openChosenPackage));

    // A package dropped anywhere on the window opens, also over the edits
    // that would otherwise take the file's name as text.
    setAcceptDrops(true);
    for (QWidget *child : findChildren<QWidget *>())
        if (child->acceptDrops())
            child->installEventFilter(this);

    // Every change of the passport goes through the model; each change only
    // restarts the timer, the comparison waits for the timer.
    drafts = std::make_unique<save::DraftKeeper>(save::draftFolder());
    draftTimer = new QTimer(this);
    draftTimer->setSingleShot(true);
    connect(draftTimer, &QTimer::timeout, this, [this] { gui::runGuarded(this, [this] { writeDraft(); }); });
    connect(&model_, &PassportModel::changed, this, &PassportWindow::noteChange);

    savedSnapshot = snapshot();
    draftedSnapshot = savedSnapshot;
}

// ---- The question about unsaved input ----

bool PassportWindow::settleUnsavedInput()
{
    if (snapshot() == savedSnapshot)
        return true;
    switch (gui::modal::message(this, gui::modal::Icon::Question, gui::kAppTitle, kUnsavedQuestion,
                                gui::modal::Buttons::YesNoCancel)) {
    case gui::modal::Answer::Yes:
        return saveReportingFailure();
    case gui::modal::Answer::No:
        return true;
    default:
        return false;
    }
}

void PassportWindow::closeEvent(QCloseEvent *event)
{
    // Nothing escapes from here: a failure would otherwise leave the event
    // accepted and the input lost.
    event->ignore();
    bool close = false;
    bool discard = false;
    gui::runGuarded(this, [&] {
        if (snapshot() == savedSnapshot) {
            close = discard = true;
            return;
        }
        switch (gui::modal::message(this, gui::modal::Icon::Question, gui::kAppTitle, kUnsavedQuestion,
                                    gui::modal::Buttons::YesNoCancel)) {
        case gui::modal::Answer::Yes:
            close = saveReportingFailure();
            break;
        case gui::modal::Answer::No:
            close = discard = true;
            break;
        default:
            break;
        }
    });
    if (!close)
        return;
    closed = true;
    draftTimer->stop();
    if (discard)
        discardDraft();
    event->accept();
}

// ---- Opening ----

void PassportWindow::openChosenPackage()
{
    if (!settleUnsavedInput())
        return;
    gui::modal::OpenFileRequest request;
    request.caption = QStringLiteral("Открытие файла паспорта работы");
    request.directory = lastPackagePath.isEmpty() ? QDir::homePath() : QFileInfo(lastPackagePath).absolutePath();
    request.nameFilters = {kPackageFilter};
    const QString path = gui::modal::openFile(this, request);
    if (path.isEmpty())
        return;
    openPackageSettled(path);
}

bool PassportWindow::openPackage(const QString &path)
{
    if (!settleUnsavedInput())
        return false;
    return openPackageSettled(path);
}

bool PassportWindow::openPackageSettled(const QString &path)
{
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    const save::ReadResult result = save::readPackage(fullPath);
    if (!result.contents) {
        gui::modal::message(this, gui::modal::Icon::Error, kOpenErrorCaption, openErrorText(fullPath, result.problems));
        return false;
    }
    model_.restore(result.contents->passport, result.contents->pictureJpeg);
    lastPackagePath = fullPath;
    packageSaved(fullPath, snapshot());
    return true;
}

// ---- Dropping a package onto the window ----

void PassportWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedPackage(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

bool PassportWindow::packageDragEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (droppedPackage(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (droppedPackage(drop->mimeData()).isEmpty())
            return false;
        dropEvent(drop);
        return true;
    }
    default:
        return false;
    }
}

void PassportWindow::dropEvent(QDropEvent *event)
{
    const QString path = droppedPackage(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened once the drop is over: the question and the error box are
    // modal, and a drag must not wait for them.
    QTimer::singleShot(0, this, [this, path] { gui::runGuarded(this, [&] { openPackage(path); }); });
}

// ---- Drafts ----

void PassportWindow::noteChange()
{
    if (closed)
        return;
    // Restarted by every change, but the oldest change waits no longer than
    // kDraftLatestMs.
    if (!draftTimer->isActive())
        firstPendingChange.start();
    const qint64 left = kDraftLatestMs - firstPendingChange.elapsed();
    draftTimer->start(int(std::clamp<qint64>(left, 0, kDraftQuietMs)));
}

void PassportWindow::writeDraft()
{
    if (closed)
        return;
    const PassportSnapshot now = snapshot();
    if (now == draftedSnapshot)
        return;
    draftedSnapshot = now;
    if (now == savedSnapshot) {
        // Back to what was saved: nothing to keep.
        drafts->discard();
        return;
    }
    drafts->submit(now, model_.pictureJpeg(), platform::currentSeconds());
}

void PassportWindow::writeDraftNow()
{
    draftTimer->stop();
    writeDraft();
}

void PassportWindow::flushDraft()
{
    writeDraftNow();
    drafts->waitUntilIdle();
}

void PassportWindow::discardDraft()
{
    draftTimer->stop();
    drafts->discard();
    draftedSnapshot = savedSnapshot;
}

QString PassportWindow::draftPath() const { return drafts->path(); }

void PassportWindow::offerDraftRecovery()
{
    std::vector<save::OrphanDraft> orphans = save::claimOrphanDrafts(save::draftFolder());
    for (save::OrphanDraft &orphan : orphans) {
        const save::ReadResult result = save::readPackage(orphan.path);
        // A draft that cannot be read is left where it is, untouched.
        if (!result.contents)
            continue;
        if (gui::modal::message(this, gui::modal::Icon::Question, gui::kAppTitle, kRestoreQuestion,
                                gui::modal::Buttons::YesNo)
            != gui::modal::Answer::Yes) {
            save::removeOrphanDraft(orphan);
            continue;
        }
        // The restored passport is unsaved input: its draft stays, as this
        // window's own, until it is saved or discarded. Other drafts wait
        // for the next start.
        model_.restore(result.contents->passport, result.contents->pictureJpeg);
        drafts->adopt(orphan.path, std::move(orphan.lock));
        draftedSnapshot = snapshot();
        draftTimer->stop();
        return;
    }
}
