#pragma once

// What the parts of the draft code share: the names of a draft's files, the
// lock that tells whose a draft is, the writing of its origin, and the log.
// Only the draft sources include this; the rest of the program uses draft.h.

#include "drafts/draft.h"

#include <QLockFile>
#include <QLoggingCategory>
#include <QString>
#include <memory>

namespace drafts {

Q_DECLARE_LOGGING_CATEGORY(lcDrafts)

// A draft is "draft-<process>[-<n>].kwp", its origin the same name with
// ".json", its lock the draft's name with ".lock".
inline const QString kDraftPrefix = QStringLiteral("draft-");
inline const QString kDraftSuffix = QStringLiteral(".kwp");
inline const QString kOriginSuffix = QStringLiteral(".json");
inline const QString kLockSuffix = QStringLiteral(".lock");

// The lock of the draft at draftPath, not yet taken. A lock is held for as
// long as its program runs, hours perhaps: it counts as stale only when its
// process is gone, never by its age.
std::unique_ptr<QLockFile> lockFor(const QString &draftPath);

// Takes the lock without waiting; once taken, its file is made the user's
// alone. False when another running program holds it.
bool takeLock(QLockFile &lock);

// Writes the origin beside the draft, the user's alone from its first byte.
// Fails with CannotCreateFile as core::writeFileReplacing does.
[[nodiscard]] Result<void> writeOrigin(const QString &draftPath, const DraftOrigin &origin);

} // namespace drafts
