#pragma once

// For tests that drive a real modal dialog: the test's code runs once the
// dialog is up, from the dialog's own event loop.

#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace tt {

// Runs what once the modal widget of the given class is up.
template <class T>
void whenShown(std::function<void(T *)> what)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, what] {
        if (auto *widget = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            what(widget);
        }
    });
    timer->start();
}

} // namespace tt
