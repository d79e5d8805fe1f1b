#include "gui/guard.h"

#include "core/failure.h"
#include "gui/modal.h"

#include <QWidget>
#include <exception>
#include <new>

namespace gui {

QString failureText(const Failure &failure) { return failure.message(); }

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
    // The box itself may fail (for instance out of memory); then there is
    // nothing better to do than to go on without it.
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
    }
}

} // namespace gui
