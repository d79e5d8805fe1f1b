#pragma once

#include <QString>
#include <exception>

// What went wrong, without words. The text a person reads is built where the
// failure is shown (the window's error box, the committee tool's report), so
// that the same failure can be worded for each reader and logged as it is.
enum class FailureCode {
    Unspecified,           // a failure from outside the program's own code
    CannotOpenFile,        // file, reason: the system's reason
    CannotCreateFile,      // file, reason
    CannotWriteFile,       // file, reason
    CannotCreateFolder,    // file: the folder, reason
    CannotLockFile,        // file: the file a lock was wanted for
    JpegError,             // number: libjpeg's message number (J_MESSAGE_CODE)
    PngError,              // reason: libpng's own message
    PictureTooLarge,       // width, height, limit (pixels)
    FloatingPointDivision, // a picture whose size makes the reduction divide by zero
    OutOfMemory,
    Cancelled, // the work was abandoned: nobody waits for its result any more
};

// The details a failure carries; each code documents which fields it uses.
struct FailureDetails {
    QString file;     // the file concerned, as the program named it
    QString reason;   // the system's or a library's own reason, as it gave it
    int number = 0;   // a library's message number
    qint64 width = 0; // sizes, where the failure is about a size
    qint64 height = 0;
    qint64 limit = 0;
};

// A failure that ends the running handler. It carries its code and details;
// what() is a plain summary for the log, never the text shown to a person.
class Failure : public std::exception {
public:
    explicit Failure(FailureCode code, FailureDetails details = {});
    // Transitional: a failure with a ready-made text in reason. New code
    // throws a code with its details instead.
    explicit Failure(QString message) : Failure(FailureCode::Unspecified, FailureDetails{{}, std::move(message)}) {}

    FailureCode code() const noexcept { return code_; }
    const FailureDetails &details() const noexcept { return details_; }
    // Transitional: the English text the error box has always shown for the
    // failure. Callers are moving to build their own text from code() and
    // details(); this goes once none is left.
    QString message() const;
    const char *what() const noexcept override { return summary_.constData(); }

private:
    FailureCode code_;
    FailureDetails details_;
    QByteArray summary_;
};

// The name of a code, for logs and test messages ("CannotOpenFile").
const char *failureCodeName(FailureCode code) noexcept;
