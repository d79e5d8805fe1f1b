// Spelling in the passport window: unknown words marked as they are typed,
// corrected from the context menu, added to the user's dictionary or skipped;
// and nothing that is stored changes.

#include "fixtures.h"
#include "full_passport.h"
#include "preview/preview_page.h"
#include "save/data_document.h"
#include "spelling/checker.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>

namespace {

const QString kMisspelt = QStringLiteral("напсианные");
const QString kCorrected = QStringLiteral("написанные");

QString personalDictionary()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/словарь.txt");
}

// A memo marks a word with the spell-check underline in its layout.
bool marked(QPlainTextEdit *memo, const QString &word)
{
    const int at = int(memo->document()->toRawText().indexOf(word));
    if (at < 0)
        qFatal("no such word in the memo");
    const QTextBlock block = memo->document()->findBlock(at);
    const int inBlock = at - block.position();
    for (const QTextLayout::FormatRange &range : block.layout()->formats())
        if (range.start <= inBlock && inBlock + word.size() <= range.start + range.length
            && range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
            return true;
    return false;
}

// The pixel columns of a one-line field where a red underline shows.
QList<int> redColumns(QWidget *field)
{
    const QImage image = field->grab().toImage();
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 110 && c.blue() < 110 && c.red() - c.green() > 80) {
                columns.append(x);
                break;
            }
        }
    return columns;
}

// The red columns all stand under the text from start to end.
bool underlinesOnly(QLineEdit *edit, int start, int end)
{
    const QList<int> columns = redColumns(edit);
    if (columns.isEmpty())
        return false;
    for (int x : columns) {
        const int position = edit->cursorPositionAt(QPoint(x, edit->height() / 2));
        if (position < start || position > end) {
            qWarning("red at x %d, under position %d, outside %d..%d", x, position, start, end);
            return false;
        }
    }
    return true;
}

QMenu *openMenu() { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); }

// Right-clicks the memo on the word at position.
QMenu *rightClick(QPlainTextEdit *memo, int position)
{
    QTextCursor cursor(memo->document());
    cursor.setPosition(position);
    const QPoint point = memo->cursorRect(cursor).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, memo->viewport()->mapToGlobal(point));
    QApplication::sendEvent(memo->viewport(), &event);
    return openMenu();
}

QMenu *rightClick(QLineEdit *edit, QPoint point)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, edit->mapToGlobal(point));
    QApplication::sendEvent(edit, &event);
    return openMenu();
}

QStringList texts(const QMenu *menu)
{
    QStringList result;
    for (const QAction *action : menu->actions())
        result << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return result;
}

// Chooses the menu's item with the text as the keyboard does.
void choose(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text() == text) {
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no item \"%1\" in %2").arg(text, texts(menu).join(u", "))));
}

void waitForDictionaries() { spelling::sharedChecker()->waitUntilLoaded(); }

} // namespace

class TestSpellingWindow : public QObject {
    Q_OBJECT
    QTemporaryDir folder;

private slots:
    void initTestCase() { tt::log::install("tirlada.spelling"); }

    void init()
    {
        // Each test starts as a fresh program with an empty dictionary.
        spelling::testing::restartSharedChecker();
        spelling::testing::setDictionaryFolders({});
        QFile::remove(personalDictionary());
        tt::log::lines().clear();
    }
    void cleanup()
    {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    }

    // The whole road: typed, marked, corrected from the menu, one undo back.
    void misspeltWordInTheDescriptionIsCorrected()
    {
        tt::Session session;
        waitForDictionaries();
        auto *description = session.control<QPlainTextEdit>("description");
        tt::typeInto(session, "description", QStringLiteral("Сборник ") + kMisspelt + QStringLiteral(" стихов"));
        QVERIFY(marked(description, kMisspelt));
        QVERIFY(!marked(description, QStringLiteral("Сборник")));
        QVERIFY(!marked(description, QStringLiteral("стихов")));

        QMenu *menu = rightClick(description, 10);
        QVERIFY(menu);
        const QStringList items = texts(menu);
        // Corrections first, then the dictionary's two items, then the usual
        // menu of the field.
        const int separator = int(items.indexOf(QStringLiteral("|")));
        QVERIFY2(separator >= 1 && separator <= 5, qPrintable(items.join(u", ")));
        QVERIFY(items.mid(0, separator).contains(kCorrected));
        QCOMPARE(items.mid(separator, 4), (QStringList{"|", "Добавить в словарь", "Пропустить", "|"}));
        std::unique_ptr<QMenu> usual(description->createStandardContextMenu());
        QCOMPARE(items.mid(separator + 4), texts(usual.get()));

        // Screen readers read each correction by its name.
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(menu);
        QVERIFY(accessible);
        QCOMPARE(accessible->child(0)->text(QAccessible::Name), items[0]);
        QCOMPARE(accessible->child(0)->role(), QAccessible::MenuItem);

        choose(menu, kCorrected);
        QCOMPARE(description->toPlainText(), QStringLiteral("Сборник ") + kCorrected + QStringLiteral(" стихов"));
        QVERIFY(!marked(description, kCorrected));
        QCOMPARE(session.window().snapshot().description, description->toPlainText());

        QTest::keyClick(description, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(description->toPlainText(), QStringLiteral("Сборник ") + kMisspelt + QStringLiteral(" стихов"));
        QVERIFY(marked(description, kMisspelt));
    }

    void keyboardOpensTheMenu_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("memo, Menu key") << "description" << int(Qt::Key_Menu) << int(Qt::NoModifier);
        QTest::newRow("memo, Shift+F10") << "description" << int(Qt::Key_F10) << int(Qt::ShiftModifier);
        QTest::newRow("line, Menu key") << "title" << int(Qt::Key_Menu) << int(Qt::NoModifier);
        QTest::newRow("line, Shift+F10") << "title" << int(Qt::Key_F10) << int(Qt::ShiftModifier);
    }
    void keyboardOpensTheMenu()
    {
        QFETCH(QString, field);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        tt::Session session;
        waitForDictionaries();
        const QByteArray name = field.toLatin1();
        tt::typeInto(session, name.constData(), QStringLiteral("Сборник ") + kMisspelt);
        QWidget *control = session.control(name.constData());
        QTest::keyClick(control, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QMenu *menu = openMenu();
        QVERIFY(menu);
        QVERIFY(texts(menu).contains(kCorrected));
        choose(menu, kCorrected);
        const QString text = qobject_cast<QLineEdit *>(control) ? static_cast<QLineEdit *>(control)->text()
                                                                : static_cast<QPlainTextEdit *>(control)->toPlainText();
        QCOMPARE(text, QStringLiteral("Сборник ") + kCorrected);
    }

    void oneLineFieldIsMarkedAndCorrected()
    {
        tt::Session session;
        waitForDictionaries();
        auto *title = session.control<QLineEdit>("title");
        tt::typeInto(session, "title", QStringLiteral("Сборник ") + kMisspelt + QStringLiteral(" стихов"));
        QVERIFY(underlinesOnly(title, 8, 18));

        const QList<int> red = redColumns(title);
        QMenu *menu = rightClick(title, QPoint(red[red.size() / 2], title->height() / 2));
        QVERIFY(menu);
        choose(menu, kCorrected);
        QCOMPARE(title->text(), QStringLiteral("Сборник ") + kCorrected + QStringLiteral(" стихов"));
        QVERIFY(redColumns(title).isEmpty());

        // One undo step brings the misspelt word back.
        QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(title->text(), QStringLiteral("Сборник ") + kMisspelt + QStringLiteral(" стихов"));
    }

    // A long title scrolls sideways: the underline follows its word.
    void longLineScrolls()
    {
        tt::Session session;
        waitForDictionaries();
        auto *title = session.control<QLineEdit>("title");
        const QString words = QStringLiteral("Сборник стихов о весне ").repeated(12);
        title->setFocus();

        title->setText(words + kMisspelt);
        title->end(false);
        QVERIFY(underlinesOnly(title, int(words.size()), int(words.size() + kMisspelt.size())));
        QVERIFY(title->cursorPositionAt(QPoint(5, title->height() / 2)) > 0); // scrolled

        title->setText(kMisspelt + u' ' + words);
        title->end(false);
        QVERIFY(redColumns(title).isEmpty()); // the word is out of view
        title->home(false);
        QVERIFY(underlinesOnly(title, 0, int(kMisspelt.size())));
    }

    void whereSpellingIsChecked_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("checked");
        for (const char *name :
             {"title", "description", "tech_request", "manual", "WorkImgSign", "public_post_address", "Notes"})
            QTest::newRow(name) << name << true;
        for (const char *name :
             {"public_post_index", "public_phone", "public_email", "AuthorsLastname", "TeachersName"})
            QTest::newRow(name) << name << false;
    }
    void whereSpellingIsChecked()
    {
        QFETCH(QString, field);
        QFETCH(bool, checked);
        tt::Session session;
        waitForDictionaries();
        const QByteArray name = field.toLatin1();
        QWidget *control = session.control(name.constData());
        // The caption is editable once a picture is loaded; the names once a
        // participant is chosen.
        control->setEnabled(true);
        if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setReadOnly(false);
            edit->setText(kMisspelt);
            edit->home(false);
            QCOMPARE(!redColumns(edit).isEmpty(), checked);
        } else {
            auto *memo = static_cast<QPlainTextEdit *>(control);
            memo->setPlainText(kMisspelt);
            QCOMPARE(marked(memo, kMisspelt), checked);
        }
    }

    void addedWordIsNotMarkedAfterARestart()
    {
        const QString name = QStringLiteral("Тирлада");
        {
            tt::Session session;
            waitForDictionaries();
            auto *description = session.control<QPlainTextEdit>("description");
            tt::typeInto(session, "description", name);
            QVERIFY(marked(description, name));
            QMenu *menu = rightClick(description, 2);
            QVERIFY(menu);
            choose(menu, QStringLiteral("Добавить в словарь"));
            QVERIFY(!marked(description, name));
            QCOMPARE(description->toPlainText(), name);
        }
        QFile file(personalDictionary());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), (name + u'\n').toUtf8());

        spelling::testing::restartSharedChecker();
        tt::Session restarted;
        waitForDictionaries();
        tt::typeInto(restarted, "Notes", name);
        QVERIFY(!marked(restarted.control<QPlainTextEdit>("Notes"), name));
        tt::typeInto(restarted, "title", name);
        QVERIFY(redColumns(restarted.control<QLineEdit>("title")).isEmpty());
    }

    void skippedWordIsMarkedAgainAfterARestart()
    {
        {
            tt::Session session;
            waitForDictionaries();
            auto *title = session.control<QLineEdit>("title");
            auto *notes = session.control<QPlainTextEdit>("Notes");
            tt::typeInto(session, "Notes", kMisspelt);
            tt::typeInto(session, "title", kMisspelt);
            QVERIFY(!redColumns(title).isEmpty());
            QTest::keyClick(title, Qt::Key_F10, Qt::ShiftModifier);
            QMenu *menu = openMenu();
            QVERIFY(menu);
            choose(menu, QStringLiteral("Пропустить"));
            QVERIFY(redColumns(title).isEmpty());
            QVERIFY(!marked(notes, kMisspelt));
        }
        QVERIFY(!QFile::exists(personalDictionary()));
        spelling::testing::restartSharedChecker();
        tt::Session restarted;
        waitForDictionaries();
        tt::typeInto(restarted, "Notes", kMisspelt);
        QVERIFY(marked(restarted.control<QPlainTextEdit>("Notes"), kMisspelt));
    }

    void aDictionaryThatCannotBeWrittenIsReported()
    {
        // The data folder's place is taken by a plain file.
        const QString dataFolder = QFileInfo(personalDictionary()).absolutePath();
        QDir(dataFolder).removeRecursively();
        QDir().mkpath(QFileInfo(dataFolder).absolutePath());
        {
            QFile blocker(dataFolder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        tt::Session session;
        waitForDictionaries();
        auto *description = session.control<QPlainTextEdit>("description");
        tt::typeInto(session, "description", kMisspelt);
        QMenu *menu = rightClick(description, 2);
        QVERIFY(menu);
        choose(menu, QStringLiteral("Добавить в словарь"));
        QFile::remove(dataFolder);
        const auto messages = gui::modal::testing::messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].text.contains(QStringLiteral("словарь.txt")), qPrintable(messages[0].text));
        QVERIFY(marked(description, kMisspelt));
        QCOMPARE(description->toPlainText(), kMisspelt);
    }

    void withoutDictionariesNothingIsMarked()
    {
        spelling::testing::setDictionaryFolders({folder.path()});
        spelling::testing::restartSharedChecker();
        tt::Session session;
        waitForDictionaries();
        auto *description = session.control<QPlainTextEdit>("description");
        tt::typeInto(session, "description", kMisspelt);
        tt::typeInto(session, "title", kMisspelt);
        QVERIFY(!marked(description, kMisspelt));
        QVERIFY(redColumns(session.control<QLineEdit>("title")).isEmpty());
        QMenu *menu = rightClick(description, 2);
        QVERIFY(menu);
        QVERIFY(!texts(menu).contains(QStringLiteral("Добавить в словарь")));
        QCOMPARE(tt::log::lines().size(), 1);
        QVERIFY(gui::modal::testing::messages().isEmpty());
    }

    // Marking, skipping and adding words change no text: the data document
    // and the preview page stay byte for byte what the typed texts give.
    void nothingStoredChanges()
    {
        tt::Session session;
        waitForDictionaries();
        const QString memoText = QStringLiteral("Первая строка с ошибкой: ") + kMisspelt
                                 + QStringLiteral("\nвторая\u00a0строка, Тирлада и HTML.");
        const QString lineText = QStringLiteral("Сборник ") + kMisspelt + QStringLiteral(" стихов, Тирлада");
        for (const char *name : {"description", "manual", "Notes"})
            session.control<QPlainTextEdit>(name)->setPlainText(memoText);
        for (const char *name : {"title", "tech_request", "public_post_address", "WorkImgSign"})
            session.control<QLineEdit>(name)->setText(lineText);
        QApplication::processEvents();

        PassportSnapshot expected = session.window().snapshot();
        const QString stored = QString(memoText).replace(u'\n', QStringLiteral("\r\n"));
        QCOMPARE(expected.description, stored);
        QCOMPARE(expected.title, lineText);
        const QByteArray document = save::buildDataDocument(expected, 1234567890);
        const QByteArray page = preview::encodePreviewPage(preview::previewPageLines(expected, false));

        QSignalSpy descriptionChanged(session.control<QPlainTextEdit>("description"), &QPlainTextEdit::textChanged);
        QSignalSpy titleChanged(session.control<QLineEdit>("title"), &QLineEdit::textChanged);
        const int undoSteps = session.control<QPlainTextEdit>("description")->document()->availableUndoSteps();
        spelling::sharedChecker()->ignore(kMisspelt);
        spelling::sharedChecker()->addToDictionary(QStringLiteral("Тирлада"));
        QApplication::processEvents();
        QCOMPARE(descriptionChanged.count(), 0);
        QCOMPARE(titleChanged.count(), 0);
        QCOMPARE(session.control<QPlainTextEdit>("description")->document()->availableUndoSteps(), undoSteps);

        const PassportSnapshot after = session.window().snapshot();
        QCOMPARE(save::buildDataDocument(after, 1234567890), document);
        QCOMPARE(preview::encodePreviewPage(preview::previewPageLines(after, false)), page);
    }
};

QTEST_MAIN(TestSpellingWindow)
#include "test_spelling_window.moc"
