// Two aids of the window: the live count of the description's published
// characters, and the jump to the first missing item after the warning.

#include "fixtures.h"
#include "save/completeness.h"
#include "tirlada_test.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

// The contrast ratio of two colours, as the accessibility guidelines count it.
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

} // namespace

class TestAids : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        session = std::make_unique<tt::Session>();
        session->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session->window()));
    }
    void cleanup() { session.reset(); }

    // The count follows every change, counts as the cut does, and past 500
    // says that the rest is not published, in a colour that stands out;
    // nothing on the sheet moves.
    void descriptionCount()
    {
        auto *count = session->control<QLabel>("DescriptionCount");
        auto *description = session->control<QPlainTextEdit>("description");
        QWidget *sheet = session->control("WorksTSh");
        const auto geometries = [sheet] {
            QList<QRect> all;
            for (QWidget *w : sheet->findChildren<QWidget *>())
                all.append(w->geometry());
            return all;
        };
        const QList<QRect> before = geometries();
        const QColor normal = count->palette().color(QPalette::WindowText);
        QCOMPARE(count->text(), QStringLiteral("0 из 500"));

        description->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(description, QString(498, QLatin1Char('a')));
        QCOMPARE(count->text(), QStringLiteral("498 из 500"));
        // One character outside the basic plane, pasted: one character.
        QApplication::clipboard()->setText(QStringLiteral("\U0001F600"));
        QTest::keyClick(description, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(count->text(), QStringLiteral("499 из 500"));
        QTest::keyClicks(description, QStringLiteral("b"));
        QCOMPARE(count->text(), QStringLiteral("500 из 500"));
        QCOMPARE(count->palette().color(QPalette::WindowText), normal);

        // A line break is CR LF in the passport: two characters.
        QTest::keyClick(description, Qt::Key_Return);
        const QString over = QStringLiteral("502 из 500: текст после 500-го знака не будет опубликован");
        QCOMPARE(count->text(), over);
        const QColor warning = count->palette().color(QPalette::WindowText);
        QVERIFY(warning != normal);
        QVERIFY(contrast(warning, count->palette().color(QPalette::Window)) >= 4.5);
        QVERIFY2(count->sizeHint().width() <= count->width(), "the note is clipped");
        QCOMPARE(geometries(), before);

        QTest::keyClick(description, Qt::Key_Backspace);
        QTest::keyClick(description, Qt::Key_Backspace);
        QCOMPARE(count->text(), QStringLiteral("499 из 500"));
        QCOMPARE(count->palette().color(QPalette::WindowText), normal);
        QCOMPARE(geometries(), before);
    }

    // After the warning box, the sheet of the first missing item is shown
    // with the focus on it; the box itself is as it always was.
    void jumpToTheFirstMissingItem_data()
    {
        QTest::addColumn<int>("filled"); // how many of the steps below are done
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("selected"); // the participant selected, -1 for none
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("title") << 0 << "WorksTSh"
                               << "title" << -1 << " - Название работы\n";
        QTest::newRow("description") << 1 << "WorksTSh"
                                     << "description" << -1 << " - Описание работы\n";
        QTest::newRow("sections") << 2 << "WorksTSh"
                                  << "Button3" << -1 << " - Не задан ни один раздел\n";
        QTest::newRow("no author") << 3 << "Authors_n_teacheersTSh"
                                   << "AuthorAdd" << -1 << " - Не указан ни один автор\n";
        QTest::newRow("second author's name") << 4 << "Authors_n_teacheersTSh"
                                              << "AuthorsName" << 1 << " - Имена у всех авторов\n";
        QTest::newRow("no supervisor") << 5 << "Authors_n_teacheersTSh"
                                       << "TeacherAdd" << -1 << " - Не указан ни один руководитель\n";
        QTest::newRow("supervisor's patronymic") << 6 << "Authors_n_teacheersTSh"
                                                 << "TeachersPatronymic" << 0 << " - Отчества у всех руководителей\n";
    }
    void jumpToTheFirstMissingItem()
    {
        QFETCH(int, filled);
        QFETCH(QString, sheet);
        QFETCH(QString, focus);
        QFETCH(int, selected);
        QFETCH(QString, firstLine);
        const TPersonRecord complete = tt::person(tt::checkedId(1), "Иванов", "Иван", "Иванович");
        QList<TPersonRecord> authors, teachers;
        if (filled >= 1)
            session->control<QLineEdit>("title")->setText(QStringLiteral("Весна"));
        if (filled >= 2)
            session->control<QPlainTextEdit>("description")->setPlainText(QStringLiteral("Стихи"));
        if (filled >= 3)
            session->setSubjectSlots({2, 0, 0, 0});
        if (filled >= 4)
            authors = {complete, tt::person(tt::checkedId(2), "Петров", " ", "")};
        if (filled >= 5)
            authors = {complete};
        if (filled >= 6)
            teachers = {tt::person(tt::checkedId(3), "Сидоров", "Сидор", "")};
        session->setParticipants(authors, teachers);
        // The user is elsewhere: on the comments sheet.
        auto *tabs = session->control<QTabWidget>("SectionsTabs");
        tabs->setCurrentIndex(3);
        session->control("Notes")->setFocus(Qt::OtherFocusReason);

        auto *save = session->control<QPushButton>("SaveButton");
        save->setFocus(Qt::TabFocusReason);
        QTest::keyClick(save, Qt::Key_Return);

        const gui::modal::Message box = gui::modal::testing::lastMessage();
        QCOMPARE(box.icon, gui::modal::Icon::Warning);
        QCOMPARE(box.caption, QStringLiteral("Неполная информация"));
        QCOMPARE(box.text, save::incompleteText(save::missingItems(session->window().snapshot())));
        QVERIFY(box.text.startsWith(
            QStringLiteral("Для записи электронного паспорта в файл необходимо заполнить следующие поля:\n\n")
            + firstLine));
        QCOMPARE(tabs->currentWidget()->objectName(), sheet);
        QVERIFY(session->window().focusWidget());
        QCOMPARE(session->window().focusWidget()->objectName(), focus);
        if (selected >= 0) {
            auto *list = session->control<QListWidget>(filled == 4 ? "AuthorsListBox" : "TeachersListBox");
            QCOMPARE(list->currentRow(), selected);
            QVERIFY(!qobject_cast<QLineEdit *>(session->window().focusWidget())->isReadOnly());
        }
    }

    // A complete passport is saved as before: no jump, the save dialog comes.
    void completePassportDoesNotJump()
    {
        session->control<QLineEdit>("title")->setText(QStringLiteral("Весна"));
        session->control<QPlainTextEdit>("description")->setPlainText(QStringLiteral("Стихи"));
        session->setSubjectSlots({2, 0, 0, 0});
        session->setParticipants({tt::person(tt::checkedId(1), "a", "b", "c")},
                                 {tt::person(tt::checkedId(2), "d", "e", "f")});
        session->control<QTabWidget>("SectionsTabs")->setCurrentIndex(3);
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        QCOMPARE(gui::modal::testing::saveRequests().size(), 1);
        QCOMPARE(session->control<QTabWidget>("SectionsTabs")->currentIndex(), 3);
    }

private:
    std::unique_ptr<tt::Session> session;
};

QTEST_MAIN(TestAids)
#include "test_aids.moc"
