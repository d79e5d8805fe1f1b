// The committee's tool as a careful, hostile user tries it: private lists
// stay private when the run is interrupted, inputs are never written over,
// a planted list of pages removes nothing foreign, links lead nowhere they
// should not, two runs do not share a pages folder, and every name of a
// package gets its line.

#include "check_tool_fixture.h"

#include <QDirIterator>
#include <QStandardPaths>
#include <csignal>
#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

using namespace check_test;

namespace {

int modeOf(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Every file below the folder, hidden ones included, with its mode.
QMap<QString, int> modesBelow(const QString &folder)
{
    QMap<QString, int> modes;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        modes.insert(QDir(folder).relativeFilePath(path), modeOf(path));
    }
    return modes;
}

QStringList freshFiles(const QMap<QString, int> &modes)
{
    QStringList fresh;
    for (auto it = modes.cbegin(); it != modes.cend(); ++it)
        if (it.key().contains(QStringLiteral(".tirlada-")) && it.key().endsWith(QStringLiteral(".tmp")))
            fresh.append(it.key());
    return fresh;
}

// Broken packages under long names, enough that their report fills a pipe
// that nobody reads: the run then waits in its middle, with its outputs
// open, for as long as the test needs.
void writeManyBroken(const QString &folder)
{
    const QString stem(180, QLatin1Char('z'));
    for (int i = 0; i < 500; ++i)
        QVERIFY(writeBytes(folder + QStringLiteral("/%1%2.kwp").arg(stem).arg(i, 4, 10, QLatin1Char('0')), "x"));
}

// A run whose report nobody reads: started, and waited for until its first
// line, by which time its outputs are open and its pages folder locked.
std::unique_ptr<QProcess> startHeldRun(const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->start(QStringLiteral(TIRLADA_CHECK), arguments);
    if (!process->waitForStarted() || !process->waitForReadyRead(60000))
        return nullptr;
    return process;
}

} // namespace

class TestCheckSafety : public CheckToolFixture {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ::umask(022);
        makePackages();
    }

    // Interrupted in its middle, the run removes its fresh files and leaves
    // each output old and whole. While it runs, the fresh file beside a
    // private list is private too.
    void interruptedRun_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("Ctrl+C") << int(SIGINT) << 130;
        QTest::newRow("kill") << int(SIGTERM) << 143;
        QTest::newRow("terminal closed") << int(SIGHUP) << 129;
    }
    void interruptedRun()
    {
        QFETCH(int, signal);
        QFETCH(int, status);
        QTemporaryDir temp;
        const QString out = temp.filePath(QStringLiteral("out"));
        const QString csv = out + QStringLiteral("/list.csv");
        const QString pages = out + QStringLiteral("/pages");
        const Ran first = runTool({sound, QStringLiteral("--participants"), csv, QStringLiteral("--html"), pages});
        QCOMPARE(first.status, 0);
        QVERIFY(::chmod(QFile::encodeName(csv).constData(), 0600) == 0);
        const QByteArray list = readBytes(csv);
        const QByteArray index = readBytes(pages + QStringLiteral("/index.html"));

        const QString season = temp.filePath(QStringLiteral("season"));
        QVERIFY(writeBytes(season + QStringLiteral("/a.kwp"), readBytes(sound + QStringLiteral("/Лето.kwp"))));
        writeManyBroken(season);
        const auto run = startHeldRun({season, QStringLiteral("--participants"), csv, QStringLiteral("--html"), pages});
        QVERIFY(run);
        QMap<QString, int> modes = modesBelow(out);
        const QStringList fresh = freshFiles(modes);
        QVERIFY2(!fresh.isEmpty(), qPrintable(QStringList(modes.keys()).join(u' ')));
        for (const QString &name : fresh)
            QVERIFY2(modes.value(name) == 0600, qPrintable(name + QStringLiteral(" %1").arg(modes.value(name), 0, 8)));

        ::kill(pid_t(run->processId()), signal);
        QVERIFY(run->waitForFinished(60000));
        QCOMPARE(run->exitStatus(), QProcess::NormalExit);
        QCOMPARE(run->exitCode(), status);
        modes = modesBelow(out);
        QCOMPARE(freshFiles(modes), QStringList());
        QCOMPARE(readBytes(csv), list);
        QCOMPARE(readBytes(pages + QStringLiteral("/index.html")), index);
        for (auto it = modes.cbegin(); it != modes.cend(); ++it)
            QVERIFY2(it.value() == (it.key() == QStringLiteral("list.csv") ? 0600 : 0644),
                     qPrintable(it.key() + QStringLiteral(" %1").arg(it.value(), 0, 8)));
    }

    // No input is ever an output: the registrations, the list of paths, a
    // package, a package's folder. Refused before anything is written.
    void inputsAreNotOutputs_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("target"); // the output, named as an input
        QTest::addColumn<QString>("input");  // what the message names
        QTest::newRow("list over registrations") << "--participants"
                                                 << "reg.csv"
                                                 << "файла регистрации";
        QTest::newRow("list over the list of paths") << "--participants"
                                                     << "paths.txt"
                                                     << "списка путей";
        QTest::newRow("registrations report over registrations") << "--registrations-report"
                                                                 << "reg.csv"
                                                                 << "файла регистрации";
        QTest::newRow("registrations report over a package") << "--registrations-report"
                                                             << "season/a.kwp"
                                                             << "проверяемого пакета";
        QTest::newRow("list over a package's folder") << "--participants"
                                                      << "season"
                                                      << "папки с пакетами";
    }
    void inputsAreNotOutputs()
    {
        QFETCH(QString, option);
        QFETCH(QString, target);
        QFETCH(QString, input);
        QTemporaryDir temp;
        const QString season = temp.filePath(QStringLiteral("season"));
        QVERIFY(writeBytes(season + QStringLiteral("/a.kwp"), readBytes(sound + QStringLiteral("/Лето.kwp"))));
        const QString registrations = temp.filePath(QStringLiteral("reg.csv"));
        QVERIFY(writeBytes(registrations, "ID;Фамилия;Имя;Отчество\n"));
        const QString paths = temp.filePath(QStringLiteral("paths.txt"));
        QVERIFY(writeBytes(paths, QFile::encodeName(season) + '\n'));
        const QMap<QString, QByteArray> before{
            {registrations, readBytes(registrations)},
            {paths, readBytes(paths)},
            {season + QStringLiteral("/a.kwp"), readBytes(season + QStringLiteral("/a.kwp"))}};
        const Ran ran = runTool({QStringLiteral("--files-from"), paths, QStringLiteral("--registrations"),
                                 registrations, option, temp.filePath(target)});
        QCOMPARE(ran.status, 2);
        QCOMPARE(ran.out, QString());
        QVERIFY2(ran.err.contains(input), qPrintable(ran.err));
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(readBytes(it.key()), it.value());
        QVERIFY(QFileInfo(season).isDir());
    }

    // A list of pages planted in a season folder that is also the pages
    // folder: only pages that the list names are removed, never a package
    // or this run's own list.
    void plantedPagesList()
    {
        QTemporaryDir temp;
        const QString season = temp.filePath(QStringLiteral("season"));
        const QByteArray package = readBytes(sound + QStringLiteral("/Лето.kwp"));
        QVERIFY(writeBytes(season + QStringLiteral("/a.kwp"), package));
        QVERIFY(writeBytes(season + QStringLiteral("/b.kwp"), "not a package, but the user's file"));
        QVERIFY(writeBytes(season + QStringLiteral("/list.csv"), "old list"));
        QVERIFY(writeBytes(season + QStringLiteral("/notes.txt"), "the user's notes"));
        QVERIFY(writeBytes(season + QStringLiteral("/old.html"), "a page of an earlier run"));
        QVERIFY(writeBytes(season + QStringLiteral("/.tirlada-check-pages"),
                           "b.kwp\nlist.csv\nnotes.txt\n../outside.html\nold.html\n"));
        const Ran ran =
            runTool({season + QStringLiteral("/a.kwp"), season + QStringLiteral("/b.kwp"), QStringLiteral("--html"),
                     season, QStringLiteral("--participants"), season + QStringLiteral("/list.csv")});
        QCOMPARE(ran.status, 1);
        QCOMPARE(readBytes(season + QStringLiteral("/b.kwp")), QByteArray("not a package, but the user's file"));
        QCOMPARE(readBytes(season + QStringLiteral("/notes.txt")), QByteArray("the user's notes"));
        QVERIFY(readBytes(season + QStringLiteral("/list.csv")).startsWith("\xEF\xBB\xBF"));
        QVERIFY(!QFile::exists(season + QStringLiteral("/old.html")));
        QVERIFY(QFile::exists(season + QStringLiteral("/a.html")));
        for (const char *line : {"b.kwp", "list.csv", "notes.txt", "../outside.html"})
            QVERIFY2(ran.err.contains(QStringLiteral("пропущена строка «%1»").arg(QLatin1String(line))),
                     qPrintable(ran.err));
    }

    // A link to a folder is not followed: nothing outside the season folder
    // is checked or published, and the link gets a line. A link named *.kwp
    // to a file is checked.
    void links()
    {
        QTemporaryDir temp;
        const QString season = temp.filePath(QStringLiteral("school/season"));
        const QByteArray package = readBytes(sound + QStringLiteral("/Лето.kwp"));
        QVERIFY(writeBytes(season + QStringLiteral("/a.kwp"), package));
        QVERIFY(writeBytes(temp.filePath(QStringLiteral("outside/secret.kwp")), package));
        QVERIFY(QFile::link(QStringLiteral("../../outside"), season + QStringLiteral("/out")));
        QVERIFY(QFile::link(QStringLiteral("/"), season + QStringLiteral("/root")));
        QVERIFY(QFile::link(temp.filePath(QStringLiteral("outside/secret.kwp")), season + QStringLiteral("/l.kwp")));
        const QString pages = temp.filePath(QStringLiteral("pages"));
        const Ran ran = runTool({season, QStringLiteral("--html"), pages});
        QCOMPARE(ran.status, 0);
        QCOMPARE(lines(ran.out),
                 (QStringList{season + QStringLiteral("/a.kwp: OK"), season + QStringLiteral("/l.kwp: OK"),
                              season + QStringLiteral("/out: ссылка на папку не просматривается"),
                              season + QStringLiteral("/root: ссылка на папку не просматривается")}));
        QVERIFY(!ran.out.contains(QStringLiteral("secret")));
        QCOMPARE(lines(ran.err).last(),
                 QStringLiteral("Проверено 2 пакета: без замечаний 2, с замечаниями 0, не прочитано 0."));
        QVERIFY(!QFile::exists(pages + QStringLiteral("/secret.html")));
    }

    // --participants given a link writes the file it leads to, keeping its
    // mode, as an editor does.
    void participantsThroughALink()
    {
        QTemporaryDir temp;
        const QString target = temp.filePath(QStringLiteral("private/list.csv"));
        QVERIFY(writeBytes(target, "old"));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0600) == 0);
        const QString link = temp.filePath(QStringLiteral("list.csv"));
        QVERIFY(QFile::link(target, link));
        const Ran ran = runTool({sound, QStringLiteral("--participants"), link});
        QCOMPARE(ran.status, 0);
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(readBytes(target).startsWith("\xEF\xBB\xBF"));
        QCOMPARE(modeOf(target), 0600);
    }

    // Two runs into one pages folder: the second is refused at once and
    // names the folder; once the first has gone, the folder is free.
    void twoRunsIntoOnePagesFolder()
    {
        QTemporaryDir temp;
        const QString season = temp.filePath(QStringLiteral("season"));
        writeManyBroken(season);
        const QString pages = temp.filePath(QStringLiteral("pages"));
        const auto first = startHeldRun({season, sound, QStringLiteral("--html"), pages});
        QVERIFY(first);
        const Ran second = runTool({sound, QStringLiteral("--html"), pages});
        QCOMPARE(second.status, 2);
        QCOMPARE(second.out, QString());
        QVERIFY2(second.err.contains(QStringLiteral("папка страниц «%1» занята").arg(pages)), qPrintable(second.err));
        QCOMPARE(first->state(), QProcess::Running);
        ::kill(pid_t(first->processId()), SIGTERM);
        QVERIFY(first->waitForFinished(60000));
        QCOMPARE(first->exitCode(), 143);

        const Ran third = runTool({sound, QStringLiteral("--html"), pages});
        QCOMPARE(third.status, 0);
        QCOMPARE(QDir(pages).entryList({QStringLiteral("*-2.html")}), QStringList());
    }

    // A hard link and a link to a package: each name gets its line, saying
    // which name it shares its file with, and the file counts once.
    void severalNamesOfOnePackage()
    {
        QTemporaryDir temp;
        const QString season = temp.filePath(QStringLiteral("season"));
        QVERIFY(writeBytes(season + QStringLiteral("/a.kwp"), readBytes(sound + QStringLiteral("/Лето.kwp"))));
        QVERIFY(::link(QFile::encodeName(season + QStringLiteral("/a.kwp")).constData(),
                       QFile::encodeName(season + QStringLiteral("/b.kwp")).constData())
                == 0);
        QVERIFY(QFile::link(QStringLiteral("a.kwp"), season + QStringLiteral("/c.kwp")));
        const Ran ran = runTool({season});
        QCOMPARE(ran.status, 0);
        const QString first = season + QStringLiteral("/a.kwp");
        QCOMPARE(lines(ran.out),
                 (QStringList{first + QStringLiteral(": OK"),
                              season + QStringLiteral("/b.kwp: OK (тот же файл, что «%1»)").arg(first),
                              season + QStringLiteral("/c.kwp: OK (тот же файл, что «%1»)").arg(first)}));
        QCOMPARE(lines(ran.err).last(),
                 QStringLiteral("Проверено 1 пакет: без замечаний 1, с замечаниями 0, не прочитано 0."));
    }

    // Before the run reports success and before each rename, the file
    // reaches the disk; after the renames, its folder does.
    void outputsReachTheDisk()
    {
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed (scripts/install-deps.sh test)");
        QTemporaryDir temp;
        const QString csv = temp.filePath(QStringLiteral("list.csv"));
        const QString pages = temp.filePath(QStringLiteral("pages"));
        const QString log = temp.filePath(QStringLiteral("strace.log"));
        QProcess process;
        // LeakSanitizer cannot run under a tracer: in a sanitizer build the
        // tool would end with a failure of its own after its work is done.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        process.setProcessEnvironment(environment);
        process.start(strace,
                      {QStringLiteral("-f"), QStringLiteral("-y"), QStringLiteral("-o"), log, QStringLiteral("-e"),
                       QStringLiteral("trace=fsync,fdatasync,rename,renameat,renameat2"), QStringLiteral(TIRLADA_CHECK),
                       sound, QStringLiteral("--participants"), csv, QStringLiteral("--html"), pages});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 0);
        const QStringList calls = QString::fromUtf8(readBytes(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QSet<QString> synced;
        qsizetype renames = 0;
        // Where each final name was renamed into place.
        QMap<QString, qsizetype> renamedAt;
        for (qsizetype i = 0; i < calls.size(); ++i) {
            const QString &call = calls[i];
            // A call cut by another thread's shows its arguments on its first
            // line ("<unfinished ...>"); the line that ends it has none.
            if (call.contains(QStringLiteral("resumed>")))
                continue;
            const qsizetype open = call.indexOf(QLatin1Char('<'));
            if (call.contains(QStringLiteral("fsync(")) && open >= 0)
                synced.insert(call.mid(open + 1, call.indexOf(QLatin1Char('>'), open) - open - 1));
            if (call.contains(QStringLiteral("rename"))) {
                const QStringList quoted = call.split(QLatin1Char('"'));
                QVERIFY2(quoted.size() >= 4, qPrintable(call));
                QVERIFY2(synced.contains(quoted[1]), qPrintable(call));
                renamedAt[quoted[3]] = i;
                ++renames;
            }
        }
        // The list, the index, two pages and a picture, the pages list twice.
        QVERIFY2(renames >= 7, qPrintable(calls.join(u'\n')));
        // After the last rename into a folder, the folder itself.
        auto folderSyncedAfter = [&](const QString &folder, qsizetype from) {
            for (qsizetype i = from; i < calls.size(); ++i)
                if (calls[i].contains(QStringLiteral("fsync(")) && calls[i].contains(u'<' + folder + u'>'))
                    return true;
            return false;
        };
        QVERIFY(renamedAt.contains(csv));
        QVERIFY2(folderSyncedAfter(temp.path(), renamedAt.value(csv)), qPrintable(calls.join(u'\n')));
        qsizetype lastPage = -1;
        for (auto it = renamedAt.cbegin(); it != renamedAt.cend(); ++it)
            if (it.key().startsWith(pages + u'/'))
                lastPage = std::max(lastPage, it.value());
        QVERIFY(lastPage >= 0);
        QVERIFY2(folderSyncedAfter(pages, lastPage), qPrintable(calls.join(u'\n')));
    }

    // The smaller points: a socket's line in Russian; --participants naming
    // a folder and --html on a broken link are refused before any package
    // is checked, with the reason.
    void refusalsInWords()
    {
        QTemporaryDir temp;
        const QString socketPath = temp.filePath(QStringLiteral("s.kwp"));
        const int handle = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(socketPath);
        QVERIFY(size_t(name.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        QVERIFY(::bind(handle, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        const Ran socketRun = runTool({socketPath});
        ::close(handle);
        QCOMPARE(socketRun.out, socketPath + QStringLiteral(": это сокет, а не файл пакета\n"));

        const Ran folder = runTool({sound, QStringLiteral("--participants"), temp.path()});
        QCOMPARE(folder.status, 2);
        QCOMPARE(folder.out, QString());
        QVERIFY2(folder.err.contains(QStringLiteral("это папка")), qPrintable(folder.err));

        const QString dangling = temp.filePath(QStringLiteral("site"));
        QVERIFY(QFile::link(temp.filePath(QStringLiteral("nowhere")), dangling));
        const Ran html = runTool({sound, QStringLiteral("--html"), dangling});
        QCOMPARE(html.status, 2);
        QCOMPARE(html.out, QString());
        QVERIFY2(html.err.contains(QStringLiteral("ссылка на то, чего нет: нет такого файла или папки")),
                 qPrintable(html.err));
    }
};

QTEST_MAIN(TestCheckSafety)
#include "test_check_safety.moc"
