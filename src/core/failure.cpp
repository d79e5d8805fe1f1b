#include "core/failure.h"

#include <QDir>

const char *failureCodeName(FailureCode code) noexcept
{
    switch (code) {
    case FailureCode::Unspecified:
        return "Unspecified";
    case FailureCode::CannotOpenFile:
        return "CannotOpenFile";
    case FailureCode::CannotCreateFile:
        return "CannotCreateFile";
    case FailureCode::CannotWriteFile:
        return "CannotWriteFile";
    case FailureCode::CannotCreateFolder:
        return "CannotCreateFolder";
    case FailureCode::CannotLockFile:
        return "CannotLockFile";
    case FailureCode::JpegError:
        return "JpegError";
    case FailureCode::PngError:
        return "PngError";
    case FailureCode::PictureTooLarge:
        return "PictureTooLarge";
    case FailureCode::FloatingPointDivision:
        return "FloatingPointDivision";
    case FailureCode::OutOfMemory:
        return "OutOfMemory";
    case FailureCode::Cancelled:
        return "Cancelled";
    }
    return "?";
}

Failure::Failure(FailureCode code, FailureDetails details) : code_(code), details_(std::move(details))
{
    // One line for the log: the code and whatever details it has.
    QString summary = QString::fromLatin1(failureCodeName(code_));
    if (!details_.file.isEmpty())
        summary += QStringLiteral(" file=\"%1\"").arg(details_.file);
    if (details_.number != 0)
        summary += QStringLiteral(" number=%1").arg(details_.number);
    if (details_.width != 0 || details_.height != 0)
        summary += QStringLiteral(" size=%1x%2").arg(details_.width).arg(details_.height);
    if (details_.limit != 0)
        summary += QStringLiteral(" limit=%1").arg(details_.limit);
    if (!details_.reason.isEmpty())
        summary += QStringLiteral(": ") + details_.reason;
    summary_ = summary.toUtf8();
}

QString Failure::message() const
{
    const FailureDetails &d = details_;
    switch (code_) {
    case FailureCode::Unspecified:
        return d.reason;
    case FailureCode::CannotOpenFile:
        return QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(d.file), d.reason);
    case FailureCode::CannotCreateFile:
    case FailureCode::CannotWriteFile:
        return QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(d.file), d.reason);
    case FailureCode::CannotCreateFolder:
        return QStringLiteral("Cannot create folder \"%1\". %2").arg(QDir::toNativeSeparators(d.file), d.reason);
    case FailureCode::CannotLockFile:
        return QStringLiteral("Cannot lock file \"%1\".").arg(QDir::toNativeSeparators(d.file));
    case FailureCode::JpegError:
        return QStringLiteral("JPEG error #%1").arg(d.number);
    case FailureCode::PngError:
        return QStringLiteral("PNG error: %1").arg(d.reason);
    case FailureCode::PictureTooLarge:
        return QStringLiteral("The picture is too large (%1 x %2 pixels)").arg(d.width).arg(d.height);
    case FailureCode::FloatingPointDivision:
        return QStringLiteral("Floating point division by zero");
    case FailureCode::OutOfMemory:
        return QStringLiteral("Out of memory");
    case FailureCode::Cancelled:
        return QStringLiteral("Cancelled");
    }
    return d.reason;
}
