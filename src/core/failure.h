#pragma once

#include "core/read_problem.h"

#include <QString>
#include <exception>

// What went wrong, without words. The text a person reads is built where the
// failure is shown (the window's error box, the committee tool's report), so
// that the same failure can be worded for each reader and logged as it is.
enum class FailureCode {
    Unspecified,           // reason: a failure from outside the program's own code
    CannotOpenFile,        // file, reason: the system's reason
    CannotReadFile,        // file, reason
    CannotCreateFile,      // file, reason
    CannotWriteFile,       // file, reason
    CannotCreateFolder,    // file: the folder, reason
    NoFreeFolderName,      // file: the first name tried; every numbered one is taken
    NoFreeFileName,        // file: the first name tried; every numbered one is taken or locked
    JpegError,             // number: libjpeg's message number (J_MESSAGE_CODE)
    PngHeaderUnreadable,   // the PNG header gives no size
    PngTooLarge,           // width, height, limit (megapixels)
    PngDataUnreadable,     // reason: the decoder's reason
    PictureTooLarge,       // width, height, limit (pixels)
    FloatingPointDivision, // a picture whose size makes the reduction divide by zero
    OutOfMemory,
    ArchiverNotFound,       // no archiver program is known
    ArchiverNotStarted,     // file: the archiver, reason
    ArchiverTimedOut,       // limit: the time limit in milliseconds
    ArchiverCrashed,        // file: the archiver
    ArchiverFailed,         // file: the archiver, number: its exit status
    ArchiveNotWritten,      // file: where the archiver was to write
    PackageTooLarge,        // file, limit (bytes)
    PackageUnreadable,      // file, problems: every problem the reader found
    PackageEntryCount,      // file, number: entries found, limit: entries expected
    PackageEntryMissing,    // file, name: the entry
    PackageEntryDiffers,    // file, name
    PackageEntryCompressed, // file, name
    Cancelled,              // the work was abandoned: nobody waits for its result any more
    ArchiveNotBuilt,        // reason: libzip's reason for an archive built in memory
    PictureTooBig,          // width, height, limit (pixels a file of that size may declare)
    PictureTooCostly,       // limit: the units of work a file of that size may take
};

// The details a failure carries; each code documents which fields it uses.
struct FailureDetails {
    QString file;     // the file concerned, as the program named it
    QString reason;   // the system's or a library's own reason, as it gave it
    int number = 0;   // a library's message number, a count or a status
    qint64 width = 0; // sizes, where the failure is about a size
    qint64 height = 0;
    qint64 limit = 0;
    QString name;                      // a name inside the file: an archive's entry
    QList<core::ReadProblem> problems; // why a package cannot be read
};

// A failure that ends the running handler, or that a step hands back to its
// caller. It carries its code and details; what() is a plain summary for the
// log, never the text shown to a person.
class Failure : public std::exception {
public:
    explicit Failure(FailureCode code, FailureDetails details = {});

    FailureCode code() const noexcept { return code_; }
    const FailureDetails &details() const noexcept { return details_; }
    const char *what() const noexcept override { return summary_.constData(); }

private:
    FailureCode code_;
    FailureDetails details_;
    QByteArray summary_;
};

// The name of a code, for logs and test messages ("CannotOpenFile").
const char *failureCodeName(FailureCode code) noexcept;
