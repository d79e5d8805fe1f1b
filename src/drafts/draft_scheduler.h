#pragma once

// When the passport is written as its draft: soon after each change, never
// while it equals what was opened or saved, and never after the window has
// closed. The writes themselves run on the DraftKeeper's thread; what they
// end in comes back to this object's thread as a signal.

#include "core/failure.h"
#include "core/passport.h"
#include "drafts/draft.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace drafts {

// A draft is written once the input has rested this long...
inline constexpr int kDraftQuietMs = 500;
// ...and never later than this after the oldest change it has not got yet.
inline constexpr int kDraftLatestMs = 2000;

class DraftScheduler : public QObject {
    Q_OBJECT
public:
    // snapshot reads the passport as it stands; pictureJpeg gives the
    // picture's file while it still stands for the shown picture (else
    // empty). Drafts go to folder.
    DraftScheduler(std::function<PassportSnapshot()> snapshot, std::function<QByteArray()> pictureJpeg,
                   const QString &folder, QObject *parent = nullptr);
    ~DraftScheduler() override;

    // The passport changed: the draft follows once the input rests.
    void noteChange();
    // Hands the passport to the writer now, if it changed since.
    void writeNow();
    // writeNow(), then waits until the draft is on disk.
    void flush();
    // Removes the draft; the passport as it stands counts as drafted.
    void discard();
    // No drafts until resume(): the window is closed.
    void stop();
    void resume();

    // The passport as opened from package or saved there (package empty
    // for none): from now on it is what counts as saved. Removes the draft.
    void setSaved(const PassportSnapshot &saved, const QString &package);
    // The passport of a restored draft now stands in the window: the draft
    // becomes this program's own. What counts as saved is what the draft
    // recorded: the passport as its package was opened or saved, by its
    // fingerprint, which holds whether or not the package has changed or
    // gone since. A draft without a record keeps what counted before.
    void setRestored(OrphanDraft &&draft, const PassportSnapshot &restored);

    // Whether now differs from what was opened or saved.
    bool unsaved(const PassportSnapshot &now) const;
    // The package the passport was opened from or saved as; empty for none.
    QString package() const { return origin_.package; }

    // Why drafts cannot be written, while they cannot; nothing once a
    // draft was written again (or is no longer needed).
    std::optional<Failure> failure() const { return failure_; }

    QString path() const;
    DraftKeeper &keeper() { return *keeper_; }

signals:
    // failure() changed.
    void failureChanged();

private:
    void write();
    void report(const std::optional<Failure> &failure);
    DraftOrigin origin() const;

    std::function<PassportSnapshot()> snapshot_;
    std::function<QByteArray()> pictureJpeg_;
    std::unique_ptr<DraftKeeper> keeper_;
    QTimer *timer_ = nullptr;
    QElapsedTimer firstPendingChange_; // the oldest change not yet in the draft
    PassportSnapshot drafted_;         // the passport last handed to the writer
    // What counts as saved: the passport itself where it is known, else
    // only its fingerprint in origin_.
    std::optional<PassportSnapshot> saved_;
    mutable DraftOrigin origin_;
    mutable bool fingerprinted_ = false;
    bool stopped_ = false;
    std::optional<Failure> failure_;
};

} // namespace drafts
