#pragma once

// The few places where the program meets the operating system. Each can be
// redirected by a test, so that nothing leaves a temporary folder and no
// browser is started.

#include <QString>
#include <QUrl>
#include <functional>

namespace platform {

// The system's folder for temporary files, with a trailing separator; /tmp
// when TMPDIR names no folder.
QString tempFolder();

// Seconds since 1970-01-01 00:00 UTC.
qint64 currentSeconds();

// Hands a local file to the desktop to be opened (the preview page in the
// user's browser). Returns false when the desktop refused.
bool openInBrowser(const QString &path);

// The full path of the archiver program to start: "7za" beside the
// executable, else "7za" found on PATH. Empty when there is none.
QString archiverPath();

namespace testing {
// An empty text restores the system's temporary folder.
void setTempFolder(const QString &folder);
// The archiver to start; a path where nothing is stands for a missing one.
// A null QString restores the search beside the executable and on PATH.
void setArchiver(const QString &path);
// nullptr restores the system clock.
void setClock(std::function<qint64()> clock);
// Receives every page that would be opened, instead of the desktop.
// nullptr restores the desktop.
void setBrowser(std::function<bool(const QUrl &)> browser);
} // namespace testing

} // namespace platform
