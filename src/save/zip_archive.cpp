#include "save/zip_archive.h"

#include <QSet>
#include <memory>

#include <zip.h>

namespace save {
namespace {

struct ArchiveCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

// A name that could point outside a folder it were unpacked into, or that
// carries characters no package name holds.
bool unsafeName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return true;
    if (name.size() >= 2 && name[1] == QLatin1Char(':'))
        return true; // a drive letter
    for (QChar c : name)
        if (c.unicode() < 32 || c.unicode() == 127)
            return true;
    for (const QString &part : name.split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return true;
    return false;
}

// The type bits of a Unix mode, as archivers made on Unix record them.
constexpr zip_uint32_t kTypeMask = 0170000;
constexpr zip_uint32_t kRegularFile = 0100000;
constexpr zip_uint32_t kSymbolicLink = 0120000;
constexpr zip_uint32_t kDirectory = 0040000;

// The problem of an entry that libzip could not read, by libzip's error.
ReadProblem readFailure(const QString &name, int code)
{
    switch (code) {
    case ZIP_ER_CRC:
        return {ReadProblemCode::EntryCrc, name};
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
        return {ReadProblemCode::EntryEncrypted, name};
    case ZIP_ER_COMPNOTSUPP:
        return {ReadProblemCode::EntryCompression, name};
    default:
        return {ReadProblemCode::EntryUnreadable, name};
    }
}

} // namespace

ZipReadResult readZipEntries(const QByteArray &zip, qint64 maxEntrySize, int maxEntries)
{
    ZipReadResult result;
    auto refuse = [&result](const ReadProblem &problem) {
        result.entries.clear();
        result.problems.append(problem);
        return result;
    };
    if (zip.isEmpty())
        return refuse({ReadProblemCode::NotZip});

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return refuse({ReadProblemCode::NotZip});
    }
    // The consistency check compares every local header with the central
    // directory, so that no entry can show one name or size there and
    // another here.
    std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive) {
        zip_source_free(source);
        const int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        return refuse(
            {code == ZIP_ER_NOZIP || code == ZIP_ER_EOF ? ReadProblemCode::NotZip : ReadProblemCode::ArchiveDamaged});
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0)
        return refuse({ReadProblemCode::ArchiveDamaged});
    if (count > maxEntries)
        return refuse({.code = ReadProblemCode::TooManyEntries, .number = count});

    // First every entry's header, so that nothing is unpacked from an
    // archive that is refused.
    QList<zip_stat_t> stats;
    QSet<QString> names;
    zip_uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(archive.get(), zip_uint64_t(i), 0);
        if (!raw)
            return refuse({ReadProblemCode::ArchiveDamaged});
        const QString name = QString::fromUtf8(raw);
        if (unsafeName(name))
            return refuse({ReadProblemCode::UnsafeEntryName, name});
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive.get(), zip_uint64_t(i), 0, &system, &attributes) != 0)
            return refuse({ReadProblemCode::ArchiveDamaged});
        const zip_uint32_t type = system == ZIP_OPSYS_UNIX ? (attributes >> 16) & kTypeMask : 0;
        if (type == kSymbolicLink)
            return refuse({ReadProblemCode::LinkEntry, name});
        if (name.endsWith(QLatin1Char('/')) || type == kDirectory)
            return refuse({ReadProblemCode::FolderEntry, name});
        if (type != 0 && type != kRegularFile)
            return refuse({ReadProblemCode::NotRegularEntry, name});
        if (names.contains(name))
            return refuse({ReadProblemCode::DuplicateEntry, name});
        names.insert(name);

        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), zip_uint64_t(i), 0, &stat) != 0)
            return refuse({ReadProblemCode::ArchiveDamaged});
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
            return refuse(readFailure(name, ZIP_ER_ENCRNOTSUPP));
        if (!(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_METHOD) || !(stat.valid & ZIP_STAT_CRC))
            return refuse({ReadProblemCode::ArchiveDamaged});
        if (stat.size > zip_uint64_t(maxEntrySize))
            return refuse({.code = ReadProblemCode::EntryTooLarge,
                           .name = name,
                           .number = qint64(stat.size),
                           .limit = maxEntrySize});
        if (!zip_compression_method_supported(stat.comp_method, 0))
            return refuse(readFailure(name, ZIP_ER_COMPNOTSUPP));
        total += stat.size;
        if (total > 2 * zip_uint64_t(maxEntrySize))
            return refuse({.code = ReadProblemCode::EntriesTooLarge, .limit = 2 * maxEntrySize});
        stats.append(stat);
    }

    for (zip_int64_t i = 0; i < count; ++i) {
        const zip_stat_t &stat = stats[i];
        const QString name = QString::fromUtf8(zip_get_name(archive.get(), zip_uint64_t(i), 0));
        std::unique_ptr<zip_file_t, EntryCloser> file(zip_fopen_index(archive.get(), zip_uint64_t(i), 0));
        if (!file)
            return refuse(readFailure(name, zip_error_code_zip(zip_get_error(archive.get()))));
        ZipEntry entry;
        entry.name = name;
        entry.crc = stat.crc;
        entry.stored = stat.comp_method == ZIP_CM_STORE;
        entry.data.resize(qsizetype(stat.size));
        qint64 done = 0;
        while (done < entry.data.size()) {
            const zip_int64_t got =
                zip_fread(file.get(), entry.data.data() + done, zip_uint64_t(entry.data.size() - done));
            if (got < 0)
                return refuse(readFailure(name, zip_error_code_zip(zip_file_get_error(file.get()))));
            if (got == 0)
                return refuse({ReadProblemCode::EntryShort, name});
            done += got;
        }
        // One byte more must not be there; reading to the end also makes
        // libzip check the CRC, and refuse data that fail it.
        char extra = 0;
        const zip_int64_t beyond = zip_fread(file.get(), &extra, 1);
        if (beyond < 0)
            return refuse(readFailure(name, zip_error_code_zip(zip_file_get_error(file.get()))));
        if (beyond > 0)
            return refuse({ReadProblemCode::EntryLong, name});
        result.entries.append(std::move(entry));
    }
    return result;
}

namespace {
// An archive built in memory that libzip gave up on, with libzip's reason.
Unexpected notBuilt(zip_error_t *error)
{
    const QString reason = QString::fromUtf8(zip_error_strerror(error));
    return Unexpected(Failure(FailureCode::ArchiveNotBuilt, {.reason = reason}));
}
} // namespace

Result<QByteArray> zipStored(const QList<std::pair<QString, QByteArray>> &entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *target = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!target) {
        const Unexpected failure = notBuilt(&error);
        zip_error_fini(&error);
        return failure;
    }
    zip_error_fini(&error);
    zip_error_init(&error);
    zip_t *archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(target);
        const Unexpected failure = notBuilt(&error);
        zip_error_fini(&error);
        return failure;
    }
    zip_error_fini(&error);
    // The buffer must outlive the archive's closing, which writes into it.
    zip_source_keep(target);

    bool ok = true;
    for (const auto &[name, data] : entries) {
        zip_source_t *piece = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        const QByteArray utf8 = name.toUtf8();
        const zip_int64_t index = piece ? zip_file_add(archive, utf8.constData(), piece, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (piece)
                zip_source_free(piece);
            ok = false;
            break;
        }
        if (zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0) {
            ok = false;
            break;
        }
    }
    if (!ok || zip_close(archive) != 0) {
        zip_error_t *cause = zip_get_error(archive);
        const Unexpected failure = notBuilt(cause);
        zip_discard(archive);
        zip_source_free(target);
        return failure;
    }

    QByteArray bytes;
    bool read = false;
    if (zip_source_open(target) == 0) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_source_stat(target, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE)) {
            bytes.resize(qsizetype(stat.size));
            read = zip_source_read(target, bytes.data(), stat.size) == zip_int64_t(stat.size);
        }
        zip_source_close(target);
    }
    const Unexpected failure = notBuilt(zip_source_error(target));
    zip_source_free(target);
    if (!read)
        return failure;
    return bytes;
}

} // namespace save
