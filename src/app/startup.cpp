#include "app/startup.h"

#include "gui/guard.h"
#include "app/pasport.h"
#include "participants/form1.h"
#include "sections/subjects.h"

#include <QLibraryInfo>
#include <QStyle>
#include <QTranslator>

TirladaApplication::TirladaApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TirladaApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    QWidget *parent = activeWindow();
    runGuarded(parent, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

Windows::Windows() = default;
Windows::~Windows() = default;

std::unique_ptr<Windows> createWindows()
{
    // The classic Windows look: group captions on the frame line, sunken
    // edits, as the layout was drawn for.
    if (QApplication::style()->name() != QLatin1String("windows"))
        QApplication::setStyle(QStringLiteral("Windows"));

    auto windows = std::make_unique<Windows>();
    windows->Pasport = std::make_unique<TPasport>();
    windows->Subjects = std::make_unique<TSubjects>(windows->Pasport.get());
    windows->Form1 = std::make_unique<TForm1>(windows->Pasport.get());
    windows->Pasport->setDialogs(windows->Subjects.get(), windows->Form1.get());
    return windows;
}

int runTirlada(int argc, char **argv)
{
    TirladaApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    // The program speaks Russian: so do Qt's own dialogs and buttons ("Да",
    // "Нет", "Открыть"), whatever the system's language.
    QTranslator qtTranslation;
    if (qtTranslation.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslation);

    std::unique_ptr<Windows> windows;
    runGuarded(nullptr, [&] {
        windows = createWindows();
        windows->Pasport->show();
        QApplication::exec();
    });
    return 0;
}
