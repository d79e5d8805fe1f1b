// Every text a person can see is whole: in every state the window and its
// dialogs can show, each visible label, button, check box and tab is at
// least as large as its text needs (its size hint; for a wrapping label,
// its height for its width).

#include "draft_fixture.h"
#include "full_passport.h"
#include "scripted_session.h"
#include "spelling/checker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// The controls under root whose text is cut, each with what it shows and
// the room it has.
QStringList cutTexts(QWidget *root)
{
    QStringList cut;
    auto describe = [](QWidget *w, const QString &text, QSize has, QSize needs) {
        return QStringLiteral("%1 \"%2\": %3x%4, needs %5x%6")
            .arg(w->objectName(), text.left(40))
            .arg(has.width())
            .arg(has.height())
            .arg(needs.width())
            .arg(needs.height());
    };
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(root) || !w->window()->isVisible())
            continue;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            if (label->text().isEmpty())
                continue;
            if (label->wordWrap()) {
                const int needs = label->heightForWidth(label->width());
                if (label->height() < needs)
                    cut << describe(label, label->text(), label->size(), QSize(label->width(), needs));
            } else {
                const QSize needs = label->sizeHint();
                if (label->width() < needs.width() || label->height() < needs.height())
                    cut << describe(label, label->text(), label->size(), needs);
            }
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            if (button->text().isEmpty())
                continue;
            // Tab bars' scroll buttons and the like carry no text.
            const QSize needs = button->sizeHint();
            if (button->width() < needs.width() || button->height() < needs.height())
                cut << describe(button, button->text(), button->size(), needs);
        } else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const QString text = tabs->tabText(i);
                const int needs = tabs->fontMetrics().size(Qt::TextShowMnemonic, text).width();
                if (tabs->tabRect(i).width() < needs || tabs->tabRect(i).right() > tabs->width())
                    cut << describe(tabs, text, tabs->tabRect(i).size(), QSize(needs, 0));
            }
        }
    }
    return cut;
}

// Limits the size of every file the process writes, so that the draft finds
// the disk full.
struct FullDisk {
    rlimit before{};
    FullDisk()
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit limit = before;
        limit.rlim_cur = 512;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk() { setrlimit(RLIMIT_FSIZE, &before); }
};

} // namespace

class TestWholeTexts : public DraftFixture {
    Q_OBJECT

    // Checks the window on every sheet.
    void checkWindow(const QString &state)
    {
        auto *tabs = session->control<QTabWidget>("SectionsTabs");
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QApplication::processEvents();
            saveShot(&window(), state + QStringLiteral("-sheet%1").arg(i + 1));
            const QStringList cut = cutTexts(&window());
            QVERIFY2(cut.isEmpty(), qPrintable(state + QStringLiteral(", sheet %1: ").arg(i + 1) + cut.join("; ")));
        }
        tabs->setCurrentIndex(0);
    }
    void checkDialog(QWidget *dialog, const QString &state)
    {
        QApplication::processEvents();
        saveShot(dialog, state);
        const QStringList cut = cutTexts(dialog);
        QVERIFY2(cut.isEmpty(), qPrintable(state + QStringLiteral(": ") + cut.join("; ")));
    }
    // With TIRLADA_TEST_SHOTS set, each state is also saved as a picture
    // there, to be looked at.
    static void saveShot(QWidget *widget, const QString &name)
    {
        const QString folder = qEnvironmentVariable("TIRLADA_TEST_SHOTS");
        if (!folder.isEmpty())
            widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
    }

    void makeDraftsFail(const QString &how)
    {
        if (how == QLatin1String("folder is a file")) {
            session.reset();
            const QString blocked = path(QStringLiteral("blocked"));
            writeBytes(blocked, "a file where the data folder should be");
            qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
            session = std::make_unique<tt::Session>();
            typeTitle(QStringLiteral("Весна"));
            window().flushDraft();
        } else if (how == QLatin1String("disk full")) {
            FullDisk full;
            typeTitle(QString(2000, QLatin1Char('x')));
            window().flushDraft();
        }
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void everyTextIsWhole_data()
    {
        QTest::addColumn<QString>("state");
        for (const char *state :
             {"empty", "full", "draft warning: data folder is a file", "draft warning: disk full", "dictionary warning",
              "description over 500", "sections dialog", "participant number dialog", "draft list dialog",
              "restore question", "unsaved question"})
            QTest::newRow(state) << QString::fromLatin1(state);
    }
    void everyTextIsWhole()
    {
        QFETCH(QString, state);
        if (state == QLatin1String("empty")) {
            checkWindow(state);
        } else if (state == QLatin1String("full")) {
            const QString photo = tt::writeSessionPhoto(QDir(temp->path()), 800, 600);
            tt::typeFullPassport(*session, photo);
            checkWindow(state);
        } else if (state.startsWith(QLatin1String("draft warning"))) {
            makeDraftsFail(state.endsWith(QLatin1String("file")) ? QStringLiteral("folder is a file")
                                                                 : QStringLiteral("disk full"));
            QVERIFY(session->control("DraftWarning")->isVisible());
            checkWindow(state.section(QLatin1Char(':'), 0, 0).replace(u' ', u'-') + state.right(4));
        } else if (state == QLatin1String("dictionary warning")) {
            // The user's dictionary file where its folder cannot be made.
            session.reset();
            const QString blocked = path(QStringLiteral("blocked"));
            writeBytes(blocked, "a file where the data folder should be");
            qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
            spelling::testing::restartSharedChecker();
            session = std::make_unique<tt::Session>();
            spelling::sharedChecker()->waitUntilLoaded();
            QVERIFY(!spelling::sharedChecker()->addToDictionary(QStringLiteral("Тирлада")));
            QVERIFY(session->control("DraftWarning")->isVisible());
            checkWindow(QStringLiteral("dictionary-warning"));
            spelling::testing::restartSharedChecker();
        } else if (state == QLatin1String("description over 500")) {
            tt::typeInto(*session, "description", QString(520, QLatin1Char('a')));
            checkWindow(QStringLiteral("description-over-500"));
        } else if (state == QLatin1String("sections dialog")) {
            gui::modal::testing::queueDialog([&](QDialog *dialog) { checkDialog(dialog, QStringLiteral("sections")); });
            QTest::mouseClick(session->control<QPushButton>("Button3"), Qt::LeftButton);
            QCOMPARE(gui::modal::testing::execCount(), 1);
        } else if (state == QLatin1String("participant number dialog")) {
            gui::modal::testing::queueDialog([&](QDialog *dialog) { checkDialog(dialog, QStringLiteral("id")); });
            QTest::mouseClick(session->control<QPushButton>("AuthorAdd"), Qt::LeftButton);
            QCOMPARE(gui::modal::testing::execCount(), 1);
        } else if (state == QLatin1String("draft list dialog")) {
            const QDateTime now = QDateTime::currentDateTime();
            plantOrphan(QStringLiteral("draft-1000001.kwp"),
                        passportTitled(QStringLiteral("Сборник стихотворений о весне и лете")), now.addSecs(-60));
            plantOrphan(QStringLiteral("draft-1000002.kwp"), QByteArray("PK\3\4 broken"), now.addSecs(-600));
            gui::modal::testing::queueDialog([&](QDialog *dialog) { checkDialog(dialog, QStringLiteral("drafts")); });
            window().offerDraftRecovery();
            QCOMPARE(gui::modal::testing::execCount(), 1);
        } else {
            // The message boxes, as they are built.
            gui::modal::testing::uninstall();
            const QString text = state == QLatin1String("restore question")
                                     ? QStringLiteral("Восстановить несохраненный паспорт работы?")
                                     : QStringLiteral("Сохранить изменения в паспорте работы?");
            bool checked = false;
            QTimer::singleShot(0, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box);
                checkDialog(box, state.replace(u' ', u'-'));
                checked = true;
                box->done(QMessageBox::Cancel);
            });
            gui::modal::message(&window(), gui::modal::Icon::Question, QStringLiteral("Тирлада"), text,
                                state.startsWith(QLatin1String("restore")) ? gui::modal::Buttons::YesNo
                                                                           : gui::modal::Buttons::YesNoCancel);
            gui::modal::testing::install();
            QVERIFY(checked);
        }
    }
};

QTEST_MAIN(TestWholeTexts)
#include "test_whole_texts.moc"
