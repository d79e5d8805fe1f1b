#include "check/walk.h"

#include <QSet>
#include <algorithm>
#include <cerrno>
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

struct Walker {
    std::set<std::pair<quint64, quint64>> foldersSeen;
    QList<std::pair<QByteArray, QString>> found; // path, and its problem if it could not be read

    // Every "*.kwp" below folder; folders by their identity, so that a link
    // back up, or a folder reached by two links, is searched once.
    void search(const QByteArray &folder)
    {
        struct stat info;
        if (::stat(folder.constData(), &info) == 0 && !foldersSeen.insert({info.st_dev, info.st_ino}).second)
            return;
        DIR *dir = ::opendir(folder.constData());
        if (!dir) {
            found.append({folder, QStringLiteral("папка не читается: ") + systemReason(errno)});
            return;
        }
        QList<QByteArray> folders;
        for (;;) {
            errno = 0;
            const dirent *entry = ::readdir(dir);
            if (!entry) {
                if (errno != 0)
                    found.append({folder, QStringLiteral("папка прочитана не до конца: ") + systemReason(errno)});
                break;
            }
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            const QByteArray path = joined(folder, QByteArray(name));
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
                // A link counts as what it leads to; a broken one is no
                // folder, and when it is named "*.kwp" its line says why it
                // cannot be read.
                struct stat target;
                isFolder = ::stat(path.constData(), &target) == 0 && S_ISDIR(target.st_mode);
            }
            if (isFolder)
                folders.append(path);
            else if (endsWithKwp(name))
                found.append({path, QString()});
        }
        ::closedir(dir);
        for (const QByteArray &path : folders)
            search(path);
    }
};

} // namespace

QString shownName(const QByteArray &bytes)
{
    QString shown;
    shown.reserve(bytes.size());
    qsizetype start = 0; // the start of the run of valid UTF-8 not yet added
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = utf8Length(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        shown += QString::fromUtf8(bytes.constData() + start, i - start);
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

QList<Entry> findPackages(const QList<QByteArray> &inputs)
{
    QList<Entry> entries;
    QSet<QByteArray> pathsSeen;
    std::set<std::pair<quint64, quint64>> filesSeen;
    Walker walker;
    // A package reached twice, by the same path or by the same file, is
    // taken once.
    auto take = [&](Entry entry) {
        if (entry.problem.isEmpty()) {
            const FileIdentity id = identityOf(entry.path);
            if (id.isValid() && !filesSeen.insert({id.device, id.inode}).second)
                return;
        }
        if (pathsSeen.contains(entry.path))
            return;
        pathsSeen.insert(entry.path);
        entries.append(std::move(entry));
    };
    for (const QByteArray &input : inputs) {
        struct stat info;
        const QString shownInput = shownName(input);
        if (::stat(input.constData(), &info) != 0) {
            const int error = errno;
            struct stat link;
            if (::lstat(input.constData(), &link) == 0) {
                // A broken link given by name: its line says why it cannot
                // be read.
                take({input, shownInput, shownName(input.mid(input.lastIndexOf('/') + 1)), QString()});
            } else {
                take({input, shownInput, shownInput, systemReason(error)});
            }
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            take({input, shownInput, shownName(input.mid(input.lastIndexOf('/') + 1)), QString()});
            continue;
        }
        walker.found.clear();
        walker.search(input);
        std::sort(walker.found.begin(), walker.found.end(),
                  [](const auto &a, const auto &b) { return a.first < b.first; });
        const qsizetype prefix = input.endsWith('/') ? input.size() : input.size() + 1;
        for (const auto &[path, problem] : walker.found) {
            const QString shown = shownName(path);
            const QString relative = path.size() > prefix ? shownName(path.mid(prefix)) : shown;
            take({path, shown, relative, problem});
        }
    }
    return entries;
}

} // namespace check
