#include "spelling/spell_check.h"

#include "gui/guard.h"
#include "gui/modal.h"
#include "gui/warning_line.h"
#include "spelling/checker.h"
#include "spelling/words.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>

#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <algorithm>
#include <cmath>

namespace spelling {
namespace {

const QColor kUnderlineColour(Qt::red);

// A memo's unknown words, marked paragraph by paragraph: Qt checks again only
// the paragraph that changed.
class MemoHighlighter : public QSyntaxHighlighter {
public:
    MemoHighlighter(QTextDocument *document, Checker *checker) : QSyntaxHighlighter(document), checker_(checker)
    {
        format_.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
        format_.setUnderlineColor(kUnderlineColour);
    }

    // Marks the whole memo again after the checker changed its mind. Qt
    // announces a rehighlight as a change of the text, which it is not: the
    // memo's text-changed handlers (the draft, the character count) must not
    // hear of it.
    void recheck()
    {
        const QSignalBlocker quiet(document());
        rehighlight();
    }

protected:
    void highlightBlock(const QString &text) override
    {
        if (!checker_ || !checker_->hasDictionaries())
            return;
        for (const WordSpan &word : wordsToCheck(text))
            if (!checker_->isCorrect(text.mid(word.start, word.length)))
                setFormat(int(word.start), int(word.length), format_);
    }

private:
    QPointer<Checker> checker_;
    QTextCharFormat format_;
};

bool editable(const QWidget *field)
{
    if (!field->isEnabled())
        return false;
    if (auto *edit = qobject_cast<const QLineEdit *>(field))
        return !edit->isReadOnly() && edit->echoMode() == QLineEdit::Normal;
    if (auto *memo = qobject_cast<const QPlainTextEdit *>(field))
        return !memo->isReadOnly();
    return false;
}

// Replaces word at start of field's text by replacement, as one step of
// undo. Nothing happens when the text there is no longer word.
void replaceWord(QWidget *field, int start, const QString &word, const QString &replacement)
{
    if (auto *edit = qobject_cast<QLineEdit *>(field)) {
        if (edit->text().mid(start, word.size()) != word)
            return;
        edit->setSelection(start, int(word.size()));
        edit->insert(replacement);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(field)) {
        QTextCursor cursor(memo->document());
        cursor.setPosition(start);
        cursor.setPosition(start + int(word.size()), QTextCursor::KeepAnchor);
        if (cursor.selectedText() != word)
            return;
        cursor.insertText(replacement);
        memo->setTextCursor(cursor);
    }
}

// An ampersand in a menu item's text marks its shortcut letter; a
// suggestion shows it as it is.
QString menuText(QString text) { return text.replace(u'&', QStringLiteral("&&")); }

qint64 &waveSegmentCount()
{
    static qint64 count = 0;
    return count;
}

// The red wave under the pixels from x1 to x2, below the baseline; only
// its part between left and right (the field's text area) is drawn.
void drawWave(QPainter &painter, qreal x1, qreal x2, qreal baseline, qreal left, qreal right)
{
    constexpr qreal halfPeriod = 2.0, height = 2.0;
    // Cut to whole periods, so that the wave keeps its phase.
    if (x1 < left - 2 * halfPeriod)
        x1 += std::floor((left - x1) / (2 * halfPeriod)) * 2 * halfPeriod - 2 * halfPeriod;
    x2 = std::min(x2, right + 2 * halfPeriod);
    if (x2 <= x1)
        return;
    QPainterPath wave;
    const qreal top = baseline + 1.0;
    wave.moveTo(x1, top + height);
    bool up = true;
    for (qreal x = x1 + halfPeriod; x < x2 + halfPeriod; x += halfPeriod) {
        wave.lineTo(qMin(x, x2), up ? top : top + height);
        up = !up;
        ++waveSegmentCount();
    }
    painter.drawPath(wave);
}

// Watches one field: its context menu and keys, and, for a one-line field,
// draws the underlines over the field after it has painted itself.
class FieldWatcher : public QObject {
public:
    FieldWatcher(QWidget *field, Checker *checker) : QObject(field), field_(field), checker_(checker)
    {
        field->installEventFilter(this);
        if (auto *memo = qobject_cast<QPlainTextEdit *>(field))
            memo->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ContextMenu: {
            auto *e = static_cast<QContextMenuEvent *>(event);
            if (e->reason() == QContextMenuEvent::Mouse)
                openMenu(positionAt(static_cast<QWidget *>(watched), e->pos()), e->globalPos());
            else
                openMenuAtCursor();
            return true;
        }
        case QEvent::KeyPress: {
            // The Menu key reaches a field as a key only where the system
            // does not turn it into a context menu event; Shift+F10 always.
            auto *e = static_cast<QKeyEvent *>(event);
            const auto modifiers = e->modifiers() & ~Qt::KeypadModifier;
            if ((e->key() == Qt::Key_Menu && modifiers == Qt::NoModifier)
                || (e->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
                openMenuAtCursor();
                return true;
            }
            return false;
        }
        case QEvent::Paint:
            if (watched == field_ && qobject_cast<QLineEdit *>(field_) && !painting_) {
                // The field paints itself first; the underlines go on top.
                painting_ = true;
                QCoreApplication::sendEvent(field_, event);
                painting_ = false;
                paintUnderlines(static_cast<QLineEdit *>(field_.data()));
                return true;
            }
            return false;
        default:
            return false;
        }
    }

private:
    int positionAt(QWidget *watched, QPoint pos) const
    {
        if (auto *edit = qobject_cast<QLineEdit *>(field_))
            return edit->cursorPositionAt(pos);
        auto *memo = static_cast<QPlainTextEdit *>(field_.data());
        const QPoint inViewport = watched == memo->viewport() ? pos : memo->viewport()->mapFrom(memo, pos);
        return memo->cursorForPosition(inViewport).position();
    }

    void openMenuAtCursor()
    {
        if (auto *edit = qobject_cast<QLineEdit *>(field_)) {
            const QRect cursor = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            openMenu(edit->cursorPosition(), edit->mapToGlobal(cursor.bottomLeft()));
        } else {
            auto *memo = static_cast<QPlainTextEdit *>(field_.data());
            openMenu(memo->textCursor().position(), memo->viewport()->mapToGlobal(memo->cursorRect().bottomLeft()));
        }
    }

    void openMenu(int position, QPoint globalPos)
    {
        QMenu *menu = contextMenu(field_, position);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(globalPos);
    }

    void paintUnderlines(QLineEdit *edit)
    {
        if (!checker_ || !checker_->hasDictionaries() || !editable(edit) || edit->text().isEmpty())
            return;
        const QString text = edit->text();
        // Where the text stands: the field's contents less the frame and
        // the text margins.
        QStyleOptionFrame frame;
        frame.initFrom(edit);
        frame.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, edit) : 0;
        const QRect area = edit->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &frame, edit)
                               .marginsRemoved(edit->textMargins());
        // The text scrolls sideways with the cursor, which the field keeps in
        // view: positions are measured from the cursor's line, which stands
        // 5 pixels right of the left edge of the rectangle the field reports
        // for it.
        const QRect cursorRect = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int cursor = edit->cursorPosition();
        const qreal cursorX = cursorRect.left() + 5;
        const QFontMetricsF metrics(edit->font());
        auto xOf = [&](qsizetype position) {
            return position >= cursor ? cursorX + metrics.horizontalAdvance(text.mid(cursor, position - cursor))
                                      : cursorX - metrics.horizontalAdvance(text.mid(position, cursor - position));
        };
        // Only the words in view are checked: the visible stretch, widened
        // to whole words, but never by more than the longest word checked:
        // a longer run of letters is no word, however long it goes on.
        const int middle = area.center().y();
        qsizetype from = edit->cursorPositionAt(QPoint(area.left(), middle));
        qsizetype to = edit->cursorPositionAt(QPoint(area.right(), middle));
        const qsizetype widest = Checker::kMaxWordLength + 1;
        for (qsizetype n = 0; n < widest && from > 0 && !text[from - 1].isSpace(); ++n)
            --from;
        for (qsizetype n = 0; n < widest && to < text.size() && !text[to].isSpace(); ++n)
            ++to;
        const QStringView visible = QStringView(text).sliced(from, to - from);
        const qreal baseline = cursorRect.top() + metrics.ascent();

        QPainter painter(edit);
        painter.setClipRect(area);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(kUnderlineColour, 1.0));
        for (const WordSpan &word : wordsToCheck(visible)) {
            if (word.length > Checker::kMaxWordLength
                || checker_->isCorrect(visible.sliced(word.start, word.length).toString()))
                continue;
            drawWave(painter, xOf(from + word.start), xOf(from + word.end()), baseline, area.left(), area.right());
        }
    }

    QPointer<QWidget> field_;
    QPointer<Checker> checker_;
    bool painting_ = false;
};

QString dictionaryFailureReason(const Failure &failure)
{
    const QString why = gui::systemReason(failure);
    return why.isEmpty() ? QStringLiteral("файл словаря нельзя записать")
                         : QStringLiteral("файл словаря нельзя записать (%1)").arg(why);
}

} // namespace

QString dictionaryFailureText(const Failure &failure)
{
    return QStringLiteral("Словарь не сохраняется: %1. Добавленные слова будут известны до конца работы.")
        .arg(dictionaryFailureReason(failure));
}

QString dictionaryFailureDetails(const Failure &failure)
{
    const QString file = failure.details().file;
    return file.isEmpty()
               ? dictionaryFailureText(failure)
               : dictionaryFailureText(failure) + QStringLiteral("\nМесто: ") + QDir::toNativeSeparators(file);
}

void checkAsYouType(const QList<QWidget *> &fields)
{
    Checker *checker = sharedChecker();
    for (QWidget *field : fields) {
        if (auto *memo = qobject_cast<QPlainTextEdit *>(field)) {
            auto *highlighter = new MemoHighlighter(memo->document(), checker);
            QObject::connect(checker, &Checker::wordsChanged, highlighter, &MemoHighlighter::recheck);
        } else if (qobject_cast<QLineEdit *>(field)) {
            QObject::connect(checker, &Checker::wordsChanged, field, qOverload<>(&QWidget::update));
        } else {
            continue;
        }
        new FieldWatcher(field, checker);
    }
}

QMenu *contextMenu(QWidget *field, int position)
{
    auto *edit = qobject_cast<QLineEdit *>(field);
    auto *memo = qobject_cast<QPlainTextEdit *>(field);
    QMenu *menu = edit ? edit->createStandardContextMenu() : memo->createStandardContextMenu();
    Checker *checker = sharedChecker();
    if (!checker->hasDictionaries() || !editable(field))
        return menu;

    QString text;
    int base = 0;
    if (edit) {
        text = edit->text();
    } else {
        const QTextBlock block = memo->document()->findBlock(position);
        text = block.text();
        base = block.position();
    }
    const WordSpan span = wordAt(text, position - base);
    if (span.length == 0)
        return menu;
    const QString word = text.mid(span.start, span.length);
    if (checker->isCorrect(word))
        return menu;

    QAction *first = menu->actions().value(0);
    const int start = base + int(span.start);
    QPointer<QWidget> target(field);
    QPointer<Checker> words(checker);
    const QStringList corrections = checker->suggestions(word, 5);
    for (const QString &correction : corrections) {
        auto *action = new QAction(menuText(correction), menu);
        QObject::connect(action, &QAction::triggered, menu, [target, start, word, correction] {
            if (target)
                replaceWord(target, start, word, correction);
        });
        menu->insertAction(first, action);
    }
    if (corrections.isEmpty()) {
        auto *none = new QAction(QStringLiteral("Нет вариантов"), menu);
        none->setEnabled(false);
        menu->insertAction(first, none);
    }
    menu->insertSeparator(first);
    auto *add = new QAction(QStringLiteral("Добавить в словарь"), menu);
    QObject::connect(add, &QAction::triggered, menu, [target, words, word] {
        gui::runGuarded(target ? target->window() : nullptr, [&] {
            if (!words)
                return;
            if (auto added = words->addToDictionary(word); !added)
                gui::modal::message(target ? target->window() : nullptr, gui::modal::Icon::Warning,
                                    QStringLiteral("Словарь"),
                                    QStringLiteral("Слово «%1» не добавлено в словарь: %2.\n%3")
                                        .arg(word, dictionaryFailureReason(added.error()),
                                             QDir::toNativeSeparators(added.error().details().file)));
        });
    });
    menu->insertAction(first, add);
    auto *skip = new QAction(QStringLiteral("Пропустить"), menu);
    QObject::connect(skip, &QAction::triggered, menu, [words, word] {
        if (words)
            words->ignore(word);
    });
    menu->insertAction(first, skip);
    if (first)
        menu->insertSeparator(first);
    return menu;
}

namespace testing {
qint64 waveSegments() { return waveSegmentCount(); }
} // namespace testing

} // namespace spelling
