// Reading packages back: packages made by the program's own save path come
// back field for field and byte for byte; everything a package never holds,
// and everything that could harm the reader, is refused with a message that
// names it.

#include "core/files.h"
#include "participants/participant_id.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/package.h"
#include "save/package_reader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <zip.h>

#include <jpeglib.h>

namespace {

constexpr qint64 kTime = 1233446400;

// A participant ID with correct check digits, from its first seven digits.
QString validId(const QString &seven)
{
    const QString digits = seven + participants::ParticipantIdCheckDigits(seven);
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

struct ZipItem {
    ZipItem(const QString &name, const QByteArray &data, bool deflate = false,
            std::optional<quint32> unixMode = std::nullopt, bool folder = false)
        : name(name), data(data), deflate(deflate), unixMode(unixMode), folder(folder)
    {}
    QString name;
    QByteArray data;
    bool deflate;
    std::optional<quint32> unixMode;
    bool folder;
};

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

QByteArray document(const PassportSnapshot &p) { return save::BuildDataDocument(p, kTime); }

QByteArray jpegOf(int width, int height) { return picture::encodeJpeg(testPicture(width, height)); }

// The picture refusals, each with (part of) its message.
struct PictureCase {
    const char *name;
    QByteArray jpeg;
    QString problem;
};

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
         "Рисунок image.jpg в пакете поврежден: его данные обрываются."},
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
QByteArray package(const QByteArray &data, const QByteArray &jpeg = QByteArray())
{
    QList<std::pair<QString, QByteArray>> entries{{"data.xml", data}};
    if (!jpeg.isEmpty())
        entries.append({"image.jpg", jpeg});
    return save::zipStored(entries);
}

// The full passport's document with one piece replaced.
QByteArray edited(const QByteArray &before, const QByteArray &after)
{
    QByteArray doc = document(fullPassport());
    if (!doc.contains(before))
        qFatal("the document has no %s", before.constData());
    return doc.replace(before, after);
}

} // namespace

class TestPackageReader : public QObject {
    Q_OBJECT

    QString archiver;

private slots:
    void initTestCase() { archiver = QStandardPaths::findExecutable("7za"); }

    // Packages written by the save path (working folder, data document,
    // exported picture, the real archiver) come back with every field, and
    // writing the restored passport again gives the same bytes.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind :
             {"every field", "markup and quotes", "astral characters", "line breaks and tabs",
              "description of exactly 500", "description over 500", "description cut in a line break",
              "description cut in a pair", "nothing filled", "blanks only", "no picture, no leader"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void roundTrip()
    {
        QFETCH(QString, kind);
        if (archiver.isEmpty())
            QSKIP("7za is not installed");
        const PassportSnapshot original = passportFor(kind);
        QTemporaryDir temp;
        const QString folder = save::createWorkingFolder(temp.path() + '/', kTime);
        QVERIFY(!folder.isEmpty());
        const QByteArray data = save::BuildDataDocument(original, kTime);
        save::WriteDataDocument(folder + "data.xml", data);
        QByteArray jpeg;
        if (original.hasPicture) {
            jpeg = picture::encodeJpeg(original.picture);
            core::writeFileReplacing(folder + "image.jpg", jpeg);
        }
        const QString packagePath = temp.filePath("work.kwp");
        QVERIFY(save::writePackage(archiver, packagePath, folder));

        const save::ReadResult read = save::readPackage(packagePath);
        QCOMPARE(read.problems, QStringList());
        QVERIFY(read.contents);
        const save::PackageContents &contents = *read.contents;
        QCOMPARE(contents.savedAt, kTime);
        QCOMPARE(save::BuildDataDocument(contents.passport, contents.savedAt), data);
        QCOMPARE(contents.pictureJpeg, jpeg);

        PassportSnapshot expected = asStored(original);
        if (original.hasPicture) {
            // The picture comes back as the stored JPEG decodes.
            QCOMPARE(contents.passport.picture.size(), original.picture.size());
            QCOMPARE(contents.passport.picture.format(), QImage::Format_RGB32);
            expected.picture = picture::JpegReader(jpeg).decodeReduced(original.picture.size());
        }
        QCOMPARE(contents.passport.title, expected.title);
        QCOMPARE(contents.passport.description, expected.description);
        QCOMPARE(contents.passport.manual, expected.manual);
        QCOMPARE(contents.passport.authors, expected.authors);
        QCOMPARE(contents.passport.teachers, expected.teachers);
        QVERIFY(contents.passport == expected);
    }

    // What the document stores of a long description is what opening gives:
    // its published 500 characters. Saving again changes nothing more.
    void longDescriptionRestoresWhatIsStored()
    {
        PassportSnapshot p = emptyPassport();
        p.description = QString(450, QLatin1Char('x')) + QStringLiteral("\r\n") + QString(200, QLatin1Char('y'));
        const save::ReadResult read = save::readPackageBytes(package(document(p)));
        QVERIFY(read.contents);
        QCOMPARE(read.contents->passport.description.size(), 500);
        QCOMPARE(read.contents->passport.description, core::publishedDescription(p.description));
    }

    void hostileArchives_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<QString>("problem");
        const QByteArray doc = document(fullPassport());
        const QByteArray jpeg = jpegOf(300, 225);
        const QByteArray good = package(doc, jpeg);

        QTest::newRow("not a ZIP") << QByteArray("just some text\n") << "это не ZIP-архив";
        QTest::newRow("empty file") << QByteArray() << "это не ZIP-архив";
        QTest::newRow("cut in half") << good.left(good.size() / 2) << "это не ZIP-архив";
        QTest::newRow("no data.xml") << save::zipStored({{"image.jpg", jpeg}}) << "нет файла data.xml";
        QTest::newRow("empty archive") << QByteArray("PK\x05\x06").append(18, '\0') << "нет файла data.xml";
        QTest::newRow("another file") << makeZip({{"data.xml", doc}, {"run.exe", "MZ"}})
                                      << "посторонний файл «run.exe»";
        QTest::newRow("a file in a folder")
            << makeZip({{"data.xml", doc}, {"sub/image.jpg", jpeg}}) << "посторонний файл «sub/image.jpg»";
        QTest::newRow("dot dot") << makeZip({{"../data.xml", doc}}) << "недопустимым именем «../data.xml»";
        QTest::newRow("dot dot inside") << makeZip({{"a/../../data.xml", doc}}) << "недопустимым именем";
        QTest::newRow("absolute") << makeZip({{"/etc/data.xml", doc}}) << "недопустимым именем «/etc/data.xml»";
        QTest::newRow("backslash") << makeZip({{"..\\data.xml", doc}}) << "недопустимым именем";
        QTest::newRow("drive letter") << makeZip({{"C:data.xml", doc}}) << "недопустимым именем";
        QTest::newRow("folder") << makeZip({{"data.xml", doc}, {"pics", {}, false, {}, true}}) << "папка «pics/»";
        QTest::newRow("link") << makeZip({{"data.xml", doc}, {"image.jpg", "/etc/passwd", false, 0120777}})
                              << "ссылка «image.jpg»";
        QTest::newRow("device") << makeZip({{"data.xml", doc, false, 020666}}) << "не обычный файл";
        // libzip itself refuses an archive with a name twice in its
        // directory.
        QTest::newRow("duplicate") << makeZip({{"data.xml", doc}, {"dada.xml", doc}}).replace("dada.xml", "data.xml")
                                   << "Пакет поврежден";
        QTest::newRow("encrypted") << withEncryptionFlag(package(doc)) << "зашифрован";
        QList<ZipItem> many;
        for (int i = 0; i < 17; ++i)
            many.append({QStringLiteral("f%1").arg(i), "x"});
        QTest::newRow("too many entries") << makeZip(many) << "слишком много файлов: 17";
        // 20 MB of zeros deflate to a few kilobytes.
        QTest::newRow("bomb by declared size")
            << makeZip({{"data.xml", QByteArray(20 * 1024 * 1024, '\0'), true}}) << "слишком большой";
        QTest::newRow("bomb by real size")
            << withDeclaredSize(makeZip({{"data.xml", QByteArray(4 * 1024 * 1024, '<'), true}}), 1000) << "«data.xml»";
        QByteArray badCrc = package(doc);
        badCrc[badCrc.indexOf("<work>") + 1] = 'W';
        QTest::newRow("wrong CRC") << badCrc << "контрольная сумма";
        QTest::newRow("picture too large a file")
            << makeZip({{"data.xml", doc}, {"image.jpg", QByteArray(3 * 1024 * 1024, '\xff'), true}})
            << "Рисунок image.jpg слишком большой: 3145728 байт, а допускается не больше 2097152.";
        QTest::newRow("bomb in many entries") << makeZip({{"a", QByteArray(15 * 1024 * 1024, '\0'), true},
                                                          {"b", QByteArray(15 * 1024 * 1024, '\0'), true},
                                                          {"c", QByteArray(15 * 1024 * 1024, '\0'), true}})
                                              << "Файлы в пакете вместе слишком большие: больше 33554432 байт.";
    }
    void hostileArchives()
    {
        QFETCH(QByteArray, zip);
        QFETCH(QString, problem);
        QElapsedTimer timer;
        timer.start();
        const save::ReadResult read = save::readPackageBytes(zip);
        QVERIFY2(!read.contents, qPrintable(problem));
        QCOMPARE(read.problems.size(), 1);
        QVERIFY2(read.problems[0].contains(problem), qPrintable(read.problems[0]));
        QVERIFY(read.problems[0].endsWith('.'));
    }

    void hostileDocuments_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QStringList>("problems");
        const QByteArray jpeg = jpegOf(300, 225);
        const PassportSnapshot full = fullPassport();
        const QByteArray doc = document(full);
        const QByteArray firstAuthor = full.authors[0].Id.toUtf8();
        const QByteArray teacher = full.teachers[0].Id.toUtf8();

        QTest::newRow("malformed") << doc.left(doc.size() / 2) << jpeg
                                   << QStringList{"Файл data.xml поврежден: в нем нарушены правила записи XML."};
        QTest::newRow("not UTF-8") << QByteArray(doc).replace("<title>", "<title>\xff") << jpeg
                                   << QStringList{"Файл data.xml поврежден: в нем нарушены правила записи XML."};
        QByteArray laughs = "<?xml version=\"1.0\"?>\r\r\n<!DOCTYPE work [<!ENTITY a \"aaaaaaaaaa\">"
                            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>";
        laughs += doc.mid(doc.indexOf("<work>")).replace("<title>", "<title>&c;");
        QTest::newRow("entity expansion")
            << laughs << jpeg
            << QStringList{"Файл data.xml содержит объявление типа документа (DTD); такие файлы не открываются, "
                           "чтобы не раскрывать в них сущности."};
        QTest::newRow("external entity") << edited("<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                                                   "<?xml version=\"1.0\"?><!DOCTYPE work SYSTEM \"/etc/passwd\">")
                                         << jpeg << QStringList{"(DTD)"};
        QTest::newRow("undeclared entity")
            << edited("<title>", "<title>&nbsp;") << jpeg << QStringList{"нарушены правила записи XML"};
        QTest::newRow("another root") << edited("work>", "passport>") << jpeg
                                      << QStringList{"на месте поля «work» стоит элемент «passport»"};
        QTest::newRow("unknown element") << edited("<manual>", "<extra></extra><manual>") << jpeg
                                         << QStringList{"на месте поля «manual» стоит элемент «extra»"};
        QTest::newRow("missing element") << edited("<sz_id>4</sz_id>", "") << jpeg
                                         << QStringList{"на месте поля «sz_id» стоит элемент «datetime»"};
        QTest::newRow("child in a text") << edited("<title>", "<title><b>x</b>") << jpeg
                                         << QStringList{"в поле «title» вложены элементы"};
        QTest::newRow("attribute on a text")
            << edited("<title>", "<title lang=\"ru\">") << jpeg << QStringList{"у элемента «title» есть атрибуты"};
        QTest::newRow("namespace") << edited("<work>", "<work xmlns=\"urn:x\">") << jpeg
                                   << QStringList{"пространству имен"};
        QTest::newRow("text between elements")
            << edited("<manual>", "слово<manual>") << jpeg << QStringList{"текст вне полей паспорта"};
        QTest::newRow("author after teacher")
            << edited("</people>", "<author p_id_full=\"" + firstAuthor
                                       + "\" surname=\"\" name=\"\" patronymic=\"\"></author></people>")
            << jpeg << QStringList{"автор записан после руководителей"};
        QTest::newRow("unknown attribute")
            << edited(" surname=", " role=\"x\" surname=") << jpeg << QStringList{"неизвестный атрибут «role»"};
        QTest::newRow("missing attribute")
            << edited(" patronymic=\"Петрович\"", "") << jpeg << QStringList{"нет атрибута «patronymic»"};
        QTest::newRow("something after the root")
            << edited("</work>", "</work><work></work>") << jpeg << QStringList{"нарушены правила записи XML"};
        QTest::newRow("another encoding") << edited("encoding=\"UTF-8\"", "encoding=\"windows-1251\"") << jpeg
                                          << QStringList{"он записан в кодировке windows-1251, а не в UTF-8"};

        // Content problems are all collected.
        QTest::newRow("another season") << edited("<sz_id>4</sz_id>", "<sz_id>5</sz_id>") << jpeg
                                        << QStringList{"другого сезона фестиваля (номер сезона «5»)"};
        QTest::newRow("time stamp") << edited("<datetime>1233446400", "<datetime>-1233446400") << jpeg
                                    << QStringList{"Время сохранения паспорта записано неверно: «-1233446400»."};
        QByteArray wrongDigits = firstAuthor;
        wrongDigits[10] = wrongDigits[10] == '0' ? '1' : '0';
        QTest::newRow("wrong check digits")
            << edited(firstAuthor, wrongDigits) << jpeg
            << QStringList{"У ID участника " + QString::fromUtf8(wrongDigits) + " неверные контрольные цифры."};
        QTest::newRow("ID shape") << edited(firstAuthor, "123456789") << jpeg
                                  << QStringList{"ID участника «123456789» записан неверно"};
        QTest::newRow("ID twice") << edited(firstAuthor, teacher) << jpeg
                                  << QStringList{"ID участника " + QString::fromUtf8(teacher)
                                                 + " записан в паспорте дважды."};
        const QByteArray extraAuthor = "<author p_id_full=\"" + validId("9990001").toUtf8()
                                       + "\" surname=\"\" name=\"\" patronymic=\"\"></author>";
        QTest::newRow("eleven authors") << edited("<people>", "<people>" + extraAuthor) << jpeg
                                        << QStringList{"Авторов в паспорте: 11, а их может быть не больше 10."};
        const QByteArray extraTeacher = "<teacher p_id_full=\"" + validId("9990002").toUtf8()
                                        + "\" surname=\"\" name=\"\" patronymic=\"\"></teacher>";
        QTest::newRow("four supervisors") << edited("</people>", extraTeacher + "</people>") << jpeg
                                          << QStringList{"Руководителей в паспорте: 4, а их может быть не больше 3."};
        QTest::newRow("author as recipient")
            << edited("surname=\"Петров0\" name=\"Пётр\" patronymic=\"Петрович\"",
                      "surname=\"Петров0\" name=\"Пётр\" patronymic=\"Петрович\" is_leader=\"True\"")
            << jpeg << QStringList{"Получателем счета отмечен автор " + QString::fromUtf8(firstAuthor)};
        QTest::newRow("recipient not True")
            << edited("is_leader=\"True\"", "is_leader=\"true\"") << jpeg << QStringList{"стоит «true» вместо «True»"};
        QTest::newRow("two recipients") << edited("patronymic=\"Ивановна\"",
                                                  "patronymic=\"Ивановна\" is_leader=\"True\"")
                                        << jpeg << QStringList{"отмечены несколько руководителей"};
        QTest::newRow("section 23") << edited("<subject>22</subject>", "<subject>23</subject>") << jpeg
                                    << QStringList{"Номер раздела «23» неверен"};
        QTest::newRow("section 0") << edited("<subject>2</subject>", "<subject>0</subject>") << jpeg
                                   << QStringList{"Номер раздела «0» неверен"};
        QTest::newRow("sections out of order")
            << edited("<subject>2</subject><subject>11</subject>", "<subject>11</subject><subject>2</subject>") << jpeg
            << QStringList{"выбраны не по правилам"};
        QTest::newRow("four main sections") << edited("<subject>22</subject>", "<subject>20</subject>") << jpeg
                                            << QStringList{"выбраны не по правилам"};
        QTest::newRow("supplementary alone")
            << edited("<subject>2</subject><subject>11</subject><subject>18</subject>", "") << jpeg
            << QStringList{"выбраны не по правилам"};
        QTest::newRow("section twice") << edited("<subject>11</subject>", "<subject>2</subject>") << jpeg
                                       << QStringList{"выбраны не по правилам"};
        for (const PictureCase &refusal : pictureRefusals())
            QTest::newRow(refusal.name) << doc << refusal.jpeg << QStringList{refusal.problem};
        QTest::newRow("caption without picture")
            << doc << QByteArray() << QStringList{"подпись к рисунку, а самого рисунка"};
        QTest::newRow("several at once")
            << edited("<sz_id>4</sz_id>", "<sz_id>3</sz_id>").replace(firstAuthor, wrongDigits) << QByteArray("xx")
            << QStringList{"номер сезона «3»", "неверные контрольные цифры", "не является рисунком JPEG"};
    }
    void hostileDocuments()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, jpeg);
        QFETCH(QStringList, problems);
        const save::ReadResult read = save::readPackageBytes(package(data, jpeg));
        QVERIFY(!read.contents);
        QCOMPARE(read.problems.size(), problems.size());
        for (int i = 0; i < problems.size(); ++i)
            QVERIFY2(read.problems[i].contains(problems[i]), qPrintable(read.problems[i]));
    }

    // Verifying the picture instead of decoding it (as the committee's
    // check does) accepts and refuses exactly the same pictures, with the
    // same sentences: sound ones of every kind, each refusal, files cut
    // short anywhere (with and without an end marker put back), damaged
    // data, sampling factors that the decoder cannot scale.
    void verifiedPictureAsDecoded_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        const QImage image = testPicture(300, 225);
        const QByteArray baseline = jpegOf(300, 225);
        const QByteArray progressive = jpegWith(image, false, true);
        QTest::newRow("sound 300 x 225") << baseline;
        QTest::newRow("sound 1 x 1") << jpegOf(1, 1);
        QTest::newRow("sound 4:4:4 baseline") << jpegWith(image, false, false);
        QTest::newRow("sound progressive") << progressive;
        QTest::newRow("sound grey progressive") << jpegWith(image, true, true);
        QTest::newRow("sound grey baseline 7 x 300") << jpegWith(testPicture(7, 300), true, false);
        for (const PictureCase &refusal : pictureRefusals())
            QTest::newRow(refusal.name) << refusal.jpeg;
        const QList<std::pair<const char *, QByteArray>> cut{
            {"baseline", baseline}, {"progressive", progressive}, {"narrow", jpegOf(16, 300)}};
        for (const auto &[kind, jpeg] : cut) {
            for (int twentieths = 1; twentieths < 20; ++twentieths) {
                const QByteArray head = jpeg.left(jpeg.size() * twentieths / 20);
                QTest::addRow("%s cut at %d/20", kind, twentieths) << head;
                QTest::addRow("%s cut at %d/20, end marker added", kind, twentieths) << head + "\xff\xd9";
            }
            for (qsizetype back = 2; back < 40; back += 3)
                QTest::addRow("%s without %d bytes before its end marker", kind, int(back))
                    << jpeg.left(jpeg.size() - back) + "\xff\xd9";
            for (int at = 1; at < 10; ++at) {
                QByteArray damaged = jpeg;
                damaged[damaged.size() * at / 10] = char(damaged[damaged.size() * at / 10] ^ 0x5a);
                QTest::addRow("%s damaged at %d/10", kind, at) << damaged;
                QByteArray marker = jpeg;
                marker.insert(marker.size() * at / 10, "\xff\xda");
                QTest::addRow("%s with a scan marker at %d/10", kind, at) << marker;
            }
        }
        // 4:2:0 turned into sampling factors 3 x 2 and 2 x 1: the decoder
        // cannot scale the second component up by one and a half.
        QByteArray fractional = baseline;
        const qsizetype frame = fractional.indexOf("\xff\xc0");
        QVERIFY(frame > 0);
        fractional[frame + 11] = char(0x32);
        fractional[frame + 14] = char(0x21);
        QTest::newRow("fractional sampling") << fractional;
    }
    void verifiedPictureAsDecoded()
    {
        QFETCH(QByteArray, jpeg);
        const QByteArray zip = package(document(fullPassport()), jpeg);
        const save::ReadResult decoded = save::readPackageBytes(zip);
        save::ReadOptions options;
        options.decodePicture = false;
        const save::ReadResult verified = save::readPackageBytes(zip, options);
        QCOMPARE(verified.problems, decoded.problems);
        QCOMPARE(verified.contents.has_value(), decoded.contents.has_value());
        if (decoded.contents) {
            QVERIFY(verified.contents->passport.hasPicture);
            QVERIFY(verified.contents->passport.picture.isNull());
            QCOMPARE(verified.contents->pictureJpeg, jpeg);
        }
    }

    // A package that the program never writes but that carries nothing
    // wrong: deflated entries, blanks between elements, a comment.
    void toleratedVariants()
    {
        const PassportSnapshot full = fullPassport();
        QByteArray doc = document(full);
        const save::ReadResult deflated =
            save::readPackageBytes(makeZip({{"image.jpg", jpegOf(300, 225), true}, {"data.xml", doc, true}}));
        QCOMPARE(deflated.problems, QStringList());
        QVERIFY(deflated.contents);
        QCOMPARE(save::BuildDataDocument(deflated.contents->passport, kTime), doc);

        doc.replace("<manual>", "\r\n  <!-- comment -->\t<manual>");
        const save::ReadResult spaced = save::readPackageBytes(package(doc, jpegOf(300, 225)));
        QCOMPARE(spaced.problems, QStringList());
        QCOMPARE(spaced.contents->passport.manual, full.manual);
    }

    // The file is looked at before it is opened: a pipe would block, a huge
    // file would fill the memory.
    void packageFiles()
    {
        QTemporaryDir temp;
        const QString missing = temp.filePath("missing.kwp");
        QVERIFY(save::readPackage(missing).problems.value(0).contains("не найден"));
        QVERIFY(save::readPackage(temp.path()).problems.value(0).contains("не является файлом"));

        const QString pipe = temp.filePath("pipe.kwp");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(save::readPackage(pipe).problems.value(0).contains("не является файлом"));

        const QString huge = temp.filePath("huge.kwp");
        {
            QFile file(huge);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(save::kMaxPackageSize + 1)); // sparse: no disk used
        }
        QVERIFY(save::readPackage(huge).problems.value(0).contains("слишком большой"));

        // Reading writes nothing, neither beside the package nor in the
        // temporary folder.
        const QString good = temp.filePath("good.kwp");
        core::writeFileReplacing(good, package(document(fullPassport()), jpegOf(300, 225)));
        QFile::remove(huge);
        const QStringList before = QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        QVERIFY(save::readPackage(good).contents);
        QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
    }

    // The verification's own reading: entries in order, with their CRCs.
    void zipEntries()
    {
        const QByteArray zip = save::zipStored({{"b.txt", "bee"}, {"a.txt", ""}});
        const save::ZipReadResult read = save::readZipEntries(zip);
        QCOMPARE(read.problems, QStringList());
        QCOMPARE(read.entries.size(), 2);
        QCOMPARE(read.entries[0].name, QStringLiteral("b.txt"));
        QCOMPARE(read.entries[0].data, QByteArray("bee"));
        QCOMPARE(read.entries[0].crc, save::zipCrc("bee"));
        QVERIFY(read.entries[0].stored);
        QCOMPARE(read.entries[1].data, QByteArray());
        QCOMPARE(save::zipCrc("123456789"), 0xCBF43926u); // the CRC-32 check value
        QVERIFY(!save::readZipEntries(zip, 2).problems.isEmpty());
        QVERIFY(!save::readZipEntries(zip, 100, 1).problems.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPackageReader)
#include "test_package_reader.moc"
