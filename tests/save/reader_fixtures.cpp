// Shared fixtures of the package reader's tests: passports, documents,
// pictures and hand-made archives.

#include "reader_fixtures.h"

#include "participants/participant_id.h"
#include "picture/jpeg_codec.h"

#include <cstdlib>
#include <zip.h>

#include <jpeglib.h>

namespace rf {

// A participant ID with correct check digits, from its first seven digits.
QString validId(const QString &seven)
{
    const QString digits = seven + participants::participantIdCheckDigits(seven);
    return digits.left(3) + '-' + digits.mid(3, 3) + '-' + digits.mid(6);
}

TPersonRecord person(const QString &seven, const QString &surname, const QString &name, const QString &patronymic)
{
    return {validId(seven), surname, name, patronymic};
}

QImage testPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 90));
    return image;
}

PassportSnapshot emptyPassport()
{
    PassportSnapshot p;
    p.subjectNames = core::defaultSubjectNames();
    p.seasonId = kSeasonId;
    p.seasonName = kSeasonName;
    return p;
}

// Every field filled: ten authors, three supervisors of whom the third
// receives the invoice, four sections, a picture with its caption.
PassportSnapshot fullPassport()
{
    PassportSnapshot p = emptyPassport();
    p.title = QStringLiteral("Весна и лето");
    p.description = QStringLiteral("Стихи\r\nо весне");
    p.techRequest = QStringLiteral("Windows XP");
    p.manual = QStringLiteral("Открыть\r\nи читать");
    p.postIndex = QStringLiteral("123456");
    p.postAddress = QStringLiteral("г. Москва, ул. Ленина, д. 1");
    p.phone = QStringLiteral("+7 (495) 123-45-67");
    p.email = QStringLiteral("school@example.ru");
    p.notes = QStringLiteral("Примечание для оргкомитета");
    p.subjectSlots = {2, 11, 18, 22};
    for (int i = 0; i < kMaxAuthors; ++i)
        p.authors.append(person(QStringLiteral("10120%1").arg(i + 10), QStringLiteral("Петров%1").arg(i),
                                QStringLiteral("Пётр"), QStringLiteral("Петрович")));
    p.teachers = {person("1112223", "Сидорова", "Анна", "Ивановна"), person("4445556", "Кузнецов", "Иван", ""),
                  person("7778889", "Иванова", "Мария", "Петровна")};
    p.leaderIndex = 2;
    p.hasPicture = true;
    p.picture = testPicture(300, 225);
    p.pictureCaption = QStringLiteral("Рисунок к работе");
    return p;
}

PassportSnapshot passportFor(const QString &kind)
{
    PassportSnapshot p = fullPassport();
    if (kind == "every field") {
    } else if (kind == "markup and quotes") {
        p.title = QStringLiteral("<b>\"Весна\" & 'лето'</b> &amp; &#38; ]]>");
        p.pictureCaption = QStringLiteral("<img src=x> & \"подпись\"");
        p.teachers[0].Surname = QStringLiteral("O'Brien \"<&>\"");
        p.notes = QStringLiteral("<!-- не комментарий --><?pi?>");
    } else if (kind == "astral characters") {
        p.title = QStringLiteral("Музыка 𝄞 и смех 😀");
        p.description = QStringLiteral("😀😀😀\r\n𝄞");
        p.authors[0].Name = QStringLiteral("Лев 🦁");
    } else if (kind == "line breaks and tabs") {
        p.description = QStringLiteral("\r\nначало с переноса\r\n\r\n\tотступ\r\nконец\r\n");
        p.manual = QStringLiteral("\r\n\r\nшаг 1\r\n\tшаг 2\rодин CR\nодин LF\r\r\n ");
        p.pictureCaption = QStringLiteral("  подпись с пробелами  ");
        p.notes = QStringLiteral("первая\r\nвторая");
    } else if (kind == "description of exactly 500") {
        p.description = QString(498, QChar(0x0416)) + QStringLiteral("\r\n");
    } else if (kind == "description over 500") {
        p.description = QString(600, QLatin1Char('a'));
    } else if (kind == "description cut in a line break") {
        p.description = QString(499, QLatin1Char('a')) + QStringLiteral("\r\nb");
    } else if (kind == "description cut in a pair") {
        p.description = QString(499, QLatin1Char('a')) + QStringLiteral("😀b");
    } else if (kind == "nothing filled") {
        p = emptyPassport();
    } else if (kind == "blanks only") {
        p.title = QStringLiteral("   ");
        p.notes = QStringLiteral("\r\n");
        p.teachers[1].Patronymic = QStringLiteral(" \t ");
        p.pictureCaption = QStringLiteral(" ");
    } else if (kind == "no picture, no leader") {
        p.hasPicture = false;
        p.picture = QImage();
        p.pictureCaption.clear();
        p.leaderIndex = -1;
        p.subjectSlots = {22 - 1, 0, 0, 0};
    } else {
        qFatal("unknown kind %s", qPrintable(kind));
    }
    return p;
}

// The passport as the document carries it: trimmed where the writer trims,
// the description as published.
PassportSnapshot asStored(PassportSnapshot p)
{
    for (QString *t : {&p.title, &p.techRequest, &p.postIndex, &p.postAddress, &p.phone, &p.email, &p.notes})
        *t = core::trimControls(*t);
    for (auto *list : {&p.authors, &p.teachers})
        for (TPersonRecord &r : *list)
            for (QString *t : {&r.Surname, &r.Name, &r.Patronymic})
                *t = core::trimControls(*t);
    p.description = core::publishedDescription(p.description);
    return p;
}

// ---- Hand-made archives ----

// A ZIP archive built entry by entry with libzip, with what a package never
// holds: folders, links, compressed entries.
QByteArray makeZip(const QList<ZipItem> &items)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    zip_source_keep(target);
    for (const ZipItem &item : items) {
        const QByteArray name = item.name.toUtf8();
        zip_int64_t index;
        if (item.folder) {
            index = zip_dir_add(archive, name.constData(), ZIP_FL_ENC_UTF_8);
        } else {
            zip_source_t *piece = zip_source_buffer(archive, item.data.constData(), item.data.size(), 0);
            index = zip_file_add(archive, name.constData(), piece, ZIP_FL_ENC_UTF_8);
            zip_set_file_compression(archive, index, item.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        }
        if (index < 0)
            qFatal("libzip refused %s", name.constData());
        if (item.unixMode)
            zip_file_set_external_attributes(archive, index, 0, ZIP_OPSYS_UNIX, *item.unixMode << 16);
    }
    if (zip_close(archive) != 0)
        qFatal("libzip could not close the archive");
    zip_source_open(target);
    zip_source_seek(target, 0, SEEK_END);
    QByteArray bytes(zip_source_tell(target), Qt::Uninitialized);
    zip_source_seek(target, 0, SEEK_SET);
    zip_source_read(target, bytes.data(), bytes.size());
    zip_source_close(target);
    zip_source_free(target);
    zip_error_fini(&error);
    return bytes;
}

void putLe32(QByteArray &bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xff);
}

// Every local and central header of the archive: (offset, is central).
QList<std::pair<qsizetype, bool>> headers(const QByteArray &zip)
{
    QList<std::pair<qsizetype, bool>> found;
    for (qsizetype at = zip.indexOf("PK\x03\x04"); at >= 0; at = zip.indexOf("PK\x03\x04", at + 4))
        found.append({at, false});
    for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0; at = zip.indexOf("PK\x01\x02", at + 4))
        found.append({at, true});
    return found;
}

// Sets the uncompressed size of every entry, in local and central headers
// alike, so that the archive stays consistent.
QByteArray withDeclaredSize(QByteArray zip, quint32 size)
{
    for (auto [at, central] : headers(zip))
        putLe32(zip, at + (central ? 24 : 22), size);
    return zip;
}

// Marks every entry as encrypted, in local and central headers alike.
QByteArray withEncryptionFlag(QByteArray zip)
{
    for (auto [at, central] : headers(zip))
        zip[at + (central ? 8 : 6)] = char(zip[at + (central ? 8 : 6)] | 1);
    return zip;
}

QByteArray document(const PassportSnapshot &p) { return save::buildDataDocument(p, kTime); }

QByteArray jpegOf(int width, int height) { return picture::encodeJpeg(testPicture(width, height)); }

// Where the coded data of the first scan begin: after the scan header.
qsizetype scanData(const QByteArray &jpeg)
{
    const qsizetype sos = jpeg.indexOf("\xff\xda");
    return sos + 2 + ((uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]));
}

// Three pictures that djpeg reports as "Corrupt JPEG data": a progressive
// one cut short after half its data (the end marker put back), a baseline
// one with sixteen of its coded bytes inverted, and one with a restart
// marker in its data although it declares no restart interval.
QByteArray progressiveCutShort()
{
    const QByteArray jpeg = jpegWith(testPicture(300, 225), false, true);
    return jpeg.left(jpeg.size() / 2) + "\xff\xd9";
}

QByteArray flippedScanBytes()
{
    QByteArray jpeg = jpegOf(300, 225);
    const qsizetype at = scanData(jpeg) + (jpeg.size() - scanData(jpeg)) / 3;
    for (qsizetype i = at; i < at + 16; ++i)
        if (uchar(jpeg[i]) != 0xff && uchar(jpeg[i]) != 0x00)
            jpeg[i] = char(jpeg[i] ^ 0xff);
    return jpeg;
}

QByteArray strayRestartMarker()
{
    QByteArray jpeg = jpegOf(300, 225);
    qsizetype at = scanData(jpeg) + (jpeg.size() - scanData(jpeg)) / 2;
    // Not inside a stuffed FF 00 pair.
    while (uchar(jpeg[at - 1]) == 0xff || uchar(jpeg[at]) == 0x00)
        ++at;
    jpeg.insert(at, "\xff\xd3");
    return jpeg;
}

QList<PictureCase> pictureRefusals()
{
    const QByteArray jpeg = jpegOf(300, 225);
    QByteArray manyScans = jpeg;
    // A comment segment that holds the scan marker 101 times.
    const QByteArray markers = QByteArray("\xff\xda").repeated(101);
    const int length = int(markers.size()) + 2;
    manyScans.insert(2, QByteArray("\xff\xfe") + char(length >> 8) + char(length & 0xff) + markers);
    return {
        {"picture not a JPEG", QByteArray("GIF89a...."), "Рисунок image.jpg в пакете не является рисунком JPEG."},
        {"picture too wide", jpegOf(301, 10),
         "Рисунок image.jpg имеет размер 301 × 10 точек, а допускается не больше 300 × 300."},
        {"picture too high", jpegOf(10, 4000), "10 × 4000"},
        {"picture of too many scans", manyScans, "устроен слишком сложно: в нем больше 100 проходов"},
        {"picture cut short", jpeg.left(jpeg.size() / 2),
         "Рисунок image.jpg в пакете: картинка повреждена, ее данные обрываются."},
        {"progressive picture cut short", progressiveCutShort(), "картинка повреждена"},
        {"baseline picture with flipped scan bytes", flippedScanBytes(), "картинка повреждена"},
        {"picture with a stray RST marker", strayRestartMarker(), "картинка повреждена"},
    };
}

// A picture encoded with libjpeg directly: greyscale or colour (4:4:4 when
// not reduced), baseline or progressive.
QByteArray jpegWith(const QImage &image, bool grey, bool progressive)
{
    const QImage pixels = image.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    jpeg_compress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&codec, &buffer, &size);
    codec.image_width = JDIMENSION(pixels.width());
    codec.image_height = JDIMENSION(pixels.height());
    codec.input_components = grey ? 1 : 3;
    codec.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&codec);
    if (!grey)
        for (int i = 0; i < 3; ++i)
            codec.comp_info[i].h_samp_factor = codec.comp_info[i].v_samp_factor = 1;
    if (progressive)
        jpeg_simple_progression(&codec);
    jpeg_start_compress(&codec, TRUE);
    while (codec.next_scanline < codec.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.constScanLine(int(codec.next_scanline)));
        jpeg_write_scanlines(&codec, &row, 1);
    }
    jpeg_finish_compress(&codec);
    jpeg_destroy_compress(&codec);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    free(buffer);
    return bytes;
}

// A package of the program's format, made in memory.
QByteArray package(const QByteArray &data, const QByteArray &jpeg)
{
    QList<std::pair<QString, QByteArray>> entries{{"data.xml", data}};
    if (!jpeg.isEmpty())
        entries.append({"image.jpg", jpeg});
    return save::zipStored(entries).value();
}

// The full passport's document with one piece replaced.
QByteArray edited(const QByteArray &before, const QByteArray &after)
{
    QByteArray doc = document(fullPassport());
    if (!doc.contains(before))
        qFatal("the document has no %s", before.constData());
    return doc.replace(before, after);
}

QStringList texts(const save::ReadResult &read) { return save::readProblemTexts(read.problems); }

QString refusalMismatch(const save::ReadResult &read, const QStringList &problems)
{
    if (read.contents)
        return QStringLiteral("the package was accepted");
    const QStringList sentences = texts(read);
    if (sentences.size() != problems.size())
        return QStringLiteral("%1 problems instead of %2: %3")
            .arg(sentences.size())
            .arg(problems.size())
            .arg(sentences.join(QStringLiteral(" | ")));
    for (int i = 0; i < problems.size(); ++i)
        if (!sentences[i].contains(problems[i]))
            return QStringLiteral("problem %1 does not say «%2»: %3").arg(i + 1).arg(problems[i], sentences[i]);
    return QString();
}

} // namespace rf
