// The file writer's failures: a write that the disk refuses, at once or
// only when the file is closed, leaves nothing changed at the path and no
// fresh file behind, and the failure names the path and the reason.

#include "core/failure.h"
#include "core/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A fresh file whose data go to /dev/full: every write that reaches the
// disk fails with "No space left on device". A write larger than the
// file's buffer fails at once; a small one stays in the buffer and fails
// when the file is closed.
class FullDiskFile : public QTemporaryFile {
public:
    using QTemporaryFile::QTemporaryFile;

protected:
    bool open(OpenMode mode) override
    {
        if (!QTemporaryFile::open(mode))
            return false;
        const int full = ::open("/dev/full", O_WRONLY);
        if (full < 0)
            return false;
        const bool swapped = ::dup2(full, handle()) >= 0;
        ::close(full);
        return swapped;
    }
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
    void cleanup() { core::testing::setFreshFileFactory(nullptr); }

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
        QTest::newRow("fails in the write") << qsizetype(1024 * 1024);
        QTest::newRow("fails when closed") << qsizetype(10);
    }
    void diskFull()
    {
        QFETCH(qsizetype, size);
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        QTemporaryDir dir;
        const QString path = dir.filePath("data.xml");
        core::writeFileReplacing(path, "old content");
        core::testing::setFreshFileFactory(
            [](const QString &templateName) { return std::make_unique<FullDiskFile>(templateName); });

        std::optional<Failure> failure;
        try {
            core::writeFileReplacing(path, QByteArray(size, 'x'));
        } catch (const Failure &thrown) {
            failure = thrown;
        }
        QVERIFY(failure);
        QCOMPARE(failure->code(), FailureCode::CannotCreateFile);
        QCOMPARE(failure->details().file, path);
        QCOMPARE(failure->details().reason, qt_error_string(ENOSPC));
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
};

QTEST_GUILESS_MAIN(TestFiles)
#include "test_files.moc"
