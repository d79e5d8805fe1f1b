#pragma once

#include "core/failure_text.h"

#include <QString>
#include <functional>

class QWidget;

namespace gui {

// The caption of every error box and the application's title.
inline const QString kAppTitle = QStringLiteral("Тирлада");

// The error box text for a failure message: a full stop is appended unless the
// message already ends in one.
QString errorBoxText(const QString &message);

// The text the window's error box shows for a failure (core/failure_text.h).
using core::failureText;

// Shows the application's error box (error icon, caption "Тирлада", OK).
void showFailure(QWidget *parent, const QString &message);

// Runs one handler. Whatever it throws ends the handler and is shown in the
// application's error box; nothing crosses back into Qt's event loop.
void runGuarded(QWidget *parent, const std::function<void()> &handler) noexcept;

// Wraps a member handler so that it can be connected to a signal.
template <class Window>
auto guarded(Window *window, void (Window::*handler)())
{
    return [window, handler] { runGuarded(window, [&] { (window->*handler)(); }); };
}

} // namespace gui
