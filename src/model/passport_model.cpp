#include "model/passport_model.h"

#include "picture/jpeg_codec.h"
#include "sections/section_rules.h"

namespace {

std::size_t at(PassportModel::Text which) { return std::size_t(which); }

// Where each text stands in the plain passport.
QString PassportSnapshot::*field(PassportModel::Text which)
{
    using Text = PassportModel::Text;
    switch (which) {
    case Text::Title:
        return &PassportSnapshot::title;
    case Text::Description:
        return &PassportSnapshot::description;
    case Text::TechRequest:
        return &PassportSnapshot::techRequest;
    case Text::Manual:
        return &PassportSnapshot::manual;
    case Text::PostIndex:
        return &PassportSnapshot::postIndex;
    case Text::PostAddress:
        return &PassportSnapshot::postAddress;
    case Text::Phone:
        return &PassportSnapshot::phone;
    case Text::Email:
        return &PassportSnapshot::email;
    case Text::Notes:
        return &PassportSnapshot::notes;
    case Text::Caption:
        return &PassportSnapshot::pictureCaption;
    }
    return nullptr;
}

constexpr PassportModel::Text kTexts[] = {
    PassportModel::Text::Title,   PassportModel::Text::Description, PassportModel::Text::TechRequest,
    PassportModel::Text::Manual,  PassportModel::Text::PostIndex,   PassportModel::Text::PostAddress,
    PassportModel::Text::Phone,   PassportModel::Text::Email,       PassportModel::Text::Notes,
    PassportModel::Text::Caption,
};

} // namespace

PassportModel::PassportModel(QObject *parent) : QObject(parent)
{
    static_assert(std::size(kTexts) == std::tuple_size_v<decltype(texts_)>);
}

PassportSnapshot PassportModel::snapshot() const
{
    PassportSnapshot s;
    for (const Text which : kTexts)
        s.*field(which) = texts_[at(which)];
    s.subjectSlots = slots_;
    s.subjectNames = core::defaultSubjectNames();
    s.seasonId = kSeasonId;
    s.seasonName = kSeasonName;
    s.authors = authors_;
    s.teachers = teachers_;
    s.leaderIndex = leader_;
    s.hasPicture = hasPicture_;
    if (hasPicture_)
        s.picture = picture_;
    return s;
}

void PassportModel::restore(const PassportSnapshot &passport, const QByteArray &pictureJpeg)
{
    // The picture first: removing it clears the caption, which the passport
    // then sets as read, even without a picture, so that saving again writes
    // the same document.
    if (passport.hasPicture)
        setPicture(passport.picture, pictureJpeg);
    else
        removePicture();
    for (const Text which : kTexts)
        setText(which, passport.*field(which));
    setSubjectSlots(sections::subjectSlotsAsChosen(passport.subjectSlots));
    setParticipants(passport.authors, passport.teachers, passport.leaderIndex);
}

QString PassportModel::text(Text which) const { return texts_[at(which)]; }

void PassportModel::setText(Text which, const QString &value)
{
    if (texts_[at(which)] == value)
        return;
    texts_[at(which)] = value;
    emit textChanged(which);
    emit changed();
}

void PassportModel::setSubjectSlots(const std::array<qint32, 4> &numbers)
{
    if (slots_ == numbers)
        return;
    slots_ = numbers;
    emit subjectSlotsChanged();
    emit changed();
}

int PassportModel::limit(Side side) { return side == Side::Authors ? kMaxAuthors : kMaxTeachers; }

const QList<TPersonRecord> &PassportModel::participants(Side side) const
{
    return side == Side::Authors ? authors_ : teachers_;
}

PassportModel::Added PassportModel::addParticipant(Side side, const QString &id)
{
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
        leader_ = 0;
    emit participantsChanged(side);
    emit changed();
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
        leader_ = next;
    emit participantsChanged(side);
    emit changed();
    return next;
}

void PassportModel::setParticipantName(Side side, int row, QString TPersonRecord::*part, const QString &value)
{
    QList<TPersonRecord> &people = list(side);
    if (row < 0 || row >= people.size() || people[row].*part == value)
        return;
    people[row].*part = value;
    emit participantNameChanged(side, row);
    emit changed();
}

void PassportModel::setParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers,
                                    int leader)
{
    authors_ = authors.mid(0, kMaxAuthors);
    teachers_ = teachers.mid(0, kMaxTeachers);
    leader_ = leader >= 0 && leader < teachers_.size() ? leader : -1;
    emit participantsChanged(Side::Authors);
    emit participantsChanged(Side::Teachers);
    emit changed();
}

void PassportModel::setLeaderIndex(int index)
{
    const int leader = index >= 0 && index < teachers_.size() ? index : -1;
    if (leader == leader_)
        return;
    leader_ = leader;
    emit leaderChanged();
    emit changed();
}

void PassportModel::setPicture(const QImage &reduced, const QByteArray &storedJpeg)
{
    hasPicture_ = true;
    picture_ = reduced.convertToFormat(QImage::Format_RGB32);
    pictureJpeg_ = storedJpeg;
    emit pictureChanged();
    emit changed();
}

void PassportModel::removePicture()
{
    if (!hasPicture_)
        return;
    hasPicture_ = false;
    picture_ = QImage();
    pictureJpeg_.clear();
    emit pictureChanged();
    setText(Text::Caption, QString());
    emit changed();
}

QByteArray PassportModel::pictureFile() const
{
    if (!hasPicture_)
        return QByteArray();
    return pictureJpeg_.isEmpty() ? picture::encodeJpeg(picture_) : pictureJpeg_;
}
