#pragma once

// What a program that was killed leaves behind: the hidden staging folder of
// a save beside its target, the working folder of a save in the temporary
// folder. Each carries the number of the process that made it, so that the
// next program can tell whether its owner still runs; only leftovers whose
// owner is surely gone are removed, and only names this program makes.

#include <QDateTime>
#include <QString>

namespace save {

// The moment the system started, from /proc/stat; invalid where unknown.
QDateTime bootTime();

// The moment this process started; invalid where unknown.
QDateTime processStartTime();

// Whether the process pid, which made something at the time made, has
// surely ended: the thing is older than the system's start, or it names this
// process but is older than this process, or no process pid runs.
bool ownerGone(qint64 pid, const QDateTime &made);

// The name of a staging folder for a save: ".Passport-<this process>-"
// followed by random characters (the template of QTemporaryDir).
QString stagingTemplate();

// Removes the staging folders in folder that a killed save left, and the
// working folders "Passport_<seconds>" in the temporary folder whose owner
// (written into them as kOwnerFile) is gone.
void removeLeftoverStaging(const QString &folder);
void removeLeftoverWorkingFolders(const QString &tempFolder);

// The file in a working folder that names its owner's process. The archiver
// is never given it.
inline const QString kOwnerFile = QStringLiteral(".owner");

// Writes kOwnerFile, naming this process, into the working folder.
bool markOwner(const QString &workingFolder);

} // namespace save
