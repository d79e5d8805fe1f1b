#include "core/platform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {
namespace {

struct Overrides {
    QString tempFolder;
    QString archiver;
    bool archiverSet = false;
    std::function<qint64()> clock;
    std::function<bool(const QUrl &)> browser;
};

Overrides &overrides()
{
    static Overrides o;
    return o;
}

QString withTrailingSeparator(const QString &folder)
{
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native;
    return native + QDir::separator();
}

#ifdef Q_OS_WIN
const QString kArchiverName = QStringLiteral("7za.exe");
#else
const QString kArchiverName = QStringLiteral("7za");
#endif

// The system's temporary folder. Qt gives an empty path when TMPDIR names a
// folder that does not exist, which would make the root folder the
// temporary one; then, as for a TMPDIR that names no folder, the
// system's own /tmp is used.
QString systemTempFolder()
{
    const QString path = QDir::tempPath();
#ifndef Q_OS_WIN
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return QStringLiteral("/tmp");
#endif
    return path;
}

} // namespace

QString tempFolder()
{
    const auto &o = overrides();
    return withTrailingSeparator(o.tempFolder.isEmpty() ? systemTempFolder() : o.tempFolder);
}

qint64 currentSeconds()
{
    const auto &o = overrides();
    return o.clock ? o.clock() : QDateTime::currentSecsSinceEpoch();
}

bool openInBrowser(const QString &path)
{
    const QUrl url = QUrl::fromLocalFile(path);
    const auto &o = overrides();
    if (o.browser)
        return o.browser(url);
    return QDesktopServices::openUrl(url);
}

QString archiverPath()
{
    const auto &o = overrides();
    if (o.archiverSet)
        return o.archiver;
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(kArchiverName);
    const QFileInfo info(beside);
    if (info.isFile() && info.isExecutable())
        return beside;
    return QStandardPaths::findExecutable(kArchiverName);
}

namespace testing {

void setTempFolder(const QString &folder) { overrides().tempFolder = folder; }

void setArchiver(const QString &path)
{
    overrides().archiver = path;
    overrides().archiverSet = !path.isNull();
}

void setClock(std::function<qint64()> clock) { overrides().clock = std::move(clock); }
void setBrowser(std::function<bool(const QUrl &)> browser) { overrides().browser = std::move(browser); }

} // namespace testing
} // namespace platform
