// The preview page, opened in the user's browser.

#include "app/passport_window.h"
#include "core/failure.h"
#include "core/files.h"
#include "core/platform.h"
#include "core/result.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "preview/preview_page.h"
#include "ui_passport_window.h"

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcPreview, "tirlada.preview")
} // namespace

void PassportWindow::connectPreview()
{
    connect(ui->Preview, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::showPreview));
}

void PassportWindow::showPreview()
{
    const PassportSnapshot passport = snapshot();
    const QString folder = platform::tempFolder();

    // A failure to write the picture ends the preview in the error box.
    const bool pictureWritten = passport.hasPicture;
    if (pictureWritten)
        core::writeFile(folder + preview::kPreviewPictureName, model_.pictureFile()).value();

    const QStringList lines = preview::previewPageLines(passport, pictureWritten);

    if (const Result<void> written =
            core::writeFile(folder + preview::kPreviewPageName, preview::encodePreviewPage(lines));
        !written) {
        // The box names the step that failed; the cause goes to the log.
        logFailure(lcPreview(), "writing the preview page", written.error());
        gui::modal::message(this, gui::modal::Icon::None, gui::kAppTitle, QStringLiteral("Ошибка подготовки шаблона"));
    }
    // Even after a failed write: an earlier page may still be there.
    platform::openInBrowser(folder + preview::kPreviewPageName);
}
