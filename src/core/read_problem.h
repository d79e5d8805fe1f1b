#pragma once

// Why a package cannot be read back, without words: the reader records each
// problem as a code with its details. A package that cannot be read fails
// with FailureCode::PackageUnreadable, whose details carry these problems;
// the sentence a person reads is built where it is shown
// (save::readProblemText, shared by the window's error box and the
// committee's report).

#include <QList>
#include <QString>

namespace core {

enum class ReadProblemCode {
    // The file. name: the path.
    FileNotFound,
    NotAFile,
    FileNotOpened, // reason
    FileNotRead,   // reason
    FileTooLarge,  // number: its size, limit
    // The ZIP container. name: the entry.
    NotZip,
    ArchiveDamaged,
    TooManyEntries, // number
    UnsafeEntryName,
    LinkEntry,
    FolderEntry,
    NotRegularEntry,
    DuplicateEntry,
    EntryEncrypted,
    EntryCompression,
    EntryTooLarge,   // number: its size, limit
    EntriesTooLarge, // limit
    EntryCrc,
    EntryUnreadable,
    EntryShort,
    EntryLong,
    // The package's entries.
    ForeignEntry, // name
    NoDocument,
    PictureFileTooLarge, // number: its size, limit
    // The data document. name: the field or element; found: what stood there.
    DocumentMalformed,
    DocumentEncoding, // name: the encoding
    DocumentStrayText,
    DocumentDtd,
    DocumentEntity,           // name: the entity
    DocumentFieldMisplaced,   // name: the field expected, found
    DocumentNamespace,        // name: the element's qualified name
    DocumentAttributes,       // name: the element
    DocumentNestedElements,   // name: the field
    DocumentUnknownAttribute, // name: the element, value: the attribute
    DocumentMissingAttribute, // name: the element, value: the attribute
    DocumentWrongInList,      // name: "subjects" or "people", found
    DocumentAuthorAfterTeachers,
    DocumentInsidePerson, // name: the element, found
    DocumentAfterField,   // name: the last field, found
    DocumentAfterRoot,    // name: the root element, found
    // The passport's rules. value: the value as stored.
    OtherSeason,
    BadTime,
    BadSection, // limit: the highest section
    SectionsNotByRules,
    BadIdForm,
    BadIdRange, // value: the ID, well shaped but outside the numbers given out
    BadIdCheckDigits,
    DuplicateId,
    LeaderIsAuthor,
    LeaderBadValue,  // name: the ID
    TooManyAuthors,  // number, limit
    TooManyTeachers, // number, limit
    SeveralLeaders,
    CaptionWithoutPicture,
    DescriptionTooLong, // number: its characters, limit
    // The picture image.jpg.
    PictureTooComplex, // limit: the scans allowed
    PictureNotJpeg,
    PictureTooLarge, // width, height, limit: the frame's side
    PictureCutShort,
    PictureDamaged, // number: libjpeg's warning (its message number)
};

// What stood in the data document where something else was expected.
enum class FoundToken { Nothing, Element, EndElement, EndOfFile };

struct ReadProblem {
    ReadProblemCode code;
    QString name;
    QString value;
    QString reason; // the system's reason
    qint64 number = 0;
    qint64 limit = 0;
    qint64 width = 0;
    qint64 height = 0;
    FoundToken found = FoundToken::Nothing;
    QString foundName;

    bool operator==(const ReadProblem &) const = default;
};

using ReadProblems = QList<ReadProblem>;

} // namespace core
