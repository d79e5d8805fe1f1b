#pragma once

// The package: a working folder with the package's files, and the external
// archiver that packs them into the ZIP file the user chose.

#include "core/result.h"

#include <QString>

namespace save {

// How long the archiver may run before it is killed, in milliseconds.
inline constexpr int kArchiverTimeoutMs = 10000;

// Creates a new folder "Passport_<seconds>" in the given folder (which ends
// in a separator), private to the user. A name that is taken by anything,
// even a dangling symbolic link, is never reused: the next free of
// "Passport_<seconds>_2", "_3", ... is taken instead. Gives the folder's
// path with a trailing separator, or why no folder could be created.
[[nodiscard]] Result<QString> createWorkingFolder(const QString &tempFolder, qint64 seconds);

// Deletes everything inside the folder, at any depth; the folder itself
// stays. Read-only subfolders are opened up and emptied at every depth. A
// symbolic link is deleted as a link: nothing outside the folder is touched.
// What cannot be deleted is passed over.
void clearFolder(const QString &folder);

// Packs every file of the working folder (which ends in a separator) into a
// ZIP package of stored entries at packagePath, with the archiver program
// given. The archiver starts in the working folder and is given the files by
// name. True only when the archiver exited with status 0 within the time
// limit and the package, read back, holds exactly the working folder's
// files, stored, with the same bytes and CRCs; else the Failure says why. The archive is written
// beside packagePath and renamed into place only on success, so nothing
// partial ever stands under that name and a file that was there before is
// replaced in one step; on failure it stays as it was and whatever the
// archiver wrote is removed.
[[nodiscard]] Result<void> writePackage(const QString &archiver, const QString &packagePath,
                                        const QString &workingFolder);

namespace testing {
// The archiver's time limit; a value of 0 or less restores the normal one.
void setArchiverTimeout(int milliseconds);
} // namespace testing

} // namespace save
