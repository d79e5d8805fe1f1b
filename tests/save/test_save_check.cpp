#include "fixtures.h"
#include "save/completeness.h"
#include "tirlada_test.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

Q_DECLARE_METATYPE(PassportSnapshot)

namespace {

TPersonRecord person(const QString &surname, const QString &name, const QString &patronymic)
{
    return tt::person(QStringLiteral("101-202-303"), surname, name, patronymic);
}

PassportSnapshot complete()
{
    PassportSnapshot s;
    s.title = QStringLiteral("Весна");
    s.description = QStringLiteral("Стихи");
    s.subjectSlots = {7, 0, 0, 0};
    s.authors = {person("Петров", "Пётр", "Петрович")};
    s.teachers = {person("Сидорова", "Анна", "Ивановна")};
    return s;
}

const QString kTitle = QStringLiteral(" - Название работы\n");
const QString kDescription = QStringLiteral(" - Описание работы\n");
const QString kSection = QStringLiteral(" - Не задан ни один раздел\n");
const QString kNoAuthor = QStringLiteral(" - Не указан ни один автор\n");
const QString kNoTeacher = QStringLiteral(" - Не указан ни один руководитель\n");

// The line of the list that a first missing item stands for.
QString lineOf(const save::FirstMissing &first)
{
    switch (first.item) {
    case save::FirstMissing::Nothing:
        return QString();
    case save::FirstMissing::Title:
        return kTitle;
    case save::FirstMissing::Description:
        return kDescription;
    case save::FirstMissing::Sections:
        return kSection;
    case save::FirstMissing::Authors:
    case save::FirstMissing::Teachers: {
        const bool authors = first.item == save::FirstMissing::Authors;
        if (first.person < 0)
            return authors ? kNoAuthor : kNoTeacher;
        const QString who = authors ? QStringLiteral("авторов") : QStringLiteral("руководителей");
        const QString what = first.part == &TPersonRecord::Surname ? QStringLiteral("Фамилии")
                             : first.part == &TPersonRecord::Name  ? QStringLiteral("Имена")
                                                                   : QStringLiteral("Отчества");
        return QStringLiteral(" - %1 у всех %2\n").arg(what, who);
    }
    }
    return QString();
}

} // namespace

class TestSaveCheck : public QObject {
    Q_OBJECT
private slots:
    void missingItems_data()
    {
        QTest::addColumn<PassportSnapshot>("passport");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("complete") << complete() << QStringList();
        {
            // Nothing optional is needed: contacts, picture, requirements,
            // order of study, notes and the invoice recipient may be empty.
            PassportSnapshot s = complete();
            s.leaderIndex = -1;
            QTest::newRow("complete, optional fields empty") << s << QStringList();
        }
        {
            PassportSnapshot s = complete();
            s.title.clear();
            QTest::newRow("empty title") << s << QStringList{kTitle};
        }
        {
            PassportSnapshot s = complete();
            s.title = QStringLiteral(" \t\r\n \r\n");
            s.description = QStringLiteral("\r\n\r\n  \t");
            QTest::newRow("blanks, tabs and empty lines") << s << QStringList{kTitle, kDescription};
        }
        {
            PassportSnapshot s = complete();
            s.title = QStringLiteral("\u00a0\u00a0");
            QTest::newRow("no-break spaces are text") << s << QStringList();
        }
        {
            PassportSnapshot s = complete();
            s.subjectSlots = {0, 0, 0, 0};
            s.authors.clear();
            s.teachers.clear();
            QTest::newRow("no sections, no participants") << s << QStringList{kSection, kNoAuthor, kNoTeacher};
        }
        {
            PassportSnapshot s;
            QTest::newRow("everything missing")
                << s << QStringList{kTitle, kDescription, kSection, kNoAuthor, kNoTeacher};
        }
        {
            PassportSnapshot s = complete();
            s.authors = {person("А", "Б", " "), person("В", "Г", "Д"), person("", "Е", "Ж")};
            QTest::newRow("first author decides") << s << QStringList{QStringLiteral(" - Отчества у всех авторов\n")};
        }
        {
            PassportSnapshot s = complete();
            s.authors = {person("\t", "", "Д")};
            QTest::newRow("surname before name") << s << QStringList{QStringLiteral(" - Фамилии у всех авторов\n")};
        }
        {
            PassportSnapshot s = complete();
            s.authors.append(person("А", "\r\n", "В"));
            QTest::newRow("second author lacks a name")
                << s << QStringList{QStringLiteral(" - Имена у всех авторов\n")};
        }
        {
            PassportSnapshot s = complete();
            s.teachers = {person("А", "Б", "В"), person("Г", "Д", ""), person("", "", "")};
            QTest::newRow("supervisor without patronymic")
                << s << QStringList{QStringLiteral(" - Отчества у всех руководителей\n")};
        }
        {
            PassportSnapshot s = complete();
            s.teachers = {person("", "Б", "В")};
            QTest::newRow("supervisor without surname")
                << s << QStringList{QStringLiteral(" - Фамилии у всех руководителей\n")};
        }
        {
            PassportSnapshot s = complete();
            s.teachers = {person("А", " ", "В")};
            QTest::newRow("supervisor without name")
                << s << QStringList{QStringLiteral(" - Имена у всех руководителей\n")};
        }
        {
            PassportSnapshot s = complete();
            s.description.clear();
            s.authors = {person("А", "", ""), person("", "", "")};
            s.teachers = {person("", "Б", "В")};
            QTest::newRow("one line per step") << s
                                               << QStringList{kDescription, QStringLiteral(" - Имена у всех авторов\n"),
                                                              QStringLiteral(" - Фамилии у всех руководителей\n")};
        }
    }
    void missingItems()
    {
        QFETCH(PassportSnapshot, passport);
        QFETCH(QStringList, lines);
        QCOMPARE(save::missingItems(passport), lines);
        // The window's jump goes to the item of the first line.
        QCOMPARE(lineOf(save::firstMissing(passport)), lines.value(0));
    }

    // The example of an incomplete passport, through the window: the warning
    // box lists what is missing, and no file name is asked for.
    void warningBox()
    {
        tt::Session session;
        session.control<QLineEdit>("title")->setText(QStringLiteral("Весна"));
        session.setSubjectSlots({7, 0, 0, 0});
        session.setParticipants({person("Петров", "Пётр", "Петрович"), person("Иванов", "", "Иванович")},
                                {person("Сидорова", "Анна", "Ивановна")});
        const PassportSnapshot before = session.window().snapshot();
        gui::modal::testing::queueFileName(QStringLiteral("/nonexistent/never.kwp"));

        QTest::mouseClick(session.control<QPushButton>("SaveButton"), Qt::LeftButton);

        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message box = gui::modal::testing::lastMessage();
        QCOMPARE(box.icon, gui::modal::Icon::Warning);
        QCOMPARE(box.buttons, gui::modal::Buttons::Ok);
        QCOMPARE(box.caption, QStringLiteral("Неполная информация"));
        QCOMPARE(box.text, QStringLiteral("Для записи электронного паспорта в файл необходимо заполнить "
                                          "следующие поля:\n\n - Описание работы\n - Имена у всех авторов\n"
                                          "\nПаспорт работы не сохранен."));
        QVERIFY(gui::modal::testing::saveRequests().isEmpty());
        QCOMPARE(session.window().snapshot(), before);
    }
};

QTEST_MAIN(TestSaveCheck)
#include "test_save_check.moc"
