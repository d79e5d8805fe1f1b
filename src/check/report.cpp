#include "check/report.h"

#include "check/walk.h"

#include <cerrno>

#include <unistd.h>

namespace check {

// "пакет", "пакета" or "пакетов" after the number.
QString packagesWord(qsizetype n)
{
    const qsizetype lastTwo = n % 100;
    const qsizetype last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return QStringLiteral("пакетов");
    if (last == 1)
        return QStringLiteral("пакет");
    if (last >= 2 && last <= 4)
        return QStringLiteral("пакета");
    return QStringLiteral("пакетов");
}

QByteArray jsonString(const QString &text)
{
    QByteArray json = "\"";
    for (const char c : text.toUtf8()) {
        const auto u = uchar(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\r') {
            json += "\\r";
        } else if (c == '\t') {
            json += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            json += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0')).toLatin1();
        } else {
            json += c;
        }
    }
    return json + '"';
}

DescriptorDevice::DescriptorDevice(int handle) : handle_(handle) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

qint64 DescriptorDevice::writeData(const char *data, qint64 size)
{
    if (lastError_ != 0)
        return -1;
    qint64 done = 0;
    while (done < size) {
        const auto n = ::write(handle_, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            lastError_ = n < 0 ? errno : EIO;
            setErrorString(systemReason(lastError_));
            return -1;
        }
        done += n;
    }
    return done;
}

QByteArray jsonLine(const QString &path, bool ok, const QStringList &problems, const QString &note)
{
    QByteArray line = "{\"path\": " + jsonString(path) + ", \"ok\": " + (ok ? "true" : "false") + ", \"problems\": [";
    for (qsizetype i = 0; i < problems.size(); ++i) {
        if (i > 0)
            line += ", ";
        line += jsonString(problems[i]);
    }
    line += "]";
    if (!note.isEmpty())
        line += ", \"note\": " + jsonString(note);
    return line + "}";
}

void Streams::report(const QByteArray &line)
{
    if (!reportOpen_)
        return;
    const QByteArray bytes = line + '\n';
    if (out_.write(bytes) == bytes.size())
        return;
    reportOpen_ = false;
    // A reader that has gone (the end of "| head -1") takes what it
    // wanted; nothing is wrong with the run.
    const auto *device = dynamic_cast<const DescriptorDevice *>(&out_);
    const int error = device ? device->lastError() : 0;
    if (error == EPIPE)
        return;
    reportFailed_ = true;
    message(QStringLiteral("не удалось записать отчёт в стандартный вывод: ")
            + (error != 0 ? systemReason(error) : out_.errorString()));
}

} // namespace check
