// The work picture on the passport window: load, remove, export.

#include "app/passport_window.h"
#include "app/picture_load.h"
#include "core/files.h"
#include "gui/appearance.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "picture/picture_file.h"
#include "picture/picture_size.h"
#include "ui_passport_window.h"

#include <QFileInfo>

namespace {
// Qt's filter syntax; Qt's own file dialog matches it without regard to case,
// so the .JPG files that cameras write are listed too. The first filter
// shows both kinds of picture; the second, JPEG files alone.
const QString kPictureFilter = QStringLiteral("Изображения (*.jpg *.jpeg *.png)");
const QString kJpegFilter = QStringLiteral("JPEG Image File (*.jpg *.jpeg)");
} // namespace

void PassportWindow::connectPicture()
{
    pictureLoader = new PictureLoader(this, ui->WorkImg);
    connect(ui->AddImg, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::loadPicture));
    connect(ui->DelImg, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::removePicture));
    connect(&model_, &PassportModel::pictureChanged, this, &PassportWindow::showPicture);
}

void PassportWindow::loadPicture()
{
    gui::modal::OpenFileRequest request;
    if (!lastPictureFile.isEmpty()) {
        request.directory = QFileInfo(lastPictureFile).absolutePath();
        request.selectedFile = lastPictureFile;
    }
    request.nameFilters = QStringList{kPictureFilter, kJpegFilter};
    request.picturePreview = true;
    const QString path = gui::modal::openFile(this, request);
    if (path.isEmpty())
        return;
    loadPictureFile(path);
}

bool PassportWindow::pictureLoading() const { return pictureLoader->busy(); }

void PassportWindow::loadPictureFile(const QString &path)
{
    if (pictureLoader->busy())
        return;
    // The picture's buttons (and so drops of pictures) wait for the load.
    ui->AddImg->setEnabled(false);
    ui->DelImg->setEnabled(false);
    pictureLoader->start(
        path,
        [this] {
            // As they stood: the tab is left as it was until a result comes.
            ui->AddImg->setEnabled(!model_.hasPicture());
            ui->DelImg->setEnabled(model_.hasPicture());
        },
        [this, path](PictureOutcome outcome) {
            gui::runGuarded(this, [&] { takePicture(path, std::move(outcome)); });
        });
}

void PassportWindow::takePicture(const QString &path, PictureOutcome outcome)
{
    // A file whose header failed changes nothing. Otherwise the box takes
    // the picture's size: if the data then failed, it keeps that size with
    // nothing drawn and no picture loaded.
    if (outcome.shown)
        ui->WorkImg->resizeBitmap(outcome.shown->width(), outcome.shown->height());
    // Shown in the error box.
    QImage shown = std::move(outcome.picture).value();
    // A new picture is exported afresh.
    model_.setPicture(std::move(shown));
    // Offered by the dialog next time; a file that failed is not (its
    // preview would be read again each time).
    lastPictureFile = path;
}

void PassportWindow::cancelPictureLoad() { pictureLoader->cancel(); }

void PassportWindow::removePicture() { model_.removePicture(); }

void PassportWindow::showPicture()
{
    const bool loaded = model_.hasPicture();
    if (loaded) {
        ui->WorkImg->setBitmap(model_.picture());
    } else {
        // Plain white: the "300 x 300" of start-up is not drawn again.
        ui->WorkImg->resizeBitmap(picture::kFrameSide, picture::kFrameSide);
        ui->WorkImg->clearBitmap();
    }
    ui->WorkImgSign->setEnabled(loaded);
    gui::setEditBackground(ui->WorkImgSign, loaded ? QPalette::Base : QPalette::Window);
    ui->DelImg->setEnabled(loaded);
    ui->AddImg->setEnabled(!loaded);
}

bool PassportWindow::writePicture(const QString &path)
{
    if (!model_.hasPicture())
        return false;
    // The picture of an opened package is written as it was read, so that it
    // loses nothing however often it is opened and saved again.
    core::writeFileReplacing(path, model_.pictureFile());
    return true;
}
