// Writes a season's worth of packages for timing tirlada-check: each with a
// picture of the largest size the program saves, three authors and two
// supervisors, long texts; every 25th package is broken in one of five ways
// (cut short, a wrong check digit, no title, a picture over 300 x 300, a
// picture that is not a JPEG).
// Usage: check_bench_packages FOLDER COUNT

#include "core/passport.h"
#include "participants/participant_id.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/package_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <cstdio>

namespace {

QString checkedId(int n)
{
    const QString seven = QString::number(1000000 + n);
    const QString nine = seven + participants::participantIdCheckDigits(seven);
    return nine.left(3) + QLatin1Char('-') + nine.mid(3, 3) + QLatin1Char('-') + nine.mid(6);
}

// A picture with gradients and noise, so that its JPEG is as large as a
// photograph's at this size.
QByteArray pictureJpeg(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(40));
            line[x] = qRgb((x * 255 / width + noise) & 255, (y * 255 / height + noise) & 255, (x + y + noise) & 255);
        }
    }
    return picture::encodeJpeg(image);
}

PassportSnapshot passport(int n)
{
    PassportSnapshot p;
    p.subjectNames = core::defaultSubjectNames();
    p.seasonId = kSeasonId;
    p.seasonName = kSeasonName;
    p.title = QStringLiteral("Исследовательская работа номер %1 о природе родного края").arg(n);
    for (int i = 0; i < 8; ++i)
        p.description += QStringLiteral("Строка описания %1 работы, довольно длинная и подробная.\r\n").arg(i);
    p.manual = QStringLiteral("Открыть файл index.html в браузере.\r\nЧитать по порядку.");
    p.techRequest = QStringLiteral("Любой компьютер с браузером");
    p.postIndex = QStringLiteral("190000");
    p.postAddress = QStringLiteral("Санкт-Петербург, ул. Ленина, д. %1").arg(n % 200);
    p.phone = QStringLiteral("+7 812 000-00-00");
    p.email = QStringLiteral("school%1@example.ru").arg(n);
    p.notes = QStringLiteral("Примечание для оргкомитета.");
    p.subjectSlots = {1 + n % 7, 8 + n % 7, 15 + n % 7, n % 2 ? 22 : 0};
    for (int i = 0; i < 3; ++i)
        p.authors.append({checkedId((n * 5 + i) % 9000000), QStringLiteral("Петров"), QStringLiteral("Пётр"),
                          QStringLiteral("Петрович")});
    for (int i = 3; i < 5; ++i)
        p.teachers.append({checkedId((n * 5 + i) % 9000000), QStringLiteral("Сидорова"), QStringLiteral("Анна"),
                           QStringLiteral("Ивановна")});
    p.leaderIndex = 1;
    p.hasPicture = true;
    p.pictureCaption = QStringLiteral("Обложка работы");
    return p;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: check_bench_packages FOLDER COUNT\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = QString::fromLatin1(argv[2]).toInt();
    // A few pictures, shared round the packages: encoding one for each
    // package would time the generator, not the check.
    QList<QByteArray> pictures;
    for (quint32 i = 0; i < 8; ++i)
        pictures.append(pictureJpeg(300, 225, i));
    const QByteArray tooLarge = pictureJpeg(400, 300, 99);

    int broken = 0;
    for (int n = 0; n < count; ++n) {
        PassportSnapshot p = passport(n);
        QByteArray jpeg = pictures[n % pictures.size()];
        const int kind = n % 25 == 24 ? (n / 25) % 5 : -1;
        if (kind == 1)
            p.authors[0].Id = QStringLiteral("100-000-100");
        else if (kind == 2)
            p.title.clear();
        else if (kind == 3)
            jpeg = tooLarge;
        else if (kind == 4)
            jpeg = QByteArray("GIF89a not a jpeg").repeated(100);
        QByteArray zip = save::zipStored({{QStringLiteral("data.xml"), save::buildDataDocument(p, 1234567890)},
                                          {QStringLiteral("image.jpg"), jpeg}})
                             .value();
        if (kind == 0)
            zip.truncate(zip.size() / 2);
        if (kind >= 0)
            ++broken;
        const QString sub = QStringLiteral("%1/school%2").arg(folder).arg(n / 100, 3, 10, QLatin1Char('0'));
        QDir().mkpath(sub);
        QFile file(QStringLiteral("%1/work%2.kwp").arg(sub).arg(n, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(zip) != zip.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    std::printf("%d packages written, %d of them broken, picture %lld bytes\n", count, broken,
                qlonglong(pictures[0].size()));
    return 0;
}
