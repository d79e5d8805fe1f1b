#include "participants/participant_id_dialog.h"
#include "participants_test.h"
#include "tirlada_test.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>

// The dialog "Добавить" on its own, shown as the program creates it.
class TestIdDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<tt::Session> session;
    ParticipantIdDialog *form = nullptr;

    void showDialog()
    {
        form->findChild<QLineEdit *>("AddID")->setText(QString());
        form->show();
        QApplication::setActiveWindow(form);
    }

private slots:
    void init()
    {
        session = std::make_unique<tt::Session>();
        form = session->windows->idDialog.get();
    }
    void cleanup()
    {
        form->hide();
        session.reset();
    }

    // An ID whose check digits do not match is refused with an error box
    // once the dialog has closed; a matching one joins the list formatted.
    void wrongIdShowsErrorBox()
    {
        const auto addTyped = [this](const QString &typed) {
            gui::modal::testing::queueDialog([typed](QDialog *d) {
                auto *edit = d->findChild<QLineEdit *>("AddID");
                edit->setText(typed);
                QTest::keyClick(edit, Qt::Key_Return);
            });
            QTest::mouseClick(session->control<QPushButton>("AuthorAdd"), Qt::LeftButton);
        };
        addTyped(QStringLiteral("123-456-789"));
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message shown = gui::modal::testing::lastMessage();
        QCOMPARE(shown.text, QStringLiteral("Введен ошибочный ID"));
        QCOMPARE(shown.caption, QStringLiteral("Ошибка"));
        QCOMPARE(shown.icon, gui::modal::Icon::Error);
        QCOMPARE(shown.buttons, gui::modal::Buttons::Ok);
        QVERIFY(session->window().model().participants(PassportModel::Side::Authors).isEmpty());

        addTyped(QStringLiteral("123 456 798"));
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        QCOMPARE(session->window().model().participants(PassportModel::Side::Authors).value(0).Id,
                 QStringLiteral("123-456-798"));
    }

    void layout()
    {
        QCOMPARE(form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Добавить"));
        QCOMPARE(form->size(), QSize(249, 84));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form->parentWidget(), &session->window());
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->objectName(), QStringLiteral("AddID"));
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->geometry(), QRect(8, 27, 233, 21));
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->maxLength(), 11);
        QCOMPARE(form->findChild<QPushButton *>("Button1")->objectName(), QStringLiteral("Button1"));
        QCOMPARE(form->findChild<QPushButton *>("Button1")->geometry(), QRect(166, 54, 75, 25));
        QCOMPARE(form->findChild<QPushButton *>("Button1")->text(), QStringLiteral("Добавить"));
        QVERIFY(form->findChild<QPushButton *>("Button1")->isDefault());
        QVERIFY(!form->findChild<QPushButton *>("Button1")->isEnabled());
        auto *label = form->findChild<QLabel *>();
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Идентификатор (в формате XXX-XXX-XXX):"));
        QCOMPARE(label->buddy(), form->findChild<QLineEdit *>("AddID"));
        QVERIFY(label->geometry().bottom() < form->findChild<QLineEdit *>("AddID")->geometry().top());
    }

    // The change rule, fed by typing through the key filter or by pasting.
    void changeRule_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("field"); // what the field then holds
        QTest::addColumn<bool>("enabled");
        QTest::newRow("dashes") << "123-456-789" << false << "123-456-789" << true;
        QTest::newRow("blanks") << "123 456 789" << false << "123 456 789" << true;
        QTest::newRow("plain") << "123456789" << false << "123456789" << true;
        QTest::newRow("odd dashes") << "12-3456-789" << false << "12-3456-789" << true;
        QTest::newRow("dashes around") << "-123456789-" << false << "-123456789-" << true;
        QTest::newRow("dash and blank") << "1 2-3456789" << false << "1 2-3456789" << true;
        QTest::newRow("eight digits") << "123-456-78" << false << "123-456-78" << false;
        QTest::newRow("ten digits") << "1234567890" << false << "1234567890" << false;
        QTest::newRow("leading 0") << "012-345-678" << false << "012-345-678" << false;
        QTest::newRow("100000000") << "100000000" << false << "100000000" << false;
        QTest::newRow("100000001") << "100-000-001" << false << "100-000-001" << true;
        QTest::newRow("999999998") << "999 999 998" << false << "999 999 998" << true;
        QTest::newRow("999999999") << "999-999-999" << false << "999-999-999" << false;
        QTest::newRow("dashes only") << "-----------" << false << "-----------" << false;
        QTest::newRow("dashes and blanks only") << "- - - - - -" << false << "- - - - - -" << false;
        QTest::newRow("point") << "1234.5678" << false << "1234.5678" << false;
        QTest::newRow("eleven characters") << "123--456789" << false << "123--456789" << true;
        QTest::newRow("twelfth refused") << "123-456-7890" << false << "123-456-789" << true;
        QTest::newRow("twelfth digit refused") << "123456789012" << false << "12345678901" << false;
        QTest::newRow("latin letter") << "123a456b789" << false << "123456789" << true;
        QTest::newRow("cyrillic letter") << QStringLiteral("123ж456Ё789") << false << "123456789" << true;
        QTest::newRow("other signs") << "+123,456/789e" << false << "123456789" << true;
        QTest::newRow("pasted plain") << "123456789" << true << "123456789" << true;
        QTest::newRow("pasted exponent") << "12e000007" << true << "12e000007" << false;
        QTest::newRow("pasted letter") << "12345678a" << true << "12345678a" << false;
        QTest::newRow("pasted sign") << "+12345678" << true << "+12345678" << false;
        QTest::newRow("pasted point") << "1.2345678" << true << "1.2345678" << false;
        QTest::newRow("pasted blanks around") << "  123456789" << true << "  123456789" << true;
        QTest::newRow("pasted too long") << "123456789012" << true << "12345678901" << false;
        QTest::newRow("pasted fullwidth")
            << QStringLiteral("１２３４５６７８９") << true << QStringLiteral("１２３４５６７８９") << false;
    }
    void changeRule()
    {
        QFETCH(QString, input);
        QFETCH(bool, pasted);
        QFETCH(QString, field);
        QFETCH(bool, enabled);
        showDialog();
        if (pasted) {
            QGuiApplication::clipboard()->setText(input);
            QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_V, Qt::ControlModifier);
        } else {
            pt::typeText(form->findChild<QLineEdit *>("AddID"), input);
        }
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->text(), field);
        QCOMPARE(form->findChild<QPushButton *>("Button1")->isEnabled(), enabled);
        QVERIFY(form->isVisible());
    }

    void buttonFollowsEachKeystroke()
    {
        showDialog();
        pt::typeText(form->findChild<QLineEdit *>("AddID"), QStringLiteral("123-456-78"));
        QVERIFY(!form->findChild<QPushButton *>("Button1")->isEnabled());
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_9);
        QVERIFY(form->findChild<QPushButton *>("Button1")->isEnabled());
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_Backspace);
        QVERIFY(!form->findChild<QPushButton *>("Button1")->isEnabled());
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_9);
        QVERIFY(form->findChild<QPushButton *>("Button1")->isEnabled());
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_Home);
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_Delete);
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->text(), QStringLiteral("23-456-789"));
        QVERIFY(!form->findChild<QPushButton *>("Button1")->isEnabled());
        form->findChild<QLineEdit *>("AddID")->selectAll();
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_Backspace);
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->text(), QString());
        QVERIFY(!form->findChild<QPushButton *>("Button1")->isEnabled());
        // The rule never rewrites the text: no dash appears, the caret stays.
        pt::typeText(form->findChild<QLineEdit *>("AddID"), QStringLiteral("123456789"));
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->text(), QStringLiteral("123456789"));
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->cursorPosition(), 9);
    }

    void enterAndEscape_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Enter, enabled") << "123-456-789" << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter, enabled") << "123-456-789" << int(Qt::Key_Enter) << true;
        QTest::newRow("Escape, enabled") << "123-456-789" << int(Qt::Key_Escape) << true;
        QTest::newRow("Enter, disabled") << "123-456-78" << int(Qt::Key_Return) << false;
        QTest::newRow("Escape, disabled") << "123-456-78" << int(Qt::Key_Escape) << false;
        QTest::newRow("Escape, empty") << "" << int(Qt::Key_Escape) << false;
    }
    void enterAndEscape()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(bool, closes);
        showDialog();
        form->setResult(-1);
        pt::typeText(form->findChild<QLineEdit *>("AddID"), typed);
        QSignalSpy clicked(form->findChild<QPushButton *>("Button1"), &QPushButton::clicked);
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key(key));
        QCOMPARE(form->isVisible(), !closes);
        QCOMPARE(clicked.count(), closes ? 1 : 0);
        if (closes)
            QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->text(), typed);
    }

    void escapeOnTheButtonPressesIt()
    {
        showDialog();
        pt::typeText(form->findChild<QLineEdit *>("AddID"), QStringLiteral("123456789"));
        form->findChild<QPushButton *>("Button1")->setFocus();
        QTest::keyClick(form->findChild<QPushButton *>("Button1"), Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
    }

    void clickGivesOk()
    {
        showDialog();
        pt::typeText(form->findChild<QLineEdit *>("AddID"), QStringLiteral("123456789"));
        QTest::mouseClick(form->findChild<QPushButton *>("Button1"), Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
    }

    void closeBoxGivesCancel()
    {
        showDialog();
        pt::typeText(form->findChild<QLineEdit *>("AddID"), QStringLiteral("123456789"));
        form->setResult(-1);
        QVERIFY(form->close());
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Rejected));
    }

    void focusDoesNotSelectTheText()
    {
        showDialog();
        QCOMPARE(form->focusWidget(), form->findChild<QLineEdit *>("AddID"));
        pt::typeText(form->findChild<QLineEdit *>("AddID"), QStringLiteral("123456789"));
        form->findChild<QLineEdit *>("AddID")->setCursorPosition(4);
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_Tab);
        QCOMPARE(form->focusWidget(), form->findChild<QPushButton *>("Button1"));
        QTest::keyClick(form->findChild<QPushButton *>("Button1"), Qt::Key_Tab);
        QCOMPARE(form->focusWidget(), form->findChild<QLineEdit *>("AddID"));
        QVERIFY(!form->findChild<QLineEdit *>("AddID")->hasSelectedText());
        // Typing now inserts at the caret instead of replacing everything.
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_Minus);
        QCOMPARE(form->findChild<QLineEdit *>("AddID")->text(), QStringLiteral("1234-56789"));
    }

    // Through the add button: each showing is centred over the main window
    // and starts empty with the button disabled and the focus in the field.
    void everyShowingStartsAfresh()
    {
        auto *window = &session->window();
        auto *add = session->control<QPushButton>("AuthorAdd");
        session->control<QTabWidget>("SectionsTabs")->setCurrentIndex(2);
        QList<QPoint> offsets;
        const auto script = [&](QDialog *d) {
            auto *f = static_cast<ParticipantIdDialog *>(d);
            QCOMPARE(f->findChild<QLineEdit *>("AddID")->text(), QString());
            QVERIFY(!f->findChild<QPushButton *>("Button1")->isEnabled());
            QCOMPARE(f->focusWidget(), f->findChild<QLineEdit *>("AddID"));
            offsets.append(f->frameGeometry().center() - window->frameGeometry().center());
            pt::typeText(f->findChild<QLineEdit *>("AddID"), QStringLiteral("123-456-7"));
            // Left open: the close box.
        };
        gui::modal::testing::queueDialog(script);
        QTest::mouseClick(add, Qt::LeftButton);
        window->move(window->pos() + QPoint(120, 70));
        gui::modal::testing::queueDialog(script);
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(gui::modal::testing::execCount(), 2);
        QCOMPARE(offsets.size(), 2);
        for (const QPoint &offset : offsets)
            QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
                     qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
        // Cancelled both times: nothing was added.
        QCOMPARE(session->control<QListWidget>("AuthorsListBox")->count(), 0);
        QVERIFY(gui::modal::testing::messages().isEmpty());
    }
};

QTEST_MAIN(TestIdDialog)
#include "test_id_dialog.moc"
