#include "save/package_reader.h"

#include "save/passport_checks.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace save {
namespace {

const QString kDocumentName = QStringLiteral("data.xml");
const QString kPictureName = QStringLiteral("image.jpg");

ReadResult refused(ReadProblem problem)
{
    ReadResult result;
    result.problems.append(std::move(problem));
    return result;
}

} // namespace

ReadResult readPackageBytes(const QByteArray &zip, const ReadOptions &options)
{
    if (zip.size() > kMaxPackageSize)
        return refused({.code = ReadProblemCode::FileTooLarge, .number = zip.size(), .limit = kMaxPackageSize});
    ZipReadResult archive = readZipEntries(zip, std::max(kMaxDocumentSize, kMaxPictureFileSize), kMaxPackageEntries);
    ReadResult result;
    if (!archive.problems.isEmpty()) {
        result.problems = archive.problems;
        return result;
    }

    const ZipEntry *document = nullptr;
    const ZipEntry *jpeg = nullptr;
    for (const ZipEntry &entry : archive.entries) {
        if (entry.name == kDocumentName)
            document = &entry;
        else if (entry.name == kPictureName)
            jpeg = &entry;
        else
            result.problems.push_back({ReadProblemCode::ForeignEntry, entry.name});
    }
    if (!result.problems.isEmpty())
        return result;
    if (!document)
        return refused({ReadProblemCode::NoDocument});
    if (jpeg && jpeg->data.size() > kMaxPictureFileSize)
        return refused(
            {.code = ReadProblemCode::PictureFileTooLarge, .number = jpeg->data.size(), .limit = kMaxPictureFileSize});

    Result<StoredDocument> parsed = parseDataDocument(document->data);
    if (!parsed) {
        result.problems = parsed.error().details().problems;
        return result;
    }
    const StoredDocument &stored = *parsed;

    PackageContents contents;
    PassportSnapshot &p = contents.passport;
    ReadProblems &problems = result.problems;
    checkDocument(stored, options.form, p, contents.savedAt, problems);
    if (jpeg) {
        checkPicture(jpeg->data, options.decodePicture, p, problems);
        contents.pictureJpeg = jpeg->data;
        p.pictureJpeg = jpeg->data;
    } else {
        if (!p.pictureCaption.isEmpty())
            problems.push_back({ReadProblemCode::CaptionWithoutPicture});
        p.pictureCaption.clear();
    }

    if (problems.isEmpty())
        result.contents = std::move(contents);
    return result;
}

Result<PackageContents> openPackage(const QString &path, const ReadOptions &options)
{
    ReadResult read = readPackage(path, options);
    if (!read.contents)
        return Unexpected(
            Failure(FailureCode::PackageUnreadable, {.file = path, .problems = std::move(read.problems)}));
    return std::move(*read.contents);
}

ReadResult readPackage(const QString &path, const ReadOptions &options)
{
    const QFileInfo info(path);
    // Only a plain file is opened: a pipe or a device could block or never
    // end.
    if (!info.exists())
        return refused({ReadProblemCode::FileNotFound, path});
    if (!info.isFile())
        return refused({ReadProblemCode::NotAFile, path});
    if (info.size() > kMaxPackageSize)
        return refused({.code = ReadProblemCode::FileTooLarge, .number = info.size(), .limit = kMaxPackageSize});
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused({.code = ReadProblemCode::FileNotOpened, .name = path, .reason = file.errorString()});
    // Read at most one byte beyond the limit, in case the file has grown.
    const QByteArray bytes = file.read(kMaxPackageSize + 1);
    if (file.error() != QFileDevice::NoError)
        return refused({.code = ReadProblemCode::FileNotRead, .name = path, .reason = file.errorString()});
    return readPackageBytes(bytes, options);
}

} // namespace save
