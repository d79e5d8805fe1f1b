#include "core/failure.h"
#include "gui/guard.h"
#include "tirlada_test.h"

#include <QPushButton>
#include <stdexcept>

Q_DECLARE_METATYPE(FailureDetails)

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
        gui::runGuarded(nullptr, [&] { throw Failure(FailureCode::Unspecified, {.reason = message}); });
        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].icon, gui::modal::Icon::Error);
        QCOMPARE(messages[0].caption, QStringLiteral("Тирлада"));
        QCOMPARE(messages[0].text, shown);
        QCOMPARE(messages[0].buttons, gui::modal::Buttons::Ok);
    }

    // The window words each failure from its code and details, in the
    // program's own texts.
    void failureTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<FailureDetails>("details");
        QTest::addColumn<QString>("text");
        const QString reason = QStringLiteral("No such file or directory");
        QTest::newRow("open") << int(FailureCode::CannotOpenFile)
                              << FailureDetails{.file = QStringLiteral("/tmp/a.jpg"), .reason = reason}
                              << QStringLiteral("Cannot open file \"/tmp/a.jpg\". No such file or directory");
        QTest::newRow("create") << int(FailureCode::CannotCreateFile)
                                << FailureDetails{.file = QStringLiteral("/x/data.xml"), .reason = reason}
                                << QStringLiteral("Cannot create file \"/x/data.xml\". No such file or directory");
        QTest::newRow("write") << int(FailureCode::CannotWriteFile)
                               << FailureDetails{.file = QStringLiteral("/x/p.kwp"), .reason = reason}
                               << QStringLiteral("Cannot create file \"/x/p.kwp\". No such file or directory");
        QTest::newRow("JPEG") << int(FailureCode::JpegError) << FailureDetails{.number = 53}
                              << QStringLiteral("JPEG error #53");
        QTest::newRow("PNG header") << int(FailureCode::PngHeaderUnreadable) << FailureDetails{}
                                    << QStringLiteral("PNG error: the header cannot be read");
        QTest::newRow("PNG too large")
            << int(FailureCode::PngTooLarge) << FailureDetails{.width = 20000, .height = 20000, .limit = 64}
            << QStringLiteral("PNG error: the picture is too large (20000 x 20000 pixels; at most 64 megapixels)");
        QTest::newRow("PNG data") << int(FailureCode::PngDataUnreadable)
                                  << FailureDetails{.reason = QStringLiteral("Unable to read image data")}
                                  << QStringLiteral("PNG error: the picture data cannot be read (Unable to read image "
                                                    "data)");
        QTest::newRow("empty picture") << int(FailureCode::FloatingPointDivision) << FailureDetails{}
                                       << QStringLiteral("Floating point division by zero");
        QTest::newRow("no free name") << int(FailureCode::NoFreeFileName)
                                      << FailureDetails{.file = QStringLiteral("/d/draft-7.kwp")}
                                      << QStringLiteral("Cannot create file \"/d/draft-7.kwp\": every name is taken");
        QTest::newRow("unreadable package")
            << int(FailureCode::PackageUnreadable)
            << FailureDetails{.file = QStringLiteral("/x/p.kwp"), .problems = {{core::ReadProblemCode::NotZip}}}
            << QStringLiteral("The package \"/x/p.kwp\" does not hold the files written");
        QTest::newRow("memory") << int(FailureCode::OutOfMemory) << FailureDetails{} << QStringLiteral("Out of memory");
        QTest::newRow("outside") << int(FailureCode::Unspecified) << FailureDetails{.reason = QStringLiteral("boom")}
                                 << QStringLiteral("boom");
    }
    void failureTexts()
    {
        QFETCH(int, code);
        QFETCH(FailureDetails, details);
        QFETCH(QString, text);
        QCOMPARE(gui::failureText(Failure(FailureCode(code), details)), text);
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
                throw Failure(FailureCode::CannotOpenFile,
                              {.file = QStringLiteral("x"), .reason = QStringLiteral("No such file")});
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
