#pragma once

// Keyboard behaviour shared by the window and the dialogs.

#include <QList>

class QPlainTextEdit;
class QWidget;

namespace gui {

// Links the given controls into one Tab chain in the order given; Tab from
// the last one goes back to the first, Shift+Tab walks the other way.
// Widgets that are hidden or disabled at the time are skipped by Tab as
// usual, so the controls of all sheets of a tab widget can stand in one
// list: only the current sheet's are visible.
void setTabChain(const QList<QWidget *> &chain);

// Enter (either key) on a focused push button under root presses it, as on
// the classic desktop; Space keeps doing so too.
void pressButtonsOnEnter(QWidget *root);

// A frameless read-only memo shows a frame while it has the focus, so the
// focus never seems to vanish. The frame lies over the memo's border area
// and moves nothing.
void showFocusFrame(QPlainTextEdit *memo);

} // namespace gui
