// A memo keeps a very long paragraph as several pieces, so that typing in it
// stays quick; the text that leaves the memo never shows the seams.

#include "gui/memo_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextBoundaryFinder>

using gui::MemoEdit;

namespace {

QString repeated(const QString &unit, int times)
{
    QString text;
    for (int i = 0; i < times; ++i)
        text += unit;
    return text;
}

// The text as rawText() gives it: every line break as U+2029.
QString raw(QString text)
{
    text.replace(QLatin1String("\r\n"), QString(QChar::ParagraphSeparator));
    text.replace(u'\n', QChar::ParagraphSeparator).replace(u'\r', QChar::ParagraphSeparator);
    return text;
}

// The document position of a place in the memo's text, on the given side of
// a seam when there is one there: at the end of the piece before it (true)
// or at the start of the piece after it.
int documentPosition(const MemoEdit &memo, int textPosition, bool endOfPiece)
{
    int text = 0;
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next()) {
        if (block != memo.document()->begin() && !MemoEdit::isPiece(block))
            ++text;
        const int length = int(block.text().size());
        const bool seamFollows = MemoEdit::isPiece(block.next());
        if (textPosition < text + length || (textPosition == text + length && !(seamFollows && !endOfPiece)))
            return block.position() + textPosition - text;
        text += length;
    }
    return -1;
}

// Every block short enough, and every seam between two characters.
void checkPieces(const MemoEdit &memo)
{
    const QString text = memo.rawText();
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    int textPosition = 0;
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next()) {
        if (block != memo.document()->begin() && !MemoEdit::isPiece(block))
            ++textPosition;
        QVERIFY2(block.text().size() <= MemoEdit::kLongestPiece, qPrintable(QString::number(block.text().size())));
        if (MemoEdit::isPiece(block)) {
            characters.setPosition(textPosition);
            QVERIFY2(characters.isAtBoundary(), qPrintable(QString::number(textPosition)));
        }
        textPosition += int(block.text().size());
    }
}

void paste(MemoEdit &memo, const QString &text)
{
    QApplication::clipboard()->setText(text);
    QTest::keyClick(&memo, Qt::Key_V, Qt::ControlModifier);
}

} // namespace

class TestMemoEdit : public QObject {
    Q_OBJECT

private slots:
    void textGoesInAndOutWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("two lines, each kind of break")
            << QStringLiteral("первая\nвторая\r\nтретья\rчетвёртая") + QChar::ParagraphSeparator + u'x';
        QTest::newRow("a million letters without a blank") << QString(1000000, u'w');
        QTest::newRow("words with no-break spaces and line separators")
            << repeated(QStringLiteral("слово") + QChar::Nbsp + QStringLiteral("два ") + QChar::LineSeparator, 3000);
        QTest::newRow("accents that must stay on their letter") << repeated(QStringLiteral("e\u0301"), 9000);
        QTest::newRow("pairs of surrogates") << repeated(QStringLiteral("\U0001F600"), 9000);
        QTest::newRow("long paragraphs between short ones")
            << QStringLiteral("a\n") + QString(9000, u'b') + QStringLiteral("\n\nc\n") + QString(4001, u'd');
    }
    void textGoesInAndOutWhole()
    {
        QFETCH(QString, text);
        // Set, as opening a package does.
        MemoEdit memo;
        memo.setMemoText(text);
        QCOMPARE(memo.rawText(), raw(text));
        checkPieces(memo);
        QVERIFY(!memo.document()->isUndoAvailable());

        // Pasted into the middle of a piece of a long paragraph.
        const QString before = QString(3000, u'x') + QStringLiteral(" ") + QString(3000, u'y');
        memo.setMemoText(before);
        memo.show();
        QTextCursor cursor = memo.textCursor();
        cursor.setPosition(documentPosition(memo, 4500, true));
        memo.setTextCursor(cursor);
        paste(memo, text);
        QCOMPARE(memo.rawText(), raw(before.left(4500) + text + before.mid(4500)));
        checkPieces(memo);

        // Copied whole, as the memo's plain text.
        memo.selectAll();
        QTest::keyClick(&memo, Qt::Key_C, Qt::ControlModifier);
        QString copied = memo.rawText();
        copied.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
        copied.replace(QChar::Nbsp, u' ');
        QCOMPARE(QApplication::clipboard()->text(), copied);

        // One step of undo takes the paste back, and redo brings it again.
        QTest::keyClick(&memo, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(memo.rawText(), before);
        QTest::keyClick(&memo, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(memo.rawText(), raw(before.left(4500) + text + before.mid(4500)));
    }

    // Keys at a seam act on the text as if there were none: each key from
    // either side of the seam.
    void keysAtASeam_data()
    {
        QTest::addColumn<bool>("endOfPiece");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("expected");
        const QString text = QString(5000, u'a');
        // The first seam is near character 2000; its place is found below.
        const QList<std::pair<const char *, bool>> sides = {{"end of piece", true}, {"start of next piece", false}};
        for (const auto &[side, end] : sides) {
            QTest::addRow("Backspace, %s", side) << end << QList<int>{Qt::Key_Backspace} << QStringLiteral("-1");
            QTest::addRow("Delete, %s", side) << end << QList<int>{Qt::Key_Delete} << QStringLiteral("+1");
            QTest::addRow("Left then X, %s", side)
                << end << QList<int>{Qt::Key_Left, Qt::Key_X} << QStringLiteral("X@-1");
            QTest::addRow("Right then X, %s", side)
                << end << QList<int>{Qt::Key_Right, Qt::Key_X} << QStringLiteral("X@+1");
            QTest::addRow("X, %s", side) << end << QList<int>{Qt::Key_X} << QStringLiteral("X@0");
            QTest::addRow("Enter, %s", side) << end << QList<int>{Qt::Key_Return} << QStringLiteral("break@0");
            QTest::addRow("Right, Enter, %s", side)
                << end << QList<int>{Qt::Key_Right, Qt::Key_Return} << QStringLiteral("break@+1");
        }
    }
    void keysAtASeam()
    {
        QFETCH(bool, endOfPiece);
        QFETCH(QList<int>, keys);
        QFETCH(QString, expected);
        // Letters that differ, so that a wrong character removed shows.
        QString text;
        for (int i = 0; i < 5000; ++i)
            text += QChar(u'a' + i % 26);
        MemoEdit memo;
        memo.setMemoText(text);
        memo.show();
        const QTextBlock second = memo.document()->begin().next();
        QVERIFY(MemoEdit::isPiece(second));
        const int seam = second.position() - 1;
        QTextCursor cursor = memo.textCursor();
        cursor.setPosition(documentPosition(memo, seam, endOfPiece));
        QCOMPARE(cursor.position(), endOfPiece ? second.position() - 1 : second.position());
        memo.setTextCursor(cursor);
        for (const int key : keys)
            QTest::keyClick(&memo, Qt::Key(key));

        QString want = text;
        if (expected == QLatin1String("-1"))
            want.remove(seam - 1, 1);
        else if (expected == QLatin1String("+1"))
            want.remove(seam, 1);
        else if (expected.startsWith(QLatin1String("X@")))
            want.insert(seam + expected.mid(2).toInt(), u'x');
        else if (expected.startsWith(QLatin1String("break@")))
            want.insert(seam + expected.mid(6).toInt(), QChar::ParagraphSeparator);
        QCOMPARE(memo.rawText(), want);
        checkPieces(memo);
        // The line break stays one after more typing in the new line.
        QTest::keyClicks(&memo, QStringLiteral("zz"));
        QCOMPARE(memo.rawText().count(QChar::ParagraphSeparator), want.count(QChar::ParagraphSeparator));
    }

    // An input method that commits a line break inside a piece gives a real
    // line break.
    void inputMethodLineBreakInAPiece()
    {
        MemoEdit memo;
        memo.setMemoText(QString(5000, u'a'));
        memo.show();
        const QTextBlock second = memo.document()->begin().next();
        QVERIFY(MemoEdit::isPiece(second));
        QTextCursor cursor = memo.textCursor();
        cursor.setPosition(second.position() + 10);
        memo.setTextCursor(cursor);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("b\nc"));
        QApplication::sendEvent(&memo, &commit);
        const int at = second.position() - 1 + 10;
        QCOMPARE(memo.rawText(),
                 QString(at, u'a') + QStringLiteral("b") + QChar::ParagraphSeparator + u'c' + QString(5000 - at, u'a'));
    }

    // Typing that makes a paragraph too long cuts it, in the same step of
    // undo as the letter.
    void typingCutsAParagraphGrownTooLong()
    {
        MemoEdit memo;
        const QString text(MemoEdit::kLongestPiece, u'q');
        memo.setMemoText(text);
        memo.show();
        memo.moveCursor(QTextCursor::End);
        QCOMPARE(memo.document()->blockCount(), 1);
        QTest::keyClicks(&memo, QStringLiteral("ab"));
        QVERIFY(memo.document()->blockCount() > 1);
        QCOMPARE(memo.rawText(), text + QStringLiteral("ab"));
        checkPieces(memo);
        // Undo passes through whole states only: the letter typed after the
        // cut may be its own step.
        QTest::keyClick(&memo, Qt::Key_Z, Qt::ControlModifier);
        if (memo.rawText() != text) {
            QCOMPARE(memo.rawText(), text + QStringLiteral("a"));
            QTest::keyClick(&memo, Qt::Key_Z, Qt::ControlModifier);
        }
        QCOMPARE(memo.rawText(), text);
        QCOMPARE(memo.document()->blockCount(), 1);
        while (memo.document()->isRedoAvailable())
            QTest::keyClick(&memo, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(memo.rawText(), text + QStringLiteral("ab"));
        checkPieces(memo);

        // Joining two paragraphs with Backspace cuts the result too.
        memo.setMemoText(QString(3000, u'x') + u'\n' + QString(3000, u'y'));
        QTextCursor cursor = memo.textCursor();
        cursor.setPosition(3001);
        memo.setTextCursor(cursor);
        QTest::keyClick(&memo, Qt::Key_Backspace);
        QCOMPARE(memo.rawText(), QString(3000, u'x') + QString(3000, u'y'));
        checkPieces(memo);
    }

    // A selection across a seam is copied and dragged without a break in it.
    void selectionAcrossASeamHasNoBreak()
    {
        MemoEdit memo;
        memo.setMemoText(QString(5000, u'a') + QStringLiteral("\nb"));
        const QTextBlock second = memo.document()->begin().next();
        QVERIFY(MemoEdit::isPiece(second));
        QTextCursor cursor = memo.textCursor();
        cursor.setPosition(second.position() - 3);
        cursor.setPosition(second.position() + 2, QTextCursor::KeepAnchor);
        memo.setTextCursor(cursor);
        memo.copy();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("aaaa"));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        memo.setTextCursor(cursor);
        memo.copy();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString(5000 - second.position() + 3, u'a') + QStringLiteral("\nb"));
    }
};

QTEST_MAIN(TestMemoEdit)
#include "test_memo_edit.moc"
