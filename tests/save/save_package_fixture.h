#pragma once

// The fixture of the save tests: a window with a complete passport, the
// system's temporary folder and the user's folder in temporary folders, and
// helpers that read packages back with the real archiver.

#include "fixtures.h"
#include "picture/jpeg_codec.h"
#include "save/data_document.h"
#include "save/package.h"
#include "tirlada_test.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// The texts the save shows, as the user reads them.
const QString kFolderErrorText = QStringLiteral("Ошибка сохранения паспорта.\nПаспорт работы не сохранен.");
const QString kArchiveErrorText = QStringLiteral("Ошибка записи файла на диск.\nПаспорт работы не сохранен.");

using tt::person;

constexpr qint64 kTime = 1233446400;
const QString kFolderName = QStringLiteral("Passport_1233446400");

struct Entry {
    QString name;
    qint64 size = -1;
    qint64 packed = -1;
    QString method;
};

inline QByteArray run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        qFatal("%s did not finish", qPrintable(program));
    if (exitCode)
        *exitCode = process.exitCode();
    return process.readAllStandardOutput();
}

// The package's entries as unzip lists them.
inline QList<Entry> entries(const QString &package)
{
    int code = -1;
    const QString listing = QString::fromUtf8(run("unzip", {"-v", package}, &code));
    QList<Entry> result;
    if (code != 0)
        return result;
    static const QRegularExpression line(R"(^\s*(\d+)\s+(\S+)\s+(\d+)\s+\S+%\s+\S+\s+\S+\s+[0-9a-f]{8}\s+(.+)$)");
    for (const QString &text : listing.split('\n')) {
        const auto match = line.match(text);
        if (match.hasMatch())
            result.append({match.captured(4).trimmed(), match.captured(1).toLongLong(), match.captured(3).toLongLong(),
                           match.captured(2)});
    }
    return result;
}

inline QStringList entryNames(const QString &package)
{
    QStringList names;
    for (const Entry &e : entries(package))
        names.append(e.name);
    names.sort();
    return names;
}

inline QByteArray entryContent(const QString &package, const QString &name)
{
    return run("unzip", {"-p", package, name});
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A small program standing in for the archiver.
inline QString writeScript(const QString &path, const QByteArray &body)
{
    writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class SavePackageFixture : public QObject {
protected:
    std::unique_ptr<tt::Session> session;
    std::unique_ptr<QTemporaryDir> temp; // the system's temporary folder, as the save sees it
    std::unique_ptr<QTemporaryDir> out;  // where the user saves packages

    QString tempPath(const QString &name = QString()) const { return QDir(temp->path()).filePath(name); }
    QString outPath(const QString &name) const { return QDir(out->path()).filePath(name); }

    QStringList workingFolders() const
    {
        return QDir(temp->path()).entryList({"Passport_*"}, QDir::AllEntries | QDir::System | QDir::Hidden);
    }
    QStringList outEntries() const
    {
        QStringList names =
            QDir(out->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }

    void fillComplete()
    {
        session->control<QLineEdit>("title")->setText(QStringLiteral(" Весна & лето"));
        session->control<QPlainTextEdit>("description")->setPlainText(QStringLiteral("Стихи\nо весне"));
        session->control<QLineEdit>("public_email")->setText(QStringLiteral("school@example.ru"));
        session->setSubjectSlots({7, 22, 0, 0});
        session->setParticipants({person("101-202-303", "Петров", "Пётр", "Петрович")},
                                 {person("111-222-333", "Сидорова", "Анна", "Ивановна"),
                                  person("444-555-666", "Кузнецов", "Иван", "Павлович")},
                                 1);
    }

    // Runs one save with the given answer in the save dialog.
    void save(const QString &packagePath)
    {
        gui::modal::testing::queueFileName(packagePath);
        session->window().saveToPackage();
    }

    void expectSaved(const QString &packagePath)
    {
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message box = gui::modal::testing::lastMessage();
        QCOMPARE(box.icon, gui::modal::Icon::Information);
        QCOMPARE(box.caption, QStringLiteral("Паспорт сохранен"));
        QCOMPARE(box.text, QStringLiteral("Тирлада успешно сохранен как: ") + packagePath + ".");
    }

    void expectWriteError(const QString &text)
    {
        QCOMPARE(gui::modal::testing::messages().size(), 1);
        const gui::modal::Message box = gui::modal::testing::lastMessage();
        QCOMPARE(box.icon, gui::modal::Icon::Error);
        QCOMPARE(box.buttons, gui::modal::Buttons::Ok);
        QCOMPARE(box.caption, QStringLiteral("Ошибка записи"));
        QCOMPARE(box.text, text);
    }

    // The working folder that a failed archiving leaves: the data document,
    // private to the user.
    void expectKeptFolder(const QString &name = kFolderName, const QStringList &files = {"data.xml"})
    {
        QVERIFY(workingFolders().contains(name));
        const QString folder = tempPath(name);
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), files);
        QCOMPARE(readFile(folder + "/data.xml"), save::buildDataDocument(session->window().snapshot(), kTime));
        QCOMPARE(QFile::permissions(folder) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void expectStoredPackage(const QString &packagePath, const QStringList &names)
    {
        QCOMPARE(entryNames(packagePath), names);
        for (const Entry &e : entries(packagePath)) {
            QCOMPARE(e.method, QStringLiteral("Stored"));
            QCOMPARE(e.packed, e.size);
        }
        QCOMPARE(entryContent(packagePath, "data.xml"), save::buildDataDocument(session->window().snapshot(), kTime));
    }

    // An earlier package with a picture, made by the archiver itself.
    void makeOldPackage(const QString &packagePath)
    {
        QTemporaryDir old;
        writeFile(old.filePath("data.xml"), "<old/>");
        writeFile(old.filePath("image.jpg"), "old picture");
        int code = -1;
        run("7za", {"a", "-tzip", "-y", packagePath, old.path() + "/*"}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(entryNames(packagePath), (QStringList{"data.xml", "image.jpg"}));
    }

    // Loads a generated picture through the picture tab's button. True when
    // the passport then holds a picture: a test that needs one fails, never
    // skips, when loading breaks.
    bool loadPicture()
    {
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(QColor(40, 120, 200));
        const QString source = outPath("source.jpg");
        writeFile(source, picture::encodeJpeg(image));
        gui::modal::testing::queueFileName(source);
        session->window().loadPicture();
        session->waitForPicture();
        gui::modal::testing::reset();
        QFile::remove(source);
        return session->window().model().hasPicture();
    }

    void setUp()
    {
        temp = std::make_unique<QTemporaryDir>();
        out = std::make_unique<QTemporaryDir>();
        platform::testing::setTempFolder(temp->path());
        platform::testing::setClock([] { return kTime; });
        platform::testing::setArchiver(QString());
        save::testing::setArchiverTimeout(0);
        session = std::make_unique<tt::Session>();
        fillComplete();
    }
    void tearDown()
    {
        session.reset();
        platform::testing::setTempFolder(QString());
        platform::testing::setClock(nullptr);
        platform::testing::setArchiver(QString());
        save::testing::setArchiverTimeout(0);
        out.reset();
        temp.reset();
    }
};
