// The package reader on arbitrary bytes, taken as a package, or as its data
// document when they do not start like a ZIP archive. Whatever they hold,
// reading ends with either contents or problems, never both and never
// neither, within the reader's bounds, and the same problems whether the
// picture is decoded or only verified. A package that is read and written
// again reads back to the same document and picture.

#include "save/data_document.h"
#include "save/package_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // Input that does not start like a ZIP archive is taken as the data
    // document and packed here: the archive's CRCs would otherwise stop
    // nearly every change from reaching the document's reader.
    if (!bytes.startsWith("PK"))
        bytes = save::zipStored({{QStringLiteral("data.xml"), bytes}}).value();
    const save::ReadResult read = save::readPackageBytes(bytes);
    if (read.contents.has_value() == !read.problems.isEmpty())
        abort();
    // Verifying the picture instead of decoding it refuses exactly the same.
    save::ReadOptions verifyOnly;
    verifyOnly.decodePicture = false;
    if (save::readPackageBytes(bytes, verifyOnly).problems != read.problems)
        abort();
    if (!read.contents)
        return 0;

    // What was read is written again and read once more: the second
    // reading writes the same document and holds the same picture. (The
    // passports themselves may differ where a package not made by the
    // program holds what the writer trims or cuts.)
    const save::PackageContents &contents = *read.contents;
    const QByteArray document = save::buildDataDocument(contents.passport, contents.savedAt);
    QList<std::pair<QString, QByteArray>> entries{{QStringLiteral("data.xml"), document}};
    if (!contents.pictureJpeg.isEmpty())
        entries.append({QStringLiteral("image.jpg"), contents.pictureJpeg});
    const save::ReadResult again = save::readPackageBytes(save::zipStored(entries).value());
    if (!again.contents)
        abort();
    if (save::buildDataDocument(again.contents->passport, again.contents->savedAt) != document
        || again.contents->pictureJpeg != contents.pictureJpeg
        || again.contents->passport.picture != contents.passport.picture)
        abort();
    return 0;
}
