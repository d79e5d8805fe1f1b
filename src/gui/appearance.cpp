#include "gui/appearance.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QWidget>
#include <QWindow>

namespace gui {

namespace {

// Tahoma may be installed outside the font configuration (Wine ships one in
// its own folder); the program then registers it for itself.
bool tahomaAvailable()
{
    static const bool available = [] {
        if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
            return true;
        for (const char *path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/fonts/truetype/wine/tahoma.ttf"}) {
            const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(path));
            if (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(QStringLiteral("Tahoma")))
                return true;
        }
        return false;
    }();
    return available;
}

} // namespace

QFont formFont()
{
    QFont font;
    if (tahomaAvailable())
        font = QFont(QStringLiteral("Tahoma"));
    else
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    return font;
}

void makeFixedWindow(QWidget *window, int clientWidth, int clientHeight, bool minimizeButton)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                            | Qt::WindowCloseButtonHint;
    if (minimizeButton)
        flags |= Qt::WindowMinimizeButtonHint;
    if (window->inherits("QDialog"))
        flags = (flags & ~Qt::Window) | Qt::Dialog;
    window->setWindowFlags(flags);
    window->setFixedSize(clientWidth, clientHeight);
}

void setUpMemo(QPlainTextEdit *memo)
{
    memo->setTabChangesFocus(true);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Wrapping at word boundaries looks for a boundary from every line's
    // start to the paragraph's end: a paragraph of a million characters
    // without a blank takes minutes to lay out. While the memo holds a
    // paragraph that long, it wraps anywhere, which lays out in linear time.
    QObject::connect(memo->document(), &QTextDocument::contentsChange, memo, [memo](int position, int, int) {
        constexpr int kLongParagraph = 10000;
        const bool anywhere = memo->wordWrapMode() == QTextOption::WrapAnywhere;
        bool longParagraph = memo->document()->findBlock(position).length() > kLongParagraph;
        if (!longParagraph && anywhere)
            for (QTextBlock block = memo->document()->begin(); block.isValid() && !longParagraph; block = block.next())
                longParagraph = block.length() > kLongParagraph;
        if (longParagraph != anywhere)
            memo->setWordWrapMode(longParagraph ? QTextOption::WrapAnywhere
                                                : QTextOption::WrapAtWordBoundaryOrAnywhere);
    });
}

void setUpHelpMemo(QPlainTextEdit *memo)
{
    setUpMemo(memo);
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    QPalette palette = memo->palette();
    const QWidget *parent = memo->parentWidget();
    const QColor background = (parent ? parent->palette() : palette).color(QPalette::Window);
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Disabled, QPalette::Base, background);
    memo->setPalette(palette);
}

void setEditBackground(QLineEdit *edit, QPalette::ColorRole role)
{
    QPalette palette = edit->palette();
    const QColor colour = QPalette().color(role);
    palette.setColor(QPalette::Active, QPalette::Base, colour);
    palette.setColor(QPalette::Inactive, QPalette::Base, colour);
    palette.setColor(QPalette::Disabled, QPalette::Base, colour);
    edit->setPalette(palette);
}

void fitLabels(QWidget *root)
{
    // A wrapping label keeps the room it was given: its text comes later,
    // and is wrapped within it. The others take their caption's size.
    for (QLabel *label : root->findChildren<QLabel *>())
        if (!label->wordWrap())
            label->adjustSize();
}

void centreOverOwner(QWidget *dialog)
{
    const QWidget *owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    QRect area;
    if (owner)
        area = owner->frameGeometry();
    else if (const QScreen *screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    else
        return;
    QRect frame = dialog->frameGeometry();
    if (owner && frame == dialog->geometry()) {
        const QRect ownerFrame = owner->frameGeometry();
        const QRect ownerClient = owner->geometry();
        frame.adjust(ownerFrame.left() - ownerClient.left(), ownerFrame.top() - ownerClient.top(),
                     ownerFrame.right() - ownerClient.right(), ownerFrame.bottom() - ownerClient.bottom());
    }
    frame.moveCenter(area.center());
    // Wholly on the screen, however small the screen and wherever the owner
    // stands.
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen)
        frame = keptInside(frame, screen->availableGeometry());
    dialog->move(frame.topLeft());
}

QRect keptInside(QRect frame, const QRect &area)
{
    if (frame.right() > area.right())
        frame.moveRight(area.right());
    if (frame.bottom() > area.bottom())
        frame.moveBottom(area.bottom());
    if (frame.left() < area.left())
        frame.moveLeft(area.left());
    if (frame.top() < area.top())
        frame.moveTop(area.top());
    return frame;
}

namespace {
// The window's frame around its client area: known once the window has been
// shown; before that, what its platform window reports, if it has one.
QMargins frameMargins(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    if (frame != client)
        return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                frame.bottom() - client.bottom()};
    if (const QWindow *handle = window->windowHandle())
        return handle->frameMargins();
    return {};
}
} // namespace

void placeOnScreen(QWidget *window, QSize designedClient, int scrollBarExtent)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins margins = frameMargins(window);
    const QSize room = area.size().shrunkBy(margins);
    QSize client = designedClient.boundedTo(room);
    // Where one side scrolls, its scroll bar takes room across the other
    // side: the window is widened (or heightened) by it, as far as it fits.
    if (client.height() < designedClient.height())
        client.setWidth(qMin(designedClient.width() + scrollBarExtent, room.width()));
    if (client.width() < designedClient.width())
        client.setHeight(qMin(designedClient.height() + scrollBarExtent, room.height()));
    client = client.expandedTo(QSize(1, 1));
    if (client != window->size())
        window->setFixedSize(client);
    QRect frame(QPoint(), client.grownBy(margins));
    frame.moveCenter(area.center());
    window->move(keptInside(frame, area).topLeft());
}

} // namespace gui
