// Texts typed or pasted into the window reach the passport exactly as the
// user gave them: one-line fields of any length, memos with no-break spaces
// and every kind of line break.

#include "core/passport_texts.h"
#include "fixtures.h"
#include "gui/memo_edit.h"
#include "participants/participant_id_dialog.h"
#include "scripted_session.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A long text that shows where it was cut: its position marks every tenth
// character.
QString longText(QChar first, int length)
{
    QString text(first);
    while (text.size() < length)
        text += QString::number(text.size()).rightJustified(10, QLatin1Char('.'));
    return text.left(length);
}

// Pastes text into a line edit with Ctrl+V, as the user does.
void paste(QLineEdit *edit, const QString &text)
{
    QApplication::clipboard()->setText(text);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

} // namespace

class TestTexts : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        folder = temp->path() + QStringLiteral("/");
        platform::testing::setTempFolder(folder);
        platform::testing::setClock([] { return qint64(1233446400); });
        platform::testing::setBrowser([](const QUrl &) { return true; });
        session = std::make_unique<tt::Session>();
    }
    void cleanup()
    {
        session.reset();
        platform::testing::setTempFolder(QString());
        platform::testing::setClock(nullptr);
        platform::testing::setBrowser(nullptr);
        platform::testing::setArchiver(QString());
        temp.reset();
    }

    // 100,000 characters pasted into the title, the caption and the e-mail
    // reach the data document and the preview page whole.
    void longOneLineTextsReachTheFilesWhole()
    {
        tt::fillCompletePassport(*session);
        const QString photo = tt::writeSessionPhoto(QDir(temp->path()), 40, 30);
        gui::modal::testing::queueFileName(photo);
        QTest::mouseClick(session->control<QPushButton>("AddImg"), Qt::LeftButton);
        session->waitForPicture();
        QVERIFY(!session->control<QPushButton>("AddImg")->isEnabled());

        const QString title = longText(QLatin1Char('T'), 100000);
        const QString caption = longText(QLatin1Char('C'), 100000);
        const QString email = longText(QLatin1Char('E'), 100000);
        paste(session->control<QLineEdit>("title"), title);
        paste(session->control<QLineEdit>("WorkImgSign"), caption);
        paste(session->control<QLineEdit>("public_email"), email);
        QCOMPARE(session->control<QLineEdit>("title")->text().size(), 100000);
        QCOMPARE(session->control<QLineEdit>("WorkImgSign")->text().size(), 100000);
        QCOMPARE(session->control<QLineEdit>("public_email")->text().size(), 100000);

        // Without an archiver the save keeps its working folder: the data
        // document can be read there.
        platform::testing::setArchiver(temp->path() + QStringLiteral("/none/7za"));
        gui::modal::testing::queueFileName(temp->path() + QStringLiteral("/out.kwp"));
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        const QByteArray document = readAll(folder + QStringLiteral("Passport_1233446400/data.xml"));
        QVERIFY(!document.isEmpty());
        QVERIFY(document.contains("<title>" + title.toUtf8() + "</title>"));
        QVERIFY(document.contains("<img_sign>" + caption.toUtf8() + "</img_sign>"));
        QVERIFY(document.contains("<public_email>" + email.toUtf8() + "</public_email>"));

        QTest::mouseClick(session->control<QPushButton>("Preview"), Qt::LeftButton);
        QStringDecoder decoder("windows-1251");
        const QString page = decoder.decode(readAll(folder + QStringLiteral("prewiev.html")));
        QVERIFY(page.contains(QStringLiteral("<h1>") + title + QStringLiteral("</h1>")));
        QVERIFY(page.contains(QStringLiteral("<p><i>") + caption + QStringLiteral("</i></p>")));
        QVERIFY(page.contains(QStringLiteral("<td>") + email + QStringLiteral("</td>")));
    }

    // Only the participant ID keeps a limit: 11 characters.
    void onlyTheIdFieldIsLimited()
    {
        for (QLineEdit *edit : session->window().findChildren<QLineEdit *>())
            if (edit->window() == &session->window())
                QVERIFY2(edit->maxLength() == std::numeric_limits<int>::max(), qPrintable(edit->objectName()));
        QCOMPARE(session->windows->idDialog->findChild<QLineEdit *>("AddID")->maxLength(), 11);
    }

    // What the user types into a memo reaches the passport as typed; each
    // line break, Enter or Shift+Enter, is CR LF.
    void memoTextAsTyped_data()
    {
        QTest::addColumn<QString>("memo");
        QTest::newRow("description") << "description";
        QTest::newRow("order of study") << "manual";
        QTest::newRow("notes") << "Notes";
    }
    void memoTextAsTyped()
    {
        QFETCH(QString, memo);
        auto *edit = session->control<QPlainTextEdit>(memo.toLatin1().constData());
        edit->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(edit, QStringLiteral("a\u00a0b"));
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(edit, QStringLiteral("\u00a0"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, QStringLiteral("c\u00a0"));
        const PassportSnapshot s = session->window().snapshot();
        const QString typed = QStringLiteral("a\u00a0b\r\n\u00a0\r\n\r\nc\u00a0");
        QCOMPARE(memo == "description" ? s.description : memo == "manual" ? s.manual : s.notes, typed);
    }

    // Pasted paragraph and line separators are line breaks too.
    void pastedSeparatorsBecomeCrLf()
    {
        auto *edit = session->control<QPlainTextEdit>("description");
        QApplication::clipboard()->setText(QStringLiteral("a\u2028b\u2029c\nd"));
        edit->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(session->window().snapshot().description, QStringLiteral("a\r\nb\r\nc\r\nd"));
    }

    // A description of no-break spaces is not blank: only codes 0 to 32 are.
    void descriptionOfNoBreakSpacesIsNotMissing()
    {
        auto *edit = session->control<QPlainTextEdit>("description");
        edit->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(edit, QStringLiteral("\u00a0\u00a0"));
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        const QString text = gui::modal::testing::lastMessage().text;
        QVERIFY(text.contains(QStringLiteral(" - Название работы\n")));
        QVERIFY(!text.contains(QStringLiteral(" - Описание работы\n")));
    }

private:
    std::unique_ptr<QTemporaryDir> temp;
    QString folder;
    std::unique_ptr<tt::Session> session;

    // Every row of the table of texts has its edit in the window, bound both
    // ways: what is typed reaches the model's text, and the model's text
    // shows in the edit.
    void everyTextRowHasItsEdit_data()
    {
        QTest::addColumn<int>("row");
        for (const PassportTextRow &row : kPassportTexts)
            QTest::newRow(row.control.data()) << int(row.which);
    }
    void everyTextRowHasItsEdit()
    {
        QFETCH(int, row);
        const PassportTextRow &text = kPassportTexts[std::size_t(row)];
        QWidget *control = session->window().findChild<QWidget *>(text.control);
        auto *line = qobject_cast<QLineEdit *>(control);
        auto *memo = qobject_cast<gui::MemoEdit *>(control);
        QVERIFY2(line || memo, text.control.data());

        if (line)
            line->setText(QStringLiteral("набрано"));
        else
            memo->setPlainText(QStringLiteral("набрано\nдальше"));
        QCOMPARE(session->window().model().text(text.which),
                 line ? QStringLiteral("набрано") : QStringLiteral("набрано\r\nдальше"));

        session->window().model().setText(text.which, QStringLiteral("из модели"));
        QCOMPARE(line ? line->text() : memo->toPlainText(), QStringLiteral("из модели"));
    }

    // Every edit of the window that takes input is bound to the passport:
    // a text edit without its row in the table would change nothing.
    void everyEditFeedsThePassport()
    {
        // With a participant in each list, their name edits take input.
        session->setParticipants({{tt::checkedId(1), {}, {}, {}}}, {{tt::checkedId(2), {}, {}, {}}});
        QStringList unbound;
        for (QWidget *control : session->window().findChildren<QWidget *>()) {
            auto *line = qobject_cast<QLineEdit *>(control);
            auto *memo = qobject_cast<QPlainTextEdit *>(control);
            if ((!line || line->isReadOnly()) && (!memo || memo->isReadOnly()))
                continue;
            // A combo box's own edit belongs to the combo box.
            if (qobject_cast<QComboBox *>(control->parentWidget()))
                continue;
            const PassportSnapshot before = session->window().snapshot();
            if (line)
                line->setText(line->text() + QStringLiteral("Ж"));
            else
                memo->setPlainText(memo->toPlainText() + QStringLiteral("Ж"));
            if (session->window().snapshot() == before)
                unbound.append(control->objectName());
        }
        QVERIFY2(unbound.isEmpty(), qPrintable(unbound.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(TestTexts)
#include "test_texts.moc"
