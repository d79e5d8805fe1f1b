#pragma once

// Where the committee's tool writes: the report of one line per package on
// the standard output, messages on the standard error.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace check {

// The report device for a file descriptor: each write goes to the system at
// once and whole, so that an interrupted run ends on a whole line; a write
// that fails is remembered with its errno (EPIPE: the reader has gone).
class DescriptorDevice : public QIODevice {
public:
    explicit DescriptorDevice(int handle);
    bool isSequential() const override { return true; }
    int lastError() const { return lastError_; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    int handle_;
    int lastError_ = 0;
};

// One package as the JSON Lines report has it, without the line end.
QByteArray jsonLine(const QString &path, bool ok, const QStringList &problems, const QString &note = QString());
// A text as a JSON string, quotes included.
QByteArray jsonString(const QString &text);

// "пакет", "пакета" or "пакетов" after the number.
QString packagesWord(qsizetype n);

// Where the report and the messages go. A report that cannot be written is
// given up, and the run goes on to write its other outputs.
class Streams {
public:
    Streams(QIODevice &out, QIODevice &err) : out_(out), err_(err) {}

    // One line of the report; a report that cannot be written is given up,
    // and the run goes on to write its other outputs.
    void report(const QByteArray &line);

    void message(const QString &text) { line(QStringLiteral("tirlada-check: ") + text); }
    void line(const QString &text) { err_.write((text + QLatin1Char('\n')).toUtf8()); }

    bool reportFailed() const { return reportFailed_; }

private:
    QIODevice &out_;
    QIODevice &err_;
    bool reportOpen_ = true;
    bool reportFailed_ = false;
};

} // namespace check
