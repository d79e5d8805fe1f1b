#pragma once

// Every message box, file dialog and modal dialog of the program passes
// through here. In the program they block as usual; a test installs the
// scripted mode, queues the answers and reads what was shown, and nothing
// ever blocks.

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

class QDialog;
class QFileDialog;
class QWidget;

namespace gui::modal {

enum class Icon { None, Information, Warning, Error, Question };
enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

struct Message {
    Icon icon = Icon::None;
    QString caption;
    QString text;
    Buttons buttons = Buttons::Ok;
};

// A modal message box built explicitly: exactly the icon, caption, text and
// buttons given. Closing a Yes/No or Yes/No/Cancel box without choosing
// (Escape, the close box) answers Cancel: only a pressed "Нет" is No.
Answer message(QWidget *parent, Icon icon, const QString &caption, const QString &text, Buttons buttons = Buttons::Ok);

struct OpenFileRequest {
    QString caption;
    QString directory;
    QString selectedFile;        // offered in the name field
    QStringList nameFilters;     // Qt syntax: "Text (*.a *.b)"
    bool picturePreview = false; // show a preview of the selected picture
};

struct SaveFileRequest {
    QString caption;
    QString directory;
    QString selectedFile;
    QStringList nameFilters;
    QString defaultSuffix; // appended to a name typed without one
    bool confirmOverwrite = true;
};

// The chosen file's full path, or an empty text when the user cancelled.
QString openFile(QWidget *parent, const OpenFileRequest &request);
QString saveFile(QWidget *parent, const SaveFileRequest &request);

// Shows a dialog modally; returns its result (QDialog::Accepted or Rejected).
int exec(QDialog *dialog);

// Makes the picture that the open dialog previews: the file, the side of the
// preview's square, and a flag that turns true once the preview is no longer
// wanted (another file highlighted, the dialog closed); gives the picture
// reduced to fit that square, or a null image for no preview. It runs off
// the window's thread. The program installs the picture reader's at
// start-up; without one, the dialog shows no preview.
using PicturePreviewer = std::function<QImage(const QString &path, int side, const std::atomic<bool> *cancelled)>;
void setPicturePreviewer(PicturePreviewer previewer);

// Puts the preview of the highlighted picture beside a Qt file dialog's file
// list (a label named "PicturePreview"), as openFile does for a request with
// picturePreview; the preview starts with initialFile when it is not empty.
void addPicturePreview(QFileDialog &dialog, const QString &initialFile);

namespace testing {

// From now on nothing blocks: answers are taken from the queues below, and
// what would have been shown is recorded. With an empty queue a message box
// answers Ok, or Cancel (closed) when it asks a question, a file dialog is
// cancelled, and a dialog is closed by its close box.
void install();
void uninstall();
void reset();

void queueAnswer(Answer answer);
void queueFileName(const QString &path); // an empty path cancels
// The script plays the user while the dialog is shown (it is shown, not
// blocking); the dialog's result when the script returns is the result of
// exec(). A script that leaves the dialog open is taken as the close box.
void queueDialog(std::function<void(QDialog *)> script);

QList<Message> messages();
Message lastMessage();
QList<OpenFileRequest> openRequests();
QList<SaveFileRequest> saveRequests();
int execCount();
// Answers and scripts queued but never used.
int unusedCount();

} // namespace testing
} // namespace gui::modal
