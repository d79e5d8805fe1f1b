#pragma once

// A run of the committee's check over many packages: every core reads,
// results are written in input order, and only a bounded number of packages
// is in memory at any time.

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace check {

inline constexpr int kAllSound = 0;
inline constexpr int kSomeNotSound = 1;
inline constexpr int kUsageError = 2;

struct RunOptions {
    QStringList inputs;      // package files and folders
    QString participantsCsv; // empty: no participants' list
    QString htmlFolder;      // empty: no pages
    int threads = 0;         // 0: one per core
};

// The packages named by the inputs, in a stable order: each input in turn, a
// file as it is, a folder searched at every depth for files ending in ".kwp"
// (any case), sorted by path. A package reached twice is taken once. Inputs
// that do not exist go to missing.
QStringList findPackages(const QStringList &inputs, QStringList *missing);

// Checks every package, writes one report line per package to out and
// messages about the run to err. Returns kAllSound, kSomeNotSound (also when
// an output could not be written) or kUsageError (no package named, or the
// output folder cannot be made).
int run(const RunOptions &options, QIODevice &out, QIODevice &err);

} // namespace check
