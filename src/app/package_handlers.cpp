// Opening a saved package again, and the question about unsaved input on
// close.

#include "app/pasport.h"
#include "core/failure.h"
#include "core/platform.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "save/draft_scheduler.h"
#include "save/package_reader.h"
#include "ui_pasport.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>

namespace {

const QString kPackageFilter = QStringLiteral("Паспорт работы Фестиваля \"Ковирта\" (*.kwp)");
const QString kUnsavedQuestion = QStringLiteral("Сохранить изменения в паспорте работы?");
const QString kOpenErrorCaption = QStringLiteral("Ошибка открытия");

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

void TPasport::connectPackage()
{
    plainTitle = windowTitle();
    connect(ui->OpenButton, &QPushButton::clicked, this, guarded(this, &TPasport::OpenButtonClick));
    auto *openShortcut = new QShortcut(QKeySequence::Open, this);
    openShortcut->setContext(Qt::WindowShortcut);
    connect(openShortcut, &QShortcut::activated, this, guarded(this, &TPasport::OpenButtonClick));

    // A package dropped anywhere on the window opens, also over the edits
    // that would otherwise take the file's name as text.
    setAcceptDrops(true);
    for (QWidget *child : findChildren<QWidget *>())
        if (child->acceptDrops())
            child->installEventFilter(this);

    connectDrafts();
}

void TPasport::updateTitle()
{
    setWindowTitle(currentPackagePath.isEmpty()
                       ? plainTitle
                       : QFileInfo(currentPackagePath).fileName() + QStringLiteral(" - ") + plainTitle);
}

// ---- Saving and the question about unsaved input ----

void TPasport::packageSaved(const QString &path, const PassportSnapshot &passport)
{
    takePackagePath(path);
    drafts->setSaved(passport, currentPackagePath);
}

void TPasport::takePackagePath(const QString &path)
{
    currentPackagePath = QFileInfo(path).absoluteFilePath();
    lastPackagePath = currentPackagePath;
    updateTitle();
}

bool TPasport::saveReportingFailure()
{
    bool saved = false;
    runGuarded(this, [&] { saved = savePassport(); });
    return saved;
}

bool TPasport::settleUnsavedInput()
{
    // Nothing escapes from here: a failure would otherwise leave a window
    // closing, or another package opening, over input that was never asked
    // about.
    bool settled = false;
    runGuarded(this, [&] {
        if (!drafts->unsaved(snapshot())) {
            settled = true;
            return;
        }
        switch (modal::message(this, modal::Icon::Question, kAppTitle, kUnsavedQuestion, modal::Buttons::YesNoCancel)) {
        case modal::Answer::Yes:
            settled = saveReportingFailure();
            break;
        case modal::Answer::No:
            settled = true;
            break;
        default:
            break;
        }
    });
    return settled;
}

void TPasport::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (!settleUnsavedInput())
        return;
    // Saved, given up or unchanged: the draft has nothing left to keep.
    drafts->stop();
    drafts->discard();
    event->accept();
}

// ---- Opening ----

void TPasport::OpenButtonClick()
{
    if (!settleUnsavedInput())
        return;
    modal::OpenFileRequest request;
    request.caption = QStringLiteral("Открытие файла паспорта работы");
    request.directory = lastPackagePath.isEmpty() ? QDir::homePath() : QFileInfo(lastPackagePath).absolutePath();
    request.nameFilters = {kPackageFilter};
    const QString path = modal::openFile(this, request);
    if (path.isEmpty())
        return;
    openPackageSettled(path);
}

bool TPasport::openPackage(const QString &path)
{
    if (!settleUnsavedInput())
        return false;
    return openPackageSettled(path);
}

bool TPasport::openPackageSettled(const QString &path)
{
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    const save::ReadResult result = save::readPackage(fullPath);
    if (!result.contents) {
        modal::message(this, modal::Icon::Error, kOpenErrorCaption, openErrorText(fullPath, result.problems));
        return false;
    }
    restorePassport(result.contents->passport, result.contents->pictureJpeg);
    takePackagePath(fullPath);
    drafts->setSaved(snapshot(), fullPath);
    return true;
}

void TPasport::restorePassport(const PassportSnapshot &passport, const QByteArray &pictureJpeg)
{
    ui->title->setText(passport.title);
    ui->description->setPlainText(core::passportTextToMemo(passport.description));
    ui->tech_request->setText(passport.techRequest);
    ui->manual->setPlainText(core::passportTextToMemo(passport.manual));
    ui->public_post_index->setText(passport.postIndex);
    ui->public_post_address->setText(passport.postAddress);
    ui->public_phone->setText(passport.phone);
    ui->public_email->setText(passport.email);
    ui->Notes->setPlainText(core::passportTextToMemo(passport.notes));
    restoreSections(passport.subjectSlots);
    restoreParticipants(passport.authors, passport.teachers, passport.leaderIndex);
    restorePicture(passport, pictureJpeg);
}

// ---- Dropping a package onto the window ----

void TPasport::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedPackage(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

bool TPasport::packageDragEvent(QEvent *event)
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

void TPasport::dropEvent(QDropEvent *event)
{
    const QString path = droppedPackage(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened once the drop is over: the question and the error box are
    // modal, and a drag must not wait for them.
    QTimer::singleShot(0, this, [this, path] { runGuarded(this, [&] { openPackage(path); }); });
}
