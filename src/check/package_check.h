#pragma once

// One package as the committee's check sees it: every problem in plain
// words, and what a sound package gives to the participants' list and to
// the published pages.

#include "check/walk.h"
#include "core/result.h"
#include "save/completeness.h"
#include "save/package_reader.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Failure;

namespace check {

// One problem of a package, without words.
struct PackageProblem {
    enum Kind {
        Read,    // read: a problem the reader found
        Missing, // missing: what the window asks for before it saves
        NotRead, // the reader gave neither contents nor a problem
        Failed,  // reason: the check itself failed (the failure's summary)
    };
    Kind kind = Read;
    save::ReadProblem read{};
    QList<save::MissingItem> missing;
    QString reason;
};
using PackageProblems = QList<PackageProblem>;

// The problems of a package as read: the reader's own, then the items that
// the window asks for before it saves. Empty when the package is sound.
PackageProblems packageProblems(const save::ReadResult &read);

// A problem as the report shows it, in Russian, on one line, without a full
// stop at its end; the reader's problems read as the window's error box
// words them.
QString problemText(const PackageProblem &problem);
QStringList problemTexts(const PackageProblems &problems);

// One line without a line end: "<file>: OK" for a sound package, else
// "<file>: <problem>; <problem>". Line breaks and other control characters
// in the file's name or a problem become blanks, so that the report keeps
// one line per package.
QString reportLine(const QString &file, const QStringList &problems);

class Registrations;
class MemoryBudget;

// What a run asks of each sound package.
struct Wanted {
    bool participants = false; // rows for the participants' list
    bool pages = false;        // the published page, its picture, the index entry
    // Not null: every author and supervisor is matched against these.
    const Registrations *registrations = nullptr;
};

// How a package came out.
enum class Verdict {
    Sound,    // no problem at all
    Problems, // read, with problems
    Unread,   // could not be read: the check is incomplete
    Skipped,  // not a package: a link to a folder, not followed (note says so)
};

// Everything one package gives, ready to be written in input order.
struct Outcome {
    QString file; // the package as the report names it
    QString line; // the report line
    Verdict verdict = Verdict::Unread;
    QStringList problems; // as in the line; for an unread package, why
    QString note;         // Skipped: why
    QStringList ids;      // with registrations: the nine digits of every person's ID
    // The package itself is sound: it goes into the list and gets its page,
    // even when its people do not match the registrations.
    bool sound = false;
    QByteArray csvRows;      // participants' rows, UTF-8
    QByteArray indexRow;     // the package's entry in the index page
    QByteArray page;         // the package's page
    QByteArray picture;      // its picture file; empty without a picture
    QStringList written;     // the page files written, by name
    QStringList writeErrors; // pages that could not be written
};

// The outcome of a package already read. file is the name that the report
// and the participants' list show; pageName is the base name of its page and
// picture files; indexName how the index page names the package (file when
// empty). Never throws.
Outcome evaluate(const save::ReadResult &read, const QString &file, const QString &pageName, Wanted wanted,
                 const QString &indexName = QString());

// An outcome for what could not be read: its line says why.
Outcome unread(const QString &file, const QString &reason);

// The line of a link to a folder, which is not followed.
Outcome folderLink(const QString &file);

// Reads the package at the path's bytes as the reader's limits allow: only a
// regular file is read (a pipe or a device is never opened for reading in a
// way that could block), and nothing beyond the largest package. Fails with
// CannotOpenFile or CannotReadFile (file, number: errno; or name: "folder",
// "pipe", "socket" or "device" for what is not a file).
// beforeReading, when set, is told what reading the package may take (see
// packageReadingCost) before the reading that takes it.
[[nodiscard]] Result<save::ReadResult> readPackageFile(const QByteArray &path, const save::ReadOptions &options,
                                                       const std::function<void(qint64 cost)> &beforeReading = {});

// Why a package file could not be read, for its report line.
QString readFailureText(const Failure &failure);

// Reads the entry's package and evaluates it; with pages wanted, writes
// "<pageName>.html" and, with a picture, "<pageName>.jpg" into htmlFolder
// and then drops their bytes from the outcome. A page that cannot be written
// is reported in writeErrors and left out of the index. With a budget, the
// package reserves what reading it may take before it reads. Never throws:
// an unexpected failure becomes a problem of this package alone.
Outcome processPackage(const Entry &entry, const QString &pageName, Wanted wanted, const QString &htmlFolder,
                       MemoryBudget *budget = nullptr);

// The text of a failure to write a file, for the committee's report.
QString writeFailureText(const Failure &failure);

} // namespace check
