#pragma once

// The passport data document "data.xml": the machine-readable passport that
// goes into the package.

#include "core/passport.h"

#include <QByteArray>

namespace save {

// The document's exact bytes for a passport, with the given time (seconds
// since 1970) as "datetime". UTF-8 without a byte order mark; the whole tree
// on one line; every LF written as CR CR LF; the five markup characters as
// decimal character references; characters that XML 1.0 cannot carry
// (control characters other than TAB, CR and LF, U+FFFE, U+FFFF, lone
// surrogates) left out.
//
// A package's document carries the passport as published: trimmed texts and
// the description cut at 500 characters. A draft's document (the copy kept
// against a crash) carries every text exactly as typed, so that restoring a
// draft gives back all of the input; the reader takes both.
enum class DocumentForm { Package, Draft };
QByteArray BuildDataDocument(const PassportSnapshot &passport, qint64 seconds,
                             DocumentForm form = DocumentForm::Package);

// Writes the bytes as the file at path (see writeFileReplacing). Throws
// Failure "Cannot create file ..." when that fails.
void WriteDataDocument(const QString &path, const QByteArray &document);

} // namespace save
