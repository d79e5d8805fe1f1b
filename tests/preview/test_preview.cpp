// The preview button on the real window: the files it writes in the
// temporary folder, the page it opens, and its failures.

#include "preview_fixture.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace preview_test;

namespace {

const QString kPage = QStringLiteral("prewiev.html");
const QString kPicture = QStringLiteral("img.jpg");

// Types any text, Cyrillic included, as key presses; "\n" presses Return.
void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(widget, Qt::Key_Return);
            continue;
        }
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void clickPreview(tt::Session &session) { QTest::mouseClick(session.control<QPushButton>("Preview"), Qt::LeftButton); }

// The folder's entries, links and hidden ones included.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

gui::modal::Message templateError()
{
    return {gui::modal::Icon::None, QStringLiteral("Тирлада"), QStringLiteral("Ошибка подготовки шаблона"),
            gui::modal::Buttons::Ok};
}

bool sameMessage(const gui::modal::Message &a, const gui::modal::Message &b)
{
    return a.icon == b.icon && a.caption == b.caption && a.text == b.text && a.buttons == b.buttons;
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private slots:
    // Typed into the window, written as the page, handed to the browser.
    void previewFromTheWindow()
    {
        Redirect redirect;
        tt::Session session;
        QVERIFY(writeFile(redirect.path(kPicture), "earlier picture"));

        auto *title = session.control<QLineEdit>("title");
        typeText(title, QStringLiteral("Тирлада <b>жирный</b>"));
        typeText(session.control<QPlainTextEdit>("description"), QStringLiteral("Первая\nвторая"));
        typeText(session.control<QPlainTextEdit>("manual"), QStringLiteral("Шаг 1\nШаг 2"));
        session.control<QLineEdit>("public_post_index")->setText(QStringLiteral("123456"));
        session.control<QLineEdit>("public_email")->setText(QStringLiteral("a@b.ru"));
        session.control<QPlainTextEdit>("Notes")->setPlainText(QStringLiteral("секретная заметка"));
        session.setSubjectSlots({6, 22, 0, 0});
        session.setParticipants({{QStringLiteral("123-456-789"), QStringLiteral("Иванов"), QStringLiteral("Иван"),
                                  QStringLiteral("Иванович")}},
                                {{QStringLiteral("111-111-111"), QStringLiteral("Петров"), QStringLiteral("Пётр"),
                                  QStringLiteral("Петрович")},
                                 {QStringLiteral("222-222-222"), QStringLiteral("Сидоров"), QStringLiteral("Сидор"),
                                  QStringLiteral("Сидорович")}},
                                /*leader=*/0);

        clickPreview(session);

        QCOMPARE(gui::modal::testing::messages().size(), 0);
        QCOMPARE(redirect.opened, QList<QUrl>{redirect.pageUrl()});
        const QStringList lines = pageLines(redirect.path(kPage));
        QCOMPARE(lines.size(), 14);
        QCOMPARE(lines[1], QStringLiteral("<h1>Тирлада &lt;b&gt;жирный&lt;/b&gt;</h1>"));
        QCOMPARE(lines[2], QStringLiteral("<p><strong>Раздел(ы):</strong> Лингвистика (русский и "
                                          "иностранные языки), В помощь учителю</p>"));
        QCOMPARE(lines[4], QStringLiteral("<p><strong>Автор(ы):</strong> <ul>"
                                          "<li>Иванов Иван Иванович [123-456-789]</li></ul></p>"));
        QCOMPARE(lines[5], QStringLiteral("<p><strong>Руководитель(и):</strong> <ul>"
                                          "<li>Петров Пётр Петрович <strong>[111-111-111]</strong></li>"
                                          "<li>Сидоров Сидор Сидорович [222-222-222]</li></ul></p><hr />"));
        QCOMPARE(lines[6], QStringLiteral("<p><strong>Описание работы:</strong></p><p>Первая<br />вторая</p>"));
        QCOMPARE(lines[8], QStringLiteral("<p><strong>Порядок знакомства:</strong></p><p>Шаг 1<br />Шаг 2</p>"));
        QCOMPARE(lines[10], QStringLiteral("<table border=\"0\"><tr><td>Адрес:</td><td>123456, </td></tr>"));
        QCOMPARE(lines[12], QStringLiteral("<tr><td>Эл. адрес:</td><td>a@b.ru</td></tr>"));
        QVERIFY(!lines.join(QString()).contains(QStringLiteral("секретная")));

        // The window's texts are untouched.
        QCOMPARE(title->text(), QStringLiteral("Тирлада <b>жирный</b>"));

        // Without a picture an earlier picture file stays as it was, and the
        // folder holds nothing else.
        QCOMPARE(readAll(redirect.path(kPicture)), QByteArray("earlier picture"));
        QCOMPARE(entries(redirect.folder), (QStringList{kPicture, kPage}));
    }

    // Whatever stands at the page's name is replaced as a directory entry,
    // never written through.
    void plantedPageName_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::newRow("earlier page") << "file";
        QTest::newRow("link to another file") << "link";
        QTest::newRow("link to a file that does not exist") << "dangling";
    }
    void plantedPageName()
    {
        QFETCH(QString, planted);
        Redirect redirect;
        const QString elsewhere = redirect.root.path() + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        const QString victim = elsewhere + QStringLiteral("/victim.txt");
        const QString page = redirect.path(kPage);
        if (planted == QLatin1String("file")) {
            QVERIFY(writeFile(page, "earlier page"));
        } else if (planted == QLatin1String("link")) {
            QVERIFY(writeFile(victim, "someone's data"));
            QVERIFY(QFile::link(victim, page));
        } else {
            QVERIFY(QFile::link(victim, page));
        }

        tt::Session session;
        session.control<QLineEdit>("title")->setText(QStringLiteral("Новая"));
        clickPreview(session);

        QCOMPARE(gui::modal::testing::messages().size(), 0);
        QCOMPARE(redirect.opened, QList<QUrl>{redirect.pageUrl()});
        const QFileInfo info(page);
        QVERIFY(!info.isSymLink());
        QVERIFY(info.isFile());
        QCOMPARE(pageLines(page).value(1), QStringLiteral("<h1>Новая</h1>"));
        if (planted == QLatin1String("link"))
            QCOMPARE(readAll(victim), QByteArray("someone's data"));
        else
            QVERIFY(!QFileInfo::exists(victim));
        QCOMPARE(entries(redirect.folder), QStringList{kPage});
    }

    // When the page cannot be written the user is told, and the page is
    // still handed to the browser.
    void pageCannotBeWritten_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("temporary folder beneath a regular file") << "beneath file";
        QTest::newRow("page name taken by a folder") << "folder";
    }
    void pageCannotBeWritten()
    {
        QFETCH(QString, cause);
        Redirect redirect;
        QVERIFY(redirect.block(cause, kPage));

        tt::Session session;
        clickPreview(session);

        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(sameMessage(messages[0], templateError()));
        QCOMPARE(redirect.opened, QList<QUrl>{redirect.pageUrl()});
        if (cause == QLatin1String("folder")) {
            // The fresh file is not left behind.
            QCOMPARE(entries(redirect.folder), QStringList{kPage});
            QVERIFY(QFileInfo(redirect.path(kPage)).isDir());
        }
    }

    // ---- With a picture ----

    void previewWithPicture()
    {
        Redirect redirect;
        const QString source = redirect.root.path() + QStringLiteral("/photo.jpg");
        QVERIFY(writeJpeg(source, 640, 480, Qt::red));
        tt::Session session;
        QVERIFY(loadPicture(session, source));
        session.control<QLineEdit>("WorkImgSign")->setText(QStringLiteral("Вид <сбоку>"));

        // A link planted at the picture's name is replaced, not written through.
        const QString victim = redirect.root.path() + QStringLiteral("/victim.txt");
        QVERIFY(writeFile(victim, "someone's data"));
        QVERIFY(QFile::link(victim, redirect.path(kPicture)));

        clickPreview(session);

        QCOMPARE(gui::modal::testing::messages().size(), 0);
        QCOMPARE(redirect.opened, QList<QUrl>{redirect.pageUrl()});
        const QStringList lines = pageLines(redirect.path(kPage));
        QCOMPARE(lines.size(), 16);
        QCOMPARE(lines[7], QStringLiteral("<img src=\"img.jpg\" border=\"1\"/>"));
        QCOMPARE(lines[8], QStringLiteral("<p><i>Вид &lt;сбоку&gt;</i></p>"));

        QCOMPARE(readAll(victim), QByteArray("someone's data"));
        const QFileInfo info(redirect.path(kPicture));
        QVERIFY(!info.isSymLink());
        QImage written;
        QVERIFY(written.load(redirect.path(kPicture), "JPG"));
        QCOMPARE(written.size(), QSize(300, 225));
        QCOMPARE(entries(redirect.folder), (QStringList{kPicture, kPage}));
    }

    void previewWithPictureWithoutCaption()
    {
        Redirect redirect;
        const QString source = redirect.root.path() + QStringLiteral("/photo.jpg");
        QVERIFY(writeJpeg(source, 120, 80, Qt::blue));
        tt::Session session;
        QVERIFY(loadPicture(session, source));
        clickPreview(session);
        const QStringList lines = pageLines(redirect.path(kPage));
        QCOMPARE(lines.size(), 15);
        QCOMPARE(lines[7], QStringLiteral("<img src=\"img.jpg\" border=\"1\"/>"));
        QVERIFY(lines[8].startsWith(QStringLiteral("<hr />")));
    }

    // A picture that cannot be written ends the preview in the error box:
    // no page is written and nothing is opened.
    void pictureCannotBeWritten_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("temporary folder beneath a regular file") << "beneath file";
        QTest::newRow("picture name taken by a folder") << "folder";
    }
    void pictureCannotBeWritten()
    {
        QFETCH(QString, cause);
        Redirect redirect;
        const QString source = redirect.root.path() + QStringLiteral("/photo.jpg");
        QVERIFY(writeJpeg(source, 50, 40, Qt::green));
        tt::Session session;
        QVERIFY(loadPicture(session, source));
        QVERIFY(redirect.block(cause, kPicture));

        clickPreview(session);

        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].icon, gui::modal::Icon::Error);
        QCOMPARE(messages[0].caption, QStringLiteral("Тирлада"));
        const QString prefix =
            QStringLiteral("Cannot create file \"") + redirect.path(kPicture) + QStringLiteral("\". ");
        QVERIFY2(messages[0].text.startsWith(prefix), qPrintable(messages[0].text));
        QVERIFY(redirect.opened.isEmpty());
        QVERIFY(!QFileInfo::exists(redirect.path(kPage)));
        if (cause == QLatin1String("folder"))
            QCOMPARE(entries(redirect.folder), QStringList{kPicture});
    }
};

QTEST_MAIN(TestPreview)
#include "test_preview.moc"
