// The committee's check from plain package bytes and from folders of
// packages: one line per package, every kind of problem in words, the exit
// status, and the order of the report.

#include "check_fixtures.h"

#include "check/html_pages.h"
#include "check/package_check.h"
#include "check/participants_csv.h"
#include "check/registrations.h"
#include "check/run.h"
#include "check/walk.h"
#include "core/platform.h"
#include "participants/participant_id.h"
#include "save/package.h"

#include <QBuffer>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace check_test;

namespace {

QString lineOf(const QByteArray &package, const QString &file = QStringLiteral("work.kwp"))
{
    return check::evaluate(save::readPackageBytes(package), file, QStringLiteral("work"), {}).line;
}

struct RunResult {
    int status = -1;
    QStringList lines;
    QString errors;
};

check::RunOptions optionsFor(const QStringList &inputs, const QString &csv = QString(), const QString &html = QString(),
                             int threads = 1)
{
    check::RunOptions options;
    for (const QString &input : inputs)
        options.inputs.append(QFile::encodeName(input));
    options.participantsCsv = csv;
    options.htmlFolder = html;
    options.threads = threads;
    return options;
}

RunResult runCheck(const check::RunOptions &options)
{
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    RunResult result;
    result.status = check::run(options, out, err);
    result.lines = QString::fromUtf8(out.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    result.errors = QString::fromUtf8(err.data());
    return result;
}

} // namespace

class TestCheck : public QObject {
    Q_OBJECT

private slots:
    // Each kind of problem, from a small package that has just that problem.
    // The line names the file and says what is wrong in words.
    void problems_data()
    {
        QTest::addColumn<QByteArray>("package");
        QTest::addColumn<QStringList>("fragments");

        const PassportSnapshot sound = soundPassport();
        QTest::newRow("sound with a picture") << packageBytes(sound) << QStringList{QStringLiteral("work.kwp: OK")};
        PassportSnapshot noPicture = sound;
        noPicture.hasPicture = false;
        noPicture.picture = QImage();
        noPicture.pictureCaption.clear();
        QTest::newRow("sound without a picture")
            << packageBytes(noPicture) << QStringList{QStringLiteral("work.kwp: OK")};

        QTest::newRow("not an archive") << QByteArray("это не архив")
                                        << QStringList{QStringLiteral(
                                               "work.kwp: Файл не является пакетом паспорта работы: это не ZIP-архив")};
        QTest::newRow("empty file") << QByteArray()
                                    << QStringList{QStringLiteral(
                                           "work.kwp: Файл не является пакетом паспорта работы: это не ZIP-архив")};
        QTest::newRow("entry outside the package")
            << save::zipStored({{QStringLiteral("data.xml"), dataDocument(sound)},
                                {QStringLiteral("../evil.txt"), QByteArray("x")}})
                   .value()
            << QStringList{QStringLiteral("work.kwp: В пакете есть файл с недопустимым именем «../evil.txt»")};
        QTest::newRow("no data document")
            << save::zipStored({{QStringLiteral("image.jpg"), jpegOfSize(10, 10)}}).value()
            << QStringList{QStringLiteral("work.kwp: В пакете нет файла data.xml с данными паспорта")};
        QTest::newRow("malformed document")
            << save::zipStored({{QStringLiteral("data.xml"), QByteArray("<?xml version=\"1.0\"?><work><title>")}})
                   .value()
            << QStringList{QStringLiteral("work.kwp: Файл data.xml")};

        PassportSnapshot wrongDigits = sound;
        wrongDigits.authors[0].Id = QStringLiteral("100-000-100");
        QTest::newRow("wrong check digits")
            << packageBytes(wrongDigits)
            << QStringList{QStringLiteral("work.kwp: У ID участника 100-000-100 неверные контрольные цифры")};

        PassportSnapshot lineFeed = sound;
        lineFeed.authors[0].Id += QLatin1Char('\n');
        QTest::newRow("ID with a line feed after it")
            << packageBytes(lineFeed)
            << QStringList{QStringLiteral("записан неверно: ID имеет вид XXX-XXX-XXX из цифр")};
        PassportSnapshot low = sound;
        const QString lowId =
            QStringLiteral("000-000-1") + participants::participantIdCheckDigits(QStringLiteral("0000001"));
        low.authors[0].Id = lowId;
        QTest::newRow("ID below the lowest number")
            << packageBytes(low) << QStringList{QStringLiteral("ID участника «%1» вне допустимых номеров").arg(lowId)};

        PassportSnapshot twice = sound;
        twice.teachers[0].Id = twice.authors[0].Id;
        QTest::newRow("ID twice") << packageBytes(twice)
                                  << QStringList{QStringLiteral("work.kwp: ID участника %1 записан в паспорте дважды")
                                                     .arg(twice.authors[0].Id)};

        QTest::newRow("picture not a JPEG")
            << packageBytes(sound, QByteArray("\x89PNG\r\n\x1a\n not a jpeg at all"))
            << QStringList{QStringLiteral("work.kwp: Рисунок image.jpg в пакете не является рисунком JPEG")};
        QTest::newRow("picture too large")
            << packageBytes(sound, jpegOfSize(301, 200))
            << QStringList{QStringLiteral("work.kwp: Рисунок image.jpg имеет размер 301 × 200 точек")};

        QTest::newRow("two problems on one line")
            << packageBytes(wrongDigits, jpegOfSize(301, 200))
            << QStringList{QStringLiteral("work.kwp: У ID участника 100-000-100 неверные контрольные цифры; "
                                          "Рисунок image.jpg имеет размер 301 × 200 точек")};

        PassportSnapshot untitled = sound;
        untitled.title = QStringLiteral("  ");
        QTest::newRow("no title") << packageBytes(untitled)
                                  << QStringList{QStringLiteral("work.kwp: Не заполнено: название работы")};

        PassportSnapshot several = sound;
        several.description.clear();
        several.subjectSlots = {0, 0, 0, 0};
        several.teachers[1].Patronymic = QStringLiteral("\t");
        QTest::newRow("several missing items")
            << packageBytes(several)
            << QStringList{QStringLiteral("work.kwp: Не заполнено: описание работы, не задан ни один раздел, "
                                          "отчества у всех руководителей")};

        PassportSnapshot nobody = sound;
        nobody.authors.clear();
        nobody.teachers.clear();
        nobody.leaderIndex = -1;
        QTest::newRow("no participants") << packageBytes(
            nobody) << QStringList{QStringLiteral("не указан ни один автор, не указан ни один руководитель")};
    }
    void problems()
    {
        QFETCH(QByteArray, package);
        QFETCH(QStringList, fragments);
        const QString line = lineOf(package);
        QVERIFY2(line.startsWith(QStringLiteral("work.kwp: ")), qPrintable(line));
        QVERIFY2(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')), qPrintable(line));
        for (const QString &fragment : fragments)
            QVERIFY2(line.contains(fragment), qPrintable(line));
        const bool sound = fragments.size() == 1 && fragments[0].endsWith(QStringLiteral(": OK"));
        QCOMPARE(line == QStringLiteral("work.kwp: OK"), sound);
        if (!sound)
            QVERIFY2(!line.contains(QStringLiteral("OK")), qPrintable(line));
    }

    // Problems stand on one line, separated by semicolons, without the
    // sentences' full stops; line breaks in a file name do not break the line.
    void reportLineFormat()
    {
        QCOMPARE(check::reportLine(QStringLiteral("a.kwp"), {}), QStringLiteral("a.kwp: OK"));
        QCOMPARE(check::reportLine(QStringLiteral("a\nb.kwp"), {QStringLiteral("один"), QStringLiteral("два")}),
                 QStringLiteral("a b.kwp: один; два"));
        save::ReadResult read;
        read.problems = {{save::ReadProblemCode::FileNotFound, QStringLiteral("a\nb.kwp")},
                         {save::ReadProblemCode::NoDocument}};
        QCOMPARE(check::problemTexts(check::packageProblems(read)),
                 (QStringList{QStringLiteral("Файл «a b.kwp» не найден"),
                              QStringLiteral("В пакете нет файла data.xml с данными паспорта")}));
    }

    // A package that the program itself saved, through the real archiver,
    // is sound.
    void packageSavedByTheProgram()
    {
        const QString archiver = platform::archiverPath();
        if (archiver.isEmpty())
            QSKIP("no 7za archiver");
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("work")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(folder));
        const PassportSnapshot p = soundPassport();
        QVERIFY(writeBytes(folder + QStringLiteral("data.xml"), dataDocument(p)));
        QVERIFY(writeBytes(folder + QStringLiteral("image.jpg"), picture::encodeJpeg(p.picture)));
        const QString package = dir.filePath(QStringLiteral("Весна.kwp"));
        QVERIFY(save::writePackage(archiver, package, folder).has_value());

        const RunResult result = runCheck(optionsFor({package}, {}, {}, 1));
        QCOMPARE(result.lines, QStringList{package + QStringLiteral(": OK")});
        QCOMPARE(result.status, check::kAllSound);
    }

    // Folders are searched at every depth for "*.kwp" in any case, hidden
    // files included; the report follows the sorted paths whatever the
    // number of threads; one bad package neither stops nor changes the
    // others; a missing input is reported and makes the check incomplete.
    void folderRunInStableOrder()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(writeBytes(root + QStringLiteral("/b/second.kwp"), packageBytes(soundPassport())));
        QVERIFY(writeBytes(root + QStringLiteral("/a/deep/first.KWP"), packageBytes(soundPassport())));
        QVERIFY(writeBytes(root + QStringLiteral("/b/broken.kwp"), QByteArray("PK\x03\x04 broken")));
        QVERIFY(writeBytes(root + QStringLiteral("/b/notes.txt"), QByteArray("not a package")));
        QVERIFY(writeBytes(root + QStringLiteral("/b/._second.kwp"), QByteArray("resource fork")));
        for (int i = 0; i < 30; ++i)
            QVERIFY(writeBytes(root + QStringLiteral("/c/%1.kwp").arg(i, 2, 10, QLatin1Char('0')),
                               packageBytes(soundPassport(QStringLiteral("Работа %1").arg(i)))));

        const RunResult one = runCheck(optionsFor({root, root + QStringLiteral("/b/second.kwp")}, {}, {}, 1));
        const RunResult many = runCheck(optionsFor({root}, {}, {}, 3));
        QCOMPARE(one.status, check::kSomeNotSound);
        QCOMPARE(one.lines.size(), 34);
        QCOMPARE(one.lines[0], root + QStringLiteral("/a/deep/first.KWP: OK"));
        QVERIFY2(one.lines[1].startsWith(root + QStringLiteral("/b/._second.kwp: ")), qPrintable(one.lines[1]));
        QVERIFY2(one.lines[2].startsWith(root + QStringLiteral("/b/broken.kwp: ")), qPrintable(one.lines[2]));
        QVERIFY(!one.lines[2].endsWith(QStringLiteral(": OK")));
        QCOMPARE(one.lines[3], root + QStringLiteral("/b/second.kwp: OK"));
        QCOMPARE(one.lines[4], root + QStringLiteral("/c/00.kwp: OK"));
        QCOMPARE(one.lines[33], root + QStringLiteral("/c/29.kwp: OK"));
        QCOMPARE(many.lines, one.lines);
        QVERIFY2(one.errors.endsWith(
                     QStringLiteral("Проверено 34 пакета: без замечаний 32, с замечаниями 2, не прочитано 0.\n")),
                 qPrintable(one.errors));

        const RunResult good = runCheck(optionsFor({root + QStringLiteral("/c")}, {}, {}, 2));
        QCOMPARE(good.status, check::kAllSound);
        QCOMPARE(good.lines.size(), 30);
        QCOMPARE(good.errors,
                 QStringLiteral("Проверено 30 пакетов: без замечаний 30, с замечаниями 0, не прочитано 0.\n"));

        const RunResult missing = runCheck(
            optionsFor({root + QStringLiteral("/nothing.kwp"), root + QStringLiteral("/c/00.kwp")}, {}, {}, 0));
        QCOMPARE(missing.status, check::kIncomplete);
        QCOMPARE(missing.lines, (QStringList{root + QStringLiteral("/nothing.kwp: нет такого файла или папки"),
                                             root + QStringLiteral("/c/00.kwp: OK")}));
        QVERIFY2(missing.errors.endsWith(
                     QStringLiteral("Проверено 2 пакета: без замечаний 1, с замечаниями 0, не прочитано 1.\n")),
                 qPrintable(missing.errors));

        QVERIFY(QDir().mkpath(root + QStringLiteral("/empty")));
        const RunResult empty = runCheck(optionsFor({root + QStringLiteral("/empty")}, {}, {}, 0));
        QCOMPARE(empty.status, check::kUsageError);
        QVERIFY(empty.lines.isEmpty());
        QVERIFY2(empty.errors.contains(QStringLiteral("tirlada-check: пакеты (*.kwp) не найдены")),
                 qPrintable(empty.errors));
    }

    // Page names follow the packages' names; clashes get a number in input
    // order, and no page can take the index's name.
    void pageNames()
    {
        QCOMPARE(check::pageNames({QStringLiteral("a/Весна.kwp"), QStringLiteral("b/весна.KWP"),
                                   QStringLiteral("c/index.kwp"), QStringLiteral("d/Весна.kwp"),
                                   QStringLiteral("e/.kwp"), QStringLiteral("f/plain")}),
                 (QStringList{QStringLiteral("Весна"), QStringLiteral("весна-2"), QStringLiteral("index-2"),
                              QStringLiteral("Весна-3"), QStringLiteral("package"), QStringLiteral("plain")}));
    }

    // Outputs that cannot be made stop the run before any package is read.
    void outputsThatCannotBeMade()
    {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("plain"));
        QVERIFY(writeBytes(plain, "x"));
        const QString package = dir.filePath(QStringLiteral("w.kwp"));
        QVERIFY(writeBytes(package, packageBytes(soundPassport())));

        RunResult csv = runCheck(optionsFor({package}, plain + QStringLiteral("/list.csv"), {}, 1));
        QCOMPARE(csv.status, check::kUsageError);
        QVERIFY(csv.lines.isEmpty());
        QVERIFY2(csv.errors.startsWith(QStringLiteral("tirlada-check: не удалось создать папку")),
                 qPrintable(csv.errors));

        RunResult html = runCheck(optionsFor({package}, {}, plain + QStringLiteral("/pages"), 1));
        QCOMPARE(html.status, check::kUsageError);
        QVERIFY(html.lines.isEmpty());
        QVERIFY2(html.errors.startsWith(QStringLiteral("tirlada-check: не удалось создать папку")),
                 qPrintable(html.errors));
    }

    // A field that a spreadsheet would take for a formula gets an
    // apostrophe, also behind blanks; RFC 4180 quoting after that.
    void csvFields_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << QStringLiteral("Пётр") << QStringLiteral("Пётр");
        QTest::newRow("formula") << QStringLiteral("=1+1") << QStringLiteral("'=1+1");
        QTest::newRow("blank, formula") << QStringLiteral(" =1+1") << QStringLiteral("' =1+1");
        QTest::newRow("blank, at") << QStringLiteral(" @x") << QStringLiteral("' @x");
        QTest::newRow("no-break space, formula") << QStringLiteral("\u00a0=1+1") << QStringLiteral("'\u00a0=1+1");
        QTest::newRow("tab, plus") << QStringLiteral("\t+7") << QStringLiteral("'\t+7");
        QTest::newRow("minus") << QStringLiteral("-5") << QStringLiteral("'-5");
        QTest::newRow("only blanks") << QStringLiteral("  ") << QStringLiteral("  ");
        QTest::newRow("equals later") << QStringLiteral("a=1") << QStringLiteral("a=1");
        QTest::newRow("comma, after blanks a formula") << QStringLiteral(" =A1,B1") << QStringLiteral("\"' =A1,B1\"");
    }
    void csvFields()
    {
        QFETCH(QString, value);
        QFETCH(QString, field);
        QCOMPARE(check::csvField(value), field);
    }

    // Names of bytes: UTF-8 as it is, every other byte as \xNN.
    void shownNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("UTF-8") << QByteArray("Весна.kwp") << QStringLiteral("Весна.kwp");
        QTest::newRow("Windows-1251") << QByteArray("\xc2\xe5\xf1\xed\xe0.kwp")
                                      << QStringLiteral("\\xc2\\xe5\\xf1\\xed\\xe0.kwp");
        QTest::newRow("mixed") << QByteArray("a\xff\xd0\x92z") << QStringLiteral("a\\xffВz");
        QTest::newRow("cut sequence") << QByteArray("\xd0") << QStringLiteral("\\xd0");
        QTest::newRow("overlong") << QByteArray("\xc0\xaf") << QStringLiteral("\\xc0\\xaf");
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QStringLiteral("\\xed\\xa0\\x80");
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << QStringLiteral("\U0001F600");
    }
    void shownNames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(check::shownName(bytes), shown);
    }

    // Registration records as spreadsheets export them: the encoding and the
    // delimiter are found, the columns by their headers in any order.
    void registrationFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        const QString rows = QStringLiteral("Фамилия;номер;Имя;Отчество;Школа\r\n"
                                            "Петров;%1;Пётр;Петрович;\"Школа; №1\"\r\n");
        const QString text = rows.arg(tt::fullPassport().authors[0].Id);
        QStringEncoder cp1251("windows-1251");
        QTest::newRow("Windows-1251, semicolons (Excel)") << QByteArray(cp1251.encode(text)) << true;
        QTest::newRow("UTF-8 with BOM, semicolons") << QByteArray("\xEF\xBB\xBF" + text.toUtf8()) << true;
        QString commas = text;
        commas.replace(QStringLiteral("\"Школа; №1\""), QStringLiteral("\"Школа, №1\"")).replace(u';', u',');
        QTest::newRow("UTF-8, commas (LibreOffice)") << commas.toUtf8() << true;
        QString tabs = text;
        tabs.replace(QStringLiteral("\"Школа; №1\""), QStringLiteral("Школа")).replace(u';', u'\t');
        QTest::newRow("UTF-8, tabs") << tabs.toUtf8() << true;
        QStringEncoder utf16(QStringConverter::Utf16LE);
        QTest::newRow("UTF-16 (Unicode text)") << QByteArray("\xFF\xFE" + QByteArray(utf16.encode(tabs))) << true;
        QTest::newRow("ID header") << QStringLiteral("ID,Фамилия,Имя,Отчество\n%1,Петров,Пётр,Петрович\n")
                                          .arg(tt::fullPassport().authors[0].Id)
                                          .toUtf8()
                                   << true;
        QTest::newRow("no patronymic column") << QStringLiteral("ID;Фамилия;Имя\n1;2;3\n").toUtf8() << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void registrationFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QString error;
        const std::optional<check::Registrations> registrations = check::Registrations::parse(bytes, &error);
        QCOMPARE(registrations.has_value(), valid);
        if (!valid) {
            QVERIFY2(error.contains(QStringLiteral("Отчество")), qPrintable(error));
            return;
        }
        QCOMPARE(registrations->size(), qsizetype(1));
        const TPersonRecord author = tt::fullPassport().authors[0];
        QVERIFY(registrations->problems(QStringLiteral("автор"), 1, author).isEmpty());
        QVERIFY(registrations->matches(author));
    }

    // A person against the records: the ID by its nine digits, the names
    // after trimming, case folding and ё as е.
    void registrationMatching_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("patronymic");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("same") << "100-000-217"
                              << "Петров"
                              << "Пётр"
                              << "Петрович" << QStringList{};
        QTest::newRow("case, ё, blanks") << "100 000 217"
                                         << " ПЕТРОВ "
                                         << "петр"
                                         << "Пет рович" << QStringList{};
        QTest::newRow("not registered") << "100-000-316"
                                        << "Петров"
                                        << "Пётр"
                                        << "Петрович"
                                        << QStringList{QStringLiteral("автор 2 (ID 100-000-316) не зарегистрирован")};
        QTest::newRow("other surname")
            << "100-000-217"
            << "Петровв"
            << "Пётр"
            << "Петрович"
            << QStringList{
                   QStringLiteral("автор 2 (ID 100-000-217): фамилия в пакете «Петровв», а при регистрации «Петров»")};
        QTest::newRow("other name and patronymic")
            << "100000217"
            << "Петров"
            << "Павел"
            << ""
            << QStringList{
                   QStringLiteral("автор 2 (ID 100-000-217): имя в пакете «Павел», а при регистрации «Пётр»"),
                   QStringLiteral("автор 2 (ID 100-000-217): отчество в пакете «», а при регистрации «Петрович»")};
    }
    void registrationMatching()
    {
        QFETCH(QString, id);
        QFETCH(QString, surname);
        QFETCH(QString, name);
        QFETCH(QString, patronymic);
        QFETCH(QStringList, problems);
        QString error;
        const auto registrations = check::Registrations::parse(
            QStringLiteral("ID;Фамилия;Имя;Отчество\n100-000-217;Петров;Пётр;Петрович\n").toUtf8(), &error);
        QVERIFY(registrations);
        const TPersonRecord person{id, surname, name, patronymic};
        QCOMPARE(registrations->problems(QStringLiteral("автор"), 2, person), problems);
        QCOMPARE(registrations->matches(person), problems.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCheck)
#include "test_check.moc"
