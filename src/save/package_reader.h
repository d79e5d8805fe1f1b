#pragma once

// Reading a package back: the ZIP container (zip_archive.h), the data
// document (data_document.h) and the passport's rules (passport_checks.h),
// strictly. Whatever cannot be read becomes a problem (read_problem.h), and
// then nothing of the package is returned. Nothing is ever written while
// reading.

#include "core/passport.h"
#include "core/result.h"
#include "save/data_document.h"
#include "save/read_problem.h"
#include "save/zip_archive.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace save {

// What a package holds, as the window takes it back.
struct PackageContents {
    // Every field of the passport: the texts as stored (line breaks CR LF),
    // the section slots and the default section names, the season, the
    // authors and supervisors in order with the invoice recipient, the
    // picture (decoded from image.jpg) and its caption.
    PassportSnapshot passport;
    // image.jpg exactly as stored, so that a save can write it back
    // unchanged; empty without a picture.
    QByteArray pictureJpeg;
    // The data document's time stamp, in seconds since 1970.
    qint64 savedAt = 0;
};

struct ReadResult {
    // Set exactly when problems is empty.
    std::optional<PackageContents> contents;
    ReadProblems problems;
};

// How much of a package is read back.
struct ReadOptions {
    // Whether the picture is decoded into passport.picture, as the window
    // shows it. Without it the picture is only verified: all its coded data
    // are read, and every refusal is the same, problem for problem, but no
    // pixels are made (a fraction of the time); passport.picture then stays
    // null while hasPicture is true and pictureJpeg holds the file. For
    // readers that only check a package or copy its picture as it is.
    bool decodePicture = true;
    // What the file is: a package, whose description is at most 500
    // characters, or a draft, which keeps the description as typed.
    DocumentForm form = DocumentForm::Package;
};

// Reads the package file (refused above kMaxPackageSize), then as
// readPackageBytes.
ReadResult readPackage(const QString &path, const ReadOptions &options = {});
// Reads a package held in memory.
ReadResult readPackageBytes(const QByteArray &zip, const ReadOptions &options = {});

// readPackage as one Result: the contents, or Failure(PackageUnreadable)
// with the file and every problem found. The window reads packages and
// drafts through this.
[[nodiscard]] Result<PackageContents> openPackage(const QString &path, const ReadOptions &options = {});

} // namespace save
