#pragma once

// Shared fixtures of the package reader's tests: passports, documents,
// pictures and hand-made archives.

#include "core/passport.h"
#include "save/data_document.h"
#include "save/package_reader.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace rf {

inline constexpr qint64 kTime = 1233446400;

// A participant ID with correct check digits, from its first seven digits.
QString validId(const QString &seven);
TPersonRecord person(const QString &seven, const QString &surname, const QString &name, const QString &patronymic);
QImage testPicture(int width, int height);
PassportSnapshot emptyPassport();
// Every field filled: ten authors, three supervisors of whom the third
// receives the invoice, four sections, a picture with its caption.
PassportSnapshot fullPassport();
// The full passport changed for one kind of round trip.
PassportSnapshot passportFor(const QString &kind);
// The passport as the document carries it: trimmed where the writer trims,
// the description as published.
PassportSnapshot asStored(PassportSnapshot p);

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
QByteArray makeZip(const QList<ZipItem> &items);
// Sets the uncompressed size of every entry, in local and central headers
// alike, so that the archive stays consistent.
QByteArray withDeclaredSize(QByteArray zip, quint32 size);
// Marks every entry as encrypted, in local and central headers alike.
QByteArray withEncryptionFlag(QByteArray zip);

QByteArray document(const PassportSnapshot &p);
QByteArray jpegOf(int width, int height);

// The picture refusals, each with (part of) its message.
struct PictureCase {
    const char *name;
    QByteArray jpeg;
    QString problem;
};

QList<PictureCase> pictureRefusals();

// A picture encoded with libjpeg directly: greyscale or colour (4:4:4 when
// not reduced), baseline or progressive.
QByteArray jpegWith(const QImage &image, bool grey, bool progressive);
// A package of the program's format, made in memory.
QByteArray package(const QByteArray &data, const QByteArray &jpeg = QByteArray());
// The full passport's document with one piece replaced.
QByteArray edited(const QByteArray &before, const QByteArray &after);

// The read's problems as sentences.
QStringList texts(const save::ReadResult &read);
// Empty when read refused the package with as many problems as given, each
// sentence containing its part, in order; otherwise what differs.
QString refusalMismatch(const save::ReadResult &read, const QStringList &problems);

} // namespace rf
