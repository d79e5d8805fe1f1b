#include "core/failure.h"
#include "fixtures.h"
#include "save/data_document.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

using tt::person;

constexpr qint64 kTime = 1233446400;

// The passport of the worked example: a title typed with a leading blank, a
// two-line description, section 7, one author, two supervisors of whom the
// second receives the invoice, everything else empty.
PassportSnapshot workedExample()
{
    PassportSnapshot s;
    s.title = QStringLiteral(" Весна & лето");
    s.description = QStringLiteral("Стихи\r\nо весне");
    s.subjectSlots = {7, 0, 0, 0};
    s.seasonId = 4;
    s.authors = {person("101-202-303", "Петров", "Пётр", "Петрович")};
    s.teachers = {person("111-222-333", "Сидорова", "Анна", "Ивановна"),
                  person("444-555-666", "Кузнецов", "Иван", "Павлович")};
    s.leaderIndex = 1;
    return s;
}

QByteArray build(const PassportSnapshot &s) { return save::buildDataDocument(s, kTime); }

QByteArray utf8(const QString &text) { return text.toUtf8(); }

// The text of an XML value as a parser reports it: line ends CR LF and lone
// CR become LF.
QString parsed(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

class TestDataDocument : public QObject {
    Q_OBJECT
private slots:
    void workedExampleByteForByte()
    {
        QFile golden(QString::fromLocal8Bit(qgetenv("TIRLADA_TEST_DATA")) + "/data/worked_example.xml");
        QVERIFY(golden.open(QIODevice::ReadOnly));
        QCOMPARE(build(workedExample()), golden.readAll());
    }

    // One passport field set to a value, and the bytes that must appear.
    void field_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("expected");

        const QString a499(499, QLatin1Char('a'));
        const QByteArray a499bytes(499, 'a');

        QTest::newRow("five markup characters")
            << "title"
            << "<a> \"b\" 'c' & d" << QByteArray("<title>&#60;a&#62; &#34;b&#34; &#39;c&#39; &#38; d</title>");
        QTest::newRow("title trimmed") << "title"
                                       << " \t Весна\r\n"
                                       << utf8("<title>Весна</title>");
        QTest::newRow("no-break space kept")
            << "title" << QStringLiteral("\u00a0x\u00a0") << QByteArray("<title>\xc2\xa0x\xc2\xa0</title>");
        QTest::newRow("inner tab kept") << "title"
                                        << "a\tb" << QByteArray("<title>a\tb</title>");
        QTest::newRow("control characters dropped") << "title"
                                                    << QString::fromLatin1("a\x01\x08\x0b\x0c\x0e\x1f"
                                                                           "b")
                                                    << QByteArray("<title>ab</title>");
        QTest::newRow("non-characters and lone surrogates dropped")
            << "title" << QString::fromUtf16(u"a\uFFFEb\uFFFFc") + QChar(0xD800) + "d" + QChar(0xDC00) + "e"
            << QByteArray("<title>abcde</title>");
        QTest::newRow("character outside the basic plane")
            << "title" << QStringLiteral("x\U0001F600y") << QByteArray("<title>x\xf0\x9f\x98\x80y</title>");
        QTest::newRow("Cyrillic as two bytes") << "title"
                                               << "Ж" << QByteArray("<title>\xd0\x96</title>");

        QTest::newRow("description not trimmed") << "description"
                                                 << "  x  " << QByteArray("<description>  x  </description>");
        QTest::newRow("description leading line break")
            << "description"
            << "\r\nx" << QByteArray("<description>\r\r\r\nx</description>");
        QTest::newRow("bare LF") << "description"
                                 << "a\nb" << QByteArray("<description>a\r\r\nb</description>");
        QTest::newRow("lone CR") << "description"
                                 << "a\rb" << QByteArray("<description>a\rb</description>");
        QTest::newRow("600 characters give 500") << "description" << QString(600, QLatin1Char('d'))
                                                 << "<description>" + QByteArray(500, 'd') + "</description>";
        QTest::newRow("cut at a CR drops the lone CR") << "description" << a499 + "\r\nmore"
                                                       << "<description>" + a499bytes + "</description>";
        QTest::newRow("cut after a CR LF") << "description" << a499.left(498) + "\r\nmore"
                                           << "<description>" + QByteArray(498, 'a') + "\r\r\r\n</description>";
        QTest::newRow("character outside the basic plane as the 500th")
            << "description" << a499 + QStringLiteral("\U0001F600z")
            << "<description>" + a499bytes + "\xf0\x9f\x98\x80</description>";
        QTest::newRow("starts with an emoji: 500 characters kept")
            << "description" << QStringLiteral("\U0001F600") + QString(600, QLatin1Char('d'))
            << "<description>\xf0\x9f\x98\x80" + QByteArray(499, 'd') + "</description>";

        QTest::newRow("order of study whole, blanks kept") << "manual"
                                                           << "  " << QByteArray("<manual>  </manual>");
        QTest::newRow("order of study lines") << "manual"
                                              << " 1\r\n2 " << QByteArray("<manual> 1\r\r\r\n2 </manual>");
        QTest::newRow("requirement of blanks") << "techRequest"
                                               << " \t " << QByteArray("<tech_request></tech_request>");
        QTest::newRow("post index trimmed")
            << "postIndex"
            << " 123456 " << QByteArray("<public_post_index>123456</public_post_index>");
        QTest::newRow("address trimmed") << "postAddress"
                                         << "\tул. Ленина, 1 "
                                         << utf8("<public_post_address>ул. Ленина, 1</public_post_address>");
        QTest::newRow("phone trimmed") << "phone"
                                       << " 8 (812) 000 " << QByteArray("<public_phone>8 (812) 000</public_phone>");
        QTest::newRow("e-mail trimmed") << "email"
                                        << " a@b.ru\r\n"
                                        << QByteArray("<public_email>a@b.ru</public_email>");
        QTest::newRow("notes trimmed, line breaks inside kept") << "notes"
                                                                << "\r\nx\r\ny\r\n"
                                                                << QByteArray("<notes>x\r\r\r\ny</notes>");

        QTest::newRow("caption of blanks, after the description")
            << "caption"
            << "  " << QByteArray("</description><img_sign>  </img_sign><manual>");
        QTest::newRow("caption escaped") << "caption"
                                         << "a&b" << QByteArray("<img_sign>a&#38;b</img_sign>");

        QTest::newRow("surname trimmed, attribute escaped")
            << "surname"
            << " О'Нил \"мл\" " << utf8("surname=\"О&#39;Нил &#34;мл&#34;\" name=");
        QTest::newRow("ID as stored") << "id"
                                      << " 101-202-303" << QByteArray("<author p_id_full=\" 101-202-303\" surname=");
        QTest::newRow("line break in an attribute") << "name"
                                                    << "a\r\nb" << QByteArray(" name=\"a\r\r\r\nb\" patronymic=");
    }
    void field()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QByteArray, expected);

        PassportSnapshot s = workedExample();
        const std::map<QString, QString *> fields = {{"title", &s.title},
                                                     {"description", &s.description},
                                                     {"manual", &s.manual},
                                                     {"techRequest", &s.techRequest},
                                                     {"postIndex", &s.postIndex},
                                                     {"postAddress", &s.postAddress},
                                                     {"phone", &s.phone},
                                                     {"email", &s.email},
                                                     {"notes", &s.notes},
                                                     {"caption", &s.pictureCaption},
                                                     {"surname", &s.authors[0].Surname},
                                                     {"name", &s.authors[0].Name},
                                                     {"id", &s.authors[0].Id}};
        QVERIFY(fields.count(field));
        *fields.at(field) = value;

        const QByteArray bytes = build(s);
        if (!bytes.contains(expected))
            qDebug() << bytes;
        QVERIFY(bytes.contains(expected));
    }

    void noCaptionNoElement() { QVERIFY(!build(workedExample()).contains("img_sign")); }

    void subjects_data()
    {
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("four") << QList<int>{2, 11, 18, 22}
                              << QByteArray("<subjects><subject>2</subject><subject>11</subject>"
                                            "<subject>18</subject><subject>22</subject></subjects>");
        QTest::newRow("none") << QList<int>{0, 0, 0, 0} << QByteArray("<subjects></subjects>");
    }
    void subjects()
    {
        QFETCH(QList<int>, numbers);
        QFETCH(QByteArray, expected);
        PassportSnapshot s = workedExample();
        for (int k = 0; k < 4; ++k)
            s.subjectSlots[k] = numbers[k];
        QVERIFY(build(s).contains(expected));
    }

    void leader_data()
    {
        QTest::addColumn<int>("leader");
        QTest::addColumn<QByteArray>("people");
        const QByteArray a = "<author p_id_full=\"1\" surname=\"a\" name=\"b\" patronymic=\"c\"></author>";
        auto teacher = [](const char *id, bool leader) {
            return QByteArray("<teacher p_id_full=\"") + id + "\" surname=\"a\" name=\"b\" patronymic=\"c\""
                   + (leader ? " is_leader=\"True\"" : "") + "></teacher>";
        };
        QTest::newRow("third") << 2
                               << "<people>" + a + teacher("t1", false) + teacher("t2", false) + teacher("t3", true)
                                      + "</people>";
        QTest::newRow("first") << 0
                               << "<people>" + a + teacher("t1", true) + teacher("t2", false) + teacher("t3", false)
                                      + "</people>";
        QTest::newRow("none chosen") << -1
                                     << "<people>" + a + teacher("t1", false) + teacher("t2", false)
                                            + teacher("t3", false) + "</people>";
    }
    void leader()
    {
        QFETCH(int, leader);
        QFETCH(QByteArray, people);
        PassportSnapshot s = workedExample();
        s.authors = {person("1", "a", "b", "c")};
        s.teachers = {person("t1", "a", "b", "c"), person("t2", "a", "b", "c"), person("t3", "a", "b", "c")};
        s.leaderIndex = leader;
        QVERIFY(build(s).contains(people));
    }

    void noParticipants()
    {
        PassportSnapshot s = workedExample();
        s.authors.clear();
        s.teachers.clear();
        s.leaderIndex = -1;
        QVERIFY(build(s).contains("<people></people>"));
    }

    // Whatever the values: no BOM, one declaration line, one line for the
    // whole tree, no tab or short form between elements.
    void shape()
    {
        PassportSnapshot s = workedExample();
        s.description = QStringLiteral("одна строка");
        const QByteArray bytes = build(s);
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\r\n<work><title>"));
        QVERIFY(bytes.endsWith("</work>\r\r\n"));
        QCOMPARE(bytes.count('\n'), 2);
        QVERIFY(!bytes.contains('\t'));
        QVERIFY(!bytes.contains("/>"));
        QVERIFY(!bytes.contains("><\r"));
        QVERIFY(bytes.contains("<datetime>1233446400</datetime>"));
    }

    // A real XML parser finds every value, and xmllint accepts the file.
    void roundTrip()
    {
        PassportSnapshot s;
        s.title = QStringLiteral("Заголовок <1> & \"2\"");
        s.seasonId = 4;
        s.description = QStringLiteral("строка 1\r\nстрока 2 'цитата'");
        s.pictureCaption = QStringLiteral("подпись \U0001F600");
        s.manual = QStringLiteral("порядок\r\nизучения");
        s.techRequest = QStringLiteral("Windows");
        s.postIndex = QStringLiteral("190000");
        s.postAddress = QStringLiteral("Санкт-Петербург");
        s.phone = QStringLiteral("+7 812 000-00-00");
        s.email = QStringLiteral("school@example.ru");
        s.notes = QStringLiteral("примечание");
        s.subjectSlots = {3, 21, 22, 0};
        s.authors = {person("101-202-303", "Петров", "Пётр", "Петрович"),
                     person("111-111-111", "Д'Артаньян", "<Шарль>", "&")};
        s.teachers = {person("444-555-666", "Кузнецов", "Иван", "Павлович")};
        s.leaderIndex = 0;
        const QByteArray bytes = save::buildDataDocument(s, kTime);

        QMap<QString, QString> texts;
        QStringList subjects;
        QList<QXmlStreamAttributes> people;
        QStringList peopleNames;
        QXmlStreamReader reader(bytes);
        QString current;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                current = reader.name().toString();
                if (current == "author" || current == "teacher") {
                    people.append(reader.attributes());
                    peopleNames.append(current);
                }
            } else if (reader.isCharacters()) {
                if (current == "subject")
                    subjects.append(reader.text().toString());
                else
                    texts[current] += reader.text().toString();
            }
        }
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));

        QCOMPARE(texts["title"], s.title);
        QCOMPARE(texts["sz_id"], "4");
        QCOMPARE(texts["datetime"], "1233446400");
        // Each CR LF is written as CR CR LF, which a parser reads as two
        // line ends.
        QCOMPARE(texts["description"], parsed(QString(s.description).replace("\n", "\r\r\n")));
        QCOMPARE(texts["img_sign"], s.pictureCaption);
        QCOMPARE(texts["manual"], parsed(QString(s.manual).replace("\n", "\r\r\n")));
        QCOMPARE(texts["tech_request"], s.techRequest);
        QCOMPARE(texts["public_post_index"], s.postIndex);
        QCOMPARE(texts["public_post_address"], s.postAddress);
        QCOMPARE(texts["public_phone"], s.phone);
        QCOMPARE(texts["public_email"], s.email);
        QCOMPARE(texts["notes"], s.notes);
        QCOMPARE(subjects, (QStringList{"3", "21", "22"}));
        QCOMPARE(peopleNames, (QStringList{"author", "author", "teacher"}));
        const QList<TPersonRecord> expected = s.authors + s.teachers;
        for (int i = 0; i < people.size(); ++i) {
            QCOMPARE(people[i].value("p_id_full").toString(), expected[i].Id);
            QCOMPARE(people[i].value("surname").toString(), expected[i].Surname);
            QCOMPARE(people[i].value("name").toString(), expected[i].Name);
            QCOMPARE(people[i].value("patronymic").toString(), expected[i].Patronymic);
            QCOMPARE(people[i].hasAttribute("is_leader"), i == 2);
        }
        QCOMPARE(people[2].value("is_leader").toString(), QStringLiteral("True"));

        QTemporaryDir dir;
        const QString path = dir.filePath("data.xml");
        QVERIFY(save::writeDataDocument(path, bytes).has_value());
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), bytes);
        QProcess lint;
        lint.start("xmllint", {"--noout", path});
        QVERIFY(lint.waitForFinished(30000));
        QCOMPARE(lint.exitCode(), 0);
    }

    void writeFailure()
    {
        QTemporaryDir dir;
        QFile plain(dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const Result<void> written = save::writeDataDocument(dir.filePath("plain/data.xml"), "x");
        QVERIFY(!written);
        QCOMPARE(written.error().code(), FailureCode::CannotCreateFile);
        QCOMPARE(written.error().details().file, dir.filePath("plain/data.xml"));
        QVERIFY(!written.error().details().reason.isEmpty());
    }
};

QTEST_MAIN(TestDataDocument)
#include "test_data_document.moc"
