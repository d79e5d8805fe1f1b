#include "core/result.h"

#include <exception>
#include <new>

void logFailure(const QLoggingCategory &category, const char *doing, const Failure &failure)
{
    qCWarning(category, "%s: %s", doing, failure.what());
}

void logUnexpectedException(const QLoggingCategory &category, const char *doing) noexcept
{
    // Called from inside a catch: name what was thrown, as far as we can.
    try {
        try {
            throw;
        } catch (const Failure &failure) {
            logFailure(category, doing, failure);
        } catch (const std::bad_alloc &) {
            qCWarning(category, "%s: out of memory", doing);
        } catch (const std::exception &error) {
            qCWarning(category, "%s: %s", doing, error.what());
        } catch (...) {
            qCWarning(category, "%s: an unknown exception", doing);
        }
    } catch (...) {
        // Even the log failed (no memory left to format the line): nothing
        // more can be said.
    }
}
