#include "save/package.h"

#include "core/files.h"
#include "save/leftovers.h"
#include "save/package_reader.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <optional>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#endif

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

// The working folder's files, by name: what the package must hold. The
// file naming the folder's owner stays out.
QStringList folderFiles(const QString &workingFolder)
{
    QStringList files = QDir(workingFolder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    files.removeAll(kOwnerFile);
    return files;
}

// Runs the archiver on the working folder's files, writing the archive at
// output. True when it exited normally with status 0 in time; otherwise
// reason says why.
bool runArchiver(const QString &archiver, const QString &output, const QString &workingFolder, const QStringList &files,
                 QString *reason)
{
    QProcess process;
    process.setProgram(archiver);
    // The archiver starts in the working folder and gets the files by name,
    // one argument each, without a shell: a folder path holding "*", "?" or
    // "[" is never handed to it, so nothing is read as a wildcard.
    process.setWorkingDirectory(workingFolder);
    process.setArguments(QStringList{QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-y"),
                                     QStringLiteral("-mx=0"), QStringLiteral("-mm=Copy"), output}
                         + files);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());

    const QDeadlineTimer deadline(archiverTimeout());
    process.start();
    if (!process.waitForStarted(int(deadline.remainingTime()))) {
        *reason = QStringLiteral("the archiver \"%1\" could not be started: %2").arg(archiver, process.errorString());
        return false;
    }
    if (!process.waitForFinished(int(deadline.remainingTime()))) {
        process.kill();
        process.waitForFinished(kArchiverTimeoutMs);
        *reason = QStringLiteral("the archiver did not finish within %1 ms").arg(archiverTimeout());
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        *reason = QStringLiteral("the archiver crashed");
        return false;
    }
    if (process.exitCode() != 0) {
        *reason = QStringLiteral("the archiver exited with status %1").arg(process.exitCode());
        return false;
    }
    return true;
}

using Files = QList<std::pair<QString, QByteArray>>;

// The working folder's files with their bytes, read before the archiver
// runs: what the package must hold.
bool readFolderFiles(const QString &workingFolder, const QStringList &names, Files *files, QString *reason)
{
    for (const QString &name : names) {
        QFile file(QDir(workingFolder).filePath(name));
        if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPackageSize) {
            *reason = QStringLiteral("\"%1\" in the working folder cannot be read: %2").arg(name, file.errorString());
            return false;
        }
        files->append({name, file.readAll()});
    }
    return true;
}

// Reads the archive that was written back and compares it with the files
// that were packed: the same names, no others, each stored with the same
// bytes and the same CRC. An archiver that exits 0 after writing a broken or
// partial file is caught here.
bool verifyPackage(const QString &output, const Files &expected, QString *reason)
{
    QFile package(output);
    if (!package.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("the package cannot be read back: %1").arg(package.errorString());
        return false;
    }
    const QByteArray zip = package.read(kMaxPackageSize + 1);
    if (zip.size() > kMaxPackageSize) {
        *reason = QStringLiteral("the package read back is larger than any package");
        return false;
    }
    qint64 largest = 0;
    for (const auto &file : expected)
        largest = std::max<qint64>(largest, file.second.size());

    const ZipReadResult read = readZipEntries(zip, largest, int(expected.size()));
    if (!read.problems.isEmpty()) {
        *reason = QStringLiteral("the package read back is not sound: %1").arg(read.problems.join(QLatin1Char(' ')));
        return false;
    }
    if (read.entries.size() != expected.size()) {
        *reason =
            QStringLiteral("the package holds %1 entries instead of %2").arg(read.entries.size()).arg(expected.size());
        return false;
    }
    for (const auto &file : expected) {
        const QString &name = file.first;
        const QByteArray &bytes = file.second;
        const auto found = std::find_if(read.entries.cbegin(), read.entries.cend(),
                                        [&wanted = name](const ZipEntry &entry) { return entry.name == wanted; });
        if (found == read.entries.cend()) {
            *reason = QStringLiteral("the package has no entry \"%1\"").arg(name);
            return false;
        }
        if (found->data != bytes || found->crc != zipCrc(bytes)) {
            *reason = QStringLiteral("the entry \"%1\" differs from the file written").arg(name);
            return false;
        }
        if (!found->stored) {
            *reason = QStringLiteral("the entry \"%1\" is compressed, not stored").arg(name);
            return false;
        }
    }
    return true;
}

} // namespace

QString createWorkingFolder(const QString &tempFolder, qint64 seconds, QString *reason)
{
    QString ignored;
    QString &cause = reason ? *reason : ignored;
    // What a killed save left here goes first.
    removeLeftoverWorkingFolders(tempFolder);
    const QString base = tempFolder + QStringLiteral("Passport_") + QString::number(seconds);
    for (int n = 1; n <= 1000; ++n) {
        const QString path = n == 1 ? base : base + QLatin1Char('_') + QString::number(n);
        // mkdir fails on any existing entry, so a folder is never shared.
        // The folder names its owner, so that a later program can remove it
        // once the owner is gone.
#ifdef Q_OS_WIN
        if (QDir().mkdir(path)) {
            markOwner(path);
            return path + QDir::separator();
        }
        const QString error = QStringLiteral("cannot be created");
#else
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0) {
            markOwner(path);
            return path + QDir::separator();
        }
        const QString error = qt_error_string(errno);
#endif
        if (!taken(path)) {
            // The temporary folder itself cannot be used.
            cause = QStringLiteral("the folder \"%1\" cannot be created: %2").arg(path, error);
            return QString();
        }
    }
    cause = QStringLiteral("every name from \"%1\" to \"%1_1000\" is taken").arg(base);
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
    const QFile::Permissions ownerAll = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QDirIterator entries(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        const QString path = entries.next();
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink()) {
            // A read-only folder can be neither listed nor emptied: open it
            // up first, at every depth, then empty it and remove it. A link
            // is never followed.
            QFile::setPermissions(path, ownerAll);
            ClearFolder(path);
            QDir().rmdir(path);
        } else if (!QFile::remove(path) && !info.isSymLink()) {
            QFile::setPermissions(path, info.permissions() | QFile::WriteOwner);
            QFile::remove(path);
        }
    }
}

bool writePackage(const QString &archiver, const QString &packagePath, const QString &workingFolder, QString *reason)
{
    QString ignored;
    QString &cause = reason ? *reason : ignored;
    if (archiver.isEmpty()) {
        cause = QStringLiteral("no archiver was found");
        return false;
    }
    if (packagePath.isEmpty()) {
        cause = QStringLiteral("no package path was given");
        return false;
    }
    const QStringList files = folderFiles(workingFolder);
    Files contents;
    if (!readFolderFiles(workingFolder, files, &contents, &cause))
        return false;

    // "7za a" adds to an archive that is already there, and gives a name
    // without an extension one of its own. In both cases the archive is
    // written into a private folder beside the package and renamed over the
    // chosen path only when it is complete.
    const QFileInfo target(packagePath);
    // What a killed save left beside the package goes first.
    removeLeftoverStaging(target.absolutePath());
    const bool staged = taken(packagePath) || target.suffix().isEmpty();
    std::optional<QTemporaryDir> staging;
    QString output = target.absoluteFilePath();
    if (staged) {
        // The staging folder carries this process's number, so that a later
        // save can tell whether it was left by a killed one.
        staging.emplace(target.absolutePath() + QLatin1Char('/') + stagingTemplate());
        if (!staging->isValid()) {
            cause = QStringLiteral("no folder can be created beside the package: %1").arg(staging->errorString());
            return false;
        }
        output = staging->filePath(QStringLiteral("package.kwp"));
    }

    bool written = runArchiver(archiver, output, workingFolder, files, &cause);
    if (written && !QFileInfo(output).isFile()) {
        cause = QStringLiteral("the archiver wrote no file at \"%1\"").arg(output);
        written = false;
    }
    if (written)
        written = verifyPackage(output, contents, &cause);
    if (!written) {
        // Nothing was at packagePath before an unstaged run.
        if (!staged && taken(packagePath))
            QFile::remove(packagePath);
        return false;
    }
    if (staged && !core::renameReplacing(output, packagePath, &cause))
        return false;
    return true;
}

namespace testing {
void setArchiverTimeout(int milliseconds) { archiverTimeout() = milliseconds > 0 ? milliseconds : kArchiverTimeoutMs; }
} // namespace testing

} // namespace save
