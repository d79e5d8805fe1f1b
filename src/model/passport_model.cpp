#include "model/passport_model.h"

#include "participants/participant_id.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "sections/section_rules.h"

PassportModel::PassportModel(QObject *parent) : QObject(parent)
{
    passport_.subjectNames = core::defaultSubjectNames();
    passport_.seasonId = kSeasonId;
    passport_.seasonName = kSeasonName;
    saved_ = passport_;
}

void PassportModel::restore(const PassportSnapshot &passport)
{
    // The picture first: removing it clears the caption, which the passport
    // then sets as read, even without a picture, so that saving again writes
    // the same document.
    if (passport.hasPicture)
        setPicture(passport.picture, passport.pictureJpeg);
    else
        removePicture();
    for (const PassportTextRow &row : kPassportTexts)
        setText(row.which, passport.*row.member);
    setSubjectSlots(sections::subjectSlotsAsChosen(passport.subjectSlots));
    setParticipants(passport.authors, passport.teachers, passport.leaderIndex);
}

// ---- The file and the unsaved input ----

void PassportModel::markSaved(const QString &path)
{
    saved_ = passport_;
    savedFingerprint_.clear();
    if (filePath_ != path) {
        filePath_ = path;
        emit filePathChanged();
    }
    updateModified();
    emit saved();
}

void PassportModel::markRestored(const QString &path, const QByteArray &savedFingerprint)
{
    if (!savedFingerprint.isEmpty()) {
        saved_.reset();
        savedFingerprint_ = savedFingerprint;
    }
    if (filePath_ != path) {
        filePath_ = path;
        emit filePathChanged();
    }
    updateModified();
}

QByteArray PassportModel::savedFingerprint() const
{
    if (saved_ && savedFingerprint_.isEmpty())
        savedFingerprint_ = save::passportFingerprint(*saved_);
    return savedFingerprint_;
}

void PassportModel::touched()
{
    emit changed();
    updateModified();
}

void PassportModel::updateModified()
{
    const bool modified = saved_ ? passport_ != *saved_ : save::passportFingerprint(passport_) != savedFingerprint_;
    if (modified == modified_)
        return;
    modified_ = modified;
    emit modifiedChanged(modified_);
}

// ---- Texts ----

void PassportModel::setText(Text which, const QString &value)
{
    QString &text = textOf(passport_, which);
    if (text == value)
        return;
    text = value;
    emit textChanged(which);
    touched();
}

void PassportModel::setSubjectSlots(const std::array<qint32, 4> &numbers)
{
    if (passport_.subjectSlots == numbers)
        return;
    passport_.subjectSlots = numbers;
    emit subjectSlotsChanged();
    touched();
}

// ---- Participants ----

int PassportModel::limit(Side side) { return side == Side::Authors ? kMaxAuthors : kMaxTeachers; }

const QList<TPersonRecord> &PassportModel::participants(Side side) const
{
    return side == Side::Authors ? passport_.authors : passport_.teachers;
}

PassportModel::Added PassportModel::addParticipant(Side side, const QString &id)
{
    if (participants::formatCheckedParticipantId(id) != id)
        return {Added::NotChecked, -1};
    const auto find = [&id](const QList<TPersonRecord> &people) {
        for (int i = 0; i < people.size(); ++i)
            if (people[i].Id == id)
                return i;
        return -1;
    };
    if (const int row = find(participants(side)); row >= 0)
        return {Added::InThisList, row};
    if (const int row = find(participants(otherSide(side))); row >= 0)
        return {Added::InOtherList, row};
    if (!canAdd(side))
        return {Added::ListFull, -1};

    QList<TPersonRecord> &people = list(side);
    people.append(TPersonRecord{id, {}, {}, {}});
    if (side == Side::Teachers && people.size() == 1)
        passport_.leaderIndex = 0;
    emit participantsChanged(side);
    touched();
    return {Added::New, int(people.size()) - 1};
}

int PassportModel::deleteParticipant(Side side, int row)
{
    QList<TPersonRecord> &people = list(side);
    if (row < 0 || row >= people.size())
        return -1;
    people.removeAt(row);
    const int next = people.isEmpty() ? -1 : std::max(row - 1, 0);
    if (side == Side::Teachers)
        passport_.leaderIndex = next;
    emit participantsChanged(side);
    touched();
    return next;
}

void PassportModel::setParticipantName(Side side, int row, QString TPersonRecord::*part, const QString &value)
{
    QList<TPersonRecord> &people = list(side);
    if (row < 0 || row >= people.size() || people[row].*part == value)
        return;
    people[row].*part = value;
    emit participantNameChanged(side, row);
    touched();
}

void PassportModel::setParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers,
                                    int leader)
{
    passport_.authors = authors.mid(0, kMaxAuthors);
    passport_.teachers = teachers.mid(0, kMaxTeachers);
    passport_.leaderIndex = leader >= 0 && leader < passport_.teachers.size() ? leader : -1;
    emit participantsChanged(Side::Authors);
    emit participantsChanged(Side::Teachers);
    touched();
}

void PassportModel::setLeaderIndex(int index)
{
    const int leader = index >= 0 && index < passport_.teachers.size() ? index : -1;
    if (leader == passport_.leaderIndex)
        return;
    passport_.leaderIndex = leader;
    emit leaderChanged();
    touched();
}

// ---- Picture ----

void PassportModel::setPicture(const QImage &reduced, const QByteArray &storedJpeg)
{
    passport_.hasPicture = true;
    passport_.picture = reduced.convertToFormat(QImage::Format_RGB32);
    passport_.pictureJpeg = storedJpeg;
    emit pictureChanged();
    touched();
}

void PassportModel::removePicture()
{
    if (!passport_.hasPicture)
        return;
    passport_.hasPicture = false;
    passport_.picture = QImage();
    passport_.pictureJpeg.clear();
    emit pictureChanged();
    setText(Text::Caption, QString());
    touched();
}

QByteArray PassportModel::pictureFile() const
{
    if (!passport_.hasPicture)
        return QByteArray();
    return passport_.pictureJpeg.isEmpty() ? picture::encodeJpeg(passport_.picture) : passport_.pictureJpeg;
}
