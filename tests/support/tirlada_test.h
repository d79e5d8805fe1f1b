#pragma once

// Shared helpers of the tests: the program's windows with the modal seam in
// scripted mode, and finding controls by object name.

#include "app/pasport.h"
#include "app/startup.h"
#include "core/platform.h"
#include "gui/modal.h"

#include <QComboBox>
#include <QListWidget>
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
        // A test's input leaves no draft behind.
        if (windows && windows->Pasport)
            windows->Pasport->discardDraft();
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

    // Puts participants straight into the window's lists and tables, as if
    // they had been added through the ID dialog. leader is the index chosen
    // in LeaderID (-1: none).
    void setParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers, int leader = 0)
    {
        auto *authorsList = control<QListWidget>("AuthorsListBox");
        auto *teachersList = control<QListWidget>("TeachersListBox");
        auto *leaderId = control<QComboBox>("LeaderID");
        authorsList->clear();
        teachersList->clear();
        leaderId->clear();
        window().AuthorsData = {};
        window().TeachersData = {};
        for (int i = 0; i < authors.size(); ++i) {
            authorsList->addItem(authors[i].Id);
            window().AuthorsData[i] = authors[i];
        }
        for (int i = 0; i < teachers.size(); ++i) {
            teachersList->addItem(teachers[i].Id);
            leaderId->addItem(teachers[i].Id);
            window().TeachersData[i] = teachers[i];
        }
        leaderId->setCurrentIndex(teachers.isEmpty() ? -1 : leader);
    }

    // Puts section numbers straight into the window's slots.
    void setSubjectSlots(std::array<qint32, 4> numbers) { window().SubjectSlots = numbers; }
};

} // namespace tt
