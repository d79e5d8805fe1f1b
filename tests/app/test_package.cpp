// Opening a saved package through the real window, the window's caption,
// and the question about unsaved input on close and before opening.

#include "app/image_box.h"
#include "core/platform.h"
#include "full_passport.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/package_reader.h"
#include "scripted_session.h"
#include "sections/sections_dialog.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QImageWriter>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QString kPlainTitle = QStringLiteral("Фестиваль \"Ковирта\" - Тирлада (2008/2009)");
const QString kQuestion = QStringLiteral("Сохранить изменения в паспорте работы?");

QByteArray entryContent(const QString &package, const QString &name)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), package, name});
    unzip.waitForFinished(60000);
    return unzip.readAllStandardOutput();
}

QByteArray withoutTimeStamp(QByteArray document)
{
    static const QRegularExpression stamp(QStringLiteral("<datetime>[0-9]*</datetime>"));
    return QString::fromUtf8(document).replace(stamp, QStringLiteral("<datetime/>")).toUtf8();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A 500-character description whose last character is astral, with CR LF.
QString descriptionOf500()
{
    QString text = QStringLiteral("Строка\r\nдругая <b>&amp;</b> \"кавычки\" 'апостроф' ");
    while (text.size() < 498)
        text += QChar(u'ж');
    text += QString::fromUcs4(U"\U0001F600");
    return text;
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<tt::Session> session;
    qint64 clock = 1233446400;

    QString path(const QString &name) const { return QDir(temp->path()).filePath(name); }

    void newSession()
    {
        session.reset();
        session = std::make_unique<tt::Session>();
    }

    bool saveAs(const QString &package)
    {
        gui::modal::testing::queueFileName(package);
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        const bool saved = gui::modal::testing::lastMessage().caption == QStringLiteral("Паспорт сохранен");
        if (!saved)
            qWarning("save: %s", qPrintable(gui::modal::testing::lastMessage().text));
        return saved;
    }

    QString writePhoto(int width, int height) { return tt::writeSessionPhoto(QDir(temp->path()), width, height); }

    // Every field filled, with the tricky texts.
    void fillTricky(bool withPicture)
    {
        session->control<QLineEdit>("title")->setText(QStringLiteral("<title> & \"quotes\" 'ё' ")
                                                      + QString::fromUcs4(U"\U0001D11E"));
        session->control<QPlainTextEdit>("description")->setPlainText(core::passportTextToMemo(descriptionOf500()));
        session->control<QLineEdit>("tech_request")->setText(QStringLiteral("</tech_request>"));
        session->control<QPlainTextEdit>("manual")->setPlainText(QStringLiteral("раз\n\nдва &#38; три\n"));
        session->control<QLineEdit>("public_post_index")->setText(QStringLiteral("620000"));
        session->control<QLineEdit>("public_post_address")->setText(QStringLiteral("ул. \"Мира\", 1"));
        session->control<QLineEdit>("public_phone")->setText(QStringLiteral("+7 (343) 000"));
        session->control<QLineEdit>("public_email")->setText(QStringLiteral("a&b@example.ru"));
        session->control<QPlainTextEdit>("Notes")->setPlainText(QStringLiteral("Заметка <для> оргкомитета"));
        session->window().SubjectSlots = {3, 17, 21, 22};
        QList<TPersonRecord> authors;
        for (int i = 0; i < 10; ++i)
            authors.append({tt::validFormattedId(100 + i), QStringLiteral("Фамилия%1").arg(i),
                            QStringLiteral("Имя \"%1\"").arg(i),
                            QStringLiteral("Отчество ") + QString(QChar(u'а' + i))});
        QList<TPersonRecord> teachers;
        for (int i = 0; i < 3; ++i)
            teachers.append({tt::validFormattedId(200 + i), QStringLiteral("Учитель%1").arg(i), QStringLiteral("И<мя>"),
                             QStringLiteral("О&тчество")});
        session->setParticipants(authors, teachers, 2);
        if (withPicture) {
            gui::modal::testing::queueFileName(writePhoto(640, 480));
            QTest::mouseClick(session->control<QPushButton>("AddImg"), Qt::LeftButton);
            session->control<QLineEdit>("WorkImgSign")->setText(QStringLiteral("Подпись & <знак>"));
        }
    }

    void fillMinimal()
    {
        session->control<QLineEdit>("title")->setText(QStringLiteral("Работа"));
        session->control<QPlainTextEdit>("description")->setPlainText(QStringLiteral("Описание"));
        session->window().SubjectSlots = {5, 0, 0, 0};
        session->setParticipants(
            {{tt::validFormattedId(1), QStringLiteral("А"), QStringLiteral("Б"), QStringLiteral("В")}},
            {{tt::validFormattedId(2), QStringLiteral("Г"), QStringLiteral("Д"), QStringLiteral("Е")}});
    }

    void dropOnto(QWidget *target, const QString &file)
    {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        mime.setText(file);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(temp->isValid());
        QDir(temp->path()).mkpath(QStringLiteral("tmp"));
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
        platform::testing::setTempFolder(path(QStringLiteral("tmp/")));
        platform::testing::setClock([this] { return clock; });
        newSession();
    }
    void cleanup()
    {
        session.reset();
        platform::testing::setClock(nullptr);
        platform::testing::setTempFolder(QString());
        temp.reset();
    }

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
        QCOMPARE(session->window().SubjectSlots, (std::array<qint32, 4>{3, 17, 21, 22}));
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
        QCOMPARE(session->window().TeachersData[1].Name, QStringLiteral("Новое"));

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
                                    {QStringLiteral("image.jpg"), foreign}}));

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
        QVERIFY(saveAs(path(QStringLiteral("new.kwp"))));
        QCOMPARE(entryContent(path(QStringLiteral("new.kwp")), QStringLiteral("image.jpg")),
                 picture::encodeJpeg(session->control<ImageBox>("WorkImg")->bitmap()));
    }

    void unreadablePackageLeavesTheWindowAsItWas_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not a ZIP") << QByteArray("this is no package");
        QTest::newRow("no data.xml") << save::zipStored({{QStringLiteral("other.txt"), QByteArray("x")}});
        QTest::newRow("malformed XML") << save::zipStored({{QStringLiteral("data.xml"), QByteArray("<work><title>")}});
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

    // The question before opening over unsaved input.
    void openingAsksAboutUnsavedInput_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("opened");
        QTest::newRow("Да") << int(gui::modal::Answer::Yes) << true;
        QTest::newRow("Нет") << int(gui::modal::Answer::No) << true;
        QTest::newRow("Отмена") << int(gui::modal::Answer::Cancel) << false;
    }
    void openingAsksAboutUnsavedInput()
    {
        QFETCH(int, answer);
        QFETCH(bool, opened);
        fillMinimal();
        const QString package = path(QStringLiteral("other.kwp"));
        QVERIFY(saveAs(package));
        session->control<QLineEdit>("title")->setText(QStringLiteral("Несохраненное"));
        gui::modal::testing::reset();
        gui::modal::testing::queueAnswer(gui::modal::Answer(answer));
        const QString changed = path(QStringLiteral("changed.kwp"));
        if (gui::modal::Answer(answer) == gui::modal::Answer::Yes)
            gui::modal::testing::queueFileName(changed);
        gui::modal::testing::queueFileName(package);
        QTest::mouseClick(session->control<QPushButton>("OpenButton"), Qt::LeftButton);

        const gui::modal::Message question = gui::modal::testing::messages().constFirst();
        QCOMPARE(question.text, kQuestion);
        QCOMPARE(question.buttons, gui::modal::Buttons::YesNoCancel);
        QCOMPARE(question.icon, gui::modal::Icon::Question);
        QCOMPARE(gui::modal::testing::openRequests().size(), opened ? 1 : 0);
        QCOMPARE(session->window().snapshot().title,
                 opened ? QStringLiteral("Работа") : QStringLiteral("Несохраненное"));
        QCOMPARE(QFile::exists(changed), gui::modal::Answer(answer) == gui::modal::Answer::Yes);
    }

    void closingAsks_data()
    {
        QTest::addColumn<QString>("change"); // "", "typed", "undone", "incomplete"
        QTest::addColumn<int>("answer");     // -1: no question expected
        QTest::addColumn<bool>("saveChosen");
        QTest::addColumn<bool>("closes");
        QTest::newRow("untouched") << "" << -1 << false << true;
        QTest::newRow("typed and deleted again") << "undone" << -1 << false << true;
        QTest::newRow("Отмена") << "typed" << int(gui::modal::Answer::Cancel) << false << false;
        QTest::newRow("Нет") << "typed" << int(gui::modal::Answer::No) << false << true;
        QTest::newRow("Да, saved") << "typed" << int(gui::modal::Answer::Yes) << true << true;
        QTest::newRow("Да, save dialog cancelled") << "typed" << int(gui::modal::Answer::Yes) << false << false;
        QTest::newRow("Да, passport incomplete") << "incomplete" << int(gui::modal::Answer::Yes) << false << false;
    }
    void closingAsks()
    {
        QFETCH(QString, change);
        QFETCH(int, answer);
        QFETCH(bool, saveChosen);
        QFETCH(bool, closes);
        if (change == QLatin1String("typed")) {
            fillMinimal();
        } else if (change == QLatin1String("incomplete")) {
            session->control<QLineEdit>("title")->setText(QStringLiteral("Только название"));
        } else if (change == QLatin1String("undone")) {
            auto *title = session->control<QLineEdit>("title");
            title->setFocus();
            QTest::keyClicks(title, QStringLiteral("ab"));
            QTest::keyClick(title, Qt::Key_Backspace);
            QTest::keyClick(title, Qt::Key_Backspace);
        }
        if (answer >= 0)
            gui::modal::testing::queueAnswer(gui::modal::Answer(answer));
        const QString package = path(QStringLiteral("closing.kwp"));
        if (saveChosen)
            gui::modal::testing::queueFileName(package);

        QCOMPARE(session->window().close(), closes);
        QCOMPARE(session->window().isVisible(), !closes);
        const auto messages = gui::modal::testing::messages();
        if (answer < 0) {
            QVERIFY(messages.isEmpty());
        } else {
            QCOMPARE(messages.constFirst().text, kQuestion);
            QCOMPARE(messages.constFirst().caption, QStringLiteral("Тирлада"));
            QCOMPARE(messages.constFirst().buttons, gui::modal::Buttons::YesNoCancel);
        }
        QCOMPARE(QFile::exists(package), closes && saveChosen);
        QCOMPARE(gui::modal::testing::unusedCount(), 0);
    }

    // The question as the user sees it: three buttons, and Escape or the
    // close box keep the window ("Отмена").
    void questionBoxAnswers_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expected");
        QTest::newRow("Escape") << "escape" << int(gui::modal::Answer::Cancel);
        QTest::newRow("close box") << "close" << int(gui::modal::Answer::Cancel);
        QTest::newRow("Да") << "yes" << int(gui::modal::Answer::Yes);
        QTest::newRow("Нет") << "no" << int(gui::modal::Answer::No);
    }
    void questionBoxAnswers()
    {
        QFETCH(QString, action);
        QFETCH(int, expected);
        gui::modal::testing::uninstall();
        int buttons = 0;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            buttons = int(box->buttons().size());
            if (action == QLatin1String("escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else if (action == QLatin1String("close"))
                box->close();
            else
                box->button(action == QLatin1String("yes") ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        const gui::modal::Answer answer =
            gui::modal::message(&session->window(), gui::modal::Icon::Question, QStringLiteral("Тирлада"), kQuestion,
                                gui::modal::Buttons::YesNoCancel);
        gui::modal::testing::install();
        QCOMPARE(buttons, 3);
        QCOMPARE(int(answer), expected);
    }

    // A failure inside the save of "Да" is shown, and the window stays open.
    void closingKeepsTheWindowWhenTheSaveFails()
    {
        fillMinimal();
        gui::modal::testing::queueAnswer(gui::modal::Answer::Yes);
        gui::modal::testing::queueFileName(path(QStringLiteral("nowhere/x.kwp")));
        platform::testing::setTempFolder(path(QStringLiteral("missing/")));
        writeBytes(path(QStringLiteral("missing")), "a file where the folder should be");
        QVERIFY(!session->window().close());
        QVERIFY(session->window().isVisible());
        QCOMPARE(gui::modal::testing::lastMessage().icon, gui::modal::Icon::Error);
    }
};

QTEST_MAIN(TestPackage)
#include "test_package.moc"
