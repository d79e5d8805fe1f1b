// Crash recovery that tells the truth: the line that says when drafts
// cannot be written, a restored draft that remembers its package, stale
// locks and half-written leftovers.

#include "draft_fixture.h"
#include "full_passport.h"
#include "gui/memo_edit.h"
#include "save/package_reader.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLockFile>
#include <QTextBlock>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A process number that no process has: one above the system's limit.
qint64 deadPid()
{
    QFile max(QStringLiteral("/proc/sys/kernel/pid_max"));
    return max.open(QIODevice::ReadOnly) ? max.readAll().trimmed().toLongLong() + 1 : 99999999;
}

// Limits the size of every file the process writes, so that the draft finds
// the disk full.
struct FullDisk {
    rlimit before{};
    explicit FullDisk(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit limit = before;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk() { setrlimit(RLIMIT_FSIZE, &before); }
};

// While it lives, the process (all its threads) acts as an ordinary user,
// so that a read-only folder refuses new files as it would for the user;
// root would write into it regardless. Not run as root, nothing changes.
struct AsOrdinaryUser {
    const bool switched = geteuid() == 0;
    AsOrdinaryUser()
    {
        if (switched && seteuid(65534) != 0)
            qFatal("cannot act as an ordinary user");
    }
    ~AsOrdinaryUser()
    {
        if (switched && seteuid(0) != 0)
            qFatal("cannot act as root again");
    }
};

const QString kRestoreQuestion = QStringLiteral("Восстановить несохраненный паспорт работы?");
const QString kUnsavedQuestion = QStringLiteral("Сохранить изменения в паспорте работы?");

} // namespace

class TestDraftRecovery : public DraftFixture {
    Q_OBJECT

    QLabel *warning() { return session->control<QLabel>("DraftWarning"); }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // ---- Drafts that cannot be written ----

    void unwritableDraftsAreShown_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        QTest::newRow("the data folder is a file") << "folder is a file"
                                                   << "папку для черновиков нельзя создать";
        QTest::newRow("the draft's place is taken by a folder") << "draft is a folder"
                                                                << "файл черновика нельзя записать";
        QTest::newRow("the data folder is read-only") << "folder is read-only"
                                                      << "папку для черновиков нельзя создать";
        QTest::newRow("the disk is full") << "disk full"
                                          << "файл черновика нельзя записать";
    }
    void unwritableDraftsAreShown()
    {
        QFETCH(QString, how);
        QFETCH(QString, reason);
        const QString blocked = path(QStringLiteral("blocked"));
        if (how == QLatin1String("folder is a file")) {
            session.reset();
            writeBytes(blocked, "a file where the data folder should be");
            qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
            session = std::make_unique<tt::Session>();
        } else if (how == QLatin1String("folder is read-only")) {
            // The data folder, and the way to it, readable by everyone and
            // writable by no one.
            session.reset();
            QVERIFY(QDir().mkpath(blocked));
            QVERIFY(chmod(qPrintable(temp->path()), 0755) == 0);
            QVERIFY(chmod(qPrintable(path(QStringLiteral("tmp"))), 01777) == 0);
            QVERIFY(chmod(qPrintable(blocked), 0555) == 0);
            qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
            session = std::make_unique<tt::Session>();
        }
        QVERIFY(!warning()->isVisible());
        QString draft;
        if (how == QLatin1String("draft is a folder")) {
            // Drafts were written; then the draft's place stops taking
            // files (as a folder does once it turns read-only).
            typeTitle(QStringLiteral("Первый"));
            window().flushDraft();
            draft = window().draftPath();
            QVERIFY(QFile::remove(draft));
            QVERIFY(QDir().mkpath(draft + QStringLiteral("/inside")));
        }
        {
            std::optional<FullDisk> full;
            if (how == QLatin1String("disk full"))
                full.emplace(512);
            std::optional<AsOrdinaryUser> ordinary;
            if (how == QLatin1String("folder is read-only"))
                ordinary.emplace();
            typeTitle(QString(2000, QLatin1Char('x')));
            window().flushDraft();
        }
        QVERIFY(warning()->isVisible());
        QVERIFY2(warning()->text().startsWith(QStringLiteral("Черновик не сохраняется: ") + reason),
                 qPrintable(warning()->text()));
        QVERIFY(warning()->text().contains(QStringLiteral("Сохраните паспорт работы")));
        // Said to a screen reader, near the buttons, never in the Tab chain.
        QCOMPARE(warning()->accessibleName(), warning()->text());
        QVERIFY(!warning()->accessibleDescription().isEmpty());
        QCOMPARE(warning()->focusPolicy(), Qt::NoFocus);
        QVERIFY(warning()->geometry().bottom() > session->control("SectionsTabs")->geometry().bottom());
        // No box while typing; the input is all there.
        QVERIFY(gui::modal::testing::messages().isEmpty());
        QCOMPARE(window().snapshot().title.size(), 2000 + (how == QLatin1String("draft is a folder") ? 6 : 0));

        // Once drafts can be written again, the next draft clears the line.
        if (how == QLatin1String("folder is a file")) {
            QVERIFY(QFile::remove(blocked));
            QVERIFY(QDir().mkpath(blocked));
        } else if (how == QLatin1String("folder is read-only")) {
            QVERIFY(chmod(qPrintable(blocked), 0755) == 0);
        } else if (how == QLatin1String("draft is a folder")) {
            QVERIFY(QDir(draft).removeRecursively());
        }
        typeTitle(QStringLiteral("!"));
        window().flushDraft();
        QVERIFY(QFile::exists(window().draftPath()));
        QVERIFY(!warning()->isVisible());
    }

    // ---- A restored draft remembers its package ----

    void restoredDraftRemembersItsPackage_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("package as it was") << "nothing";
        QTest::newRow("package changed") << "changed";
        QTest::newRow("package gone") << "gone";
    }
    void restoredDraftRemembersItsPackage()
    {
        QFETCH(QString, meanwhile);
        const QString package = path(QStringLiteral("work.kwp"));
        tt::fillCompletePassport(*session);
        session->setParticipants(
            {{tt::validFormattedId(1), QStringLiteral("А"), QStringLiteral("Б"), QStringLiteral("В")}},
            {{tt::validFormattedId(2), QStringLiteral("Г"), QStringLiteral("Д"), QStringLiteral("Е")}});
        gui::modal::testing::queueFileName(package);
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        QVERIFY(QFile::exists(package));
        const PassportSnapshot saved = window().snapshot();

        // Opened, changed, and the program killed: its draft is left.
        restartSession();
        QVERIFY(window().openPackage(package));
        const QString title = window().snapshot().title;
        typeTitle(QStringLiteral(" и осень"));
        window().flushDraft();
        const QString draft = window().draftPath();
        const QString orphan = QDir(drafts::draftFolder()).filePath(QStringLiteral("draft-4000001.kwp"));
        QVERIFY(QFile::copy(draft, orphan));
        QVERIFY(QFile::copy(drafts::originPath(draft), drafts::originPath(orphan)));
        restartSession();

        if (meanwhile == QLatin1String("changed"))
            writeBytes(package, "another program wrote here");
        else if (meanwhile == QLatin1String("gone"))
            QVERIFY(QFile::remove(package));

        gui::modal::testing::queueAnswer(gui::modal::Answer::Yes);
        window().offerDraftRecovery();
        QCOMPARE(gui::modal::testing::lastMessage().text, kRestoreQuestion);
        QCOMPARE(window().snapshot().title, title + QStringLiteral(" и осень"));
        // The caption names the package, and the save offers it.
        QVERIFY2(window().windowTitle().startsWith(QStringLiteral("work.kwp - ")), qPrintable(window().windowTitle()));
        gui::modal::testing::queueFileName(QString());
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        QCOMPARE(gui::modal::testing::saveRequests().size(), 1);
        QCOMPARE(gui::modal::testing::saveRequests().constLast().selectedFile, package);

        // Unsaved against the package: closing asks.
        gui::modal::testing::reset();
        gui::modal::testing::queueAnswer(gui::modal::Answer::Cancel);
        QVERIFY(!window().close());
        QCOMPARE(gui::modal::testing::lastMessage().text, kUnsavedQuestion);

        // Back to the package's content: closing does not ask, and the
        // draft goes.
        session->control<QLineEdit>("title")->setText(title);
        QCOMPARE(window().snapshot(), saved);
        gui::modal::testing::reset();
        QVERIFY(window().close());
        QVERIFY(gui::modal::testing::messages().isEmpty());
        QVERIFY(!QFile::exists(orphan));
        QVERIFY(!QFile::exists(drafts::originPath(orphan)));
    }

    // ---- Stale locks ----

    void staleLocksAreJudgedByTime_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("ageSeconds"); // -1: older than the system's start
        QTest::addColumn<bool>("offered");
        const QByteArray own = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
                               + QCoreApplication::applicationName().toUtf8() + '\n'
                               + QSysInfo::machineHostName().toUtf8() + '\n';
        QTest::newRow("empty, from before the start of the system") << QByteArray() << -1 << true;
        QTest::newRow("garbage, a minute old") << QByteArray("\x01\x02garbage") << 60 << true;
        QTest::newRow("empty, just made") << QByteArray() << 0 << false;
        QTest::newRow("this process's number, older than it") << own << -1 << true;
    }
    void staleLocksAreJudgedByTime()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, ageSeconds);
        QFETCH(bool, offered);
        const QString draft = plantOrphan(QStringLiteral("draft-5000001.kwp"), passportTitled(QStringLiteral("Заперт")),
                                          QDateTime::currentDateTime());
        const QString lock = draft + QStringLiteral(".lock");
        writeBytes(lock, content);
        QDateTime made = QDateTime::currentDateTime().addSecs(-ageSeconds);
        if (ageSeconds < 0) {
            QFile stat(QStringLiteral("/proc/stat"));
            QVERIFY(stat.open(QIODevice::ReadOnly));
            const QByteArray all = stat.readAll();
            const qsizetype at = all.indexOf("btime ");
            QVERIFY(at >= 0);
            made = QDateTime::fromSecsSinceEpoch(all.mid(at + 6, all.indexOf('\n', at) - at - 6).toLongLong() - 3600);
        }
        setTime(lock, made);

        gui::modal::testing::queueAnswer(gui::modal::Answer::Yes);
        window().offerDraftRecovery();
        QCOMPARE(gui::modal::testing::messages().size(), offered ? 1 : 0);
        QCOMPARE(window().snapshot().title, offered ? QStringLiteral("Заперт") : QString());
        if (!offered)
            QVERIFY(QFile::exists(lock));
    }

    // ---- Half-written leftovers ----

    void halfWrittenDraftsOfEndedProgramsGo()
    {
        const QString folder = drafts::draftFolder();
        const QString orphan = plantOrphan(QStringLiteral("draft-6000001.kwp"), passportTitled(QStringLiteral("Был")),
                                           QDateTime::currentDateTime());
        const QString orphanTemp = orphan + QStringLiteral(".Ab12Cd");
        const QString lonelyTemp = QDir(folder).filePath(QStringLiteral("draft-6000002.kwp.Xy34Zw"));
        const QString lonelyOrigin = QDir(folder).filePath(QStringLiteral("draft-6000003.json"));
        writeBytes(orphanTemp, QByteArray(1000, 'x'));
        writeBytes(lonelyTemp, QByteArray(1000, 'y'));
        writeBytes(lonelyOrigin, "{}");
        // A running program's draft and its half-written file stay.
        const QString live = QDir(folder).filePath(QStringLiteral("draft-6000004.kwp"));
        const QString liveTemp = live + QStringLiteral(".Qw56Er");
        writeBytes(liveTemp, QByteArray(1000, 'z'));
        QLockFile liveLock(live + QStringLiteral(".lock"));
        QVERIFY(liveLock.tryLock(0));
        // Not a draft's.
        const QString stranger = QDir(folder).filePath(QStringLiteral("notes.txt"));
        writeBytes(stranger, "mine");

        gui::modal::testing::queueAnswer(gui::modal::Answer::No);
        window().offerDraftRecovery();
        QVERIFY(!QFile::exists(orphanTemp));
        QVERIFY(!QFile::exists(lonelyTemp));
        QVERIFY(!QFile::exists(lonelyOrigin));
        QVERIFY(!QFile::exists(orphan));
        QVERIFY(QFile::exists(liveTemp));
        QVERIFY(QFile::exists(stranger));
        QVERIFY(liveLock.isLocked());
        // No lock file of a name nobody holds is left behind.
        QVERIFY(!QFile::exists(lonelyTemp.left(lonelyTemp.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".lock")));
    }

    void leftoverWorkingFoldersGoAtStart()
    {
        const QString tmp = path(QStringLiteral("tmp/"));
        const auto folder = [&](const QString &name, const QByteArray &owner) {
            QDir().mkpath(tmp + name);
            writeBytes(tmp + name + QStringLiteral("/data.xml"), "<x/>");
            if (!owner.isNull())
                writeBytes(tmp + name + QStringLiteral("/.owner"), owner);
            return tmp + name;
        };
        const QString dead = folder(QStringLiteral("Passport_1234567890"), QByteArray::number(deadPid()) + '\n');
        const QString alive = folder(QStringLiteral("Passport_1234567891"), QByteArray::number(getppid()) + '\n');
        const QString unmarked = folder(QStringLiteral("Passport_1234567892"), QByteArray());
        window().offerDraftRecovery();
        QVERIFY(!QFileInfo::exists(dead));
        QVERIFY(QFileInfo::exists(alive));
        QVERIFY(QFileInfo::exists(unmarked));
    }

    // ---- A very long pasted line ----

    // The memo keeps the line in pieces of a few thousand characters, so
    // that a letter does not lay out the whole line again; the passport and
    // the draft hold it whole. (Its speed is measured in the benchmarks.)
    void longPasteKeepsTheWindowUsable_data()
    {
        QTest::addColumn<QString>("memoName");
        QTest::newRow("description") << QStringLiteral("description");
        QTest::newRow("notes") << QStringLiteral("Notes");
    }
    void longPasteKeepsTheWindowUsable()
    {
        QFETCH(QString, memoName);
        auto *memo = session->control<gui::MemoEdit>(qPrintable(memoName));
        const QString huge(1000000, QLatin1Char('w'));
        memo->setFocus();
        QApplication::clipboard()->setText(huge);
        QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(memo, Qt::Key_A);
        for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next())
            QVERIFY(block.length() <= gui::MemoEdit::kLongestPiece + 1);
        window().flushDraft();
        const save::ReadResult read = save::readPackage(window().draftPath(), {.form = save::DocumentForm::Draft});
        QVERIFY2(read.contents, qPrintable(save::readProblemTexts(read.problems).join(' ')));
        const PassportSnapshot &passport = read.contents->passport;
        QCOMPARE(memoName == QLatin1String("Notes") ? passport.notes : passport.description,
                 huge + QStringLiteral("a"));

        // Opened again, the line goes back into the memo in pieces.
        window().model().setText(memoName == QLatin1String("Notes") ? PassportModel::Text::Notes
                                                                    : PassportModel::Text::Description,
                                 QStringLiteral("x"));
        window().model().restore(read.contents->passport);
        QCOMPARE(memo->rawText(), huge + QStringLiteral("a"));
        QVERIFY(memo->document()->blockCount() > 100);
    }
};

QTEST_MAIN(TestDraftRecovery)
#include "test_draft_recovery.moc"
