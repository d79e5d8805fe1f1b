// Reading a draft back for restoring: as much of it as is sound. A draft
// whose picture is damaged still gives its texts, and a draft cut short
// still gives its data document when that came whole before the cut.

#include "drafts/draft.h"
#include "drafts/draft_files.h"
#include "save/zip_archive.h"

#include <QFile>

#include <array>

namespace drafts {

namespace {

const QString kDocumentName = QStringLiteral("data.xml");
const QString kPictureName = QStringLiteral("image.jpg");

quint32 crc32Of(QByteArrayView bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes)
        crc = table[(crc ^ quint8(byte)) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

quint32 little(const QByteArray &bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

// The data document of a draft whose archive cannot be read as a whole (cut
// short, its end damaged): the first entry, when it is data.xml, stored, with
// its sizes in its header and its data whole by its CRC. Empty otherwise.
// followedByPicture tells whether the picture's entry began after it.
QByteArray leadingDocument(const QByteArray &zip, bool *followedByPicture)
{
    constexpr qsizetype kHeader = 30;
    if (zip.size() < kHeader || little(zip, 0, 4) != 0x04034b50u)
        return {};
    const quint32 flags = little(zip, 6, 2), method = little(zip, 8, 2), crc = little(zip, 14, 4);
    const qsizetype packed = little(zip, 18, 4), size = little(zip, 22, 4);
    const qsizetype nameLength = little(zip, 26, 2), extraLength = little(zip, 28, 2);
    if ((flags & 0x0008) != 0 || method != 0 || packed != size || size > save::kMaxDocumentSize)
        return {};
    if (zip.mid(kHeader, nameLength) != kDocumentName.toUtf8())
        return {};
    const qsizetype start = kHeader + nameLength + extraLength;
    if (start + size > zip.size())
        return {};
    const QByteArray document = zip.mid(start, size);
    if (crc32Of(document) != crc)
        return {};
    const qsizetype next = start + size;
    *followedByPicture = zip.size() >= next + kHeader && little(zip, next, 4) == 0x04034b50u
                         && zip.mid(next + kHeader, little(zip, next + 26, 2)) == kPictureName.toUtf8();
    return document;
}

} // namespace

DraftReading readDraft(const QString &path, bool decodePicture)
{
    const save::ReadOptions options{.decodePicture = decodePicture, .form = save::DocumentForm::Draft};
    DraftReading reading;
    save::ReadResult whole = save::readPackage(path, options);
    if (whole.contents) {
        reading.contents = std::move(whole.contents);
        return reading;
    }
    reading.problems = whole.problems;

    // The texts alone, from the data document as the draft holds it.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > save::kMaxPackageSize)
        return reading;
    const QByteArray zip = file.readAll();
    QByteArray document;
    bool hadPicture = false;
    const save::ZipReadResult archive = save::readZipEntries(zip);
    if (archive.problems.isEmpty()) {
        for (const save::ZipEntry &entry : archive.entries) {
            if (entry.name == kDocumentName)
                document = entry.data;
            else if (entry.name == kPictureName)
                hadPicture = true;
        }
    } else {
        // Whatever followed the document is lost, the picture with it.
        document = leadingDocument(zip, &hadPicture);
    }
    if (document.isEmpty())
        return reading;
    const Result<QByteArray> alone = save::zipStored({{kDocumentName, document}});
    if (!alone)
        return reading;
    const save::ReadResult texts = save::readPackageBytes(*alone, options);
    if (!texts.contents)
        return reading;
    reading.contents = texts.contents;
    reading.pictureLost = hadPicture;
    return reading;
}

} // namespace drafts
