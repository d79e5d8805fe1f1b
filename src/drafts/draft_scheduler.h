#pragma once

// When the passport is written as its draft: soon after each change, never
// while the model holds nothing unsaved, and never after the window has
// closed. The scheduler observes the model: its changes, its file and what
// counts as saved there. The writes themselves run on the DraftKeeper's thread; what they
// end in comes back to this object's thread as a signal.

#include "core/failure.h"
#include "core/passport.h"
#include "drafts/draft.h"
#include "model/passport_model.h"

#include <QElapsedTimer>
#include <QObject>
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
    // Drafts of the model's passport go to folder.
    DraftScheduler(const PassportModel &model, const QString &folder, QObject *parent = nullptr);
    ~DraftScheduler() override;

    // Hands the passport to the writer now, if it changed since.
    void writeNow();
    // writeNow(), then waits until the draft is on disk.
    void flush();
    // Removes the draft; the passport as it stands counts as drafted.
    void discard();
    // No drafts until resume(): the window is closed.
    void stop();
    void resume();

    // The passport of a restored draft now stands in the model: the draft
    // becomes this program's own, with the record of the package it came
    // from. The model is told what counts as saved (markRestored) by the
    // caller, from the same record.
    void setRestored(OrphanDraft &&draft);

    // Why drafts cannot be written, while they cannot; nothing once a
    // draft was written again (or is no longer needed).
    std::optional<Failure> failure() const { return failure_; }

    QString path() const;
    DraftKeeper &keeper() { return *keeper_; }

signals:
    // failure() changed.
    void failureChanged();

private:
    // The passport changed: the draft follows once the input rests.
    void noteChange();
    // The model now stands as saved in its file: no draft is needed.
    void noteSaved();
    void write();
    void report(const std::optional<Failure> &failure);
    DraftOrigin origin() const;

    const PassportModel &model_;
    std::unique_ptr<DraftKeeper> keeper_;
    QTimer *timer_ = nullptr;
    QElapsedTimer firstPendingChange_; // the oldest change not yet in the draft
    PassportSnapshot drafted_;         // the passport last handed to the writer
    // The package the passport belongs to, with its fingerprints.
    DraftOrigin origin_;
    bool stopped_ = false;
    std::optional<Failure> failure_;
};

} // namespace drafts
