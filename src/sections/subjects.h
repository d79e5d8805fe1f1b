#pragma once

#include <QDialog>

// The subject sections dialog "Разделы".
class TSubjects : public QDialog {
    Q_OBJECT
public:
    explicit TSubjects(QWidget *parent = nullptr);
};
