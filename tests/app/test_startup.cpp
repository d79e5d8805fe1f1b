// Start-up and the application object: the command line is read, the windows
// are created in order, and a failure escaping an event handler is shown in
// the error box while the program goes on.

#include "app/desktop_identity.h"
#include "app/startup.h"
#include "core/failure.h"
#include "participants/participant_id_dialog.h"
#include "sections/sections_dialog.h"
#include "tirlada_test.h"

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>

namespace {

// An object whose event handler fails without catching, as a broken handler
// would. The program's handlers catch at their own boundary; the application
// object is the last line of defence.
class FailingObject : public QObject {
public:
    int events = 0;

protected:
    bool event(QEvent *) override
    {
        ++events;
        throw Failure(QStringLiteral("Cannot open file \"/nowhere/a.jpg\". No such file or directory"));
    }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void init() { gui::modal::testing::install(); }
    void cleanup() { gui::modal::testing::uninstall(); }

    void readsTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("run");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("packagePath");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<QStringList>("errors");

        const QString here = QDir::currentPath();
        QTest::newRow("nothing") << QStringList{"tirlada"} << true << 0 << QString() << QStringList() << QStringList();
        QTest::newRow("relative package")
            << QStringList{"tirlada", "work.kwp"} << true << 0 << here + "/work.kwp" << QStringList() << QStringList();
        QTest::newRow("absolute package with spaces and Cyrillic")
            << QStringList{"tirlada", "/tmp/Мои работы/Паспорт 1.kwp"} << true << 0
            << QString("/tmp/Мои работы/Паспорт 1.kwp") << QStringList() << QStringList();
        QTest::newRow("package named like an option, after --") << QStringList{"tirlada", "--", "-v.kwp"} << true << 0
                                                                << here + "/-v.kwp" << QStringList() << QStringList();
        QTest::newRow("--help") << QStringList{"/usr/bin/tirlada", "--help"} << false << 0 << QString()
                                << QStringList{"-h, --help", "-v, --version", "[паспорт.kwp]",
                                               "Паспорт работы (файл .kwp)"}
                                << QStringList();
        QTest::newRow("-h with a package") << QStringList{"tirlada", "-h", "work.kwp"} << false << 0 << QString()
                                           << QStringList{"Показать эту справку и выйти."} << QStringList();
        QTest::newRow("--help among Qt's own options")
            << QStringList{"tirlada", "-style", "fusion", "--help"} << false << 0 << QString()
            << QStringList{"Показать эту справку и выйти."} << QStringList();
        QTest::newRow("--version") << QStringList{"tirlada", "--version"} << false << 0 << QString()
                                   << QStringList{"Тирлада 7.3\n"} << QStringList();
        QTest::newRow("-v") << QStringList{"tirlada", "-v"} << false << 0 << QString() << QStringList{"Тирлада 7.3\n"}
                            << QStringList();
        QTest::newRow("unknown option") << QStringList{"/usr/bin/tirlada", "--bogus"} << false << 2 << QString()
                                        << QStringList()
                                        << QStringList{"tirlada: ", "bogus", "Справка: tirlada --help\n"};
        // A single-dash word is one long option, not -h -v.
        QTest::newRow("single-dash word")
            << QStringList{"tirlada", "-hv"} << false << 2 << QString() << QStringList() << QStringList{"hv"};
        QTest::newRow("two packages") << QStringList{"tirlada", "a.kwp", "b.kwp"} << false << 2 << QString()
                                      << QStringList() << QStringList{"tirlada: Можно открыть только один паспорт.\n"};
        // The line is read before the application object takes Qt's own
        // options: they and their values are no package and no mistake.
        QTest::newRow("Qt's options with their values")
            << QStringList{"tirlada",   "-platform",     "offscreen", "-style=fusion",
                           "--reverse", "-qwindowtitle", "Паспорт",   "work.kwp"}
            << true << 0 << here + "/work.kwp" << QStringList() << QStringList();
        QTest::newRow("X11's options") << QStringList{"tirlada", "-display", ":1", "-geometry", "800x600", "-name", "x"}
                                       << true << 0 << QString() << QStringList() << QStringList();
        QTest::newRow("Qt's option without its value")
            << QStringList{"tirlada", "-style"} << false << 2 << QString() << QStringList() << QStringList{"style"};
        QTest::newRow("two packages among Qt's options")
            << QStringList{"tirlada", "-platform", "xcb", "a.kwp", "-reverse", "b.kwp"} << false << 2 << QString()
            << QStringList() << QStringList{"Можно открыть только один паспорт."};
        QTest::newRow("Qt's options are not in the help")
            << QStringList{"tirlada", "--help"} << false << 0 << QString() << QStringList{"--help"} << QStringList();
    }

    void readsTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, run);
        QFETCH(int, exitCode);
        QFETCH(QString, packagePath);
        QFETCH(QStringList, output);
        QFETCH(QStringList, errors);

        const QString version = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("7.3"));
        const CommandLine read = readCommandLine(arguments);
        QCoreApplication::setApplicationVersion(version);

        QCOMPARE(read.run, run);
        QCOMPARE(read.exitCode, exitCode);
        QCOMPARE(read.options.packagePath, packagePath);
        QCOMPARE(read.output.isEmpty(), output.isEmpty());
        for (const QString &text : output)
            QVERIFY2(read.output.contains(text), qPrintable(read.output));
        for (const char *hidden : {"platform", "style", "reverse", "qwindowtitle"})
            QVERIFY2(!read.output.contains(QLatin1String(hidden)), qPrintable(read.output));
        QCOMPARE(read.errors.isEmpty(), errors.isEmpty());
        for (const QString &text : errors)
            QVERIFY2(read.errors.contains(text), qPrintable(read.errors));
    }

    // Installed, the program lives in /usr/bin beside /usr/bin/7za; under
    // /usr/local/bin it finds 7za on PATH.
    void archiverIsFoundBesideTheProgramThenOnPath()
    {
        QTemporaryDir onPath;
        QVERIFY(onPath.isValid());
        const auto makeExecutable = [](const QString &path) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\nexit 0\n");
            file.close();
            QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
        };
        makeExecutable(onPath.filePath(QStringLiteral("7za")));
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("7za"));
        QVERIFY2(!QFile::exists(beside), qPrintable(beside));
        const QByteArray path = qgetenv("PATH");
        const auto restore = qScopeGuard([&] {
            QFile::remove(beside);
            qputenv("PATH", path);
        });
        qputenv("PATH", QFile::encodeName(onPath.path()));

        QCOMPARE(platform::archiverPath(), onPath.filePath(QStringLiteral("7za")));
        makeExecutable(beside);
        QCOMPARE(platform::archiverPath(), beside);
    }

    void windowsAreCreatedHiddenExceptTheMainWindow()
    {
        auto windows = createWindows();
        QVERIFY(windows->passport);
        QVERIFY(windows->sectionsDialog);
        QVERIFY(windows->idDialog);
        QCOMPARE(windows->sectionsDialog->objectName(), QStringLiteral("Subjects"));
        QCOMPARE(windows->idDialog->objectName(), QStringLiteral("Form1"));
        QVERIFY(!windows->sectionsDialog->isVisible());
        QVERIFY(!windows->idDialog->isVisible());
    }

    void mainWindowOpensCentred()
    {
        auto windows = createWindows();
        windows->passport->show();
        const QPoint centre = windows->passport->frameGeometry().center();
        const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2((centre - screen).manhattanLength() <= 40,
                 qPrintable(QStringLiteral("window centre %1,%2 screen centre %3,%4")
                                .arg(centre.x())
                                .arg(centre.y())
                                .arg(screen.x())
                                .arg(screen.y())));
    }

    void failureInEventHandlerIsShownAndProgramGoesOn()
    {
        FailingObject object;
        QEvent first(QEvent::User);
        QEvent second(QEvent::User);
        QCoreApplication::sendEvent(&object, &first);
        QCoreApplication::sendEvent(&object, &second);
        QCOMPARE(object.events, 2);
        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].icon, gui::modal::Icon::Error);
        QCOMPARE(messages[0].caption, QStringLiteral("Тирлада"));
        QCOMPARE(messages[0].text, QStringLiteral("Cannot open file \"/nowhere/a.jpg\". No such file or directory."));
    }

    // The windows belong to the menu entry ru.kovirta.tirlada.desktop and
    // carry its icon: the theme's where the theme has it, else the bundled
    // one.
    void presentsItselfAsItsMenuEntry()
    {
        const QStringList searchPaths = QIcon::themeSearchPaths();
        const QString themeName = QIcon::themeName();
        const auto restore = qScopeGuard([&] {
            QIcon::setThemeSearchPaths(searchPaths);
            QIcon::setThemeName(themeName);
        });
        QTemporaryDir themes;
        QVERIFY(themes.isValid());

        QIcon::setThemeSearchPaths({themes.path()});
        presentAsDesktopProgram();
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("ru.kovirta.tirlada"));
        QVERIFY(!QApplication::windowIcon().pixmap(48).isNull());
        QCOMPARE(QApplication::windowIcon().name(), QString());

        // A theme that has the icon.
        const QString folder = themes.filePath(QStringLiteral("hicolor/48x48/apps"));
        QVERIFY(QDir().mkpath(folder));
        QFile index(themes.filePath(QStringLiteral("hicolor/index.theme")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\nType=Fixed\n");
        index.close();
        QImage picture(48, 48, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(folder + QStringLiteral("/ru.kovirta.tirlada.png")));
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(QStringLiteral("hicolor"));
        presentAsDesktopProgram();
        QCOMPARE(QApplication::windowIcon().name(), QStringLiteral("ru.kovirta.tirlada"));
        QCOMPARE(QApplication::windowIcon().pixmap(48).toImage().pixelColor(24, 24), QColor(Qt::red));
    }

    void closingAnUntouchedWindowEndsWithoutAQuestion()
    {
        auto windows = createWindows();
        windows->passport->show();
        QVERIFY(windows->passport->close());
        QVERIFY(!windows->passport->isVisible());
        QVERIFY(gui::modal::testing::messages().isEmpty());
    }
};

int main(int argc, char **argv)
{
    TirladaApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
