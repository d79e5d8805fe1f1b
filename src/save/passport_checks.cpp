#include "save/passport_checks.h"

#include "core/failure.h"
#include "participants/participant_id.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_size.h"
#include "save/document_fields.h"
#include "sections/section_rules.h"

#include <QRegularExpression>
#include <QSet>
#include <cstring>

namespace save {
namespace {

// The frame that a passport's picture fits into.
constexpr int kPictureFrame = picture::kFrameSide;
// The scans a picture may have: an exported one has one, a progressive one
// about ten.
constexpr int kMaxPictureScans = 100;

const QRegularExpression &digitsOnly()
{
    // Anchored at the very end: "$" would also match before a final line
    // feed.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,18}")));
    return pattern;
}

// The sections as the window's slots, or a problem.
void checkSubjects(const QStringList &values, PassportSnapshot &passport, ReadProblems &problems)
{
    QList<qint32> numbers;
    for (const QString &value : values) {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok || !digitsOnly().match(value).hasMatch() || number < 1 || number > kSubjectCount) {
            problems.push_back({.code = ReadProblemCode::BadSection, .value = value, .limit = kSubjectCount});
            return;
        }
        numbers.append(number);
    }
    // The choice must be one that the sections dialog can make: at most
    // three main sections in ascending order, then the supplementary one
    // only together with a main one.
    sections::SubjectFlags ticks{};
    int main = 0;
    for (qint32 n : numbers) {
        ticks[size_t(n - 1)] = true;
        if (n != sections::kSupplementarySubject)
            ++main;
    }
    const std::array<qint32, 4> canonical = sections::subjectSlotsFromTicks(ticks);
    std::array<qint32, 4> given{};
    for (qsizetype i = 0; i < numbers.size() && i < 4; ++i)
        given[size_t(i)] = numbers[i];
    const bool supplementaryAlone = main == 0 && ticks[sections::kSupplementarySubject - 1];
    if (numbers.size() > 4 || main > sections::kMaxMainSubjects || supplementaryAlone || canonical != given) {
        problems.push_back({.code = ReadProblemCode::SectionsNotByRules, .value = values.join(QStringLiteral(", "))});
        return;
    }
    passport.subjectSlots = canonical;
}

void checkPeople(const QList<StoredPerson> &people, PassportSnapshot &passport, ReadProblems &problems)
{
    static const QRegularExpression idShape(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{3}-[0-9]{3}-[0-9]{3}")));
    QSet<QString> seen, reported;
    int leaders = 0;
    for (const StoredPerson &person : people) {
        const QString &id = person.record.Id;
        if (!idShape.match(id).hasMatch()) {
            problems.push_back({.code = ReadProblemCode::BadIdForm, .value = id});
        } else if (!participants::isWellFormedParticipantId(id)) {
            problems.push_back({.code = ReadProblemCode::BadIdRange, .value = id});
        } else if (participants::formatCheckedParticipantId(id) != id) {
            problems.push_back({.code = ReadProblemCode::BadIdCheckDigits, .value = id});
        }
        if (seen.contains(id) && !reported.contains(id)) {
            problems.push_back({.code = ReadProblemCode::DuplicateId, .value = id});
            reported.insert(id);
        }
        seen.insert(id);

        if (person.leader) {
            if (!person.teacher) {
                problems.push_back({.code = ReadProblemCode::LeaderIsAuthor, .value = id});
            } else if (*person.leader != document::kLeaderValue) {
                problems.push_back({.code = ReadProblemCode::LeaderBadValue, .name = id, .value = *person.leader});
            } else {
                ++leaders;
                passport.leaderIndex = int(passport.teachers.size());
            }
        }
        (person.teacher ? passport.teachers : passport.authors).append(person.record);
    }
    if (passport.authors.size() > kMaxAuthors)
        problems.append(
            {.code = ReadProblemCode::TooManyAuthors, .number = passport.authors.size(), .limit = kMaxAuthors});
    if (passport.teachers.size() > kMaxTeachers)
        problems.append(
            {.code = ReadProblemCode::TooManyTeachers, .number = passport.teachers.size(), .limit = kMaxTeachers});
    if (leaders > 1)
        problems.push_back({ReadProblemCode::SeveralLeaders});
}

// How often the scan marker FF DA stands in the bytes. (QByteArray::count
// does the same several times slower; this runs on every picture read.)
qsizetype scanMarkers(const QByteArray &jpeg)
{
    qsizetype count = 0;
    const char *at = jpeg.constData();
    const char *const end = at + jpeg.size();
    while (at < end) {
        const auto *mark = static_cast<const char *>(std::memchr(at, 0xff, size_t(end - at)));
        if (!mark || mark + 1 >= end)
            break;
        if (uchar(mark[1]) == 0xda) {
            ++count;
            at = mark + 2;
        } else {
            at = mark + 1;
        }
    }
    return count;
}

// The picture as the window shows it, decoded with the program's own
// decoder (or, without decode, read through just as far); at most 300 x 300
// and complete.
} // namespace

void checkPicture(const QByteArray &jpeg, bool decode, PassportSnapshot &passport, ReadProblems &problems)
{
    // Each scan of a progressive picture is decoded over the whole picture;
    // a file of thousands of tiny scans would keep the decoder busy for
    // minutes. Every scan starts with the marker FF DA, which the coded data
    // never hold, so counting the pair bounds the scans.
    if (scanMarkers(jpeg) > kMaxPictureScans) {
        problems.push_back({.code = ReadProblemCode::PictureTooComplex, .limit = kMaxPictureScans});
        return;
    }
    // What the decoder refuses is the picture's fault; anything else (no
    // memory, a cancelled read) is no verdict on the package and goes on to
    // the caller. The decoder's budget refuses a header that declares far
    // more pixels than the file can hold before the size is looked at here;
    // within the frame's size, no picture of a package's size reaches the
    // budget's limit on work.
    const auto refused = [&](const Failure &failure) {
        switch (failure.code()) {
        case FailureCode::PictureTooBig:
            problems.push_back({.code = ReadProblemCode::PictureTooLarge,
                                .limit = kPictureFrame,
                                .width = failure.details().width,
                                .height = failure.details().height});
            return;
        case FailureCode::JpegError:
        case FailureCode::PictureTooLarge:
        case FailureCode::PictureTooCostly:
        case FailureCode::FloatingPointDivision:
            problems.push_back({ReadProblemCode::PictureNotJpeg});
            return;
        default:
            throw failure;
        }
    };
    Result<picture::JpegReader> reader = picture::JpegReader::read(jpeg);
    if (!reader) {
        refused(reader.error());
        return;
    }
    const QSize size = reader->size();
    if (size.isEmpty()) {
        problems.push_back({ReadProblemCode::PictureNotJpeg});
        return;
    }
    if (size.width() > kPictureFrame || size.height() > kPictureFrame) {
        problems.push_back({.code = ReadProblemCode::PictureTooLarge,
                            .limit = kPictureFrame,
                            .width = size.width(),
                            .height = size.height()});
        return;
    }
    QImage image;
    picture::DecodeReport report;
    if (decode) {
        Result<picture::DecodedJpeg> decoded = reader->decodeReduced(size);
        if (!decoded) {
            refused(decoded.error());
            return;
        }
        image = std::move(decoded->picture);
        report = std::move(decoded->report);
    } else {
        Result<picture::DecodeReport> verified = reader->verify();
        if (!verified) {
            refused(verified.error());
            return;
        }
        report = std::move(*verified);
    }
    // The decoder fills in what is missing or damaged, and warns; the page
    // would publish the filled-in parts as grey. Bytes after the
    // end-of-image marker are never read, and harm nothing.
    if (report.cutShort() || report.rowsDecoded < report.storedHeight) {
        problems.push_back({ReadProblemCode::PictureCutShort});
        return;
    }
    if (report.damaged()) {
        problems.push_back({.code = ReadProblemCode::PictureDamaged, .number = report.warnings.constFirst()});
        return;
    }
    passport.hasPicture = true;
    passport.picture = std::move(image);
}

void checkDocument(const StoredDocument &document, DocumentForm form, PassportSnapshot &passport, qint64 &savedAt,
                   ReadProblems &problems)
{
    passport = document.texts;
    passport.subjectNames = core::defaultSubjectNames();
    passport.seasonId = kSeasonId;
    passport.seasonName = kSeasonName;
    if (document.seasonId != QString::number(kSeasonId))
        problems.push_back({.code = ReadProblemCode::OtherSeason, .value = document.seasonId});
    if (digitsOnly().match(document.datetime).hasMatch())
        savedAt = document.datetime.toLongLong();
    else
        problems.push_back({.code = ReadProblemCode::BadTime, .value = document.datetime});
    // The page publishes the first 500 characters, and the program never
    // writes more into a package: a longer description was not written by
    // it, and would be published cut.
    if (form == DocumentForm::Package && core::publishedDescription(passport.description) != passport.description)
        problems.push_back({.code = ReadProblemCode::DescriptionTooLong,
                            .number = core::characterCount(passport.description),
                            .limit = core::kPublishedDescriptionLength});
    checkSubjects(document.subjects, passport, problems);
    checkPeople(document.people, passport, problems);
}

} // namespace save
