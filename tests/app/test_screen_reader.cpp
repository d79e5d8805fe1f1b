// What a screen reader is told: the draft warning as an alert that it
// announces, each field's help with the field, the sections chosen with the
// button that chooses them, and no empty read-only name field to Tab
// through.

#include "app/help_texts.h"
#include "draft_fixture.h"
#include "gui/warning_line.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

struct Heard {
    QAccessible::Event type;
    QObject *object;
};
QList<Heard> &heard()
{
    static QList<Heard> events;
    return events;
}

QString accessible(QWidget *widget, QAccessible::Text text)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(text) : QString();
}

} // namespace

class TestScreenReader : public DraftFixture {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        gui::testing::setAnnouncementObserver([](QLabel *line, QAccessible::Event type) {
            heard().append({type, line});
        });
    }
    void init()
    {
        setUp();
        heard().clear();
    }
    void cleanup() { tearDown(); }

    void draftWarningIsAnnouncedAsAnAlert()
    {
        auto *line = session->control<QLabel>("DraftWarning");
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(line);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::AlertMessage);
        QVERIFY(!iface->state().focusable);

        // The data folder becomes a file: drafts cannot be written.
        session.reset();
        const QString blocked = path(QStringLiteral("blocked"));
        writeBytes(blocked, "a file where the data folder should be");
        qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
        session = std::make_unique<tt::Session>();
        line = session->control<QLabel>("DraftWarning");
        heard().clear();
        typeTitle(QStringLiteral("Весна"));
        window().flushDraft();
        QVERIFY(line->isVisible());
        QList<QAccessible::Event> said;
        for (const Heard &event : heard())
            if (event.object == line)
                said.append(event.type);
        // It appears as an alert (a screen reader speaks an alert that
        // shows), and the alert event is sent too.
        QVERIFY(said.contains(QAccessible::ObjectShow));
        QVERIFY(said.contains(QAccessible::Alert));
        QCOMPARE(accessible(line, QAccessible::Name), line->text());

        // The same failure again is not said again.
        heard().clear();
        typeTitle(QStringLiteral("!"));
        window().flushDraft();
        for (const Heard &event : heard())
            QVERIFY(event.object != line || event.type != QAccessible::Alert);
    }

    void eachFieldHasItsHelp_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("help");
        QTest::newRow("title") << "title" << help::titleHelp();
        QTest::newRow("description") << "description" << help::descriptionHelp();
        QTest::newRow("tech_request") << "tech_request" << help::requirementsHelp();
        QTest::newRow("manual") << "manual" << help::manualHelp();
        for (const char *contact : {"public_post_index", "public_post_address", "public_phone", "public_email"})
            QTest::newRow(contact) << contact << help::contactsHelp();
        QTest::newRow("WorkImgSign") << "WorkImgSign" << help::pictureHelp();
        QTest::newRow("AuthorsListBox") << "AuthorsListBox" << help::participantsHelp();
        QTest::newRow("Notes") << "Notes" << help::commentsHelp();
    }
    void eachFieldHasItsHelp()
    {
        QFETCH(QString, field);
        QFETCH(QString, help);
        const QString description =
            accessible(session->control(field.toLatin1().constData()), QAccessible::Description);
        // The whole help, every line of it, not only the first.
        const QString memo = core::passportTextToMemo(help);
        QVERIFY2(description.endsWith(memo), qPrintable(description));
        QVERIFY(memo.contains(u'\n'));
    }

    void sectionsAreReadWithTheirButton()
    {
        auto *button = session->control<QPushButton>("Button3");
        QCOMPARE(accessible(button, QAccessible::Description), QStringLiteral("[ Раздел не задан ]"));
        session->setSubjectSlots({2, 11, 0, 0});
        const QString summary = accessible(button, QAccessible::Description);
        QCOMPARE(summary.split(u'\n').size(), 2);
        QCOMPARE(summary.split(u'\n').first(), session->control<QLabel>("subj1")->text().trimmed());
    }

    // With no participant selected the six name fields are empty and
    // read-only: Tab passes them by. Once a participant is chosen they are
    // stops again.
    void emptyReadOnlyNamesAreNoTabStops()
    {
        const char *const names[] = {"AuthorsLastname",  "AuthorsName",  "AuthorsPatronymic",
                                     "TeachersLastname", "TeachersName", "TeachersPatronymic"};
        for (const char *name : names) {
            auto *edit = session->control<QLineEdit>(name);
            QVERIFY(edit->isReadOnly() && edit->text().isEmpty());
            QVERIFY2(!(edit->focusPolicy() & Qt::TabFocus), name);
        }
        session->setParticipants({{QStringLiteral("123-456-798"), QStringLiteral("Иванов"), QStringLiteral("Иван"),
                                   QStringLiteral("Иванович")}},
                                 {{QStringLiteral("765-432-112"), QStringLiteral("Петров"), QStringLiteral("Пётр"),
                                   QStringLiteral("Петрович")}});
        session->control<QListWidget>("AuthorsListBox")->setCurrentRow(0);
        session->control<QListWidget>("TeachersListBox")->setCurrentRow(0);
        for (const char *name : names) {
            auto *edit = session->control<QLineEdit>(name);
            QVERIFY2(!edit->isReadOnly(), name);
            QVERIFY2(edit->focusPolicy() & Qt::TabFocus, name);
        }
    }
};

QTEST_MAIN(TestScreenReader)
#include "test_screen_reader.moc"
