// The window and both dialogs on a small screen with 125 % scaling: 1024 x
// 600 pixels, so 819 x 480 at the window's scale (the CTest entry sets the
// screen and QT_SCALE_FACTOR). Run alone it uses whatever screen it gets.

#include "tirlada_test.h"

#include <QDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

namespace {

QString describe(const QRect &r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestSmallScreen : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        session = std::make_unique<tt::Session>();
        QVERIFY(QTest::qWaitForWindowExposed(&session->window()));
        area = session->window().screen()->availableGeometry();
    }
    void cleanup() { session.reset(); }

    void theScreenIsSmallerThanTheWindow()
    {
        // Otherwise this test proves nothing: see the CTest entry.
        QVERIFY2(area.height() < 502, qPrintable(describe(area)));
    }

    void windowWhollyOnTheScreen()
    {
        const QRect frame = session->window().frameGeometry();
        QVERIFY2(area.contains(frame), qPrintable(describe(frame) + QStringLiteral(" in ") + describe(area)));
        // Centred along the width, where it fits.
        if (frame.width() <= area.width())
            QVERIFY(qAbs(frame.center().x() - area.center().x()) <= 1);
        // Only the height is short: the page scrolls up and down, and the
        // window is widened for the scroll bar, so nothing scrolls sideways.
        auto *scroller = session->control<QScrollArea>("PasportScroller");
        QVERIFY(scroller->verticalScrollBar()->isVisible());
        QVERIFY(!scroller->horizontalScrollBar()->isVisible());
    }

    // The window's page scrolls: a control the focus moves to is brought
    // into view.
    void focusedControlComesIntoView()
    {
        PassportWindow &window = session->window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTabBar *tabBar = session->control<QTabWidget>("SectionsTabs")->tabBar();
        tabBar->setFocus(Qt::TabFocusReason);
        QTest::keyClick(tabBar, Qt::Key_Backtab, Qt::ShiftModifier);
        auto *save = session->control<QPushButton>("SaveButton");
        QCOMPARE(window.focusWidget(), save);
        auto *scroller = session->control<QScrollArea>("PasportScroller");
        const QRect shown(save->mapTo(scroller->viewport(), QPoint()), save->size());
        QVERIFY2(scroller->viewport()->rect().contains(shown), qPrintable(describe(shown)));
    }

    void dialogsWhollyOnTheScreenAndCentred_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("sections") << "Button3";
        QTest::newRow("participant ID") << "AuthorAdd";
    }
    void dialogsWhollyOnTheScreenAndCentred()
    {
        QFETCH(QString, button);
        QRect frame;
        gui::modal::testing::queueDialog([&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowExposed(d));
            frame = d->frameGeometry();
        });
        QTest::mouseClick(session->control(button.toLatin1().constData()), Qt::LeftButton);
        QVERIFY2(area.contains(frame), qPrintable(describe(frame) + QStringLiteral(" in ") + describe(area)));
        const QPoint windowCentre = session->window().frameGeometry().center();
        QVERIFY((frame.center() - windowCentre).manhattanLength() <= 2);
    }

private:
    std::unique_ptr<tt::Session> session;
    QRect area;
};

QTEST_MAIN(TestSmallScreen)
#include "test_small_screen.moc"
