#pragma once

// The draft: while the passport holds input that is not saved, a copy of it
// is kept as a package in the user's data folder, so that a crash or a power
// cut loses nothing. Each running program keeps one draft of its own, named
// after its process and guarded by a lock file; a draft whose lock nobody
// holds was left by a program that ended without saving.

#include "core/failure.h"
#include "core/passport.h"
#include "core/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;

namespace drafts {

// <the user's data folder>/drafts
QString draftFolder();

// The draft's bytes: a package with data.xml and, with a picture, image.jpg.
// pictureJpeg is the picture's file as it stands; when it is empty and the
// passport has a picture, the picture is encoded here.
QByteArray draftPackage(const PassportSnapshot &passport, const QByteArray &pictureJpeg, qint64 seconds);

// Where a draft's passport came from, written beside the draft as
// "draft-<process>.json": the package it was opened from or saved as, and
// that passport's fingerprint, so that a restored draft can still tell its
// unsaved input from what is in the package.
struct DraftOrigin {
    QString package;          // absolute path; empty when never opened or saved
    QByteArray packageMd5;    // the package file's MD5 (hex) when it was opened or saved
    QByteArray savedPassport; // save::passportFingerprint() of the passport as opened or saved
    bool unsaved = true;      // the draft differs from that passport

    bool operator==(const DraftOrigin &) const = default;
};

// The file's MD5 in hex, or why it cannot be read (a file larger than a
// package is not read).
[[nodiscard]] Result<QByteArray> fileMd5(const QString &path);

// The side file that holds a draft's origin.
QString originPath(const QString &draftPath);
// The origin written beside the draft; nothing when there is none or it
// cannot be read.
std::optional<DraftOrigin> readOrigin(const QString &draftPath);

// Keeps this program's draft up to date. Writes happen on a thread of their
// own: submit() only hands the passport over and returns at once. Writes
// that pile up while one runs collapse into the newest. Every write replaces
// the draft in one rename, so the draft on disk is always whole.
class DraftKeeper {
public:
    explicit DraftKeeper(const QString &folder);
    // Waits for the write in flight; the draft file stays.
    ~DraftKeeper();
    DraftKeeper(const DraftKeeper &) = delete;
    DraftKeeper &operator=(const DraftKeeper &) = delete;

    // Queues the passport to be written as the draft. pictureJpeg as for
    // draftPackage(); an encoded picture is remembered, so an unchanged
    // picture is encoded only once.
    void submit(const PassportSnapshot &passport, const QByteArray &pictureJpeg, qint64 seconds,
                const DraftOrigin &origin = {});

    // Called on the writer thread after every write it tried: with nothing
    // after a good write, else with the failure. Set before the first
    // submit().
    void setReporter(std::function<void(const std::optional<Failure> &)> reporter);

    // Removes the draft and its origin. A write that is queued is dropped, one in flight is
    // waited for, so no draft comes back afterwards.
    void discard();

    // Takes over a draft left by another program (its lock held by the
    // caller): from now on it is this program's draft.
    void adopt(const QString &path, std::unique_ptr<QLockFile> lock);

    // Blocks until nothing is queued or being written.
    void waitUntilIdle();

    // The draft's path once this program holds one, else empty.
    QString path() const;
    // True while a draft file of this program stands on disk.
    bool exists() const;
    // Why the last write failed; nothing after a good write. The failure is
    // also logged (category "tirlada.drafts").
    std::optional<Failure> lastError() const;
    // Nanoseconds each finished write took on the writer thread, oldest
    // first (for the benchmark): as wall time, and as the thread's own CPU
    // time (which leaves out the time other programs had the processor).
    QList<qint64> writeTimes() const;
    QList<qint64> writeCpuTimes() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// A draft that no running program holds, with its lock now held by the
// caller.
struct OrphanDraft {
    QString path;
    qint64 modifiedMs = 0; // last written, milliseconds since 1970
    std::optional<DraftOrigin> origin;
    std::unique_ptr<QLockFile> lock;

    OrphanDraft();
    OrphanDraft(OrphanDraft &&) noexcept;
    OrphanDraft &operator=(OrphanDraft &&) noexcept;
    ~OrphanDraft();
};

// The drafts in folder whose program is no longer running, newest first.
// Drafts of running programs (this one included) are left alone. A lock
// file that names no process (empty, garbage), or this process's own number,
// is judged by its time: older than the system's start, or than this
// process, it is stale. On the way, the half-written files that programs no
// longer running left are removed.
std::vector<OrphanDraft> claimOrphanDrafts(const QString &folder);

// Deletes the draft, its origin and its lock.
void removeOrphanDraft(OrphanDraft &draft);

} // namespace drafts
