#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class QLineEdit;
class QPushButton;

namespace Ui {
class ParticipantIdDialog;
}

// The participant-ID dialog "Добавить": one field for the ID (AddID) and
// one button (Button1). It only screens what is typed; the caller checks and
// formats the ID (participants::formatCheckedParticipantId) after the
// dialog has closed with the OK result.
class ParticipantIdDialog : public QDialog {
    Q_OBJECT
public:
    explicit ParticipantIdDialog(QWidget *parent = nullptr);
    ~ParticipantIdDialog() override;

    // Empties the field for the next ID.
    void clearId();
    // The ID as typed.
    QString enteredId() const;

    // Key filter of AddID: true when the typed character may enter the field.
    bool acceptsKey(QChar key) const;
    // Runs on every change of AddID's text: the button is enabled exactly
    // while the text has the shape of an ID.
    void updateButton();
    void confirm();

    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::ParticipantIdDialog> ui;
    QLineEdit *AddID = nullptr;
    QPushButton *Button1 = nullptr;
};
