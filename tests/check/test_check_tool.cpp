// The tirlada-check program as the committee runs it: without a display, its
// exit status, its usage errors, the participants' list read back by
// Python's csv module, and the pages read by headless Chromium.

#include "check_fixtures.h"
#include "chromium.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Runs the program through bash, for what only a shell gives: arguments of
// bytes that are not UTF-8, and a pipe whose reader goes away. The tool's
// exit status is the last line on stderr.
Ran runInBash(const QString &script, const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("bash"),
                  QStringList{QStringLiteral("-c"), script, QStringLiteral(TIRLADA_CHECK)} + arguments);
    Ran ran;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return ran;
    ran.out = QString::fromUtf8(process.readAllStandardOutput());
    ran.err = QString::fromUtf8(process.readAllStandardError());
    QStringList lines = ran.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        ran.status = lines.takeLast().toInt();
    ran.err = lines.join(QLatin1Char('\n'));
    return ran;
}

// Writes a file under a name of bytes that need not be UTF-8.
bool writeByName(const QByteArray &path, const QByteArray &bytes)
{
    const int handle = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (handle < 0)
        return false;
    const bool written = ::write(handle, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(handle) == 0 && written;
}

bool makeFifo(const QString &path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }

QStringList lines(const QString &text) { return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

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
        QCOMPARE(good.err, QStringLiteral("Проверено 2 пакета: без замечаний 2, с замечаниями 0, не прочитано 0.\n"));

        const Ran bad = runTool({QStringLiteral("-j1"), broken, sound});
        QCOMPARE(bad.status, 1);
        const QStringList report = lines(bad.out);
        QCOMPARE(report.size(), 3);
        QVERIFY2(report[0].startsWith(broken + QStringLiteral(": ")) && !report[0].endsWith(QStringLiteral("OK")),
                 qPrintable(report[0]));
        QCOMPARE(report[1], sound + QStringLiteral("/Весна #1.kwp: OK"));
        QCOMPARE(lines(bad.err).last(),
                 QStringLiteral("Проверено 3 пакета: без замечаний 2, с замечаниями 1, не прочитано 0."));

        // Something that cannot be read makes the check incomplete, whatever
        // else is found.
        const QString fifo = dir.filePath(QStringLiteral("status-pipe.kwp"));
        QVERIFY(makeFifo(fifo));
        const Ran incomplete = runTool({broken, fifo, sound});
        QCOMPARE(incomplete.status, 2);
        QVERIFY2(incomplete.out.contains(fifo + QStringLiteral(": это канал, а не файл пакета\n")),
                 qPrintable(incomplete.out));
        QCOMPARE(lines(incomplete.err).last(),
                 QStringLiteral("Проверено 4 пакета: без замечаний 2, с замечаниями 1, не прочитано 1."));
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
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(QString::fromUtf8(process.readAllStandardError())
                    .contains(QStringLiteral("tirlada-check: не удалось записать отчёт в стандартный вывод: на диске "
                                             "нет места")));
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
        QTest::newRow("unknown format") << QStringList{QStringLiteral("--format=xml"), QStringLiteral("x")}
                                        << QStringLiteral("text или jsonl");
        QTest::newRow("-0 without a list")
            << QStringList{QStringLiteral("-0"), QStringLiteral("x")} << QStringLiteral("--files-from");
        QTest::newRow("list of paths missing")
            << QStringList{QStringLiteral("--files-from"), QStringLiteral("/nonexistent/list")}
            << QStringLiteral("список путей");
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
             {"Использование: tirlada-check", "--participants ФАЙЛ", "--html ПАПКА", "--jobs N", "Код завершения",
              "--registrations ФАЙЛ", "--format ВИД", "jsonl", "-q, --quiet", "--files-from ФАЙЛ", "-0, --null",
              "2 — ошибка в параметрах, или что-то не удалось прочитать или записать"})
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

    // Nothing below a folder is passed over in silence: hidden files and
    // folders, a name in Windows-1251, a pipe and a broken link named
    // "*.kwp" each get a line; a link back up does not loop.
    void walkReportsEverything()
    {
        QTemporaryDir temp;
        const QString root = temp.filePath(QStringLiteral("season"));
        const QByteArray sound = packageBytes(soundPassport());
        QVERIFY(writeBytes(root + QStringLiteral("/a.kwp"), sound));
        QVERIFY(writeBytes(root + QStringLiteral("/.hidden/b.kwp"), sound));
        QVERIFY(writeBytes(root + QStringLiteral("/sub/._c.KWP"), QByteArray("resource fork")));
        const QByteArray windowsName = QFile::encodeName(root) + "/\xc2\xe5\xf1\xed\xe0.kwp";
        QVERIFY(writeByName(windowsName, sound));
        QVERIFY(makeFifo(root + QStringLiteral("/pipe.kwp")));
        QVERIFY(QFile::link(root + QStringLiteral("/nowhere.kwp"), root + QStringLiteral("/gone.kwp")));
        QVERIFY(QFile::link(root, root + QStringLiteral("/sub/loop")));

        const Ran ran = runTool({QStringLiteral("-j2"), root});
        QCOMPARE(ran.status, 2);
        const QStringList report = lines(ran.out);
        QCOMPARE(report.size(), 6);
        QCOMPARE(report[0], root + QStringLiteral("/.hidden/b.kwp: OK"));
        QCOMPARE(report[1], root + QStringLiteral("/a.kwp: OK"));
        QCOMPARE(report[2], root + QStringLiteral("/gone.kwp: не открывается: нет такого файла или папки"));
        QCOMPARE(report[3], root + QStringLiteral("/pipe.kwp: это канал, а не файл пакета"));
        QVERIFY2(report[4].startsWith(root + QStringLiteral("/sub/._c.KWP: ")), qPrintable(report[4]));
        QCOMPARE(report[5], root + QStringLiteral("/\\xc2\\xe5\\xf1\\xed\\xe0.kwp: OK"));
        QCOMPARE(lines(ran.err).last(),
                 QStringLiteral("Проверено 6 пакетов: без замечаний 3, с замечаниями 1, не прочитано 2."));

        // The same name given directly is opened by its bytes.
        const Ran direct = runInBash(QStringLiteral("\"$0\" \"$1/$(printf '\\302\\345\\361\\355\\340.kwp')\"; "
                                                    "echo $? >&2"),
                                     {root});
        QCOMPARE(direct.out, root + QStringLiteral("/\\xc2\\xe5\\xf1\\xed\\xe0.kwp: OK\n"));
        QCOMPARE(direct.status, 0);
    }

    // A folder that cannot be read is named with the reason, below a folder
    // and given directly; the check is then incomplete.
    void unreadableFolder()
    {
        QStringList prefix;
        if (::geteuid() == 0) {
            // Permissions do not stop root: the tool runs as nobody.
            const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (setpriv.isEmpty())
                QSKIP("running as root without setpriv");
            prefix = {setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                      QStringLiteral("--clear-groups")};
        }
        QTemporaryDir temp;
        QVERIFY(QFile::setPermissions(temp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                       | QFile::ReadOther | QFile::ExeOther));
        const QString root = temp.filePath(QStringLiteral("season"));
        QVERIFY(writeBytes(root + QStringLiteral("/a.kwp"), packageBytes(soundPassport())));
        QVERIFY(writeBytes(root + QStringLiteral("/locked/b.kwp"), packageBytes(soundPassport())));
        for (const QString &path : {root, root + QStringLiteral("/a.kwp")})
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(root + QStringLiteral("/locked")).constData(), 0) == 0);

        auto runAs = [&](const QStringList &arguments) {
            QProcess process;
            if (prefix.isEmpty())
                process.start(QStringLiteral(TIRLADA_CHECK), arguments);
            else
                process.start(prefix[0], prefix.mid(1) + QStringList{QStringLiteral(TIRLADA_CHECK)} + arguments);
            Ran ran;
            if (process.waitForFinished(120000)) {
                ran.status = process.exitCode();
                ran.out = QString::fromUtf8(process.readAllStandardOutput());
                ran.err = QString::fromUtf8(process.readAllStandardError());
            }
            return ran;
        };
        const Ran below = runAs({root});
        QCOMPARE(below.status, 2);
        QCOMPARE(lines(below.out), (QStringList{root + QStringLiteral("/a.kwp: OK"),
                                                root + QStringLiteral("/locked: папка не читается: нет доступа")}));
        const Ran direct = runAs({root + QStringLiteral("/locked")});
        QCOMPARE(direct.status, 2);
        QCOMPARE(direct.out, root + QStringLiteral("/locked: папка не читается: нет доступа\n"));
        QVERIFY2(!direct.err.contains(QStringLiteral("не найдены")), qPrintable(direct.err));
        QVERIFY(::chmod(QFile::encodeName(root + QStringLiteral("/locked")).constData(), 0755) == 0);
    }

    // For scripts: JSON Lines, only the packages with problems, paths from a
    // list (NUL-separated, or lines on stdin).
    void scripting()
    {
        QTemporaryDir temp;
        const QByteArray windowsName = QFile::encodeName(sound) + "/\xc2\xe5\xf1\xed\xe0: 1.kwp";
        QVERIFY(writeByName(windowsName, readBytes(sound + QStringLiteral("/Лето.kwp"))));
        const QString list = temp.filePath(QStringLiteral("list"));
        QVERIFY(writeBytes(list, QFile::encodeName(broken) + '\0' + windowsName + '\0'));
        const Ran json = runTool({QStringLiteral("--files-from"), list, QStringLiteral("-0"),
                                  QStringLiteral("--format"), QStringLiteral("jsonl")});
        QCOMPARE(json.status, 1);
        const QStringList objects = lines(json.out);
        QCOMPARE(objects.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(objects[0].toUtf8()).object();
        QCOMPARE(first.value(QStringLiteral("path")).toString(), broken);
        QCOMPARE(first.value(QStringLiteral("ok")), QJsonValue(false));
        QCOMPARE(first.value(QStringLiteral("problems")).toArray().size(), 1);
        QCOMPARE(objects[1],
                 QStringLiteral("{\"path\": \"%1/\\\\xc2\\\\xe5\\\\xf1\\\\xed\\\\xe0: 1.kwp\", \"ok\": true, "
                                "\"problems\": []}")
                     .arg(sound));
        QVERIFY(::unlink(windowsName.constData()) == 0);

        const Ran quiet = runTool({QStringLiteral("-q"), broken, sound});
        QCOMPARE(quiet.status, 1);
        QCOMPARE(lines(quiet.out).size(), 1);
        QVERIFY(quiet.out.startsWith(broken + QStringLiteral(": ")));
        QCOMPARE(lines(quiet.err).last(),
                 QStringLiteral("Проверено 3 пакета: без замечаний 2, с замечаниями 1, не прочитано 0."));

        const Ran piped = runInBash(QStringLiteral("printf '%s\\r\\n\\n%s\\n' \"$1\" \"$2\" | \"$0\" --files-from -; "
                                                   "echo $? >&2"),
                                    {sound + QStringLiteral("/Лето.kwp"), sound});
        QCOMPARE(piped.status, 0);
        QCOMPARE(piped.out, sound + QStringLiteral("/Лето.kwp: OK\n") + sound + QStringLiteral("/Весна #1.kwp: OK\n"));
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

        // A package that is called like a page that an earlier run wrote.
        const QString pages = temp.filePath(QStringLiteral("pages"));
        const QString named = pages + QStringLiteral("/w.html");
        QVERIFY(writeBytes(named, bytes));
        QVERIFY(writeBytes(pages + QStringLiteral("/.tirlada-check-pages"), "w.html\n"));
        const Ran page = runTool({package, named, QStringLiteral("--html"), pages});
        QCOMPARE(page.status, 2);
        QVERIFY2(page.err.contains(QStringLiteral("страница «%1» записалась бы поверх проверяемого пакета").arg(named)),
                 qPrintable(page.err));
        QCOMPARE(readBytes(named), bytes);
        QVERIFY(!QFile::exists(pages + QStringLiteral("/index.html")));
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
        const QString records = QStringLiteral("Номер;Фамилия;Имя;Отчество\r\n"
                                               "%1;ПЕТРОВ;Петр;Петрович\r\n"
                                               "%2;Сидорова;Анна;Ивановнa\r\n")
                                    .arg(p.authors[0].Id, p.teachers[0].Id);
        const QString file = temp.filePath(QStringLiteral("reg.csv"));
        QStringEncoder cp1251("windows-1251");
        QVERIFY(writeBytes(file, cp1251.encode(records)));
        const QString csv = temp.filePath(QStringLiteral("list.csv"));
        const Ran ran = runTool({sound + QStringLiteral("/Лето.kwp"), QStringLiteral("--registrations"), file,
                                 QStringLiteral("--participants"), csv});
        QCOMPARE(ran.status, 1);
        QCOMPARE(ran.out, sound
                              + QStringLiteral("/Лето.kwp: руководитель 1 (ID %1): отчество в пакете «Ивановна», "
                                               "а при регистрации «Ивановнa»\n")
                                    .arg(p.teachers[0].Id));
        const QStringList rows = QString::fromUtf8(readBytes(csv)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows[0].endsWith(QStringLiteral(",Разделы,Совпадает с регистрацией")), qPrintable(rows[0]));
        QVERIFY2(rows[1].endsWith(QStringLiteral(",да")), qPrintable(rows[1]));
        QVERIFY2(rows[2].endsWith(QStringLiteral(",нет")), qPrintable(rows[2]));

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

QTEST_GUILESS_MAIN(TestCheckTool)
#include "test_check_tool.moc"
