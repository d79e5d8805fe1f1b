// The committee's registration records: files as spreadsheets export them,
// people matched against them, and the rows the committee should look at.

#include "check_fixtures.h"

#include "check/participants_csv.h"
#include "check/registrations.h"

#include <QStringEncoder>
#include <QTest>

using namespace check_test;

namespace {

check::Registrations parsed(const QString &text)
{
    const Result<check::Registrations> registrations = check::Registrations::parse(text.toUtf8());
    if (!registrations)
        qFatal("registrations not parsed: %s", registrations.error().what());
    return *registrations;
}

} // namespace

class TestCheckRegistrations : public QObject {
    Q_OBJECT

private slots:
    // Registration records as spreadsheets export them: the encoding and the
    // delimiter are found, the columns by their headers in any order.
    void registrationFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("failure"); // empty: read
        const QString rows = QStringLiteral("Фамилия;номер;Имя;Отчество;Школа\r\n"
                                            "Петров;%1;Пётр;Петрович;\"Школа; №1\"\r\n");
        const QString text = rows.arg(tt::fullPassport().authors[0].Id);
        QStringEncoder cp1251("windows-1251");
        QTest::newRow("Windows-1251, semicolons (Excel)") << QByteArray(cp1251.encode(text)) << QString();
        QTest::newRow("UTF-8 with BOM, semicolons") << QByteArray("\xEF\xBB\xBF" + text.toUtf8()) << QString();
        QString commas = text;
        commas.replace(QStringLiteral("\"Школа; №1\""), QStringLiteral("\"Школа, №1\"")).replace(u';', u',');
        QTest::newRow("UTF-8, commas (LibreOffice)") << commas.toUtf8() << QString();
        QString tabs = text;
        tabs.replace(QStringLiteral("\"Школа; №1\""), QStringLiteral("Школа")).replace(u';', u'\t');
        QTest::newRow("UTF-8, tabs") << tabs.toUtf8() << QString();
        QStringEncoder utf16(QStringConverter::Utf16LE);
        QTest::newRow("UTF-16 (Unicode text)") << QByteArray("\xFF\xFE" + QByteArray(utf16.encode(tabs))) << QString();
        QTest::newRow("ID header") << QStringLiteral("ID,Фамилия,Имя,Отчество\n%1,Петров,Пётр,Петрович\n")
                                          .arg(tt::fullPassport().authors[0].Id)
                                          .toUtf8()
                                   << QString();
        QTest::newRow("no patronymic column") << QStringLiteral("ID;Фамилия;Имя\n1;2;3\n").toUtf8() << "columns";
        QTest::newRow("empty") << QByteArray() << "columns";
        QTest::newRow("Windows-1251 without a column")
            << QByteArray(cp1251.encode(QStringLiteral("ID;Фамилия;Имя\n1;Петров;Пётр\n"))) << "columns";
        // Neither UTF-8 nor Windows-1251: the message is about the encoding,
        // not about a header that the wrong decoding hides.
        QTest::newRow("UTF-16 without its mark") << QByteArray(utf16.encode(tabs)) << "encoding";
        QStringEncoder koi8("KOI8-R");
        QTest::newRow("KOI8-R") << QByteArray(koi8.encode(text)) << "encoding";
    }
    void registrationFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, failure);
        const Result<check::Registrations> registrations = check::Registrations::parse(bytes);
        QCOMPARE(registrations.has_value(), failure.isEmpty());
        if (!failure.isEmpty()) {
            QCOMPARE(registrations.error().details().name, failure);
            return;
        }
        QCOMPARE(registrations->size(), qsizetype(1));
        const TPersonRecord author = tt::fullPassport().authors[0];
        QVERIFY(registrations->problems(QStringLiteral("автор"), 1, author).isEmpty());
        QCOMPARE(registrations->match(author), check::Match::Registered);
    }

    // A person against the records: the ID by its nine digits, the names
    // after NFC, trimming, case folding and ё as е; the list's column tells
    // an unknown ID from other names.
    void registrationMatching_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("patronymic");
        QTest::addColumn<QStringList>("problems");
        QTest::addColumn<QString>("column");
        QTest::newRow("same") << "100-000-217"
                              << "Петров"
                              << "Пётр"
                              << "Петрович" << QStringList{} << "да";
        QTest::newRow("case, ё, blanks") << "100 000 217"
                                         << " ПЕТРОВ "
                                         << "петр"
                                         << "Пет рович" << QStringList{} << "да";
        // Й and ё typed as a letter and a combining mark, as some keyboards
        // and a Mac's file names give them.
        QTest::newRow("decomposed й and ё")
            << "100-000-217"
            << "Петров" << QStringLiteral("Пе\u0308тр") << QStringLiteral("Петрович") << QStringList{} << "да";
        QTest::newRow("not registered") << "100-000-316"
                                        << "Петров"
                                        << "Пётр"
                                        << "Петрович"
                                        << QStringList{QStringLiteral("автор 2 (ID 100-000-316) не зарегистрирован")}
                                        << "не зарегистрирован";
        QTest::newRow("other surname")
            << "100-000-217"
            << "Петровв"
            << "Пётр"
            << "Петрович"
            << QStringList{QStringLiteral(
                   "автор 2 (ID 100-000-217): фамилия в пакете «Петровв», а при регистрации «Петров»")}
            << "имя отличается";
        QTest::newRow("other name and patronymic")
            << "100000217"
            << "Петров"
            << "Павел"
            << ""
            << QStringList{QStringLiteral("автор 2 (ID 100-000-217): имя в пакете «Павел», а при регистрации «Пётр»"),
                           QStringLiteral(
                               "автор 2 (ID 100-000-217): отчество в пакете «», а при регистрации «Петрович»")}
            << "имя отличается";
        QTest::newRow("Latin look-alike")
            << "100-000-217" << QStringLiteral("Пeтров") // a Latin "e"
            << "Пётр"
            << "Петрович"
            << QStringList{QStringLiteral("автор 2 (ID 100-000-217): фамилия в пакете «Пeтров», а при регистрации "
                                          "«Петров» (латинская буква «e» в «Пeтров»)")}
            << "имя отличается";
        QTest::newRow("second registration of the ID")
            << "100-000-217"
            << "Иванов" << QStringLiteral("Йосиф") << "" << QStringList{} << "да";
    }
    void registrationMatching()
    {
        QFETCH(QString, id);
        QFETCH(QString, surname);
        QFETCH(QString, name);
        QFETCH(QString, patronymic);
        QFETCH(QStringList, problems);
        QFETCH(QString, column);
        const check::Registrations registrations =
            parsed(QStringLiteral("ID;Фамилия;Имя;Отчество\n100-000-217;Петров;Пётр;Петрович\n"
                                  "100-000-217;Иванов;И\u0306осиф;\n"));
        const TPersonRecord person{id, surname, name, patronymic};
        QCOMPARE(registrations.problems(QStringLiteral("автор"), 2, person), problems);
        QCOMPARE(check::matchText(registrations.match(person)), column);
    }

    // The rows to look at, each with its row number: an ID that is not nine
    // digits, an ID given again under another name, a Latin letter in a
    // Cyrillic name. An ID given again under the same name is no problem.
    void rowProblems()
    {
        const check::Registrations registrations = parsed(QStringLiteral("ID;Фамилия;Имя;Отчество\n"
                                                                         "100-000-217;Петров;Пётр;Петрович\n"
                                                                         "12-34;Сидоров;Иван;Иванович\n"
                                                                         "\n"
                                                                         "100-000-217;ПЕТРОВ;Петр;Петрович\n"
                                                                         "100-000-217;Смирнов;Олег;Олегович\n"
                                                                         ";Кузнецов;Илья;\n"
                                                                         "100-000-316;Ивaнов;Иван;Иванович\n"));
        QStringList texts;
        for (const check::RowProblem &problem : registrations.rowProblems())
            texts.append(check::rowProblemText(problem));
        QCOMPARE(texts, (QStringList{QStringLiteral("строка 3: ID «12-34» — не девять цифр"),
                                     QStringLiteral("строка 6: ID 100-000-217 уже есть в строке 2 с другим именем"),
                                     QStringLiteral("строка 7: нет ID"),
                                     QStringLiteral("строка 8: латинская буква «a» в «Ивaнов»")}));
        // Who registered and is in no package.
        QList<int> rows;
        for (const check::Registered &person : registrations.missingFrom({QStringLiteral("100000217")}))
            rows.append(person.row);
        QCOMPARE(rows, (QList<int>{8}));
    }
};

QTEST_GUILESS_MAIN(TestCheckRegistrations)
#include "test_check_registrations.moc"
