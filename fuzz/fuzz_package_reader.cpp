// The package reader on arbitrary bytes: whatever the archive and its data
// document hold, reading ends with either contents or problems, never both
// and never neither, within the reader's bounds. A package that is read
// gives a data document that reads back to the same passport.

#include "save/data_document.h"
#include "save/package_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const save::ReadResult read = save::readPackageBytes(bytes);
    if (read.contents.has_value() == !read.problems.isEmpty())
        abort();
    if (!read.contents)
        return 0;

    // What was read is written again and read once more: the second reading
    // gives the same passport.
    const save::PackageContents &contents = *read.contents;
    const QByteArray document = save::BuildDataDocument(contents.passport, contents.savedAt);
    QList<std::pair<QString, QByteArray>> entries{{QStringLiteral("data.xml"), document}};
    if (!contents.pictureJpeg.isEmpty())
        entries.append({QStringLiteral("image.jpg"), contents.pictureJpeg});
    const save::ReadResult again = save::readPackageBytes(save::zipStored(entries));
    if (!again.contents)
        abort();
    PassportSnapshot first = contents.passport;
    PassportSnapshot second = again.contents->passport;
    if (!(first == second) || again.contents->savedAt != contents.savedAt)
        abort();
    return 0;
}
