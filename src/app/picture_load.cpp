#include "app/picture_load.h"

#include "picture/picture_file.h"
#include "picture/picture_size.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <atomic>
#include <new>
#include <thread>

namespace {
Q_LOGGING_CATEGORY(lcLoad, "tirlada.picture.load")
}

PictureOutcome readPictureFile(const QString &path, const std::atomic<bool> *cancelled)
{
    PictureOutcome outcome;
    // Runs on a thread of its own, where nothing may escape.
    try {
        picture::ReadOptions options;
        options.cancelled = cancelled;
        Result<picture::PictureFile> reader = picture::PictureFile::open(path, options);
        if (!reader) {
            outcome.picture = Unexpected(std::move(reader).error());
            return outcome;
        }
        outcome.shown = picture::targetSize(reader->size().width(), reader->size().height());
        outcome.picture = reader->decodeReduced(*outcome.shown);
    } catch (const std::bad_alloc &) {
        outcome.picture = Unexpected(Failure(FailureCode::OutOfMemory));
    } catch (const std::exception &error) {
        outcome.picture =
            Unexpected(Failure(FailureCode::Unspecified, {.reason = QString::fromLocal8Bit(error.what())}));
    }
    return outcome;
}

// One load: its flag, read by the reading thread, and what to do with its
// result. Shared by the loader and the thread, so that either may end
// first.
struct PictureLoader::Running {
    std::atomic<bool> cancelled = false;
    std::function<void()> settled;
    std::function<void(PictureOutcome)> done;
};

PictureLoader::PictureLoader(QWidget *window, QWidget *box)
    : QObject(window), box(box), indicator(new QFrame(box->parentWidget())), indicatorTimer(new QTimer(this)),
      escape(new QShortcut(QKeySequence(Qt::Key_Escape), window))
{
    // The indicator: a small panel over the middle of the picture box.
    indicator->setObjectName(QStringLiteral("PictureBusy"));
    indicator->setFrameShape(QFrame::StyledPanel);
    indicator->setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(indicator);
    auto *label = new QLabel(QStringLiteral("Загрузка картинки…"), indicator);
    auto *bar = new QProgressBar(indicator);
    bar->setRange(0, 0); // busy, without a measure of how far
    bar->setTextVisible(false);
    bar->setFixedWidth(48);
    auto *cancelButton = new QPushButton(QStringLiteral("Отмена"), indicator);
    cancelButton->setObjectName(QStringLiteral("PictureCancel"));
    cancelButton->setAutoDefault(false);
    layout->addWidget(label);
    layout->addWidget(bar);
    layout->addWidget(cancelButton);
    label->setObjectName(QStringLiteral("PictureBusyText"));
    // A hidden panel is laid out only when first shown: until then its
    // parts hold their whole texts at their own sizes.
    label->resize(label->sizeHint());
    cancelButton->resize(cancelButton->sizeHint());
    indicator->hide();
    connect(cancelButton, &QPushButton::clicked, this, &PictureLoader::cancel);

    indicatorTimer->setSingleShot(true);
    indicatorTimer->setInterval(kIndicatorDelay);
    connect(indicatorTimer, &QTimer::timeout, this, &PictureLoader::showIndicator);

    escape->setContext(Qt::WindowShortcut);
    escape->setEnabled(false);
    connect(escape, &QShortcut::activated, this, &PictureLoader::cancel);
}

// Destroyed with the window: the load is abandoned, and nothing of the
// window is called any more.
// (The indicator, a child of the window's widgets, may be gone already.)
PictureLoader::~PictureLoader()
{
    if (running)
        running->cancelled.store(true);
}

void PictureLoader::start(const QString &path, std::function<void()> settled, std::function<void(PictureOutcome)> done)
{
    auto load = std::make_shared<Running>();
    load->settled = std::move(settled);
    load->done = std::move(done);
    running = load;
    escape->setEnabled(true);
    indicatorTimer->start();
    QPointer<PictureLoader> self(this);
    // A thread of its own rather than a pool's: a load never waits behind
    // the open dialog's previews, nor they behind it. Detached: a reading
    // stops within milliseconds of its flag (the budget looks at it before
    // every row), and a file that blocks (a stalled network drive) holds
    // only its own thread.
    std::thread([load, path, self] {
        PictureOutcome outcome = readPictureFile(path, &load->cancelled);
        if (load->cancelled.load())
            return;
        QCoreApplication *application = QCoreApplication::instance();
        if (!application)
            return;
        QMetaObject::invokeMethod(
            application,
            [load, self, outcome = std::move(outcome)]() mutable {
                if (self)
                    self->finish(load, std::move(outcome));
            },
            Qt::QueuedConnection);
    }).detach();
}

void PictureLoader::finish(const std::shared_ptr<Running> &which, PictureOutcome outcome)
{
    // A load cancelled meanwhile, or one that another has replaced, is
    // dropped.
    if (which != running || which->cancelled.load())
        return;
    running.reset();
    hideIndicator();
    which->settled();
    which->done(std::move(outcome));
}

std::shared_ptr<PictureLoader::Running> PictureLoader::abandon()
{
    std::shared_ptr<Running> load = std::move(running);
    running.reset();
    if (load)
        load->cancelled.store(true);
    hideIndicator();
    return load;
}

void PictureLoader::cancel()
{
    if (const std::shared_ptr<Running> load = abandon()) {
        qCDebug(lcLoad) << "picture load cancelled";
        load->settled();
    }
}

void PictureLoader::showIndicator()
{
    if (!running)
        return;
    indicator->adjustSize();
    const QRect area = box->geometry();
    indicator->move(area.center().x() - indicator->width() / 2, area.center().y() - indicator->height() / 2);
    indicator->raise();
    indicator->show();
}

void PictureLoader::hideIndicator()
{
    indicatorTimer->stop();
    indicator->hide();
    escape->setEnabled(false);
}
