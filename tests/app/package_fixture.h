#pragma once

// The fixture of the package tests: the real window in a session of its own,
// with a temporary folder and a clock of the test's, and helpers that fill,
// save and drop packages.

#include "app/image_box.h"
#include "core/platform.h"
#include "full_passport.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/package_reader.h"
#include "scripted_session.h"
#include "sections/sections_dialog.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QImageWriter>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QString kPlainTitle = QStringLiteral("Фестиваль \"Ковирта\" - Тирлада (2008/2009)");
const QString kQuestion = QStringLiteral("Сохранить изменения в паспорте работы?");

inline QByteArray entryContent(const QString &package, const QString &name)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), package, name});
    unzip.waitForFinished(60000);
    return unzip.readAllStandardOutput();
}

inline QByteArray withoutTimeStamp(QByteArray document)
{
    static const QRegularExpression stamp(QStringLiteral("<datetime>[0-9]*</datetime>"));
    return QString::fromUtf8(document).replace(stamp, QStringLiteral("<datetime/>")).toUtf8();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A 500-character description whose last character is astral, with CR LF.
inline QString descriptionOf500()
{
    QString text = QStringLiteral("Строка\r\nдругая <b>&amp;</b> \"кавычки\" 'апостроф' ");
    while (text.size() < 498)
        text += QChar(u'ж');
    text += QString::fromUcs4(U"\U0001F600");
    return text;
}

} // namespace

class PackageFixture : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<tt::Session> session;
    qint64 clock = 1233446400;

    QString path(const QString &name) const { return QDir(temp->path()).filePath(name); }

    void newSession()
    {
        session.reset();
        session = std::make_unique<tt::Session>();
    }

    bool saveAs(const QString &package)
    {
        gui::modal::testing::queueFileName(package);
        QTest::mouseClick(session->control<QPushButton>("SaveButton"), Qt::LeftButton);
        const bool saved = gui::modal::testing::lastMessage().caption == QStringLiteral("Паспорт сохранен");
        if (!saved)
            qWarning("save: %s", qPrintable(gui::modal::testing::lastMessage().text));
        return saved;
    }

    QString writePhoto(int width, int height) { return tt::writeSessionPhoto(QDir(temp->path()), width, height); }

    // Every field filled, with the tricky texts.
    void fillTricky(bool withPicture)
    {
        session->control<QLineEdit>("title")->setText(QStringLiteral("<title> & \"quotes\" 'ё' ")
                                                      + QString::fromUcs4(U"\U0001D11E"));
        session->control<QPlainTextEdit>("description")->setPlainText(core::passportTextToMemo(descriptionOf500()));
        session->control<QLineEdit>("tech_request")->setText(QStringLiteral("</tech_request>"));
        session->control<QPlainTextEdit>("manual")->setPlainText(QStringLiteral("раз\n\nдва &#38; три\n"));
        session->control<QLineEdit>("public_post_index")->setText(QStringLiteral("620000"));
        session->control<QLineEdit>("public_post_address")->setText(QStringLiteral("ул. \"Мира\", 1"));
        session->control<QLineEdit>("public_phone")->setText(QStringLiteral("+7 (343) 000"));
        session->control<QLineEdit>("public_email")->setText(QStringLiteral("a&b@example.ru"));
        session->control<QPlainTextEdit>("Notes")->setPlainText(QStringLiteral("Заметка <для> оргкомитета"));
        session->setSubjectSlots({3, 17, 21, 22});
        QList<TPersonRecord> authors;
        for (int i = 0; i < 10; ++i)
            authors.append({tt::validFormattedId(100 + i), QStringLiteral("Фамилия%1").arg(i),
                            QStringLiteral("Имя \"%1\"").arg(i),
                            QStringLiteral("Отчество ") + QString(QChar(u'а' + i))});
        QList<TPersonRecord> teachers;
        for (int i = 0; i < 3; ++i)
            teachers.append({tt::validFormattedId(200 + i), QStringLiteral("Учитель%1").arg(i), QStringLiteral("И<мя>"),
                             QStringLiteral("О&тчество")});
        session->setParticipants(authors, teachers, 2);
        if (withPicture) {
            gui::modal::testing::queueFileName(writePhoto(640, 480));
            QTest::mouseClick(session->control<QPushButton>("AddImg"), Qt::LeftButton);
            session->waitForPicture();
            session->control<QLineEdit>("WorkImgSign")->setText(QStringLiteral("Подпись & <знак>"));
        }
    }

    void fillMinimal()
    {
        session->control<QLineEdit>("title")->setText(QStringLiteral("Работа"));
        session->control<QPlainTextEdit>("description")->setPlainText(QStringLiteral("Описание"));
        session->setSubjectSlots({5, 0, 0, 0});
        session->setParticipants(
            {{tt::validFormattedId(1), QStringLiteral("А"), QStringLiteral("Б"), QStringLiteral("В")}},
            {{tt::validFormattedId(2), QStringLiteral("Г"), QStringLiteral("Д"), QStringLiteral("Е")}});
    }

    void dropOnto(QWidget *target, const QString &file)
    {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        mime.setText(file);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
        QCoreApplication::processEvents();
    }

    void setUp()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(temp->isValid());
        QDir(temp->path()).mkpath(QStringLiteral("tmp"));
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
        platform::testing::setTempFolder(path(QStringLiteral("tmp/")));
        platform::testing::setClock([this] { return clock; });
        newSession();
    }
    void tearDown()
    {
        session.reset();
        platform::testing::setClock(nullptr);
        platform::testing::setTempFolder(QString());
        temp.reset();
    }
};
