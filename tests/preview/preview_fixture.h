#pragma once

// What the preview tests share: a temporary folder of their own, a browser
// that only records, and loading a picture through the window.

#include "tirlada_test.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QUrl>

namespace preview_test {

// Redirects the temporary folder and the browser while it lives.
struct Redirect {
    QTemporaryDir root;
    QString folder; // with a trailing separator, as the platform gives it
    QList<QUrl> opened;

    Redirect()
    {
        folder = root.path() + QStringLiteral("/tmp/");
        QDir().mkpath(folder);
        platform::testing::setTempFolder(folder);
        platform::testing::setBrowser([this](const QUrl &url) {
            opened.append(url);
            return true;
        });
    }
    ~Redirect()
    {
        platform::testing::setTempFolder(QString());
        platform::testing::setBrowser(nullptr);
    }
    QString path(const QString &name) const { return folder + name; }
    // Makes name unwritable in the temporary folder: "beneath file" moves the
    // folder beneath a regular file, "folder" puts a folder in name's place.
    bool block(const QString &cause, const QString &name)
    {
        if (cause != QLatin1String("beneath file"))
            return QDir().mkpath(path(name));
        const QString file = root.path() + QStringLiteral("/plain");
        QFile plain(file);
        if (!plain.open(QIODevice::WriteOnly) || plain.write("x") != 1)
            return false;
        folder = file + QStringLiteral("/tmp/");
        platform::testing::setTempFolder(folder);
        return true;
    }
    QUrl pageUrl() const { return QUrl::fromLocalFile(path(QStringLiteral("prewiev.html"))); }
};

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

inline QString fromWindows1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

// The page file's lines, decoded; every line must end in CR LF.
inline QStringList pageLines(const QString &path)
{
    QString text = fromWindows1251(readAll(path));
    if (!text.endsWith(QLatin1String("\r\n")))
        return {QStringLiteral("<page does not end in CR LF>")};
    text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A plain JPEG of one colour.
inline bool writeJpeg(const QString &path, int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path, "JPG", 95);
}

// Loads the picture file through the picture tab's add button. True when
// the window now holds a picture.
inline bool loadPicture(tt::Session &session, const QString &file)
{
    gui::modal::testing::queueFileName(file);
    auto *add = session.control<QPushButton>("AddImg");
    add->click();
    session.waitForPicture();
    return !add->isEnabled();
}

} // namespace preview_test
