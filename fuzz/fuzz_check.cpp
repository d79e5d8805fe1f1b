// The committee's check of one package from arbitrary bytes: the package
// reader, the completeness rules, the report line, the participants' rows,
// the published page and the index entry. The first byte chooses whether
// the rest is the whole package file or only its data document (packed
// here with a small picture), so that the document's parser is reached
// often. The report must stay on one line, and a sound package must give a
// row per participant, a page and an index entry.

#include "check/package_check.h"
#include "picture/jpeg_codec.h"
#include "save/package_reader.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <cstddef>
#include <cstdint>

namespace {

QByteArray smallJpeg()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(QColor(Qt::red));
    return picture::encodeJpeg(image);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const QByteArray picture = smallJpeg();
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QByteArray package;
    switch (data[0] % 3) {
    case 0:
        package = rest;
        break;
    case 1:
        package = save::zipStored({{QStringLiteral("data.xml"), rest}}).value();
        break;
    default:
        package = save::zipStored({{QStringLiteral("data.xml"), rest}, {QStringLiteral("image.jpg"), picture}}).value();
        break;
    }

    // As the tool reads: the picture verified, not decoded.
    save::ReadOptions options;
    options.decodePicture = false;
    const save::ReadResult read = save::readPackageBytes(package, options);
    const check::Outcome outcome =
        check::evaluate(read, QStringLiteral("пакет.kwp"), QStringLiteral("пакет"), {true, true});
    if (outcome.line.contains(QLatin1Char('\n')) || outcome.line.contains(QLatin1Char('\r')))
        __builtin_trap();
    if (outcome.sound != outcome.line.endsWith(QStringLiteral(": OK")))
        __builtin_trap();
    if (outcome.sound) {
        const PassportSnapshot &p = read.contents->passport;
        // Every row ends in CR LF; quoted fields may hold more line breaks,
        // so count at least one row per participant.
        if (outcome.csvRows.count("\r\n") < p.authors.size() + p.teachers.size())
            __builtin_trap();
        if (outcome.page.isEmpty() || outcome.indexRow.isEmpty())
            __builtin_trap();
        if (p.hasPicture != !outcome.picture.isEmpty())
            __builtin_trap();
    }
    return 0;
}
