#include "check/run_inputs.h"

#include "check/run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {
namespace {

// The largest registrations file read: far above a season's records.
constexpr qint64 kMaxRegistrationsSize = 64 * 1024 * 1024;

QString quoted(const QString &text) { return QStringLiteral("«") + text + QStringLiteral("»"); }

// A whole file, up to limit bytes. Fails with CannotOpenFile (file, number:
// errno; name "not a file" for what is no regular file, "too large" with
// limit) or CannotReadFile (file, number).
Result<QByteArray> readWhole(const QString &path, qint64 limit)
{
    const QByteArray name = QFile::encodeName(path);
    int handle;
    do
        handle = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (handle < 0 && errno == EINTR);
    if (handle < 0)
        return Unexpected(Failure(FailureCode::CannotOpenFile, {.file = path, .number = errno}));
    struct stat info;
    auto fail = [&](FailureDetails details, FailureCode code = FailureCode::CannotOpenFile) {
        ::close(handle);
        details.file = path;
        return Unexpected(Failure(code, details));
    };
    if (::fstat(handle, &info) != 0)
        return fail({.number = errno});
    if (!S_ISREG(info.st_mode))
        return fail({.name = QStringLiteral("not a file")});
    if (info.st_size > limit)
        return fail({.limit = limit, .name = QStringLiteral("too large")});
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const auto n = ::read(handle, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail({.number = errno}, FailureCode::CannotReadFile);
        if (n == 0)
            break;
        got += n;
    }
    ::close(handle);
    bytes.truncate(std::min<qsizetype>(got, limit));
    return bytes;
}

} // namespace

Inputs::Inputs(const QList<Entry> &entries, const RunOptions &options)
{
    QByteArray lastFolder;
    for (const Entry &entry : entries) {
        if (entry.kind == Entry::FolderLink) {
            add(entry.path, FolderLink, true);
            continue;
        }
        if (entry.kind != Entry::Package)
            continue;
        if (entry.device != 0 || entry.inode != 0)
            add(entry.device, entry.inode, Package);
        if (entry.link)
            add(entry.path, Package, true);
        // A package's own folder, once for a run of packages in it.
        const QByteArray folder = entry.path.left(entry.path.lastIndexOf('/') + 1);
        if (folder != lastFolder) {
            add(folder.isEmpty() ? QByteArray(".") : folder, Folder);
            lastFolder = folder;
        }
    }
    for (const QByteArray &input : options.inputs) {
        struct stat info;
        if (::stat(input.constData(), &info) == 0 && S_ISDIR(info.st_mode))
            add(input, Folder);
    }
    if (!options.registrations.isEmpty())
        add(QFile::encodeName(options.registrations), RegistrationsFile);
    if (!options.pathList.isEmpty())
        add(options.pathList, PathList);
    std::sort(ids_.begin(), ids_.end());
}

void Inputs::add(const QByteArray &path, Kind kind, bool own)
{
    const FileIdentity id = identityOf(path, own);
    if (id.isValid())
        add(id.device, id.inode, kind);
}

void Inputs::add(quint64 device, quint64 inode, Kind kind) { ids_.push_back({{device, inode}, kind}); }

QString Inputs::inputName(const QString &path) const
{
    const QByteArray bytes = QFile::encodeName(path);
    // The entry itself, and for a link also the file it leads to.
    struct stat own;
    if (::lstat(bytes.constData(), &own) != 0)
        return QString();
    const FileIdentity ids[] = {{quint64(own.st_dev), quint64(own.st_ino)},
                                S_ISLNK(own.st_mode) ? identityOf(bytes) : FileIdentity{}};
    for (const FileIdentity &id : ids) {
        if (!id.isValid())
            continue;
        const auto found =
            std::lower_bound(ids_.cbegin(), ids_.cend(), std::pair{std::pair{id.device, id.inode}, Package});
        if (found == ids_.cend() || found->first != std::pair{id.device, id.inode})
            continue;
        switch (found->second) {
        case Package:
            return QStringLiteral("проверяемого пакета");
        case Folder:
            return QStringLiteral("папки с пакетами");
        case RegistrationsFile:
            return QStringLiteral("файла регистрации");
        case PathList:
            return QStringLiteral("списка путей (--files-from)");
        case FolderLink:
            return QStringLiteral("ссылки на папку");
        }
    }
    return QString();
}

QString Inputs::outputProblem(const QString &path) const
{
    if (const QString input = inputName(path); !input.isEmpty())
        return QStringLiteral("записался бы поверх ") + input;
    if (QFileInfo(path).isDir())
        return QStringLiteral("— это папка, а нужен файл");
    return QString();
}

Result<Registrations> readRegistrations(const QString &path)
{
    Result<QByteArray> bytes = readWhole(path, kMaxRegistrationsSize);
    if (!bytes)
        return Unexpected(bytes.error());
    return Registrations::parse(*bytes);
}

QString registrationsFailureText(const Failure &failure, const QString &path)
{
    const FailureDetails &details = failure.details();
    const QString file = quoted(QDir::toNativeSeparators(path));
    if (details.name == QLatin1String("encoding"))
        return QStringLiteral("файл регистрации %1 не в кодировке UTF-8 и не в Windows-1251; "
                              "сохраните его как «CSV UTF-8».")
            .arg(file);
    if (details.name == QLatin1String("columns"))
        return QStringLiteral("файл регистрации %1 не подходит: в первой строке нет столбцов «ID» (или «Номер»), "
                              "«Фамилия», «Имя» и «Отчество».")
            .arg(file);
    QString reason;
    if (details.name == QLatin1String("not a file"))
        reason = QStringLiteral("это не файл");
    else if (details.name == QLatin1String("too large"))
        reason = QStringLiteral("файл больше %1 байт").arg(details.limit);
    else
        reason = systemReason(details.number);
    return QStringLiteral("файл регистрации %1 не читается: %2.").arg(file, reason);
}

void reportMissing(Streams &streams, const QList<Registered> &missing, Format format)
{
    for (const Registered &person : missing) {
        const QString name = QStringList{person.surname, person.name, person.patronymic}.join(QLatin1Char(' '));
        if (format == Format::Jsonl) {
            streams.report("{\"registration\": {\"row\": " + QByteArray::number(person.row) + ", \"id\": "
                           + jsonString(formattedId(person.id)) + ", \"surname\": " + jsonString(person.surname)
                           + ", \"name\": " + jsonString(person.name) + ", \"patronymic\": "
                           + jsonString(person.patronymic) + "}, \"problems\": [\"нет ни в одном пакете\"]}");
        } else {
            streams.report(QStringLiteral("регистрация, строка %1: %2 (ID %3) нет ни в одном пакете")
                               .arg(person.row)
                               .arg(name.trimmed(), formattedId(person.id))
                               .toUtf8());
        }
    }
}

} // namespace check
