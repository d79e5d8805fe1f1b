#pragma once

// The passport as plain values: what the window holds, read at one moment.
// Saving and the preview work from this snapshot only.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <array>

// One participant: the formatted ID and the names as typed.
struct TPersonRecord {
    QString Id;
    QString Surname;
    QString Name;
    QString Patronymic;

    bool operator==(const TPersonRecord &) const = default;
};

inline constexpr int kMaxAuthors = 10;
inline constexpr int kMaxTeachers = 3;
inline constexpr int kSubjectCount = 22;

// The festival season whose passports the program writes and opens.
inline constexpr qint32 kSeasonId = 4;
inline const QString kSeasonName = QStringLiteral("2008/2009 учебный год");

struct PassportSnapshot {
    // Texts as typed. A memo's line breaks are CR LF.
    QString title;
    QString description;
    QString techRequest;
    QString manual;
    QString postIndex;
    QString postAddress;
    QString phone;
    QString email;
    QString notes;

    // The section numbers chosen, from the first slot on; 0 is empty.
    std::array<qint32, 4> subjectSlots{};
    // The section names by number; index 0 is unused.
    std::array<QString, kSubjectCount + 1> subjectNames;

    qint32 seasonId = 0;
    QString seasonName;

    // One entry per list item, in list order.
    QList<TPersonRecord> authors;
    QList<TPersonRecord> teachers;
    // The supervisor who receives the invoice: an index into teachers, or -1.
    int leaderIndex = -1;

    // The work picture as shown (at most 300 x 300), and its caption.
    bool hasPicture = false;
    QImage picture;
    QString pictureCaption;
    // The picture's file as stored in the package or draft it was read
    // from, written again unchanged while that picture stays; empty for a
    // picture the user loaded.
    QByteArray pictureJpeg;

    bool operator==(const PassportSnapshot &) const = default;
};

namespace core {

// The 22 section names as the window shows them, index 0 unused.
std::array<QString, kSubjectCount + 1> defaultSubjectNames();

// A memo's raw document text as the passport carries it: every line break
// (paragraph or line separator, CR LF, lone CR or LF) is CR LF; everything
// else stays exactly as typed.
QString memoTextToPassport(const QString &rawText);
// The reverse, for putting passport text into a memo.
QString passportTextToMemo(const QString &text);

// Removes every leading and trailing character with a code from 0 to 32 and
// nothing else: the no-break space stays.
QString trimControls(const QString &text);
// True when nothing is left of the text after trimControls.
bool isBlank(const QString &text);

// The number of characters (code points) in a text: a surrogate pair counts
// as one character, a CR LF pair as two.
qsizetype characterCount(QStringView text);

// How many characters of the description are published.
inline constexpr int kPublishedDescriptionLength = 500;
// The description as published: its first 500 characters, counted as
// core::characterCount does, cut so that no CR LF pair is split (the CR is
// dropped with its LF). Not trimmed.
QString publishedDescription(const QString &description);

} // namespace core
