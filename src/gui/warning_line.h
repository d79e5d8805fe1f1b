#pragma once

// The warning line near the window's buttons: one sentence that says what is
// wrong and what to do, shown whole (wrapped within the line's width, taller
// when it must be) and announced to a screen reader as an alert, without
// taking the focus from the typing.

#include "core/failure.h"

#include <QAccessible>
#include <QString>

#include <functional>

class QLabel;

namespace gui {

// The system's reason for a failure, in Russian, for the errors a person can
// act on (a read-only disk, no permission, a full disk); else the reason as
// the system gave it.
QString systemReason(const Failure &failure);

// Makes the label a warning line: never in the Tab chain, dark red, and an
// alert to screen readers.
void makeWarningLine(QLabel *line);

// Shows text on the line (details: the same with the place concerned, for
// the tooltip and the accessible description), or hides the line when text
// is empty. The line keeps its width and bottom edge and grows upwards
// when the text needs more lines than it has room for.
void showWarning(QLabel *line, const QString &text, const QString &details);

namespace testing {
// Called with every accessibility event a warning line sends, as a screen
// reader's bridge gets it. (Without a platform bridge, as on the offscreen
// platform, Qt hands such events to no one.)
void setAnnouncementObserver(std::function<void(QLabel *line, QAccessible::Event event)> observer);
} // namespace testing

} // namespace gui
