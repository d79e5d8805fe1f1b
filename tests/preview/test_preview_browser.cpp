// The written preview page in a real browser: Debian's Chromium, headless.

#include "chromium.h"
#include "preview_fixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>

using namespace preview_test;

namespace {

void typeInto(tt::Session &session, const char *name, const QString &text)
{
    if (auto *edit = session.windows->passport->findChild<QLineEdit *>(QString::fromLatin1(name)))
        edit->setText(text);
    else
        session.control<QPlainTextEdit>(name)->setPlainText(text);
}

} // namespace

class TestPreviewBrowser : public QObject {
    Q_OBJECT
    QString chromium;

private slots:
    void initTestCase() { chromium = tt::chromiumPath(); }

    // The page as Chromium reads it: Cyrillic intact, typed markup shown as
    // text, characters outside the code page restored from their references.
    void pageAsChromiumReadsIt()
    {
        if (chromium.isEmpty())
            QSKIP("chromium is not on PATH");
        Redirect redirect;
        tt::Session session;
        typeInto(session, "title", QStringLiteral("Тирлада <b>жирный</b> & Grüße"));
        typeInto(session, "description", QStringLiteral("Первая\nвторая"));
        typeInto(session, "public_post_address", QStringLiteral("ул. <script>alert(1)</script>"));
        session.setSubjectSlots({6, 0, 0, 0});
        session.setParticipants({{QStringLiteral("123-456-789"), QStringLiteral("Иванов"), QStringLiteral("Иван"),
                                  QStringLiteral("Иванович")}},
                                {{QStringLiteral("111-111-111"), QStringLiteral("Петров"), QStringLiteral("Пётр"),
                                  QStringLiteral("Петрович")}});
        QTest::mouseClick(session.control<QPushButton>("Preview"), Qt::LeftButton);
        QCOMPARE(redirect.opened, QList<QUrl>{redirect.pageUrl()});

        bool ok = false;
        const QString dom =
            QString::fromUtf8(tt::runChromium(chromium, QStringLiteral("--dump-dom"), redirect.pageUrl(), &ok));
        QVERIFY(ok);
        QVERIFY2(dom.contains(QStringLiteral("<h1>Тирлада &lt;b&gt;жирный&lt;/b&gt; &amp; Grüße</h1>")),
                 qPrintable(dom));
        QVERIFY(!dom.contains(QStringLiteral("<b>")));
        QVERIFY(!dom.contains(QStringLiteral("<script>")));
        QVERIFY(dom.contains(QStringLiteral("Лингвистика (русский и иностранные языки)")));
        QVERIFY(dom.contains(QStringLiteral("2008/2009 учебный год")));
        QVERIFY(dom.contains(QStringLiteral("<li>Иванов Иван Иванович [123-456-789]</li>")));
        QVERIFY(dom.contains(QStringLiteral("<li>Петров Пётр Петрович <strong>[111-111-111]</strong></li>")));
        QVERIFY(dom.contains(QStringLiteral("Первая<br>вторая")));
        QVERIFY(dom.contains(QStringLiteral("ул. &lt;script&gt;alert(1)&lt;/script&gt;")));
    }

    // The picture beside the page loads: a screenshot shows its pixels.
    void pictureShowsInChromium()
    {
        if (chromium.isEmpty())
            QSKIP("chromium is not on PATH");
        Redirect redirect;
        const QString source = redirect.root.path() + QStringLiteral("/photo.jpg");
        QVERIFY(writeJpeg(source, 100, 60, Qt::red));
        tt::Session session;
        QVERIFY(loadPicture(session, source));
        QTest::mouseClick(session.control<QPushButton>("Preview"), Qt::LeftButton);
        QCOMPARE(gui::modal::testing::messages().size(), 0);

        const QString shot = redirect.root.path() + QStringLiteral("/shot.png");
        bool ok = false;
        tt::runChromium(chromium, QStringLiteral("--screenshot=") + shot, redirect.pageUrl(), &ok);
        QVERIFY(ok);
        QImage image;
        QVERIFY(image.load(shot));
        const int red = tt::redPixelCount(image);
        // The 100 x 60 picture at 1:1, give or take its JPEG edges.
        QVERIFY2(red >= 5400 && red <= 6000, qPrintable(QString::number(red)));
    }
};

QTEST_MAIN(TestPreviewBrowser)
#include "test_preview_browser.moc"
