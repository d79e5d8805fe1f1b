// Saving through the window: the package of stored entries, the picture, the
// archiver's arguments, and clearing the working folder.

#include "save_package_fixture.h"

#include <QRegularExpression>

class TestSavePackage : public SavePackageFixture {
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

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
        QVERIFY(loadPicture());
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
    // ever read as a wildcard. It writes into a hidden staging folder beside
    // the package, never under the package's own name.
    void archiverArguments_data()
    {
        QTest::addColumn<bool>("picture");
        QTest::newRow("without a picture") << false;
        QTest::newRow("with a picture") << true;
    }
    void archiverArguments()
    {
        QFETCH(bool, picture);
        if (picture)
            QVERIFY(loadPicture());
        const QString log = outPath("arguments.log");
        const QString cwd = outPath("cwd.log");
        platform::testing::setArchiver(writeScript(
            tempPath("recording-7za"), "pwd > '" + cwd.toUtf8() + "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '"
                                           + log.toUtf8() + "'; done\nexec 7za \"$@\"\n"));
        const QString packagePath = outPath("args.kwp");
        save(packagePath);

        expectSaved(packagePath);
        QStringList expected{"a", "-tzip", "-y", "-mx=0", "-mm=Copy", "<staged>", "data.xml"};
        if (picture)
            expected.append("image.jpg");
        QStringList arguments = QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts);
        const QRegularExpression staged(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(out->path()) + QStringLiteral("/\\.Passport-\\d+-\\w+/package\\.kwp")));
        QVERIFY2(staged.match(arguments.value(5)).hasMatch(), qPrintable(arguments.value(5)));
        arguments[5] = "<staged>";
        QCOMPARE(arguments, expected);
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

        save::clearFolder(folder + "/");

        QVERIFY(QDir(folder).exists());
        QVERIFY(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        QCOMPARE(readFile(outside.filePath("keep.txt")), QByteArray("keep"));

        // A link given as the folder itself is left alone.
        const QString link = tempPath("link-to-outside");
        QVERIFY(QFile::link(outside.path(), link));
        save::clearFolder(link);
        QCOMPARE(readFile(outside.filePath("keep.txt")), QByteArray("keep"));
    }
};

QTEST_MAIN(TestSavePackage)
#include "test_save_package.moc"
