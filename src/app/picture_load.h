#pragma once

#include "core/result.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QFrame;
class QShortcut;
class QTimer;
class QWidget;

// What reading a picture file gave: the size it is shown at, once its
// header was read, and the reduced picture or the failure that stopped it.
struct PictureOutcome {
    std::optional<QSize> shown;
    Result<QImage> picture;
};

// Reads the picture file at path as the window shows it (picture/
// picture_file.h), on the calling thread; stops soon with Cancelled once
// cancelled turns true. Safe on any thread.
PictureOutcome readPictureFile(const QString &path, const std::atomic<bool> *cancelled);

// Loads one picture file at a time off the window's thread. The reading
// runs on a thread of its own, so the window keeps painting and answering
// whatever the file holds. After kIndicatorDelay a small busy indicator
// with "Отмена" appears over the picture box; "Отмена" or Escape cancel the
// load, as does destroying the loader. A cancelled load never calls back:
// its result is dropped, and the tab stays as it was.
class PictureLoader : public QObject {
public:
    static constexpr int kIndicatorDelay = 300; // ms

    // The indicator is placed over box, inside its parent; Escape works
    // anywhere in window.
    PictureLoader(QWidget *window, QWidget *box);
    ~PictureLoader() override;
    PictureLoader(const PictureLoader &) = delete;
    PictureLoader &operator=(const PictureLoader &) = delete;

    // Starts reading path. settled runs on the window's thread once the
    // load is over, finished or cancelled; then done, with the outcome,
    // unless it was cancelled. Call only while not busy().
    void start(const QString &path, std::function<void()> settled, std::function<void(PictureOutcome)> done);
    bool busy() const { return running != nullptr; }
    // Abandons the load under way, if any ("Отмена", Escape).
    void cancel();

private:
    struct Running;
    void finish(const std::shared_ptr<Running> &which, PictureOutcome outcome);
    // Raises the flag of the load under way and forgets it.
    std::shared_ptr<Running> abandon();
    void showIndicator();
    void hideIndicator();

    QWidget *box;
    QFrame *indicator;
    QTimer *indicatorTimer;
    QShortcut *escape;
    std::shared_ptr<Running> running;
};
