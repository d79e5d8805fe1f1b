#include "save/package.h"

#include "core/failure.h"
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
// output: it must exit normally with status 0 in time.
Result<void> runArchiver(const QString &archiver, const QString &output, const QString &workingFolder,
                         const QStringList &files)
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
    if (!process.waitForStarted(int(deadline.remainingTime())))
        return Unexpected(
            Failure(FailureCode::ArchiverNotStarted, {.file = archiver, .reason = process.errorString()}));
    if (!process.waitForFinished(int(deadline.remainingTime()))) {
        process.kill();
        process.waitForFinished(kArchiverTimeoutMs);
        return Unexpected(Failure(FailureCode::ArchiverTimedOut, {.file = archiver, .limit = archiverTimeout()}));
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        return Unexpected(Failure(FailureCode::ArchiverCrashed, {.file = archiver}));
    }
    if (process.exitCode() != 0) {
        return Unexpected(Failure(FailureCode::ArchiverFailed, {.file = archiver, .number = process.exitCode()}));
    }
    return {};
}

using Files = QList<std::pair<QString, QByteArray>>;

// The working folder's files with their bytes, read before the archiver
// runs: what the package must hold.
Result<Files> readFolderFiles(const QString &workingFolder, const QStringList &names)
{
    Files files;
    for (const QString &name : names) {
        QFile file(QDir(workingFolder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return Unexpected(
                Failure(FailureCode::CannotReadFile, {.file = file.fileName(), .reason = file.errorString()}));
        if (file.size() > kMaxPackageSize)
            return Unexpected(
                Failure(FailureCode::PackageTooLarge, {.file = file.fileName(), .limit = kMaxPackageSize}));
        files.append({name, file.readAll()});
    }
    return files;
}

// Reads the archive that was written back and compares it with the files
// that were packed: the same names, no others, each stored with the same
// bytes and the same CRC. An archiver that exits 0 after writing a broken or
// partial file is caught here.
Result<void> verifyPackage(const QString &output, const Files &expected)
{
    QFile package(output);
    if (!package.open(QIODevice::ReadOnly))
        return Unexpected(Failure(FailureCode::CannotReadFile, {.file = output, .reason = package.errorString()}));
    const QByteArray zip = package.read(kMaxPackageSize + 1);
    if (zip.size() > kMaxPackageSize)
        return Unexpected(Failure(FailureCode::PackageTooLarge, {.file = output, .limit = kMaxPackageSize}));
    qint64 largest = 0;
    for (const auto &file : expected)
        largest = std::max<qint64>(largest, file.second.size());

    const ZipReadResult read = readZipEntries(zip, largest, int(expected.size()));
    if (!read.problems.isEmpty())
        return Unexpected(Failure(FailureCode::PackageUnreadable, {.file = output, .problems = read.problems}));
    if (read.entries.size() != expected.size())
        return Unexpected(Failure(FailureCode::PackageEntryCount,
                                  {.file = output, .number = int(read.entries.size()), .limit = expected.size()}));
    for (const auto &file : expected) {
        const QString &name = file.first;
        const QByteArray &bytes = file.second;
        const auto found = std::find_if(read.entries.cbegin(), read.entries.cend(),
                                        [&wanted = name](const ZipEntry &entry) { return entry.name == wanted; });
        if (found == read.entries.cend())
            return Unexpected(Failure(FailureCode::PackageEntryMissing, {.file = output, .name = name}));
        // libzip has checked the entry's data against its CRC.
        if (found->data != bytes)
            return Unexpected(Failure(FailureCode::PackageEntryDiffers, {.file = output, .name = name}));
        if (!found->stored)
            return Unexpected(Failure(FailureCode::PackageEntryCompressed, {.file = output, .name = name}));
    }
    return {};
}

} // namespace

Result<QString> createWorkingFolder(const QString &tempFolder, qint64 seconds)
{
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
        const QString error;
#else
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0) {
            markOwner(path);
            return path + QDir::separator();
        }
        const QString error = qt_error_string(errno);
#endif
        if (!taken(path)) {
            // The temporary folder itself cannot be used.
            return Unexpected(Failure(FailureCode::CannotCreateFolder, {.file = path, .reason = error}));
        }
    }
    return Unexpected(Failure(FailureCode::NoFreeFolderName, {.file = base}));
}

void clearFolder(const QString &folder)
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
            clearFolder(path);
            QDir().rmdir(path);
        } else if (!QFile::remove(path) && !info.isSymLink()) {
            QFile::setPermissions(path, info.permissions() | QFile::WriteOwner);
            QFile::remove(path);
        }
    }
}

Result<void> writePackage(const QString &archiver, const QString &packagePath, const QString &workingFolder)
{
    if (archiver.isEmpty())
        return Unexpected(Failure(FailureCode::ArchiverNotFound));
    if (packagePath.isEmpty())
        return Unexpected(Failure(FailureCode::CannotCreateFile));
    const QStringList files = folderFiles(workingFolder);
    const Result<Files> contents = readFolderFiles(workingFolder, files);
    if (!contents)
        return Unexpected(contents.error());

    // The archive is written into a private folder beside the package and
    // renamed over the chosen path only once it is complete and verified:
    // a save that is cut off (the archiver or the program killed, the disk
    // full) never leaves a partial package under the chosen name, and an
    // earlier package there stays whole. The folder also keeps "7za a" from
    // adding to an archive that is already there, or from giving a name
    // without an extension one of its own.
    const QFileInfo target(packagePath);
    // What a killed save left beside the package goes first.
    removeLeftoverStaging(target.absolutePath());
    // The staging folder carries this process's number, so that a later save
    // can tell whether it was left by a killed one.
    QTemporaryDir staging(target.absolutePath() + QLatin1Char('/') + stagingTemplate());
    if (!staging.isValid())
        return Unexpected(
            Failure(FailureCode::CannotCreateFolder, {.file = staging.path(), .reason = staging.errorString()}));
    const QString output = staging.filePath(QStringLiteral("package.kwp"));

    if (Result<void> ran = runArchiver(archiver, output, workingFolder, files); !ran)
        return ran;
    if (!QFileInfo(output).isFile())
        return Unexpected(Failure(FailureCode::ArchiveNotWritten, {.file = output}));
    if (Result<void> verified = verifyPackage(output, *contents); !verified)
        return verified;
    if (Result<void> renamed = core::renameReplacing(output, packagePath); !renamed)
        return Unexpected(
            Failure(FailureCode::CannotCreateFile, {.file = packagePath, .reason = renamed.error().details().reason}));
    return {};
}

namespace testing {
void setArchiverTimeout(int milliseconds) { archiverTimeout() = milliseconds > 0 ? milliseconds : kArchiverTimeoutMs; }
} // namespace testing

} // namespace save
