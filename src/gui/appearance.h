#pragma once

#include <QFont>
#include <QPalette>
#include <QRect>
#include <QSize>

class QPlainTextEdit;
class QLineEdit;
class QWidget;

namespace gui {

// Tahoma 8 pt where installed, else the platform's sans-serif at 8 pt.
QFont formFont();

// Gives a fixed-size window its size and the title-bar buttons it may have:
// system menu, close and, when asked, minimise; never maximise.
void makeFixedWindow(QWidget *window, int clientWidth, int clientHeight, bool minimizeButton);

// An editable memo: wraps at word boundaries, has no scroll bars, and Tab
// moves the focus on instead of inserting a tab character.
void setUpMemo(QPlainTextEdit *memo);

// A display-only help memo: read-only, no border, the background of its
// parent.
void setUpHelpMemo(QPlainTextEdit *memo);

// Sets the background of an edit to a palette role of the system colours.
void setEditBackground(QLineEdit *edit, QPalette::ColorRole role);

// Moves a dialog so that its whole window, frame included, stands centred
// over the window of its parent (the screen when it has none). Before the
// first showing the dialog's frame is not known yet; the parent's is taken.
void centreOverOwner(QWidget *dialog);

// Places a fixed-size window on its screen: centred in the screen's
// available area, frame included. Where the designed client size does not
// fit, the window takes the largest size that does (its content scrolls,
// and the scroll bars of scrollBarExtent are given room where there is some)
// and stands at the area's edge.
void placeOnScreen(QWidget *window, QSize designedClient, int scrollBarExtent = 0);

// The frame that moves a window's frame rectangle wholly into area: a frame
// larger than the area keeps its top left corner (the title bar) inside.
QRect keptInside(QRect frame, const QRect &area);

// Sizes every label under root to its caption; a wrapping label keeps the
// room it was given.
void fitLabels(QWidget *root);

} // namespace gui
