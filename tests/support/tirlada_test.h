#pragma once

// Shared helpers of the tests: the program's windows with the modal seam in
// scripted mode, and finding controls by object name.

#include "app/modal.h"
#include "app/pasport.h"
#include "app/platform.h"
#include "app/startup.h"

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
        modal::testing::install();
        windows = createWindows();
        windows->Pasport->show();
    }
    ~Session()
    {
        windows.reset();
        modal::testing::uninstall();
    }
    TPasport &window() const { return *windows->Pasport; }

    // A control of the passport window, by its object name.
    template <class T = QWidget>
    T *control(const char *name) const
    {
        T *found = windows->Pasport->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control named %s", name);
        return found;
    }
};

} // namespace tt
