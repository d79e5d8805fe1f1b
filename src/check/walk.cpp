#include "check/walk.h"

#include <QSet>
#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace check {
namespace {

// The length of the valid UTF-8 sequence starting at i, or 0: strict, so
// that overlong forms, surrogates and code points above U+10FFFF count as
// undecodable bytes.
int utf8Length(const QByteArray &bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return k < bytes.size() ? uchar(bytes[k]) : 0; };
    const uchar b = at(i);
    const auto follows = [&](qsizetype k) { return (at(k) & 0xC0) == 0x80; };
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return follows(i + 1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const uchar lo = b == 0xE0 ? 0xA0 : 0x80;
        const uchar hi = b == 0xED ? 0x9F : 0xBF;
        return at(i + 1) >= lo && at(i + 1) <= hi && follows(i + 2) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const uchar lo = b == 0xF0 ? 0x90 : 0x80;
        const uchar hi = b == 0xF4 ? 0x8F : 0xBF;
        return at(i + 1) >= lo && at(i + 1) <= hi && follows(i + 2) && follows(i + 3) ? 4 : 0;
    }
    return 0;
}

bool endsWithKwp(const char *name)
{
    const size_t length = std::char_traits<char>::length(name);
    if (length < 4)
        return false;
    const char *end = name + length - 4;
    return end[0] == '.' && (end[1] | 0x20) == 'k' && (end[2] | 0x20) == 'w' && (end[3] | 0x20) == 'p';
}

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

struct Found {
    QByteArray path;
    QString problem; // not empty: it could not be read, and why
    Entry::Kind kind = Entry::Package;
};

struct Walker {
    std::set<std::pair<quint64, quint64>> foldersSeen;
    QList<Found> found;

    // Every "*.kwp" below folder; a folder reached twice (a bind mount) is
    // searched once.
    void search(const QByteArray &folder)
    {
        struct stat info;
        if (::stat(folder.constData(), &info) == 0 && !foldersSeen.insert({info.st_dev, info.st_ino}).second)
            return;
        DIR *dir = ::opendir(folder.constData());
        if (!dir) {
            found.append({folder, QStringLiteral("папка не читается: ") + systemReason(errno), Entry::Unreadable});
            return;
        }
        QList<QByteArray> folders;
        for (;;) {
            errno = 0;
            const dirent *entry = ::readdir(dir);
            if (!entry) {
                if (errno != 0)
                    found.append({folder, QStringLiteral("папка прочитана не до конца: ") + systemReason(errno),
                                  Entry::Unreadable});
                break;
            }
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            const QByteArray path = joined(folder, QByteArray(name));
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat own;
                type = ::lstat(path.constData(), &own) != 0 ? DT_UNKNOWN
                       : S_ISDIR(own.st_mode)               ? DT_DIR
                       : S_ISLNK(own.st_mode)               ? DT_LNK
                                                            : DT_REG;
            }
            if (type == DT_DIR) {
                folders.append(path);
            } else if (type == DT_LNK) {
                // A link to a folder is not followed, so that a link to "/"
                // or out of the season's folder checks nothing foreign; it
                // gets a line saying so. A link to a file counts as that
                // file; a broken one named "*.kwp" gets a line saying why it
                // cannot be read.
                struct stat target;
                if (::stat(path.constData(), &target) == 0 && S_ISDIR(target.st_mode))
                    found.append({path, QString(), Entry::FolderLink});
                else if (endsWithKwp(name))
                    found.append({path, QString(), Entry::Package});
            } else if (endsWithKwp(name)) {
                found.append({path, QString(), Entry::Package});
            }
        }
        ::closedir(dir);
        for (const QByteArray &path : folders)
            search(path);
    }
};

qint32 fileNameAt(const QByteArray &path) { return qint32(path.lastIndexOf('/') + 1); }

} // namespace

QString shownName(const QByteArray &bytes)
{
    QString shown;
    shown.reserve(bytes.size());
    qsizetype start = 0; // the start of the run of valid UTF-8 not yet added
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = utf8Length(bytes, i);
        if (length > 0 && bytes[i] != '\\') {
            i += length;
            continue;
        }
        shown += QString::fromUtf8(bytes.constData() + start, i - start);
        if (bytes[i] == '\\')
            shown += QLatin1String("\\\\");
        else
            shown += QStringLiteral("\\x%1").arg(uint(uchar(bytes[i])), 2, 16, QLatin1Char('0'));
        start = ++i;
    }
    shown += QString::fromUtf8(bytes.constData() + start, i - start);
    return shown;
}

QString systemReason(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("нет такого файла или папки");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет доступа");
    case ENOTDIR:
        return QStringLiteral("часть пути не является папкой");
    case EISDIR:
        return QStringLiteral("это папка");
    case ELOOP:
        return QStringLiteral("ссылки ведут по кругу");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case ENOSPC:
        return QStringLiteral("на диске нет места");
    case EDQUOT:
        return QStringLiteral("превышена квота диска");
    case EROFS:
        return QStringLiteral("диск только для чтения");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case ENOMEM:
        return QStringLiteral("не хватает памяти");
    case EXDEV:
        return QStringLiteral("файл на другом диске");
    case EBUSY:
        return QStringLiteral("файл занят");
    case ETXTBSY:
        return QStringLiteral("файл занят");
    default:
        return qt_error_string(error);
    }
}

FileIdentity identityOf(const QByteArray &path, bool noFollow)
{
    struct stat info;
    if ((noFollow ? ::lstat(path.constData(), &info) : ::stat(path.constData(), &info)) != 0)
        return {};
    return {quint64(info.st_dev), quint64(info.st_ino)};
}

QString Entry::shown() const { return shownName(path); }

QString Entry::relative() const { return shownName(path.mid(relativeAt)); }

QList<Entry> findPackages(const QList<QByteArray> &inputs)
{
    QList<Entry> entries;
    QSet<QByteArray> pathsSeen;
    std::map<std::pair<quint64, quint64>, qint32> filesSeen;
    Walker walker;
    // A path reached twice is taken once; a file reached by a second name
    // has a line of its own that names the first.
    auto take = [&](Entry entry) {
        if (pathsSeen.contains(entry.path))
            return;
        pathsSeen.insert(entry.path);
        if (entry.kind == Entry::Package) {
            struct stat own;
            const bool found = ::lstat(entry.path.constData(), &own) == 0;
            entry.link = found && S_ISLNK(own.st_mode);
            const FileIdentity id = !found       ? FileIdentity{}
                                    : entry.link ? identityOf(entry.path)
                                                 : FileIdentity{quint64(own.st_dev), quint64(own.st_ino)};
            entry.device = id.device;
            entry.inode = id.inode;
            if (id.isValid()) {
                const auto [at, fresh] = filesSeen.try_emplace({id.device, id.inode}, qint32(entries.size()));
                if (!fresh)
                    entry.sameAs = at->second;
            }
        }
        entries.append(std::move(entry));
    };
    for (const QByteArray &input : inputs) {
        struct stat info;
        if (::stat(input.constData(), &info) != 0) {
            const int error = errno;
            struct stat link;
            if (::lstat(input.constData(), &link) == 0) {
                // A broken link given by name: its line says why it cannot
                // be read.
                take({.path = input, .relativeAt = fileNameAt(input)});
            } else {
                take({.path = input, .problem = systemReason(error), .kind = Entry::Unreadable});
            }
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            take({.path = input, .relativeAt = fileNameAt(input)});
            continue;
        }
        walker.found.clear();
        walker.search(input);
        std::sort(walker.found.begin(), walker.found.end(),
                  [](const Found &a, const Found &b) { return a.path < b.path; });
        const qsizetype prefix = input.endsWith('/') ? input.size() : input.size() + 1;
        for (Found &found : walker.found) {
            const auto relativeAt = qint32(found.path.size() > prefix ? prefix : 0);
            take({.path = std::move(found.path),
                  .problem = std::move(found.problem),
                  .relativeAt = relativeAt,
                  .kind = found.kind});
        }
        walker.found.clear();
        walker.found.squeeze();
    }
    return entries;
}

} // namespace check
