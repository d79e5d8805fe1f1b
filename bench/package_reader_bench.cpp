// Times reading a full package with a picture: readPackage from the path to
// the restored passport (file, archive, data document, decoded picture), and
// the save's verification alone (the package read back and compared with
// the files). Prints medians; asserts nothing.

#include "core/passport.h"
#include "fixtures.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/package.h"
#include "save/package_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

// A photograph-like picture of the largest size a package holds.
QImage photograph()
{
    QImage image(300, 225, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 300, 225);
    gradient.setColorAt(0, QColor(30, 90, 160));
    gradient.setColorAt(1, QColor(220, 180, 60));
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv((i * 37) % 360, 200, 220));
        painter.drawEllipse(QPoint((i * 97) % 300, (i * 61) % 225), 6 + i % 15, 5 + i % 12);
    }
    return image;
}

// The fullest passport, with a picture.
PassportSnapshot fullPassport()
{
    PassportSnapshot p = tt::fullPassport();
    for (int i = 0; i < 9; ++i)
        p.description += QStringLiteral("\r\nСтрока описания работы номер %1, довольно длинная.").arg(i);
    // As many participants as a passport holds.
    while (p.authors.size() < kMaxAuthors)
        p.authors.append(tt::person(tt::checkedId(int(p.authors.size()) + 10), QStringLiteral("Петров"),
                                    QStringLiteral("Пётр"), QStringLiteral("Петрович")));
    while (p.teachers.size() < kMaxTeachers)
        p.teachers.append(tt::person(tt::checkedId(int(p.teachers.size()) + 20), QStringLiteral("Сидорова"),
                                     QStringLiteral("Анна"), QStringLiteral("Ивановна")));
    p.hasPicture = true;
    p.picture = photograph();
    return p;
}

struct Figures {
    double median, min, max;
};

template <class F>
Figures time(int runs, F &&step)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.first(), times.last()};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString archiver = QStandardPaths::findExecutable(QStringLiteral("7za"));
    if (archiver.isEmpty()) {
        std::printf("package reader: no 7za found, nothing measured\n");
        return 0;
    }
    QTemporaryDir temp;
    const PassportSnapshot passport = fullPassport();
    const QString folder = save::createWorkingFolder(temp.path() + '/', 1233446400).value();
    save::writeDataDocument(folder + "data.xml", save::buildDataDocument(passport, 1233446400)).value();
    QFile jpeg(folder + "image.jpg");
    if (!jpeg.open(QIODevice::WriteOnly) || jpeg.write(picture::encodeJpeg(passport.picture)) < 0)
        return 1;
    jpeg.close();
    const QString packagePath = QDir(temp.path()).filePath("work.kwp");
    if (!save::writePackage(archiver, packagePath, folder)) {
        std::printf("package reader: the package could not be written, nothing measured\n");
        return 0;
    }

    const int runs = 201;
    bool allRead = true;
    const Figures read = time(runs, [&] { allRead = allRead && save::readPackage(packagePath).contents.has_value(); });

    // The verification alone: what writePackage does after the archiver.
    QList<std::pair<QString, QByteArray>> written;
    for (const QString &name : {QStringLiteral("data.xml"), QStringLiteral("image.jpg")}) {
        QFile file(folder + name);
        file.open(QIODevice::ReadOnly);
        written.append({name, file.readAll()});
    }
    bool allSame = true;
    const Figures verify = time(runs, [&] {
        QFile file(packagePath);
        file.open(QIODevice::ReadOnly);
        const save::ZipReadResult entries = save::readZipEntries(file.readAll());
        bool same = entries.entries.size() == written.size();
        for (qsizetype i = 0; same && i < written.size(); ++i)
            same = entries.entries[i].name == written[i].first && entries.entries[i].data == written[i].second;
        allSame = allSame && same;
    });

    // The whole writePackage (archiver and verification), and the archiver
    // alone, under the same load: the verification's share of a save.
    const QString output = QDir(temp.path()).filePath("again.kwp");
    bool allWritten = true;
    const Figures write = time(41, [&] {
        QFile::remove(output);
        allWritten = save::writePackage(archiver, output, folder).has_value() && allWritten;
    });
    const Figures archiverAlone = time(41, [&] {
        QFile::remove(output);
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(archiver, {"a", "-tzip", "-y", "-mx=0", "-mm=Copy", output, "data.xml", "image.jpg"});
        process.waitForFinished();
    });

    std::printf("package reader: full passport (10 authors, 3 supervisors, 4 sections) with a 300 x 225 picture, "
                "package of %lld bytes, %d runs each\n",
                QFileInfo(packagePath).size(), runs);
    std::printf("package reader: readPackage       median %.2f ms (min %.2f, max %.2f), all read: %s\n", read.median,
                read.min, read.max, allRead ? "yes" : "NO");
    std::printf("package reader: save verification median %.2f ms (min %.2f, max %.2f), all equal: %s\n", verify.median,
                verify.min, verify.max, allSame ? "yes" : "NO");
    std::printf("package reader: writePackage      median %.2f ms (min %.2f, max %.2f), all written: %s\n",
                write.median, write.min, write.max, allWritten ? "yes" : "NO");
    std::printf("package reader: 7za alone         median %.2f ms (min %.2f, max %.2f)\n", archiverAlone.median,
                archiverAlone.min, archiverAlone.max);
    std::printf("package reader: target for opening (call to filled window) median <= 20 ms\n");
    return 0;
}
