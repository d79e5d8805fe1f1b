// Choosing a picture: the open dialog (what it is asked for, its filters,
// its preview) and dropping files on the window.

#include "gui/guard.h"
#include "picture_window_fixture.h"

#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>

#include <sys/stat.h>

#include <jerror.h>

namespace {

// Drags files over a widget and drops them there, as a file manager does:
// their URLs, and their names as text.
void dropFiles(QWidget *target, const QStringList &paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    QStringList names;
    for (const QString &path : paths) {
        urls << QUrl::fromLocalFile(path);
        names << QUrl::fromLocalFile(path).toString();
    }
    mime.setUrls(urls);
    mime.setText(names.join(QLatin1Char('\n')));
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    // What a drop starts runs once the drop is over.
    QTest::qWait(50);
}

} // namespace

class TestPictureChoosing : public PictureWindowFixture {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void dialogRequest()
    {
        const QString path = put(QStringLiteral("first.jpg"), fixtures::cjpeg(fixtures::pattern(40, 30), {}));
        load(path);
        QTest::mouseClick(delImg(), Qt::LeftButton);
        gui::modal::testing::queueFileName(QString()); // cancelled
        QTest::mouseClick(addImg(), Qt::LeftButton);

        const auto requests = gui::modal::testing::openRequests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].nameFilters, (QStringList{QStringLiteral("Изображения (*.jpg *.jpeg *.png)"),
                                                       QStringLiteral("JPEG Image File (*.jpg *.jpeg)")}));
        QVERIFY(requests[0].picturePreview);
        QVERIFY(requests[0].selectedFile.isEmpty());
        // The previously chosen file is offered again.
        QCOMPARE(requests[1].selectedFile, path);
        QCOMPARE(requests[1].directory, dir.path());
        // Cancelling changes nothing.
        verifyNoPictureControls();
        QVERIFY(gui::modal::testing::messages().isEmpty());
    }

    void failedFileNotOffered()
    {
        const QString good = put(QStringLiteral("good.jpg"), fixtures::cjpeg(fixtures::pattern(40, 30), {}));
        const QString bad = put(QStringLiteral("bad.jpg"), "not a picture");
        load(bad);
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        gui::modal::testing::queueFileName(QString());
        QTest::mouseClick(addImg(), Qt::LeftButton);
        QCOMPARE(gui::modal::testing::openRequests().value(1).selectedFile, QString());
        load(good);
        QTest::mouseClick(delImg(), Qt::LeftButton);
        load(bad);
        gui::modal::testing::queueFileName(QString());
        QTest::mouseClick(addImg(), Qt::LeftButton);
        QCOMPARE(gui::modal::testing::openRequests().value(4).selectedFile, good);
    }

    // The open dialog's preview reads through the program's own reader, off
    // the window's thread: highlighting the two bombs never keeps the window
    // from its events for over 0.5 s, and they show no preview; a sound
    // picture highlighted after them is shown, at the preview's size.
    void dialogPreviewNeverStalls()
    {
        const QString progressive =
            put(QStringLiteral("progressive.jpg"), fixtures::hollowProgressive(16384, 16384, 499));
        const QString cmyk = put(QStringLiteral("cmyk.jpg"), fixtures::cmykBomb(16384, 4));
        const QString good = put(QStringLiteral("good.png"), fixtures::png(fixtures::pattern(640, 480)));
        QVERIFY(QFileInfo(progressive).size() < 200 * 1024);
        QVERIFY(QFileInfo(cmyk).size() < 4 * 1024);

        QFileDialog dialog(nullptr, QString(), dir.path());
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        gui::modal::addPicturePreview(dialog, QString());
        dialog.show();
        auto *preview = dialog.findChild<QLabel *>(QStringLiteral("PicturePreview"));
        QVERIFY(preview);
        QVERIFY(!preview->accessibleName().isEmpty());

        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer ticker;
        ticker.setInterval(50);
        connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        clock.start();
        ticker.start();
        auto highlight = [&](const QString &path, int waitMs) {
            const qint64 before = clock.elapsed();
            emit dialog.currentChanged(path);
            // Highlighting itself is over at once.
            longest = std::max(longest, clock.elapsed() - before);
            QTest::qWait(waitMs);
        };
        highlight(progressive, 10);
        highlight(cmyk, 10);
        highlight(good, 0);
        highlight(progressive, 1500);
        QVERIFY(preview->pixmap().isNull());
        highlight(cmyk, 1500);
        QVERIFY(preview->pixmap().isNull());
        highlight(good, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!preview->pixmap().isNull(), 5000);
        QCOMPARE(preview->pixmap().size(), QSize(160, 120));
        QTest::qWait(100);
        ticker.stop();
        QVERIFY2(longest < 500, qPrintable(QString::number(longest)));
    }

    // Readings that never end (files on a stalled drive: named pipes that
    // nobody writes) hold no one: a sound picture highlighted after two of
    // them shows its preview.
    void previewNeverWaitsBehindAbandoned()
    {
        QStringList pipes;
        for (const QString &name : {QStringLiteral("stalled1.jpg"), QStringLiteral("stalled2.jpg")}) {
            pipes << dir.filePath(name);
            QVERIFY(mkfifo(QFile::encodeName(pipes.last()).constData(), 0600) == 0);
        }
        const QString good = put(QStringLiteral("good2.png"), fixtures::png(fixtures::pattern(640, 480)));
        QFileDialog dialog(nullptr, QString(), dir.path());
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        gui::modal::addPicturePreview(dialog, QString());
        auto *preview = dialog.findChild<QLabel *>(QStringLiteral("PicturePreview"));
        emit dialog.currentChanged(pipes[0]);
        emit dialog.currentChanged(pipes[1]);
        emit dialog.currentChanged(good);
        QTRY_VERIFY_WITH_TIMEOUT(!preview->pixmap().isNull(), 5000);
        QCOMPARE(preview->pixmap().size(), QSize(160, 120));
        // The stalled readings end once their files come.
        for (const QString &path : pipes) {
            QFile writer(path);
            QVERIFY(writer.open(QIODevice::WriteOnly));
        }
    }

    // A picture dropped anywhere on the window loads as "Добавить" loads it,
    // never as text into the edit under the mouse; a bad one gives the same
    // error box.
    void dropsPicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray jpeg = fixtures::cjpeg(fixtures::pattern(640, 480), {});
        QTest::newRow("JPEG") << "drop.jpg" << jpeg << QString();
        QTest::newRow("upper-case JPEG") << "DROP.JPEG" << jpeg << QString();
        QTest::newRow("PNG") << "drop.Png" << fixtures::png(fixtures::pattern(640, 480)) << QString();
        QTest::newRow("not a picture") << "drop.jpg" << QByteArray("text") << jpegError(JERR_NO_SOI);
    }
    void dropsPicture()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = put(name, bytes);
        auto *title = session->control<QLineEdit>("title");
        title->setText(QStringLiteral("Работа"));
        dropFiles(title, {path});
        QCOMPARE(title->text(), QStringLiteral("Работа"));
        const auto messages = gui::modal::testing::messages();
        if (message.isEmpty()) {
            QVERIFY2(messages.isEmpty(), qPrintable(messages.value(0).text));
            verifyLoadedControls(QSize(300, 225));
        } else {
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages[0].icon, gui::modal::Icon::Error);
            QCOMPARE(messages[0].text, gui::errorBoxText(message));
            verifyNoPictureControls();
        }
    }

    // Files that the window does not take (two packages, a picture while
    // one is loaded, a text file) are refused, and no edit takes their
    // names as text.
    void dropsRefused()
    {
        const QString picture = put(QStringLiteral("one.jpg"), fixtures::cjpeg(fixtures::pattern(64, 48), {}));
        const QString other = put(QStringLiteral("two.png"), fixtures::png(fixtures::pattern(64, 48)));
        auto *title = session->control<QLineEdit>("title");
        auto *notes = session->control<QPlainTextEdit>("description");
        dropFiles(title, {dir.filePath(QStringLiteral("a.kwp")), dir.filePath(QStringLiteral("b.kwp"))});
        dropFiles(notes->viewport(), {dir.filePath(QStringLiteral("a.kwp")), dir.filePath(QStringLiteral("b.kwp"))});
        dropFiles(title, {put(QStringLiteral("notes.txt"), "text")});
        dropFiles(title, {picture});
        QVERIFY(!addImg()->isEnabled());
        const QImage shown = bitmap();
        dropFiles(title, {other});
        dropFiles(notes->viewport(), {other});
        QCOMPARE(bitmap(), shown);
        QCOMPARE(title->text(), QString());
        QCOMPARE(notes->toPlainText(), QString());
        QVERIFY(gui::modal::testing::messages().isEmpty());
    }

    // Qt's own file dialog, with the program's filters, lists the
    // upper-case names that cameras write: the first filter pictures of
    // both kinds, the second JPEG files alone.
    void dialogFilterListsUpperCase_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("pictures") << 0 << QStringList{"B.JPG", "D.JPEG", "G.Png", "a.jpg", "c.jpeg", "e.Jpg", "h.png"};
        QTest::newRow("JPEG") << 1 << QStringList{"B.JPG", "D.JPEG", "a.jpg", "c.jpeg", "e.Jpg"};
    }
    void dialogFilterListsUpperCase()
    {
        QFETCH(int, filter);
        QFETCH(QStringList, expected);
        gui::modal::testing::queueFileName(QString());
        QTest::mouseClick(addImg(), Qt::LeftButton);
        const QStringList filters = gui::modal::testing::openRequests().value(0).nameFilters;
        QCOMPARE(filters.size(), 2);

        QTemporaryDir folder;
        for (const char *name : {"a.jpg", "B.JPG", "c.jpeg", "D.JPEG", "e.Jpg", "f.txt", "G.Png", "h.png", "i.gif"})
            QVERIFY(fixtures::writeFile(folder.filePath(QString::fromLatin1(name)), "x"));
        QFileDialog dialog(nullptr, QString(), folder.path());
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters[filter]);
        auto *model = dialog.findChild<QFileSystemModel *>();
        QVERIFY(model);
        auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
        QVERIFY(view);
        dialog.setDirectory(folder.path());
        QStringList listed;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                listed.clear();
                const QModelIndex root = view->rootIndex();
                for (int row = 0; row < view->model()->rowCount(root); ++row) {
                    const QModelIndex index = view->model()->index(row, 0, root);
                    if (!view->isRowHidden(row) && (view->model()->flags(index) & Qt::ItemIsEnabled))
                        listed << index.data().toString();
                }
                listed.sort();
                return listed.size() == expected.size();
            }(),
            5000);
        QCOMPARE(listed, expected);
    }
};

QTEST_MAIN(TestPictureChoosing)
#include "test_picture_choosing.moc"
