#pragma once

#include <QDialog>

// The participant-ID dialog "Добавить".
class TForm1 : public QDialog {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
};
