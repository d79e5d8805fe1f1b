#include "drafts/draft_scheduler.h"

#include "core/platform.h"
#include "core/result.h"
#include "drafts/draft_files.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace drafts {

DraftScheduler::DraftScheduler(const PassportModel &model, const QString &folder, QObject *parent)
    : QObject(parent), model_(model), keeper_(std::make_unique<DraftKeeper>(folder))
{
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &DraftScheduler::write);
    // The writer thread's outcome crosses to this object's thread as a
    // queued call; one that arrives after this object is gone is dropped.
    keeper_->setReporter([this](const std::optional<Failure> &failure) {
        QMetaObject::invokeMethod(
            this, [this, failure] { report(failure); }, Qt::QueuedConnection);
    });
    // Every change of the passport goes through the model; each change only
    // restarts the timer, the comparison waits for the timer.
    connect(&model_, &PassportModel::changed, this, &DraftScheduler::noteChange);
    connect(&model_, &PassportModel::saved, this, &DraftScheduler::noteSaved);
    drafted_ = model_.snapshot();
}

DraftScheduler::~DraftScheduler()
{
    timer_->stop();
    // The writer thread ends here, before the reporter's target goes.
    keeper_.reset();
}

void DraftScheduler::noteChange()
{
    if (stopped_)
        return;
    // Restarted by every change, but the oldest change waits no longer than
    // kDraftLatestMs.
    if (!timer_->isActive())
        firstPendingChange_.start();
    const qint64 left = kDraftLatestMs - firstPendingChange_.elapsed();
    timer_->start(int(std::clamp<qint64>(left, 0, kDraftQuietMs)));
}

void DraftScheduler::write()
{
    if (stopped_)
        return;
    const PassportSnapshot &now = model_.snapshot();
    if (now == drafted_)
        return;
    drafted_ = now;
    if (!model_.isModified()) {
        // Back to what was saved: nothing to keep.
        keeper_->discard();
        report(std::nullopt);
        return;
    }
    keeper_->submit(now, now.pictureJpeg, platform::currentSeconds(), origin());
}

void DraftScheduler::writeNow()
{
    timer_->stop();
    write();
}

void DraftScheduler::flush()
{
    writeNow();
    keeper_->waitUntilIdle();
    // The writer's report is queued to this thread: take it now.
    QCoreApplication::sendPostedEvents(this);
}

void DraftScheduler::discard()
{
    timer_->stop();
    keeper_->discard();
    drafted_ = model_.snapshot();
    report(std::nullopt);
}

void DraftScheduler::stop()
{
    stopped_ = true;
    timer_->stop();
}

void DraftScheduler::resume() { stopped_ = false; }

void DraftScheduler::noteSaved()
{
    const QString package = model_.filePath();
    origin_ = DraftOrigin{};
    if (!package.isEmpty()) {
        origin_.package = package;
        // Without the package's MD5 a restored draft cannot tell whether
        // the package changed since; it still restores.
        if (auto md5 = fileMd5(package))
            origin_.packageMd5 = *md5;
        else
            logFailure(lcDrafts(), "fingerprinting the package", md5.error());
    }
    timer_->stop();
    keeper_->discard();
    drafted_ = model_.snapshot();
    report(std::nullopt);
}

void DraftScheduler::setRestored(OrphanDraft &&draft)
{
    if (draft.origin && !draft.origin->savedPassport.isEmpty())
        origin_ = *draft.origin;
    timer_->stop();
    keeper_->adopt(draft.path, std::move(draft.lock));
    drafted_ = model_.snapshot();
}

DraftOrigin DraftScheduler::origin() const
{
    DraftOrigin origin = origin_;
    origin.package = model_.filePath();
    origin.savedPassport = model_.savedFingerprint();
    origin.unsaved = true; // only a passport that differs is ever drafted
    return origin;
}

void DraftScheduler::report(const std::optional<Failure> &failure)
{
    const bool changed =
        failure.has_value() != failure_.has_value()
        || (failure
            && (failure->code() != failure_->code() || failure->details().reason != failure_->details().reason
                || failure->details().file != failure_->details().file));
    failure_ = failure;
    if (changed)
        emit failureChanged();
}

QString DraftScheduler::path() const { return keeper_->path(); }

} // namespace drafts
