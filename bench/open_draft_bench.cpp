// Times opening a full package with a picture into the window, from the call
// to the filled window, and writing the draft of unsaved input: the time on
// the writer thread per draft, and the time the window's thread spends per
// change (the key press with its change signal, then the hand-over to the
// writer). Prints the figures; asserts nothing.

#include "core/platform.h"
#include "drafts/draft.h"
#include "full_passport.h"
#include "scripted_session.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return 0;
    const qsizetype index = std::min<qsizetype>(values.size() - 1, qsizetype(p * (values.size() - 1) + 0.5));
    return values[index];
}

void report(const char *what, const QList<double> &ms)
{
    std::printf("%-60s median %7.3f ms   p95 %7.3f ms   max %7.3f ms   (%lld runs)\n", what, percentile(ms, 0.5),
                percentile(ms, 0.95), percentile(ms, 1.0), static_cast<long long>(ms.size()));
}

// Every field filled: 10 authors, 3 supervisors, 4 sections, a picture.
void fillFull(tt::Session &session, const QDir &folder)
{
    QString description;
    while (description.size() < 480)
        description += QStringLiteral("Строка описания работы, довольно длинная.\n");
    session.control<QLineEdit>("title")->setText(QStringLiteral("Весна & лето: стихи о природе родного края"));
    session.control<QPlainTextEdit>("description")->setPlainText(description);
    session.control<QPlainTextEdit>("manual")->setPlainText(QStringLiteral("Открыть файл.\nЧитать."));
    session.control<QLineEdit>("tech_request")->setText(QStringLiteral("Любой компьютер"));
    session.control<QLineEdit>("public_post_index")->setText(QStringLiteral("190000"));
    session.control<QLineEdit>("public_post_address")->setText(QStringLiteral("Санкт-Петербург, ул. Ленина, 1"));
    session.control<QLineEdit>("public_phone")->setText(QStringLiteral("+7 812 000-00-00"));
    session.control<QLineEdit>("public_email")->setText(QStringLiteral("school@example.ru"));
    session.control<QPlainTextEdit>("Notes")->setPlainText(QStringLiteral("Примечание для оргкомитета."));
    session.setSubjectSlots({2, 11, 18, 22});
    QList<TPersonRecord> authors;
    for (int i = 0; i < 10; ++i)
        authors.append({tt::validFormattedId(100 + i), QStringLiteral("Петров"), QStringLiteral("Пётр"),
                        QStringLiteral("Петрович")});
    QList<TPersonRecord> teachers;
    for (int i = 0; i < 3; ++i)
        teachers.append({tt::validFormattedId(200 + i), QStringLiteral("Сидорова"), QStringLiteral("Анна"),
                         QStringLiteral("Ивановна")});
    session.setParticipants(authors, teachers, 2);
    gui::modal::testing::queueFileName(tt::writeSessionPhoto(folder, 1024, 768));
    session.window().loadPicture();
    session.control<QLineEdit>("WorkImgSign")->setText(QStringLiteral("Наш двор весной"));
}

// Types `changes` characters into the title; returns the window thread's
// time per change. Each change is handed to the writer at once and waited
// for, so that every change makes one draft.
QList<double> timeChanges(tt::Session &session, int changes)
{
    QList<double> ui;
    QWidget *title = session.control("title");
    title->setFocus();
    for (int i = 0; i < changes; ++i) {
        QElapsedTimer clock;
        clock.start();
        tt::typeText(title, QString(QChar(u'а' + i % 32)));
        session.window().writeDraftNow();
        ui.append(clock.nsecsElapsed() / 1e6);
        session.window().draftKeeper().waitUntilIdle();
    }
    return ui;
}

QList<double> writerTimes(tt::Session &session, qsizetype from, bool cpu = false)
{
    QList<double> ms;
    const QList<qint64> ns =
        cpu ? session.window().draftKeeper().writeCpuTimes() : session.window().draftKeeper().writeTimes();
    for (qsizetype i = from; i < ns.size(); ++i)
        ms.append(ns[i] / 1e6);
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    TirladaApplication app(argc, argv);
    QTemporaryDir temp;
    const QDir folder(temp.path());
    folder.mkdir(QStringLiteral("tmp"));
    qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data")).toLocal8Bit());
    platform::testing::setTempFolder(folder.filePath(QStringLiteral("tmp/")));

    // Two copies of one full package, opened in turn.
    const QString packages[2] = {folder.filePath(QStringLiteral("a.kwp")), folder.filePath(QStringLiteral("b.kwp"))};
    {
        tt::Session typing;
        fillFull(typing, folder);
        for (const QString &package : packages) {
            gui::modal::testing::queueFileName(package);
            typing.window().saveToPackage();
            if (gui::modal::testing::lastMessage().icon != gui::modal::Icon::Information)
                qFatal("the package was not saved: %s", qPrintable(gui::modal::testing::lastMessage().text));
        }
    }

    tt::Session session;
    QList<double> open;
    for (int i = 0; i < 60; ++i) {
        QElapsedTimer clock;
        clock.start();
        const bool opened = session.window().openPackage(packages[i % 2]);
        open.append(clock.nsecsElapsed() / 1e6);
        if (!opened || !session.window().snapshot().hasPicture)
            qFatal("the package did not open");
    }
    report("open a full package with a picture, call to filled window", open);

    // Drafts of the opened package: its picture file is written as read.
    const QList<double> uiKept = timeChanges(session, 200);
    const QList<double> writerKept = writerTimes(session, 0);
    report("draft, opened picture: writer thread per draft", writerKept);
    report("draft, opened picture: writer thread per draft, CPU time", writerTimes(session, 0, true));
    report("draft, opened picture: window thread per change", uiKept);

    // A picture loaded anew: encoded once on the writer thread, then reused.
    const qsizetype before = session.window().draftKeeper().writeTimes().size();
    QTest::mouseClick(session.control<QPushButton>("DelImg"), Qt::LeftButton);
    gui::modal::testing::queueFileName(tt::writeSessionPhoto(folder, 800, 600));
    QTest::mouseClick(session.control<QPushButton>("AddImg"), Qt::LeftButton);
    const QList<double> uiNew = timeChanges(session, 200);
    const QList<double> writerNew = writerTimes(session, before);
    report("draft, new picture (encoded once): writer thread per draft", writerNew);
    report("draft, new picture (encoded once): writer thread, CPU time", writerTimes(session, before, true));
    report("draft, new picture: window thread per change", uiNew);

    session.window().discardDraft();
    return 0;
}
