// Renders each sheet of the passport window, and the two dialogs, into PNG
// files for the README: screenshots <folder>.

#include "app/passport_window.h"
#include "app/startup.h"
#include "gui/modal.h"
#include "participants/participant_id_dialog.h"
#include "sections/sections_dialog.h"
#include "spelling/checker.h"
#include "spelling/spell_check.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTranslator>

namespace {

// Every run draws the same pictures: the program and its file dialog see a
// home folder of fixed name, with empty settings (the dialog keeps its
// history there) and the photos in a folder of fixed name, all below a root
// that is emptied before and after (TIRLADA_SCREENSHOTS_ROOT, else
// /tmp/tirlada-screenshots).
QString prepareHome()
{
    const QString root = qEnvironmentVariable("TIRLADA_SCREENSHOTS_ROOT", QStringLiteral("/tmp/tirlada-screenshots"));
    QDir(root).removeRecursively();
    const QString home = root + QStringLiteral("/ученик");
    QDir().mkpath(home + QStringLiteral("/Изображения"));
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/.cache")).toLocal8Bit());
    return root;
}

} // namespace

int main(int argc, char **argv)
{
    const QString root = prepareHome();
    QApplication app(argc, argv);
    QTranslator qtTranslation;
    if (qtTranslation.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslation);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots"));
    out.mkpath(QStringLiteral("."));
    gui::modal::testing::install();
    auto windows = createWindows();
    PassportWindow &window = *windows->passport;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SectionsTabs"));
    // Each sheet's file is "sheet<position>-<topic>"; a sheet added later
    // without a topic here is still rendered, under its object name.
    const QHash<QString, QString> topics{{QStringLiteral("WorksTSh"), QStringLiteral("work")},
                                         {QStringLiteral("PictureTSh"), QStringLiteral("picture")},
                                         {QStringLiteral("Authors_n_teacheersTSh"), QStringLiteral("participants")},
                                         {QStringLiteral("CommentsTSh"), QStringLiteral("comments")}};
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i) {
        const QString page = tabs->widget(i)->objectName();
        names << QStringLiteral("sheet%1-%2").arg(i + 1).arg(topics.value(page, page.toLower()));
    }
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        window.grab().save(out.filePath(names[i] + QStringLiteral(".png")));
    }
    tabs->setCurrentIndex(0);

    // The description's count past the limit, with its note. (The sheet's
    // own picture shows the count within it.)
    {
        auto *title = window.findChild<QLineEdit *>(QStringLiteral("title"));
        auto *description = window.findChild<QPlainTextEdit *>(QStringLiteral("description"));
        title->setText(QStringLiteral("Сборник стихотворений «Весна»"));
        const QString sentence = QStringLiteral("Сборник стихов о весне, написанных учениками 7-го класса. ");
        description->setPlainText(sentence.repeated(10));
        QApplication::processEvents();
        window.grab().save(out.filePath(QStringLiteral("sheet1-description-over-500.png")));
        title->clear();
        description->clear();
    }

    // Spelling: an unknown word underlined, and its context menu with the
    // corrections.
    {
        spelling::sharedChecker()->waitUntilLoaded();
        auto *title = window.findChild<QLineEdit *>(QStringLiteral("title"));
        auto *description = window.findChild<QPlainTextEdit *>(QStringLiteral("description"));
        title->setText(QStringLiteral("Сборник стихотворений «Весна»"));
        const QString text = QStringLiteral("Сборник стихов о весне, напсианные учениками 7-го класса.");
        description->setPlainText(text);
        QTextCursor cursor(description->document());
        cursor.setPosition(int(text.indexOf(QStringLiteral("напсианные"))) + 10);
        // Below the end of the word, so that its whole underline shows.
        const QPoint at =
            description->viewport()->mapToGlobal(description->cursorRect(cursor).bottomLeft() + QPoint(0, 6));
        QMenu *menu = spelling::contextMenu(description, cursor.position());
        menu->popup(at);
        QApplication::processEvents();
        QImage shot = window.grab().toImage();
        {
            QPainter painter(&shot);
            painter.drawPixmap(window.mapFromGlobal(menu->pos()), menu->grab());
        }
        shot.save(out.filePath(QStringLiteral("sheet1-spelling.png")));
        menu->close();
        delete menu;
        title->clear();
        description->clear();
    }

    for (QDialog *dialog :
         {static_cast<QDialog *>(windows->sectionsDialog.get()), static_cast<QDialog *>(windows->idDialog.get())}) {
        dialog->show();
        QApplication::processEvents();
        dialog->grab().save(
            out.filePath(QStringLiteral("dialog-") + dialog->objectName().toLower() + QStringLiteral(".png")));
        dialog->hide();
    }

    // The picture open dialog, with a photo selected and previewed.
    const QDir pictures(QDir::home().filePath(QStringLiteral("Изображения")));
    QImage photo(640, 480, QImage::Format_RGB32);
    {
        QPainter painter(&photo);
        QLinearGradient gradient(0, 0, 640, 480);
        gradient.setColorAt(0, QColor(230, 190, 60));
        gradient.setColorAt(1, QColor(40, 90, 200));
        painter.fillRect(photo.rect(), gradient);
    }
    photo.save(pictures.filePath(QStringLiteral("DSC0001.JPG")), "JPG");
    photo.save(pictures.filePath(QStringLiteral("весна.jpg")), "JPG");
    photo.save(pictures.filePath(QStringLiteral("снимок экрана.png")), "PNG");
    // A fixed time, so that the dialog's date column is the same in every
    // run.
    for (const QString &name : pictures.entryList(QDir::Files)) {
        QFile file(pictures.filePath(name));
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(QDateTime(QDate(2026, 3, 14), QTime(10, 30)), QFileDevice::FileModificationTime);
    }
    gui::modal::testing::uninstall();
    // The shot waits for what the dialog reads on other threads: the
    // folder's files listed and the preview drawn, however long the machine
    // takes (a minute at most).
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto *preview = dialog->findChild<QLabel *>(QStringLiteral("PicturePreview"));
        auto *files = dialog->findChild<QAbstractItemView *>(QStringLiteral("treeView"));
        const bool listed = files && files->model()->rowCount(files->rootIndex()) >= 3;
        const bool previewed = preview && !preview->pixmap().isNull();
        if (!(listed && previewed) && waited.elapsed() < 60000)
            return;
        if (!(listed && previewed))
            qWarning("the picture dialog was shot before its preview was ready");
        poll.stop();
        // Whatever the reading left queued (a repaint, a layout) first.
        QApplication::processEvents();
        dialog->grab().save(out.filePath(QStringLiteral("dialog-open-picture.png")));
        dialog->reject();
    });
    poll.start(50);
    gui::modal::openFile(&window, {QString(),
                                   pictures.path(),
                                   pictures.filePath(QStringLiteral("DSC0001.JPG")),
                                   {QStringLiteral("Изображения (*.jpg *.jpeg *.png)"),
                                    QStringLiteral("JPEG Image File (*.jpg *.jpeg)")},
                                   true});
    QDir(root).removeRecursively();
    return 0;
}
