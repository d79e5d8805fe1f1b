// The message boxes and the picture dialog as a person meets them, not
// scripted: Escape and the close box decide nothing, and the picture dialog
// shows its columns whole and keeps the size it is given.

#include "gui/modal.h"
#include "when_shown.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

using tt::whenShown;

} // namespace

class TestRealDialogs : public QObject {
    Q_OBJECT
private slots:
    void closingAQuestionDecidesNothing_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");
        const int yesNo = int(gui::modal::Buttons::YesNo), yesNoCancel = int(gui::modal::Buttons::YesNoCancel);
        QTest::newRow("Да/Нет, Escape") << yesNo << "Escape" << int(gui::modal::Answer::Cancel);
        QTest::newRow("Да/Нет, close box") << yesNo << "close" << int(gui::modal::Answer::Cancel);
        QTest::newRow("Да/Нет, Нет") << yesNo << "No" << int(gui::modal::Answer::No);
        QTest::newRow("Да/Нет, Да") << yesNo << "Yes" << int(gui::modal::Answer::Yes);
        QTest::newRow("Да/Нет/Отмена, Escape") << yesNoCancel << "Escape" << int(gui::modal::Answer::Cancel);
        QTest::newRow("Да/Нет/Отмена, close box") << yesNoCancel << "close" << int(gui::modal::Answer::Cancel);
    }
    void closingAQuestionDecidesNothing()
    {
        QFETCH(int, buttons);
        QFETCH(QString, how);
        QFETCH(int, answer);
        int visibleButtons = 0;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            for (QAbstractButton *button : box->buttons())
                visibleButtons += button->isVisible() ? 1 : 0;
            if (how == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else if (how == QLatin1String("close"))
                box->close();
            else
                box->button(how == QLatin1String("No") ? QMessageBox::No : QMessageBox::Yes)->click();
        });
        const gui::modal::Answer given =
            gui::modal::message(nullptr, gui::modal::Icon::Question, QStringLiteral("Тирлада"),
                                QStringLiteral("Вопрос?"), gui::modal::Buttons(buttons));
        QCOMPARE(int(given), answer);
        // The buttons a person sees are the ones asked for.
        QCOMPARE(visibleButtons, buttons == int(gui::modal::Buttons::YesNo) ? 2 : 3);
    }

    // The picture dialog opens at a size that shows its columns whole, and
    // opens again at the size the user gave it.
    void pictureDialogShowsItsColumns()
    {
        QTemporaryDir folder;
        QImage photo(64, 48, QImage::Format_RGB32);
        photo.fill(Qt::blue);
        QVERIFY(photo.save(folder.filePath(QStringLiteral("весна.jpg")), "JPG"));
        const gui::modal::OpenFileRequest request{QStringLiteral("Картинка"),
                                                  folder.path(),
                                                  QString(),
                                                  {QStringLiteral("Изображения (*.jpg *.jpeg *.png)")},
                                                  true};
        QStringList cut;
        QSize opened;
        whenShown<QFileDialog>([&](QFileDialog *dialog) {
            opened = dialog->size();
            auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
            QVERIFY(tree);
            QTRY_VERIFY(tree->model()->rowCount(tree->rootIndex()) == 1);
            QVERIFY(tree->isVisible());
            const QModelIndex row = tree->model()->index(0, 0, tree->rootIndex());
            for (int column = 0; column < tree->header()->count(); ++column) {
                if (tree->header()->isSectionHidden(column))
                    continue;
                const QModelIndex cell = row.siblingAtColumn(column);
                const QString text = cell.data().toString();
                const int needs = tree->fontMetrics().horizontalAdvance(text) + (column == 0 ? 24 : 8);
                const int header = tree->header()->sectionSizeHint(column);
                if (tree->columnWidth(column) < std::max(needs, header))
                    cut << QStringLiteral("%1 (%2 px, needs %3)").arg(text).arg(tree->columnWidth(column)).arg(needs);
                // The column stands inside the view.
                if (tree->header()->sectionViewportPosition(column) + tree->columnWidth(column)
                    > tree->viewport()->width() + 1)
                    cut << QStringLiteral("%1 beyond the view").arg(text);
            }
            dialog->resize(dialog->width() + 37, dialog->height() + 23);
            dialog->reject();
        });
        QVERIFY(gui::modal::openFile(nullptr, request).isEmpty());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
        QSize reopened;
        whenShown<QFileDialog>([&](QFileDialog *dialog) {
            reopened = dialog->size();
            dialog->reject();
        });
        QVERIFY(gui::modal::openFile(nullptr, request).isEmpty());
        QCOMPARE(reopened, opened + QSize(37, 23));
    }
};

QTEST_MAIN(TestRealDialogs)
#include "test_real_dialogs.moc"
