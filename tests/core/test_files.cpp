// The file writer's failures: a write that the disk refuses, at once or
// only when the file is closed, leaves nothing changed at the path and no
// fresh file behind, and the failure names the path and the reason.

#include "core/failure.h"
#include "core/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Puts /dev/full in the fresh file's place: every write fails with "No
// space left on device".
void fillTheDisk(int handle)
{
    const int full = ::open("/dev/full", O_WRONLY);
    QVERIFY(full >= 0);
    QVERIFY(::dup2(full, handle) >= 0);
    ::close(full);
}

// The mode bits of the file at path.
int modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Sets the umask for the life of the object.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { core::testing::setFreshFileHook(nullptr); }

    void writes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.txt");
        core::writeFileReplacing(path, "first");
        core::writeFileReplacing(path, "second");
        QCOMPARE(readFile(path), QByteArray("second"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"});
    }

    void diskFull_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("large") << qsizetype(1024 * 1024);
        QTest::newRow("small") << qsizetype(10);
    }
    void diskFull()
    {
        QFETCH(qsizetype, size);
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        QTemporaryDir dir;
        const QString path = dir.filePath("data.xml");
        core::writeFileReplacing(path, "old content");
        core::testing::setFreshFileHook(fillTheDisk);

        QString message;
        try {
            core::writeFileReplacing(path, QByteArray(size, 'x'));
        } catch (const Failure &failure) {
            message = failure.message();
        }
        QCOMPARE(message, QStringLiteral("Cannot create file \"%1\". %2")
                              .arg(QDir::toNativeSeparators(path), qt_error_string(ENOSPC)));
        QCOMPARE(readFile(path), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"data.xml"});
    }

    // Written in pieces: nothing at the path changes until commit, and
    // without commit nothing is left behind.
    void piecesReplaceTheFileOnCommit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("list.csv");
        core::writeFileReplacing(path, "old");
        {
            core::ReplacingFile file(path);
            file.write("one,");
            file.write("two\r\n");
            QCOMPARE(readFile(path), QByteArray("old"));
            file.commit();
        }
        QCOMPARE(readFile(path), QByteArray("one,two\r\n"));
        {
            core::ReplacingFile file(path);
            file.write("never committed");
        }
        QCOMPARE(readFile(path), QByteArray("one,two\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"list.csv"});
    }

    // A new file is made as any file of the user's: 0666 less the umask. A
    // file that is replaced keeps its mode, so a list made private stays
    // private. A private file is 0600 whatever the umask or the old mode.
    void modes_data()
    {
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("oldMode"); // -1: no file before
        QTest::addColumn<bool>("privateFile");
        QTest::addColumn<int>("mode");
        QTest::newRow("new, umask 022") << 022 << -1 << false << 0644;
        QTest::newRow("new, umask 077") << 077 << -1 << false << 0600;
        QTest::newRow("new, umask 002") << 002 << -1 << false << 0664;
        QTest::newRow("replaces a private file") << 022 << 0600 << false << 0600;
        QTest::newRow("replaces a group-writable file") << 077 << 0664 << false << 0664;
        QTest::newRow("private, new") << 0 << -1 << true << 0600;
        QTest::newRow("private, umask takes the owner's bits") << 0277 << -1 << true << 0600;
        QTest::newRow("private, replaces a readable file") << 022 << 0644 << true << 0600;
    }
    void modes()
    {
        QFETCH(int, umask);
        QFETCH(int, oldMode);
        QFETCH(bool, privateFile);
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath("list.csv");
        if (oldMode >= 0) {
            core::writeFileReplacing(path, "old");
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(oldMode)) == 0);
        }
        {
            const Umask mask{mode_t(umask)};
            core::writeFileReplacing(path, "new", privateFile ? core::FileAccess::Private : core::FileAccess::Ordinary);
        }
        QCOMPARE(QString::number(modeOf(path), 8), QString::number(mode, 8));
        QCOMPARE(readFile(path), QByteArray("new"));
    }

    // A name of 254 bytes (255 is the most a name may have) is written and
    // replaced: the fresh file's name is short, in the same folder.
    void longestNames()
    {
        QTemporaryDir dir;
        // "ab", 124 two-byte letters, ".kwp": 2 + 248 + 4 bytes.
        const QString longName = QStringLiteral("ab") + QString(124, QChar(0x0416)) + QStringLiteral(".kwp");
        QCOMPARE(QFile::encodeName(longName).size(), 254);
        const QString path = dir.filePath(longName);
        core::writeFileReplacing(path, "first");
        core::ReplacingFile file(path);
        QVERIFY(file.freshPath().startsWith(dir.path() + QLatin1Char('/')));
        QVERIFY(QFile::encodeName(QFileInfo(file.freshPath()).fileName()).size() <= 32);
        file.write("second");
        file.commit();
        QCOMPARE(readFile(path), QByteArray("second"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{longName});
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "test_files.moc"
