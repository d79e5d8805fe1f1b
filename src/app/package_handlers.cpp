// Opening a saved package again (from the open dialog, the command line or
// a drop), and the question about unsaved input before it is dropped. A
// package read goes into the model, which the controls follow.

#include "app/passport_window.h"
#include "core/failure.h"
#include "core/platform.h"
#include "drafts/draft_scheduler.h"
#include "gui/guard.h"
#include "gui/modal.h"
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

#include <algorithm>

namespace {

const QString kUnsavedQuestion = QStringLiteral("Сохранить изменения в паспорте работы?");
const QString kOpenErrorCaption = QStringLiteral("Ошибка открытия");

QString openErrorText(const QString &path, const Failure &failure)
{
    QString text = QStringLiteral("Файл не открыт как паспорт работы:\n%1\n").arg(QDir::toNativeSeparators(path));
    for (const save::ReadProblem &problem : failure.details().problems)
        text += QStringLiteral("\n") + save::readProblemText(problem);
    return text;
}

// What a drag carries, as far as the window is concerned.
struct Dropped {
    enum Kind { NoFiles, Package, Picture, OtherFiles } kind = NoFiles;
    QString path; // the one package or picture
};

Dropped droppedFiles(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    const QList<QUrl> urls = mime->urls();
    if (std::none_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); }))
        return {};
    if (urls.size() == 1) {
        const QString path = urls.constFirst().toLocalFile();
        if (path.endsWith(QLatin1String(".kwp"), Qt::CaseInsensitive))
            return {Dropped::Package, path};
        for (const char *suffix : {".jpg", ".jpeg", ".png"})
            if (path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
                return {Dropped::Picture, path};
    }
    return {Dropped::OtherFiles, {}};
}

// A package opens; a picture loads as "Добавить" loads it, while there is
// no picture (to replace one, it is removed first); other files are refused.
bool welcome(const Dropped &dropped, bool noPicture)
{
    return dropped.kind == Dropped::Package || (dropped.kind == Dropped::Picture && noPicture);
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

    connectDrafts();
}

// ---- The question about unsaved input ----

bool PassportWindow::settleUnsavedInput()
{
    // Nothing escapes from here: a failure would otherwise leave a window
    // closing, or another package opening, over input that was never asked
    // about.
    bool settled = false;
    gui::runGuarded(this, [&] {
        model_.settleModified();
        if (!model_.isModified()) {
            settled = true;
            return;
        }
        switch (gui::modal::message(this, gui::modal::Icon::Question, gui::kAppTitle, kUnsavedQuestion,
                                    gui::modal::Buttons::YesNoCancel)) {
        case gui::modal::Answer::Yes:
            settled = saveReportingFailure();
            break;
        case gui::modal::Answer::No:
            settled = true;
            break;
        default:
            break;
        }
    });
    return settled;
}

void PassportWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (!settleUnsavedInput())
        return;
    // Saved, given up or unchanged: the draft has nothing left to keep.
    draftScheduler->stop();
    draftScheduler->discard();
    cancelPictureLoad();
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
    const Result<save::PackageContents> read = save::openPackage(fullPath);
    if (!read) {
        gui::modal::message(this, gui::modal::Icon::Error, kOpenErrorCaption, openErrorText(fullPath, read.error()));
        return false;
    }
    cancelPictureLoad();
    model_.restore(read->passport);
    model_.markSaved(fullPath);
    return true;
}

// ---- Dropping a package onto the window ----

void PassportWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (welcome(droppedFiles(event->mimeData()), !model_.hasPicture()))
        event->acceptProposedAction();
}

bool PassportWindow::packageDragEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        const Dropped dropped = droppedFiles(drag->mimeData());
        if (dropped.kind == Dropped::NoFiles)
            return false;
        // Never the edit's: it would insert the files' names.
        if (welcome(dropped, !model_.hasPicture()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (droppedFiles(drop->mimeData()).kind == Dropped::NoFiles)
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
    const Dropped dropped = droppedFiles(event->mimeData());
    // Opened or loaded once the drop is over: the question and the error
    // boxes are modal, and a drag must not wait for them.
    if (dropped.kind == Dropped::Package) {
        event->acceptProposedAction();
        const QString path = dropped.path;
        QTimer::singleShot(0, this, [this, path] { gui::runGuarded(this, [&] { openPackage(path); }); });
    } else if (welcome(dropped, !model_.hasPicture())) {
        event->acceptProposedAction();
        const QString path = dropped.path;
        QTimer::singleShot(0, this, [this, path] {
            gui::runGuarded(this, [&] {
                if (!model_.hasPicture())
                    loadPictureFile(path);
            });
        });
    } else {
        event->ignore();
    }
}
