#pragma once

// The words for failures, in one place for every reader: the window's error
// box and the committee tool's report word a Failure here, so that the same
// failure reads the same wherever it is shown. Failure::what() is for the
// log only. No widgets: the committee's tool uses this too.

#include "core/failure.h"

#include <QString>
#include <functional>

namespace core {

// The text the window's error box shows for a failure.
QString failureText(const Failure &failure);

// How the committee's report shows what a failure names: a file's name as
// the report prints names, and a system error number as a reason.
struct ReportWording {
    std::function<QString(const QString &file)> file;
    std::function<QString(int error)> systemReason;
};

// The report's sentence for a file the tool could not write: the file, and
// the system's reason by its number where the failure has one, else the
// reason as given.
QString reportFailureText(const Failure &failure, const ReportWording &wording);

} // namespace core
