#include "gui/modal.h"

#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QQueue>
#include <QWidget>

namespace gui::modal {
namespace {

struct Scripted {
    bool installed = false;
    QQueue<Answer> answers;
    QQueue<QString> fileNames;
    QQueue<std::function<void(QDialog *)>> dialogs;
    QList<Message> messages;
    QList<OpenFileRequest> openRequests;
    QList<SaveFileRequest> saveRequests;
    int execs = 0;
};

Scripted &scripted()
{
    static Scripted state;
    return state;
}

QMessageBox::Icon toQt(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString takeFileName()
{
    auto &s = scripted();
    return s.fileNames.isEmpty() ? QString() : s.fileNames.dequeue();
}

// Shows the picture under the cursor beside the open dialog's file list.
void addPicturePreview(QFileDialog &dialog, const QString &initialFile)
{
    auto *preview = new QLabel(&dialog);
    preview->setObjectName(QStringLiteral("PicturePreview"));
    preview->setFixedSize(160, 160);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(preview, 1, grid->columnCount(), 1, 1);
    auto show = [preview](const QString &path) {
        // Qt's reader decodes straight to the small size, so a huge photo
        // does not stall the dialog.
        QPixmap picture;
        QImageReader reader(path);
        const QSize size = reader.size();
        if (size.isValid()) {
            reader.setScaledSize(size.scaled(preview->size(), Qt::KeepAspectRatio));
            picture = QPixmap::fromImageReader(&reader);
        }
        preview->setPixmap(picture);
    };
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, show);
    if (!initialFile.isEmpty())
        show(initialFile);
}

} // namespace

Answer message(QWidget *parent, Icon icon, const QString &caption, const QString &text, Buttons buttons)
{
    auto &s = scripted();
    if (s.installed) {
        s.messages.append({icon, caption, text, buttons});
        if (!s.answers.isEmpty())
            return s.answers.dequeue();
        switch (buttons) {
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::YesNoCancel:
            return Answer::Cancel;
        case Buttons::Ok:
            break;
        }
        return Answer::Ok;
    }

    QMessageBox box(parent);
    box.setIcon(toQt(icon));
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    if (buttons == Buttons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
        }
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

QString openFile(QWidget *parent, const OpenFileRequest &request)
{
    auto &s = scripted();
    if (s.installed) {
        s.openRequests.append(request);
        return takeFileName();
    }

    // Qt's own dialog: it filters names without regard to case, so camera
    // files named .JPG are listed, and it can carry a picture preview.
    QFileDialog dialog(parent, request.caption, request.directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name need not exist: opening it then reports why it cannot.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.nameFilters);
    if (request.picturePreview)
        addPicturePreview(dialog, request.selectedFile);
    if (!request.selectedFile.isEmpty())
        dialog.selectFile(request.selectedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString saveFile(QWidget *parent, const SaveFileRequest &request)
{
    auto &s = scripted();
    if (s.installed) {
        s.saveRequests.append(request);
        return takeFileName();
    }

    QFileDialog dialog(parent, request.caption, request.directory);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.nameFilters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.selectedFile.isEmpty())
        dialog.selectFile(request.selectedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

int exec(QDialog *dialog)
{
    auto &s = scripted();
    if (!s.installed)
        return dialog->exec();

    ++s.execs;
    QPointer<QDialog> guard(dialog);
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    if (!s.dialogs.isEmpty())
        s.dialogs.dequeue()(dialog);
    if (!guard)
        return QDialog::Rejected;
    // Still open: the user closed it with the close box.
    if (dialog->isVisible()) {
        dialog->setResult(QDialog::Rejected);
        dialog->hide();
    }
    return dialog->result();
}

namespace testing {

void install()
{
    reset();
    scripted().installed = true;
}

void uninstall()
{
    reset();
    scripted().installed = false;
}

void reset()
{
    auto &s = scripted();
    s.answers.clear();
    s.fileNames.clear();
    s.dialogs.clear();
    s.messages.clear();
    s.openRequests.clear();
    s.saveRequests.clear();
    s.execs = 0;
}

void queueAnswer(Answer answer) { scripted().answers.enqueue(answer); }
void queueFileName(const QString &path) { scripted().fileNames.enqueue(path); }
void queueDialog(std::function<void(QDialog *)> script) { scripted().dialogs.enqueue(std::move(script)); }
QList<Message> messages() { return scripted().messages; }
Message lastMessage() { return scripted().messages.isEmpty() ? Message{} : scripted().messages.constLast(); }
QList<OpenFileRequest> openRequests() { return scripted().openRequests; }
QList<SaveFileRequest> saveRequests() { return scripted().saveRequests; }
int execCount() { return scripted().execs; }

int unusedCount()
{
    auto &s = scripted();
    return int(s.answers.size() + s.fileNames.size() + s.dialogs.size());
}

} // namespace testing
} // namespace gui::modal
