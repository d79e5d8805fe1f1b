// The data document read back: only the one shape the program writes is
// taken, and a text reads the same however the XML spells it.

#include "reader_fixtures.h"

#include <QTest>

using namespace rf;

class TestDocumentReader : public QObject {
    Q_OBJECT

private slots:
    void hostileDocuments_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QStringList>("problems");
        const QByteArray jpeg = jpegOf(300, 225);
        const PassportSnapshot full = fullPassport();
        const QByteArray doc = document(full);
        const QByteArray firstAuthor = full.authors[0].Id.toUtf8();
        const QByteArray teacher = full.teachers[0].Id.toUtf8();

        QTest::newRow("malformed") << doc.left(doc.size() / 2) << jpeg
                                   << QStringList{"Файл data.xml поврежден: в нем нарушены правила записи XML."};
        QTest::newRow("not UTF-8") << QByteArray(doc).replace("<title>", "<title>\xff") << jpeg
                                   << QStringList{"Файл data.xml поврежден: в нем нарушены правила записи XML."};
        QByteArray laughs = "<?xml version=\"1.0\"?>\r\r\n<!DOCTYPE work [<!ENTITY a \"aaaaaaaaaa\">"
                            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>";
        laughs += doc.mid(doc.indexOf("<work>")).replace("<title>", "<title>&c;");
        QTest::newRow("entity expansion")
            << laughs << jpeg
            << QStringList{"Файл data.xml содержит объявление типа документа (DTD); такие файлы не открываются, "
                           "чтобы не раскрывать в них сущности."};
        QTest::newRow("external entity") << edited("<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                                                   "<?xml version=\"1.0\"?><!DOCTYPE work SYSTEM \"/etc/passwd\">")
                                         << jpeg << QStringList{"(DTD)"};
        QTest::newRow("undeclared entity")
            << edited("<title>", "<title>&nbsp;") << jpeg << QStringList{"нарушены правила записи XML"};
        QTest::newRow("another root") << edited("work>", "passport>") << jpeg
                                      << QStringList{"на месте поля «work» стоит элемент «passport»"};
        QTest::newRow("unknown element") << edited("<manual>", "<extra></extra><manual>") << jpeg
                                         << QStringList{"на месте поля «manual» стоит элемент «extra»"};
        QTest::newRow("missing element") << edited("<sz_id>4</sz_id>", "") << jpeg
                                         << QStringList{"на месте поля «sz_id» стоит элемент «datetime»"};
        QTest::newRow("child in a text") << edited("<title>", "<title><b>x</b>") << jpeg
                                         << QStringList{"в поле «title» вложены элементы"};
        QTest::newRow("attribute on a text")
            << edited("<title>", "<title lang=\"ru\">") << jpeg << QStringList{"у элемента «title» есть атрибуты"};
        QTest::newRow("namespace") << edited("<work>", "<work xmlns=\"urn:x\">") << jpeg
                                   << QStringList{"пространству имен"};
        QTest::newRow("text between elements")
            << edited("<manual>", "слово<manual>") << jpeg << QStringList{"текст вне полей паспорта"};
        QTest::newRow("author after teacher")
            << edited("</people>", "<author p_id_full=\"" + firstAuthor
                                       + "\" surname=\"\" name=\"\" patronymic=\"\"></author></people>")
            << jpeg << QStringList{"автор записан после руководителей"};
        QTest::newRow("unknown attribute")
            << edited(" surname=", " role=\"x\" surname=") << jpeg << QStringList{"неизвестный атрибут «role»"};
        QTest::newRow("missing attribute")
            << edited(" patronymic=\"Петрович\"", "") << jpeg << QStringList{"нет атрибута «patronymic»"};
        QTest::newRow("something after the root")
            << edited("</work>", "</work><work></work>") << jpeg << QStringList{"нарушены правила записи XML"};
        QTest::newRow("another encoding") << edited("encoding=\"UTF-8\"", "encoding=\"windows-1251\"") << jpeg
                                          << QStringList{"он записан в кодировке windows-1251, а не в UTF-8"};
    }
    void hostileDocuments()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, jpeg);
        QFETCH(QStringList, problems);
        const QString mismatch = refusalMismatch(save::readPackageBytes(package(data, jpeg)), problems);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    // A text inside CDATA reads the same as the same text written with
    // character references, line breaks and tabs included.
    void textSpellings_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("description");
        const QString poem = QStringLiteral("Стихи\r\nо весне");
        QTest::newRow("as written") << QByteArray("Стихи\r\r\r\nо весне") << poem;
        QTest::newRow("character references") << QByteArray("Стихи&#13;&#13;&#13;&#10;о весне") << poem;
        QTest::newRow("CDATA") << QByteArray("<![CDATA[Стихи\r\r\r\nо весне]]>") << poem;
        QTest::newRow("CDATA in parts") << QByteArray("<![CDATA[Стихи\r\r]]>&#13;<![CDATA[\nо]]> весне") << poem;
        QTest::newRow("CDATA with markup and a tab")
            << QByteArray("<![CDATA[a < b &amp;\tc\r\r\n]]>") << QStringLiteral("a < b &amp;\tc\n");
        QTest::newRow("references for markup and a tab")
            << QByteArray("a &#60; b &#38;amp;&#9;c&#13;&#13;&#10;") << QStringLiteral("a < b &amp;\tc\n");
        QTest::newRow("comment with a line break before CDATA")
            << QByteArray("<!-- a\r\nb --><![CDATA[Стихи\r\r\r\nо весне]]>") << poem;
    }
    void textSpellings()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, description);
        const QByteArray data =
            edited("<description>Стихи\r\r\r\nо весне</description>", "<description>" + stored + "</description>");
        const Result<save::StoredDocument> parsed = save::parseDataDocument(data);
        QVERIFY2(parsed, parsed ? "" : qPrintable(save::readProblemTexts(parsed.error().details().problems).join(' ')));
        QCOMPARE(parsed->texts.description, description);
        // The rest of the document reads as before.
        QCOMPARE(parsed->texts.manual, fullPassport().manual);
        const save::ReadResult read = save::readPackageBytes(package(data, jpegOf(300, 225)));
        QCOMPARE(texts(read), QStringList());
        QCOMPARE(read.contents->passport.description, description);
    }

    // A package that the program never writes but that carries nothing
    // wrong: deflated entries, blanks between elements, a comment.
    void toleratedVariants()
    {
        const PassportSnapshot full = fullPassport();
        QByteArray doc = document(full);
        const save::ReadResult deflated =
            save::readPackageBytes(makeZip({{"image.jpg", jpegOf(300, 225), true}, {"data.xml", doc, true}}));
        QCOMPARE(texts(deflated), QStringList());
        QVERIFY(deflated.contents);
        QCOMPARE(save::buildDataDocument(deflated.contents->passport, kTime), doc);

        doc.replace("<manual>", "\r\n  <!-- comment -->\t<manual>");
        const save::ReadResult spaced = save::readPackageBytes(package(doc, jpegOf(300, 225)));
        QCOMPARE(texts(spaced), QStringList());
        QCOMPARE(spaced.contents->passport.manual, full.manual);
    }
};

QTEST_GUILESS_MAIN(TestDocumentReader)
#include "test_document_reader.moc"
