// The sections dialog and the summary on the passport window, through the
// real widgets.

#include "sections/sections_dialog.h"
#include "tirlada_test.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

Q_DECLARE_METATYPE(QList<int>)

namespace {

QCheckBox *box(QDialog *dialog, int number)
{
    auto *found = dialog->findChild<QCheckBox *>(QStringLiteral("CheckBox%1").arg(number));
    if (!found)
        qFatal("no check box %d", number);
    return found;
}

// A click on the box's tick mark, as the user makes it.
void clickBox(QDialog *dialog, int number) { QTest::mouseClick(box(dialog, number), Qt::LeftButton, {}, QPoint(6, 8)); }

void pressSelect(QDialog *dialog)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Button1")), Qt::LeftButton);
}

QList<int> numbersWhere(QDialog *dialog, bool (QCheckBox::*test)() const, bool value)
{
    QList<int> numbers;
    for (int number = 1; number <= kSubjectCount; ++number)
        if ((box(dialog, number)->*test)() == value)
            numbers.append(number);
    return numbers;
}
QList<int> tickedBoxes(QDialog *dialog) { return numbersWhere(dialog, &QCheckBox::isChecked, true); }
QList<int> disabledBoxes(QDialog *dialog) { return numbersWhere(dialog, &QCheckBox::isEnabled, false); }

QList<int> mainSectionsExcept(const QList<int> &kept)
{
    QList<int> numbers;
    for (int number = 1; number <= 21; ++number)
        if (!kept.contains(number))
            numbers.append(number);
    return numbers;
}

} // namespace

class TestSubjects : public QObject {
    Q_OBJECT
private slots:
    void init() { session = std::make_unique<tt::Session>(); }
    void cleanup() { session.reset(); }

    void boxes_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        struct Row {
            int group, left, top, width;
            const char *caption;
        };
        const Row rows[] = {
            {1, 16, 24, 215, "Астрономия, космонавтика и авиация"},
            {1, 16, 47, 169, "Биология"},
            {1, 16, 70, 169, "География"},
            {1, 16, 93, 169, "История, археология"},
            {1, 16, 116, 169, "Искусствоведение"},
            {1, 237, 24, 201, "Лингвистика (русский и ин. языки)"},
            {1, 237, 47, 169, "Литературоведение"},
            {1, 237, 70, 169, "Математика"},
            {1, 237, 93, 169, "Религиоведение"},
            {1, 237, 116, 195, "Экономика, социология и право"},
            {1, 468, 24, 132, "Физика"},
            {1, 468, 47, 132, "Химия"},
            {1, 468, 70, 132, "Здоровье человека"},
            {1, 468, 93, 132, "Физкультура и спорт"},
            {1, 468, 116, 132, "Экология"},
            {2, 16, 28, 169, "Художественное творчество"},
            {2, 16, 51, 169, "Техническое творчество"},
            {2, 237, 29, 169, "Информационные технологии"},
            {2, 237, 52, 169, "Литературное творчество"},
            {2, 468, 27, 160, "Музыкальное творчество"},
            {2, 469, 50, 159, "Краеведение"},
            {3, 16, 27, 129, "В помощь учителю"},
        };
        int number = 0;
        for (const Row &row : rows) {
            ++number;
            QTest::addRow("box %d", number)
                << number << QStringLiteral("GroupBox%1").arg(row.group) << QRect(row.left, row.top, row.width, 17)
                << QString::fromUtf8(row.caption);
        }
    }
    void boxes()
    {
        QFETCH(int, number);
        QFETCH(QString, group);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);

        QCheckBox *checkBox = box(subjects(), number);
        QCOMPARE(checkBox->parentWidget()->objectName(), group);
        QCOMPARE(checkBox->pos(), geometry.topLeft());
        QCOMPARE(checkBox->height(), geometry.height());
        // At least the drawn width, and wide enough for its caption.
        QVERIFY(checkBox->width() >= geometry.width());
        QVERIFY(checkBox->width() >= checkBox->sizeHint().width());
        QVERIFY(checkBox->geometry().right() < checkBox->parentWidget()->width());
        QCOMPARE(checkBox->text(), caption);
        QVERIFY(!checkBox->isChecked());
        QCOMPARE(checkBox->isEnabled(), number != 22);
    }

    void dialogAtStart()
    {
        SectionsDialog *dialog = subjects();
        QCOMPARE(dialog->objectName(), QStringLiteral("Subjects"));
        QCOMPARE(dialog->parentWidget(), &session->window());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Разделы"));
        QCOMPARE(dialog->minimumSize(), QSize(652, 350));
        QCOMPARE(dialog->maximumSize(), QSize(652, 350));
        QVERIFY(!(dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(dialog->windowFlags() & Qt::WindowMinimizeButtonHint));

        const QList<std::pair<const char *, QString>> groups{
            {"GroupBox1", QStringLiteral("Научно-исследовательский раздел")},
            {"GroupBox2", QStringLiteral("Другие разделы")},
            {"GroupBox3", QStringLiteral("Дополнительный раздел")},
            {"GroupBox4", QStringLiteral("Помощь")},
        };
        for (const auto &[name, title] : groups)
            QCOMPARE(dialog->findChild<QGroupBox *>(QLatin1String(name))->title(), title);
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Работа может быть отнесена к нескольким разделам (не более чем к трем). Раздел"));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("\"В помощь учителю\" можно указать лишь в дополнение к основным разделам."));

        auto *select = dialog->findChild<QPushButton *>(QStringLiteral("Button1"));
        QCOMPARE(select->text(), QStringLiteral("Выбрать"));
        QCOMPARE(select->geometry(), QRect(569, 319, 75, 25));
        QVERIFY(!select->autoDefault());
        QVERIFY(!select->isDefault());
    }

    // Ticking, unticking and the boxes the rule leaves open, as the user
    // sees them.
    void ruleThroughClicks()
    {
        QList<QList<int>> disabledSeen;
        QList<QList<int>> tickedSeen;
        gui::modal::testing::queueDialog([&](QDialog *d) {
            auto record = [&] {
                disabledSeen.append(disabledBoxes(d));
                tickedSeen.append(tickedBoxes(d));
            };
            clickBox(d, 2);
            clickBox(d, 11);
            record(); // 0: two main sections
            clickBox(d, 18);
            record(); // 1: three
            clickBox(d, 22);
            clickBox(d, 11);
            record(); // 2: one of three unticked, 22 stays
            clickBox(d, 2);
            clickBox(d, 18);
            record(); // 3: the last main section unticked
        });
        pressButton3();

        QCOMPARE(disabledSeen.size(), 4);
        QCOMPARE(disabledSeen[0], QList<int>{});
        QCOMPARE(disabledSeen[1], mainSectionsExcept({2, 11, 18}));
        QCOMPARE(disabledSeen[2], QList<int>{});
        QCOMPARE(tickedSeen[2], (QList<int>{2, 18, 22}));
        QCOMPARE(disabledSeen[3], QList<int>{22});
        QCOMPARE(tickedSeen[3], QList<int>{});
    }

    void chooseThroughDialog_data()
    {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QList<int>>("slotNumbers");
        QTest::addColumn<QStringList>("summary");

        QTest::newRow("ticked 18, 2, 11") << QList<int>{18, 2, 11} << QList<int>{2, 11, 18, 0}
                                          << QStringList{QStringLiteral("Биология"),
                                                         QStringLiteral("Физика"),
                                                         QStringLiteral("Информационные технологии"),
                                                         {}};
        QTest::newRow("three and 22") << QList<int>{2, 11, 18, 22} << QList<int>{2, 11, 18, 22}
                                      << QStringList{QStringLiteral("Биология"), QStringLiteral("Физика"),
                                                     QStringLiteral("Информационные технологии"),
                                                     QStringLiteral("В помощь учителю")};
        QTest::newRow("linguistics shows its long name")
            << QList<int>{6} << QList<int>{6, 0, 0, 0}
            << QStringList{QStringLiteral("Лингвистика (русский и иностранные языки)"), {}, {}, {}};
        QTest::newRow("a disabled box stays unticked")
            << QList<int>{1, 2, 3, 4, 21} << QList<int>{1, 2, 3, 0}
            << QStringList{QStringLiteral("Астрономия, космонавтика и авиация"),
                           QStringLiteral("Биология"),
                           QStringLiteral("География"),
                           {}};
        QTest::newRow("nothing") << QList<int>{} << QList<int>{0, 0, 0, 0}
                                 << QStringList{QStringLiteral("[ Раздел не задан ]"), {}, {}, {}};
    }
    void chooseThroughDialog()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(QList<int>, slotNumbers);
        QFETCH(QStringList, summary);

        gui::modal::testing::queueDialog([&](QDialog *d) {
            for (int number : clicks)
                clickBox(d, number);
            pressSelect(d);
        });
        pressButton3();

        QVERIFY(!subjects()->isVisible());
        QCOMPARE(slotList(), slotNumbers);
        const std::array<qint32, 4> snapshotSlots = session->window().snapshot().subjectSlots;
        QCOMPARE(QList<int>(snapshotSlots.begin(), snapshotSlots.end()), slotNumbers);
        QCOMPARE(summaryTexts(), summary);

        // The lines stand top-down and are wide enough for their names.
        int previousTop = -1;
        for (QLabel *label : summaryLabels()) {
            QVERIFY(label->y() > previousTop);
            previousTop = label->y();
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        }
    }

    // "Выбрать" with nothing ticked clears an earlier choice.
    void emptyChoiceClearsEarlierOne()
    {
        gui::modal::testing::queueDialog([](QDialog *d) {
            clickBox(d, 4);
            clickBox(d, 9);
            clickBox(d, 22);
            pressSelect(d);
        });
        pressButton3();
        QCOMPARE(slotList(), (QList<int>{4, 9, 22, 0}));

        gui::modal::testing::queueDialog([](QDialog *d) {
            clickBox(d, 4);
            clickBox(d, 9);
            pressSelect(d);
        });
        pressButton3();
        QCOMPARE(slotList(), (QList<int>{0, 0, 0, 0}));
        QCOMPARE(summaryTexts(), (QStringList{QStringLiteral("[ Раздел не задан ]"), {}, {}, {}}));
    }

    void cancelKeepsSlotsWhileTicksPersist_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("close box") << true;
        QTest::newRow("dialog left open") << false;
    }
    void cancelKeepsSlotsWhileTicksPersist()
    {
        QFETCH(bool, closeBox);

        gui::modal::testing::queueDialog([](QDialog *d) {
            clickBox(d, 5);
            pressSelect(d);
        });
        pressButton3();
        QCOMPARE(slotList(), (QList<int>{5, 0, 0, 0}));

        gui::modal::testing::queueDialog([&](QDialog *d) {
            clickBox(d, 9);
            clickBox(d, 12);
            clickBox(d, 22);
            if (closeBox)
                d->close();
        });
        pressButton3();
        QVERIFY(!subjects()->isVisible());
        QCOMPARE(slotList(), (QList<int>{5, 0, 0, 0}));
        QCOMPARE(summaryTexts(), (QStringList{QStringLiteral("Искусствоведение"), {}, {}, {}}));

        // Shown again: the same dialog, with the changed ticks and the
        // enabled states that go with them; "Выбрать" applies them now.
        QDialog *shown = nullptr;
        QList<int> ticked;
        QList<int> disabled;
        gui::modal::testing::queueDialog([&](QDialog *d) {
            shown = d;
            ticked = tickedBoxes(d);
            disabled = disabledBoxes(d);
            pressSelect(d);
        });
        pressButton3();
        QCOMPARE(shown, static_cast<QDialog *>(subjects()));
        QCOMPARE(ticked, (QList<int>{5, 9, 12, 22}));
        QCOMPARE(disabled, mainSectionsExcept({5, 9, 12}));
        QCOMPARE(slotList(), (QList<int>{5, 9, 12, 22}));
        QCOMPARE(summaryTexts(), (QStringList{QStringLiteral("Искусствоведение"), QStringLiteral("Религиоведение"),
                                              QStringLiteral("Химия"), QStringLiteral("В помощь учителю")}));
    }

    // Without a cancel or default button, Escape leaves the dialog open
    // wherever the focus is, and Enter everywhere but on "Выбрать".
    void escapeAndEnterDoNotClose_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::newRow("Escape on the dialog") << "Subjects" << int(Qt::Key_Escape);
        QTest::newRow("Escape on a box") << "CheckBox3" << int(Qt::Key_Escape);
        QTest::newRow("Escape on Выбрать") << "Button1" << int(Qt::Key_Escape);
        QTest::newRow("Return on the dialog") << "Subjects" << int(Qt::Key_Return);
        QTest::newRow("Enter on a box") << "CheckBox3" << int(Qt::Key_Enter);
        QTest::newRow("Enter on another box") << "CheckBox22" << int(Qt::Key_Return);
    }
    void escapeAndEnterDoNotClose()
    {
        QFETCH(QString, target);
        QFETCH(int, key);

        bool openAfterKey = false;
        gui::modal::testing::queueDialog([&](QDialog *d) {
            clickBox(d, 3);
            QWidget *widget = target == d->objectName() ? d : d->findChild<QWidget *>(target);
            QVERIFY(widget);
            widget->setFocus();
            QTest::keyClick(widget, Qt::Key(key));
            openAfterKey = d->isVisible();
        });
        pressButton3();

        QVERIFY(openAfterKey);
        // Not accepted either: the slots are untouched.
        QCOMPARE(slotList(), (QList<int>{0, 0, 0, 0}));
        QCOMPARE(tickedBoxes(subjects()), QList<int>{3});
    }

    // Enter on the focused "Выбрать" presses it, like Space and a click.
    void enterOnSelectAccepts_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void enterOnSelectAccepts()
    {
        QFETCH(int, key);
        gui::modal::testing::queueDialog([&](QDialog *d) {
            clickBox(d, 3);
            auto *select = d->findChild<QPushButton *>(QStringLiteral("Button1"));
            select->setFocus();
            QTest::keyClick(select, Qt::Key(key));
        });
        pressButton3();
        QCOMPARE(slotList(), (QList<int>{3, 0, 0, 0}));
    }

    void centredOverWindowAtEveryShowing()
    {
        PassportWindow &window = session->window();
        // Places where the centred dialog fits on the 800 x 600 test screen.
        for (const QPoint &place : {QPoint(40, 30), QPoint(6, 90)}) {
            window.move(place);
            QPoint dialogCentre;
            gui::modal::testing::queueDialog([&](QDialog *d) { dialogCentre = d->frameGeometry().center(); });
            pressButton3();
            const QPoint windowCentre = window.frameGeometry().center();
            QVERIFY2((dialogCentre - windowCentre).manhattanLength() <= 2,
                     qPrintable(QStringLiteral("dialog centre %1,%2, window centre %3,%4")
                                    .arg(dialogCentre.x())
                                    .arg(dialogCentre.y())
                                    .arg(windowCentre.x())
                                    .arg(windowCentre.y())));
        }
        // With the window half off the screen, the dialog stays wholly on it.
        window.move(QPoint(300, 220));
        QRect dialogFrame;
        gui::modal::testing::queueDialog([&](QDialog *d) { dialogFrame = d->frameGeometry(); });
        pressButton3();
        QVERIFY(window.screen()->availableGeometry().contains(dialogFrame));
    }

private:
    SectionsDialog *subjects() const { return session->windows->sectionsDialog.get(); }

    void pressButton3() { QTest::mouseClick(session->control<QPushButton>("Button3"), Qt::LeftButton); }

    QList<QLabel *> summaryLabels() const
    {
        return {session->control<QLabel>("subj1"), session->control<QLabel>("subj2"), session->control<QLabel>("subj3"),
                session->control<QLabel>("subj4")};
    }
    QStringList summaryTexts() const
    {
        QStringList texts;
        for (QLabel *label : summaryLabels())
            texts.append(label->text());
        return texts;
    }
    QList<int> slotList() const
    {
        const auto numbers = session->window().model().subjectSlots();
        return QList<int>(numbers.begin(), numbers.end());
    }

    std::unique_ptr<tt::Session> session;
};

QTEST_MAIN(TestSubjects)
#include "test_subjects.moc"
