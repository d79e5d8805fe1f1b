#include "save/package_reader.h"

#include "core/failure.h"
#include "participants/participant_id.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_size.h"
#include "sections/section_rules.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstring>
#include <memory>

#include <zip.h>
#include <zlib.h>

namespace save {
namespace {

const QString kDocumentName = QStringLiteral("data.xml");
const QString kPictureName = QStringLiteral("image.jpg");

// The frame that a passport's picture fits into.
constexpr int kPictureFrame = picture::kFrameSide;
// The scans a picture may have: an exported one has one, a progressive one
// about ten.
constexpr int kMaxPictureScans = 100;

QString quoted(const QString &text) { return QStringLiteral("«") + text + QStringLiteral("»"); }

// ---- Messages ----

QString notZipText() { return QStringLiteral("Файл не является пакетом паспорта работы: это не ZIP-архив."); }
QString damagedArchiveText() { return QStringLiteral("Пакет поврежден: его оглавление не сходится с содержимым."); }
QString shapeText(const QString &detail)
{
    return QStringLiteral("Файл data.xml устроен не так, как паспорт работы: %1.").arg(detail);
}

// ---- The archive ----

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

QString readFailureText(const QString &name, int code)
{
    switch (code) {
    case ZIP_ER_CRC:
        return QStringLiteral("Файл %1 в пакете поврежден: не сходится его контрольная сумма.").arg(quoted(name));
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
        return QStringLiteral("Файл %1 в пакете зашифрован, а пакет паспорта не шифруется.").arg(quoted(name));
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("Файл %1 в пакете сжат неизвестным способом.").arg(quoted(name));
    default:
        return QStringLiteral("Файл %1 в пакете поврежден и не читается.").arg(quoted(name));
    }
}

} // namespace

quint32 zipCrc(const QByteArray &bytes)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const uInt piece = uInt(std::min<qsizetype>(left, 1 << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(data), piece);
        data += piece;
        left -= piece;
    }
    return quint32(crc);
}

ZipReadResult readZipEntries(const QByteArray &zip, qint64 maxEntrySize, int maxEntries)
{
    ZipReadResult result;
    auto refuse = [&result](const QString &problem) {
        result.entries.clear();
        result.problems.append(problem);
        return result;
    };
    if (zip.isEmpty())
        return refuse(notZipText());

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return refuse(notZipText());
    }
    // The consistency check compares every local header with the central
    // directory, so that no entry can show one name or size there and
    // another here.
    std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive) {
        zip_source_free(source);
        const int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        return refuse(code == ZIP_ER_NOZIP || code == ZIP_ER_EOF ? notZipText() : damagedArchiveText());
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0)
        return refuse(damagedArchiveText());
    if (count > maxEntries)
        return refuse(
            QStringLiteral("В пакете слишком много файлов: %1, а в пакете паспорта их не больше двух.").arg(count));

    // First every entry's header, so that nothing is unpacked from an
    // archive that is refused.
    QList<zip_stat_t> stats;
    QSet<QString> names;
    zip_uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(archive.get(), zip_uint64_t(i), 0);
        if (!raw)
            return refuse(damagedArchiveText());
        const QString name = QString::fromUtf8(raw);
        if (unsafeName(name))
            return refuse(QStringLiteral("В пакете есть файл с недопустимым именем %1.").arg(quoted(name)));
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive.get(), zip_uint64_t(i), 0, &system, &attributes) != 0)
            return refuse(damagedArchiveText());
        const zip_uint32_t type = system == ZIP_OPSYS_UNIX ? (attributes >> 16) & kTypeMask : 0;
        if (type == kSymbolicLink)
            return refuse(QStringLiteral("В пакете есть ссылка %1 вместо файла.").arg(quoted(name)));
        if (name.endsWith(QLatin1Char('/')) || type == kDirectory)
            return refuse(
                QStringLiteral("В пакете есть папка %1, а папок в пакете паспорта не бывает.").arg(quoted(name)));
        if (type != 0 && type != kRegularFile)
            return refuse(QStringLiteral("В пакете есть %1, и это не обычный файл.").arg(quoted(name)));
        if (names.contains(name))
            return refuse(QStringLiteral("Файл %1 записан в пакете дважды.").arg(quoted(name)));
        names.insert(name);

        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), zip_uint64_t(i), 0, &stat) != 0)
            return refuse(damagedArchiveText());
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
            return refuse(readFailureText(name, ZIP_ER_ENCRNOTSUPP));
        if (!(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_METHOD) || !(stat.valid & ZIP_STAT_CRC))
            return refuse(damagedArchiveText());
        if (stat.size > zip_uint64_t(maxEntrySize))
            return refuse(QStringLiteral("Файл %1 в пакете слишком большой: %2 байт, а допускается не больше %3.")
                              .arg(quoted(name))
                              .arg(stat.size)
                              .arg(maxEntrySize));
        if (!zip_compression_method_supported(stat.comp_method, 0))
            return refuse(readFailureText(name, ZIP_ER_COMPNOTSUPP));
        total += stat.size;
        if (total > 2 * zip_uint64_t(maxEntrySize))
            return refuse(
                QStringLiteral("Файлы в пакете вместе слишком большие: больше %1 байт.").arg(2 * maxEntrySize));
        stats.append(stat);
    }

    for (zip_int64_t i = 0; i < count; ++i) {
        const zip_stat_t &stat = stats[i];
        const QString name = QString::fromUtf8(zip_get_name(archive.get(), zip_uint64_t(i), 0));
        std::unique_ptr<zip_file_t, EntryCloser> file(zip_fopen_index(archive.get(), zip_uint64_t(i), 0));
        if (!file)
            return refuse(readFailureText(name, zip_error_code_zip(zip_get_error(archive.get()))));
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
                return refuse(readFailureText(name, zip_error_code_zip(zip_file_get_error(file.get()))));
            if (got == 0)
                return refuse(
                    QStringLiteral("Файл %1 в пакете обрывается раньше, чем сказано в оглавлении.").arg(quoted(name)));
            done += got;
        }
        // One byte more must not be there; reading to the end also makes
        // libzip check the CRC.
        char extra = 0;
        const zip_int64_t beyond = zip_fread(file.get(), &extra, 1);
        if (beyond < 0)
            return refuse(readFailureText(name, zip_error_code_zip(zip_file_get_error(file.get()))));
        if (beyond > 0)
            return refuse(QStringLiteral("Файл %1 в пакете длиннее, чем сказано в оглавлении.").arg(quoted(name)));
        if (zipCrc(entry.data) != entry.crc)
            return refuse(readFailureText(name, ZIP_ER_CRC));
        result.entries.append(std::move(entry));
    }
    return result;
}

QByteArray zipStored(const QList<std::pair<QString, QByteArray>> &entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_error_fini(&error);
    if (!target)
        return QByteArray();
    zip_error_init(&error);
    zip_t *archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    if (!archive) {
        zip_source_free(target);
        return QByteArray();
    }
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
        zip_discard(archive);
        zip_source_free(target);
        return QByteArray();
    }

    QByteArray bytes;
    if (zip_source_open(target) == 0) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_source_stat(target, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE)) {
            bytes.resize(qsizetype(stat.size));
            if (zip_source_read(target, bytes.data(), stat.size) != zip_int64_t(stat.size))
                bytes.clear();
        }
        zip_source_close(target);
    }
    zip_source_free(target);
    return bytes;
}

// ---- The data document ----

namespace {

struct RawPerson {
    bool teacher = false;
    TPersonRecord record;
    std::optional<QString> leader; // the value of "is_leader" when present
};

// The document's values as stored, before their rules are checked.
struct RawDocument {
    QString title, seasonId, datetime, description;
    std::optional<QString> caption;
    QString manual, techRequest, postIndex, postAddress, phone, email;
    QStringList subjects;
    QList<RawPerson> people;
    QString notes;
};

// The writer turns every LF of a value into CR CR LF and keeps every CR as
// it is; this is the reverse. Each LF it wrote has its own two CRs right in
// front, so the pairs are found unambiguously.
QString fromStored(QString text)
{
    text.replace(QLatin1String("\r\r\n"), QLatin1String("\n"));
    return text;
}

// The values carry their line breaks and tabs as raw bytes, which an XML
// parser normalises: CR LF and a lone CR both become LF, and in attribute
// values TAB, CR and LF become blanks. Inside the root element these bytes
// are turned into character references first, which the parser passes
// through unchanged. The writer puts none of them inside a tag, so only
// values change.
QByteArray protectLineBreaks(const QByteArray &document)
{
    qsizetype begin = -1;
    for (qsizetype i = 0; i + 1 < document.size(); ++i) {
        if (document[i] == '<' && document[i + 1] != '?' && document[i + 1] != '!') {
            begin = i;
            break;
        }
    }
    const qsizetype end = document.lastIndexOf('>');
    if (begin < 0 || end < begin)
        return document;
    QByteArray out;
    out.reserve(document.size() + 256);
    out.append(document.constData(), begin);
    for (qsizetype i = begin; i <= end; ++i) {
        switch (document[i]) {
        case '\r':
            out.append("&#13;");
            break;
        case '\n':
            out.append("&#10;");
            break;
        case '\t':
            out.append("&#9;");
            break;
        default:
            out.append(document[i]);
            break;
        }
    }
    out.append(document.constData() + end + 1, document.size() - end - 1);
    return out;
}

bool onlyBlanks(QStringView text)
{
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            return false;
    return true;
}

// Reads the document in the one shape the program writes: the elements in
// their order, each text element without attributes or children, the
// participants with their four attributes. The first departure stops it.
class DocumentParser {
public:
    explicit DocumentParser(const QByteArray &bytes) : xml(bytes) { xml.setNamespaceProcessing(true); }

    // The problem that stopped the reading, or nothing.
    std::optional<QString> parse(RawDocument &doc)
    {
        readAll(doc);
        if (stop)
            return stop;
        if (xml.hasError())
            return malformed();
        return std::nullopt;
    }

private:
    QXmlStreamReader xml;
    std::optional<QString> stop;

    static QString malformed() { return QStringLiteral("Файл data.xml поврежден: в нем нарушены правила записи XML."); }

    bool failed() const { return stop.has_value() || xml.hasError(); }

    void fail(const QString &problem)
    {
        if (!stop)
            stop = problem;
        xml.raiseError(problem);
    }

    // What stands at the current token, for a message.
    QString here() const
    {
        switch (xml.tokenType()) {
        case QXmlStreamReader::StartElement:
            return QStringLiteral("элемент ") + quoted(xml.qualifiedName().toString());
        case QXmlStreamReader::EndElement:
            return QStringLiteral("конец элемента ") + quoted(xml.qualifiedName().toString());
        default:
            return QStringLiteral("конец файла");
        }
    }

    // The next token that matters: comments, processing instructions and
    // blanks between elements are passed over.
    QXmlStreamReader::TokenType next()
    {
        for (;;) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            switch (token) {
            case QXmlStreamReader::StartDocument: {
                const QString encoding = xml.documentEncoding().toString();
                if (!encoding.isEmpty() && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0) {
                    fail(shapeText(QStringLiteral("он записан в кодировке %1, а не в UTF-8").arg(encoding)));
                    return QXmlStreamReader::Invalid;
                }
                continue;
            }
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                continue;
            case QXmlStreamReader::Characters:
                if (onlyBlanks(xml.text()))
                    continue;
                fail(shapeText(QStringLiteral("в нем есть текст вне полей паспорта")));
                return QXmlStreamReader::Invalid;
            case QXmlStreamReader::DTD:
                fail(QStringLiteral("Файл data.xml содержит объявление типа документа (DTD); "
                                    "такие файлы не открываются, чтобы не раскрывать в них сущности."));
                return QXmlStreamReader::Invalid;
            case QXmlStreamReader::EntityReference:
                fail(QStringLiteral("Файл data.xml ссылается на сущность %1, а в паспорте их не бывает.")
                         .arg(quoted(xml.name().toString())));
                return QXmlStreamReader::Invalid;
            default:
                return token;
            }
        }
    }

    // The next start tag, whatever its name; an empty text when none.
    QString startAny(QLatin1String expected)
    {
        const QXmlStreamReader::TokenType token = next();
        if (failed())
            return QString();
        if (token != QXmlStreamReader::StartElement) {
            fail(shapeText(QStringLiteral("на месте поля %1 стоит %2").arg(quoted(expected), here())));
            return QString();
        }
        if (!xml.namespaceUri().isEmpty() || !xml.prefix().isEmpty()) {
            fail(shapeText(QStringLiteral("элемент %1 относится к пространству имен")
                               .arg(quoted(xml.qualifiedName().toString()))));
            return QString();
        }
        return xml.name().toString();
    }

    bool start(QLatin1String name)
    {
        const QString found = startAny(name);
        if (failed())
            return false;
        if (found != name) {
            fail(shapeText(QStringLiteral("на месте поля %1 стоит %2").arg(quoted(name), here())));
            return false;
        }
        return true;
    }

    bool noAttributes()
    {
        if (xml.attributes().isEmpty())
            return true;
        fail(shapeText(QStringLiteral("у элемента %1 есть атрибуты").arg(quoted(xml.name().toString()))));
        return false;
    }

    // The text of the element whose start tag was just read.
    QString textHere()
    {
        const QString name = xml.name().toString();
        if (!noAttributes())
            return QString();
        const QString text = xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (xml.error() == QXmlStreamReader::UnexpectedElementError)
            fail(shapeText(QStringLiteral("в поле %1 вложены элементы").arg(quoted(name))));
        return fromStored(text);
    }

    QString text(QLatin1String name)
    {
        if (!start(name))
            return QString();
        return textHere();
    }

    void person(RawDocument &doc, bool teacher)
    {
        RawPerson person;
        person.teacher = teacher;
        const QString element = xml.name().toString();
        bool seen[4] = {};
        QString *values[4] = {&person.record.Id, &person.record.Surname, &person.record.Name,
                              &person.record.Patronymic};
        static const QLatin1String names[4] = {QLatin1String("p_id_full"), QLatin1String("surname"),
                                               QLatin1String("name"), QLatin1String("patronymic")};
        for (const QXmlStreamAttribute &attribute : xml.attributes()) {
            const QStringView name = attribute.name();
            bool known = false;
            if (attribute.namespaceUri().isEmpty()) {
                for (int k = 0; k < 4; ++k) {
                    if (name == names[k]) {
                        seen[k] = known = true;
                        *values[k] = fromStored(attribute.value().toString());
                    }
                }
                if (name == QLatin1String("is_leader")) {
                    known = true;
                    person.leader = attribute.value().toString();
                }
            }
            if (!known) {
                fail(shapeText(QStringLiteral("у элемента %1 есть неизвестный атрибут %2")
                                   .arg(quoted(element), quoted(attribute.qualifiedName().toString()))));
                return;
            }
        }
        for (int k = 0; k < 4; ++k) {
            if (!seen[k]) {
                fail(shapeText(QStringLiteral("у элемента %1 нет атрибута %2").arg(quoted(element), quoted(names[k]))));
                return;
            }
        }
        const QXmlStreamReader::TokenType token = next();
        if (failed())
            return;
        if (token != QXmlStreamReader::EndElement) {
            fail(shapeText(QStringLiteral("внутри элемента %1 стоит %2").arg(quoted(element), here())));
            return;
        }
        doc.people.append(person);
    }

    void readAll(RawDocument &doc)
    {
        if (!start(QLatin1String("work")) || !noAttributes())
            return;
        doc.title = text(QLatin1String("title"));
        doc.seasonId = text(QLatin1String("sz_id"));
        doc.datetime = text(QLatin1String("datetime"));
        doc.description = text(QLatin1String("description"));
        if (failed())
            return;
        QString name = startAny(QLatin1String("manual"));
        if (name == QLatin1String("img_sign")) {
            doc.caption = textHere();
            name = startAny(QLatin1String("manual"));
        }
        if (failed())
            return;
        if (name != QLatin1String("manual")) {
            fail(shapeText(QStringLiteral("на месте поля %1 стоит %2").arg(quoted(QStringLiteral("manual")), here())));
            return;
        }
        doc.manual = textHere();
        doc.techRequest = text(QLatin1String("tech_request"));
        doc.postIndex = text(QLatin1String("public_post_index"));
        doc.postAddress = text(QLatin1String("public_post_address"));
        doc.phone = text(QLatin1String("public_phone"));
        doc.email = text(QLatin1String("public_email"));

        if (!start(QLatin1String("subjects")) || !noAttributes())
            return;
        for (;;) {
            const QXmlStreamReader::TokenType token = next();
            if (failed())
                return;
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token != QXmlStreamReader::StartElement || xml.name() != QLatin1String("subject")
                || !xml.namespaceUri().isEmpty()) {
                fail(shapeText(QStringLiteral("в поле %1 стоит %2").arg(quoted(QStringLiteral("subjects")), here())));
                return;
            }
            doc.subjects.append(textHere());
            if (failed())
                return;
        }

        if (!start(QLatin1String("people")) || !noAttributes())
            return;
        bool teachers = false;
        for (;;) {
            const QXmlStreamReader::TokenType token = next();
            if (failed())
                return;
            if (token == QXmlStreamReader::EndElement)
                break;
            const bool author = token == QXmlStreamReader::StartElement && xml.namespaceUri().isEmpty()
                                && xml.name() == QLatin1String("author");
            const bool teacher = token == QXmlStreamReader::StartElement && xml.namespaceUri().isEmpty()
                                 && xml.name() == QLatin1String("teacher");
            if (!author && !teacher) {
                fail(shapeText(QStringLiteral("в поле %1 стоит %2").arg(quoted(QStringLiteral("people")), here())));
                return;
            }
            if (author && teachers) {
                fail(shapeText(QStringLiteral("автор записан после руководителей")));
                return;
            }
            teachers = teacher;
            person(doc, teacher);
            if (failed())
                return;
        }

        doc.notes = text(QLatin1String("notes"));
        if (failed())
            return;
        if (next() != QXmlStreamReader::EndElement) {
            if (!failed())
                fail(shapeText(QStringLiteral("после поля %1 стоит %2").arg(quoted(QStringLiteral("notes")), here())));
            return;
        }
        if (next() != QXmlStreamReader::EndDocument && !failed())
            fail(shapeText(QStringLiteral("после элемента %1 стоит %2").arg(quoted(QStringLiteral("work")), here())));
    }
};

const QRegularExpression &digitsOnly()
{
    // Anchored at the very end: "$" would also match before a final line
    // feed.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,18}")));
    return pattern;
}

// The sections as the window's slots, or a problem.
void checkSubjects(const QStringList &values, PassportSnapshot &passport, QStringList &problems)
{
    QList<qint32> numbers;
    for (const QString &value : values) {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok || !digitsOnly().match(value).hasMatch() || number < 1 || number > kSubjectCount) {
            problems.append(QStringLiteral("Номер раздела %1 неверен: разделы нумеруются от 1 до %2.")
                                .arg(quoted(value))
                                .arg(kSubjectCount));
            return;
        }
        numbers.append(number);
    }
    // The choice must be one that the sections dialog can make: at most
    // three main sections in ascending order, then the supplementary one
    // only together with a main one.
    sections::SubjectFlags ticks{};
    int main = 0;
    for (qint32 n : numbers) {
        ticks[size_t(n - 1)] = true;
        if (n != sections::kSupplementarySubject)
            ++main;
    }
    const std::array<qint32, 4> canonical = sections::subjectSlotsFromTicks(ticks);
    std::array<qint32, 4> given{};
    for (qsizetype i = 0; i < numbers.size() && i < 4; ++i)
        given[size_t(i)] = numbers[i];
    const bool supplementaryAlone = main == 0 && ticks[sections::kSupplementarySubject - 1];
    if (numbers.size() > 4 || main > sections::kMaxMainSubjects || supplementaryAlone || canonical != given) {
        problems.append(QStringLiteral("Разделы работы выбраны не по правилам: допускается до трех основных "
                                       "разделов по возрастанию номеров и раздел 22 только вместе с ними, "
                                       "последним, а в паспорте записано: %1.")
                            .arg(values.join(QStringLiteral(", "))));
        return;
    }
    passport.subjectSlots = canonical;
}

void checkPeople(const QList<RawPerson> &people, PassportSnapshot &passport, QStringList &problems)
{
    static const QRegularExpression idShape(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{3}-[0-9]{3}-[0-9]{3}")));
    QSet<QString> seen, reported;
    int leaders = 0;
    for (const RawPerson &person : people) {
        const QString &id = person.record.Id;
        if (!idShape.match(id).hasMatch()) {
            problems.append(
                QStringLiteral("ID участника %1 записан неверно: ID имеет вид XXX-XXX-XXX из цифр.").arg(quoted(id)));
        } else if (!participants::isWellFormedParticipantId(id)) {
            problems.append(QStringLiteral("ID участника %1 вне допустимых номеров: от 100-000-001 до 999-999-998.")
                                .arg(quoted(id)));
        } else if (participants::formatCheckedParticipantId(id) != id) {
            problems.append(QStringLiteral("У ID участника %1 неверные контрольные цифры.").arg(id));
        }
        if (seen.contains(id) && !reported.contains(id)) {
            problems.append(QStringLiteral("ID участника %1 записан в паспорте дважды.").arg(id));
            reported.insert(id);
        }
        seen.insert(id);

        if (person.leader) {
            if (!person.teacher) {
                problems.append(QStringLiteral("Получателем счета отмечен автор %1, а счет получает только "
                                               "руководитель.")
                                    .arg(id));
            } else if (*person.leader != QLatin1String("True")) {
                problems.append(QStringLiteral("Получатель счета отмечен неверно: у руководителя %1 стоит %2 "
                                               "вместо «True».")
                                    .arg(id, quoted(*person.leader)));
            } else {
                ++leaders;
                passport.leaderIndex = int(passport.teachers.size());
            }
        }
        (person.teacher ? passport.teachers : passport.authors).append(person.record);
    }
    if (passport.authors.size() > kMaxAuthors)
        problems.append(QStringLiteral("Авторов в паспорте: %1, а их может быть не больше %2.")
                            .arg(passport.authors.size())
                            .arg(kMaxAuthors));
    if (passport.teachers.size() > kMaxTeachers)
        problems.append(QStringLiteral("Руководителей в паспорте: %1, а их может быть не больше %2.")
                            .arg(passport.teachers.size())
                            .arg(kMaxTeachers));
    if (leaders > 1)
        problems.append(QStringLiteral("Получателями счета отмечены несколько руководителей, а получатель может "
                                       "быть только один."));
}

// How often the scan marker FF DA stands in the bytes. (QByteArray::count
// does the same several times slower; this runs on every picture read.)
qsizetype scanMarkers(const QByteArray &jpeg)
{
    qsizetype count = 0;
    const char *at = jpeg.constData();
    const char *const end = at + jpeg.size();
    while (at < end) {
        const auto *mark = static_cast<const char *>(std::memchr(at, 0xff, size_t(end - at)));
        if (!mark || mark + 1 >= end)
            break;
        if (uchar(mark[1]) == 0xda) {
            ++count;
            at = mark + 2;
        } else {
            at = mark + 1;
        }
    }
    return count;
}

// The picture as the window shows it, decoded with the program's own
// decoder (or, without decode, read through just as far); at most 300 x 300
// and complete.
void checkPicture(const QByteArray &jpeg, bool decode, PassportSnapshot &passport, QStringList &problems)
{
    // Each scan of a progressive picture is decoded over the whole picture;
    // a file of thousands of tiny scans would keep the decoder busy for
    // minutes. Every scan starts with the marker FF DA, which the coded data
    // never hold, so counting the pair bounds the scans.
    if (scanMarkers(jpeg) > kMaxPictureScans) {
        problems.append(QStringLiteral("Рисунок image.jpg в пакете устроен слишком сложно: в нем больше %1 "
                                       "проходов кодирования.")
                            .arg(kMaxPictureScans));
        return;
    }
    try {
        picture::JpegReader reader(jpeg);
        const QSize size = reader.size();
        if (size.isEmpty()) {
            problems.append(QStringLiteral("Рисунок image.jpg в пакете не является рисунком JPEG."));
            return;
        }
        if (size.width() > kPictureFrame || size.height() > kPictureFrame) {
            problems.append(QStringLiteral("Рисунок image.jpg имеет размер %1 × %2 точек, а допускается не "
                                           "больше %3 × %3.")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(kPictureFrame));
            return;
        }
        QImage image;
        if (decode)
            image = reader.decodeReduced(size);
        else
            reader.verify();
        // The decoder fills in what is missing; a picture that is cut short
        // lacks the end marker FF D9 that closes every complete one.
        if (reader.rowsDecoded() < reader.storedSize().height() || !jpeg.endsWith("\xff\xd9")) {
            problems.append(QStringLiteral("Рисунок image.jpg в пакете поврежден: его данные обрываются."));
            return;
        }
        passport.hasPicture = true;
        passport.picture = std::move(image);
    } catch (const Failure &) {
        problems.append(QStringLiteral("Рисунок image.jpg в пакете не является рисунком JPEG."));
    }
}

// The problem of a file larger than any package may be.
QString tooLargeForPackage(qint64 size)
{
    return QStringLiteral("Файл слишком большой для пакета паспорта: %1 байт, а допускается не больше %2.")
        .arg(size)
        .arg(kMaxPackageSize);
}

} // namespace

ReadResult readPackageBytes(const QByteArray &zip, const ReadOptions &options)
{
    ReadResult result;
    if (zip.size() > kMaxPackageSize) {
        result.problems.append(tooLargeForPackage(zip.size()));
        return result;
    }
    ZipReadResult archive = readZipEntries(zip, std::max(kMaxDocumentSize, kMaxPictureFileSize), kMaxPackageEntries);
    if (!archive.problems.isEmpty()) {
        result.problems = archive.problems;
        return result;
    }

    const ZipEntry *document = nullptr;
    const ZipEntry *jpeg = nullptr;
    for (const ZipEntry &entry : archive.entries) {
        if (entry.name == kDocumentName)
            document = &entry;
        else if (entry.name == kPictureName)
            jpeg = &entry;
        else
            result.problems.append(QStringLiteral("В пакете есть посторонний файл %1; в пакете паспорта бывают "
                                                  "только data.xml и image.jpg.")
                                       .arg(quoted(entry.name)));
    }
    if (!result.problems.isEmpty())
        return result;
    if (!document) {
        result.problems.append(QStringLiteral("В пакете нет файла data.xml с данными паспорта."));
        return result;
    }
    if (jpeg && jpeg->data.size() > kMaxPictureFileSize) {
        result.problems.append(QStringLiteral("Рисунок image.jpg слишком большой: %1 байт, а допускается не "
                                              "больше %2.")
                                   .arg(jpeg->data.size())
                                   .arg(kMaxPictureFileSize));
        return result;
    }

    RawDocument raw;
    DocumentParser parser(protectLineBreaks(document->data));
    if (const std::optional<QString> problem = parser.parse(raw)) {
        result.problems.append(*problem);
        return result;
    }

    PackageContents contents;
    PassportSnapshot &p = contents.passport;
    QStringList &problems = result.problems;
    p.subjectNames = core::defaultSubjectNames();
    p.seasonId = kSeasonId;
    p.seasonName = kSeasonName;
    if (raw.seasonId != QString::number(kSeasonId))
        problems.append(QStringLiteral("Паспорт составлен для другого сезона фестиваля (номер сезона %1); "
                                       "открываются паспорта сезона %2, %3.")
                            .arg(quoted(raw.seasonId))
                            .arg(kSeasonId)
                            .arg(kSeasonName));
    if (digitsOnly().match(raw.datetime).hasMatch())
        contents.savedAt = raw.datetime.toLongLong();
    else
        problems.append(QStringLiteral("Время сохранения паспорта записано неверно: %1.").arg(quoted(raw.datetime)));

    p.title = raw.title;
    p.description = raw.description;
    p.manual = raw.manual;
    p.techRequest = raw.techRequest;
    p.postIndex = raw.postIndex;
    p.postAddress = raw.postAddress;
    p.phone = raw.phone;
    p.email = raw.email;
    p.notes = raw.notes;
    checkSubjects(raw.subjects, p, problems);
    checkPeople(raw.people, p, problems);

    if (jpeg) {
        checkPicture(jpeg->data, options.decodePicture, p, problems);
        contents.pictureJpeg = jpeg->data;
        p.pictureCaption = raw.caption.value_or(QString());
    } else if (raw.caption && !raw.caption->isEmpty()) {
        problems.append(QStringLiteral("В паспорте есть подпись к рисунку, а самого рисунка image.jpg в пакете нет."));
    }

    if (problems.isEmpty())
        result.contents = std::move(contents);
    return result;
}

ReadResult readPackage(const QString &path, const ReadOptions &options)
{
    ReadResult result;
    const QFileInfo info(path);
    // Only a plain file is opened: a pipe or a device could block or never
    // end.
    if (!info.exists()) {
        result.problems.append(QStringLiteral("Файл %1 не найден.").arg(quoted(path)));
        return result;
    }
    if (!info.isFile()) {
        result.problems.append(QStringLiteral("%1 не является файлом.").arg(quoted(path)));
        return result;
    }
    if (info.size() > kMaxPackageSize) {
        result.problems.append(tooLargeForPackage(info.size()));
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problems.append(QStringLiteral("Файл %1 не открывается: %2.").arg(quoted(path), file.errorString()));
        return result;
    }
    // Read at most one byte beyond the limit, in case the file has grown.
    const QByteArray bytes = file.read(kMaxPackageSize + 1);
    if (file.error() != QFileDevice::NoError) {
        result.problems.append(QStringLiteral("Файл %1 не читается: %2.").arg(quoted(path), file.errorString()));
        return result;
    }
    return readPackageBytes(bytes, options);
}

} // namespace save
