#pragma once

// One package as the committee's check sees it: every problem in plain
// words, and what a sound package gives to the participants' list and to
// the published pages.

#include "save/completeness.h"
#include "save/package_reader.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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

// The report's text for a failure of the run (an output that cannot be
// written).
QString failureText(const Failure &failure);

// One line without a line end: "<file>: OK" for a sound package, else
// "<file>: <problem>; <problem>". Line breaks and other control characters
// in the file's name or a problem become blanks, so that the report keeps
// one line per package.
QString reportLine(const QString &file, const QStringList &problems);

// What a run asks of each sound package.
struct Wanted {
    bool participants = false; // rows for the participants' list
    bool pages = false;        // the published page, its picture, the index entry
};

// Everything one package gives, ready to be written in input order.
struct Outcome {
    QString line; // the report line
    bool sound = false;
    QByteArray csvRows;      // participants' rows, UTF-8
    QByteArray indexRow;     // the package's entry in the index page
    QByteArray page;         // the package's page
    QByteArray picture;      // its picture file; empty without a picture
    QStringList writeErrors; // pages that could not be written
};

// The outcome of a package already read. file is the name that the report
// and the participants' list show; pageName is the base name of its page and
// picture files. Never throws.
Outcome evaluate(const save::ReadResult &read, const QString &file, const QString &pageName, Wanted wanted);

// Reads the package file and evaluates it; with pages wanted, writes
// "<pageName>.html" and, with a picture, "<pageName>.jpg" into htmlFolder
// and then drops their bytes from the outcome. A page that cannot be written
// is reported in writeErrors and left out of the index. Never throws: an
// unexpected failure becomes a problem of this package alone.
Outcome processPackage(const QString &path, const QString &file, const QString &pageName, Wanted wanted,
                       const QString &htmlFolder);

} // namespace check
