#include "gui/guard.h"

#include "core/failure.h"
#include "core/failure_text.h"
#include "core/result.h"
#include "gui/modal.h"

#include <QLoggingCategory>
#include <QWidget>
#include <exception>
#include <new>

namespace gui {

namespace {
Q_LOGGING_CATEGORY(lcGuard, "tirlada.guard")
} // namespace

QString errorBoxText(const QString &message)
{
    // A failure without a message is shown with an empty text.
    if (message.isEmpty() || message.endsWith(QLatin1Char('.')))
        return message;
    return message + QLatin1Char('.');
}

void showFailure(QWidget *parent, const QString &message)
{
    modal::message(parent, modal::Icon::Error, kAppTitle, errorBoxText(message));
}

void runGuarded(QWidget *parent, const std::function<void()> &handler) noexcept
{
    // The box itself may fail (for instance out of memory); then the log
    // keeps what happened, and the window goes on without the box.
    try {
        try {
            handler();
        } catch (const Failure &failure) {
            showFailure(parent, failureText(failure));
        } catch (const std::bad_alloc &) {
            showFailure(parent, QStringLiteral("Out of memory"));
        } catch (const std::exception &error) {
            showFailure(parent, QString::fromLocal8Bit(error.what()));
        } catch (...) {
            showFailure(parent, QString());
        }
    } catch (...) {
        logUnexpectedException(lcGuard(), "showing a failure in the error box");
    }
}

} // namespace gui
