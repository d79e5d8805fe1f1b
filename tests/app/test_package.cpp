// Opening a saved package through the real window, and the window's caption.

#include "package_fixture.h"

class TestPackage : public PackageFixture {
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void openButtonStandsLeftOfPreview()
    {
        auto *open = session->control<QPushButton>("OpenButton");
        auto *preview = session->control<QPushButton>("Preview");
        QCOMPARE(open->text(), QStringLiteral("Открыть…"));
        QCOMPARE(open->size(), preview->size());
        QCOMPARE(open->y(), preview->y());
        QVERIFY(open->geometry().right() < preview->x());
        QCOMPARE(preview->pos(), QPoint(568, 471));
        QCOMPARE(session->control("SaveButton")->pos(), QPoint(680, 471));
        QVERIFY(!open->accessibleName().isEmpty());
        QVERIFY(!open->toolTip().isEmpty());
        QCOMPARE(open->focusPolicy(), preview->focusPolicy());
        QWidget *next = open->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        QCOMPARE(next, preview);
    }

    // Open, then save with no change: the same document but for its time
    // stamp, the same picture file.
    void roundTrip_data()
    {
        QTest::addColumn<bool>("tricky");
        QTest::addColumn<bool>("withPicture");
        QTest::newRow("every field, tricky texts, picture") << true << true;
        QTest::newRow("every field, no picture") << true << false;
        QTest::newRow("only the required fields") << false << false;
    }
    void roundTrip()
    {
        QFETCH(bool, tricky);
        QFETCH(bool, withPicture);
        if (tricky)
            fillTricky(withPicture);
        else
            fillMinimal();
        const QString first = path(QStringLiteral("first.kwp"));
        QVERIFY(saveAs(first));
        const PassportSnapshot typed = session->window().snapshot();

        newSession();
        gui::modal::testing::reset();
        QVERIFY(session->window().openPackage(first));
        QVERIFY(gui::modal::testing::messages().isEmpty());
        const PassportSnapshot opened = session->window().snapshot();
        QCOMPARE(opened.title, typed.title);
        QCOMPARE(opened.description, typed.description);
        QCOMPARE(opened.manual, typed.manual);
        QCOMPARE(opened.notes, typed.notes);
        QCOMPARE(opened.email, typed.email);
        QCOMPARE(opened.subjectSlots, typed.subjectSlots);
        QCOMPARE(opened.authors, typed.authors);
        QCOMPARE(opened.teachers, typed.teachers);
        QCOMPARE(opened.leaderIndex, typed.leaderIndex);
        QCOMPARE(opened.hasPicture, typed.hasPicture);
        QCOMPARE(opened.pictureCaption, typed.pictureCaption);

        clock += 3600;
        const QString second = path(QStringLiteral("second.kwp"));
        QVERIFY(saveAs(second));
        const QByteArray before = entryContent(first, QStringLiteral("data.xml"));
        const QByteArray after = entryContent(second, QStringLiteral("data.xml"));
        QVERIFY(!before.isEmpty());
        QVERIFY(before != after); // the time stamp moved on
        QCOMPARE(withoutTimeStamp(after), withoutTimeStamp(before));
        QCOMPARE(entryContent(second, QStringLiteral("image.jpg")), entryContent(first, QStringLiteral("image.jpg")));
    }

    // The window shows the opened passport as if it had been typed in.
    void openRestoresTheControls()
    {
        fillTricky(true);
        const QString package = path(QStringLiteral("work.kwp"));
        QVERIFY(saveAs(package));
        newSession();
        QVERIFY(session->window().openPackage(package));

        QCOMPARE(session->control<QLabel>("subj1")->text(), QStringLiteral("География"));
        QCOMPARE(session->control<QLabel>("subj2")->text(), QStringLiteral("Техническое творчество"));
        QCOMPARE(session->control<QLabel>("subj4")->text(), QStringLiteral("В помощь учителю"));
        QCOMPARE(session->window().model().subjectSlots(), (std::array<qint32, 4>{3, 17, 21, 22}));
        auto *subjects = session->windows->sectionsDialog.get();
        const sections::SubjectFlags ticks = subjects->ticks();
        for (int number = 1; number <= 22; ++number) {
            const bool chosen = number == 3 || number == 17 || number == 21 || number == 22;
            QCOMPARE(ticks[number - 1], chosen);
            // Three main sections: only the ticked ones and 22 stay enabled.
            auto *box = subjects->findChild<QCheckBox *>(QStringLiteral("CheckBox%1").arg(number));
            QCOMPARE(box->isEnabled(), chosen);
        }

        QCOMPARE(session->control<QGroupBox>("AuthorsGroup")->title(), QStringLiteral("Авторы (10)"));
        QCOMPARE(session->control<QGroupBox>("TeachersGroup")->title(), QStringLiteral("Руководители (3)"));
        QVERIFY(!session->control("AuthorAdd")->isEnabled());
        QVERIFY(!session->control("TeacherAdd")->isEnabled());
        QVERIFY(session->control("AuthorDelete")->isEnabled());
        auto *authors = session->control<QListWidget>("AuthorsListBox");
        QCOMPARE(authors->count(), 10);
        QCOMPARE(authors->item(9)->text(), tt::validFormattedId(109));
        QCOMPARE(authors->currentRow(), 0);
        auto *surname = session->control<QLineEdit>("AuthorsLastname");
        QCOMPARE(surname->text(), QStringLiteral("Фамилия0"));
        QVERIFY(!surname->isReadOnly());
        auto *leader = session->control<QComboBox>("LeaderID");
        QCOMPARE(leader->count(), 3);
        QCOMPARE(leader->currentIndex(), 2);
        QVERIFY(leader->isEnabled());
        QVERIFY(session->control("LeaderID_Label")->isEnabled());
        // Names typed afterwards go to the selected participant.
        session->control<QListWidget>("TeachersListBox")->setCurrentRow(1);
        session->control<QLineEdit>("TeachersName")->setText(QStringLiteral("Новое"));
        QCOMPARE(session->window().model().participants(PassportModel::Side::Teachers)[1].Name,
                 QStringLiteral("Новое"));

        QVERIFY(!session->control("AddImg")->isEnabled());
        QVERIFY(session->control("DelImg")->isEnabled());
        QVERIFY(session->control("WorkImgSign")->isEnabled());
        QCOMPARE(session->control<QLineEdit>("WorkImgSign")->text(), QStringLiteral("Подпись & <знак>"));
        QCOMPARE(session->control<ImageBox>("WorkImg")->bitmap().size(), QSize(300, 225));
    }

    // The picture file of a package is kept byte for byte until the picture
    // is replaced; a new picture is exported afresh.
    void pictureFileIsKeptUntilReplaced()
    {
        fillMinimal();
        const QString made = path(QStringLiteral("made.kwp"));
        QVERIFY(saveAs(made));
        // The same package with a picture the program would never write:
        // quality 40, with a comment.
        QImage image(200, 150, QImage::Format_RGB32);
        image.fill(QColor(10, 200, 90));
        QByteArray foreign;
        {
            QBuffer buffer(&foreign);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(40);
            writer.setText(QStringLiteral("Comment"), QStringLiteral("kept"));
            QVERIFY(writer.write(image));
        }
        QVERIFY(foreign != picture::encodeJpeg(image));
        const QString withPicture = path(QStringLiteral("foreign.kwp"));
        writeBytes(withPicture,
                   save::zipStored({{QStringLiteral("data.xml"), entryContent(made, QStringLiteral("data.xml"))},
                                    {QStringLiteral("image.jpg"), foreign}})
                       .value());

        newSession();
        QVERIFY(session->window().openPackage(withPicture));
        QVERIFY(saveAs(path(QStringLiteral("again.kwp"))));
        QCOMPARE(entryContent(path(QStringLiteral("again.kwp")), QStringLiteral("image.jpg")), foreign);
        // The preview writes the same file.
        platform::testing::setBrowser([](const QUrl &) { return true; });
        QTest::mouseClick(session->control<QPushButton>("Preview"), Qt::LeftButton);
        platform::testing::setBrowser(nullptr);
        QFile shown(path(QStringLiteral("tmp/img.jpg")));
        QVERIFY(shown.open(QIODevice::ReadOnly));
        QCOMPARE(shown.readAll(), foreign);

        // Removed and loaded anew: exported from the shown picture.
        QTest::mouseClick(session->control<QPushButton>("DelImg"), Qt::LeftButton);
        gui::modal::testing::queueFileName(writePhoto(100, 80));
        QTest::mouseClick(session->control<QPushButton>("AddImg"), Qt::LeftButton);
        session->waitForPicture();
        QVERIFY(saveAs(path(QStringLiteral("new.kwp"))));
        QCOMPARE(entryContent(path(QStringLiteral("new.kwp")), QStringLiteral("image.jpg")),
                 picture::encodeJpeg(session->control<ImageBox>("WorkImg")->bitmap()));
    }

    void unreadablePackageLeavesTheWindowAsItWas_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not a ZIP") << QByteArray("this is no package");
        QTest::newRow("no data.xml") << save::zipStored({{QStringLiteral("other.txt"), QByteArray("x")}}).value();
        QTest::newRow("malformed XML")
            << save::zipStored({{QStringLiteral("data.xml"), QByteArray("<work><title>")}}).value();
        QTest::newRow("nothing there") << QByteArray();
    }
    void unreadablePackageLeavesTheWindowAsItWas()
    {
        QFETCH(QByteArray, bytes);
        fillMinimal();
        QVERIFY(saveAs(path(QStringLiteral("saved.kwp"))));
        session->control<QLineEdit>("title")->setText(QStringLiteral("Изменено"));
        const PassportSnapshot before = session->window().snapshot();
        const QString title = session->window().windowTitle();
        const QString bad = path(QStringLiteral("bad.kwp"));
        if (QTest::currentDataTag() != QLatin1String("nothing there"))
            writeBytes(bad, bytes);
        gui::modal::testing::reset();
        gui::modal::testing::queueAnswer(gui::modal::Answer::No); // drop the change to the title
        QVERIFY(!session->window().openPackage(bad));

        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 2);
        const gui::modal::Message error = messages.constLast();
        QCOMPARE(error.icon, gui::modal::Icon::Error);
        QVERIFY2(error.text.contains(QDir::toNativeSeparators(bad)), qPrintable(error.text));
        QVERIFY2(error.text.count(QLatin1Char('\n')) >= 2, qPrintable(error.text)); // the problem is named
        QCOMPARE(session->window().snapshot(), before);
        QCOMPARE(session->window().windowTitle(), title);
    }

    void captionNamesThePackage()
    {
        QCOMPARE(session->window().windowTitle(), kPlainTitle);
        fillMinimal();
        QVERIFY(saveAs(path(QStringLiteral("work.kwp"))));
        QCOMPARE(session->window().windowTitle(), QStringLiteral("work.kwp - ") + kPlainTitle);

        newSession();
        QCOMPARE(session->window().windowTitle(), kPlainTitle);
        QVERIFY(session->window().openPackage(path(QStringLiteral("work.kwp"))));
        QCOMPARE(session->window().windowTitle(), QStringLiteral("work.kwp - ") + kPlainTitle);
        // "Сохранить" offers the opened package.
        gui::modal::testing::reset();
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        QCOMPARE(gui::modal::testing::saveRequests().size(), 1);
        QCOMPARE(gui::modal::testing::saveRequests()[0].selectedFile, path(QStringLiteral("work.kwp")));
    }

    void openDialogStartsWhereTheLastPackageWas()
    {
        QTest::mouseClick(session->control<QPushButton>("OpenButton"), Qt::LeftButton);
        QCOMPARE(gui::modal::testing::openRequests().size(), 1);
        const gui::modal::OpenFileRequest first = gui::modal::testing::openRequests()[0];
        QCOMPARE(first.directory, QDir::homePath());
        QCOMPARE(first.nameFilters, QStringList{QStringLiteral("Паспорт работы Фестиваля \"Ковирта\" (*.kwp)")});
        QVERIFY(!first.picturePreview);

        fillMinimal();
        QDir(temp->path()).mkdir(QStringLiteral("sub"));
        QVERIFY(saveAs(path(QStringLiteral("sub/a.kwp"))));
        gui::modal::testing::reset();
        session->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session->window()));
        QTest::keySequence(&session->window(), QKeySequence::Open);
        QCOMPARE(gui::modal::testing::openRequests().size(), 1);
        QCOMPARE(gui::modal::testing::openRequests()[0].directory, path(QStringLiteral("sub")));
    }

    void openThroughTheButtonAndByDropping()
    {
        fillMinimal();
        const QString package = path(QStringLiteral("drop.kwp"));
        QVERIFY(saveAs(package));
        const PassportSnapshot saved = session->window().snapshot();

        newSession();
        gui::modal::testing::queueFileName(package);
        QTest::mouseClick(session->control<QPushButton>("OpenButton"), Qt::LeftButton);
        QCOMPARE(session->window().snapshot().title, saved.title);

        newSession();
        dropOnto(&session->window(), package);
        QCOMPARE(session->window().snapshot().authors, saved.authors);

        // Over an edit the package opens too, and the edit takes no text.
        newSession();
        dropOnto(session->control("public_phone"), package);
        QCOMPARE(session->window().snapshot().title, saved.title);
        QCOMPARE(session->control<QLineEdit>("public_phone")->text(), QString());
    }
};

QTEST_MAIN(TestPackage)
#include "test_package.moc"
