#include "fixtures.h"
#include "save/data_document.h"
#include "save/package.h"
#include "tirlada_test.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// The texts the save shows, as the user reads them.
const QString kFolderErrorText = QStringLiteral("Ошибка сохранения паспорта.\nПаспорт работы не сохранен.");
const QString kArchiveErrorText = QStringLiteral("Ошибка записи файла на диск.\nПаспорт работы не сохранен.");

using tt::person;

constexpr qint64 kTime = 1233446400;
const QString kFolderName = QStringLiteral("Passport_1233446400");

struct Entry {
    QString name;
    qint64 size = -1;
    qint64 packed = -1;
    QString method;
};

QByteArray run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        qFatal("%s did not finish", qPrintable(program));
    if (exitCode)
        *exitCode = process.exitCode();
    return process.readAllStandardOutput();
}

// The package's entries as unzip lists them.
QList<Entry> entries(const QString &package)
{
    int code = -1;
    const QString listing = QString::fromUtf8(run("unzip", {"-v", package}, &code));
    QList<Entry> result;
    if (code != 0)
        return result;
    static const QRegularExpression line(R"(^\s*(\d+)\s+(\S+)\s+(\d+)\s+\S+%\s+\S+\s+\S+\s+[0-9a-f]{8}\s+(.+)$)");
    for (const QString &text : listing.split('\n')) {
        const auto match = line.match(text);
        if (match.hasMatch())
            result.append({match.captured(4).trimmed(), match.captured(1).toLongLong(), match.captured(3).toLongLong(),
                           match.captured(2)});
    }
    return result;
}

QStringList entryNames(const QString &package)
{
    QStringList names;
    for (const Entry &e : entries(package))
        names.append(e.name);
    names.sort();
    return names;
}

QByteArray entryContent(const QString &package, const QString &name) { return run("unzip", {"-p", package, name}); }

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A small program standing in for the archiver.
QString writeScript(const QString &path, const QByteArray &body)
{
    writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class TestSavePackage : public QObject {
    Q_OBJECT

    std::unique_ptr<tt::Session> session;
    std::unique_ptr<QTemporaryDir> temp; // the system's temporary folder, as the save sees it
    std::unique_ptr<QTemporaryDir> out;  // where the user saves packages

    QString tempPath(const QString &name = QString()) const { return QDir(temp->path()).filePath(name); }
    QString outPath(const QString &name) const { return QDir(out->path()).filePath(name); }

    QStringList workingFolders() const
    {
        return QDir(temp->path()).entryList({"Passport_*"}, QDir::AllEntries | QDir::System | QDir::Hidden);
    }
    QStringList outEntries() const
    {
        QStringList names =
            QDir(out->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }

    void fillComplete()
    {
        session->control<QLineEdit>("title")->setText(QStringLiteral(" Весна & лето"));
        session->control<QPlainTextEdit>("description")->setPlainText(QStringLiteral("Стихи\nо весне"));
        session->control<QLineEdit>("public_email")->setText(QStringLiteral("school@example.ru"));
        session->setSubjectSlots({7, 22, 0, 0});
        session->setParticipants({person("101-202-303", "Петров", "Пётр", "Петрович")},
                                 {person("111-222-333", "Сидорова", "Анна", "Ивановна"),
                                  person("444-555-666", "Кузнецов", "Иван", "Павлович")},
                                 1);
    }

    // Runs one save with the given answer in the save dialog.
    void save(const QString &packagePath)
    {
        gui::modal::testing::queueFileName(packagePath);
        session->window().saveToPackage();
    }

    void expectSaved(const QString &packagePath)
    {
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message box = gui::modal::testing::lastMessage();
        QCOMPARE(box.icon, gui::modal::Icon::Information);
        QCOMPARE(box.caption, QStringLiteral("Паспорт сохранен"));
        QCOMPARE(box.text, QStringLiteral("Тирлада успешно сохранен как: ") + packagePath + ".");
    }

    void expectWriteError(const QString &text)
    {
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message box = gui::modal::testing::lastMessage();
        QCOMPARE(box.icon, gui::modal::Icon::Error);
        QCOMPARE(box.buttons, gui::modal::Buttons::Ok);
        QCOMPARE(box.caption, QStringLiteral("Ошибка записи"));
        QCOMPARE(box.text, text);
    }

    // The working folder that a failed archiving leaves: the data document,
    // private to the user.
    void expectKeptFolder(const QString &name = kFolderName, const QStringList &files = {"data.xml"})
    {
        QVERIFY(workingFolders().contains(name));
        const QString folder = tempPath(name);
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), files);
        QCOMPARE(readFile(folder + "/data.xml"), save::BuildDataDocument(session->window().snapshot(), kTime));
        QCOMPARE(QFile::permissions(folder) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void expectStoredPackage(const QString &packagePath, const QStringList &names)
    {
        QCOMPARE(entryNames(packagePath), names);
        for (const Entry &e : entries(packagePath)) {
            QCOMPARE(e.method, QStringLiteral("Stored"));
            QCOMPARE(e.packed, e.size);
        }
        QCOMPARE(entryContent(packagePath, "data.xml"), save::BuildDataDocument(session->window().snapshot(), kTime));
    }

    // An earlier package with a picture, made by the archiver itself.
    void makeOldPackage(const QString &packagePath)
    {
        QTemporaryDir old;
        writeFile(old.filePath("data.xml"), "<old/>");
        writeFile(old.filePath("image.jpg"), "old picture");
        int code = -1;
        run("7za", {"a", "-tzip", "-y", packagePath, old.path() + "/*"}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(entryNames(packagePath), (QStringList{"data.xml", "image.jpg"}));
    }

    // Loads a generated picture through the picture tab's button.
    bool loadPicture()
    {
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(QColor(40, 120, 200));
        const QString source = outPath("source.jpg");
        if (!image.save(source, "JPEG"))
            return false;
        gui::modal::testing::queueFileName(source);
        session->window().loadPicture();
        gui::modal::testing::reset();
        QFile::remove(source);
        return session->window().snapshot().hasPicture;
    }

private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        out = std::make_unique<QTemporaryDir>();
        platform::testing::setTempFolder(temp->path());
        platform::testing::setClock([] { return kTime; });
        platform::testing::setArchiver(QString());
        save::testing::setArchiverTimeout(0);
        session = std::make_unique<tt::Session>();
        fillComplete();
    }
    void cleanup()
    {
        session.reset();
        platform::testing::setTempFolder(QString());
        platform::testing::setClock(nullptr);
        platform::testing::setArchiver(QString());
        save::testing::setArchiverTimeout(0);
        out.reset();
        temp.reset();
    }

    // The whole road through the window's button: the dialog as set up, the
    // package of stored entries, the message, and no working folder left.
    void savesWithoutPicture()
    {
        const QString packagePath = outPath("Весна.kwp");
        gui::modal::testing::queueFileName(packagePath);
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);

        QCOMPARE(gui::modal::testing::saveRequests().size(), 1);
        const gui::modal::SaveFileRequest request = gui::modal::testing::saveRequests().constFirst();
        QCOMPARE(request.caption, QStringLiteral("Сохранение файла паспорта работы"));
        QCOMPARE(request.directory, QDir::homePath());
        QCOMPARE(request.selectedFile, QStringLiteral("Passport"));
        QCOMPARE(request.nameFilters, QStringList{QStringLiteral("Паспорт работы Фестиваля \"Ковирта\" (*.kwp)")});
        QCOMPARE(request.defaultSuffix, QStringLiteral("kwp"));
        QVERIFY(request.confirmOverwrite);

        expectSaved(packagePath);
        expectStoredPackage(packagePath, {"data.xml"});
        QVERIFY(workingFolders().isEmpty());
        QCOMPARE(outEntries(), QStringList{"Весна.kwp"});
    }

    void savesWithPicture()
    {
        if (!loadPicture())
            QSKIP("picture loading not available");
        session->control<QLineEdit>("WorkImgSign")->setText(QStringLiteral("Подпись"));
        const QString packagePath = outPath("picture.kwp");
        save(packagePath);

        expectSaved(packagePath);
        expectStoredPackage(packagePath, {"data.xml", "image.jpg"});
        const QImage exported = QImage::fromData(entryContent(packagePath, "image.jpg"), "JPEG");
        QCOMPARE(exported.size(), QSize(300, 225));
        QVERIFY(entryContent(packagePath, "data.xml").contains("<img_sign>Подпись</img_sign>"));
        QVERIFY(workingFolders().isEmpty());
    }

    // The chosen path is proposed next time; each save writes a complete
    // document of its own.
    void savesTwice()
    {
        const QString first = outPath("first.kwp");
        save(first);
        expectSaved(first);

        gui::modal::testing::reset();
        session->control<QLineEdit>("title")->setText(QStringLiteral("Осень"));
        const QString second = outPath("second.kwp");
        save(second);
        expectSaved(second);
        const gui::modal::SaveFileRequest request = gui::modal::testing::saveRequests().constFirst();
        QCOMPARE(request.directory, out->path());
        QCOMPARE(request.selectedFile, first);

        const QByteArray document = entryContent(second, "data.xml");
        QVERIFY(document.contains("<title>Осень</title>"));
        QCOMPARE(document.count("<work>"), 1);
        QVERIFY(entryContent(first, "data.xml").contains("<title>Весна &#38; лето</title>"));
        QVERIFY(workingFolders().isEmpty());
    }

    void cancelledDialog()
    {
        save(QString());
        QVERIFY(gui::modal::testing::messages().isEmpty());
        QVERIFY(workingFolders().isEmpty());
        QVERIFY(outEntries().isEmpty());
    }

    // A package that had a picture, replaced by a passport without one:
    // the new package holds only the new document.
    void replacesPackageWithPicture()
    {
        const QString packagePath = outPath("old.kwp");
        makeOldPackage(packagePath);
        save(packagePath);

        expectSaved(packagePath);
        expectStoredPackage(packagePath, {"data.xml"});
        QCOMPARE(outEntries(), QStringList{"old.kwp"});
        QVERIFY(workingFolders().isEmpty());
    }

    // A package name of 254 bytes, the longest a name may take with room
    // for nothing else: saved fresh and saved over an earlier package.
    void longestName_data()
    {
        QTest::addColumn<bool>("replacing");
        QTest::newRow("new") << false;
        QTest::newRow("over an earlier package") << true;
    }
    void longestName()
    {
        QFETCH(bool, replacing);
        // "ab", 124 two-byte letters, ".kwp": 2 + 248 + 4 bytes.
        const QString name = QStringLiteral("ab") + QString(124, QChar(0x0416)) + QStringLiteral(".kwp");
        QCOMPARE(QFile::encodeName(name).size(), 254);
        const QString packagePath = outPath(name);
        if (replacing)
            makeOldPackage(packagePath);
        save(packagePath);

        expectSaved(packagePath);
        expectStoredPackage(packagePath, {"data.xml"});
        QCOMPARE(outEntries(), QStringList{name});
        QVERIFY(workingFolders().isEmpty());
    }

    // A name without an extension, which the archiver would extend with one
    // of its own: the package still lands at exactly that path.
    void nameWithoutExtension()
    {
        const QString packagePath = outPath("Passport");
        save(packagePath);

        expectSaved(packagePath);
        expectStoredPackage(packagePath, {"data.xml"});
        QCOMPARE(outEntries(), QStringList{"Passport"});
    }

    void replacesNonZipFile()
    {
        const QString packagePath = outPath("notes.kwp");
        writeFile(packagePath, "this is not a ZIP archive\n");
        save(packagePath);

        expectSaved(packagePath);
        expectStoredPackage(packagePath, {"data.xml"});
        QCOMPARE(outEntries(), QStringList{"notes.kwp"});
    }

    // The archiver starts in the working folder and gets exactly these
    // arguments, one by one: the files by name, so that no folder path is
    // ever read as a wildcard.
    void archiverArguments_data()
    {
        QTest::addColumn<bool>("picture");
        QTest::newRow("without a picture") << false;
        QTest::newRow("with a picture") << true;
    }
    void archiverArguments()
    {
        QFETCH(bool, picture);
        if (picture && !loadPicture())
            QSKIP("picture loading not available");
        const QString log = outPath("arguments.log");
        const QString cwd = outPath("cwd.log");
        platform::testing::setArchiver(writeScript(
            tempPath("recording-7za"), "pwd > '" + cwd.toUtf8() + "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '"
                                           + log.toUtf8() + "'; done\nexec 7za \"$@\"\n"));
        const QString packagePath = outPath("args.kwp");
        save(packagePath);

        expectSaved(packagePath);
        QStringList expected{"a", "-tzip", "-y", "-mx=0", "-mm=Copy", packagePath, "data.xml"};
        if (picture)
            expected.append("image.jpg");
        QCOMPARE(QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts), expected);
        QCOMPARE(QString::fromUtf8(readFile(cwd)).trimmed(), tempPath(kFolderName));
    }

    // A temporary folder whose path holds wildcard characters: the package
    // still holds the files at its root.
    void wildcardsInTemporaryFolder()
    {
        const QString wild = tempPath("t*?[x]");
        QVERIFY(QDir().mkpath(wild));
        platform::testing::setTempFolder(wild);
        const QString packagePath = outPath("wild.kwp");
        save(packagePath);

        expectSaved(packagePath);
        expectStoredPackage(packagePath, {"data.xml"});
        QVERIFY(QDir(wild).isEmpty());
    }

    // An archiver that exits 0 but leaves a package that does not hold what
    // was written: the save fails as any archiving failure, an old package
    // stays as it was, and the working folder is kept.
    void unverifiedPackage_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("oldPackage");
        QTest::newRow("100 bytes") << QByteArray("head -c 100 /dev/urandom > \"$6\"\nexit 0\n") << false;
        QTest::newRow("100 bytes over a package") << QByteArray("head -c 100 /dev/urandom > \"$6\"\nexit 0\n") << true;
        QTest::newRow("another file packed")
            << QByteArray("echo other > other.txt\nexec 7za a -tzip -y -mx=0 -mm=Copy \"$6\" other.txt\n") << false;
    }
    void unverifiedPackage()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, oldPackage);
        const QString packagePath = outPath("broken.kwp");
        QByteArray old;
        if (oldPackage) {
            makeOldPackage(packagePath);
            old = readFile(packagePath);
        }
        platform::testing::setArchiver(writeScript(tempPath("lying-7za"), script));
        save(packagePath);

        expectWriteError(kArchiveErrorText);
        QVERIFY(workingFolders().contains(kFolderName));
        if (oldPackage) {
            QCOMPARE(readFile(packagePath), old);
            QCOMPARE(outEntries(), QStringList{"broken.kwp"});
        } else {
            QVERIFY(outEntries().isEmpty());
        }
    }

    void archiverMissing_data()
    {
        QTest::addColumn<QString>("archiver");
        QTest::addColumn<bool>("picture");
        QTest::newRow("no such program") << "/nonexistent/7za" << false;
        QTest::newRow("none found") << "" << false;
        QTest::newRow("with a picture") << "/nonexistent/7za" << true;
    }
    void archiverMissing()
    {
        QFETCH(QString, archiver);
        QFETCH(bool, picture);
        if (picture && !loadPicture())
            QSKIP("picture loading not available");
        platform::testing::setArchiver(archiver);
        const QString packagePath = outPath("missing.kwp");
        save(packagePath);

        expectWriteError(kArchiveErrorText);
        expectKeptFolder(kFolderName, picture ? QStringList{"data.xml", "image.jpg"} : QStringList{"data.xml"});
        QVERIFY(outEntries().isEmpty());
    }

    // An archiver that writes part of a file and fails with status 2: the
    // partial file goes, an old package stays as it was.
    void archiverFails_data()
    {
        QTest::addColumn<bool>("oldPackage");
        QTest::newRow("new path") << false;
        QTest::newRow("replacing a package") << true;
    }
    void archiverFails()
    {
        QFETCH(bool, oldPackage);
        const QString packagePath = outPath("failed.kwp");
        QByteArray old;
        if (oldPackage) {
            makeOldPackage(packagePath);
            old = readFile(packagePath);
        }
        platform::testing::setArchiver(writeScript(tempPath("failing-7za"), "printf partial > \"$6\"\nexit 2\n"));
        save(packagePath);

        expectWriteError(kArchiveErrorText);
        expectKeptFolder();
        if (oldPackage) {
            QCOMPARE(readFile(packagePath), old);
            QCOMPARE(outEntries(), QStringList{"failed.kwp"});
        } else {
            QVERIFY(outEntries().isEmpty());
        }
    }

    // An archiver that never ends is killed when its time is up.
    void archiverTooSlow()
    {
        save::testing::setArchiverTimeout(300);
        platform::testing::setArchiver(writeScript(tempPath("slow-7za"), "printf partial > \"$6\"\nexec sleep 60\n"));
        const QString packagePath = outPath("slow.kwp");
        QElapsedTimer timer;
        timer.start();
        save(packagePath);

        expectWriteError(kArchiveErrorText);
        expectKeptFolder();
        QVERIFY(outEntries().isEmpty());
        QVERIFY(timer.elapsed() < 30000); // killed, not waited out
    }

    // The package's folder cannot take the file.
    void targetFolderNotWritable()
    {
        const QString plain = outPath("plain");
        writeFile(plain, "a file, not a folder");
        const QString packagePath = plain + "/p.kwp";
        save(packagePath);

        expectWriteError(kArchiveErrorText);
        expectKeptFolder();
        QCOMPARE(readFile(plain), QByteArray("a file, not a folder"));
        QCOMPARE(outEntries(), QStringList{"plain"});
    }

    // Replacing a package in a folder where nothing can be created: the old
    // package stays.
    void targetFolderImmutable()
    {
        const QString packagePath = outPath("kept.kwp");
        makeOldPackage(packagePath);
        const QByteArray old = readFile(packagePath);
        int code = -1;
        run("chattr", {"+i", out->path()}, &code);
        if (code != 0)
            QSKIP("chattr is not available here");
        save(packagePath);
        run("chattr", {"-i", out->path()});

        expectWriteError(kArchiveErrorText);
        expectKeptFolder();
        QCOMPARE(readFile(packagePath), old);
        QCOMPARE(outEntries(), QStringList{"kept.kwp"});
    }

    void temporaryFolderUnusable()
    {
        const QString plain = tempPath("plain");
        writeFile(plain, "x");
        platform::testing::setTempFolder(plain);
        const QString packagePath = outPath("never.kwp");
        save(packagePath);

        expectWriteError(kFolderErrorText);
        QVERIFY(outEntries().isEmpty());
        QCOMPARE(workingFolders(), QStringList());
        QCOMPARE(QDir(temp->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"plain"});
    }

    // Two saves in one second: the second never reuses the first's folder.
    void twoSavesInOneSecond()
    {
        platform::testing::setArchiver("/nonexistent/7za");
        save(outPath("first.kwp"));
        expectWriteError(kArchiveErrorText);
        expectKeptFolder();

        gui::modal::testing::reset();
        platform::testing::setArchiver(QString());
        const QString second = outPath("second.kwp");
        save(second);
        expectSaved(second);
        expectStoredPackage(second, {"data.xml"});
        // The first save's folder is still there; the second's is gone.
        QCOMPARE(workingFolders(), QStringList{kFolderName});
    }

    // A name taken by a link that someone planted is not followed.
    void plantedLinkNotFollowed()
    {
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), tempPath(kFolderName)));
        platform::testing::setArchiver("/nonexistent/7za");
        save(outPath("link.kwp"));

        expectWriteError(kArchiveErrorText);
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        expectKeptFolder(kFolderName + "_2");
    }

    void clearFolder()
    {
        QTemporaryDir outside;
        writeFile(outside.filePath("keep.txt"), "keep");
        const QString folder = tempPath("work");
        QVERIFY(QDir().mkpath(folder + "/sub/deeper"));
        writeFile(folder + "/a.txt", "a");
        writeFile(folder + "/.hidden", "h");
        writeFile(folder + "/sub/deeper/b.txt", "b");
        writeFile(folder + "/readonly.txt", "r");
        QFile::setPermissions(folder + "/readonly.txt", QFile::ReadOwner);
        QVERIFY(QFile::link(outside.path(), folder + "/link"));
        QVERIFY(QFile::link(outside.path(), folder + "/sub/link"));

        save::ClearFolder(folder + "/");

        QVERIFY(QDir(folder).exists());
        QVERIFY(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        QCOMPARE(readFile(outside.filePath("keep.txt")), QByteArray("keep"));

        // A link given as the folder itself is left alone.
        const QString link = tempPath("link-to-outside");
        QVERIFY(QFile::link(outside.path(), link));
        save::ClearFolder(link);
        QCOMPARE(readFile(outside.filePath("keep.txt")), QByteArray("keep"));
    }
};

QTEST_MAIN(TestSavePackage)
#include "test_save_package.moc"
