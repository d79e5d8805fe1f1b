// Reading packages back: packages made by the program's own save path come
// back field for field and byte for byte; whatever breaks the passport's
// rules, and every damaged picture, is refused with a problem that names it.

#include "core/files.h"
#include "picture/jpeg_codec.h"
#include "reader_fixtures.h"
#include "save/package.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace rf;

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
        const QString folder = save::createWorkingFolder(temp.path() + '/', kTime).value();
        QVERIFY(!folder.isEmpty());
        const QByteArray data = save::buildDataDocument(original, kTime);
        save::writeDataDocument(folder + "data.xml", data).value();
        QByteArray jpeg;
        if (original.hasPicture) {
            jpeg = picture::encodeJpeg(original.picture);
            core::writeFileReplacing(folder + "image.jpg", jpeg);
        }
        const QString packagePath = temp.filePath("work.kwp");
        QVERIFY(save::writePackage(archiver, packagePath, folder).has_value());

        const save::ReadResult read = save::readPackage(packagePath);
        QCOMPARE(texts(read), QStringList());
        QVERIFY(read.contents);
        const save::PackageContents &contents = *read.contents;
        QCOMPARE(contents.savedAt, kTime);
        QCOMPARE(save::buildDataDocument(contents.passport, contents.savedAt), data);
        QCOMPARE(contents.pictureJpeg, jpeg);

        PassportSnapshot expected = asStored(original);
        if (original.hasPicture) {
            // The picture comes back as the stored JPEG decodes.
            QCOMPARE(contents.passport.picture.size(), original.picture.size());
            QCOMPARE(contents.passport.picture.format(), QImage::Format_RGB32);
            expected.picture =
                picture::JpegReader::read(jpeg).value().decodeReduced(original.picture.size()).value().picture;
            // With its file as stored, to be written again unchanged.
            expected.pictureJpeg = jpeg;
        }
        QCOMPARE(contents.passport.title, expected.title);
        QCOMPARE(contents.passport.description, expected.description);
        QCOMPARE(contents.passport.manual, expected.manual);
        QCOMPARE(contents.passport.authors, expected.authors);
        QCOMPARE(contents.passport.teachers, expected.teachers);
        QVERIFY(contents.passport == expected);
    }

    // A package never holds more of the description than the page
    // publishes: a longer one is a problem of the package. A draft keeps the
    // description as typed, and reads back whole.
    void longDescription_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<QString>("characters"); // the word after the count
        QTest::newRow("500") << QString(500, QChar(0x0416)) << true << QString();
        QTest::newRow("500 with astral characters")
            << QString(250, QLatin1Char('x')) + QStringLiteral("😀").repeated(250) << true << QString();
        QTest::newRow("501") << QString(501, QLatin1Char('x')) << false << QStringLiteral("знак");
        QTest::newRow("503") << QString(503, QLatin1Char('x')) << false << QStringLiteral("знака");
        QTest::newRow("511") << QString(511, QLatin1Char('x')) << false << QStringLiteral("знаков");
        QTest::newRow("650 over lines") << QString(450, QLatin1Char('x')) + QStringLiteral("\r\n")
                                               + QString(198, QLatin1Char('y'))
                                        << false << QStringLiteral("знаков");
    }
    void longDescription()
    {
        QFETCH(QString, description);
        QFETCH(bool, sound);
        QFETCH(QString, characters);
        PassportSnapshot p = fullPassport();
        p.description = description;
        // Written as a draft, so that nothing is cut.
        const QByteArray zip = package(save::buildDataDocument(p, kTime, save::DocumentForm::Draft), jpegOf(300, 225));
        const save::ReadResult read = save::readPackageBytes(zip);
        if (sound) {
            QCOMPARE(texts(read), QStringList());
            QCOMPARE(read.contents->passport.description, description);
        } else {
            QVERIFY(!read.contents);
            QCOMPARE(read.problems.size(), 1);
            QCOMPARE(read.problems[0].code, save::ReadProblemCode::DescriptionTooLong);
            QCOMPARE(read.problems[0].number, core::characterCount(description));
            QCOMPARE(texts(read)[0], QStringLiteral("Описание работы слишком длинное: %1 %2, а допускается не "
                                                    "больше 500; на странице работы было бы опубликовано только его "
                                                    "начало.")
                                         .arg(core::characterCount(description))
                                         .arg(characters));
        }
        const save::ReadResult draft = save::readPackageBytes(zip, {.form = save::DocumentForm::Draft});
        QCOMPARE(texts(draft), QStringList());
        QCOMPARE(draft.contents->passport.description, description);
    }

    // The picture is judged as djpeg judges it: what djpeg reports as
    // "Corrupt JPEG data" (or a file cut short) is a damaged picture, in
    // the reader that decodes and in the one that only verifies; what it
    // decodes without a word is sound, bytes after the end marker included.
    void damagedAsDjpegSays_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<bool>("damaged");
        const QByteArray baseline = jpegOf(300, 225);
        QTest::newRow("sound baseline") << baseline << false;
        QTest::newRow("sound progressive") << jpegWith(testPicture(300, 225), false, true) << false;
        QTest::newRow("bytes after the end marker") << baseline + "trailing bytes" << false;
        for (const PictureCase &refusal : pictureRefusals())
            if (refusal.problem.contains(QStringLiteral("картинка повреждена")))
                QTest::newRow(refusal.name) << refusal.jpeg << true;
    }
    void damagedAsDjpegSays()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(bool, damaged);
        if (QStandardPaths::findExecutable("djpeg").isEmpty())
            QSKIP("djpeg is not installed");
        QProcess djpeg;
        djpeg.start(QStringLiteral("djpeg"), {QStringLiteral("-outfile"), QStringLiteral("/dev/null")});
        QVERIFY(djpeg.waitForStarted());
        djpeg.write(jpeg);
        djpeg.closeWriteChannel();
        QVERIFY(djpeg.waitForFinished());
        const QString warnings = QString::fromUtf8(djpeg.readAllStandardError());
        QCOMPARE(warnings.contains(QLatin1String("Corrupt JPEG data"))
                     || warnings.contains(QLatin1String("Premature end of JPEG file")),
                 damaged);
        for (bool decode : {true, false}) {
            const save::ReadResult read =
                save::readPackageBytes(package(document(fullPassport()), jpeg), {.decodePicture = decode});
            QCOMPARE(texts(read).join(' ').contains(QStringLiteral("картинка повреждена")), damaged);
            QCOMPARE(read.contents.has_value(), !damaged);
        }
    }

    // A sound picture with bytes after its end-of-image marker is taken,
    // and kept as it is; the bytes are never decoded.
    void bytesAfterEndMarker_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        const QByteArray baseline = jpegOf(300, 225);
        const QByteArray progressive = jpegWith(testPicture(300, 225), false, true);
        QTest::newRow("baseline, text") << baseline + "trailing text\n";
        QTest::newRow("baseline, zeros") << baseline + QByteArray(1000, '\0');
        QTest::newRow("baseline, another end marker") << baseline + "\xff\xd9";
        QTest::newRow("progressive, a second picture") << progressive + baseline;
    }
    void bytesAfterEndMarker()
    {
        QFETCH(QByteArray, jpeg);
        for (bool decode : {true, false}) {
            const save::ReadResult read =
                save::readPackageBytes(package(document(fullPassport()), jpeg), {.decodePicture = decode});
            QCOMPARE(texts(read), QStringList());
            QVERIFY(read.contents->passport.hasPicture);
            QCOMPARE(read.contents->pictureJpeg, jpeg);
        }
    }

    void passportRules_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QStringList>("problems");
        const QByteArray jpeg = jpegOf(300, 225);
        const PassportSnapshot full = fullPassport();
        const QByteArray doc = document(full);
        const QByteArray firstAuthor = full.authors[0].Id.toUtf8();
        const QByteArray teacher = full.teachers[0].Id.toUtf8();

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
    void passportRules()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, jpeg);
        QFETCH(QStringList, problems);
        const QString mismatch = refusalMismatch(save::readPackageBytes(package(data, jpeg)), problems);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
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
        QTest::newRow("sound with bytes after its end marker") << baseline + "trailing";
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
        QCOMPARE(texts(verified), texts(decoded));
        QVERIFY(verified.problems == decoded.problems);
        QCOMPARE(verified.contents.has_value(), decoded.contents.has_value());
        if (decoded.contents) {
            QVERIFY(verified.contents->passport.hasPicture);
            QVERIFY(verified.contents->passport.picture.isNull());
            QCOMPARE(verified.contents->pictureJpeg, jpeg);
        }
    }

    // The file is looked at before it is opened: a pipe would block, a huge
    // file would fill the memory.
    void packageFiles()
    {
        QTemporaryDir temp;
        const QString missing = temp.filePath("missing.kwp");
        QVERIFY(texts(save::readPackage(missing)).value(0).contains("не найден"));
        QVERIFY(texts(save::readPackage(temp.path())).value(0).contains("не является файлом"));

        const QString pipe = temp.filePath("pipe.kwp");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(texts(save::readPackage(pipe)).value(0).contains("не является файлом"));

        const QString huge = temp.filePath("huge.kwp");
        {
            QFile file(huge);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(save::kMaxPackageSize + 1)); // sparse: no disk used
        }
        QVERIFY(texts(save::readPackage(huge)).value(0).contains("слишком большой"));

        // Reading writes nothing, neither beside the package nor in the
        // temporary folder.
        const QString good = temp.filePath("good.kwp");
        core::writeFileReplacing(good, package(document(fullPassport()), jpegOf(300, 225)));
        QFile::remove(huge);
        const QStringList before = QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        QVERIFY(save::readPackage(good).contents);
        QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
    }
};

QTEST_GUILESS_MAIN(TestPackageReader)
#include "test_package_reader.moc"
