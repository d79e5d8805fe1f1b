// Renders each sheet of the passport window, and the two dialogs, into PNG
// files for the README: screenshots <folder>.

#include "app/modal.h"
#include "app/pasport.h"
#include "app/startup.h"
#include "participants/form1.h"
#include "sections/subjects.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots"));
    out.mkpath(QStringLiteral("."));
    modal::testing::install();
    auto windows = createWindows();
    TPasport &window = *windows->Pasport;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SectionsTabs"));
    const char *names[] = {"sheet1-work", "sheet2-picture", "sheet3-participants", "sheet4-comments"};
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        window.grab().save(out.filePath(QString::fromLatin1(names[i]) + QStringLiteral(".png")));
    }
    tabs->setCurrentIndex(0);
    for (QDialog *dialog : {static_cast<QDialog *>(windows->Subjects.get()), static_cast<QDialog *>(windows->Form1.get())}) {
        dialog->show();
        QApplication::processEvents();
        dialog->grab().save(out.filePath(QStringLiteral("dialog-") + dialog->objectName().toLower() + QStringLiteral(".png")));
        dialog->hide();
    }
    return 0;
}
