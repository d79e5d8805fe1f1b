#include "drafts/draft_scheduler.h"

#include "core/platform.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace drafts {

DraftScheduler::DraftScheduler(std::function<PassportSnapshot()> snapshot, std::function<QByteArray()> pictureJpeg,
                               const QString &folder, QObject *parent)
    : QObject(parent), snapshot_(std::move(snapshot)), pictureJpeg_(std::move(pictureJpeg)),
      keeper_(std::make_unique<DraftKeeper>(folder))
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
    saved_ = snapshot_();
    drafted_ = *saved_;
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
    const PassportSnapshot now = snapshot_();
    if (now == drafted_)
        return;
    drafted_ = now;
    if (!unsaved(now)) {
        // Back to what was saved: nothing to keep.
        keeper_->discard();
        report(std::nullopt);
        return;
    }
    keeper_->submit(now, pictureJpeg_(), platform::currentSeconds(), origin());
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
    drafted_ = snapshot_();
    report(std::nullopt);
}

void DraftScheduler::stop()
{
    stopped_ = true;
    timer_->stop();
}

void DraftScheduler::resume() { stopped_ = false; }

void DraftScheduler::setSaved(const PassportSnapshot &saved, const QString &package)
{
    saved_ = saved;
    origin_ = DraftOrigin{};
    origin_.package = package.isEmpty() ? QString() : QFileInfo(package).absoluteFilePath();
    origin_.packageMd5 = package.isEmpty() ? QByteArray() : fileMd5(package);
    fingerprinted_ = false;
    timer_->stop();
    keeper_->discard();
    drafted_ = saved;
    report(std::nullopt);
}

void DraftScheduler::setRestored(OrphanDraft &&draft, const PassportSnapshot &restored)
{
    if (draft.origin && !draft.origin->savedPassport.isEmpty()) {
        saved_.reset();
        origin_ = *draft.origin;
        fingerprinted_ = true;
    }
    timer_->stop();
    keeper_->adopt(draft.path, std::move(draft.lock));
    drafted_ = restored;
}

bool DraftScheduler::unsaved(const PassportSnapshot &now) const
{
    if (saved_)
        return now != *saved_;
    return passportFingerprint(now) != origin_.savedPassport;
}

DraftOrigin DraftScheduler::origin() const
{
    if (!fingerprinted_ && saved_) {
        origin_.savedPassport = passportFingerprint(*saved_);
        fingerprinted_ = true;
    }
    DraftOrigin origin = origin_;
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
