// Saving that fails: an archiver that lies, is missing, fails or hangs,
// folders that cannot be written, and links planted in the working folder.

#include "save_package_fixture.h"

class TestSaveFailures : public SavePackageFixture {
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

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
        if (picture)
            QVERIFY(loadPicture());
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

    // A save cut off while the archiver writes leaves nothing under the
    // typed name: what stands in the package's folder at that moment is
    // what a kill of the program would leave there.
    void cutOffSaveLeavesNoPartialPackage_data()
    {
        QTest::addColumn<QByteArray>("end");
        QTest::newRow("archiver killed") << QByteArray("kill -9 $$\n");
        QTest::newRow("archiver fails") << QByteArray("exit 2\n");
    }
    void cutOffSaveLeavesNoPartialPackage()
    {
        QFETCH(QByteArray, end);
        const QString packagePath = outPath("cut.kwp");
        const QString listing = tempPath("listing.txt");
        platform::testing::setArchiver(
            writeScript(tempPath("cut-7za"), "printf partial > \"$6\"\nls -A '" + QFile::encodeName(out->path())
                                                 + "' > '" + QFile::encodeName(listing) + "'\n" + end));
        save(packagePath);

        const QList<QByteArray> midway = readFile(listing).split('\n');
        QVERIFY2(!midway.contains("cut.kwp"), readFile(listing).constData());
        expectWriteError(kArchiveErrorText);
        expectKeptFolder();
        QVERIFY(outEntries().isEmpty());
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
};

QTEST_MAIN(TestSaveFailures)
#include "test_save_failures.moc"
