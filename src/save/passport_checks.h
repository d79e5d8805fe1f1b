#pragma once

// The passport's rules, checked on a package read back: the season, the
// time, the sections, the participants and the picture. Whatever breaks a
// rule becomes a problem; what keeps them goes into the passport.

#include "core/passport.h"
#include "save/data_document.h"
#include "save/read_problem.h"

#include <QByteArray>

namespace save {

// The passport of a stored document, as the window takes it: the texts, the
// default section names and the season, the section slots, the authors and
// supervisors with the invoice recipient; and the time of saving. A
// package's description is at most 500 characters, since no more is ever
// published; a draft's is as typed.
void checkDocument(const StoredDocument &document, DocumentForm form, PassportSnapshot &passport, qint64 &savedAt,
                   ReadProblems &problems);

// The picture as the window shows it, decoded with the program's own decoder
// (or, without decode, read through just as far): at most 300 x 300, whole
// and undamaged. Sets hasPicture and, with decode, picture.
void checkPicture(const QByteArray &jpeg, bool decode, PassportSnapshot &passport, ReadProblems &problems);

} // namespace save
