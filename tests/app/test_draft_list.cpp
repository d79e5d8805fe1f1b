// Several drafts left by programs that ended: one list to choose from,
// with each work's title and time and the damaged ones marked, instead of
// a run of questions.

#include "draft_fixture.h"

#include "picture/jpeg_codec.h"

#include <QPushButton>
#include <QTreeWidget>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString text(QTreeWidgetItem *item, int column) { return item ? item->text(column) : QString(); }

} // namespace

class TestDraftList : public DraftFixture {
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void severalDraftsAreOneList()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const QString first = plantOrphan(QStringLiteral("draft-1000001.kwp"), passportTitled(QStringLiteral("Первая")),
                                          now.addSecs(-60));
        const QString untitled =
            plantOrphan(QStringLiteral("draft-1000002.kwp"), passportTitled(QString()), now.addSecs(-3600));
        QByteArray truncated =
            drafts::draftPackage(passportTitled(QStringLiteral("Обрезанная")), QByteArray(), 1).value();
        truncated.chop(truncated.size() / 2);
        const QString damaged = plantOrphan(QStringLiteral("draft-1000003.kwp"), truncated, now.addSecs(-7200));

        QStringList rows;
        QStringList states;
        bool restoreEnabledOnDamaged = true;
        QStringList tabChain;
        gui::modal::testing::queueDialog([&](QDialog *dialog) {
            auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("DraftListView"));
            QVERIFY(list);
            QVERIFY(!list->accessibleName().isEmpty());
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                rows << text(list->topLevelItem(i), 0) + QLatin1Char('|') + text(list->topLevelItem(i), 1);
                states << text(list->topLevelItem(i), 2);
            }
            // Every control named, and reached by Tab from the list.
            QWidget *focus = list;
            for (int i = 0; i < 3; ++i) {
                focus = focus->nextInFocusChain();
                while (focus->focusPolicy() == Qt::NoFocus)
                    focus = focus->nextInFocusChain();
                tabChain << focus->objectName() + QLatin1Char(':') + focus->accessibleName();
            }
            list->clearSelection();
            list->topLevelItem(2)->setSelected(true);
            restoreEnabledOnDamaged = dialog->findChild<QPushButton *>(QStringLiteral("RestoreDraft"))->isEnabled();
            list->clearSelection();
            list->setCurrentItem(list->topLevelItem(0));
            list->topLevelItem(0)->setSelected(true);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("RestoreDraft")), Qt::LeftButton);
        });
        window().offerDraftRecovery();
        QCOMPARE(gui::modal::testing::execCount(), 1);
        // No run of questions.
        QVERIFY(gui::modal::testing::messages().isEmpty());

        const QString format = QStringLiteral("dd.MM.yyyy HH:mm:ss");
        QCOMPARE(rows, (QStringList{QStringLiteral("Первая|") + now.addSecs(-60).toString(format),
                                    QStringLiteral("(без названия)|") + now.addSecs(-3600).toString(format),
                                    QStringLiteral("(без названия)|") + now.addSecs(-7200).toString(format)}));
        QVERIFY(states[2].contains(QStringLiteral("поврежден")));
        QVERIFY(!states[0].contains(QStringLiteral("поврежден")));
        QVERIFY(!restoreEnabledOnDamaged);
        QCOMPARE(tabChain.size(), 3);
        QVERIFY2(tabChain[0].startsWith(QStringLiteral("RestoreDraft:"))
                     && tabChain[1].startsWith(QStringLiteral("DeleteDrafts:"))
                     && tabChain[2].startsWith(QStringLiteral("KeepDrafts:")),
                 qPrintable(tabChain.join(QLatin1Char(' '))));
        for (const QString &control : tabChain)
            QVERIFY(!control.section(QLatin1Char(':'), 1).isEmpty());

        // The one chosen is restored, and is this window's draft now; the
        // others wait for the next start, unlocked.
        QCOMPARE(window().snapshot().title, QStringLiteral("Первая"));
        QCOMPARE(window().draftPath(), first);
        QVERIFY(QFile::exists(untitled) && QFile::exists(damaged));
        QVERIFY(!QFile::exists(untitled + QStringLiteral(".lock")));
        QVERIFY(!QFile::exists(damaged + QStringLiteral(".lock")));

        restartSession();
        int listed = 0;
        gui::modal::testing::queueDialog([&](QDialog *dialog) {
            listed = dialog->findChild<QTreeWidget *>(QStringLiteral("DraftListView"))->topLevelItemCount();
        });
        window().offerDraftRecovery();
        QCOMPARE(listed, 2);
    }

    void deletingFromTheList_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("Да") << true;
        QTest::newRow("Нет") << false;
    }
    void deletingFromTheList()
    {
        QFETCH(bool, confirm);
        const QDateTime now = QDateTime::currentDateTime();
        QStringList drafts;
        for (int i = 0; i < 3; ++i)
            drafts << plantOrphan(QStringLiteral("draft-20000%1.kwp").arg(i), passportTitled(QString::number(i)),
                                  now.addSecs(-100 * i));
        drafts << plantOrphan(QStringLiteral("draft-200009.kwp"), QByteArray("PK\3\4 broken"), now.addSecs(-1000));

        int left = -1;
        gui::modal::testing::queueAnswer(confirm ? gui::modal::Answer::Yes : gui::modal::Answer::No);
        gui::modal::testing::queueDialog([&](QDialog *dialog) {
            auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("DraftListView"));
            list->clearSelection();
            list->topLevelItem(1)->setSelected(true);
            list->topLevelItem(3)->setSelected(true);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("DeleteDrafts")), Qt::LeftButton);
            left = list->topLevelItemCount();
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("KeepDrafts")), Qt::LeftButton);
        });
        window().offerDraftRecovery();
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        QVERIFY(gui::modal::testing::lastMessage().text.contains(QStringLiteral("(2)")));
        QCOMPARE(left, confirm ? 2 : 4);
        QCOMPARE(QFile::exists(drafts[1]), !confirm);
        QCOMPARE(QFile::exists(drafts[3]), !confirm);
        QVERIFY(QFile::exists(drafts[0]) && QFile::exists(drafts[2]));
        // Nothing restored.
        QVERIFY(window().snapshot().title.isEmpty());
        QVERIFY(window().draftPath().isEmpty());
    }

    // Only an explicit "Нет" gives a draft up: Escape and the close box, on
    // the question and on the list, keep every draft for the next start.
    void onlyNoGivesUpADraft_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("answer"); // for the question: -1 none (closed)
        QTest::addColumn<bool>("kept");
        QTest::newRow("question, Escape") << "question" << int(gui::modal::Answer::Cancel) << true;
        QTest::newRow("question, closed without an answer") << "question" << -1 << true;
        QTest::newRow("question, Нет") << "question" << int(gui::modal::Answer::No) << false;
        QTest::newRow("list, Escape") << "list Escape" << -1 << true;
        QTest::newRow("list, close box") << "list close" << -1 << true;
        QTest::newRow("list, delete question Escaped") << "list delete" << int(gui::modal::Answer::Cancel) << true;
    }
    void onlyNoGivesUpADraft()
    {
        QFETCH(QString, where);
        QFETCH(int, answer);
        QFETCH(bool, kept);
        const QDateTime now = QDateTime::currentDateTime();
        QStringList drafts{plantOrphan(QStringLiteral("draft-4000001.kwp"), passportTitled(QStringLiteral("Первая")),
                                       now.addSecs(-60))};
        if (where.startsWith(QLatin1String("list")))
            drafts << plantOrphan(QStringLiteral("draft-4000002.kwp"), passportTitled(QStringLiteral("Вторая")),
                                  now.addSecs(-120));
        if (answer >= 0)
            gui::modal::testing::queueAnswer(gui::modal::Answer(answer));
        if (where == QLatin1String("list Escape"))
            gui::modal::testing::queueDialog([](QDialog *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        else if (where == QLatin1String("list close"))
            gui::modal::testing::queueDialog([](QDialog *dialog) { dialog->close(); });
        else if (where == QLatin1String("list delete"))
            gui::modal::testing::queueDialog([](QDialog *dialog) {
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("DeleteDrafts")), Qt::LeftButton);
                QTest::keyClick(dialog, Qt::Key_Escape);
            });
        window().offerDraftRecovery();
        QCOMPARE(gui::modal::testing::unusedCount(), 0);
        for (const QString &draft : drafts)
            QCOMPARE(QFile::exists(draft), kept);
        // Nothing restored.
        QVERIFY(window().snapshot().title.isEmpty());
        if (!kept)
            return;
        // Offered again at the next start.
        restartSession();
        window().offerDraftRecovery();
        QCOMPARE(gui::modal::testing::messages().size() + gui::modal::testing::execCount(), 1);
    }

    // A damaged draft gives what it still can: its title when its data
    // document reads, its texts when only its picture is broken; the list
    // opens on the newest draft that can be restored.
    void damagedDraftsGiveWhatTheyCan()
    {
        const QDateTime now = QDateTime::currentDateTime();
        PassportSnapshot withPicture = passportTitled(QStringLiteral("Картинка сломана"));
        withPicture.hasPicture = true;
        withPicture.picture = QImage(40, 30, QImage::Format_RGB32);
        withPicture.picture.fill(Qt::darkGreen);
        const QByteArray jpeg = picture::encodeJpeg(withPicture.picture);
        // The picture's bytes broken inside a sound archive.
        const QString brokenPicture = plantOrphan(
            QStringLiteral("draft-6000002.kwp"),
            drafts::draftPackage(withPicture, QByteArray("not a JPEG at all"), 1).value(), now.addSecs(-120));
        // Cut off in the picture: the data document before it is whole.
        PassportSnapshot cutPassport = withPicture;
        cutPassport.title = QStringLiteral("Обрезанная");
        QByteArray cut = drafts::draftPackage(cutPassport, jpeg, 1).value();
        cut.chop(jpeg.size() / 2 + 100);
        plantOrphan(QStringLiteral("draft-6000003.kwp"), cut, now.addSecs(-180));
        // The newest is beyond repair.
        plantOrphan(QStringLiteral("draft-6000001.kwp"), QByteArray("PK\3\4 broken"), now.addSecs(-60));

        QStringList rows;
        QString selected;
        gui::modal::testing::queueDialog([&](QDialog *dialog) {
            auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("DraftListView"));
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                rows << text(list->topLevelItem(i), 0) + QLatin1Char('|') + text(list->topLevelItem(i), 2);
            selected = text(list->currentItem(), 0);
            QVERIFY(list->currentItem()->isSelected());
            QTest::keyClick(list, Qt::Key_Return);
        });
        window().offerDraftRecovery();
        QCOMPARE(rows, (QStringList{QStringLiteral("(без названия)|поврежден, восстановить нельзя"),
                                    QStringLiteral("Картинка сломана|можно восстановить без картинки"),
                                    QStringLiteral("Обрезанная|можно восстановить без картинки")}));
        QCOMPARE(selected, QStringLiteral("Картинка сломана"));
        // Enter restored it: its texts, no picture, and a word about it.
        QCOMPARE(window().snapshot().title, QStringLiteral("Картинка сломана"));
        QCOMPARE(window().snapshot().notes, QStringLiteral("Заметка"));
        QVERIFY(!window().snapshot().hasPicture);
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        QVERIFY2(gui::modal::testing::lastMessage().text.contains(
                     QStringLiteral("Картинку из черновика восстановить не удалось")),
                 qPrintable(gui::modal::testing::lastMessage().text));
        QCOMPARE(window().draftPath(), brokenPicture);
    }

    // A draft that cannot be deleted stays in the list, and the list says
    // why; it is offered again at the next start.
    void draftThatCannotBeDeletedStays()
    {
        const QDateTime now = QDateTime::currentDateTime();
        QStringList drafts;
        for (int i = 0; i < 2; ++i)
            drafts << plantOrphan(QStringLiteral("draft-700000%1.kwp").arg(i), passportTitled(QString::number(i)),
                                  now.addSecs(-100 * i));
        QVERIFY(chmod(qPrintable(temp->path()), 0755) == 0);
        int left = -1;
        gui::modal::testing::queueAnswer(gui::modal::Answer::Yes);
        gui::modal::testing::queueDialog([&](QDialog *dialog) {
            auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("DraftListView"));
            list->clearSelection();
            list->topLevelItem(0)->setSelected(true);
            // The drafts folder stops taking changes, as an ordinary user
            // finds a read-only folder.
            QVERIFY(chmod(qPrintable(drafts::draftFolder()), 0555) == 0);
            const bool root = geteuid() == 0;
            if (root)
                QVERIFY(seteuid(65534) == 0);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("DeleteDrafts")), Qt::LeftButton);
            if (root)
                QVERIFY(seteuid(0) == 0);
            QVERIFY(chmod(qPrintable(drafts::draftFolder()), 0700) == 0);
            left = list->topLevelItemCount();
        });
        window().offerDraftRecovery();
        QCOMPARE(left, 2);
        QVERIFY(QFile::exists(drafts[0]));
        const QString said = gui::modal::testing::lastMessage().text;
        QVERIFY2(said.contains(QStringLiteral("нет прав на запись в эту папку")), qPrintable(said));
    }

    // One damaged draft is no question: it is named in the list.
    void oneDamagedDraftIsListed()
    {
        const QString damaged =
            plantOrphan(QStringLiteral("draft-3000001.kwp"), QByteArray("PK\3\4"), QDateTime::currentDateTime());
        QString state;
        gui::modal::testing::queueDialog([&](QDialog *dialog) {
            state = text(dialog->findChild<QTreeWidget *>(QStringLiteral("DraftListView"))->topLevelItem(0), 2);
            // Escape keeps it.
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        window().offerDraftRecovery();
        QVERIFY(gui::modal::testing::messages().isEmpty());
        QVERIFY(state.contains(QStringLiteral("поврежден")));
        QVERIFY(QFile::exists(damaged));
    }
};

QTEST_MAIN(TestDraftList)
#include "test_draft_list.moc"
