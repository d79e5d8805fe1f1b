#pragma once

#include "core/passport.h"

#include <QWidget>
#include <array>
#include <memory>

class TForm1;
class TSubjects;

namespace Ui {
class TPasport;
}

// The passport window. It owns every piece of the passport: the texts in its
// controls and the tables below. The handlers of each part of the window live
// beside that part (participants/, sections/, picture/, save/, preview/).
class TPasport : public QWidget {
    Q_OBJECT
public:
    explicit TPasport(QWidget *parent = nullptr);
    ~TPasport() override;

    // The two dialogs are created after the window; start-up hands them over.
    void setDialogs(TSubjects *subjects, TForm1 *form1);

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
    void titleClick();
    void descriptionClick();
    void tech_requestClick();
    void manualClick();
    void public_post_indexClick();
    // Shows how many characters of the description are published.
    void descriptionChange();

    // ---- Participants ----
    void AuthorAddClick();
    void TeacherAddClick();
    void AuthorDeleteClick();
    void TeacherDeleteClick();
    void AuthorSelectClick();
    void TeacherSelectClick();
    void AuthorsLastnameChange();
    void AuthorsNameChange();
    void AuthorsPatronymicChange();
    void TeachersLastnameChange();
    void TeachersNameChange();
    void TeachersPatronymicChange();

    // ---- Subject sections ----
    void Button3Click();

    // ---- Work picture ----
    void AddImgClick();
    void DelImgClick();
    // Writes the shown picture as a JPEG file; false (and nothing written)
    // without a picture. A failure to write throws.
    bool SaveWorkPicture(const QString &path);

    // ---- Saving ----
    void SaveButtonClick();

    // ---- Preview ----
    void PreviewClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void connectHelp();
    void connectParticipants();
    void connectSections();
    void connectPicture();
    void connectSave();
    void connectPreview();
    void connectKeyboard();
    // The window's one Tab chain, from the tab bar through every sheet's
    // controls to the bottom row.
    QList<QWidget *> tabChain() const;
    // After the warning about an incomplete passport: the sheet of the first
    // missing item, with the focus on it.
    void showFirstMissing(const PassportSnapshot &passport);

    std::unique_ptr<Ui::TPasport> ui;
    bool placedWithFrame = false;
    TSubjects *Subjects = nullptr;
    TForm1 *Form1 = nullptr;

    // ---- Picture state ----
    QString lastPictureFile; // offered by the open dialog next time

    // ---- Save state ----
    QString lastPackagePath; // proposed by the save dialog next time
    QByteArray WorkInfoXML;  // the data document of the latest save, as written
    // Writes WorkInfoXML to the given path; throws when it cannot.
    void WriteDataDocument(const QString &path);
};
