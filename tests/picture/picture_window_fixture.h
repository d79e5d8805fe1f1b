#pragma once

// The passport window on its picture tab, for the tests of choosing and
// loading a picture: its controls, a folder for the files, and the checks of
// the two states the tab can be in.

#include "app/image_box.h"
#include "picture_fixtures.h"
#include "tirlada_test.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

// libjpeg's message code as the error box words it.
inline QString jpegError(int code) { return QStringLiteral("JPEG error #%1").arg(code); }

class PictureWindowFixture : public QObject {
protected:
    std::unique_ptr<tt::Session> session;
    QTemporaryDir dir;

    QImage &bitmap() { return session->control<ImageBox>("WorkImg")->bitmap(); }
    ImageBox *box() { return session->control<ImageBox>("WorkImg"); }
    QPushButton *addImg() { return session->control<QPushButton>("AddImg"); }
    QPushButton *delImg() { return session->control<QPushButton>("DelImg"); }
    QLineEdit *sign() { return session->control<QLineEdit>("WorkImgSign"); }

    QString put(const QString &name, const QByteArray &bytes) { return fixtures::put(dir, name, bytes); }

    // Presses "Добавить", picks path in the open dialog and waits until the
    // load, read off the window's thread, is over.
    void load(const QString &path)
    {
        gui::modal::testing::queueFileName(path);
        QTest::mouseClick(addImg(), Qt::LeftButton);
        waitForLoad();
    }
    void waitForLoad() { QTRY_VERIFY_WITH_TIMEOUT(!session->window().pictureLoading(), 60000); }

    QColor signBackground() { return sign()->palette().color(QPalette::Base); }

    void verifyNoPictureControls()
    {
        QVERIFY(addImg()->isEnabled());
        QVERIFY(!delImg()->isEnabled());
        QVERIFY(!sign()->isEnabled());
        QVERIFY(sign()->text().isEmpty());
        QCOMPARE(signBackground(), QPalette().color(QPalette::Window));
        QVERIFY(!session->window().snapshot().hasPicture);
    }

    void verifyLoadedControls(QSize shown)
    {
        QVERIFY(!addImg()->isEnabled());
        QVERIFY(delImg()->isEnabled());
        QVERIFY(sign()->isEnabled());
        QCOMPARE(signBackground(), QPalette().color(QPalette::Base));
        QCOMPARE(box()->geometry(), QRect(QPoint(23, 30), shown));
        QCOMPARE(bitmap().size(), shown);
        QVERIFY(session->window().snapshot().hasPicture);
    }

    void setUp()
    {
        session = std::make_unique<tt::Session>();
        session->control<QTabWidget>("SectionsTabs")->setCurrentIndex(1);
    }
    void tearDown() { session.reset(); }
};
