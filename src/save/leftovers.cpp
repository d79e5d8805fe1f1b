#include "save/leftovers.h"

#include "save/package.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcLeftovers, "tirlada.leftovers")

namespace save {

namespace {

// Removes the folder and everything in it; links are removed, never followed.
void removeFolder(const QString &path)
{
    clearFolder(path);
    if (!QDir().rmdir(path))
        qCWarning(lcLeftovers) << "cannot remove the left-over folder" << path;
    else
        qCInfo(lcLeftovers) << "removed the left-over folder" << path;
}

// A folder of this user, not a link.
bool ownFolder(const QString &path)
{
#ifdef Q_OS_WIN
    return QFileInfo(path).isDir() && !QFileInfo(path).isSymLink();
#else
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
#endif
}

} // namespace

QDateTime bootTime()
{
    static const QDateTime boot = [] {
        QFile stat(QStringLiteral("/proc/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            return QDateTime();
        // The file is small; "btime <seconds>" is one of its lines.
        for (const QByteArray &line : stat.read(1 << 20).split('\n'))
            if (line.startsWith("btime ")) {
                bool ok = false;
                const qint64 seconds = line.mid(6).trimmed().toLongLong(&ok);
                if (ok)
                    return QDateTime::fromSecsSinceEpoch(seconds);
            }
        return QDateTime();
    }();
    return boot;
}

QDateTime processStartTime()
{
#ifdef Q_OS_WIN
    return QDateTime();
#else
    static const QDateTime start = [] {
        const QDateTime boot = bootTime();
        QFile stat(QStringLiteral("/proc/self/stat"));
        if (!boot.isValid() || !stat.open(QIODevice::ReadOnly))
            return QDateTime();
        const QByteArray line = stat.read(4096);
        // The command name in parentheses may hold blanks: the fields are
        // counted after its closing parenthesis; field 22 is the start time
        // in clock ticks since boot.
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0)
            return QDateTime();
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        constexpr int kStartField = 22 - 3;
        if (fields.size() <= kStartField)
            return QDateTime();
        const long ticks = ::sysconf(_SC_CLK_TCK);
        bool ok = false;
        const qint64 started = fields[kStartField].toLongLong(&ok);
        if (!ok || ticks <= 0)
            return QDateTime();
        return boot.addMSecs(started * 1000 / ticks);
    }();
    return start;
#endif
}

bool ownerGone(qint64 pid, const QDateTime &made)
{
    const QDateTime boot = bootTime();
    if (boot.isValid() && made.isValid() && made < boot)
        return true;
    if (pid <= 0)
        return false;
    if (pid == QCoreApplication::applicationPid()) {
        // This process's number, from an earlier process that had it (a
        // container starts its processes at the same numbers).
        const QDateTime start = processStartTime();
        return start.isValid() && made.isValid() && made < start.addSecs(-1);
    }
#ifdef Q_OS_WIN
    return false;
#else
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
#endif
}

QString stagingTemplate() { return QStringLiteral(".Passport-%1-XXXXXX").arg(QCoreApplication::applicationPid()); }

void removeLeftoverStaging(const QString &folder)
{
    static const QRegularExpression name(QStringLiteral("^\\.Passport-(\\d+)-[A-Za-z0-9]{6}$"));
    const QDir dir(folder);
    for (const QFileInfo &entry :
         dir.entryInfoList({QStringLiteral(".Passport-*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = name.match(entry.fileName());
        if (!match.hasMatch() || !ownFolder(entry.absoluteFilePath()))
            continue;
        if (ownerGone(match.captured(1).toLongLong(), entry.lastModified()))
            removeFolder(entry.absoluteFilePath());
    }
}

bool markOwner(const QString &workingFolder)
{
    QFile owner(QDir(workingFolder).filePath(kOwnerFile));
    if (!owner.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
    return owner.write(pid) == pid.size();
}

void removeLeftoverWorkingFolders(const QString &tempFolder)
{
    static const QRegularExpression name(QStringLiteral("^Passport_\\d+(_\\d+)?$"));
    const QDir dir(tempFolder);
    for (const QFileInfo &entry :
         dir.entryInfoList({QStringLiteral("Passport_*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (!name.match(entry.fileName()).hasMatch() || !ownFolder(entry.absoluteFilePath()))
            continue;
        // Only a folder that names its owner is ours to judge.
        QFile owner(QDir(entry.absoluteFilePath()).filePath(kOwnerFile));
        if (QFileInfo(owner.fileName()).isSymLink() || !owner.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const qint64 pid = owner.read(32).trimmed().toLongLong(&ok);
        if (!ok)
            continue;
        if (ownerGone(pid, QFileInfo(owner).lastModified()))
            removeFolder(entry.absoluteFilePath());
    }
}

} // namespace save
