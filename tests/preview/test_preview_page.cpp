// The preview page as lines and as bytes, from plain passport values.

#include "fixtures.h"
#include "preview/preview_page.h"

#include <QStringDecoder>
#include <QTest>

Q_DECLARE_METATYPE(PassportSnapshot)

namespace {

using tt::person;

const QString kSeason = QStringLiteral("2008/2009 учебный год");

PassportSnapshot emptyPassport()
{
    PassportSnapshot p;
    p.subjectNames = core::defaultSubjectNames();
    p.seasonId = 4;
    p.seasonName = kSeason;
    return p;
}

// The page of an empty passport, written out in full.
QStringList emptyPage()
{
    return {
        QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                       "charset=windows-1251\" /></head><body>"),
        QStringLiteral("<h1></h1>"),
        QStringLiteral("<p><strong>Раздел(ы):</strong> </p>"),
        QStringLiteral("<p><strong>Сезон:</strong> 2008/2009 учебный год</p>"),
        QStringLiteral("<p><strong>Автор(ы):</strong> <ul></ul></p>"),
        QStringLiteral("<p><strong>Руководитель(и):</strong> <ul></ul></p><hr />"),
        QStringLiteral("<p><strong>Описание работы:</strong></p><p></p>"),
        QStringLiteral("<hr /><p><strong>Технические требования:</strong> </p>"),
        QStringLiteral("<p><strong>Порядок знакомства:</strong></p><p></p>"),
        QStringLiteral("<p><strong>Контактная информация:</strong></p>"),
        QStringLiteral("<table border=\"0\"><tr><td>Адрес:</td><td>, </td></tr>"),
        QStringLiteral("<tr><td>Телефон:</td><td></td></tr>"),
        QStringLiteral("<tr><td>Эл. адрес:</td><td></td></tr>"),
        QStringLiteral("</body></html>"),
    };
}

// Line numbers of the page without a picture, counted from 0.
enum Line {
    Title = 1,
    Sections = 2,
    Authors = 4,
    Teachers = 5,
    Description = 6,
    Tech = 7,
    Manual = 8,
    Address = 10,
    Phone = 11,
    Email = 12
};

const QString kImg = QStringLiteral("<img src=\"img.jpg\" border=\"1\"/>");

QString repeated(char c, int n) { return QString(n, QLatin1Char(c)); }

} // namespace

class TestPreviewPage : public QObject {
    Q_OBJECT
private slots:
    void pageLines_data()
    {
        QTest::addColumn<PassportSnapshot>("passport");
        QTest::addColumn<bool>("pictureWritten");
        QTest::addColumn<QStringList>("page");

        {
            QTest::newRow("empty passport: 14 lines") << emptyPassport() << false << emptyPage();
        }
        {
            PassportSnapshot p = emptyPassport();
            p.hasPicture = true;
            QStringList page = emptyPage();
            page.insert(Tech, kImg);
            QTest::newRow("picture, empty caption: 15 lines") << p << true << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.hasPicture = true;
            p.pictureCaption = QStringLiteral("Общий вид");
            QStringList page = emptyPage();
            page.insert(Tech, kImg);
            page.insert(Tech + 1, QStringLiteral("<p><i>Общий вид</i></p>"));
            QTest::newRow("picture and caption: 16 lines") << p << true << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.hasPicture = true;
            p.pictureCaption = QStringLiteral("   ");
            QStringList page = emptyPage();
            page.insert(Tech, kImg);
            page.insert(Tech + 1, QStringLiteral("<p><i>   </i></p>"));
            QTest::newRow("caption of blanks is shown") << p << true << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.hasPicture = true;
            p.pictureCaption = QStringLiteral("Общий вид");
            QTest::newRow("picture not written: neither picture nor caption") << p << false << emptyPage();
        }
        {
            PassportSnapshot p = emptyPassport();
            p.subjectSlots = {2, 11, 18, 22};
            QStringList page = emptyPage();
            page[Sections] = QStringLiteral("<p><strong>Раздел(ы):</strong> Биология, Физика, "
                                            "Информационные технологии, В помощь учителю</p>");
            QTest::newRow("sections joined in slot order") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.subjectSlots = {6, 0, 0, 0};
            QStringList page = emptyPage();
            page[Sections] =
                QStringLiteral("<p><strong>Раздел(ы):</strong> Лингвистика (русский и иностранные языки)</p>");
            QTest::newRow("section 6 by its long name") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.authors = {person(QStringLiteral(" 123-456-789 "), QStringLiteral("  Иванов "), QStringLiteral("\tИван"),
                                QStringLiteral("Иванович\r\n")),
                         person(QStringLiteral("987-654-321"), QString(), QString(), QString())};
            QStringList page = emptyPage();
            page[Authors] = QStringLiteral("<p><strong>Автор(ы):</strong> <ul>"
                                           "<li>Иванов Иван Иванович [123-456-789]</li>"
                                           "<li>   [987-654-321]</li></ul></p>");
            QTest::newRow("authors trimmed, in list order") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.teachers = {person(QStringLiteral("111-111-111"), QStringLiteral("Петров "), QStringLiteral("Пётр"),
                                 QStringLiteral(" Петрович")),
                          person(QStringLiteral("222-222-222"), QStringLiteral("Сидоров"), QStringLiteral("Сидор"),
                                 QStringLiteral("Сидорович"))};
            p.leaderIndex = 1;
            QStringList page = emptyPage();
            page[Teachers] =
                QStringLiteral("<p><strong>Руководитель(и):</strong> <ul>"
                               "<li>Петров Пётр Петрович [111-111-111]</li>"
                               "<li>Сидоров Сидор Сидорович <strong>[222-222-222]</strong></li></ul></p><hr />");
            QTest::newRow("second supervisor receives the invoice: bold ID") << p << false << page;

            p.leaderIndex = -1;
            page[Teachers] = QStringLiteral("<p><strong>Руководитель(и):</strong> <ul>"
                                            "<li>Петров Пётр Петрович [111-111-111]</li>"
                                            "<li>Сидоров Сидор Сидорович [222-222-222]</li></ul></p><hr />");
            QTest::newRow("no recipient chosen: no bold ID") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.description = QStringLiteral("Первая\r\nвторая\rтретья\nчетвёртая\r\n");
            p.manual = QStringLiteral("Шаг 1\r\nШаг 2\rШаг 3");
            QStringList page = emptyPage();
            page[Description] = QStringLiteral("<p><strong>Описание работы:</strong></p><p>"
                                               "Первая<br />вторая\rтретья\nчетвёртая<br /></p>");
            page[Manual] = QStringLiteral("<p><strong>Порядок знакомства:</strong></p><p>"
                                          "Шаг 1<br />Шаг 2\rШаг 3</p>");
            QTest::newRow("CR LF and lone CR and LF in description and order of study") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.description = repeated('d', 600);
            p.manual = repeated('m', 1200);
            QStringList page = emptyPage();
            page[Description] = QStringLiteral("<p><strong>Описание работы:</strong></p><p>") + repeated('d', 500)
                                + QStringLiteral("</p>");
            page[Manual] = QStringLiteral("<p><strong>Порядок знакомства:</strong></p><p>") + repeated('m', 1200)
                           + QStringLiteral("</p>");
            QTest::newRow("description cut at 500, order of study whole") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.description = repeated('d', 499) + QStringLiteral("\r\nпосле");
            QStringList page = emptyPage();
            page[Description] = QStringLiteral("<p><strong>Описание работы:</strong></p><p>") + repeated('d', 499)
                                + QStringLiteral("</p>");
            QTest::newRow("CR LF at the cut is not split") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.description = repeated('d', 499) + QStringLiteral("&<b>");
            QStringList page = emptyPage();
            page[Description] = QStringLiteral("<p><strong>Описание работы:</strong></p><p>") + repeated('d', 499)
                                + QStringLiteral("&amp;</p>");
            QTest::newRow("cut before escaping") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.title = QStringLiteral("<script>alert(\"x\")</script> & &lt;");
            p.description = QStringLiteral("<b>жирный</b>\r\n\"цитата\"");
            p.techRequest = QStringLiteral("Windows > 95 & <IE6>");
            p.manual = QStringLiteral("<a href=\"x\">ссылка</a>");
            p.postIndex = QStringLiteral("<1>");
            p.postAddress = QStringLiteral("ул. \"Лесная\" & Co");
            p.phone = QStringLiteral("<img src=x>");
            p.email = QStringLiteral("a&b@<mail>");
            p.hasPicture = true;
            p.pictureCaption = QStringLiteral("</i><i>");
            p.subjectSlots = {1, 0, 0, 0};
            p.subjectNames[1] = QStringLiteral("A & B");
            p.authors = {
                person(QStringLiteral("<id>"), QStringLiteral("<s>"), QStringLiteral("\"n\""), QStringLiteral("&p"))};
            p.teachers = {
                person(QStringLiteral("<t>"), QStringLiteral("a<b"), QStringLiteral("c>d"), QStringLiteral("e&f"))};
            p.leaderIndex = 0;
            const QStringList page = {
                emptyPage()[0],
                QStringLiteral("<h1>&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &amp;lt;</h1>"),
                QStringLiteral("<p><strong>Раздел(ы):</strong> A &amp; B</p>"),
                emptyPage()[3],
                QStringLiteral("<p><strong>Автор(ы):</strong> <ul>"
                               "<li>&lt;s&gt; &quot;n&quot; &amp;p [&lt;id&gt;]</li></ul></p>"),
                QStringLiteral("<p><strong>Руководитель(и):</strong> <ul>"
                               "<li>a&lt;b c&gt;d e&amp;f <strong>[&lt;t&gt;]</strong></li></ul></p><hr />"),
                QStringLiteral("<p><strong>Описание работы:</strong></p><p>"
                               "&lt;b&gt;жирный&lt;/b&gt;<br />&quot;цитата&quot;</p>"),
                kImg,
                QStringLiteral("<p><i>&lt;/i&gt;&lt;i&gt;</i></p>"),
                QStringLiteral("<hr /><p><strong>Технические требования:</strong> "
                               "Windows &gt; 95 &amp; &lt;IE6&gt;</p>"),
                QStringLiteral("<p><strong>Порядок знакомства:</strong></p><p>"
                               "&lt;a href=&quot;x&quot;&gt;ссылка&lt;/a&gt;</p>"),
                emptyPage()[9],
                QStringLiteral("<table border=\"0\"><tr><td>Адрес:</td><td>"
                               "&lt;1&gt;, ул. &quot;Лесная&quot; &amp; Co</td></tr>"),
                QStringLiteral("<tr><td>Телефон:</td><td>&lt;img src=x&gt;</td></tr>"),
                QStringLiteral("<tr><td>Эл. адрес:</td><td>a&amp;b@&lt;mail&gt;</td></tr>"),
                emptyPage()[13],
            };
            QTest::newRow("markup in every text is escaped") << p << true << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.title = QStringLiteral("  Заголовок  ");
            p.techRequest = QStringLiteral(" ПК ");
            p.postIndex = QStringLiteral(" 123456");
            p.postAddress = QStringLiteral("Москва ");
            p.phone = QStringLiteral(" 1 ");
            p.email = QStringLiteral(" a@b ");
            QStringList page = emptyPage();
            page[Title] = QStringLiteral("<h1>  Заголовок  </h1>");
            page[Tech] = QStringLiteral("<hr /><p><strong>Технические требования:</strong>  ПК </p>");
            page[Address] = QStringLiteral("<table border=\"0\"><tr><td>Адрес:</td><td> 123456, "
                                           "Москва </td></tr>");
            page[Phone] = QStringLiteral("<tr><td>Телефон:</td><td> 1 </td></tr>");
            page[Email] = QStringLiteral("<tr><td>Эл. адрес:</td><td> a@b </td></tr>");
            QTest::newRow("title, requirements and contacts not trimmed") << p << false << page;
        }
        {
            PassportSnapshot p = emptyPassport();
            p.title = QStringLiteral("Grüße € \U0001F600");
            QStringList page = emptyPage();
            page[Title] = QStringLiteral("<h1>Grüße € \U0001F600</h1>");
            QTest::newRow("characters outside Windows-1251 kept in the lines") << p << false << page;
        }
        {
            // A one-line field can hold a line break of any kind (pasted or
            // set); the page shows each one as a line break.
            PassportSnapshot p = emptyPassport();
            p.title = QStringLiteral("a\nb\r\nc\rd\u2028e\u2029f");
            p.techRequest = QStringLiteral("ПК\nWindows");
            p.postIndex = QStringLiteral("1\n2");
            p.postAddress = QStringLiteral("ул.\r\nЛесная");
            p.phone = QStringLiteral("1\u20282");
            p.email = QStringLiteral("a@b\nc@d");
            p.hasPicture = true;
            p.pictureCaption = QStringLiteral("Весна\nи лето");
            p.authors = {person(QStringLiteral("111-111-111"), QStringLiteral("Иванов\nПетров"),
                                QStringLiteral("Анна\r\nМария"), QStringLiteral("Ивановна"))};
            p.teachers = {person(QStringLiteral("222-222-222"), QStringLiteral("Сидоров"), QStringLiteral("Пётр"),
                                 QStringLiteral("Пет\u2029рович"))};
            p.leaderIndex = -1;
            QStringList page = emptyPage();
            page[Title] = QStringLiteral("<h1>a<br />b<br />c<br />d<br />e<br />f</h1>");
            page[Authors] =
                QStringLiteral("<p><strong>Автор(ы):</strong> <ul>"
                               "<li>Иванов<br />Петров Анна<br />Мария Ивановна [111-111-111]</li></ul></p>");
            page[Teachers] = QStringLiteral("<p><strong>Руководитель(и):</strong> <ul>"
                                            "<li>Сидоров Пётр Пет<br />рович [222-222-222]</li></ul></p><hr />");
            page[Tech] = QStringLiteral("<hr /><p><strong>Технические требования:</strong> ПК<br />Windows</p>");
            page[Address] =
                QStringLiteral("<table border=\"0\"><tr><td>Адрес:</td><td>1<br />2, ул.<br />Лесная</td></tr>");
            page[Phone] = QStringLiteral("<tr><td>Телефон:</td><td>1<br />2</td></tr>");
            page[Email] = QStringLiteral("<tr><td>Эл. адрес:</td><td>a@b<br />c@d</td></tr>");
            page.insert(Tech, QStringLiteral("<p><i>Весна<br />и лето</i></p>"));
            page.insert(Tech, kImg);
            QTest::newRow("line breaks in one-line texts") << p << true << page;
        }
    }
    void pageLines()
    {
        QFETCH(PassportSnapshot, passport);
        QFETCH(bool, pictureWritten);
        QFETCH(QStringList, page);
        const QStringList lines = preview::previewPageLines(passport, pictureWritten);
        for (qsizetype i = 0; i < qMin(lines.size(), page.size()); ++i)
            QCOMPARE(lines[i], page[i]);
        QCOMPARE(lines.size(), page.size());
    }

    // Another picture name beside the page (the committee's pages) is a
    // relative link that survives any characters in the name.
    void pictureFileName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << QStringLiteral("work-1.jpg")
                               << QStringLiteral("<img src=\"work-1.jpg\" border=\"1\"/>");
        QTest::newRow("Cyrillic and blank")
            << QStringLiteral("Весна 2.jpg")
            << QStringLiteral("<img src=\"%D0%92%D0%B5%D1%81%D0%BD%D0%B0%202.jpg\" border=\"1\"/>");
        QTest::newRow("markup and URL characters")
            << QStringLiteral("a\"<b>&#?%.jpg")
            << QStringLiteral("<img src=\"a%22%3Cb%3E%26%23%3F%25.jpg\" border=\"1\"/>");
    }
    void pictureFileName()
    {
        QFETCH(QString, file);
        QFETCH(QString, line);
        const QStringList lines = preview::previewPageLines(emptyPassport(), true, file);
        QCOMPARE(lines.size(), 15);
        QCOMPARE(lines[7], line);
    }

    void lineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("CR LF") << "a\r\nb"
                               << "a<br />b";
        QTest::newRow("two in a row") << "\r\n\r\n"
                                      << "<br /><br />";
        QTest::newRow("lone CR and LF stay") << "a\rb\nc"
                                             << "a\rb\nc";
        QTest::newRow("LF CR is no pair") << "a\n\rb"
                                          << "a\n\rb";
        QTest::newRow("CR before a pair") << "\r\r\n"
                                          << "\r<br />";
        QTest::newRow("pair then LF") << "\r\n\n"
                                      << "<br />\n";
    }
    void lineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, html);
        QCOMPARE(preview::lineBreaksToHtml(text), html);
    }

    // The bytes decoded back from Windows-1251 are the page's lines, each
    // with CR LF, and characters the code page lacks arrive as references.
    void pageBytes_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("decodedTitle");
        QTest::newRow("Cyrillic") << QStringLiteral("Тирлада: Ёё №1 «x» — \u00a0")
                                  << QStringLiteral("Тирлада: Ёё №1 «x» — \u00a0");
        QTest::newRow("euro sign is in the code page") << QStringLiteral("€") << QStringLiteral("€");
        QTest::newRow("Latin letters with marks") << QStringLiteral("Grüße") << QStringLiteral("Gr&#252;&#223;e");
        QTest::newRow("Greek and CJK") << QStringLiteral("Ω中") << QStringLiteral("&#937;&#20013;");
        QTest::newRow("outside the basic plane") << QStringLiteral("a\U0001F600b") << QStringLiteral("a&#128512;b");
        QTest::newRow("typed reference stays text") << QStringLiteral("&#8364;") << QStringLiteral("&amp;#8364;");
    }
    void pageBytes()
    {
        QFETCH(QString, title);
        QFETCH(QString, decodedTitle);
        PassportSnapshot p = emptyPassport();
        p.title = title;
        const QByteArray bytes = preview::encodePreviewPage(preview::previewPageLines(p, false));

        QStringDecoder decoder("windows-1251");
        const QString decoded = decoder.decode(bytes);
        QVERIFY(!decoder.hasError());
        QStringList expected = emptyPage();
        expected[Title] = QStringLiteral("<h1>") + decodedTitle + QStringLiteral("</h1>");
        QCOMPARE(decoded, expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QVERIFY(!bytes.contains('?'));
    }

    void pageBytesAreWindows1251WithoutBom()
    {
        PassportSnapshot p = emptyPassport();
        p.title = QStringLiteral("Тирлада");
        const QByteArray bytes = preview::encodePreviewPage(preview::previewPageLines(p, false));
        QVERIFY(bytes.startsWith("<html><head>"));
        QVERIFY(bytes.contains(QByteArray("<h1>\xD2\xE8\xF0\xEB\xE0\xE4\xE0</h1>\r\n")));
        QVERIFY(bytes.endsWith("</body></html>\r\n"));
        QCOMPARE(bytes.count("\r\n"), 14);
    }
};

QTEST_APPLESS_MAIN(TestPreviewPage)
#include "test_preview_page.moc"
