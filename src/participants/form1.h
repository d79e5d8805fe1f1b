#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

class QLineEdit;
class QPushButton;

namespace Ui {
class TForm1;
}

// The participant-ID dialog "Добавить": one field for the ID and one button.
// It only screens what is typed; the caller checks and formats the ID after
// the dialog has closed with the OK result.
class TForm1 : public QDialog {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    QLineEdit *AddID = nullptr;
    QPushButton *Button1 = nullptr;

    // Key filter of AddID: true when the typed character may enter the field.
    bool AddIDKeyPress(QChar key) const;
    // Runs on every change of AddID's text: the button is enabled exactly
    // while the text has the shape of an ID.
    void AddIDChange();
    void Button1Click();

    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TForm1> ui;
};

// Checks a typed ID against its check digits (see formatCheckedParticipantId).
// On a mismatch shows "Введен ошибочный ID" (caption "Ошибка", error icon, OK)
// over parent and gives nothing.
std::optional<QString> CheckParticipantId(QWidget *parent, const QString &entered);
