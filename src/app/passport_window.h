#pragma once

#include "core/passport.h"

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <memory>

class QTimer;
class ParticipantIdDialog;
class SectionsDialog;

namespace save {
class DraftKeeper;
}

namespace Ui {
class PassportWindow;
}

// The passport window. It owns every piece of the passport: the texts in its
// controls and the tables below. The handlers of each part of the window live
// beside that part (participants/, sections/, picture/, save/, preview/).
class PassportWindow : public QWidget {
    Q_OBJECT
public:
    explicit PassportWindow(QWidget *parent = nullptr);
    ~PassportWindow() override;

    // The two dialogs are created after the window; start-up hands them over.
    void setDialogs(SectionsDialog *subjects, ParticipantIdDialog *form1);

    // Reads the window into one plain value.
    PassportSnapshot snapshot() const;

    // ---- State owned by the window ----
    std::array<TPersonRecord, 10> AuthorsData;
    std::array<TPersonRecord, 6> TeachersData;
    std::array<qint32, 4> SubjectSlots{};
    std::array<QString, kSubjectCount + 1> SubjectNames; // by section number 1..22
    qint32 SeasonId = 0;
    QString SeasonName;

    // ---- Field help ----
    void showTitleHelp();
    void showDescriptionHelp();
    void showRequirementsHelp();
    void showManualHelp();
    void showContactsHelp();
    // Shows how many characters of the description are published.
    void showDescriptionCount();

    // ---- Participants ----
    void addAuthor();
    void addTeacher();
    void deleteAuthor();
    void deleteTeacher();
    void showSelectedAuthor();
    void showSelectedTeacher();
    void storeAuthorSurname();
    void storeAuthorName();
    void storeAuthorPatronymic();
    void storeTeacherSurname();
    void storeTeacherName();
    void storeTeacherPatronymic();

    // ---- Subject sections ----
    void chooseSections();

    // ---- Work picture ----
    void loadPicture();
    void removePicture();
    // Writes the shown picture as a JPEG file; false (and nothing written)
    // without a picture. A failure to write throws.
    bool writePicture(const QString &path);

    // ---- Saving ----
    void saveToPackage();

    // ---- Opening a package ----
    void openChosenPackage();
    // Opens the package at path into the window (the command line, a dropped
    // file): asks first when the window holds unsaved input, refuses a
    // package that cannot be read with an error box and leaves the window as
    // it was. True when the package was opened.
    bool openPackage(const QString &path);

    // ---- Drafts ----
    // Offers the drafts that programs which ended without saving left
    // behind; restores the first one the user accepts. Called at start-up.
    void offerDraftRecovery();
    // Hands the passport to the draft's writer now, if it changed; what the
    // timer does after a change (benchmarks).
    void writeDraftNow();
    // Writes the draft now and waits until it is on disk (tests and
    // benchmarks).
    void flushDraft();
    // The writer of this window's draft.
    save::DraftKeeper &draftKeeper() { return *drafts; }
    // Removes this window's draft.
    void discardDraft();
    // The path of this window's draft, once it has one.
    QString draftPath() const;

    // ---- Preview ----
    void showPreview();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void connectHelp();
    void connectParticipants();
    void connectSections();
    void connectPicture();
    void connectSave();
    void connectPreview();
    void connectPackage();
    void connectKeyboard();
    // The window's one Tab chain, from the tab bar through every sheet's
    // controls to the bottom row.
    QList<QWidget *> tabChain() const;
    // After the warning about an incomplete passport: the sheet of the first
    // missing item, with the focus on it.
    void showFirstMissing(const PassportSnapshot &passport);

    std::unique_ptr<Ui::PassportWindow> ui;
    bool placedWithFrame = false;
    SectionsDialog *sectionsDialog = nullptr;
    ParticipantIdDialog *idDialog = nullptr;

    // ---- Restoring the participants ----
    void restoreParticipants(const QList<TPersonRecord> &authors, const QList<TPersonRecord> &teachers, int leader);

    // ---- Picture state ----
    QString lastPictureFile; // offered by the open dialog next time
    // The picture file of the opened package, written again byte for byte
    // while the shown picture is still the one decoded from it.
    QByteArray keptPictureJpeg;
    qint64 keptPictureKey = 0;
    // keptPictureJpeg while it still stands for the shown picture, else empty.
    QByteArray keptPictureForShown() const;
    void restorePicture(const PassportSnapshot &passport, const QByteArray &jpeg);

    // The kind of file in the open and the save dialog.
    static const QString kPackageFilter;

    // ---- Save state ----
    QString lastPackagePath; // proposed by the save dialog next time
    // The save behind "Сохранить": true when the package was written.
    bool savePassport();

    // ---- Package state ----
    QString plainTitle;         // the window's own caption
    QString currentPackagePath; // the package opened or saved last; its name leads the caption
    // The passport as last opened or saved (at first: the empty window).
    // The window holds unsaved input exactly while its snapshot differs.
    PassportSnapshot savedSnapshot;
    // Runs the save, showing a failure that escapes it; true on success.
    bool saveReportingFailure();
    // Asks about unsaved input before it would be dropped. False when the
    // user keeps it ("Отмена", or a save that failed).
    bool settleUnsavedInput();
    bool openPackageSettled(const QString &path);
    void restorePassport(const PassportSnapshot &passport, const QByteArray &pictureJpeg);
    void restoreSections(const std::array<qint32, 4> &slotNumbers);
    void showSubjectSummary();
    void packageSaved(const QString &path, const PassportSnapshot &passport);
    void updateTitle();
    // A drag or drop of a package over one of the window's edits: handled
    // here (true) rather than by the edit.
    bool packageDragEvent(QEvent *event);

    // ---- Draft state ----
    std::unique_ptr<save::DraftKeeper> drafts;
    QTimer *draftTimer = nullptr;
    QElapsedTimer firstPendingChange; // the oldest change not yet in the draft
    PassportSnapshot draftedSnapshot; // the passport last handed to the draft
    bool closed = false;              // no drafts once the window is closed
    void noteChange();
    void writeDraft();
};
