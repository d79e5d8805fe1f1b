#include "gui/appearance.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

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
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                            | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
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
    for (QLabel *label : root->findChildren<QLabel *>())
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
    dialog->move(frame.topLeft());
}
