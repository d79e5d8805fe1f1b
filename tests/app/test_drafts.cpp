// The draft of unsaved input: written soon after a change, removed when the
// input is saved or given up, offered again at the next start.

#include "core/files.h"
#include "draft_fixture.h"
#include "full_passport.h"
#include "save/package_reader.h"

#include <QLockFile>
#include <QScopeGuard>

#include <mutex>

#include <sys/stat.h>

namespace {

const QString kRestoreQuestion = QStringLiteral("Восстановить несохраненный паспорт работы?");

// The mode bits of the file at path, or -1.
int modeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

PassportSnapshot draftOf(const QString &path)
{
    const save::ReadResult result = save::readPackage(path, {.form = save::DocumentForm::Draft});
    if (!result.contents)
        qWarning("draft unreadable: %s", qPrintable(save::readProblemTexts(result.problems).join(QLatin1Char(' '))));
    return result.contents ? result.contents->passport : PassportSnapshot{};
}

} // namespace

class TestDrafts : public DraftFixture {
    Q_OBJECT

    PassportSnapshot somePassport()
    {
        PassportSnapshot passport = window().snapshot();
        passport.title = QStringLiteral("Потерянная работа");
        passport.notes = QStringLiteral("Строка\r\nещё");
        passport.subjectSlots = {4, 0, 0, 0};
        passport.authors = {{tt::validFormattedId(5), QStringLiteral("Орлов"), QStringLiteral("Олег"), QString()}};
        return passport;
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // Typing leaves a draft on disk shortly after, without any flush; the
    // draft is a package that the reader takes back.
    void typingKeepsADraft()
    {
        QVERIFY(window().draftPath().isEmpty());
        typeTitle(QStringLiteral("Черновик"));
        QTRY_VERIFY_WITH_TIMEOUT(!window().draftPath().isEmpty() && QFile::exists(window().draftPath()), 10000);
        QVERIFY(window().draftPath().startsWith(drafts::draftFolder() + QStringLiteral("/draft-")));
        QTRY_COMPARE_WITH_TIMEOUT(draftOf(window().draftPath()).title, QStringLiteral("Черновик"), 10000);
        QVERIFY(QFile::exists(window().draftPath() + QStringLiteral(".lock")));
        // The user's alone.
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFileInfo(window().draftPath()).permissions() & others, QFileDevice::Permissions());
        QCOMPARE(QFileInfo(drafts::originPath(window().draftPath())).permissions() & others,
                 QFileDevice::Permissions());
        QCOMPARE(QFileInfo(drafts::draftFolder()).permissions() & others, QFileDevice::Permissions());
    }

    // No file of the drafts folder is ever open to others, not even for the
    // moment between its making and its rename: every fresh file is made
    // 0600, whatever the umask.
    void draftIsPrivateFromItsFirstByte_data()
    {
        QTest::addColumn<int>("mask");
        QTest::newRow("umask 022") << 022;
        QTest::newRow("umask 000") << 0;
    }
    void draftIsPrivateFromItsFirstByte()
    {
        QFETCH(int, mask);
        std::mutex guard;
        QList<std::pair<QString, int>> fresh; // each fresh file and its mode when it was opened
        core::testing::setFreshFileHook([&](int handle) {
            struct stat info {};
            ::fstat(handle, &info);
            const QString name = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(handle));
            std::lock_guard lock(guard);
            fresh.append({name, int(info.st_mode & 07777)});
        });
        const mode_t before = ::umask(mode_t(mask));
        const auto restore = qScopeGuard([&] {
            ::umask(before);
            core::testing::setFreshFileHook(nullptr);
        });

        typeTitle(QStringLiteral("Личное"));
        window().flushDraft();
        const QString draft = window().draftPath();
        QVERIFY(QFile::exists(draft));
        QCOMPARE(modeOf(draft), 0600);
        QCOMPARE(modeOf(drafts::originPath(draft)), 0600);
        QCOMPARE(modeOf(draft + QStringLiteral(".lock")), 0600);
        QCOMPARE(modeOf(drafts::draftFolder()), 0700);

        std::lock_guard lock(guard);
        const QString folder = QFileInfo(drafts::draftFolder()).canonicalFilePath() + QLatin1Char('/');
        int inFolder = 0;
        for (const auto &[name, mode] : fresh) {
            if (!name.startsWith(folder))
                continue;
            ++inFolder;
            QVERIFY2(mode == 0600, qPrintable(QStringLiteral("%1 was made %2").arg(name).arg(mode, 0, 8)));
        }
        QVERIFY(inFolder >= 2); // the origin and the draft
    }

    // A full passport with a picture comes back from its draft as typed;
    // the picture as its exported file shows it.
    void draftHoldsTheWholePassport()
    {
        tt::typeFullPassport(*session, tt::writeSessionPhoto(QDir(temp->path()), 640, 480));
        window().flushDraft();
        const PassportSnapshot typed = window().snapshot();
        const save::ReadResult read = save::readPackage(window().draftPath(), {.form = save::DocumentForm::Draft});
        QVERIFY2(read.contents, qPrintable(save::readProblemTexts(read.problems).join(' ')));
        PassportSnapshot restored = read.contents->passport;
        QCOMPARE(read.contents->pictureJpeg, picture::encodeJpeg(typed.picture));
        QCOMPARE(restored.picture.size(), typed.picture.size());
        restored.picture = typed.picture;
        // The draft's stored file stands for a picture the user loaded.
        QCOMPARE(restored.pictureJpeg, read.contents->pictureJpeg);
        restored.pictureJpeg.clear();
        QCOMPARE(restored, typed);
    }

    // The draft keeps what a package leaves out: the description past its
    // 500 published characters and the blanks around texts and names.
    void draftKeepsTextsAsTyped()
    {
        PassportSnapshot typed = somePassport();
        typed.title = QStringLiteral("  Заголовок с пробелами \t");
        typed.description = QString(700, QChar(0x0436)) + QStringLiteral("\r\nконец ");
        typed.notes = QStringLiteral("\r\nзаметка\r\n");
        typed.authors[0].Surname = QStringLiteral(" Орлов ");
        const save::ReadResult read = save::readPackageBytes(drafts::draftPackage(typed, QByteArray(), 1233446400),
                                                             {.form = save::DocumentForm::Draft});
        QVERIFY2(read.contents, qPrintable(save::readProblemTexts(read.problems).join(' ')));
        QCOMPARE(read.contents->passport, typed);
    }

    void draftIsRemoved_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("saved") << "saved";
        QTest::newRow("Нет on close") << "no on close";
        QTest::newRow("typed back to the saved passport") << "undone";
        QTest::newRow("another package opened") << "opened";
    }
    void draftIsRemoved()
    {
        QFETCH(QString, how);
        tt::fillCompletePassport(*session);
        window().flushDraft();
        const QString draft = window().draftPath();
        QVERIFY(QFile::exists(draft));

        if (how == QLatin1String("saved")) {
            gui::modal::testing::queueFileName(path(QStringLiteral("saved.kwp")));
            QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        } else if (how == QLatin1String("no on close")) {
            gui::modal::testing::queueAnswer(gui::modal::Answer::No);
            QVERIFY(window().close());
        } else if (how == QLatin1String("undone")) {
            gui::modal::testing::queueFileName(path(QStringLiteral("saved.kwp")));
            QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
            QVERIFY(!QFile::exists(draft));
            typeTitle(QStringLiteral("x"));
            window().flushDraft();
            QVERIFY(QFile::exists(draft));
            QTest::keyClick(session->control("title"), Qt::Key_Backspace);
            window().flushDraft();
        } else {
            // A package of another window; this one's input is given up.
            {
                tt::Session other;
                tt::fillCompletePassport(other);
                // IDs with correct check digits, as the reader insists.
                other.setParticipants(
                    {{tt::validFormattedId(1), QStringLiteral("А"), QStringLiteral("Б"), QStringLiteral("В")}},
                    {{tt::validFormattedId(2), QStringLiteral("Г"), QStringLiteral("Д"), QStringLiteral("Е")}});
                gui::modal::testing::queueFileName(path(QStringLiteral("other.kwp")));
                QTest::mouseClick(other.control<QPushButton>("SaveButton"), Qt::LeftButton);
            }
            gui::modal::testing::install();
            gui::modal::testing::queueAnswer(gui::modal::Answer::No);
            QVERIFY(window().openPackage(path(QStringLiteral("other.kwp"))));
        }
        QVERIFY(!QFile::exists(draft));
        // Nothing comes back later either.
        QTest::qWait(100);
        QVERIFY(!QFile::exists(draft));
    }

    // "Отмена" on close keeps the input, and the draft with it.
    void draftStaysWhileTheWindowStays()
    {
        typeTitle(QStringLiteral("Остается"));
        window().flushDraft();
        gui::modal::testing::queueAnswer(gui::modal::Answer::Cancel);
        QVERIFY(!window().close());
        QVERIFY(QFile::exists(window().draftPath()));
    }

    void restoringAtStart_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("Да") << true;
        QTest::newRow("Нет") << false;
    }
    void restoringAtStart()
    {
        QFETCH(bool, accept);
        const PassportSnapshot untouched = window().snapshot();
        const PassportSnapshot lost = somePassport();
        const QString orphan = plantOrphan(QStringLiteral("draft-999999999.kwp"), lost);

        gui::modal::testing::queueAnswer(accept ? gui::modal::Answer::Yes : gui::modal::Answer::No);
        window().offerDraftRecovery();
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message question = gui::modal::testing::lastMessage();
        QCOMPARE(question.text, kRestoreQuestion);
        QCOMPARE(question.buttons, gui::modal::Buttons::YesNo);
        QCOMPARE(question.icon, gui::modal::Icon::Question);

        if (!accept) {
            QVERIFY(!QFile::exists(orphan));
            QVERIFY(!QFile::exists(orphan + QStringLiteral(".lock")));
            QCOMPARE(window().snapshot(), untouched);
            return;
        }
        QCOMPARE(window().snapshot(), lost);
        // Still unsaved: the draft stays, now this window's own, and closing
        // asks.
        QCOMPARE(window().draftPath(), orphan);
        QVERIFY(QFile::exists(orphan));
        typeTitle(QStringLiteral("!"));
        window().flushDraft();
        QCOMPARE(draftOf(orphan).title, lost.title + QStringLiteral("!"));
        gui::modal::testing::reset();
        gui::modal::testing::queueAnswer(gui::modal::Answer::No);
        QVERIFY(window().close());
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        QVERIFY(!QFile::exists(orphan));
    }

    // A draft whose program still runs is not offered. One that cannot be
    // read is named in the list as damaged, never asked about as a passport,
    // and stays until the user deletes it.
    void draftsThatAreNotOffered()
    {
        const QString held = plantOrphan(QStringLiteral("draft-1000001.kwp"), somePassport());
        QLockFile lock(held + QStringLiteral(".lock"));
        QVERIFY(lock.tryLock(0));
        const QString broken = QDir(drafts::draftFolder()).filePath(QStringLiteral("draft-1000002.kwp"));
        writeBytes(broken, "not a package");

        window().offerDraftRecovery();
        QVERIFY(gui::modal::testing::messages().isEmpty());
        QCOMPARE(gui::modal::testing::execCount(), 1);
        QVERIFY(QFile::exists(held));
        QVERIFY(QFile::exists(broken));
        QVERIFY(lock.isLocked());
    }

    // Two windows of one program keep two drafts.
    void oneDraftPerWindow()
    {
        typeTitle(QStringLiteral("Первое"));
        window().flushDraft();
        tt::Session second;
        tt::typeInto(second, "title", QStringLiteral("Второе"));
        second.window().flushDraft();
        QVERIFY(window().draftPath() != second.window().draftPath());
        QCOMPARE(draftOf(window().draftPath()).title, QStringLiteral("Первое"));
        QCOMPARE(draftOf(second.window().draftPath()).title, QStringLiteral("Второе"));
        gui::modal::testing::install();
    }

    // A folder that cannot be created costs the draft, never the input.
    void draftFolderThatCannotBeMade()
    {
        session.reset();
        writeBytes(path(QStringLiteral("blocked")), "a file where the data folder should be");
        qputenv("XDG_DATA_HOME", path(QStringLiteral("blocked")).toLocal8Bit());
        session = std::make_unique<tt::Session>();
        typeTitle(QStringLiteral("Без черновика"));
        window().flushDraft();
        QVERIFY(window().draftPath().isEmpty());
        QVERIFY(gui::modal::testing::messages().isEmpty());
        QCOMPARE(window().snapshot().title, QStringLiteral("Без черновика"));
    }
};

QTEST_MAIN(TestDrafts)
#include "test_drafts.moc"
