#include "participants/participant_id_dialog.h"
#include "participants_test.h"
#include "tirlada_test.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

// The lists of authors and supervisors as the window shows them, driven
// through the real window: the add buttons open the ID dialog, where a
// script types the ID and presses Enter; message boxes are answered by the
// modal seam. The rules of the lists themselves are tested on the model
// (test_passport_model).
class TestParticipantLists : public QObject {
    Q_OBJECT

    std::unique_ptr<tt::Session> session;

    // The controls of one list, found by their object names.
    struct Side {
        QListWidget *list = nullptr;
        QGroupBox *group = nullptr;
        QPushButton *add = nullptr;
        QPushButton *remove = nullptr;
        QLineEdit *surname = nullptr;
        QLineEdit *name = nullptr;
        QLineEdit *patronymic = nullptr;
        QString captionPrefix;
    };
    Side listView(const char *list, const char *group, const char *add, const char *remove, const char *surname,
                  const char *name, const char *patronymic, const QString &prefix) const
    {
        Side view{};
        view.list = session->control<QListWidget>(list);
        view.group = session->control<QGroupBox>(group);
        view.add = session->control<QPushButton>(add);
        view.remove = session->control<QPushButton>(remove);
        view.surname = session->control<QLineEdit>(surname);
        view.name = session->control<QLineEdit>(name);
        view.patronymic = session->control<QLineEdit>(patronymic);
        view.captionPrefix = prefix;
        return view;
    }
    Side authors() const
    {
        return listView("AuthorsListBox", "AuthorsGroup", "AuthorAdd", "AuthorDelete", "AuthorsLastname", "AuthorsName",
                        "AuthorsPatronymic", QStringLiteral("Авторы ("));
    }
    Side teachers() const
    {
        return listView("TeachersListBox", "TeachersGroup", "TeacherAdd", "TeacherDelete", "TeachersLastname",
                        "TeachersName", "TeachersPatronymic", QStringLiteral("Руководители ("));
    }
    QComboBox *leader() const { return session->control<QComboBox>("LeaderID"); }
    QLabel *leaderLabel() const { return session->control<QLabel>("LeaderID_Label"); }

    // Clicks the add button; the dialog gets the typed text and Enter.
    void add(const Side &side, const QString &typed)
    {
        gui::modal::testing::queueDialog([typed](QDialog *d) {
            auto *form = static_cast<ParticipantIdDialog *>(d);
            pt::typeText(form->findChild<QLineEdit *>("AddID"), typed);
            QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_Return);
        });
        QTest::mouseClick(side.add, Qt::LeftButton);
        QCOMPARE(gui::modal::testing::unusedCount(), 0);
    }
    // Clicks the delete button and answers the question.
    void remove(const Side &side, gui::modal::Answer answer)
    {
        gui::modal::testing::queueAnswer(answer);
        QTest::mouseClick(side.remove, Qt::LeftButton);
        QCOMPARE(gui::modal::testing::unusedCount(), 0);
    }
    void select(const Side &side, int row)
    {
        const QRect item = side.list->visualItemRect(side.list->item(row));
        QTest::mouseClick(side.list->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(side.list->currentRow(), row);
    }
    static void retype(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        pt::typeText(edit, text);
    }
    static QStringList items(const QListWidget *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->item(i)->text());
        return texts;
    }
    static QStringList items(const QComboBox *combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts.append(combo->itemText(i));
        return texts;
    }
    static int selectedRow(const QListWidget *list)
    {
        const auto selected = list->selectedItems();
        return selected.size() == 1 ? list->row(selected.constFirst()) : -1;
    }
    // Locked: read-only with the button-face background; unlocked: editable
    // with the window background.
    static bool unlocked(const Side &side)
    {
        bool all = true, none = true;
        for (QLineEdit *edit : {side.surname, side.name, side.patronymic}) {
            const bool open =
                !edit->isReadOnly() && edit->palette().color(QPalette::Base) == QPalette().color(QPalette::Base);
            const bool closed =
                edit->isReadOnly() && edit->palette().color(QPalette::Base) == QPalette().color(QPalette::Button);
            all = all && open;
            none = none && closed;
        }
        if (!all && !none)
            qWarning("name edits neither all locked nor all unlocked");
        return all;
    }
    static bool locked(const Side &side)
    {
        for (QLineEdit *edit : {side.surname, side.name, side.patronymic})
            if (!edit->isReadOnly() || edit->palette().color(QPalette::Base) != QPalette().color(QPalette::Button))
                return false;
        return true;
    }
    static QString id(int n) { return pt::formatted(pt::validId(n)); }
    QList<TPersonRecord> people(bool supervisors) const
    {
        return session->window().model().participants(supervisors ? PassportModel::Side::Teachers
                                                                  : PassportModel::Side::Authors);
    }

private slots:
    void init()
    {
        session = std::make_unique<tt::Session>();
        session->control<QTabWidget>("SectionsTabs")->setCurrentIndex(2);
    }
    void cleanup() { session.reset(); }

    void addThenRetypeDifferently_data()
    {
        QTest::addColumn<bool>("supervisors");
        QTest::newRow("authors") << false;
        QTest::newRow("supervisors") << true;
    }
    void addThenRetypeDifferently()
    {
        QFETCH(bool, supervisors);
        const Side side = supervisors ? teachers() : authors();
        QVERIFY(locked(side));
        add(side, QStringLiteral("123 456 798"));
        QCOMPARE(items(side.list), QStringList{QStringLiteral("123-456-798")});
        QCOMPARE(side.group->title(), side.captionPrefix + QStringLiteral("1)"));
        QCOMPARE(selectedRow(side.list), 0);
        QVERIFY(side.remove->isEnabled());
        QVERIFY(unlocked(side));
        QCOMPARE(people(supervisors), (QList<TPersonRecord>{{QStringLiteral("123-456-798"), {}, {}, {}}}));

        add(side, id(1));
        QCOMPARE(side.list->count(), 2);
        QCOMPARE(selectedRow(side.list), 1);
        add(side, QStringLiteral("1234-56798"));
        QCOMPARE(side.list->count(), 2);
        QCOMPARE(selectedRow(side.list), 0);
        QCOMPARE(side.group->title(), side.captionPrefix + QStringLiteral("2)"));
        QVERIFY(gui::modal::testing::messages().isEmpty());
    }

    void wrongCheckDigitsChangeNothing()
    {
        const Side side = authors();
        add(side, id(1));
        add(side, QStringLiteral("123-456-789"));
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message shown = gui::modal::testing::lastMessage();
        QCOMPARE(shown.text, QStringLiteral("Введен ошибочный ID"));
        QCOMPARE(shown.caption, QStringLiteral("Ошибка"));
        QCOMPARE(shown.icon, gui::modal::Icon::Error);
        QCOMPARE(items(side.list), QStringList{id(1)});
        QCOMPARE(people(false).size(), 1);
        QCOMPARE(side.group->title(), QStringLiteral("Авторы (1)"));
    }

    void idInTheOtherList_data()
    {
        QTest::addColumn<bool>("toSupervisors");
        QTest::addColumn<QString>("message");
        QTest::newRow("author among supervisors")
            << false << QStringLiteral("Введенный ID уже является руководителем работы");
        QTest::newRow("supervisor among authors") << true << QStringLiteral("Введенный ID уже является автором работы");
    }
    void idInTheOtherList()
    {
        QFETCH(bool, toSupervisors);
        QFETCH(QString, message);
        const Side own = toSupervisors ? teachers() : authors();
        const Side other = toSupervisors ? authors() : teachers();
        add(other, id(1));
        add(other, id(2));
        add(own, id(3));
        select(other, 1);
        add(own, pt::validId(1));
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message shown = gui::modal::testing::lastMessage();
        QCOMPARE(shown.text, message);
        QCOMPARE(shown.caption, QStringLiteral("Ошибка"));
        QCOMPARE(shown.icon, gui::modal::Icon::None);
        QCOMPARE(shown.buttons, gui::modal::Buttons::Ok);
        QCOMPARE(items(own.list), QStringList{id(3)});
        QCOMPARE(items(other.list), (QStringList{id(1), id(2)}));
        QCOMPARE(own.group->title(), own.captionPrefix + QStringLiteral("1)"));
        QCOMPARE(other.group->title(), other.captionPrefix + QStringLiteral("2)"));
        // The participant is selected where it stands.
        QCOMPARE(selectedRow(other.list), 0);
        QCOMPARE(leader()->count(), toSupervisors ? 1 : 2);
    }

    void limitsThenDeletionReenables_data()
    {
        QTest::addColumn<bool>("supervisors");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("question");
        QTest::newRow("ten authors") << false << 10
                                     << QStringLiteral("Вы действительно хотите удалить автора из списка?");
        QTest::newRow("three supervisors")
            << true << 3 << QStringLiteral("Вы действительно хотите удалить руководителя из списка?");
    }
    void limitsThenDeletionReenables()
    {
        QFETCH(bool, supervisors);
        QFETCH(int, limit);
        QFETCH(QString, question);
        const Side side = supervisors ? teachers() : authors();
        for (int i = 1; i <= limit; ++i) {
            QVERIFY(side.add->isEnabled());
            add(side, id(i));
            QCOMPARE(side.group->title(), side.captionPrefix + QString::number(i) + QLatin1Char(')'));
        }
        QVERIFY(!side.add->isEnabled());
        QCOMPARE(side.list->count(), limit);

        // Declined: nothing changes.
        remove(side, gui::modal::Answer::No);
        const gui::modal::Message asked = gui::modal::testing::lastMessage();
        QCOMPARE(asked.text, question);
        QCOMPARE(asked.caption, QStringLiteral("Удаление автора"));
        QCOMPARE(asked.icon, gui::modal::Icon::Question);
        QCOMPARE(asked.buttons, gui::modal::Buttons::YesNo);
        QCOMPARE(side.list->count(), limit);
        QVERIFY(!side.add->isEnabled());
        QVERIFY(side.remove->isEnabled());

        remove(side, gui::modal::Answer::Yes);
        QCOMPARE(side.list->count(), limit - 1);
        QCOMPARE(side.group->title(), side.captionPrefix + QString::number(limit - 1) + QLatin1Char(')'));
        QVERIFY(side.add->isEnabled());
        // The participant before the deleted one is selected again.
        QCOMPARE(selectedRow(side.list), limit - 2);
        QVERIFY(side.remove->isEnabled());
        QVERIFY(unlocked(side));
        add(side, id(limit + 1));
        QVERIFY(!side.add->isEnabled());
    }

    void deleteMiddleOfThreeShiftsTheNames()
    {
        const Side side = authors();
        const QStringList surnames{QStringLiteral("Иванов"), QStringLiteral("Петров"), QStringLiteral("Сидоров")};
        for (int i = 0; i < 3; ++i) {
            add(side, id(i + 1));
            retype(side.surname, surnames[i]);
            retype(side.name, QStringLiteral("Имя%1").arg(i));
            retype(side.patronymic, QStringLiteral("Отчество%1").arg(i));
        }
        select(side, 1);
        QCOMPARE(side.surname->text(), surnames[1]);
        remove(side, gui::modal::Answer::Yes);

        QCOMPARE(items(side.list), (QStringList{id(1), id(3)}));
        QCOMPARE(people(false),
                 (QList<TPersonRecord>{{id(1), surnames[0], QStringLiteral("Имя0"), QStringLiteral("Отчество0")},
                                       {id(3), surnames[2], QStringLiteral("Имя2"), QStringLiteral("Отчество2")}}));
        QCOMPARE(side.group->title(), QStringLiteral("Авторы (2)"));
        QCOMPARE(selectedRow(side.list), 0);
        QCOMPARE(side.surname->text(), surnames[0]);
        QVERIFY(unlocked(side));

        // A participant added afterwards starts with empty names.
        add(side, id(4));
        QCOMPARE(selectedRow(side.list), 2);
        QCOMPARE(side.surname->text(), QString());
        QCOMPARE(side.name->text(), QString());
        QCOMPARE(side.patronymic->text(), QString());
        QCOMPARE(people(false)[2], (TPersonRecord{id(4), {}, {}, {}}));
    }

    void deleteFirstSupervisorResetsRecipient()
    {
        const Side side = teachers();
        QVERIFY(!leader()->isEnabled());
        QVERIFY(!leaderLabel()->isEnabled());
        add(side, id(1));
        QCOMPARE(items(leader()), QStringList{id(1)});
        QCOMPARE(leader()->currentIndex(), 0);
        QVERIFY(leader()->isEnabled());
        QVERIFY(leaderLabel()->isEnabled());
        add(side, id(2));
        add(side, id(3));
        QCOMPARE(items(leader()), (QStringList{id(1), id(2), id(3)}));
        QCOMPARE(leader()->currentIndex(), 0); // the choice stays on the first

        // The user chooses the third as recipient, then deletes the first.
        leader()->setFocus();
        QTest::keyClick(leader(), Qt::Key_End);
        QCOMPARE(leader()->currentIndex(), 2);
        select(side, 0);
        remove(side, gui::modal::Answer::Yes);
        QCOMPARE(items(side.list), (QStringList{id(2), id(3)}));
        QCOMPARE(items(leader()), items(side.list));
        QCOMPARE(selectedRow(side.list), 0);
        QCOMPARE(leader()->currentIndex(), 0);
        QCOMPARE(session->window().snapshot().leaderIndex, 0);
    }

    void deleteLastSupervisorEmptiesRecipient()
    {
        const Side side = teachers();
        add(side, id(1));
        retype(side.surname, QStringLiteral("Кузнецова"));
        retype(side.patronymic, QStringLiteral("Петровна"));
        remove(side, gui::modal::Answer::Yes);
        QCOMPARE(side.list->count(), 0);
        QCOMPARE(leader()->count(), 0);
        QCOMPARE(leader()->currentIndex(), -1);
        QVERIFY(!leader()->isEnabled());
        QVERIFY(!leaderLabel()->isEnabled());
        QCOMPARE(side.group->title(), QStringLiteral("Руководители (0)"));
        QVERIFY(!side.remove->isEnabled());
        QVERIFY(side.add->isEnabled());
        QVERIFY(locked(side));
        for (QLineEdit *edit : {side.surname, side.name, side.patronymic})
            QCOMPARE(edit->text(), QString());
        QVERIFY(people(true).isEmpty());
        // Locked edits take no typing.
        pt::typeText(side.surname, QStringLiteral("Новиков"));
        QCOMPARE(side.surname->text(), QString());
        QVERIFY(people(true).isEmpty());
    }

    void namesSurviveChangingTheSelection_data()
    {
        QTest::addColumn<bool>("supervisors");
        QTest::newRow("authors") << false;
        QTest::newRow("supervisors") << true;
    }
    void namesSurviveChangingTheSelection()
    {
        QFETCH(bool, supervisors);
        const Side side = supervisors ? teachers() : authors();
        add(side, id(1));
        add(side, id(2));
        select(side, 0);
        retype(side.surname, QStringLiteral("Смирнов"));
        select(side, 1);
        QCOMPARE(side.surname->text(), QString());
        // The arrow keys change the selection too.
        side.list->setFocus();
        QTest::keyClick(side.list, Qt::Key_Up);
        QCOMPARE(selectedRow(side.list), 0);
        QCOMPARE(side.surname->text(), QStringLiteral("Смирнов"));
        select(side, 1);
        select(side, 0);
        QCOMPARE(side.surname->text(), QStringLiteral("Смирнов"));
    }

    // Every name edit keeps exactly what is typed, the supervisors'
    // patronymic included: nothing is converted to another code page.
    void namesKeepWhatIsTyped()
    {
        const QString typed = QStringLiteral("Ёлкин-Öz ǅ € №");
        for (const Side &side : {authors(), teachers()}) {
            add(side, side.list == authors().list ? id(1) : id(2));
            for (QLineEdit *edit : {side.surname, side.name, side.patronymic})
                retype(edit, typed);
        }
        const TPersonRecord a = people(false)[0];
        const TPersonRecord t = people(true)[0];
        for (const QString &text : {a.Surname, a.Name, a.Patronymic, t.Surname, t.Name, t.Patronymic})
            QCOMPARE(text, typed);
    }

    // A Ctrl+click on the selected participant keeps it selected, so the
    // unlocked name edits always belong to someone.
    void selectionCannotBeCleared()
    {
        const Side side = authors();
        add(side, id(1));
        const QRect item = side.list->visualItemRect(side.list->item(0));
        QTest::mouseClick(side.list->viewport(), Qt::LeftButton, Qt::ControlModifier, item.center());
        QCOMPARE(selectedRow(side.list), 0);
        retype(side.surname, QStringLiteral("Орлов"));
        QCOMPARE(people(false)[0].Surname, QStringLiteral("Орлов"));
    }

    void snapshotCarriesTheParticipants()
    {
        const Side a = authors();
        const Side t = teachers();
        add(a, id(1));
        retype(a.surname, QStringLiteral("Иванов"));
        add(a, id(2));
        retype(a.name, QStringLiteral("Мария"));
        add(t, id(3));
        retype(t.patronymic, QStringLiteral("Ильич"));
        add(t, id(4));
        leader()->setCurrentIndex(1);

        const PassportSnapshot s = session->window().snapshot();
        QCOMPARE(s.authors, (QList<TPersonRecord>{{id(1), QStringLiteral("Иванов"), {}, {}},
                                                  {id(2), {}, QStringLiteral("Мария"), {}}}));
        QCOMPARE(s.teachers, (QList<TPersonRecord>{{id(3), {}, {}, QStringLiteral("Ильич")}, {id(4), {}, {}, {}}}));
        QCOMPARE(s.leaderIndex, 1);
    }
};

QTEST_MAIN(TestParticipantLists)
#include "test_participant_lists.moc"
