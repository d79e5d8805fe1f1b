#include "preview/replacing_file.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#endif

namespace {

// The fresh file's name pattern: the fixed name with a random part before
// its extension, so that a left-over file still shows what it was.
QString freshTemplate(const QString &folder, const QString &name)
{
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    return folder + info.completeBaseName() + QStringLiteral("-XXXXXX")
        + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

// Renames from over to, replacing whatever entry to names. QFile::rename
// refuses an existing target and QSaveFile follows a link at the target, so
// the system's own call is used.
bool renameOver(const QString &from, const QString &to, QString *error)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()),
                    reinterpret_cast<const wchar_t *>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *error = qt_error_string(int(GetLastError()));
    return false;
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = qt_error_string(errno);
    return false;
#endif
}

} // namespace

ReplacingFile::ReplacingFile(const QString &folder, const QString &name)
    : path_(folder + name), fresh_(freshTemplate(folder, name))
{
}

bool ReplacingFile::create()
{
    if (fresh_.open())
        return true;
    error_ = fresh_.errorString();
    return false;
}

QString ReplacingFile::handOver()
{
    fresh_.close();
    return fresh_.fileName();
}

bool ReplacingFile::write(const QByteArray &bytes)
{
    if (fresh_.write(bytes) == bytes.size() && fresh_.flush())
        return true;
    error_ = fresh_.errorString();
    return false;
}

bool ReplacingFile::commit()
{
    fresh_.close();
    if (!renameOver(fresh_.fileName(), path_, &error_))
        return false;
    // The fresh name is gone; nothing is left to remove.
    fresh_.setAutoRemove(false);
    return true;
}
