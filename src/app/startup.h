#pragma once

#include <QApplication>
#include <memory>

class TForm1;
class TPasport;
class TSubjects;

// The application object: an exception that escapes an event handler is
// shown in the error box and the program goes on.
class TirladaApplication : public QApplication {
public:
    TirladaApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// The program's windows, created in their order: the passport window first,
// then the sections dialog and the ID dialog, both hidden. Destroyed in
// reverse order.
struct Windows {
    std::unique_ptr<TPasport> Pasport;
    std::unique_ptr<TSubjects> Subjects;
    std::unique_ptr<TForm1> Form1;

    Windows();
    ~Windows();
};

std::unique_ptr<Windows> createWindows();

// The whole program: returns the exit code (always 0).
int runTirlada(int argc, char **argv);
