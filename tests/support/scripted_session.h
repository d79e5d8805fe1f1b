#pragma once

// A whole working session played through the real window: a complete
// passport typed in, a picture loaded, removed and loaded again many times,
// and the passport saved several times with the real archiver. Used by the
// leak test and by the memory benchmark.

#include "picture/jpeg_codec.h"
#include "tirlada_test.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tt {

// A photo-like JPEG of the given size in folder; returns its path.
inline QString writeSessionPhoto(const QDir &folder, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(200, 40, 30));
    gradient.setColorAt(1, QColor(20, 60, 220));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    const QString path = folder.filePath(QStringLiteral("photo.jpg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(picture::encodeJpeg(image)) < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Types a complete passport into the window.
inline void fillCompletePassport(Session &session)
{
    session.control<QLineEdit>("title")->setText(QStringLiteral("Весна & лето"));
    session.control<QPlainTextEdit>("description")->setPlainText(QStringLiteral("Стихи\nо весне"));
    session.control<QPlainTextEdit>("Notes")->setPlainText(QStringLiteral("Записка"));
    session.setSubjectSlots({2, 11, 22, 0});
    session.setParticipants(
        {{QStringLiteral("123-456-798"), QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")}},
        {{QStringLiteral("765-432-112"), QStringLiteral("Петров"), QStringLiteral("Пётр"),
          QStringLiteral("Петрович")}});
}

struct SessionCounts {
    int loads = 0;
    int saves = 0;
};

// One load of photo through "Добавить" and one removal through "Удалить".
inline bool loadAndRemovePicture(Session &session, const QString &photo)
{
    gui::modal::testing::queueFileName(photo);
    QTest::mouseClick(session.control<QPushButton>("AddImg"), Qt::LeftButton);
    session.waitForPicture();
    const bool loaded = !session.control<QPushButton>("AddImg")->isEnabled();
    QTest::mouseClick(session.control<QPushButton>("DelImg"), Qt::LeftButton);
    return loaded;
}

// Saves the passport (with a picture loaded) as package through the button.
inline bool savePassport(Session &session, const QString &photo, const QString &package)
{
    gui::modal::testing::queueFileName(photo);
    QTest::mouseClick(session.control<QPushButton>("AddImg"), Qt::LeftButton);
    session.waitForPicture();
    gui::modal::testing::queueFileName(package);
    QTest::mouseClick(session.control<QPushButton>("SaveButton"), Qt::LeftButton);
    const bool saved = gui::modal::testing::lastMessage().caption == QStringLiteral("Паспорт сохранен");
    QTest::mouseClick(session.control<QPushButton>("DelImg"), Qt::LeftButton);
    return saved && QFile::exists(package);
}

} // namespace tt
