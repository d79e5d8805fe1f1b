#include "gui/keyboard.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace gui {

void setTabChain(const QList<QWidget *> &chain)
{
    // Pairs of plain widgets only: handing QWidget::setTabOrder a compound
    // widget such as a QTabWidget makes it move the whole of that widget's
    // inner chain and splits the window's chain into loops.
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
    if (chain.size() > 1)
        QWidget::setTabOrder(chain.constLast(), chain.constFirst());
}

namespace {

class EnterPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!button || !button->isEnabled())
            return false;
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

class FocusFrame : public QWidget {
public:
    explicit FocusFrame(QPlainTextEdit *memo) : QWidget(memo), memo_(memo)
    {
        setObjectName(QStringLiteral("FocusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        memo->installEventFilter(this);
        setGeometry(memo->rect());
        setVisible(memo->hasFocus());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == memo_) {
            switch (event->type()) {
            case QEvent::FocusIn:
                setGeometry(memo_->rect());
                raise();
                show();
                break;
            case QEvent::FocusOut:
                hide();
                break;
            case QEvent::Resize:
                setGeometry(memo_->rect());
                break;
            default:
                break;
            }
        }
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        // Two pixels in the selection colour: plain to see on the group's
        // background and outside the memo's text margin.
        QPainter painter(this);
        QPen pen(palette().color(QPalette::Active, QPalette::Highlight), 2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }

private:
    QPlainTextEdit *memo_;
};

} // namespace

void pressButtonsOnEnter(QWidget *root)
{
    auto *filter = new EnterPressesButton(root);
    for (QPushButton *button : root->findChildren<QPushButton *>())
        button->installEventFilter(filter);
}

void showFocusFrame(QPlainTextEdit *memo) { new FocusFrame(memo); }

} // namespace gui
