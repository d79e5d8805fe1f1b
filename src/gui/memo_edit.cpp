#include "gui/memo_edit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace gui {

namespace {

// The block format property that marks a piece.
constexpr int kPieceMark = QTextFormat::UserProperty + 1;

// Where a paragraph of text is cut into pieces: after a blank near every
// kPieceLength characters, otherwise at a character boundary, so that no
// letter loses its accent and no surrogate pair is parted.
QList<int> cutPoints(const QString &text)
{
    QList<int> cuts;
    if (text.size() <= MemoEdit::kLongestPiece)
        return cuts;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    int from = 0;
    while (text.size() - from > MemoEdit::kLongestPiece) {
        int cut = from + MemoEdit::kPieceLength;
        int blank = cut;
        while (blank > from + MemoEdit::kPieceLength * 3 / 4 && !text[blank - 1].isSpace())
            --blank;
        if (text[blank - 1].isSpace()) {
            cut = blank;
        } else {
            characters.setPosition(cut);
            if (!characters.isAtBoundary() && characters.toPreviousBoundary() > from)
                cut = int(characters.position());
        }
        cuts.append(cut);
        from = cut;
    }
    return cuts;
}

// The separators QTextCursor::insertText() turns into a new block.
bool startsBlock(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xfdd0) || c == QChar(0xfdd1);
}

QTextBlockFormat withMark(QTextBlockFormat format, bool piece)
{
    if (piece)
        format.setProperty(kPieceMark, true);
    else
        format.clearProperty(kPieceMark);
    return format;
}

// Inserts one paragraph (text without block separators) at cursor, in
// pieces when it is long.
void insertParagraph(QTextCursor &cursor, const QString &paragraph)
{
    int from = 0;
    for (const int cut : cutPoints(paragraph)) {
        cursor.insertText(paragraph.mid(from, cut - from));
        cursor.insertBlock(withMark(cursor.blockFormat(), true));
        from = cut;
    }
    cursor.insertText(paragraph.mid(from));
}

// Inserts text at cursor: each line break as Qt's insertText() would make
// it, a new block, but one that never carries the mark of the block it was
// split from; each long paragraph in pieces.
void insertParagraphs(QTextCursor &cursor, const QString &text)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !startsBlock(text[i]))
            continue;
        insertParagraph(cursor, text.mid(from, i - from));
        if (i == text.size())
            break;
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        cursor.insertBlock(withMark(cursor.blockFormat(), false));
        from = i + 1;
    }
}

} // namespace

MemoEdit::MemoEdit(QWidget *parent) : QPlainTextEdit(parent) {}

bool MemoEdit::isPiece(const QTextBlock &block)
{
    return block.isValid() && block.blockFormat().boolProperty(kPieceMark);
}

QString MemoEdit::rawText() const
{
    const QTextDocument *doc = document();
    QString text;
    text.reserve(doc->characterCount());
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block != doc->begin() && !isPiece(block))
            text += QChar::ParagraphSeparator;
        text += block.text();
    }
    return text;
}

void MemoEdit::setMemoText(const QString &text)
{
    setPlainText(QString());
    QTextDocument *doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    insertParagraphs(cursor, text);
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undo);
    doc->setModified(false);
    moveCursor(QTextCursor::Start);
}

void MemoEdit::cutLongBlocks(int firstBlock, int lastBlock)
{
    QTextDocument *doc = document();
    // From the last block back, so that cutting one leaves the numbers of
    // those before it as they were.
    for (int number = lastBlock; number >= firstBlock; --number) {
        const QTextBlock block = doc->findBlockByNumber(number);
        const QList<int> cuts = cutPoints(block.text());
        for (auto cut = cuts.crbegin(); cut != cuts.crend(); ++cut) {
            QTextCursor cursor(doc);
            cursor.setPosition(block.position() + *cut);
            cursor.insertBlock(withMark(block.blockFormat(), true));
        }
    }
}

void MemoEdit::insertMemoText(const QString &text)
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const int first = cursor.blockNumber();
    insertParagraphs(cursor, text);
    // The block the text went into may now be too long, at either end.
    cutLongBlocks(first, cursor.blockNumber());
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

void MemoEdit::stepOverSeam(QKeyEvent *event)
{
    // At a seam the cursor has two places for one place in the text: the
    // end of one piece and the start of the next. A key that moves or
    // deletes leftwards starts from the end of the piece before, one that
    // goes rightwards from the start of the piece after; so each press
    // passes exactly one character and Backspace and Delete remove one.
    QTextCursor cursor = textCursor();
    const bool select = event->matches(QKeySequence::SelectPreviousChar)
                        || event->matches(QKeySequence::SelectPreviousWord)
                        || event->matches(QKeySequence::SelectNextChar) || event->matches(QKeySequence::SelectNextWord);
    const bool leftwards =
        event->matches(QKeySequence::MoveToPreviousChar) || event->matches(QKeySequence::MoveToPreviousWord)
        || event->matches(QKeySequence::SelectPreviousChar) || event->matches(QKeySequence::SelectPreviousWord)
        || (event->key() == Qt::Key_Backspace && !cursor.hasSelection());
    const bool rightwards = event->matches(QKeySequence::MoveToNextChar) || event->matches(QKeySequence::MoveToNextWord)
                            || event->matches(QKeySequence::SelectNextChar)
                            || event->matches(QKeySequence::SelectNextWord)
                            || (event->key() == Qt::Key_Delete && !cursor.hasSelection());
    const QTextCursor::MoveMode mode = select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    bool moved = false;
    if (leftwards)
        while (cursor.atBlockStart() && isPiece(cursor.block())
               && cursor.movePosition(QTextCursor::PreviousCharacter, mode))
            moved = true;
    if (rightwards)
        while (cursor.atBlockEnd() && isPiece(cursor.block().next())
               && cursor.movePosition(QTextCursor::NextCharacter, mode))
            moved = true;
    if (moved)
        setTextCursor(cursor);
}

void MemoEdit::keyPressEvent(QKeyEvent *event)
{
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::InsertParagraphSeparator)) {
        // Qt's own Enter would give the new block the format of the block
        // it splits, and so the mark of a piece.
        QTextCursor cursor = textCursor();
        cursor.insertBlock(withMark(cursor.blockFormat(), false));
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    stepOverSeam(event);
    // A paragraph grown too long by typing, or by joining two, is cut. When
    // one more letter is enough, the letter and the cut are one step of
    // undo, so that undo never brings back a paragraph too long.
    const bool history = event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo);
    const bool full = !history && textCursor().block().length() > kLongestPiece;
    QTextCursor edit(document());
    if (full)
        edit.beginEditBlock();
    QPlainTextEdit::keyPressEvent(event);
    const QTextBlock block = textCursor().block();
    if (!history && block.length() > kLongestPiece + 1)
        cutLongBlocks(block.blockNumber(), block.blockNumber());
    if (full)
        edit.endEditBlock();
}

void MemoEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Text an input method commits with a line break in it goes in as a
    // paste does; anything else (composing, a committed word) as Qt has it.
    const QString commit = event->commitString();
    if (!isReadOnly() && event->preeditString().isEmpty() && event->replacementLength() == 0
        && std::any_of(commit.cbegin(), commit.cend(), startsBlock)) {
        insertMemoText(commit);
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void MemoEdit::insertFromMimeData(const QMimeData *source)
{
    // Plain text only, as QPlainTextEdit takes it, but in pieces.
    const QString text = source->text();
    if (!text.isNull())
        insertMemoText(text);
}

QMimeData *MemoEdit::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const QTextBlock first = document()->findBlock(start);
    const QTextBlock last = document()->findBlock(end);
    bool seam = false;
    for (QTextBlock block = first; block != last && !seam; block = block.next())
        seam = isPiece(block.next());
    if (!seam)
        return QPlainTextEdit::createMimeDataFromSelection();
    QString text;
    for (QTextBlock block = first;; block = block.next()) {
        if (block != first && !isPiece(block))
            text += u'\n';
        const int from = qMax(start, block.position()) - block.position();
        const int to = qMin(end, block.position() + block.length() - 1) - block.position();
        text += block.text().mid(from, to - from);
        if (block == last)
            break;
    }
    // Copied as Qt copies a memo's text: line and paragraph separators as
    // line feeds, no-break spaces as spaces.
    text.replace(QChar::LineSeparator, u'\n').replace(QChar::Nbsp, u' ');
    auto *data = new QMimeData;
    data->setText(text);
    return data;
}

} // namespace gui
