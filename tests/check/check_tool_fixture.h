#pragma once

// The tirlada-check program run as the committee runs it, for the tests of
// the program itself: the runs, a few file helpers, and a folder of two
// sound packages and one broken package.

#include "check_fixtures.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check_test {

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

// Runs the program with no display at all: no X, no Wayland, no Qt platform.
inline Ran runTool(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TIRLADA_CHECK), arguments);
    Ran ran;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return ran;
    ran.status = process.exitCode();
    ran.out = QString::fromUtf8(process.readAllStandardOutput());
    ran.err = QString::fromUtf8(process.readAllStandardError());
    return ran;
}

// Runs the program through bash, for what only a shell gives: arguments of
// bytes that are not UTF-8, and a pipe whose reader goes away. The tool's
// exit status is the last line on stderr.
inline Ran runInBash(const QString &script, const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("bash"),
                  QStringList{QStringLiteral("-c"), script, QStringLiteral(TIRLADA_CHECK)} + arguments);
    Ran ran;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return ran;
    ran.out = QString::fromUtf8(process.readAllStandardOutput());
    ran.err = QString::fromUtf8(process.readAllStandardError());
    QStringList lines = ran.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        ran.status = lines.takeLast().toInt();
    ran.err = lines.join(QLatin1Char('\n'));
    return ran;
}

// Writes a file under a name of bytes that need not be UTF-8.
inline bool writeByName(const QByteArray &path, const QByteArray &bytes)
{
    const int handle = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (handle < 0)
        return false;
    const bool written = ::write(handle, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(handle) == 0 && written;
}

inline bool makeFifo(const QString &path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }

inline QStringList lines(const QString &text) { return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

inline QString fromWindows1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

} // namespace check_test

class CheckToolFixture : public QObject {
protected:
    QTemporaryDir dir;
    QString sound;  // a folder of two sound packages
    QString broken; // one broken package

    // Writes the two sound packages and the broken one.
    void makePackages()
    {
        using namespace check_test;
        sound = dir.filePath(QStringLiteral("sound"));
        PassportSnapshot first = soundPassport(QStringLiteral("Весна <b>жирная</b> & \"кавычки\""));
        first.teachers[0].Surname = QStringLiteral("=HYPERLINK(\"http://example.org\")");
        first.authors[0].Name = QStringLiteral("Пётр, младший");
        QVERIFY(writeBytes(sound + QStringLiteral("/Весна #1.kwp"), packageBytes(first)));
        PassportSnapshot second = soundPassport(QStringLiteral("Лето"));
        second.hasPicture = false;
        second.picture = QImage();
        second.pictureCaption.clear();
        second.subjectSlots = {6, 0, 0, 0};
        second.authors.removeLast();
        second.teachers.removeLast();
        second.leaderIndex = 0;
        QVERIFY(writeBytes(sound + QStringLiteral("/Лето.kwp"), packageBytes(second)));
        broken = dir.filePath(QStringLiteral("broken.kwp"));
        QVERIFY(writeBytes(broken, QByteArray("not a zip")));
    }
};
