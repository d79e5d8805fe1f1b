// The temporary folder as the system gives it.

#include "core/platform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPlatform : public QObject {
    Q_OBJECT
    QByteArray savedTmpdir;

private slots:
    void init() { savedTmpdir = qgetenv("TMPDIR"); }
    void cleanup()
    {
        if (savedTmpdir.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmpdir);
    }

    // A TMPDIR that names no folder falls back to /tmp, never to the root
    // folder.
    void tempFolderFromTmpdir_data()
    {
        QTest::addColumn<QString>("tmpdir");
        QTest::addColumn<bool>("usable");
        QTest::newRow("a folder") << "folder" << true;
        QTest::newRow("missing") << "missing/deeper" << false;
        QTest::newRow("a file") << "file" << false;
    }
    void tempFolderFromTmpdir()
    {
        QFETCH(QString, tmpdir);
        QFETCH(bool, usable);
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkdir("folder"));
        QFile file(base.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const QString path = base.filePath(tmpdir);
        qputenv("TMPDIR", QFile::encodeName(path));
        const QString expected = usable ? QDir(path).canonicalPath() + "/" : QStringLiteral("/tmp/");
        QCOMPARE(platform::tempFolder(), expected);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
