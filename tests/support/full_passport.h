#pragma once

// A complete passport typed into the window the way a user does it: keys
// into the fields, the sections dialog, the ID dialog, the picture's open
// dialog. Used by the draft tests, the crash helper and the benchmarks.

#include "participants/participant_id.h"
#include "participants/participant_id_dialog.h"
#include "tirlada_test.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace tt {

// Types the text one character at a time as key presses, Cyrillic included;
// a line feed is the Enter key.
inline void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(widget, Qt::Key_Return);
            continue;
        }
        const auto key = Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}

// The formatted ID "XXX-XXX-XXX" whose first seven digits are 1000000 + n.
inline QString validFormattedId(int n)
{
    const QString seven = QString::number(1000000 + n);
    const QString nine = seven + participants::participantIdCheckDigits(seven);
    return nine.left(3) + QLatin1Char('-') + nine.mid(3, 3) + QLatin1Char('-') + nine.mid(6);
}

inline void typeInto(Session &session, const char *name, const QString &text)
{
    QWidget *field = session.control(name);
    field->setFocus();
    typeText(field, text);
}

// Adds one participant through the add button and the ID dialog, then types
// the names into the unlocked name edits.
inline void addParticipantByHand(Session &session, bool author, int n, const QStringList &names)
{
    gui::modal::testing::queueDialog([n](QDialog *dialog) {
        auto *form = static_cast<ParticipantIdDialog *>(dialog);
        QString digits = validFormattedId(n);
        digits.remove(QLatin1Char('-'));
        typeText(form->findChild<QLineEdit *>("AddID"), digits);
        QTest::keyClick(form->findChild<QLineEdit *>("AddID"), Qt::Key_Return);
    });
    QTest::mouseClick(session.control<QPushButton>(author ? "AuthorAdd" : "TeacherAdd"), Qt::LeftButton);
    const char *const edits[2][3] = {{"AuthorsLastname", "AuthorsName", "AuthorsPatronymic"},
                                     {"TeachersLastname", "TeachersName", "TeachersPatronymic"}};
    for (int i = 0; i < 3 && i < names.size(); ++i)
        typeInto(session, edits[author ? 0 : 1][i], names[i]);
}

// Every field of the passport, a picture with its caption included. photo
// is a JPEG file for the picture's open dialog.
inline void typeFullPassport(Session &session, const QString &photo)
{
    typeInto(session, "title", QStringLiteral("Весна <в> \"городе\" & лето"));
    typeInto(session, "description", QStringLiteral("Стихи о весне.\nВторая строка"));
    typeInto(session, "tech_request", QStringLiteral("Браузер"));
    typeInto(session, "manual", QStringLiteral("Открыть index.html\nЧитать"));
    typeInto(session, "public_post_index", QStringLiteral("620000"));
    typeInto(session, "public_post_address", QStringLiteral("Екатеринбург, ул. Ленина, 1"));
    typeInto(session, "public_phone", QStringLiteral("+7 343 000-00-00"));
    typeInto(session, "public_email", QStringLiteral("school@example.ru"));

    gui::modal::testing::queueDialog([](QDialog *dialog) {
        for (int number : {2, 11, 22}) {
            auto *box = dialog->findChild<QCheckBox *>(QStringLiteral("CheckBox%1").arg(number));
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, 8));
        }
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Button1")), Qt::LeftButton);
    });
    QTest::mouseClick(session.control<QPushButton>("Button3"), Qt::LeftButton);

    addParticipantByHand(session, true, 11,
                         {QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")});
    addParticipantByHand(session, true, 12,
                         {QStringLiteral("Смирнова"), QStringLiteral("Ольга"), QStringLiteral("Сергеевна")});
    addParticipantByHand(session, false, 21,
                         {QStringLiteral("Петров"), QStringLiteral("Пётр"), QStringLiteral("Петрович")});
    addParticipantByHand(session, false, 22,
                         {QStringLiteral("Кузнецова"), QStringLiteral("Анна"), QStringLiteral("Павловна")});

    gui::modal::testing::queueFileName(photo);
    QTest::mouseClick(session.control<QPushButton>("AddImg"), Qt::LeftButton);
    session.waitForPicture();
    typeInto(session, "WorkImgSign", QStringLiteral("Наш двор"));

    typeInto(session, "Notes", QStringLiteral("Записка для оргкомитета"));
}

} // namespace tt
