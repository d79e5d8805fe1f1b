#pragma once

// One package as the committee's check sees it: every problem in plain
// words, and what a sound package gives to the participants' list and to
// the published pages.

#include "check/walk.h"
#include "save/package_reader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class Failure;

namespace check {

// The problems of a package as read: the reader's own, then the items that
// the window asks for before it saves. Empty when the package is sound.
QStringList packageProblems(const save::ReadResult &read);

// One line without a line end: "<file>: OK" for a sound package, else
// "<file>: <problem>; <problem>". Line breaks and other control characters
// in the file's name or a problem become blanks, so that the report keeps
// one line per package.
QString reportLine(const QString &file, const QStringList &problems);

class Registrations;

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
};

// Everything one package gives, ready to be written in input order.
struct Outcome {
    QString file; // the package as the report names it
    QString line; // the report line
    Verdict verdict = Verdict::Unread;
    QStringList problems; // as in the line; for an unread package, why
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

// Reads the package at the path's bytes as the reader's limits allow: only a
// regular file is read (a pipe or a device is never opened for reading in a
// way that could block), and nothing beyond the largest package. Unset when
// the file could not be read; reason then says why.
std::optional<save::ReadResult> readPackageFile(const QByteArray &path, const save::ReadOptions &options,
                                                QString *reason);

// Reads the entry's package and evaluates it; with pages wanted, writes
// "<pageName>.html" and, with a picture, "<pageName>.jpg" into htmlFolder
// and then drops their bytes from the outcome. A page that cannot be written
// is reported in writeErrors and left out of the index. Never throws: an
// unexpected failure becomes a problem of this package alone.
Outcome processPackage(const Entry &entry, const QString &pageName, Wanted wanted, const QString &htmlFolder);

// The text of a failure to write a file, for the committee's report.
QString writeFailureText(const Failure &failure);

} // namespace check
