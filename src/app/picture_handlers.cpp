// The work picture on the passport window: load, remove, export.

#include "app/passport_window.h"
#include "core/files.h"
#include "gui/appearance.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "picture/jpeg_codec.h"
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
    lastPictureFile = path;

    const BusyCursor busy;
    // Opening the file and reading its header change nothing when they fail.
    picture::PictureFile reader(path);
    const QSize shown = picture::targetSize(reader.size().width(), reader.size().height());

    // The box takes the picture's size before decoding: if the data then
    // fail, it keeps that size with nothing drawn and no picture loaded.
    ui->WorkImg->resizeBitmap(shown.width(), shown.height());
    ui->WorkImg->setBitmap(reader.decodeReduced(shown));

    ui->WorkImgSign->setEnabled(true);
    gui::setEditBackground(ui->WorkImgSign, QPalette::Base);
    ui->DelImg->setEnabled(true);
    ui->AddImg->setEnabled(false);
    // A new picture is exported afresh.
    keptPictureJpeg.clear();
}

void PassportWindow::removePicture()
{
    // Plain white: the "300 x 300" of start-up is not drawn again.
    ui->WorkImg->resizeBitmap(picture::kFrameSide, picture::kFrameSide);
    ui->WorkImg->clearBitmap();

    ui->WorkImgSign->setEnabled(false);
    ui->WorkImgSign->clear();
    gui::setEditBackground(ui->WorkImgSign, QPalette::Window);
    ui->DelImg->setEnabled(false);
    ui->AddImg->setEnabled(true);
    keptPictureJpeg.clear();
}

void PassportWindow::restorePicture(const PassportSnapshot &passport, const QByteArray &jpeg)
{
    if (passport.hasPicture) {
        ui->WorkImg->setBitmap(passport.picture);
        ui->WorkImgSign->setEnabled(true);
        gui::setEditBackground(ui->WorkImgSign, QPalette::Base);
        ui->DelImg->setEnabled(true);
        ui->AddImg->setEnabled(false);
        keptPictureJpeg = jpeg;
        keptPictureKey = ui->WorkImg->bitmap().cacheKey();
    } else if (!ui->AddImg->isEnabled()) {
        removePicture();
    }
    // The caption as read, even without a picture, so that saving again
    // writes the same document.
    ui->WorkImgSign->setText(passport.pictureCaption);
}

QByteArray PassportWindow::keptPictureForShown() const
{
    // Any change of the bitmap (a new picture, a removal, drawing) gives it
    // a new cache key.
    if (ui->AddImg->isEnabled() || ui->WorkImg->bitmap().cacheKey() != keptPictureKey)
        return QByteArray();
    return keptPictureJpeg;
}

bool PassportWindow::writePicture(const QString &path)
{
    // A picture is loaded exactly while its add button is disabled.
    if (ui->AddImg->isEnabled())
        return false;
    // The picture of an opened package is written as it was read, so that it
    // loses nothing however often it is opened and saved again.
    const QByteArray kept = keptPictureForShown();
    core::writeFileReplacing(path, kept.isEmpty() ? picture::encodeJpeg(ui->WorkImg->bitmap()) : kept);
    return true;
}
