#include "app/startup.h"

#include "app/desktop_identity.h"
#include "app/passport_window.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "participants/participant_id_dialog.h"
#include "picture/picture_file.h"
#include "sections/sections_dialog.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStyle>
#include <QTranslator>

#include <cstdio>

TirladaApplication::TirladaApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TirladaApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    QWidget *parent = activeWindow();
    gui::runGuarded(parent, [&] { handled = QApplication::notify(receiver, event); });
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

    // The open dialog previews pictures through the program's own reader.
    gui::modal::setPicturePreviewer(picture::previewPicture);

    auto windows = std::make_unique<Windows>();
    windows->passport = std::make_unique<PassportWindow>();
    windows->sectionsDialog = std::make_unique<SectionsDialog>(windows->passport.get());
    windows->idDialog = std::make_unique<ParticipantIdDialog>(windows->passport.get());
    windows->passport->setDialogs(windows->sectionsDialog.get(), windows->idDialog.get());
    return windows;
}

namespace {

// Qt's own options, which the application object takes (QGuiApplication's,
// the X11 platform's and QApplication's): the line is read whole before that
// object exists, so they are known here, hidden from the help.
QList<QCommandLineOption> qtOptions()
{
    QList<QCommandLineOption> options;
    for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                             "qwindowicon", "qwindowtitle", "session", "display", "geometry", "title", "icon", "name",
                             "visual", "style", "stylesheet", "qmljsdebugger"}) {
        options.append(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    }
    for (const char *name : {"reverse", "widgetcount", "testability", "nograb", "dograb", "sync"})
        options.append(QCommandLineOption(QString::fromLatin1(name)));
    for (QCommandLineOption &option : options)
        option.setFlags(QCommandLineOption::HiddenFromHelp);
    return options;
}

// The options the program understands. Single-dash words are read as long
// options, as Qt's own options are ("-style"), so that no word is taken for
// a bundle of one-letter options.
struct ProgramOptions {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Показать эту справку и выйти.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Показать версию программы и выйти.")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(QStringLiteral("Тирлада: паспорт работы для Фестиваля \"Ковирта\"."));
        parser.addOption(help);
        parser.addOption(version);
        parser.addOptions(qtOptions());
        parser.addPositionalArgument(QStringLiteral("паспорт"),
                                     QStringLiteral("Паспорт работы (файл .kwp), который откроется в окне."),
                                     QStringLiteral("[паспорт.kwp]"));
    }
};

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void installRussianTranslation(QTranslator &translator)
{
    // The program speaks Russian: so do Qt's own dialogs and buttons ("Да",
    // "Нет", "Открыть") and the command line's help, whatever the system's
    // language.
    if (translator.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

int printAndExit(const CommandLine &commandLine)
{
    if (!commandLine.output.isEmpty())
        std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
    if (!commandLine.errors.isEmpty())
        std::fputs(commandLine.errors.toLocal8Bit().constData(), stderr);
    std::fflush(stdout);
    std::fflush(stderr);
    return commandLine.exitCode;
}

} // namespace

CommandLine readCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    const ProgramOptions options;
    options.addTo(parser);

    CommandLine result;
    const QString program = arguments.isEmpty() ? QStringLiteral("tirlada") : QFileInfo(arguments.first()).fileName();
    const auto fail = [&](const QString &message) {
        result.run = false;
        result.exitCode = kUsageError;
        result.errors = QStringLiteral("%1: %2\nСправка: %1 --help\n").arg(program, message);
        return result;
    };

    // Help and version are answered even when an option is unknown.
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(options.help)) {
        result.run = false;
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(options.version)) {
        result.run = false;
        result.output = QStringLiteral("%1 %2\n").arg(gui::kAppTitle, QCoreApplication::applicationVersion());
        return result;
    }
    if (!parsed)
        return fail(parser.errorText());
    const QStringList packages = parser.positionalArguments();
    if (packages.size() > 1)
        return fail(QStringLiteral("Можно открыть только один паспорт."));
    if (!packages.isEmpty() && !packages.first().isEmpty())
        result.options.packagePath = QFileInfo(packages.first()).absoluteFilePath();
    return result;
}

void openStartupPackage(Windows &windows, const StartupOptions &options)
{
    if (options.packagePath.isEmpty())
        return;
    windows.passport->openPackage(options.packagePath);
}

int runTirlada(int argc, char **argv)
{
    QCoreApplication::setApplicationName(gui::kAppTitle);

    // The whole command line is read before the window system is reached:
    // help, version and every mistake are answered on a console with no
    // display. Their texts come from Qt's Russian translation, which needs
    // the core application object.
    const CommandLine commandLine = readCommandLine(argumentsOf(argc, argv));
    if (!commandLine.run) {
        QCoreApplication console(argc, argv);
        QTranslator qtTranslation;
        installRussianTranslation(qtTranslation);
        return printAndExit(readCommandLine(QCoreApplication::arguments()));
    }

    TirladaApplication app(argc, argv);
    presentAsDesktopProgram();
    QTranslator qtTranslation;
    installRussianTranslation(qtTranslation);

    std::unique_ptr<Windows> windows;
    gui::runGuarded(nullptr, [&] {
        windows = createWindows();
        windows->passport->show();
        // A passport that a crash left unsaved is offered first; then the
        // package named on the command line opens (asking about the
        // restored input, should there be any).
        windows->passport->offerDraftRecovery();
        openStartupPackage(*windows, commandLine.options);
        QApplication::exec();
    });
    return 0;
}
