#include "core/failure.h"

const char *failureCodeName(FailureCode code) noexcept
{
    switch (code) {
    case FailureCode::Unspecified:
        return "Unspecified";
    case FailureCode::CannotOpenFile:
        return "CannotOpenFile";
    case FailureCode::CannotReadFile:
        return "CannotReadFile";
    case FailureCode::CannotCreateFile:
        return "CannotCreateFile";
    case FailureCode::CannotWriteFile:
        return "CannotWriteFile";
    case FailureCode::CannotCreateFolder:
        return "CannotCreateFolder";
    case FailureCode::NoFreeFolderName:
        return "NoFreeFolderName";
    case FailureCode::NoFreeFileName:
        return "NoFreeFileName";
    case FailureCode::JpegError:
        return "JpegError";
    case FailureCode::PngHeaderUnreadable:
        return "PngHeaderUnreadable";
    case FailureCode::PngTooLarge:
        return "PngTooLarge";
    case FailureCode::PngDataUnreadable:
        return "PngDataUnreadable";
    case FailureCode::PictureTooLarge:
        return "PictureTooLarge";
    case FailureCode::FloatingPointDivision:
        return "FloatingPointDivision";
    case FailureCode::OutOfMemory:
        return "OutOfMemory";
    case FailureCode::ArchiverNotFound:
        return "ArchiverNotFound";
    case FailureCode::ArchiverNotStarted:
        return "ArchiverNotStarted";
    case FailureCode::ArchiverTimedOut:
        return "ArchiverTimedOut";
    case FailureCode::ArchiverCrashed:
        return "ArchiverCrashed";
    case FailureCode::ArchiverFailed:
        return "ArchiverFailed";
    case FailureCode::ArchiveNotWritten:
        return "ArchiveNotWritten";
    case FailureCode::PackageTooLarge:
        return "PackageTooLarge";
    case FailureCode::PackageUnreadable:
        return "PackageUnreadable";
    case FailureCode::PackageEntryCount:
        return "PackageEntryCount";
    case FailureCode::PackageEntryMissing:
        return "PackageEntryMissing";
    case FailureCode::PackageEntryDiffers:
        return "PackageEntryDiffers";
    case FailureCode::PackageEntryCompressed:
        return "PackageEntryCompressed";
    case FailureCode::Cancelled:
        return "Cancelled";
    case FailureCode::ArchiveNotBuilt:
        return "ArchiveNotBuilt";
    case FailureCode::PictureTooBig:
        return "PictureTooBig";
    case FailureCode::PictureTooCostly:
        return "PictureTooCostly";
    }
    return "?";
}

Failure::Failure(FailureCode code, FailureDetails details) : code_(code), details_(std::move(details))
{
    // One line for the log: the code and whatever details it has.
    QString summary = QString::fromLatin1(failureCodeName(code_));
    if (!details_.file.isEmpty())
        summary += QStringLiteral(" file=\"%1\"").arg(details_.file);
    if (!details_.name.isEmpty())
        summary += QStringLiteral(" name=\"%1\"").arg(details_.name);
    if (details_.number != 0)
        summary += QStringLiteral(" number=%1").arg(details_.number);
    if (details_.width != 0 || details_.height != 0)
        summary += QStringLiteral(" size=%1x%2").arg(details_.width).arg(details_.height);
    if (details_.limit != 0)
        summary += QStringLiteral(" limit=%1").arg(details_.limit);
    for (const core::ReadProblem &problem : details_.problems)
        summary += QStringLiteral(" problem=%1").arg(int(problem.code));
    if (!details_.reason.isEmpty())
        summary += QStringLiteral(": ") + details_.reason;
    summary_ = summary.toUtf8();
}
