#include "app/desktop_identity.h"

#include <QApplication>
#include <QIcon>
#include <QPlatformSurfaceEvent>
#include <QWindow>

#ifdef TIRLADA_X11
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace {

#ifdef TIRLADA_X11
// Writes WM_CLASS on each native window as soon as it exists, before it is
// shown: the instance "tirlada" and the class named for the menu entry, as
// plain ASCII.
class WindowClassWriter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::PlatformSurface
            && static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType()
                   == QPlatformSurfaceEvent::SurfaceCreated) {
            if (auto *window = qobject_cast<QWindow *>(watched))
                writeClass(*window);
        }
        return false;
    }

private:
    static void writeClass(const QWindow &window)
    {
        auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11 || !x11->connection())
            return;
        const QByteArray value = QByteArrayLiteral("tirlada") + '\0' + kDesktopEntryName.toLatin1() + '\0';
        xcb_change_property(x11->connection(), XCB_PROP_MODE_REPLACE, xcb_window_t(window.winId()), XCB_ATOM_WM_CLASS,
                            XCB_ATOM_STRING, 8, uint32_t(value.size()), value.constData());
    }
};
#endif

} // namespace

void presentAsDesktopProgram()
{
    QGuiApplication::setDesktopFileName(kDesktopEntryName);
    QApplication::setWindowIcon(QIcon::fromTheme(kDesktopEntryName, QIcon(kBundledIcon)));
#ifdef TIRLADA_X11
    if (qApp->nativeInterface<QNativeInterface::QX11Application>())
        qApp->installEventFilter(new WindowClassWriter(qApp));
#endif
}
