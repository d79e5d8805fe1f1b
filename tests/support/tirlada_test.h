#pragma once

// Shared helpers of the tests: the program's windows with the modal seam in
// scripted mode, and finding controls by object name.

#include "app/passport_window.h"
#include "app/startup.h"
#include "core/platform.h"
#include "gui/modal.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QWidget>
#include <memory>

namespace tt {

// The program's windows as start-up creates them, with every modal box,
// file dialog and dialog scripted.
struct Session {
    std::unique_ptr<Windows> windows;

    Session()
    {
        gui::modal::testing::install();
        windows = createWindows();
        windows->passport->show();
    }
    ~Session()
    {
        // A test's input leaves no draft behind.
        if (windows && windows->passport)
            windows->passport->discardDraft();
        windows.reset();
        gui::modal::testing::uninstall();
    }
    PassportWindow &window() const { return *windows->passport; }

    // A control of the passport window, by its object name.
    template <class T = QWidget>
    T *control(const char *name) const
    {
        T *found = windows->passport->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control named %s", name);
        return found;
    }

    // Puts participants straight into the passport, as if they had been
    // added through the ID dialog. leader is the invoice recipient (-1: none).
    void setParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers, int leader = 0)
    {
        window().model().setParticipants(authors, teachers, teachers.isEmpty() ? -1 : leader);
    }

    // Waits until a picture load, which reads off the window's thread, is
    // over (at most a minute).
    void waitForPicture() const
    {
        QDeadlineTimer deadline(60000);
        while (window().pictureLoading() && !deadline.hasExpired())
            QTest::qWait(5);
    }

    // Puts section numbers straight into the passport.
    void setSubjectSlots(std::array<qint32, 4> numbers) { window().model().setSubjectSlots(numbers); }
};

} // namespace tt
