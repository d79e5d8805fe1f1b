#pragma once

// Debian's Chromium, headless, for tests that look at written pages in a
// real browser.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <QtGlobal>

namespace tt {

// The browser on PATH, or an empty text.
inline QString chromiumPath() { return QStandardPaths::findExecutable(QStringLiteral("chromium")); }

// Runs headless Chromium on a local page with the given output option and
// gives what it printed. A fresh profile, no network, no sandbox (the tests
// run as root).
inline QByteArray runChromium(const QString &chromium, const QString &output, const QUrl &page, bool *ok)
{
    *ok = false;
    QTemporaryDir profile;
    QProcess process;
    process.setProgram(chromium);
    process.setArguments({
        QStringLiteral("--headless"),
        QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--disable-quic"),
        QStringLiteral("--no-first-run"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--hide-scrollbars"),
        QStringLiteral("--force-device-scale-factor=1"),
        QStringLiteral("--window-size=800,1200"),
        QStringLiteral("--user-data-dir=") + profile.path(),
        output,
        page.toString(),
    });
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    if (!process.waitForStarted(30000))
        return QByteArray();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        qWarning("chromium did not finish in time");
        return QByteArray();
    }
    *ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!*ok)
        qWarning("chromium failed: %s", process.readAllStandardError().right(2000).constData());
    return process.readAllStandardOutput();
}

// How many pixels of a screenshot are plainly red: the test pictures are
// red, so this measures how much of a picture the browser shows.
inline int redPixelCount(const QImage &image)
{
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 70 && c.blue() < 70)
                ++red;
        }
    return red;
}

} // namespace tt
