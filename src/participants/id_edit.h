#pragma once

#include <QFocusEvent>
#include <QLineEdit>

// The ID field of the dialog "Добавить". Unlike a plain QLineEdit it does not
// select its whole text when the focus arrives by Tab or a shortcut: the
// caret stays where it was.
class IdEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        const Qt::FocusReason reason = event->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
            QFocusEvent plain(event->type(), Qt::OtherFocusReason);
            QLineEdit::focusInEvent(&plain);
            return;
        }
        QLineEdit::focusInEvent(event);
    }
};
