#pragma once

// The passport being edited. The window owns one model; its controls are
// views of it: what the user types goes into the model, and every change of
// the model is announced by a signal that the controls follow. Opening a
// package, restoring a draft and saving all go through here, and the model
// knows which file the passport belongs to and whether it differs from what
// was opened or saved there. Qt Core only: the model knows no widget.

#include "core/passport.h"
#include "core/passport_texts.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <optional>

class PassportModel : public QObject {
    Q_OBJECT
public:
    // The texts of the passport, each shown by one edit: the rows of
    // kPassportTexts (core/passport_texts.h).
    using Text = PassportText;
    // The two lists of participants.
    enum class Side { Authors, Teachers };
    Q_ENUM(Side)

    explicit PassportModel(QObject *parent = nullptr);

    // ---- The whole passport ----
    // The passport as plain values, with the section names and the season
    // of the festival this program serves.
    const PassportSnapshot &snapshot() const { return passport_; }
    // Takes over a passport read back (a package or a draft): its texts,
    // its sections as the sections dialog gives them, at most 10 authors and
    // 3 supervisors, and its picture with its stored file, which is written
    // again unchanged while that picture stays.
    void restore(const PassportSnapshot &passport);

    // ---- The file and the unsaved input ----
    // The package the passport was opened from or saved as (absolute);
    // empty for none.
    QString filePath() const { return filePath_; }
    // Whether the passport differs from what was opened or saved (from an
    // empty passport when neither).
    bool isModified() const { return modified_; }
    // The passport as it stands is now what the package at path holds
    // (opened or saved); path empty for a passport of no file.
    void markSaved(const QString &path);
    // The passport of a restored draft: it belongs to the package at path
    // (empty for none), and counts as saved where its fingerprint
    // (save::passportFingerprint) is savedFingerprint; an empty fingerprint
    // keeps what counted as saved before.
    void markRestored(const QString &path, const QByteArray &savedFingerprint);
    // The fingerprint of what counts as saved, for a draft's record.
    QByteArray savedFingerprint() const;

    // ---- Texts (memos' line breaks are CR LF) ----
    QString text(Text which) const { return textOf(passport_, which); }
    void setText(Text which, const QString &value);

    // ---- Sections: the numbers chosen, from the first slot on; 0 is empty ----
    std::array<qint32, 4> subjectSlots() const { return passport_.subjectSlots; }
    void setSubjectSlots(const std::array<qint32, 4> &numbers);

    // ---- Participants ----
    // How many participants a list takes: 10 authors, 3 supervisors.
    static int limit(Side side);
    static Side otherSide(Side side) { return side == Side::Authors ? Side::Teachers : Side::Authors; }
    const QList<TPersonRecord> &participants(Side side) const;
    bool canAdd(Side side) const { return participants(side).size() < limit(side); }

    // What adding an ID did. An ID stands at most once in the two lists
    // together: an ID already there is not added again, and row tells where
    // it stands (in this list, or in the other one). An ID whose check digit
    // is wrong is refused.
    struct Added {
        enum Outcome { New, InThisList, InOtherList, ListFull, NotChecked };
        Outcome outcome = New;
        int row = -1;
    };
    // Adds a participant with the formatted ID and no names at the end of
    // the list. The first supervisor becomes the invoice recipient.
    Added addParticipant(Side side, const QString &id);
    // Removes the participant at row; the ones after it move up. Returns the
    // row that stands in its place to be shown next: the one before it, the
    // first, or -1 when the list is now empty. A deleted supervisor hands
    // the invoice to the supervisor of that row.
    int deleteParticipant(Side side, int row);
    // One name part of the participant at row.
    void setParticipantName(Side side, int row, QString TPersonRecord::*part, const QString &value);
    // Both lists at once, with the invoice recipient at leader (-1: none);
    // each list is cut to its limit.
    void setParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers, int leader);

    // The supervisor who receives the invoice: a row of the supervisors, or -1.
    int leaderIndex() const { return passport_.leaderIndex; }
    void setLeaderIndex(int index);

    // ---- Picture ----
    bool hasPicture() const { return passport_.hasPicture; }
    // The picture as shown: reduced to at most 300 x 300, RGB32.
    const QImage &picture() const { return passport_.picture; }
    // The picture's file as stored in the package it was read from; empty
    // for a picture loaded from a file of the user's.
    QByteArray pictureJpeg() const { return passport_.pictureJpeg; }
    // A picture loaded by the user (no stored file), or read back with its
    // stored file.
    void setPicture(const QImage &reduced, const QByteArray &storedJpeg = QByteArray());
    // No picture, and no caption.
    void removePicture();
    // The JPEG file that stands for the picture: the stored file while the
    // picture is the one read from it, else the shown picture encoded. Empty
    // without a picture.
    QByteArray pictureFile() const;

signals:
    void textChanged(PassportModel::Text which);
    void subjectSlotsChanged();
    // Participants added, deleted or replaced.
    void participantsChanged(PassportModel::Side side);
    void participantNameChanged(PassportModel::Side side, int row);
    void leaderChanged();
    // A picture loaded, replaced or removed.
    void pictureChanged();
    // After any of the above.
    void changed();
    // filePath() changed.
    void filePathChanged();
    // markSaved(): the passport now stands as saved in filePath().
    void saved();
    // isModified() changed.
    void modifiedChanged(bool modified);

private:
    QList<TPersonRecord> &list(Side side) { return side == Side::Authors ? passport_.authors : passport_.teachers; }
    // Emits changed(), then modifiedChanged() when that turned.
    void touched();
    void updateModified();

    PassportSnapshot passport_;
    QString filePath_;
    // What counts as saved: the passport itself where it is known, else only
    // its fingerprint (a restored draft's record of its package).
    std::optional<PassportSnapshot> saved_;
    mutable QByteArray savedFingerprint_; // of saved_, once asked for
    bool modified_ = false;
};
