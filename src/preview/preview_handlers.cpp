// The preview page, opened in the user's browser.

#include "app/failure.h"
#include "app/guard.h"
#include "app/modal.h"
#include "app/pasport.h"
#include "app/platform.h"
#include "preview/preview_page.h"
#include "preview/replacing_file.h"
#include "ui_pasport.h"

#include <limits>

namespace {

QString cannotCreate(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

// Writes the picture beside the page through a fresh file. True when the
// picture file now stands at its name; a failure to write it throws.
bool writePreviewPicture(const QString &folder, const std::function<bool(const QString &)> &save)
{
    ReplacingFile file(folder, kPreviewPictureName);
    if (!file.create())
        throw Failure(cannotCreate(file.path(), file.errorString()));
    const QString fresh = file.handOver();
    try {
        if (!save(fresh))
            return false;
    } catch (const Failure &failure) {
        // The user knows the file by its real name, not by the fresh one.
        throw Failure(QString(failure.message()).replace(fresh, file.path()));
    }
    if (!file.commit())
        throw Failure(cannotCreate(file.path(), file.errorString()));
    return true;
}

// Writes the page through a fresh file; false when it could not be written.
bool writePreviewPage(const QString &folder, const QByteArray &bytes)
{
    ReplacingFile file(folder, kPreviewPageName);
    return file.create() && file.write(bytes) && file.commit();
}

} // namespace

void TPasport::connectPreview()
{
    // The scratch edit holds the converted order of study, however long.
    ui->Temp_string->setMaxLength(std::numeric_limits<int>::max());
    connect(ui->Preview, &QPushButton::clicked, this, guarded(this, &TPasport::PreviewClick));
}

void TPasport::PreviewClick()
{
    const PassportSnapshot passport = snapshot();
    const QString folder = platform::tempFolder();

    bool pictureWritten = false;
    if (passport.hasPicture)
        pictureWritten = writePreviewPicture(folder, [this](const QString &path) {
            return SaveWorkPicture(path);
        });

    const QStringList lines = previewPageLines(passport, pictureWritten);
    ui->Temp_string->setText(previewText(passport.manual));

    if (!writePreviewPage(folder, encodePreviewPage(lines)))
        modal::message(this, modal::Icon::None, kAppTitle,
                       QStringLiteral("Ошибка подготовки шаблона"));
    // Even after a failed write: an earlier page may still be there.
    platform::openInBrowser(folder + kPreviewPageName);
}
