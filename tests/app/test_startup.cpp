// Start-up and the application object: the windows are created in order, and
// a failure escaping an event handler is shown in the error box while the
// program goes on.

#include "core/failure.h"
#include "app/startup.h"
#include "participants/form1.h"
#include "sections/subjects.h"
#include "tirlada_test.h"

#include <QScreen>

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
    void init() { modal::testing::install(); }
    void cleanup() { modal::testing::uninstall(); }

    void windowsAreCreatedHiddenExceptTheMainWindow()
    {
        auto windows = createWindows();
        QVERIFY(windows->Pasport);
        QVERIFY(windows->Subjects);
        QVERIFY(windows->Form1);
        QCOMPARE(windows->Subjects->objectName(), QStringLiteral("Subjects"));
        QCOMPARE(windows->Form1->objectName(), QStringLiteral("Form1"));
        QVERIFY(!windows->Subjects->isVisible());
        QVERIFY(!windows->Form1->isVisible());
    }

    void mainWindowOpensCentred()
    {
        auto windows = createWindows();
        windows->Pasport->show();
        const QPoint centre = windows->Pasport->frameGeometry().center();
        const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2((centre - screen).manhattanLength() <= 40,
                 qPrintable(QStringLiteral("window centre %1,%2 screen centre %3,%4")
                                .arg(centre.x()).arg(centre.y()).arg(screen.x()).arg(screen.y())));
    }

    void failureInEventHandlerIsShownAndProgramGoesOn()
    {
        FailingObject object;
        QEvent first(QEvent::User);
        QEvent second(QEvent::User);
        QCoreApplication::sendEvent(&object, &first);
        QCoreApplication::sendEvent(&object, &second);
        QCOMPARE(object.events, 2);
        const auto messages = modal::testing::messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].icon, modal::Icon::Error);
        QCOMPARE(messages[0].caption, QStringLiteral("Тирлада"));
        QCOMPARE(messages[0].text,
                 QStringLiteral("Cannot open file \"/nowhere/a.jpg\". No such file or directory."));
    }

    void closingTheWindowEndsWithoutAQuestion()
    {
        auto windows = createWindows();
        windows->Pasport->show();
        QTest::keyClicks(windows->Pasport->findChild<QWidget *>(QStringLiteral("title")), QStringLiteral("unsaved"));
        QVERIFY(windows->Pasport->close());
        QVERIFY(!windows->Pasport->isVisible());
        QVERIFY(modal::testing::messages().isEmpty());
    }
};

int main(int argc, char **argv)
{
    TirladaApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
