#pragma once

// A run of the committee's check over many packages: every core reads,
// results are written in input order, and only a bounded number of packages
// is in memory at any time.

#include "check/report.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

namespace check {

// The exit statuses.
inline constexpr int kAllSound = 0;     // every package is sound
inline constexpr int kSomeNotSound = 1; // some package has problems
inline constexpr int kUsageError = 2;   // a usage error, or something could not be read or written
inline constexpr int kIncomplete = 2;

enum class Format {
    Text,  // "<file>: OK" or "<file>: <problem>; <problem>"
    Jsonl, // {"path": "...", "ok": true, "problems": []}
};

struct RunOptions {
    QList<QByteArray> inputs;    // package files and folders, by their bytes
    QString participantsCsv;     // empty: no participants' list
    QString htmlFolder;          // empty: no pages
    QString registrations;       // empty: no matching against registration records
    QString registrationsReport; // empty: no list of the registered who are in no package
    QByteArray pathList;         // the file --files-from read, when not the standard input
    int threads = 0;             // 0: one per core
    bool quiet = false;          // report only the packages that are not sound
    Format format = Format::Text;
};

// Checks every package, writes one report line per package to out and
// messages about the run to err, ending with the summary line. Returns
// kAllSound, kSomeNotSound, or kIncomplete when something could not be read
// or written (the other outputs are still written), or kUsageError before
// anything is written (no package named, an output that would replace an
// input, registrations that cannot be read, an output folder that cannot
// be made, a pages folder that another run holds).
int run(const RunOptions &options, QIODevice &out, QIODevice &err);

} // namespace check
