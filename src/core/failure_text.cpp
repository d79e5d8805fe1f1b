#include "core/failure_text.h"

#include <QDir>

namespace core {

QString failureText(const Failure &failure)
{
    const FailureDetails &d = failure.details();
    const QString file = QDir::toNativeSeparators(d.file);
    switch (failure.code()) {
    case FailureCode::Unspecified:
        return d.reason;
    case FailureCode::CannotOpenFile:
        return QStringLiteral("Cannot open file \"%1\". %2").arg(file, d.reason);
    case FailureCode::CannotReadFile:
        return QStringLiteral("Cannot read file \"%1\". %2").arg(file, d.reason);
    case FailureCode::CannotCreateFile:
    case FailureCode::CannotWriteFile:
        return QStringLiteral("Cannot create file \"%1\". %2").arg(file, d.reason);
    case FailureCode::CannotCreateFolder:
        return QStringLiteral("Cannot create folder \"%1\". %2").arg(file, d.reason);
    case FailureCode::NoFreeFolderName:
        return QStringLiteral("Cannot create folder \"%1\": every name is taken").arg(file);
    case FailureCode::NoFreeFileName:
        return QStringLiteral("Cannot create file \"%1\": every name is taken").arg(file);
    case FailureCode::Cancelled:
        return QStringLiteral("Cancelled");
    case FailureCode::ArchiveNotBuilt:
        return QStringLiteral("The archive could not be built: %1").arg(d.reason);
    case FailureCode::JpegError:
        return QStringLiteral("JPEG error #%1").arg(d.number);
    case FailureCode::PngHeaderUnreadable:
        return QStringLiteral("PNG error: the header cannot be read");
    case FailureCode::PngTooLarge:
        return QStringLiteral("PNG error: the picture is too large (%1 x %2 pixels; at most %3 megapixels)")
            .arg(d.width)
            .arg(d.height)
            .arg(d.limit);
    case FailureCode::PngDataUnreadable:
        return QStringLiteral("PNG error: the picture data cannot be read (%1)").arg(d.reason);
    case FailureCode::PictureTooLarge:
        return QStringLiteral("The picture is too large (%1 x %2 pixels)").arg(d.width).arg(d.height);
    case FailureCode::FloatingPointDivision:
        return QStringLiteral("Floating point division by zero");
    case FailureCode::OutOfMemory:
        return QStringLiteral("Out of memory");
    case FailureCode::ArchiverNotFound:
        return QStringLiteral("No archiver was found");
    case FailureCode::ArchiverNotStarted:
        return QStringLiteral("The archiver \"%1\" could not be started: %2").arg(file, d.reason);
    case FailureCode::ArchiverTimedOut:
        return QStringLiteral("The archiver did not finish within %1 ms").arg(d.limit);
    case FailureCode::ArchiverCrashed:
        return QStringLiteral("The archiver \"%1\" crashed").arg(file);
    case FailureCode::ArchiverFailed:
        return QStringLiteral("The archiver \"%1\" exited with status %2").arg(file).arg(d.number);
    case FailureCode::ArchiveNotWritten:
        return QStringLiteral("The archiver wrote no file at \"%1\"").arg(file);
    case FailureCode::PackageTooLarge:
        return QStringLiteral("The package \"%1\" is larger than any package").arg(file);
    case FailureCode::PackageUnreadable:
    case FailureCode::PackageEntryCount:
    case FailureCode::PackageEntryMissing:
    case FailureCode::PackageEntryDiffers:
    case FailureCode::PackageEntryCompressed:
        return QStringLiteral("The package \"%1\" does not hold the files written").arg(file);
    // A picture refused by the reading budget (picture/budget.h).
    case FailureCode::PictureTooBig:
        return QStringLiteral("Картинка слишком велика: %1 × %2 пикселей, а в файле такого размера "
                              "их может быть не больше %3 млн")
            .arg(d.width)
            .arg(d.height)
            .arg(QString::number(double(d.limit) / 1e6, 'f', 1));
    case FailureCode::PictureTooCostly:
        return QStringLiteral("Картинка слишком сложна: на её разбор ушло бы больше работы, чем на любую "
                              "фотографию в файле такого размера");
    }
    // Every code has its sentence above; the code's name stands in for one
    // that is missing, never the log's summary.
    return QString::fromLatin1(failureCodeName(failure.code()));
}

QString reportFailureText(const Failure &failure, const ReportWording &wording)
{
    const FailureDetails &details = failure.details();
    const QString reason =
        details.number != 0 && wording.systemReason ? wording.systemReason(details.number) : details.reason;
    const QString file = wording.file ? wording.file(details.file) : details.file;
    return QStringLiteral("не удалось записать файл «%1»: %2").arg(file, reason);
}

} // namespace core
