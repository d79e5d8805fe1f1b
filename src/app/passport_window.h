#pragma once

#include "core/passport.h"
#include "model/passport_model.h"

#include <QElapsedTimer>
#include <QWidget>
#include <memory>

class PictureLoader;
struct PictureOutcome;
class QLineEdit;
class QListWidget;
class QTimer;
class ParticipantIdDialog;
class SectionsDialog;

namespace drafts {
class DraftKeeper;
class DraftScheduler;
struct OrphanDraft;
} // namespace drafts

namespace Ui {
class PassportWindow;
}

// The passport window. The passport lives in its model; the controls are
// views of the model (they follow its signals, and what the user types goes
// into it). The handlers of each part of the window live in a file of their
// own; they call one another in one direction only: the window sets them up,
// opening asks saving about unsaved input, saving shows what is missing in
// the lists, and nothing calls back.
class PassportWindow : public QWidget {
    Q_OBJECT
public:
    explicit PassportWindow(QWidget *parent = nullptr);
    ~PassportWindow() override;

    // The two dialogs are created after the window; start-up hands them over.
    void setDialogs(SectionsDialog *sections, ParticipantIdDialog *idDialog);

    // The passport being edited.
    PassportModel &model() { return model_; }
    const PassportModel &model() const { return model_; }
    // The passport as one plain value.
    const PassportSnapshot &snapshot() const { return model_.snapshot(); }

    // ---- Field help ----
    void showTitleHelp();
    void showDescriptionHelp();
    void showRequirementsHelp();
    void showManualHelp();
    void showContactsHelp();
    // Shows how many characters of the description are published.
    void showDescriptionCount();

    // ---- Subject sections ----
    void chooseSections();

    // ---- Work picture ----
    void loadPicture();
    void removePicture();
    // Whether a picture file is being read (its buttons and drops wait).
    bool pictureLoading() const;
    // Loads the picture file as "Добавить" does after its dialog (also for a
    // dropped file), off the window's thread: the result comes back later
    // (takePicture), and a failure is shown then. Nothing happens while
    // another picture is loading.
    void loadPictureFile(const QString &path);
    // Writes the picture as a JPEG file; false (and nothing written)
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
    // behind: one as a question, several (or a damaged one) in a list to
    // restore one from, delete or keep for later. Called at start-up.
    void offerDraftRecovery();
    // Hands the passport to the draft's writer now, if it changed; what the
    // timer does after a change (benchmarks).
    void writeDraftNow();
    // Writes the draft now and waits until it is on disk (tests and
    // benchmarks).
    void flushDraft();
    // The writer of this window's draft.
    drafts::DraftKeeper &draftKeeper();
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
    void connectTexts();
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

    std::unique_ptr<Ui::PassportWindow> ui;
    PassportModel model_;
    bool placedWithFrame = false;
    SectionsDialog *sectionsDialog = nullptr;
    ParticipantIdDialog *idDialog = nullptr;

    // ---- Texts: the edits as views of the model's texts ----
    // The edit of each row of kPassportTexts, found by its object name.
    std::array<QWidget *, kPassportTextCount> textControls{};
    QWidget *textControl(PassportModel::Text which) const { return textControls[std::size_t(which)]; }
    QString controlText(PassportModel::Text which) const;
    // Puts the model's text into its edit, and takes back what the edit
    // makes of it (a memo turns every line break into CR LF).
    void showText(PassportModel::Text which);
    bool showingText = false;

    // ---- Participants ----
    void addParticipant(PassportModel::Side side);
    void deleteParticipant(PassportModel::Side side);
    void showSelectedParticipant(PassportModel::Side side);
    // The model's list into its list box, caption, buttons and, for the
    // supervisors, the invoice recipient; the first participant selected.
    void showParticipants(PassportModel::Side side);
    void showParticipantName(PassportModel::Side side, int row);
    void showLeader();
    void storeName(PassportModel::Side side, QString TPersonRecord::*part, const QLineEdit *edit);
    // Selects a row of the list box and shows that participant.
    void selectParticipant(PassportModel::Side side, int row);
    bool showingParticipants = false;

    // ---- Sections ----
    void showSections();

    // ---- Picture ----
    void showPicture();
    // Takes what reading a picture file gave.
    void takePicture(const QString &path, PictureOutcome outcome);
    // Abandons a picture load under way (a passport replaced, the window closed).
    void cancelPictureLoad();
    QString lastPictureFile;                // offered by the open dialog next time
    PictureLoader *pictureLoader = nullptr; // reads picture files off the window's thread

    // ---- Saving ----
    // The kind of file in the open and the save dialog.
    static const QString kPackageFilter;
    QString lastPackagePath; // the dialogs' last choice, proposed by the next one
    // The save behind "Сохранить": true when the package was written.
    bool savePassport();
    // Runs the save, showing a failure that escapes it; true on success.
    bool saveReportingFailure();
    // After the warning about an incomplete passport: the sheet of the first
    // missing item, with the focus on it.
    void showFirstMissing(const PassportSnapshot &passport);
    // The caption follows the model's file: its name leads the caption,
    // and the save dialog offers it.
    void updateTitle();
    QString plainTitle; // the window's own caption

    // ---- Opening ----
    // Asks about unsaved input before it would be dropped (closing the
    // window, opening another package). False when the user keeps it
    // ("Отмена", or a save that failed). Shows whatever fails on the way.
    bool settleUnsavedInput();
    bool openPackageSettled(const QString &path);
    // A drag or drop of files over one of the window's edits: handled here
    // (true) rather than by the edit, which would take their names as text.
    bool packageDragEvent(QEvent *event);

    // ---- Draft state ----
    // Writes the draft after changes of the model.
    drafts::DraftScheduler *draftScheduler = nullptr;
    void connectDrafts();
    // The line near the buttons while drafts cannot be written.
    void showDraftFailure();
    void restoreDraft(drafts::OrphanDraft &orphan);
};
