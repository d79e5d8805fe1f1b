#pragma once

#include <QString>

// The help texts of the passport window. Line breaks are CR LF.
namespace help {
QString titleHelp();
QString descriptionHelp();
QString requirementsHelp();
QString manualHelp();
QString contactsHelp();
// What the help panel shows before the first field is entered.
QString initialPanelText();
QString pictureHelp();
QString participantsHelp();
QString commentsHelp();
} // namespace help
