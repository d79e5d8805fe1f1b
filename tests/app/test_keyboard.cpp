// The window and its dialogs for keyboard and screen-reader users, through
// the real widgets and real key events.

#include "fixtures.h"
#include "participants/participant_id_dialog.h"
#include "sections/sections_dialog.h"
#include "tirlada_test.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

// The focus of the window under test: the passport window or a dialog.
QWidget *shownWindow = nullptr;
QWidget *focused() { return shownWindow->focusWidget(); }

QString nameOf(const QWidget *widget)
{
    if (!widget)
        return QStringLiteral("(none)");
    if (qobject_cast<const QTabBar *>(widget))
        return QStringLiteral("tab bar");
    return widget->objectName();
}

// Presses Tab (or Shift+Tab) on whatever has the focus, as the user does.
void pressTab(bool forward)
{
    QWidget *from = focused();
    QVERIFY(from);
    if (forward)
        QTest::keyClick(from, Qt::Key_Tab);
    else
        QTest::keyClick(from, Qt::Key_Backtab, Qt::ShiftModifier);
}

// Walks the whole chain from its first entry, forward back to the start and
// then backward back to the start.
void walk(const QStringList &chain)
{
    const qsizetype n = chain.size();
    for (qsizetype i = 1; i <= n; ++i) {
        pressTab(true);
        QCOMPARE(nameOf(focused()), chain[i % n]);
    }
    for (qsizetype i = n - 1; i >= 0; --i) {
        pressTab(false);
        QCOMPARE(nameOf(focused()), chain[i]);
    }
}

// Every control under root that Tab can reach.
QList<QWidget *> focusable(QWidget *root)
{
    QList<QWidget *> found;
    for (QWidget *w : root->findChildren<QWidget *>())
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            found.append(w);
    return found;
}

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Name) : QString();
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        session = std::make_unique<tt::Session>();
        shownWindow = &session->window();
        session->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session->window()));
    }
    void cleanup() { session.reset(); }

    // One chain: the tab bar, the current sheet's controls in the order of
    // its rows, "Предпросмотр", "Сохранить" and back to the tab bar.
    void tabChainOfEachSheet_data()
    {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<QStringList>("enable");
        QTest::addColumn<QStringList>("chain");
        const QStringList bottom{"OpenButton", "Preview", "SaveButton"};
        QTest::newRow("work") << 0 << QStringList()
                              << QStringList{"tab bar",
                                             "title",
                                             "description",
                                             "tech_request",
                                             "manual",
                                             "public_post_index",
                                             "public_post_address",
                                             "public_phone",
                                             "public_email",
                                             "Button3",
                                             "HelpMemo"}
                                     + bottom;
        QTest::newRow("picture, none loaded")
            << 1 << QStringList() << QStringList{"tab bar", "AddImg", "Memo5"} + bottom;
        QTest::newRow("picture, every control enabled")
            << 1 << QStringList{"DelImg", "WorkImgSign"}
            << QStringList{"tab bar", "AddImg", "DelImg", "WorkImgSign", "Memo5"} + bottom;
        QTest::newRow("participants at start")
            << 2 << QStringList()
            << QStringList{"tab bar",          "AuthorsListBox",    "AuthorAdd",          "AuthorsLastname",
                           "AuthorsName",      "AuthorsPatronymic", "TeachersListBox",    "TeacherAdd",
                           "TeachersLastname", "TeachersName",      "TeachersPatronymic", "Memo1"}
                   + bottom;
        QTest::newRow("participants, every control enabled")
            << 2 << QStringList{"AuthorDelete", "TeacherDelete", "LeaderID"}
            << QStringList{"tab bar",
                           "AuthorsListBox",
                           "AuthorAdd",
                           "AuthorDelete",
                           "AuthorsLastname",
                           "AuthorsName",
                           "AuthorsPatronymic",
                           "TeachersListBox",
                           "TeacherAdd",
                           "TeacherDelete",
                           "TeachersLastname",
                           "TeachersName",
                           "TeachersPatronymic",
                           "LeaderID",
                           "Memo1"}
                   + bottom;
        QTest::newRow("comments") << 3 << QStringList() << QStringList{"tab bar", "Notes", "Memo2"} + bottom;
    }
    void tabChainOfEachSheet()
    {
        QFETCH(int, sheet);
        QFETCH(QStringList, enable);
        QFETCH(QStringList, chain);
        for (const QString &name : enable)
            session->control(name.toLatin1().constData())->setEnabled(true);
        auto *tabs = session->control<QTabWidget>("SectionsTabs");
        tabs->setCurrentIndex(sheet);
        tabs->tabBar()->setFocus(Qt::TabFocusReason);
        QCOMPARE(nameOf(focused()), QStringLiteral("tab bar"));
        walk(chain);
    }

    // At start-up the focus can leave the tab bar: Tab goes into the sheet.
    void tabFromTheTabBarAtStart()
    {
        // The window opens with the focus on the tab bar.
        QCOMPARE(nameOf(focused()), QStringLiteral("tab bar"));
        pressTab(true);
        QCOMPARE(nameOf(focused()), QStringLiteral("title"));
    }

    void tabChainOfTheIdDialog()
    {
        bool walked = false;
        gui::modal::testing::queueDialog([&](QDialog *d) {
            auto *form = static_cast<ParticipantIdDialog *>(d);
            shownWindow = form;
            QCOMPARE(nameOf(focused()), QStringLiteral("AddID"));
            // The button is disabled until an ID is typed: Tab stays.
            pressTab(true);
            QCOMPARE(nameOf(focused()), QStringLiteral("AddID"));
            QTest::keyClicks(form->findChild<QLineEdit *>("AddID"), QStringLiteral("123456789"));
            walk({"AddID", "Button1"});
            walked = true;
        });
        QTest::mouseClick(session->control<QPushButton>("AuthorAdd"), Qt::LeftButton);
        QVERIFY(walked);
    }

    void tabChainOfTheSectionsDialog()
    {
        bool walked = false;
        gui::modal::testing::queueDialog([&](QDialog *d) {
            shownWindow = d;
            // One main section ticked enables the supplementary one.
            auto *first = d->findChild<QCheckBox *>(QStringLiteral("CheckBox1"));
            first->setChecked(true);
            first->setFocus(Qt::TabFocusReason);
            QStringList chain;
            for (int number = 1; number <= 21; ++number)
                chain << QStringLiteral("CheckBox%1").arg(number);
            chain << "Button1"
                  << "CheckBox22";
            walk(chain);
            walked = true;
        });
        QTest::mouseClick(session->control<QPushButton>("Button3"), Qt::LeftButton);
        QVERIFY(walked);
    }

    // Enter on a focused button presses it, in the window and the dialogs.
    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        for (const char *name : {"Button3", "AuthorAdd", "TeacherAdd", "AddImg", "DelImg", "AuthorDelete",
                                 "TeacherDelete", "OpenButton", "Preview", "SaveButton"}) {
            QTest::addRow("%s, Return", name) << name << int(Qt::Key_Return);
            QTest::addRow("%s, keypad Enter", name) << name << int(Qt::Key_Enter);
        }
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(QString, button);
        QFETCH(int, key);
        QTemporaryDir temp;
        platform::testing::setTempFolder(temp.path() + QLatin1Char('/'));
        int opened = 0;
        platform::testing::setBrowser([&](const QUrl &) { return ++opened, true; });

        auto *target = session->control<QPushButton>(button.toLatin1().constData());
        target->setEnabled(true);
        bool clicked = false;
        connect(target, &QPushButton::clicked, this, [&] { clicked = true; });
        auto *tabs = session->control<QTabWidget>("SectionsTabs");
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->widget(i)->isAncestorOf(target))
                tabs->setCurrentIndex(i);
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, Qt::Key(key));
        platform::testing::setTempFolder(QString());
        platform::testing::setBrowser(nullptr);
        QVERIFY(clicked);
    }

    void enterOnTheIdDialogsButtonAdds()
    {
        gui::modal::testing::queueDialog([&](QDialog *d) {
            auto *form = static_cast<ParticipantIdDialog *>(d);
            QTest::keyClicks(form->findChild<QLineEdit *>("AddID"), QStringLiteral("123-456-798"));
            form->findChild<QPushButton *>("Button1")->setFocus(Qt::TabFocusReason);
            QTest::keyClick(form->findChild<QPushButton *>("Button1"), Qt::Key_Return);
        });
        QTest::mouseClick(session->control<QPushButton>("AuthorAdd"), Qt::LeftButton);
        QCOMPARE(session->control<QListWidget>("AuthorsListBox")->count(), 1);
    }

    // Every control that takes the focus has a name a screen reader can say.
    void everyFocusableControlHasAName()
    {
        QList<QWidget *> controls = focusable(&session->window());
        controls += focusable(session->windows->sectionsDialog.get());
        controls += focusable(session->windows->idDialog.get());
        QVERIFY(controls.size() > 50);
        for (QWidget *control : controls)
            QVERIFY2(!accessibleName(control).trimmed().isEmpty(),
                     qPrintable(control->objectName() + QLatin1Char(' ') + control->metaObject()->className()));
    }

    // Fields are named by their labels, not by their group's title.
    void fieldsAreNamedByTheirLabels_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("title") << "title" << QStringLiteral("Название:");
        QTest::newRow("description") << "description" << QStringLiteral("Описание:");
        QTest::newRow("phone") << "public_phone" << QStringLiteral("Телефон:");
        QTest::newRow("caption") << "WorkImgSign" << QStringLiteral("Подпись к картинке");
        QTest::newRow("author surname") << "AuthorsLastname" << QStringLiteral("Фамилия:");
        QTest::newRow("supervisor patronymic") << "TeachersPatronymic" << QStringLiteral("Отчество:");
        QTest::newRow("invoice") << "LeaderID" << QStringLiteral("Счет для оплаты направлять:");
        QTest::newRow("notes") << "Notes" << QStringLiteral("Комментарии:");
        QTest::newRow("authors list") << "AuthorsListBox" << QStringLiteral("Номера авторов");
        QTest::newRow("supervisors list") << "TeachersListBox" << QStringLiteral("Номера руководителей");
        QTest::newRow("help") << "Memo1" << QStringLiteral("Помощь");
    }
    void fieldsAreNamedByTheirLabels()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QCOMPARE(accessibleName(session->control(control.toLatin1().constData())), name);
    }

    // A focused help memo shows a frame; without the focus it shows none.
    void helpMemosShowTheFocus_data()
    {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<QString>("memo");
        QTest::newRow("work") << 0 << "HelpMemo";
        QTest::newRow("picture") << 1 << "Memo5";
        QTest::newRow("participants") << 2 << "Memo1";
        QTest::newRow("comments") << 3 << "Memo2";
    }
    void helpMemosShowTheFocus()
    {
        QFETCH(int, sheet);
        QFETCH(QString, memo);
        session->control<QTabWidget>("SectionsTabs")->setCurrentIndex(sheet);
        auto *help = session->control<QPlainTextEdit>(memo.toLatin1().constData());
        const QColor mark = help->palette().color(QPalette::Active, QPalette::Highlight);
        const auto edgeColours = [help] {
            const QImage image = help->grab().toImage();
            return QList<QColor>{image.pixelColor(1, 1), image.pixelColor(image.width() - 2, image.height() / 2)};
        };
        session->control<QTabWidget>("SectionsTabs")->tabBar()->setFocus(Qt::TabFocusReason);
        for (const QColor &colour : edgeColours())
            QVERIFY(colour != mark);
        help->setFocus(Qt::TabFocusReason);
        QVERIFY(help->hasFocus());
        for (const QColor &colour : edgeColours())
            QCOMPARE(colour, mark);
        QCOMPARE(help->frameShape(), QFrame::NoFrame);
    }

    // List rows are 13 pixels high, in both lists and the invoice drop-down.
    void listRowsAre13PixelsHigh()
    {
        session->setParticipants(
            {tt::person(tt::checkedId(1), "a", "b", "c"), tt::person(tt::checkedId(2), "", "", "")},
            {tt::person(tt::checkedId(3), "d", "e", "f")});
        for (const char *name : {"AuthorsListBox", "TeachersListBox"}) {
            auto *list = session->control<QListWidget>(name);
            QCOMPARE(list->visualItemRect(list->item(0)).height(), 13);
        }
        auto *authors = session->control<QListWidget>("AuthorsListBox");
        QCOMPARE(authors->visualItemRect(authors->item(1)).top(), 13 + authors->visualItemRect(authors->item(0)).top());
        QCOMPARE(session->control<QComboBox>("LeaderID")->view()->sizeHintForRow(0), 13);
    }

private:
    std::unique_ptr<tt::Session> session;
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
