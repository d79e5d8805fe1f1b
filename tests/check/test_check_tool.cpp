// The tirlada-check program as the committee runs it: without a display, its
// exit status, its usage errors, the participants' list read back by
// Python's csv module, and the pages read by headless Chromium.

#include "check_fixtures.h"
#include "chromium.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace check_test;

namespace {

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

// Runs the program with no display at all: no X, no Wayland, no Qt platform.
Ran runTool(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TIRLADA_CHECK), arguments);
    Ran ran;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return ran;
    ran.status = process.exitCode();
    ran.out = QString::fromUtf8(process.readAllStandardOutput());
    ran.err = QString::fromUtf8(process.readAllStandardError());
    return ran;
}

QString fromWindows1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

} // namespace

class TestCheckTool : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString sound;  // a folder of two sound packages
    QString broken; // one broken package

private slots:
    void initTestCase()
    {
        sound = dir.filePath(QStringLiteral("sound"));
        PassportSnapshot first = soundPassport(QStringLiteral("Весна <b>жирная</b> & \"кавычки\""));
        first.teachers[0].Surname = QStringLiteral("=HYPERLINK(\"http://example.org\")");
        first.authors[0].Name = QStringLiteral("Пётр, младший");
        QVERIFY(writeBytes(sound + QStringLiteral("/Весна #1.kwp"), packageBytes(first)));
        PassportSnapshot second = soundPassport(QStringLiteral("Лето"));
        second.hasPicture = false;
        second.picture = QImage();
        second.pictureCaption.clear();
        second.subjectSlots = {6, 0, 0, 0};
        second.authors.removeLast();
        second.teachers.removeLast();
        second.leaderIndex = 0;
        QVERIFY(writeBytes(sound + QStringLiteral("/Лето.kwp"), packageBytes(second)));
        broken = dir.filePath(QStringLiteral("broken.kwp"));
        QVERIFY(writeBytes(broken, QByteArray("not a zip")));
    }

    void exitStatus()
    {
        const Ran good = runTool({sound});
        QCOMPARE(good.status, 0);
        QCOMPARE(good.out, sound + QStringLiteral("/Весна #1.kwp: OK\n") + sound + QStringLiteral("/Лето.kwp: OK\n"));
        QCOMPARE(good.err, QString());

        const Ran bad = runTool({QStringLiteral("-j1"), broken, sound});
        QCOMPARE(bad.status, 1);
        const QStringList lines = bad.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(broken + QStringLiteral(": ")) && !lines[0].endsWith(QStringLiteral("OK")),
                 qPrintable(lines[0]));
        QCOMPARE(lines[1], sound + QStringLiteral("/Весна #1.kwp: OK"));
    }

    // A report that cannot be written is not a clean run.
    void reportToAFullDisk()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(TIRLADA_CHECK), {sound});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(
            QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("не удалось записать отчёт")));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing to check") << QStringList{} << QStringLiteral("не указаны пакеты");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus"), QStringLiteral("x")}
                                        << QStringLiteral("bogus");
        QTest::newRow("option without its value")
            << QStringList{QStringLiteral("x"), QStringLiteral("--html")} << QStringLiteral("--html");
        QTest::newRow("no threads") << QStringList{QStringLiteral("-j"), QStringLiteral("0"), QStringLiteral("x")}
                                    << QStringLiteral("число потоков");
        QTest::newRow("threads not a number")
            << QStringList{QStringLiteral("--jobs=many"), QStringLiteral("x")} << QStringLiteral("число потоков");
        QTest::newRow("list given twice")
            << QStringList{QStringLiteral("--participants"), QStringLiteral("a.csv"), QStringLiteral("--participants"),
                           QStringLiteral("b.csv"), QStringLiteral("x")}
            << QStringLiteral("--participants");
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Ran ran = runTool(arguments);
        QCOMPARE(ran.status, 2);
        QCOMPARE(ran.out, QString());
        QVERIFY2(ran.err.contains(message), qPrintable(ran.err));
        QVERIFY2(ran.err.contains(QStringLiteral("tirlada-check --help")), qPrintable(ran.err));
    }

    void helpAndVersionInRussian()
    {
        const Ran help = runTool({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        for (const char *fragment :
             {"Использование: tirlada-check", "--participants ФАЙЛ", "--html ПАПКА", "--jobs N", "Код завершения"})
            QVERIFY2(help.out.contains(QString::fromUtf8(fragment)), fragment);
        const Ran version = runTool({QStringLiteral("--version")});
        QCOMPARE(version.status, 0);
        QVERIFY2(version.out.startsWith(QStringLiteral("tirlada-check ")), qPrintable(version.out));
    }

    // The list read back by Python's csv module as a spreadsheet would: the
    // byte order mark first, every field whole, formulas defused.
    void participantsList()
    {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not on PATH");
        const QString csv = dir.filePath(QStringLiteral("out/list.csv"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("out"))));
        const Ran ran = runTool({broken, sound, QStringLiteral("--participants"), csv});
        QCOMPARE(ran.status, 1);
        const QByteArray bytes = readBytes(csv);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));

        QProcess reader;
        reader.start(python, {QStringLiteral("-c"),
                              QStringLiteral("import csv, json, sys\n"
                                             "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                                             "    print(json.dumps(list(csv.reader(f))))\n"),
                              csv});
        QVERIFY(reader.waitForFinished(60000));
        QCOMPARE(reader.exitCode(), 0);
        const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QStringList table;
        for (const QJsonValue &row : rows) {
            QStringList fields;
            for (const QJsonValue &field : row.toArray())
                fields.append(field.toString());
            table.append(fields.join(QLatin1Char('|')));
        }
        const PassportSnapshot p = soundPassport();
        const QString first = sound + QStringLiteral("/Весна #1.kwp");
        const QString second = sound + QStringLiteral("/Лето.kwp");
        const QString title = QStringLiteral("Весна <b>жирная</b> & \"кавычки\"");
        const QString sections = QStringLiteral("География; Литературоведение; Экология; В помощь учителю");
        const QStringList expected{
            QStringLiteral(
                "Пакет|Название работы|Роль|Номер|ID участника|Фамилия|Имя|Отчество|Получатель счёта|Разделы"),
            QStringList{first, title, QStringLiteral("автор"), QStringLiteral("1"), p.authors[0].Id,
                        QStringLiteral("Петров"), QStringLiteral("Пётр, младший"), QStringLiteral("Петрович"),
                        QString(), sections}
                .join(QLatin1Char('|')),
            QStringList{first, title, QStringLiteral("автор"), QStringLiteral("2"), p.authors[1].Id,
                        QStringLiteral("Иванова"), QStringLiteral("Мария"), QStringLiteral("Сергеевна"), QString(),
                        sections}
                .join(QLatin1Char('|')),
            QStringList{first, title, QStringLiteral("руководитель"), QStringLiteral("1"), p.teachers[0].Id,
                        QStringLiteral("'=HYPERLINK(\"http://example.org\")"), QStringLiteral("Анна"),
                        QStringLiteral("Ивановна"), QStringLiteral("нет"), sections}
                .join(QLatin1Char('|')),
            QStringList{first, title, QStringLiteral("руководитель"), QStringLiteral("2"), p.teachers[1].Id,
                        QStringLiteral("Кузнецов"), QStringLiteral("Иван"), QStringLiteral("Павлович"),
                        QStringLiteral("да"), sections}
                .join(QLatin1Char('|')),
            QStringList{second, QStringLiteral("Лето"), QStringLiteral("автор"), QStringLiteral("1"), p.authors[0].Id,
                        QStringLiteral("Петров"), QStringLiteral("Пётр"), QStringLiteral("Петрович"), QString(),
                        QStringLiteral("Лингвистика (русский и иностранные языки)")}
                .join(QLatin1Char('|')),
            QStringList{second, QStringLiteral("Лето"), QStringLiteral("руководитель"), QStringLiteral("1"),
                        p.teachers[0].Id, QStringLiteral("Сидорова"), QStringLiteral("Анна"),
                        QStringLiteral("Ивановна"), QStringLiteral("да"),
                        QStringLiteral("Лингвистика (русский и иностранные языки)")}
                .join(QLatin1Char('|')),
        };
        QCOMPARE(table, expected);
        // RFC 4180: CR LF after every row.
        QCOMPARE(bytes.count("\r\n"), qsizetype(expected.size()));
    }

    // The pages: one per sound package with its picture beside it, and an
    // index; Chromium shows the typed markup as text and loads the picture.
    void pagesInChromium()
    {
        const QString pages = dir.filePath(QStringLiteral("pages"));
        const Ran ran = runTool({broken, sound, QStringLiteral("--html"), pages});
        QCOMPARE(ran.status, 1);
        QCOMPARE(QDir(pages).entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("index.html"), QStringLiteral("Весна #1.html"),
                              QStringLiteral("Весна #1.jpg"), QStringLiteral("Лето.html")}));
        const QString index = fromWindows1251(readBytes(pages + QStringLiteral("/index.html")));
        QVERIFY2(index.contains(QStringLiteral("<a href=\"%D0%92%D0%B5%D1%81%D0%BD%D0%B0%20%231.html\">"
                                               "Весна &lt;b&gt;жирная&lt;/b&gt; &amp; &quot;кавычки&quot;</a>")),
                 qPrintable(index));
        QVERIFY(!index.contains(QStringLiteral("broken")));
        const QString page = fromWindows1251(readBytes(pages + QStringLiteral("/Весна #1.html")));
        QVERIFY(page.contains(QStringLiteral("<img src=\"%D0%92%D0%B5%D1%81%D0%BD%D0%B0%20%231.jpg\" border=\"1\"/>")));

        const QString chromium = tt::chromiumPath();
        if (chromium.isEmpty())
            QSKIP("chromium is not on PATH");
        bool ok = false;
        const QString dom = QString::fromUtf8(tt::runChromium(
            chromium, QStringLiteral("--dump-dom"), QUrl::fromLocalFile(pages + QStringLiteral("/index.html")), &ok));
        QVERIFY(ok);
        QVERIFY2(dom.contains(QStringLiteral("Весна &lt;b&gt;жирная&lt;/b&gt; &amp; \"кавычки\"</a>")),
                 qPrintable(dom));
        QVERIFY(!dom.contains(QStringLiteral("<b>")));
        QVERIFY(dom.contains(QStringLiteral("<td>География, Литературоведение, Экология, В помощь учителю</td>")));
        QVERIFY(dom.contains(QStringLiteral(">Лето</a></td><td>Лингвистика (русский и иностранные языки)</td>")));

        // The page's picture loads from its percent-encoded link: the red
        // 120 x 80 picture shows at 1:1.
        const QString shot = dir.filePath(QStringLiteral("shot.png"));
        tt::runChromium(chromium, QStringLiteral("--screenshot=") + shot,
                        QUrl::fromLocalFile(pages + QStringLiteral("/Весна #1.html")), &ok);
        QVERIFY(ok);
        QImage image;
        QVERIFY(image.load(shot));
        const int red = tt::redPixelCount(image);
        QVERIFY2(red >= 8800 && red <= 9800, qPrintable(QString::number(red)));
    }
};

QTEST_GUILESS_MAIN(TestCheckTool)
#include "test_check_tool.moc"
