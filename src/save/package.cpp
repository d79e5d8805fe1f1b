#include "save/package.h"

#include "core/files.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <optional>

namespace save {
namespace {

int &archiverTimeout()
{
    static int timeout = kArchiverTimeoutMs;
    return timeout;
}

// Something stands at the path: a file, a folder, or a symbolic link, even
// one that points nowhere.
bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator())))
        path.chop(1);
    return path;
}

// Runs the archiver on the working folder's files, writing the archive at
// output. True when it exited normally with status 0 in time.
bool runArchiver(const QString &archiver, const QString &output, const QString &workingFolder)
{
    QProcess process;
    process.setProgram(archiver);
    // Separate arguments, no shell: the archiver expands the pattern itself.
    process.setArguments({QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-y"),
                          QStringLiteral("-mx=0"), QStringLiteral("-mm=Copy"), output,
                          workingFolder + QLatin1Char('*')});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());

    const QDeadlineTimer deadline(archiverTimeout());
    process.start();
    if (!process.waitForStarted(int(deadline.remainingTime())))
        return false;
    if (!process.waitForFinished(int(deadline.remainingTime()))) {
        process.kill();
        process.waitForFinished(kArchiverTimeoutMs);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

QString createWorkingFolder(const QString &tempFolder, qint64 seconds)
{
    const QString base = tempFolder + QStringLiteral("Passport_") + QString::number(seconds);
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (int n = 1; n <= 1000; ++n) {
        const QString path = n == 1 ? base : base + QLatin1Char('_') + QString::number(n);
        // mkdir fails on any existing entry, so a folder is never shared.
        if (QDir().mkdir(path, ownerOnly))
            return path + QDir::separator();
        if (!taken(path))
            return QString(); // the temporary folder itself cannot be used
    }
    return QString();
}

void ClearFolder(const QString &folder)
{
    if (folder.isEmpty())
        return;
    const QString root = withoutTrailingSeparator(folder);
    const QFileInfo rootInfo(root);
    if (rootInfo.isSymLink() || !rootInfo.isDir())
        return;
    QDirIterator entries(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        const QString path = entries.next();
        const QFileInfo info(path);
        // removeRecursively deletes links as links and never descends into
        // them.
        if (info.isDir() && !info.isSymLink()) {
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QDir(path).removeRecursively();
        } else if (!QFile::remove(path) && !info.isSymLink()) {
            QFile::setPermissions(path, info.permissions() | QFile::WriteOwner);
            QFile::remove(path);
        }
    }
}

bool writePackage(const QString &archiver, const QString &packagePath, const QString &workingFolder)
{
    if (archiver.isEmpty() || packagePath.isEmpty())
        return false;

    // "7za a" adds to an archive that is already there, and gives a name
    // without an extension one of its own. In both cases the archive is
    // written into a private folder beside the package and renamed over the
    // chosen path only when it is complete.
    const QFileInfo target(packagePath);
    const bool staged = taken(packagePath) || target.suffix().isEmpty();
    std::optional<QTemporaryDir> staging;
    QString output = packagePath;
    if (staged) {
        staging.emplace(target.absolutePath() + QStringLiteral("/.Passport-XXXXXX"));
        if (!staging->isValid())
            return false;
        output = staging->filePath(QStringLiteral("package.kwp"));
    }

    const bool written = runArchiver(archiver, output, workingFolder) && QFileInfo(output).isFile();
    if (!written) {
        // Nothing was at packagePath before an unstaged run.
        if (!staged && taken(packagePath))
            QFile::remove(packagePath);
        return false;
    }
    if (staged) {
        QString reason;
        if (!renameReplacing(output, packagePath, &reason))
            return false;
    }
    return true;
}

namespace testing {
void setArchiverTimeout(int milliseconds)
{
    archiverTimeout() = milliseconds > 0 ? milliseconds : kArchiverTimeoutMs;
}
} // namespace testing

} // namespace save
