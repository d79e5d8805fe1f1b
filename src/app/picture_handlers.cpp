// The work picture on the passport window: load, remove, export.

#include "app/passport_window.h"
#include "core/files.h"
#include "gui/appearance.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "picture/picture_file.h"
#include "picture/picture_size.h"
#include "ui_passport_window.h"

#include <QApplication>
#include <QFileInfo>

namespace {
// Qt's filter syntax; Qt's own file dialog matches it without regard to case,
// so the .JPG files that cameras write are listed too. The first filter
// shows both kinds of picture; the second, JPEG files alone.
const QString kPictureFilter = QStringLiteral("Изображения (*.jpg *.jpeg *.png)");
const QString kJpegFilter = QStringLiteral("JPEG Image File (*.jpg *.jpeg)");

// The busy cursor while a picture loads; restored however the load ends.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};
} // namespace

void PassportWindow::connectPicture()
{
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

void PassportWindow::loadPictureFile(const QString &path)
{
    const BusyCursor busy;
    // Opening the file and reading its header change nothing when they fail.
    picture::PictureFile reader(path);
    const QSize shown = picture::targetSize(reader.size().width(), reader.size().height());

    // The box takes the picture's size before decoding: if the data then
    // fail, it keeps that size with nothing drawn and no picture loaded.
    ui->WorkImg->resizeBitmap(shown.width(), shown.height());
    // A new picture is exported afresh.
    model_.setPicture(reader.decodeReduced(shown));
    // Offered by the dialog next time; a file that failed is not (its
    // preview would be read again each time).
    lastPictureFile = path;
}

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
