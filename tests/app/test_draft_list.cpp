// Several drafts left by programs that ended: one list to choose from,
// with each work's title and time and the damaged ones marked, instead of
// a run of questions.

#include "draft_fixture.h"

#include <QPushButton>
#include <QTreeWidget>

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
        QByteArray truncated = drafts::draftPackage(passportTitled(QStringLiteral("Обрезанная")), QByteArray(), 1);
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
