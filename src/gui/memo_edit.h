#pragma once

#include <QPlainTextEdit>

namespace gui {

// A memo that stays quick to type in however long its paragraphs are.
//
// Qt lays out a whole paragraph again on every keystroke in it, so a pasted
// paragraph of a million characters would take seconds per letter. The memo
// therefore keeps a long paragraph as several blocks of the document, its
// pieces: every block but the first of a paragraph carries a mark saying it
// continues the block before it. The pieces are joined back wherever the
// text leaves the memo (rawText(), copying, dragging), and the keys that
// would otherwise see the seam (Backspace, Delete, Left, Right) step over it,
// so the user meets one paragraph.
//
// The mark lives in the block's format, so undo and redo keep it. A block
// that a typed or pasted line break starts never carries it, whatever block
// it was split from.
class MemoEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    // A paragraph longer than kLongestPiece is cut into pieces of about
    // kPieceLength characters, after a blank where one is near.
    static constexpr int kPieceLength = 2000;
    static constexpr int kLongestPiece = 4000;

    explicit MemoEdit(QWidget *parent = nullptr);

    // The text as QTextDocument::toRawText() gives it (paragraphs separated
    // by U+2029, no-break spaces kept), with the pieces joined back.
    QString rawText() const;

    // Shows text as setPlainText() does (the undo history starts anew, the
    // cursor goes to the start), with long paragraphs already in pieces.
    void setMemoText(const QString &text);

    // Inserts text at the cursor as a paste would, replacing the selection,
    // as one step of undo. (QPlainTextEdit::insertPlainText() would give
    // each new line the mark of the piece it starts in.)
    void insertMemoText(const QString &text);

    // Whether block continues the paragraph of the block before it.
    static bool isPiece(const QTextBlock &block);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    // Cuts every block from first to last (inclusive) that is too long.
    void cutLongBlocks(int firstBlock, int lastBlock);
    // Before a key that moves or deletes across the seam between two
    // pieces: puts the cursor on the side of the seam the key leaves from.
    void stepOverSeam(QKeyEvent *event);
};

} // namespace gui
