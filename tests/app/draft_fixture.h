#pragma once

// The window with data and temporary folders of its own, for the tests of
// drafts: every test starts with an empty drafts folder, and can plant the
// drafts that a program which crashed would have left.

#include "core/platform.h"
#include "drafts/draft.h"
#include "full_passport.h"
#include "scripted_session.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline void setTime(const QString &path, const QDateTime &time)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(time, QFileDevice::FileModificationTime))
        qFatal("cannot set the time of %s", qPrintable(path));
}

class DraftFixture : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<tt::Session> session;

    QString path(const QString &name) const { return QDir(temp->path()).filePath(name); }
    PassportWindow &window() { return session->window(); }

    void typeTitle(const QString &title) { tt::typeInto(*session, "title", title); }

    // The window's empty passport with a title and a note.
    PassportSnapshot passportTitled(const QString &title)
    {
        PassportSnapshot passport = window().snapshot();
        passport.title = title;
        passport.notes = QStringLiteral("Заметка");
        return passport;
    }

    // A draft as a program that crashed would have left it: no lock. Its
    // last change at the time given, else now.
    QString plantOrphan(const QString &name, const QByteArray &bytes, const QDateTime &changed = {})
    {
        const QString file = QDir(drafts::draftFolder()).filePath(name);
        writeBytes(file, bytes);
        if (changed.isValid())
            setTime(file, changed);
        return file;
    }
    QString plantOrphan(const QString &name, const PassportSnapshot &passport, const QDateTime &changed = {})
    {
        return plantOrphan(name, drafts::draftPackage(passport, QByteArray(), 1233446400).value(), changed);
    }

    // The program started anew on the same folders.
    void restartSession()
    {
        session.reset();
        session = std::make_unique<tt::Session>();
    }

    void setUp()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(temp->isValid());
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
        QDir(temp->path()).mkdir(QStringLiteral("tmp"));
        platform::testing::setTempFolder(path(QStringLiteral("tmp/")));
        session = std::make_unique<tt::Session>();
    }
    void tearDown()
    {
        session.reset();
        platform::testing::setTempFolder(QString());
        temp.reset();
    }
};
