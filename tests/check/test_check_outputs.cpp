// What tirlada-check writes beside its report: the participants' list read
// back by Python's csv module, the pages read by headless Chromium, the
// registration check, and outputs that must not replace what they should
// not.

#include "check_tool_fixture.h"
#include "chromium.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QStringEncoder>

using namespace check_test;

class TestCheckOutputs : public CheckToolFixture {
    Q_OBJECT

private slots:
    void initTestCase() { makePackages(); }

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

    // A reader that stops reading ("| head -1") does not stop the list and
    // the pages from being written.
    void closedReport()
    {
        QTemporaryDir temp;
        const QString season = temp.filePath(QStringLiteral("season"));
        for (int i = 0; i < 60; ++i)
            QVERIFY(writeBytes(season + QStringLiteral("/%1.kwp").arg(i, 2, 10, QLatin1Char('0')),
                               packageBytes(soundPassport(QStringLiteral("Работа %1").arg(i)))));
        const QString csv = temp.filePath(QStringLiteral("list.csv"));
        const QString pages = temp.filePath(QStringLiteral("pages"));
        const Ran ran =
            runInBash(QStringLiteral("\"$0\" -j1 \"$@\" | head -1 >/dev/null; echo \"${PIPESTATUS[0]}\" >&2"),
                      {season, QStringLiteral("--participants"), csv, QStringLiteral("--html"), pages});
        QCOMPARE(ran.status, 0);
        QCOMPARE(ran.err, QStringLiteral("Проверено 60 пакетов: без замечаний 60, с замечаниями 0, не прочитано 0."));
        QCOMPARE(readBytes(csv).count("\r\n"), qsizetype(1 + 60 * 4));
        QVERIFY(
            fromWindows1251(readBytes(pages + QStringLiteral("/index.html"))).contains(QStringLiteral("Работа 59")));
    }

    // An output that would replace an input is refused before anything is
    // written.
    void outputsNamingInputs()
    {
        QTemporaryDir temp;
        const QByteArray bytes = packageBytes(soundPassport());
        const QString package = temp.filePath(QStringLiteral("w.kwp"));
        QVERIFY(writeBytes(package, bytes));

        const Ran list = runTool({package, QStringLiteral("--participants"), package});
        QCOMPARE(list.status, 2);
        QCOMPARE(list.out, QString());
        QVERIFY2(list.err.contains(QStringLiteral("поверх проверяемого пакета")), qPrintable(list.err));
        QCOMPARE(readBytes(package), bytes);

        // A package that is called like a page that an earlier run wrote:
        // the list's line is not trusted, and the page gets another name.
        const QString pages = temp.filePath(QStringLiteral("pages"));
        const QString named = pages + QStringLiteral("/w.html");
        QVERIFY(writeBytes(named, bytes));
        QVERIFY(writeBytes(pages + QStringLiteral("/.tirlada-check-pages"), "w.html\n"));
        const Ran page = runTool({package, named, QStringLiteral("--html"), pages});
        QCOMPARE(page.status, 0);
        QVERIFY2(page.err.contains(QStringLiteral("пропущена строка «w.html»")), qPrintable(page.err));
        QCOMPARE(readBytes(named), bytes);
        QVERIFY(QFile::exists(pages + QStringLiteral("/w-2.html")));
    }

    // A pages folder keeps the user's own files; pages of packages that are
    // gone or no longer sound are removed; the index names each package
    // below the folder given; the list's folder is made.
    void pagesFolderKeepsUserFiles()
    {
        QTemporaryDir temp;
        const QString season = temp.filePath(QStringLiteral("season"));
        QVERIFY(
            writeBytes(season + QStringLiteral("/sub/dup.kwp"), packageBytes(soundPassport(QStringLiteral("Дубль")))));
        QVERIFY(
            writeBytes(season + QStringLiteral("/keep.kwp"), packageBytes(soundPassport(QStringLiteral("Другая")))));
        const QString pages = temp.filePath(QStringLiteral("pages"));
        QVERIFY(writeBytes(pages + QStringLiteral("/dup.jpg"), "the user's picture"));
        QVERIFY(writeBytes(pages + QStringLiteral("/notes.txt"), "the user's notes"));
        const QString csv = temp.filePath(QStringLiteral("new/deeper/list.csv"));

        const Ran first = runTool({season, QStringLiteral("--html"), pages, QStringLiteral("--participants"), csv});
        QCOMPARE(first.status, 0);
        QVERIFY(QFile::exists(csv));
        auto files = [&] { return QDir(pages).entryList(QDir::Files | QDir::Hidden, QDir::Name); };
        QCOMPARE(files(),
                 (QStringList{QStringLiteral(".tirlada-check-pages"), QStringLiteral("dup-2.html"),
                              QStringLiteral("dup-2.jpg"), QStringLiteral("dup.jpg"), QStringLiteral("index.html"),
                              QStringLiteral("keep.html"), QStringLiteral("keep.jpg"), QStringLiteral("notes.txt")}));
        QCOMPARE(readBytes(pages + QStringLiteral("/dup.jpg")), QByteArray("the user's picture"));
        const QString index = fromWindows1251(readBytes(pages + QStringLiteral("/index.html")));
        QVERIFY2(index.contains(QStringLiteral("<td>sub/dup.kwp</td>")), qPrintable(index));
        QVERIFY2(!index.contains(temp.path()), qPrintable(index));

        QVERIFY(writeBytes(season + QStringLiteral("/keep.kwp"), "broken now"));
        QVERIFY(QFile::remove(season + QStringLiteral("/sub/dup.kwp")));
        const Ran second = runTool({season, QStringLiteral("--html"), pages});
        QCOMPARE(second.status, 1);
        QCOMPARE(files(), (QStringList{QStringLiteral(".tirlada-check-pages"), QStringLiteral("dup.jpg"),
                                       QStringLiteral("index.html"), QStringLiteral("notes.txt")}));

        // An index.html that the tool did not write is never replaced.
        const QString other = temp.filePath(QStringLiteral("site"));
        QVERIFY(writeBytes(other + QStringLiteral("/index.html"), "the user's site"));
        const Ran refused = runTool({season, QStringLiteral("--html"), other});
        QCOMPARE(refused.status, 2);
        QCOMPARE(readBytes(other + QStringLiteral("/index.html")), QByteArray("the user's site"));
    }

    // The authors and supervisors against the registration records.
    void registrations()
    {
        QTemporaryDir temp;
        const PassportSnapshot p = soundPassport();
        // Лето.kwp holds the first author and the first supervisor.
        // Row 4: registered, and in no package.
        const QString records = QStringLiteral("Номер;Фамилия;Имя;Отчество\r\n"
                                               "%1;ПЕТРОВ;Петр;Петрович\r\n"
                                               "%2;Сидорова;Анна;Ивановнa\r\n"
                                               "100-000-316;Кузнецов;Илья;Ильич\r\n")
                                    .arg(p.authors[0].Id, p.teachers[0].Id);
        const QString file = temp.filePath(QStringLiteral("reg.csv"));
        QStringEncoder cp1251("windows-1251");
        QVERIFY(writeBytes(file, cp1251.encode(records)));
        const QString csv = temp.filePath(QStringLiteral("list.csv"));
        const QString missingList = temp.filePath(QStringLiteral("missing.csv"));
        const Ran ran =
            runTool({sound + QStringLiteral("/Лето.kwp"), QStringLiteral("--registrations"), file,
                     QStringLiteral("--participants"), csv, QStringLiteral("--registrations-report"), missingList});
        QCOMPARE(ran.status, 1);
        QCOMPARE(ran.out, sound
                              + QStringLiteral("/Лето.kwp: руководитель 1 (ID %1): отчество в пакете «Ивановна», "
                                               "а при регистрации «Ивановнa» (латинская буква «a» в «Ивановнa»)\n"
                                               "регистрация, строка 4: Кузнецов Илья Ильич (ID 100-000-316) нет ни "
                                               "в одном пакете\n")
                                    .arg(p.teachers[0].Id));
        QVERIFY2(ran.err.contains(QStringLiteral("строка 3: латинская буква «a» в «Ивановнa»")), qPrintable(ran.err));
        const QStringList rows = QString::fromUtf8(readBytes(csv)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows[0].endsWith(QStringLiteral(",Разделы,Совпадает с регистрацией")), qPrintable(rows[0]));
        QVERIFY2(rows[1].endsWith(QStringLiteral(",да")), qPrintable(rows[1]));
        QVERIFY2(rows[2].endsWith(QStringLiteral(",имя отличается")), qPrintable(rows[2]));
        QCOMPARE(readBytes(missingList),
                 "\xEF\xBB\xBF"
                     + QStringLiteral("Строка регистрации,ID участника,Фамилия,Имя,Отчество,Замечание\r\n"
                                      "4,100-000-316,Кузнецов,Илья,Ильич,нет ни в одном пакете\r\n")
                           .toUtf8());

        const Ran missing =
            runTool({sound, QStringLiteral("--registrations"), temp.filePath(QStringLiteral("none.csv"))});
        QCOMPARE(missing.status, 2);
        QCOMPARE(missing.out, QString());
        QVERIFY2(missing.err.startsWith(QStringLiteral("tirlada-check: файл регистрации")), qPrintable(missing.err));
        QVERIFY(writeBytes(file, "ID;Name\n1;2\n"));
        const Ran headers = runTool({sound, QStringLiteral("--registrations"), file});
        QCOMPARE(headers.status, 2);
        QVERIFY2(headers.err.contains(QStringLiteral("«Фамилия»")), qPrintable(headers.err));
    }
};

QTEST_MAIN(TestCheckOutputs)
#include "test_check_outputs.moc"
