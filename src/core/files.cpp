#include "core/files.h"

#include "core/failure.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>

namespace core {

#endif

// Renames from over to, replacing whatever entry to names. QFile::rename
// refuses an existing target and QSaveFile follows a link at the target, so
// the system's own call is used.
bool renameReplacing(const QString &from, const QString &to, QString *reason)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()), reinterpret_cast<const wchar_t *>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *reason = qt_error_string(int(GetLastError()));
    return false;
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *reason = qt_error_string(errno);
    return false;
#endif
}

namespace {
std::function<std::unique_ptr<QTemporaryFile>(const QString &)> &freshFileFactory()
{
    static std::function<std::unique_ptr<QTemporaryFile>(const QString &)> factory;
    return factory;
}
} // namespace

void writeFileReplacing(const QString &path, const QByteArray &bytes)
{
    ReplacingFile file(path);
    file.write(bytes);
    file.commit();
}

ReplacingFile::ReplacingFile(const QString &path) : fullPath_(QFileInfo(path).absoluteFilePath())
{
    // The fresh name keeps the file's name in front, so that a left-over
    // file still shows what it was.
    const QString templateName = fullPath_ + QStringLiteral(".XXXXXX");
    fresh_ = freshFileFactory() ? freshFileFactory()(templateName) : std::make_unique<QTemporaryFile>(templateName);
    if (!fresh_->open())
        fail(fresh_->errorString());
}

ReplacingFile::~ReplacingFile() = default;

void ReplacingFile::fail(const QString &reason) const
{
    throw Failure(FailureCode::CannotCreateFile, {.file = fullPath_, .reason = reason});
}

void ReplacingFile::write(const QByteArray &bytes)
{
    if (fresh_->write(bytes) != bytes.size())
        fail(fresh_->errorString());
}

void ReplacingFile::commit()
{
    // As a file created the ordinary way: readable by everyone, written by
    // its owner.
    fresh_->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                           | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // Closing writes what is still buffered; a disk that fills up shows
    // here.
    fresh_->close();
    if (fresh_->error() != QFileDevice::NoError)
        fail(fresh_->errorString());

    QString error;
    if (!renameReplacing(fresh_->fileName(), fullPath_, &error))
        fail(error);
    // The fresh name is gone; nothing is left to remove.
    fresh_->setAutoRemove(false);
}

namespace testing {
void setFreshFileFactory(std::function<std::unique_ptr<QTemporaryFile>(const QString &templateName)> factory)
{
    freshFileFactory() = std::move(factory);
}
} // namespace testing

} // namespace core
