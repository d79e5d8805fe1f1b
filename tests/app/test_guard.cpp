#include "core/failure.h"
#include "gui/guard.h"
#include "tirlada_test.h"

#include <QPushButton>
#include <stdexcept>

class TestGuard : public QObject {
    Q_OBJECT
private slots:
    void init() { gui::modal::testing::install(); }
    void cleanup() { gui::modal::testing::uninstall(); }

    void fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("without") << "JPEG error #53"
                                 << "JPEG error #53.";
        QTest::newRow("with") << "Floating point division by zero."
                              << "Floating point division by zero.";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("cyrillic") << QStringLiteral("Ошибка") << QStringLiteral("Ошибка.");
        QTest::newRow("ends in newline") << "a\n"
                                         << "a\n.";
    }
    void fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        gui::runGuarded(nullptr, [&] { throw Failure(message); });
        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].icon, gui::modal::Icon::Error);
        QCOMPARE(messages[0].caption, QStringLiteral("Тирлада"));
        QCOMPARE(messages[0].text, shown);
        QCOMPARE(messages[0].buttons, gui::modal::Buttons::Ok);
    }

    void foreignExceptionsAreShownToo()
    {
        gui::runGuarded(nullptr, [] { throw std::runtime_error("disk on fire"); });
        gui::runGuarded(nullptr, [] { throw 42; });
        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].text, QStringLiteral("disk on fire."));
        QCOMPARE(messages[1].text, QString());
    }

    // A failing handler connected to a button ends there: the box is shown
    // and the program goes on.
    void failingSlotShowsBoxAndGoesOn()
    {
        QWidget window;
        auto *button = new QPushButton(&window);
        int runs = 0;
        QObject::connect(button, &QPushButton::clicked, &window, [&] {
            gui::runGuarded(&window, [&] {
                ++runs;
                throw Failure(QStringLiteral("Cannot open file \"x\". No such file"));
            });
        });
        window.show();
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(runs, 2);
        QCOMPARE(gui::modal::testing::messages().size(), 2);
        QCOMPARE(gui::modal::testing::lastMessage().text, QStringLiteral("Cannot open file \"x\". No such file."));
    }
};

QTEST_MAIN(TestGuard)
#include "test_guard.moc"
