// Times a save of a full passport with a picture, with the real archiver:
// each run is one press of "Сохранить" with the save dialog answered at once,
// so the time covers the check, the data document, the working folder, the
// picture export, the archiver, the success message and the removal of the
// working folder. Prints the median; asserts nothing.

#include "app/passport_window.h"
#include "app/startup.h"
#include "core/platform.h"
#include "gui/modal.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

template <class T>
T *control(PassportWindow &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control named %s", name);
    return found;
}

void fillPassport(PassportWindow &window)
{
    control<QLineEdit>(window, "title")->setText(QStringLiteral("Весна & лето: стихи о природе родного края"));
    QString description;
    for (int i = 0; i < 12; ++i)
        description += QStringLiteral("Строка описания работы номер %1, довольно длинная.\n").arg(i);
    control<QPlainTextEdit>(window, "description")->setPlainText(description);
    control<QPlainTextEdit>(window, "manual")->setPlainText(QStringLiteral("Открыть файл.\nЧитать."));
    control<QLineEdit>(window, "tech_request")->setText(QStringLiteral("Любой компьютер"));
    control<QLineEdit>(window, "public_post_index")->setText(QStringLiteral("190000"));
    control<QLineEdit>(window, "public_post_address")->setText(QStringLiteral("Санкт-Петербург, ул. Ленина, 1"));
    control<QLineEdit>(window, "public_phone")->setText(QStringLiteral("+7 812 000-00-00"));
    control<QLineEdit>(window, "public_email")->setText(QStringLiteral("school@example.ru"));
    control<QPlainTextEdit>(window, "Notes")->setPlainText(QStringLiteral("Примечание для оргкомитета."));
    window.model().setSubjectSlots({2, 11, 18, 22});

    QList<TPersonRecord> authors;
    for (int i = 0; i < 10; ++i)
        authors.append({QStringLiteral("100-200-3%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Петров"),
                        QStringLiteral("Пётр"), QStringLiteral("Петрович")});
    QList<TPersonRecord> teachers;
    for (int i = 0; i < 3; ++i)
        teachers.append({QStringLiteral("400-500-6%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Сидорова"),
                         QStringLiteral("Анна"), QStringLiteral("Ивановна")});
    window.model().setParticipants(authors, teachers, 2);
}

// A photograph-like picture: gradients and shapes, so that the JPEG is not
// trivially small.
QImage photograph()
{
    QImage image(1024, 768, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 1024, 768);
    gradient.setColorAt(0, QColor(30, 90, 160));
    gradient.setColorAt(1, QColor(220, 180, 60));
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv((i * 37) % 360, 200, 220));
        painter.drawEllipse(QPoint((i * 97) % 1024, (i * 61) % 768), 20 + i % 50, 15 + i % 40);
    }
    return image;
}

// Loads the picture through the picture tab, as the user does.
bool loadPicture(PassportWindow &window, const QString &folder)
{
    const QString source = QDir(folder).filePath(QStringLiteral("photo.jpg"));
    photograph().save(source, "JPEG", 90);
    gui::modal::testing::queueFileName(source);
    window.loadPicture();
    gui::modal::testing::reset();
    return window.snapshot().hasPicture;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Saves `runs` times and returns the times in milliseconds. With replace,
// every save goes to the same path, so each replaces the package before.
QList<double> timeSaves(PassportWindow &window, const QString &folder, int runs, bool replace, bool &allSaved)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        const QString path = QDir(folder).filePath(replace ? QStringLiteral("same.kwp")
                                                           : QStringLiteral("package-%1-%2.kwp").arg(replace).arg(i));
        gui::modal::testing::reset();
        gui::modal::testing::queueFileName(path);
        QElapsedTimer timer;
        timer.start();
        window.saveToPackage();
        times.append(timer.nsecsElapsed() / 1e6);
        const auto messages = gui::modal::testing::messages();
        allSaved = allSaved && messages.size() == 1 && messages[0].icon == gui::modal::Icon::Information;
    }
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (platform::archiverPath().isEmpty()) {
        std::printf("save: no 7za found, nothing measured\n");
        return 0;
    }
    gui::modal::testing::install();
    QTemporaryDir temp;
    QTemporaryDir out;
    platform::testing::setTempFolder(temp.path());

    auto windows = createWindows();
    PassportWindow &window = *windows->passport;
    fillPassport(window);
    if (!loadPicture(window, out.path())) {
        std::printf("save: the picture could not be loaded, nothing measured\n");
        return 0;
    }

    // Each run takes a new working folder name, as saves in one second do.
    const int runs = 21;
    bool allSaved = true;
    timeSaves(window, out.path(), 3, false, allSaved); // warm-up
    const QList<double> fresh = timeSaves(window, out.path(), runs, false, allSaved);
    const QList<double> replacing = timeSaves(window, out.path(), runs, true, allSaved);

    QProcess list;
    list.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), QDir(out.path()).filePath(QStringLiteral("same.kwp"))});
    list.waitForFinished();
    const QString entries = QString::fromUtf8(list.readAllStandardOutput()).trimmed().replace('\n', ' ');
    std::printf("save: full passport (10 authors, 3 supervisors, 4 sections) with a 1024 x 768 picture "
                "loaded through loadPicture\n");
    std::printf("save: archiver %s, %d runs each, all saved: %s; package entries: %s\n",
                qPrintable(platform::archiverPath()), runs, allSaved ? "yes" : "NO", qPrintable(entries));
    std::printf("save: new package       median %.1f ms (min %.1f, max %.1f)\n", median(fresh),
                *std::min_element(fresh.begin(), fresh.end()), *std::max_element(fresh.begin(), fresh.end()));
    std::printf("save: replacing package median %.1f ms (min %.1f, max %.1f)\n", median(replacing),
                *std::min_element(replacing.begin(), replacing.end()),
                *std::max_element(replacing.begin(), replacing.end()));
    std::printf("save: each save includes reading the package back and comparing it; target median <= 10 ms\n");
    windows.reset();
    gui::modal::testing::uninstall();
    return 0;
}
