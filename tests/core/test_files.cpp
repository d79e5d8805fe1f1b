// The replacing writer in pieces: nothing at the path changes until commit.

#include "core/failure.h"
#include "core/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void piecesReplaceTheFileOnCommit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.csv"));
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        {
            ReplacingFile file(path);
            file.write("one,");
            file.write("two\r\n");
            QCOMPARE(readAll(path), QByteArray());
            file.commit();
        }
        QCOMPARE(readAll(path), QByteArray("one,two\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("list.csv")});
    }

    void withoutCommitNothingChangesAndNothingIsLeft()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.csv"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        {
            ReplacingFile file(path);
            file.write("new");
        }
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("list.csv")});
    }

    void aPathBeneathAFileFailsAtOnce()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("plain"));
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        const QString path = file + QStringLiteral("/list.csv");
        try {
            ReplacingFile writer(path);
            QFAIL("no failure");
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().startsWith(
                         QStringLiteral("Cannot create file \"%1\". ").arg(QDir::toNativeSeparators(path))),
                     qPrintable(failure.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "test_files.moc"
