// The question about unsaved input on close and before opening a package.

#include "package_fixture.h"

class TestUnsavedInput : public PackageFixture {
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The question before opening over unsaved input.
    void openingAsksAboutUnsavedInput_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("opened");
        QTest::newRow("Да") << int(gui::modal::Answer::Yes) << true;
        QTest::newRow("Нет") << int(gui::modal::Answer::No) << true;
        QTest::newRow("Отмена") << int(gui::modal::Answer::Cancel) << false;
    }
    void openingAsksAboutUnsavedInput()
    {
        QFETCH(int, answer);
        QFETCH(bool, opened);
        fillMinimal();
        const QString package = path(QStringLiteral("other.kwp"));
        QVERIFY(saveAs(package));
        session->control<QLineEdit>("title")->setText(QStringLiteral("Несохраненное"));
        gui::modal::testing::reset();
        gui::modal::testing::queueAnswer(gui::modal::Answer(answer));
        const QString changed = path(QStringLiteral("changed.kwp"));
        if (gui::modal::Answer(answer) == gui::modal::Answer::Yes)
            gui::modal::testing::queueFileName(changed);
        gui::modal::testing::queueFileName(package);
        QTest::mouseClick(session->control<QPushButton>("OpenButton"), Qt::LeftButton);

        const gui::modal::Message question = gui::modal::testing::messages().constFirst();
        QCOMPARE(question.text, kQuestion);
        QCOMPARE(question.buttons, gui::modal::Buttons::YesNoCancel);
        QCOMPARE(question.icon, gui::modal::Icon::Question);
        QCOMPARE(gui::modal::testing::openRequests().size(), opened ? 1 : 0);
        QCOMPARE(session->window().snapshot().title,
                 opened ? QStringLiteral("Работа") : QStringLiteral("Несохраненное"));
        QCOMPARE(QFile::exists(changed), gui::modal::Answer(answer) == gui::modal::Answer::Yes);
    }

    void closingAsks_data()
    {
        QTest::addColumn<QString>("change"); // "", "typed", "undone", "incomplete"
        QTest::addColumn<int>("answer");     // -1: no question expected
        QTest::addColumn<bool>("saveChosen");
        QTest::addColumn<bool>("closes");
        QTest::newRow("untouched") << "" << -1 << false << true;
        QTest::newRow("typed and deleted again") << "undone" << -1 << false << true;
        QTest::newRow("Отмена") << "typed" << int(gui::modal::Answer::Cancel) << false << false;
        QTest::newRow("Нет") << "typed" << int(gui::modal::Answer::No) << false << true;
        QTest::newRow("Да, saved") << "typed" << int(gui::modal::Answer::Yes) << true << true;
        QTest::newRow("Да, save dialog cancelled") << "typed" << int(gui::modal::Answer::Yes) << false << false;
        QTest::newRow("Да, passport incomplete") << "incomplete" << int(gui::modal::Answer::Yes) << false << false;
    }
    void closingAsks()
    {
        QFETCH(QString, change);
        QFETCH(int, answer);
        QFETCH(bool, saveChosen);
        QFETCH(bool, closes);
        if (change == QLatin1String("typed")) {
            fillMinimal();
        } else if (change == QLatin1String("incomplete")) {
            session->control<QLineEdit>("title")->setText(QStringLiteral("Только название"));
        } else if (change == QLatin1String("undone")) {
            auto *title = session->control<QLineEdit>("title");
            title->setFocus();
            QTest::keyClicks(title, QStringLiteral("ab"));
            QTest::keyClick(title, Qt::Key_Backspace);
            QTest::keyClick(title, Qt::Key_Backspace);
        }
        if (answer >= 0)
            gui::modal::testing::queueAnswer(gui::modal::Answer(answer));
        const QString package = path(QStringLiteral("closing.kwp"));
        if (saveChosen)
            gui::modal::testing::queueFileName(package);

        QCOMPARE(session->window().close(), closes);
        QCOMPARE(session->window().isVisible(), !closes);
        const auto messages = gui::modal::testing::messages();
        if (answer < 0) {
            QVERIFY(messages.isEmpty());
        } else {
            QCOMPARE(messages.constFirst().text, kQuestion);
            QCOMPARE(messages.constFirst().caption, QStringLiteral("Тирлада"));
            QCOMPARE(messages.constFirst().buttons, gui::modal::Buttons::YesNoCancel);
        }
        QCOMPARE(QFile::exists(package), closes && saveChosen);
        QCOMPARE(gui::modal::testing::unusedCount(), 0);
    }

    // The question as the user sees it: three buttons, and Escape or the
    // close box keep the window ("Отмена").
    void questionBoxAnswers_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expected");
        QTest::newRow("Escape") << "escape" << int(gui::modal::Answer::Cancel);
        QTest::newRow("close box") << "close" << int(gui::modal::Answer::Cancel);
        QTest::newRow("Да") << "yes" << int(gui::modal::Answer::Yes);
        QTest::newRow("Нет") << "no" << int(gui::modal::Answer::No);
    }
    void questionBoxAnswers()
    {
        QFETCH(QString, action);
        QFETCH(int, expected);
        gui::modal::testing::uninstall();
        int buttons = 0;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            buttons = int(box->buttons().size());
            if (action == QLatin1String("escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else if (action == QLatin1String("close"))
                box->close();
            else
                box->button(action == QLatin1String("yes") ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        const gui::modal::Answer answer =
            gui::modal::message(&session->window(), gui::modal::Icon::Question, QStringLiteral("Тирлада"), kQuestion,
                                gui::modal::Buttons::YesNoCancel);
        gui::modal::testing::install();
        QCOMPARE(buttons, 3);
        QCOMPARE(int(answer), expected);
    }

    // A failure inside the save of "Да" is shown, and the window stays open.
    void closingKeepsTheWindowWhenTheSaveFails()
    {
        fillMinimal();
        gui::modal::testing::queueAnswer(gui::modal::Answer::Yes);
        gui::modal::testing::queueFileName(path(QStringLiteral("nowhere/x.kwp")));
        platform::testing::setTempFolder(path(QStringLiteral("missing/")));
        writeBytes(path(QStringLiteral("missing")), "a file where the folder should be");
        QVERIFY(!session->window().close());
        QVERIFY(session->window().isVisible());
        QCOMPARE(gui::modal::testing::lastMessage().icon, gui::modal::Icon::Error);
    }
};

QTEST_MAIN(TestUnsavedInput)
#include "test_unsaved_input.moc"
