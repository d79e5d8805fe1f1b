#include "gui/modal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QQueue>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <thread>

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

PicturePreviewer &installedPreviewer()
{
    static PicturePreviewer previewer;
    return previewer;
}

constexpr int kPreviewSide = 160;

// The preview beside the open dialog's file list. Each highlighted file is
// read on a thread of its own, never on the window's thread, so the dialog
// answers at once whatever the file holds; highlighting another file, or
// closing the dialog, raises the flag of the reading under way, which then
// stops within milliseconds (the reader looks at it before every row), and
// its result is dropped. A thread of its own rather than a pool's: a new
// highlight never waits behind abandoned readings, even ones stuck on a
// file that does not answer.
class PicturePreview : public QLabel {
public:
    explicit PicturePreview(QWidget *parent) : QLabel(parent)
    {
        setObjectName(QStringLiteral("PicturePreview"));
        setAccessibleName(QStringLiteral("Просмотр картинки"));
        setFixedSize(kPreviewSide, kPreviewSide);
        setAlignment(Qt::AlignCenter);
        setFrameShape(QFrame::StyledPanel);
    }
    ~PicturePreview() override { abandon(); }
    PicturePreview(const PicturePreview &) = delete;
    PicturePreview &operator=(const PicturePreview &) = delete;

    void showFile(const QString &path)
    {
        abandon();
        clear();
        const PicturePreviewer previewer = installedPreviewer();
        if (path.isEmpty() || !previewer)
            return;
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        reading = cancelled;
        QPointer<PicturePreview> self(this);
        std::thread([previewer, path, cancelled, self] {
            const QImage picture = previewer(path, kPreviewSide, cancelled.get());
            if (cancelled->load() || picture.isNull())
                return;
            // Shown on the window's thread, if still wanted there.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [picture, cancelled, self] {
                    if (self && !cancelled->load())
                        self->setPixmap(QPixmap::fromImage(picture));
                },
                Qt::QueuedConnection);
        }).detach();
    }

private:
    void abandon()
    {
        if (reading)
            reading->store(true);
        reading.reset();
    }

    std::shared_ptr<std::atomic<bool>> reading; // the flag of the reading under way
};

QSize &openDialogSize()
{
    static QSize size;
    return size;
}

// The open dialog in the details view, with every column wide enough for
// what it shows ("31,5 КиБ", "Изображение JPEG", a date), at a size that
// shows them all beside the places and the preview; or at the size the user
// last gave it.
void fitFileDialog(QFileDialog &dialog)
{
    dialog.setViewMode(QFileDialog::Detail);
    auto *tree = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    int columns = 0;
    if (tree) {
        QHeaderView *header = tree->header();
        const QFontMetrics metrics(tree->font());
        const int padding = 2 * metrics.horizontalAdvance(QLatin1Char('M'));
        const QDateTime longDate(QDate(2026, 9, 28), QTime(23, 58, 58));
        const QString widest[] = {QStringLiteral("очень длинное имя снимка.jpeg"), QStringLiteral("1 023,9 КиБ"),
                                  QStringLiteral("Изображение JPEG"),
                                  QLocale().toString(longDate, QLocale::ShortFormat)};
        for (int column = 0; column < header->count() && column < 4; ++column) {
            const int width =
                std::max(header->sectionSizeHint(column), metrics.horizontalAdvance(widest[column]) + padding);
            header->resizeSection(column, width);
            columns += width;
        }
    }
    const QRect screen = dialog.screen() ? dialog.screen()->availableGeometry() : QRect(0, 0, 4096, 4096);
    if (openDialogSize().isValid()) {
        dialog.resize(openDialogSize().boundedTo(screen.size()));
        return;
    }
    const QSize hint = dialog.sizeHint();
    dialog.resize(QSize(std::max(hint.width(), 900), std::max(hint.height(), 480)).boundedTo(screen.size()));
    // Once laid out: wider by what the columns still lack.
    if (tree)
        QTimer::singleShot(0, &dialog, [&dialog, tree, columns, screen] {
            const int lacking = columns + 4 - tree->viewport()->width();
            if (lacking > 0)
                dialog.resize(std::min(dialog.width() + lacking, screen.width()), dialog.height());
        });
}

} // namespace

Answer message(QWidget *parent, Icon icon, const QString &caption, const QString &text, Buttons buttons)
{
    auto &s = scripted();
    if (s.installed) {
        s.messages.append({icon, caption, text, buttons});
        if (!s.answers.isEmpty())
            return s.answers.dequeue();
        return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }

    QMessageBox box(parent);
    box.setIcon(toQt(icon));
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        // Escape and the close box decide nothing: they answer through a
        // button that is never shown, so that only a pressed "Нет" is No.
        QAbstractButton *closed = box.addButton(QMessageBox::Cancel);
        closed->hide();
        box.setEscapeButton(closed);
        box.exec();
        if (box.clickedButton() == box.button(QMessageBox::Yes))
            return Answer::Yes;
        if (box.clickedButton() == box.button(QMessageBox::No))
            return Answer::No;
        return Answer::Cancel;
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
    fitFileDialog(dialog);
    const int result = dialog.exec();
    // The size the user gave it is the size it opens at next time.
    openDialogSize() = dialog.size();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

namespace {

// Qt's own save dialog reads a typed name with a double quote as a list of
// quoted names: "a\"b'c.kwp" would become "b'c.kwp". Such a name is taken
// here exactly as typed, with the checks the dialog would have made.
class ExactNameSaveDialog : public QFileDialog {
public:
    ExactNameSaveDialog(QWidget *parent, const SaveFileRequest &request)
        : QFileDialog(parent, request.caption, request.directory), request_(request)
    {}

    // The path typed with a quote, once accepted; else empty.
    QString typedPath() const { return typedPath_; }

    void accept() override
    {
        auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const QString typed = edit ? edit->text() : QString();
        if (!typed.contains(QLatin1Char('"'))) {
            QFileDialog::accept();
            return;
        }
        QString path = QDir::cleanPath(directory().absoluteFilePath(typed));
        const QFileInfo info(path);
        if (info.isDir()) {
            setDirectory(path);
            edit->clear();
            return;
        }
        if (!info.dir().exists()) {
            message(this, Icon::Warning, windowTitle(),
                    QStringLiteral("Папка не найдена:\n%1").arg(QDir::toNativeSeparators(info.absolutePath())));
            return;
        }
        if (info.suffix().isEmpty() && !request_.defaultSuffix.isEmpty())
            path += QLatin1Char('.') + request_.defaultSuffix;
        if (request_.confirmOverwrite && QFileInfo::exists(path)
            && message(this, Icon::Warning, windowTitle(),
                       QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")
                           .arg(QFileInfo(path).fileName()),
                       Buttons::YesNo)
                   != Answer::Yes)
            return;
        typedPath_ = path;
        QDialog::accept();
    }

private:
    SaveFileRequest request_;
    QString typedPath_;
};

} // namespace

QString saveFile(QWidget *parent, const SaveFileRequest &request)
{
    auto &s = scripted();
    if (s.installed) {
        s.saveRequests.append(request);
        return takeFileName();
    }

    ExactNameSaveDialog dialog(parent, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.nameFilters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.selectedFile.isEmpty())
        dialog.selectFile(request.selectedFile);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    if (!dialog.typedPath().isEmpty())
        return dialog.typedPath();
    return dialog.selectedFiles().isEmpty() ? QString() : dialog.selectedFiles().constFirst();
}

void setPicturePreviewer(PicturePreviewer previewer) { installedPreviewer() = std::move(previewer); }

void addPicturePreview(QFileDialog &dialog, const QString &initialFile)
{
    auto *preview = new PicturePreview(&dialog);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(preview, 1, grid->columnCount(), 1, 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, &PicturePreview::showFile);
    if (!initialFile.isEmpty())
        preview->showFile(initialFile);
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
