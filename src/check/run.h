#pragma once

// A run of the committee's check over many packages: every core reads,
// results are written in input order, and only a bounded number of packages
// is in memory at any time.

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
    QList<QByteArray> inputs; // package files and folders, by their bytes
    QString participantsCsv;  // empty: no participants' list
    QString htmlFolder;       // empty: no pages
    QString registrations;    // empty: no matching against registration records
    int threads = 0;          // 0: one per core
    bool quiet = false;       // report only the packages that are not sound
    Format format = Format::Text;
};

// The report device for a file descriptor: each write goes to the system at
// once and whole, so that an interrupted run ends on a whole line; a write
// that fails is remembered with its errno (EPIPE: the reader has gone).
class DescriptorDevice : public QIODevice {
public:
    explicit DescriptorDevice(int handle);
    bool isSequential() const override { return true; }
    int lastError() const { return lastError_; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    int handle_;
    int lastError_ = 0;
};

// One package as the JSON Lines report has it, without the line end.
QByteArray jsonLine(const QString &path, bool ok, const QStringList &problems);

// Checks every package, writes one report line per package to out and
// messages about the run to err, ending with the summary line. Returns
// kAllSound, kSomeNotSound, or kIncomplete when something could not be read
// or written (the other outputs are still written), or kUsageError before
// anything is written (no package named, an output that would replace an
// input, registrations that cannot be read, an output folder that cannot
// be made).
int run(const RunOptions &options, QIODevice &out, QIODevice &err);

} // namespace check
