#pragma once

// Packages for the committee's check, made in the test: the data document as
// the program writes it, the picture as the program encodes it, packed as a
// ZIP of stored entries.

#include "fixtures.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/package_reader.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

namespace check_test {

// A complete passport with a picture: every author and supervisor has a
// surname, a name and a patronymic.
inline PassportSnapshot soundPassport(const QString &title = QStringLiteral("Весна в городе"))
{
    PassportSnapshot p = tt::fullPassport();
    p.title = title;
    p.authors[1].Patronymic = QStringLiteral("Сергеевна");
    p.hasPicture = true;
    p.picture = QImage(120, 80, QImage::Format_RGB32);
    p.picture.fill(QColor(Qt::red));
    return p;
}

inline QByteArray dataDocument(const PassportSnapshot &p) { return save::buildDataDocument(p, 1234567890); }

// The package's bytes: data.xml, and image.jpg when the passport has a
// picture (or the picture bytes given).
inline QByteArray packageBytes(const PassportSnapshot &p, const QByteArray &pictureFile = QByteArray())
{
    QList<std::pair<QString, QByteArray>> entries{{QStringLiteral("data.xml"), dataDocument(p)}};
    if (!pictureFile.isEmpty())
        entries.append({QStringLiteral("image.jpg"), pictureFile});
    else if (p.hasPicture)
        entries.append({QStringLiteral("image.jpg"), picture::encodeJpeg(p.picture)});
    return save::zipStored(entries).value();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A JPEG of one colour in the given size.
inline QByteArray jpegOfSize(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(Qt::blue));
    return picture::encodeJpeg(image);
}

} // namespace check_test
