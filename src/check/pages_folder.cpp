#include "check/pages_folder.h"

#include "check/output_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {
namespace {

const QByteArray kManifestHeader = "# tirlada-check: pages written into this folder\n";

// The largest list read: far above a season's pages.
constexpr qint64 kMaxManifestSize = 64 * 1024 * 1024;

} // namespace

Result<PagesFolder> PagesFolder::open(const QString &folder)
{
    PagesFolder pages;
    pages.path_ = QDir::cleanPath(QDir().absoluteFilePath(folder));
    const QByteArray name = QFile::encodeName(pages.path_);
    struct stat info;
    if (::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode) && ::stat(name.constData(), &info) != 0)
        return Unexpected(Failure(FailureCode::CannotCreateFolder,
                                  {.file = folder, .number = errno, .name = QStringLiteral("dangling")}));
    if (!QDir().mkpath(pages.path_)) {
        // The folder's own step says why.
        const int error = ::mkdir(name.constData(), 0777) == 0 ? 0 : errno;
        if (error != 0 && error != EEXIST)
            return Unexpected(Failure(FailureCode::CannotCreateFolder, {.file = folder, .number = error}));
    }
    do
        pages.handle_ = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (pages.handle_ < 0 && errno == EINTR);
    if (pages.handle_ < 0)
        return Unexpected(Failure(FailureCode::CannotCreateFolder, {.file = folder, .number = errno}));
    // One run at a time: a second one is refused at once rather than mixing
    // its pages with the first's. The lock goes with the process, however it
    // ends.
    if (::flock(pages.handle_, LOCK_EX | LOCK_NB) != 0)
        return Unexpected(
            Failure(FailureCode::CannotOpenFile, {.file = folder, .number = errno, .name = QStringLiteral("locked")}));
    return pages;
}

PagesFolder::PagesFolder(PagesFolder &&other) noexcept : path_(std::move(other.path_)), handle_(other.handle_)
{
    other.handle_ = -1;
}

PagesFolder::~PagesFolder()
{
    if (handle_ >= 0)
        ::close(handle_);
}

PagesFolder::Manifest PagesFolder::readManifest(const std::function<bool(const QString &path)> &mayRemove) const
{
    Manifest manifest;
    QFile file(filePath(kManifestName));
    if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly))
        return manifest;
    const QList<QByteArray> lines = file.read(kMaxManifestSize).split('\n');
    for (const QByteArray &line : lines) {
        const QString name = QString::fromUtf8(line);
        if (name.isEmpty() || name.startsWith(QLatin1Char('#')))
            continue;
        const bool page = name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)
                          || name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive);
        if (!page || name.contains(QLatin1Char('/')) || name.contains(QChar(0)) || !mayRemove(filePath(name))) {
            manifest.ignored.append(name);
            continue;
        }
        manifest.names.append(name);
    }
    std::sort(manifest.names.begin(), manifest.names.end());
    manifest.names.erase(std::unique(manifest.names.begin(), manifest.names.end()), manifest.names.end());
    return manifest;
}

QStringList PagesFolder::entryNames() const
{
    QStringList names;
    DIR *dir = ::opendir(QFile::encodeName(path_).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

Result<void> PagesFolder::writeManifest(const QByteArray &lines) const
{
    return writeOutput(filePath(kManifestName), kManifestHeader + lines);
}

} // namespace check
