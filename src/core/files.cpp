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
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    auto fail = [&](const QString &reason) {
        throw Failure(QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(fullPath), reason));
    };

    // The fresh name keeps the file's name in front, so that a left-over
    // file still shows what it was.
    const QString templateName = fullPath + QStringLiteral(".XXXXXX");
    const std::unique_ptr<QTemporaryFile> made =
        freshFileFactory() ? freshFileFactory()(templateName) : std::make_unique<QTemporaryFile>(templateName);
    QTemporaryFile &fresh = *made;
    if (!fresh.open())
        fail(fresh.errorString());
    if (fresh.write(bytes) != bytes.size())
        fail(fresh.errorString());
    // As a file created the ordinary way: readable by everyone, written by
    // its owner.
    fresh.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                         | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // Closing writes what is still buffered; a disk that fills up shows
    // here.
    fresh.close();
    if (fresh.error() != QFileDevice::NoError)
        fail(fresh.errorString());

    QString error;
    if (!renameReplacing(fresh.fileName(), fullPath, &error))
        fail(error);
    // The fresh name is gone; nothing is left to remove.
    fresh.setAutoRemove(false);
}

namespace core::testing {
void setFreshFileFactory(std::function<std::unique_ptr<QTemporaryFile>(const QString &templateName)> factory)
{
    freshFileFactory() = std::move(factory);
}
} // namespace core::testing
