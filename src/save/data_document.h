#pragma once

// The passport data document "data.xml": the machine-readable passport that
// goes into the package.

#include "core/passport.h"
#include "core/result.h"
#include "save/read_problem.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <optional>

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
QByteArray buildDataDocument(const PassportSnapshot &passport, qint64 seconds,
                             DocumentForm form = DocumentForm::Package);

// A digest of everything a passport holds (texts as typed, sections,
// participants, picture pixels): equal passports, equal fingerprints.
QByteArray passportFingerprint(const PassportSnapshot &passport);

// Writes the bytes as the file at path (see core::writeFile), or
// gives Failure(CannotCreateFile) with the file and the system's reason.
[[nodiscard]] Result<void> writeDataDocument(const QString &path, const QByteArray &document);

// A participant as the document stores it.
struct StoredPerson {
    bool teacher = false;
    TPersonRecord record;
    std::optional<QString> leader; // the value of "is_leader" when present
};

// The document's values as stored, before the passport's rules are checked.
struct StoredDocument {
    // The texts (title, description, caption, manual, the public contacts,
    // notes), with their line breaks as CR LF; nothing else is set.
    PassportSnapshot texts;
    QString seasonId, datetime;
    QStringList subjects;
    QList<StoredPerson> people;
};

// Reads a data document in the one shape buildDataDocument writes (either
// form): the elements in their order, each text element without attributes
// or children, the participants with their four attributes, UTF-8, no DTD
// and no entities. A text reads the same whether its characters stand as
// they are, as character references or inside CDATA sections. The first
// departure stops the reading: the document fails as PackageUnreadable
// with that one problem.
[[nodiscard]] Result<StoredDocument> parseDataDocument(const QByteArray &bytes);

} // namespace save
