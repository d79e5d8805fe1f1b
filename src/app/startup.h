#pragma once

#include <QApplication>
#include <QStringList>
#include <memory>

class ParticipantIdDialog;
class PassportWindow;
class SectionsDialog;

// The application object: an exception that escapes an event handler is
// shown in the error box and the program goes on.
class TirladaApplication : public QApplication {
public:
    TirladaApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// The program's windows, created in their order: the passport window first,
// then the sections dialog and the ID dialog, both hidden. Destroyed in
// reverse order.
struct Windows {
    std::unique_ptr<PassportWindow> passport;
    std::unique_ptr<SectionsDialog> sectionsDialog;
    std::unique_ptr<ParticipantIdDialog> idDialog;

    Windows();
    ~Windows();
};

std::unique_ptr<Windows> createWindows();

// What the command line hands to the window.
struct StartupOptions {
    // The package to open, as an absolute path; empty when none was named.
    QString packagePath;
};

// The command line read: either the program runs with its options, or it
// exits at once with the given code after printing its texts (help, version,
// or what was wrong).
struct CommandLine {
    bool run = true;
    int exitCode = 0;
    QString output; // for standard output
    QString errors; // for standard error
    StartupOptions options;
};

// The exit code of a mistake on the command line.
inline constexpr int kUsageError = 2;

// Reads the program's arguments (the first one names the program):
// "--help", "--version" and at most one package. Qt's own options ("-style
// fusion", "-platform xcb" …) are accepted and left to the application
// object, so the line can be read before that object exists. The help text
// is in Russian once Qt's Russian translation is installed.
CommandLine readCommandLine(const QStringList &arguments);

// Hands the package named on the command line to the freshly shown window.
void openStartupPackage(Windows &windows, const StartupOptions &options);

// The whole program: returns the exit code.
int runTirlada(int argc, char **argv);
