// Writing the package: the archiver's failures, each with its cause, and the
// verification that catches an archiver which exits 0 after writing
// something else than what it was given. Also the working folder's clean-up
// through read-only folders at every depth.

#include "core/files.h"
#include "save/package.h"
#include "save/package_reader.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(FailureCode)

namespace {

constexpr qint64 kTime = 1233446400;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Drops the capabilities that let root pass permission bits by, so that
// this process meets read-only folders as an ordinary user does.
bool dropPermissionOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

class TestPackageWrite : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temp;
    QString folder; // the working folder, with data.xml and image.jpg

    QString script(const QByteArray &body)
    {
        const QString path = temp->filePath("fake-7za");
        writeFile(path, "#!/bin/sh\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        folder = save::createWorkingFolder(temp->path() + "/", kTime).value();
        QVERIFY(!folder.isEmpty());
        // Text that deflates well, so that a compressing archiver does
        // compress it.
        writeFile(folder + "data.xml", QByteArray("<work>").append(QByteArray("пример ").repeated(200)) + "</work>");
        writeFile(folder + "image.jpg", QByteArray("\xff\xd8 picture bytes \xff\xd9"));
        save::testing::setArchiverTimeout(0);
    }
    void cleanup()
    {
        save::testing::setArchiverTimeout(0);
        temp.reset();
    }

    // A save into a folder removes the staging folders that killed saves
    // left there, and only those: a running save's, and whatever is not a
    // staging folder of this program, stay.
    void leftoverStagingFoldersGo()
    {
        const QString archiver = QStandardPaths::findExecutable("7za");
        if (archiver.isEmpty())
            QSKIP("7za is not installed");
        QFile max(QStringLiteral("/proc/sys/kernel/pid_max"));
        QVERIFY(max.open(QIODevice::ReadOnly));
        const QByteArray dead = QByteArray::number(max.readAll().trimmed().toLongLong() + 1);
        const QString target = temp->filePath("target");
        QVERIFY(QDir().mkpath(target));
        const auto staging = [&](const QString &name) {
            QDir().mkpath(target + "/" + name);
            writeFile(target + "/" + name + "/package.kwp", "partial");
            return target + "/" + name;
        };
        const QString killed = staging(".Passport-" + QString::fromLatin1(dead) + "-Ab12Cd");
        const QString running = staging(".Passport-" + QString::number(getppid()) + "-Ef34Gh");
        const QString foreign = staging(".Passport-notours");
        const QString oldStyle = staging(".Passport-Xy56Zw");
        // The staged write: the package is there already.
        writeFile(target + "/work.kwp", "old");
        const Result<void> written = save::writePackage(archiver, target + "/work.kwp", folder);
        QVERIFY2(written, written ? "" : written.error().what());
        QVERIFY(!QFileInfo::exists(killed));
        QVERIFY(QFileInfo::exists(running));
        QVERIFY(QFileInfo::exists(foreign));
        QVERIFY(QFileInfo::exists(oldStyle));
        // Nothing of this save stays beside the package.
        QCOMPARE(QDir(target).entryList({".Passport-*"}, QDir::Dirs | QDir::Hidden).size(), 3);
    }

    // The working folder names its owner; the archiver never gets that.
    void workingFolderNamesItsOwner()
    {
        QFile owner(folder + ".owner");
        QVERIFY(owner.open(QIODevice::ReadOnly));
        QCOMPARE(owner.readAll().trimmed().toLongLong(), QCoreApplication::applicationPid());
    }

    void writesAndVerifies()
    {
        const QString archiver = QStandardPaths::findExecutable("7za");
        if (archiver.isEmpty())
            QSKIP("7za is not installed");
        const QString packagePath = temp->filePath("work.kwp");
        const Result<void> written = save::writePackage(archiver, packagePath, folder);
        QVERIFY2(written, written ? "" : written.error().what());
        const save::ZipReadResult read = save::readZipEntries(readFile(packagePath));
        QCOMPARE(read.problems, save::ReadProblems());
        QCOMPARE(read.entries.size(), 2);
        QCOMPARE(read.entries[0].name, QStringLiteral("data.xml"));
        QCOMPARE(read.entries[0].data, readFile(folder + "data.xml"));
        QCOMPARE(read.entries[1].name, QStringLiteral("image.jpg"));
    }

    // Each failure of the archiver, with the cause that writePackage gives:
    // its code, and the detail that tells the cases apart (the number, the
    // entry's name, or the start of the system's reason). Nothing is left
    // at the package path.
    void failures_data()
    {
        QTest::addColumn<QString>("archiver"); // a script body, or a path when it starts with "/"
        QTest::addColumn<FailureCode>("code");
        QTest::addColumn<QString>("detail");
        QTest::newRow("none found") << "" << FailureCode::ArchiverNotFound << "";
        QTest::newRow("missing program") << "/nonexistent/7za" << FailureCode::ArchiverNotStarted << "/nonexistent/7za";
        QTest::newRow("status 2") << "printf partial > \"$6\"\nexit 2\n" << FailureCode::ArchiverFailed << "2";
        QTest::newRow("crash") << "kill -SEGV $$\n" << FailureCode::ArchiverCrashed << "";
        QTest::newRow("too slow") << "exec sleep 60\n" << FailureCode::ArchiverTimedOut << "300";
        QTest::newRow("writes nothing") << "exit 0\n" << FailureCode::ArchiveNotWritten << "";
        QTest::newRow("100 bytes") << "head -c 100 /dev/zero > \"$6\"\nexit 0\n"
                                   << FailureCode::PackageUnreadable
                                   << QString::number(int(save::ReadProblemCode::NotZip));
        QTest::newRow("an entry left out") << "exec 7za a -tzip -y -mx=0 -mm=Copy \"$6\" data.xml\n"
                                           << FailureCode::PackageEntryCount << "1";
        QTest::newRow("compressed") << "exec 7za a -tzip -y \"$6\" \"$7\" \"$8\"\n"
                                    << FailureCode::PackageEntryCompressed << "data.xml";
        QTest::newRow("other bytes")
            << "d=\"$6.d\"; mkdir \"$d\"; cp image.jpg \"$d\"; printf other > \"$d/data.xml\"\n"
               "cd \"$d\" && exec 7za a -tzip -y -mx=0 -mm=Copy \"$6\" data.xml image.jpg\n"
            << FailureCode::PackageEntryDiffers << "data.xml";
        // The folder, its two files and the file naming its owner.
        QTest::newRow("under a folder path")
            << "exec 7za a -tzip -y -mx=0 -mm=Copy \"$6\" \"$PWD\"\n"
            << FailureCode::PackageUnreadable << QString::number(int(save::ReadProblemCode::TooManyEntries));
    }
    void failures()
    {
        QFETCH(QString, archiver);
        QFETCH(FailureCode, code);
        QFETCH(QString, detail);
        if (archiver.contains("7za") && !archiver.startsWith('/') && QStandardPaths::findExecutable("7za").isEmpty())
            QSKIP("7za is not installed");
        // Only the slow archiver gets the short limit: a busy machine must
        // not turn the other cases into time-outs.
        save::testing::setArchiverTimeout(code == FailureCode::ArchiverTimedOut ? 300 : 0);
        const QString program = archiver.isEmpty() || archiver.startsWith('/') ? archiver : script(archiver.toUtf8());
        const QString packagePath = temp->filePath("work.kwp");
        const Result<void> written = save::writePackage(program, packagePath, folder);
        QVERIFY(!written);
        const Failure *failure = &written.error();
        QVERIFY2(failure->code() == code, failure->what());
        const FailureDetails &d = failure->details();
        QStringList details{d.file, d.name, QString::number(d.number), QString::number(d.limit)};
        for (const save::ReadProblem &problem : d.problems)
            details.append(QString::number(int(problem.code)));
        QVERIFY2(detail.isEmpty() || details.contains(detail), failure->what());
        QVERIFY(!QFile::exists(packagePath));
    }

    // Replacing a package: a failed verification leaves the old one as it
    // was, and nothing of the staging beside it.
    void failedVerificationKeepsOldPackage()
    {
        const QString packagePath = temp->filePath("old.kwp");
        const QByteArray old = save::zipStored({{"data.xml", "<old/>"}}).value();
        writeFile(packagePath, old);
        const Result<void> written =
            save::writePackage(script("head -c 100 /dev/zero > \"$6\"\n"), packagePath, folder);
        QVERIFY(!written && written.error().code() == FailureCode::PackageUnreadable);
        QCOMPARE(readFile(packagePath), old);
        QCOMPARE(QDir(temp->path()).entryList({".Passport-*"}, QDir::AllEntries | QDir::Hidden), QStringList());
    }

    void workingFolderCause()
    {
        const QString plain = temp->filePath("plain");
        writeFile(plain, "a file, not a folder");
        const Result<QString> created = save::createWorkingFolder(plain + "/", kTime);
        QVERIFY(!created);
        const Failure *failure = &created.error();
        QCOMPARE(failure->code(), FailureCode::CannotCreateFolder);
        QCOMPARE(failure->details().file, plain + "/Passport_1233446400");
        QCOMPARE(failure->details().reason, qt_error_string(ENOTDIR));
    }

    // Read-only folders inside read-only folders, and a read-only file at
    // the bottom, are all removed. Run as root, the clean-up runs in a child
    // process without the capabilities that pass permission bits by, so that
    // the bits count as they do for an ordinary user.
    void clearFolderReadOnlyAtEveryDepth()
    {
        const QString root = temp->filePath("work");
        QVERIFY(QDir().mkpath(root + "/a/b/c"));
        QVERIFY(QDir().mkpath(root + "/x"));
        writeFile(root + "/a/b/c/deep.txt", "d");
        writeFile(root + "/a/b/.hidden", "h");
        writeFile(root + "/x/y.txt", "y");
        const QFile::Permissions readOnlyFolder = QFile::ReadOwner | QFile::ExeOwner;
        QFile::setPermissions(root + "/a/b/c/deep.txt", QFile::ReadOwner);
        for (const char *sub : {"/a/b/c", "/a/b", "/a", "/x"})
            QVERIFY(QFile::setPermissions(root + sub, readOnlyFolder));
        QVERIFY(QFile::setPermissions(root + "/x", QFile::Permissions()));

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            if (geteuid() == 0 && !dropPermissionOverride())
                _exit(3);
            // The bits count now: nothing can be created in a read-only
            // folder.
            if (QFile(root + "/a/new").open(QIODevice::WriteOnly))
                _exit(4);
            save::clearFolder(root + "/");
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 3)
            QSKIP("the capabilities cannot be dropped here");
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QDir(root).exists());
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TestPackageWrite)
#include "test_package_write.moc"
