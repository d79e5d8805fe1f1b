// A save is on the disk before the program says so: the file is flushed
// before it takes its name, the folder after, and only then is the save
// reported; the same for every draft, on the writer's thread. The system's
// calls are watched by wrappers of this test program's own, which stand in
// for the C library's (as an LD_PRELOAD shim would) and record their order.

#include "draft_fixture.h"
#include "scripted_session.h"

#include <QPushButton>

#include <atomic>
#include <dlfcn.h>
#include <mutex>
#include <unistd.h>

namespace {

std::atomic<bool> watching{false};
std::mutex logMutex;
QStringList &callLog()
{
    static QStringList log;
    return log;
}
QString &watchedFolder()
{
    static QString folder;
    return folder;
}
// The number of messages shown when the last folder was flushed on the
// window's thread.
std::atomic<int> messagesAtFolderFlush{-1};

QString pathOf(int handle)
{
    char target[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(handle);
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    return length > 0 ? QFile::decodeName(QByteArray(target, int(length))) : QString();
}

void record(const QString &call, const QString &path)
{
    std::lock_guard guard(logMutex);
    if (path.startsWith(watchedFolder()))
        callLog().append(call + u' ' + path);
}

} // namespace

extern "C" ssize_t write(int handle, const void *data, size_t size)
{
    static auto real = reinterpret_cast<ssize_t (*)(int, const void *, size_t)>(dlsym(RTLD_NEXT, "write"));
    if (watching.load() && handle > 2)
        record(QStringLiteral("write"), pathOf(handle));
    return real(handle, data, size);
}

extern "C" int fsync(int handle)
{
    static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    if (watching.load()) {
        const QString path = pathOf(handle);
        record(QStringLiteral("fsync"), path);
        if (QFileInfo(path).isDir() && QThread::currentThread() == qApp->thread())
            messagesAtFolderFlush = int(gui::modal::testing::messages().size());
    }
    return real(handle);
}

extern "C" int rename(const char *from, const char *to)
{
    static auto real = reinterpret_cast<int (*)(const char *, const char *)>(dlsym(RTLD_NEXT, "rename"));
    if (watching.load())
        record(QStringLiteral("rename"), QFile::decodeName(from) + QStringLiteral(" -> ") + QFile::decodeName(to));
    return real(from, to);
}

namespace {

// Watches the calls on files below folder while it lives.
struct Watch {
    explicit Watch(const QString &folder)
    {
        std::lock_guard guard(logMutex);
        callLog().clear();
        watchedFolder() = QFileInfo(folder).canonicalFilePath();
        messagesAtFolderFlush = -1;
        watching = true;
    }
    ~Watch() { watching = false; }
    QStringList log() const
    {
        std::lock_guard guard(logMutex);
        return callLog();
    }
};

// The position of the first line of log at or after from that starts with
// what; -1 when none.
qsizetype findFrom(const QStringList &log, const QString &what, qsizetype from)
{
    for (qsizetype i = std::max<qsizetype>(from, 0); i < log.size(); ++i)
        if (log[i].startsWith(what))
            return i;
    return -1;
}

} // namespace

class TestDurableSaves : public DraftFixture {
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void packageIsOnTheDiskBeforeItIsReported()
    {
        QDir(temp->path()).mkdir(QStringLiteral("out"));
        const QString folder = QFileInfo(path(QStringLiteral("out"))).canonicalFilePath();
        const QString package = folder + QStringLiteral("/весна.kwp");
        tt::fillCompletePassport(*session);
        gui::modal::testing::queueFileName(tt::writeSessionPhoto(QDir(temp->path()), 320, 240));
        QTest::mouseClick(session->control<QPushButton>("AddImg"), Qt::LeftButton);
        const qsizetype before = gui::modal::testing::messages().size();
        QStringList log;
        {
            Watch watch(folder);
            gui::modal::testing::queueFileName(package);
            QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
            log = watch.log();
        }
        QCOMPARE(gui::modal::testing::lastMessage().caption, QStringLiteral("Паспорт сохранен"));
        // The archive is flushed under its staging name, renamed over the
        // package, and the package's folder flushed, before the message.
        const qsizetype flushed = findFrom(log, QStringLiteral("fsync ") + folder + u'/', 0);
        const qsizetype renamed = findFrom(log, QStringLiteral("rename "), flushed);
        const qsizetype folderFlushed = log.indexOf(QStringLiteral("fsync ") + folder, renamed);
        QVERIFY2(flushed >= 0 && renamed > flushed && folderFlushed > renamed, qPrintable(log.join(u'\n')));
        QVERIFY2(log[flushed].endsWith(QStringLiteral("/package.kwp")), qPrintable(log[flushed]));
        QVERIFY2(log[renamed].endsWith(QStringLiteral(" -> ") + package), qPrintable(log[renamed]));
        QCOMPARE(qsizetype(messagesAtFolderFlush.load()), before);
        QCOMPARE(gui::modal::testing::messages().size(), before + 1);
    }

    void draftIsOnTheDiskBeforeItCounts()
    {
        tt::typeInto(*session, "title", QStringLiteral("Первая"));
        window().flushDraft();
        const QString folder = QFileInfo(drafts::draftFolder()).canonicalFilePath();
        const QString draft = QFileInfo(window().draftPath()).canonicalFilePath();
        QStringList log;
        {
            Watch watch(folder);
            tt::typeInto(*session, "title", QStringLiteral(" и вторая"));
            window().flushDraft();
            log = watch.log();
        }
        // The draft's bytes go to a fresh file, which is flushed, renamed
        // over the draft, and the folder flushed.
        const qsizetype renamed = findFrom(log, QStringLiteral("rename "), 0) >= 0 ? log.indexOf(QRegularExpression(
                                      QStringLiteral("^rename .* -> ") + QRegularExpression::escape(draft) + u'$'))
                                                                                   : -1;
        QVERIFY2(renamed > 0, qPrintable(log.join(u'\n')));
        const QString fresh = log[renamed].section(u' ', 1, 1);
        const qsizetype written = log.lastIndexOf(QStringLiteral("write ") + fresh, renamed);
        const qsizetype flushed = log.lastIndexOf(QStringLiteral("fsync ") + fresh, renamed);
        const qsizetype folderFlushed = log.indexOf(QStringLiteral("fsync ") + folder, renamed);
        QVERIFY2(written >= 0 && flushed > written && folderFlushed > renamed, qPrintable(log.join(u'\n')));
    }
};

QTEST_MAIN(TestDurableSaves)
#include "test_durable_saves.moc"
