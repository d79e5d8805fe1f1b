#include "app/help_texts.h"
#include "app/image_box.h"
#include "tirlada_test.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { session = std::make_unique<tt::Session>(); }
    void cleanup() { session.reset(); }

    void captionAndSheets()
    {
        QCOMPARE(session->window().windowTitle(), QStringLiteral("Фестиваль \"Ковирта\" - Тирлада (2008/2009)"));
        QCOMPARE(session->window().objectName(), QStringLiteral("Pasport"));
        auto *tabs = session->control<QTabWidget>("SectionsTabs");
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("WorksTSh"));
        const QStringList captions{QStringLiteral("Информация о работе"), QStringLiteral("Картинка"),
                                   QStringLiteral("Авторы и руководители"), QStringLiteral("Комментарии")};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(tabs->tabText(i), captions[i]);
    }

    void initialEnabledState_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("AuthorAdd") << "AuthorAdd" << true;
        QTest::newRow("TeacherAdd") << "TeacherAdd" << true;
        QTest::newRow("AuthorDelete") << "AuthorDelete" << false;
        QTest::newRow("TeacherDelete") << "TeacherDelete" << false;
        QTest::newRow("AddImg") << "AddImg" << true;
        QTest::newRow("DelImg") << "DelImg" << false;
        QTest::newRow("WorkImgSign") << "WorkImgSign" << false;
        QTest::newRow("LeaderID") << "LeaderID" << false;
        QTest::newRow("LeaderID_Label") << "LeaderID_Label" << false;
        QTest::newRow("Preview") << "Preview" << true;
        QTest::newRow("SaveButton") << "SaveButton" << true;
        QTest::newRow("Button3") << "Button3" << true;
    }
    void initialEnabledState()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        auto *widget = session->control(name.toLatin1().constData());
        QCOMPARE(widget->isEnabled(), enabled);
    }

    void initialTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("authors group") << "AuthorsGroup" << QStringLiteral("Авторы (0)");
        QTest::newRow("teachers group") << "TeachersGroup" << QStringLiteral("Руководители (0)");
        QTest::newRow("subj1") << "subj1" << QStringLiteral("[ Раздел не задан ]");
        QTest::newRow("subj2") << "subj2" << QString();
        QTest::newRow("subj4") << "subj4" << QString();
        QTest::newRow("Preview") << "Preview" << QStringLiteral("Предпросмотр");
        QTest::newRow("SaveButton") << "SaveButton" << QStringLiteral("Сохранить");
        QTest::newRow("Button3") << "Button3" << QStringLiteral("Список разделов");
        QTest::newRow("Label5") << "Label5" << QStringLiteral("Работа отнесена к разделу(ам):");
        QTest::newRow("picture group") << "GroupBox3" << QStringLiteral("Изображение к работе");
        QTest::newRow("sign label") << "WorkImgSignLabel" << QStringLiteral("Подпись к картинке");
        QTest::newRow("leader label") << "LeaderID_Label" << QStringLiteral("Счет для оплаты направлять:");
    }
    void initialTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QWidget *widget = session->control(name.toLatin1().constData());
        if (auto *group = qobject_cast<QGroupBox *>(widget))
            QCOMPARE(group->title(), text);
        else if (auto *label = qobject_cast<QLabel *>(widget))
            QCOMPARE(label->text(), text);
        else if (auto *button = qobject_cast<QPushButton *>(widget))
            QCOMPARE(button->text(), text);
        else
            QFAIL("unexpected control kind");
    }

    void startsEmpty()
    {
        const PassportSnapshot s = session->window().snapshot();
        QCOMPARE(s.seasonId, 4);
        QCOMPARE(s.seasonName, QStringLiteral("2008/2009 учебный год"));
        QCOMPARE(s.subjectSlots, (std::array<qint32, 4>{0, 0, 0, 0}));
        QCOMPARE(s.subjectNames[1], QStringLiteral("Астрономия, космонавтика и авиация"));
        QCOMPARE(s.subjectNames[6], QStringLiteral("Лингвистика (русский и иностранные языки)"));
        QCOMPARE(s.subjectNames[22], QStringLiteral("В помощь учителю"));
        QVERIFY(s.authors.isEmpty());
        QVERIFY(s.teachers.isEmpty());
        QCOMPARE(s.leaderIndex, -1);
        QVERIFY(!s.hasPicture);
    }

    void placeholderPicture()
    {
        auto *image = session->control<ImageBox>("WorkImg");
        QCOMPARE(image->size(), QSize(300, 300));
        QCOMPARE(image->bitmap().size(), QSize(300, 300));
        QCOMPARE(image->bitmap().pixelColor(5, 5), QColor(Qt::white));
        // The text "300 x 300" stands from (130, 148) on: dark pixels there,
        // none above or to the left of it.
        bool inked = false;
        for (int y = 148; y < 170; ++y)
            for (int x = 130; x < 200; ++x)
                inked = inked || image->bitmap().pixelColor(x, y).lightness() < 128;
        QVERIFY(inked);
        for (int y = 0; y < 146; ++y)
            for (int x = 0; x < 300; ++x)
                QVERIFY(image->bitmap().pixelColor(x, y) == QColor(Qt::white));
    }

    void fixedSizeWithoutMaximise()
    {
        PassportWindow &w = session->window();
        QCOMPARE(w.size(), QSize(787, 502));
        QCOMPARE(w.minimumSize(), QSize(787, 502));
        QCOMPARE(w.maximumSize(), QSize(787, 502));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        w.resize(900, 600);
        QCOMPARE(w.size(), QSize(787, 502));
        w.showMaximized();
        QCOMPARE(w.size(), QSize(787, 502));
    }

    void fixedHelpMemos_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("picture") << "Memo5" << help::pictureHelp();
        QTest::newRow("participants") << "Memo1" << help::participantsHelp();
        QTest::newRow("comments") << "Memo2" << help::commentsHelp();
        QTest::newRow("panel at start") << "HelpMemo" << help::initialPanelText();
    }
    void fixedHelpMemos()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        auto *memo = session->control<QPlainTextEdit>(name.toLatin1().constData());
        QCOMPARE(core::memoTextToPassport(memo->toPlainText()), text);
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->frameShape(), QFrame::NoFrame);
    }

    void helpTextsKeepTrailingBlanks()
    {
        const QStringList lines = help::pictureHelp().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 20);
        QCOMPARE(lines[1], QStringLiteral("описания работы на сайте «Ковирта». "));
        QCOMPARE(lines[2], QString());
        QCOMPARE(help::initialPanelText().split(QStringLiteral("\r\n")).size(), 10);
        QCOMPARE(help::commentsHelp().split(QStringLiteral("\r\n")).size(), 7);
        QCOMPARE(help::participantsHelp().split(QStringLiteral("\r\n")).size(), 11);
    }

    // Focus-in and click on each field of the first sheet show its help.
    void helpPanel_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("byClick");
        QTest::addColumn<QString>("expected");
        const struct {
            const char *field;
            QString help;
        } rows[] = {
            {"title", help::titleHelp()},
            {"description", help::descriptionHelp()},
            {"tech_request", help::requirementsHelp()},
            {"manual", help::manualHelp()},
            {"public_post_index", help::contactsHelp()},
            {"public_post_address", help::contactsHelp()},
            {"public_phone", help::contactsHelp()},
            {"public_email", help::contactsHelp()},
        };
        for (const auto &row : rows) {
            QTest::addRow("%s focus", row.field) << row.field << false << row.help;
            QTest::addRow("%s click", row.field) << row.field << true << row.help;
        }
    }
    void helpPanel()
    {
        QFETCH(QString, field);
        QFETCH(bool, byClick);
        QFETCH(QString, expected);
        session->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session->window()));
        // Start from another field, so that the event really changes the text.
        session->control("public_email")->setFocus();
        if (field.startsWith(QLatin1String("public")))
            session->control("title")->setFocus();
        QWidget *target = session->control(field.toLatin1().constData());
        if (byClick) {
            auto *memo = qobject_cast<QPlainTextEdit *>(target);
            QTest::mouseClick(memo ? memo->viewport() : target, Qt::LeftButton);
        } else {
            target->setFocus(Qt::OtherFocusReason);
        }
        auto *panel = session->control<QPlainTextEdit>("HelpMemo");
        QCOMPARE(core::memoTextToPassport(panel->toPlainText()), expected);
    }

    void tabMovesFromTitleToDescription()
    {
        session->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session->window()));
        session->control("title")->setFocus();
        QTest::keyClick(session->control("title"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), session->control("description"));
        QCOMPARE(core::memoTextToPassport(session->control<QPlainTextEdit>("HelpMemo")->toPlainText()),
                 help::descriptionHelp());
        // Tab in a memo moves on rather than inserting a tab character.
        QTest::keyClick(session->control("description"), Qt::Key_Tab);
        QCOMPARE(session->control<QPlainTextEdit>("description")->toPlainText(), QString());
        QCOMPARE(QApplication::focusWidget(), session->control("tech_request"));
    }

    void sectionButtonLeavesHelpUnchanged()
    {
        auto *panel = session->control<QPlainTextEdit>("HelpMemo");
        session->control<QPlainTextEdit>("manual")->setFocus();
        const QString before = panel->toPlainText();
        QTest::mouseClick(session->control("Button3"), Qt::LeftButton);
        QCOMPARE(panel->toPlainText(), before);
    }

    void memosWrapWithoutScrollBars()
    {
        for (const char *name : {"description", "manual", "Notes", "HelpMemo", "Memo1", "Memo2", "Memo5"}) {
            auto *memo = session->control<QPlainTextEdit>(name);
            QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            QVERIFY(memo->tabChangesFocus());
        }
    }

    void snapshotCarriesTextsWithCrLf()
    {
        session->control<QLineEdit>("title")->setText(QStringLiteral(" Весна "));
        session->control<QPlainTextEdit>("description")->setPlainText(QStringLiteral("Стихи\nо весне"));
        session->control<QPlainTextEdit>("Notes")->setPlainText(QStringLiteral("a\n\nb"));
        session->control<QLineEdit>("public_email")->setText(QStringLiteral("a@b.c"));
        const PassportSnapshot s = session->window().snapshot();
        QCOMPARE(s.title, QStringLiteral(" Весна "));
        QCOMPARE(s.description, QStringLiteral("Стихи\r\nо весне"));
        QCOMPARE(s.notes, QStringLiteral("a\r\n\r\nb"));
        QCOMPARE(s.email, QStringLiteral("a@b.c"));
        QCOMPARE(s.seasonId, 4);
        QVERIFY(!s.hasPicture);
        QCOMPARE(s.leaderIndex, -1);
        QVERIFY(s.authors.isEmpty());
        QVERIFY(s.teachers.isEmpty());
    }

    void labelsAreNotClipped()
    {
        for (QLabel *label : session->window().findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->objectName()));
        }
    }

private:
    std::unique_ptr<tt::Session> session;
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
