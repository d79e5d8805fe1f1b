#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>
#include <functional>
#include <memory>

namespace core {

// Writes bytes to a fresh file, created under a random name in the same
// folder, and then renames it over path. Whatever stood at path (an earlier
// file, a link planted in a shared folder, another user's file) is replaced
// as a directory entry and never written through; on failure nothing at
// path has changed and the fresh file is removed.
// Throws Failure("Cannot create file \"<full path>\". <reason>").
void writeFileReplacing(const QString &path, const QByteArray &bytes);

// Renames from over to in one step, replacing whatever entry to names (a
// link is replaced, not followed). On failure reason tells why.
bool renameReplacing(const QString &from, const QString &to, QString *reason);

// The same write-then-rename for a file written in pieces: the pieces go to a
// fresh file beside path, and commit() renames it over path. Without a
// successful commit() nothing at path changes and the fresh file is removed
// when the object goes. Every failure throws the Failure of
// writeFileReplacing.
class ReplacingFile {
public:
    explicit ReplacingFile(const QString &path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    void write(const QByteArray &bytes);
    void commit();

private:
    [[noreturn]] void fail(const QString &reason) const;

    QString fullPath_;
    std::unique_ptr<QTemporaryFile> fresh_;
};

namespace testing {
// Makes the fresh file that writeFileReplacing (and ReplacingFile) writes into and renames, from
// its name template, so that a test can hand in a file whose writes fail.
// nullptr restores the plain QTemporaryFile.
void setFreshFileFactory(std::function<std::unique_ptr<QTemporaryFile>(const QString &templateName)> factory);
} // namespace testing

} // namespace core
