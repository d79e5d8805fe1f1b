// The save dialog takes a typed name exactly as typed, quotes included.

#include "gui/modal.h"
#include "when_shown.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using tt::whenShown;

void typeAndAccept(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

class TestSaveDialog : public QObject {
    Q_OBJECT

    gui::modal::SaveFileRequest request(const QString &folder) const
    {
        gui::modal::SaveFileRequest r;
        r.caption = QStringLiteral("Сохранение");
        r.directory = folder;
        r.nameFilters = {QStringLiteral("Паспорт (*.kwp)")};
        r.defaultSuffix = QStringLiteral("kwp");
        r.confirmOverwrite = true;
        return r;
    }

private slots:
    void initTestCase() { gui::modal::testing::uninstall(); }

    void typedNameIsKept_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("quote and apostrophe") << "a\"b'c.kwp"
                                              << "a\"b'c.kwp";
        QTest::newRow("quote, no extension") << "a\"b"
                                             << "a\"b.kwp";
        QTest::newRow("quotes around") << "\"x\".kwp"
                                       << "\"x\".kwp";
        QTest::newRow("plain name") << "plain"
                                    << "plain.kwp";
    }
    void typedNameIsKept()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        whenShown<QFileDialog>([typed](QFileDialog *dialog) { typeAndAccept(dialog, typed); });
        const QString chosen = gui::modal::saveFile(nullptr, request(folder.path()));
        QCOMPARE(chosen, QDir(folder.path()).filePath(saved));
    }

    // A typed name that exists is replaced only after the question.
    void existingTypedNameAsks_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::newRow("Да") << true;
        QTest::newRow("Нет") << false;
    }
    void existingTypedNameAsks()
    {
        QFETCH(bool, replace);
        QTemporaryDir folder;
        const QString existing = QDir(folder.path()).filePath(QStringLiteral("a\"b'c.kwp"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QString question;
        whenShown<QFileDialog>([&question, replace](QFileDialog *dialog) {
            whenShown<QMessageBox>([&question, replace, dialog](QMessageBox *box) {
                question = box->text();
                box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                if (!replace)
                    QTimer::singleShot(50, dialog, &QDialog::reject);
            });
            typeAndAccept(dialog, QStringLiteral("a\"b'c.kwp"));
        });
        const QString chosen = gui::modal::saveFile(nullptr, request(folder.path()));
        QVERIFY2(question.contains(QStringLiteral("a\"b'c.kwp")), qPrintable(question));
        QCOMPARE(chosen, replace ? existing : QString());
    }
};

QTEST_MAIN(TestSaveDialog)
#include "test_save_dialog.moc"
