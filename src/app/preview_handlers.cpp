// The preview page, opened in the user's browser.

#include "app/pasport.h"
#include "core/failure.h"
#include "core/files.h"
#include "core/platform.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "preview/preview_page.h"
#include "ui_pasport.h"

#include <QLoggingCategory>
#include <limits>

namespace {
Q_LOGGING_CATEGORY(lcPreview, "tirlada.preview")
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

    // A failure to write the picture ends the preview in the error box.
    const bool pictureWritten = passport.hasPicture && SaveWorkPicture(folder + preview::kPreviewPictureName);

    const QStringList lines = preview::previewPageLines(passport, pictureWritten);
    ui->Temp_string->setText(preview::previewText(passport.manual));

    try {
        core::writeFileReplacing(folder + preview::kPreviewPageName, preview::encodePreviewPage(lines));
    } catch (const Failure &failure) {
        // The box names the step that failed; the cause goes to the log.
        qCWarning(lcPreview, "preview page not written: %s", failure.what());
        modal::message(this, modal::Icon::None, kAppTitle, QStringLiteral("Ошибка подготовки шаблона"));
    }
    // Even after a failed write: an earlier page may still be there.
    platform::openInBrowser(folder + preview::kPreviewPageName);
}
