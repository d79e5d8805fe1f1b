// The tirlada-check program as the committee runs it: without a display, its
// exit status, its usage errors, and how it finds the packages (below
// folders, in lists, by names that are not UTF-8).

#include "check_tool_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

using namespace check_test;

class TestCheckTool : public CheckToolFixture {
    Q_OBJECT

private slots:
    void initTestCase() { makePackages(); }

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
        QCOMPARE(report.size(), 7);
        QCOMPARE(report[0], root + QStringLiteral("/.hidden/b.kwp: OK"));
        QCOMPARE(report[1], root + QStringLiteral("/a.kwp: OK"));
        QCOMPARE(report[2], root + QStringLiteral("/gone.kwp: не открывается: нет такого файла или папки"));
        QCOMPARE(report[3], root + QStringLiteral("/pipe.kwp: это канал, а не файл пакета"));
        QVERIFY2(report[4].startsWith(root + QStringLiteral("/sub/._c.KWP: ")), qPrintable(report[4]));
        // A link to a folder is named, not followed, and counts for nothing.
        QCOMPARE(report[5], root + QStringLiteral("/sub/loop: ссылка на папку не просматривается"));
        QCOMPARE(report[6], root + QStringLiteral("/\\xc2\\xe5\\xf1\\xed\\xe0.kwp: OK"));
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
};

QTEST_MAIN(TestCheckTool)
#include "test_check_tool.moc"
