#pragma once

#include <QString>
#include <exception>

// A failure that ends the running handler. The message is what the user reads
// in the application's error box.
class Failure : public std::exception {
public:
    explicit Failure(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString &message() const noexcept { return message_; }
    const char *what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};
