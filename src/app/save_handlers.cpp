// Saving the passport as a package.

#include "app/passport_window.h"
#include "core/files.h"
#include "core/platform.h"
#include "core/result.h"
#include "drafts/draft_scheduler.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "save/completeness.h"
#include "save/data_document.h"
#include "save/package.h"
#include "ui_passport_window.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>

const QString PassportWindow::kPackageFilter = QStringLiteral("Паспорт работы Фестиваля \"Ковирта\" (*.kwp)");

namespace {

Q_LOGGING_CATEGORY(lcSave, "tirlada.save")

// What the save tells the user.
const QString kWriteErrorCaption = QStringLiteral("Ошибка записи");
const QString kFolderErrorText = QStringLiteral("Ошибка сохранения паспорта.\nПаспорт работы не сохранен.");
const QString kArchiveErrorText = QStringLiteral("Ошибка записи файла на диск.\nПаспорт работы не сохранен.");
const QString kSavedCaption = QStringLiteral("Паспорт сохранен");
QString savedText(const QString &packagePath)
{
    return QStringLiteral("Тирлада успешно сохранен как: ") + packagePath + QLatin1Char('.');
}

} // namespace

void PassportWindow::connectSave()
{
    plainTitle = windowTitle();
    connect(&model_, &PassportModel::filePathChanged, this, [this] {
        if (!model_.filePath().isEmpty())
            lastPackagePath = model_.filePath();
        updateTitle();
    });
    connect(ui->SaveButton, &QPushButton::clicked, this, gui::guarded(this, &PassportWindow::saveToPackage));
}

void PassportWindow::updateTitle()
{
    const QString path = model_.filePath();
    setWindowTitle(path.isEmpty() ? plainTitle : QFileInfo(path).fileName() + QStringLiteral(" - ") + plainTitle);
}

bool PassportWindow::saveReportingFailure()
{
    bool saved = false;
    gui::runGuarded(this, [&] { saved = savePassport(); });
    return saved;
}

void PassportWindow::showFirstMissing(const PassportSnapshot &passport)
{
    const save::FirstMissing missing = save::firstMissing(passport);
    QWidget *target = nullptr;
    switch (missing.item) {
    case save::FirstMissing::Nothing:
        return;
    case save::FirstMissing::Title:
        target = ui->title;
        break;
    case save::FirstMissing::Description:
        target = ui->description;
        break;
    case save::FirstMissing::Sections:
        target = ui->Button3;
        break;
    case save::FirstMissing::Authors:
    case save::FirstMissing::Teachers: {
        const bool authors = missing.item == save::FirstMissing::Authors;
        if (missing.person < 0) {
            target = authors ? ui->AuthorAdd : ui->TeacherAdd;
            break;
        }
        // The participant who lacks the name part is selected, so that its
        // name edits show it and take input.
        selectParticipant(authors ? PassportModel::Side::Authors : PassportModel::Side::Teachers, missing.person);
        if (missing.part == &TPersonRecord::Surname)
            target = authors ? ui->AuthorsLastname : ui->TeachersLastname;
        else if (missing.part == &TPersonRecord::Name)
            target = authors ? ui->AuthorsName : ui->TeachersName;
        else
            target = authors ? ui->AuthorsPatronymic : ui->TeachersPatronymic;
        break;
    }
    }
    // The sheet that holds the control, then the control.
    for (int i = 0; i < ui->SectionsTabs->count(); ++i)
        if (ui->SectionsTabs->widget(i)->isAncestorOf(target))
            ui->SectionsTabs->setCurrentIndex(i);
    target->setFocus(Qt::OtherFocusReason);
}

void PassportWindow::saveToPackage() { savePassport(); }

bool PassportWindow::savePassport()
{
    const PassportSnapshot passport = snapshot(); // a copy: the model changes on the way
    const QList<save::MissingItem> missing = save::missingItems(passport);
    if (!missing.isEmpty()) {
        gui::modal::message(this, gui::modal::Icon::Warning, save::kIncompleteCaption, save::incompleteText(missing));
        showFirstMissing(passport);
        return false;
    }

    // SaveDialog: the first time the home folder and "Passport", then the
    // path chosen last.
    gui::modal::SaveFileRequest request;
    request.caption = QStringLiteral("Сохранение файла паспорта работы");
    if (lastPackagePath.isEmpty()) {
        request.directory = QDir::homePath();
        request.selectedFile = QStringLiteral("Passport");
    } else {
        request.directory = QFileInfo(lastPackagePath).absolutePath();
        request.selectedFile = lastPackagePath;
    }
    request.nameFilters = {kPackageFilter};
    request.defaultSuffix = QStringLiteral("kwp");
    request.confirmOverwrite = true;
    const QString packagePath = gui::modal::saveFile(this, request);
    if (packagePath.isEmpty())
        return false;
    lastPackagePath = packagePath;

    const QByteArray dataDocument = save::buildDataDocument(passport, platform::currentSeconds());

    const Result<QString> created = save::createWorkingFolder(platform::tempFolder(), platform::currentSeconds());
    if (!created) {
        // The box says that the save failed; the cause goes to the log.
        logFailure(lcSave(), "creating the working folder", created.error());
        gui::modal::message(this, gui::modal::Icon::Error, kWriteErrorCaption, kFolderErrorText);
        return false;
    }
    const QString workingFolder = *created;

    // A failure to write either file ends the save here, shown by the
    // handler's guard; the working folder stays for the user to look at.
    save::writeDataDocument(workingFolder + QStringLiteral("data.xml"), dataDocument).value();
    if (passport.hasPicture)
        core::writeFile(workingFolder + QStringLiteral("image.jpg"), model_.pictureFile()).value();

    if (const Result<void> written = save::writePackage(platform::archiverPath(), packagePath, workingFolder);
        !written) {
        logFailure(lcSave(), "writing the package", written.error());
        gui::modal::message(this, gui::modal::Icon::Error, kWriteErrorCaption, kArchiveErrorText);
        return false;
    }

    model_.markSaved(QFileInfo(packagePath).absoluteFilePath());
    gui::modal::message(this, gui::modal::Icon::Information, kSavedCaption, savedText(packagePath));
    // What cannot be removed now goes with the next save's leftovers.
    save::clearFolder(workingFolder);
    if (!QDir().rmdir(workingFolder))
        logFailure(lcSave(), "removing the working folder",
                   Failure(FailureCode::CannotWriteFile, {.file = workingFolder, .reason = qt_error_string(errno)}));
    return true;
}
