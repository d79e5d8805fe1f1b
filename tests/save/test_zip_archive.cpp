// The package's container: archives that a package never is, or that could
// harm the reader, are refused with a problem that names what is wrong;
// the entries of a sound one come back in order, as stored.

#include "reader_fixtures.h"
#include "save/zip_archive.h"

#include <QElapsedTimer>
#include <QTest>

using namespace rf;

class TestZipArchive : public QObject {
    Q_OBJECT

private slots:
    void hostileArchives_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<QString>("problem");
        const QByteArray doc = document(fullPassport());
        const QByteArray jpeg = jpegOf(300, 225);
        const QByteArray good = package(doc, jpeg);

        QTest::newRow("not a ZIP") << QByteArray("just some text\n") << "это не ZIP-архив";
        QTest::newRow("empty file") << QByteArray() << "это не ZIP-архив";
        QTest::newRow("cut in half") << good.left(good.size() / 2) << "это не ZIP-архив";
        QTest::newRow("no data.xml") << save::zipStored({{"image.jpg", jpeg}}).value() << "нет файла data.xml";
        QTest::newRow("empty archive") << QByteArray("PK\x05\x06").append(18, '\0') << "нет файла data.xml";
        QTest::newRow("another file") << makeZip({{"data.xml", doc}, {"run.exe", "MZ"}})
                                      << "посторонний файл «run.exe»";
        QTest::newRow("a file in a folder")
            << makeZip({{"data.xml", doc}, {"sub/image.jpg", jpeg}}) << "посторонний файл «sub/image.jpg»";
        QTest::newRow("dot dot") << makeZip({{"../data.xml", doc}}) << "недопустимым именем «../data.xml»";
        QTest::newRow("dot dot inside") << makeZip({{"a/../../data.xml", doc}}) << "недопустимым именем";
        QTest::newRow("absolute") << makeZip({{"/etc/data.xml", doc}}) << "недопустимым именем «/etc/data.xml»";
        QTest::newRow("backslash") << makeZip({{"..\\data.xml", doc}}) << "недопустимым именем";
        QTest::newRow("drive letter") << makeZip({{"C:data.xml", doc}}) << "недопустимым именем";
        QTest::newRow("folder") << makeZip({{"data.xml", doc}, {"pics", {}, false, {}, true}}) << "папка «pics/»";
        QTest::newRow("link") << makeZip({{"data.xml", doc}, {"image.jpg", "/etc/passwd", false, 0120777}})
                              << "ссылка «image.jpg»";
        QTest::newRow("device") << makeZip({{"data.xml", doc, false, 020666}}) << "не обычный файл";
        // libzip itself refuses an archive with a name twice in its
        // directory.
        QTest::newRow("duplicate") << makeZip({{"data.xml", doc}, {"dada.xml", doc}}).replace("dada.xml", "data.xml")
                                   << "Пакет поврежден";
        QTest::newRow("encrypted") << withEncryptionFlag(package(doc)) << "зашифрован";
        QList<ZipItem> many;
        for (int i = 0; i < 17; ++i)
            many.append({QStringLiteral("f%1").arg(i), "x"});
        QTest::newRow("too many entries") << makeZip(many) << "слишком много файлов: 17";
        // 20 MB of zeros deflate to a few kilobytes.
        QTest::newRow("bomb by declared size")
            << makeZip({{"data.xml", QByteArray(20 * 1024 * 1024, '\0'), true}}) << "слишком большой";
        QTest::newRow("bomb by real size")
            << withDeclaredSize(makeZip({{"data.xml", QByteArray(4 * 1024 * 1024, '<'), true}}), 1000) << "«data.xml»";
        QByteArray badCrc = package(doc);
        badCrc[badCrc.indexOf("<work>") + 1] = 'W';
        QTest::newRow("wrong CRC") << badCrc << "контрольная сумма";
        QTest::newRow("picture too large a file")
            << makeZip({{"data.xml", doc}, {"image.jpg", QByteArray(3 * 1024 * 1024, '\xff'), true}})
            << "Рисунок image.jpg слишком большой: 3145728 байт, а допускается не больше 2097152.";
        QTest::newRow("bomb in many entries") << makeZip({{"a", QByteArray(15 * 1024 * 1024, '\0'), true},
                                                          {"b", QByteArray(15 * 1024 * 1024, '\0'), true},
                                                          {"c", QByteArray(15 * 1024 * 1024, '\0'), true}})
                                              << "Файлы в пакете вместе слишком большие: больше 33554432 байт.";
    }
    void hostileArchives()
    {
        QFETCH(QByteArray, zip);
        QFETCH(QString, problem);
        QElapsedTimer timer;
        timer.start();
        const save::ReadResult read = save::readPackageBytes(zip);
        QVERIFY2(!read.contents, qPrintable(problem));
        QCOMPARE(read.problems.size(), 1);
        const QString text = save::readProblemText(read.problems[0]);
        QVERIFY2(text.contains(problem), qPrintable(text));
        QVERIFY(text.endsWith('.'));
    }

    // A stored entry whose bytes changed after it was written fails its CRC,
    // whichever entry it is and wherever the byte stands.
    void changedStoredByte_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("eighths");
        for (const char *entry : {"data.xml", "image.jpg"})
            for (int eighths : {0, 3, 7})
                QTest::addRow("%s at %d/8", entry, eighths) << QString::fromLatin1(entry) << eighths;
    }
    void changedStoredByte()
    {
        QFETCH(QString, entry);
        QFETCH(int, eighths);
        const QByteArray doc = document(fullPassport());
        const QByteArray jpeg = jpegOf(300, 225);
        QByteArray zip = package(doc, jpeg);
        const QByteArray &data = entry == "data.xml" ? doc : jpeg;
        const qsizetype at = zip.indexOf(data) + data.size() * eighths / 8;
        QVERIFY(at >= zip.indexOf(data));
        zip[at] = char(zip[at] ^ 0x01);
        const save::ZipReadResult read = save::readZipEntries(zip, save::kMaxDocumentSize);
        QCOMPARE(read.entries.size(), 0);
        QCOMPARE(read.problems.size(), 1);
        QCOMPARE(read.problems[0].code, save::ReadProblemCode::EntryCrc);
        QCOMPARE(read.problems[0].name, entry);
    }

    // The verification's own reading: entries in order, with their CRCs.
    void zipEntries()
    {
        const QByteArray zip = save::zipStored({{"b.txt", "bee"}, {"a.txt", ""}}).value();
        const save::ZipReadResult read = save::readZipEntries(zip);
        QCOMPARE(read.problems, save::ReadProblems());
        QCOMPARE(read.entries.size(), 2);
        QCOMPARE(read.entries[0].name, QStringLiteral("b.txt"));
        QCOMPARE(read.entries[0].data, QByteArray("bee"));
        QCOMPARE(read.entries[0].crc, 0x9140cc69u); // the CRC-32 of "bee"
        QVERIFY(read.entries[0].stored);
        QCOMPARE(read.entries[1].data, QByteArray());
        QVERIFY(!save::readZipEntries(zip, 2).problems.isEmpty());
        QVERIFY(!save::readZipEntries(zip, 100, 1).problems.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestZipArchive)
#include "test_zip_archive.moc"
