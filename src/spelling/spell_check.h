#pragma once

// Spelling checked as you type in the window's text fields: unknown words
// get a red wavy underline, and the context menu (right click, the Menu key,
// Shift+F10) offers corrections, "Добавить в словарь" and "Пропустить" above
// the field's usual menu.

#include "core/failure.h"

#include <QList>
#include <QString>

class QMenu;
class QWidget;

namespace spelling {

// Checks each field (a QPlainTextEdit or a QLineEdit) with the program's
// checker from now on. The text is never changed by the checking itself.
void checkAsYouType(const QList<QWidget *> &fields);

// The context menu of field for the text position position (in a memo, a
// position in its document): the corrections of the misspelt word there
// first, then the field's usual menu. The caller owns the menu.
QMenu *contextMenu(QWidget *field, int position);

// The window's warning line for a user's dictionary that cannot be written
// (Checker::dictionaryFailure()), and the same with the file concerned.
QString dictionaryFailureText(const Failure &failure);
QString dictionaryFailureDetails(const Failure &failure);

namespace testing {
// Pieces of red wave drawn under one-line fields since the program started.
qint64 waveSegments();
} // namespace testing

} // namespace spelling
