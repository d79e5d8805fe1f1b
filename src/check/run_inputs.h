#pragma once

// What a run reads, so that nothing it writes goes over it: the packages,
// their folders, the registrations and the list of paths; and the
// registrations' part of the run.

#include "check/registrations.h"
#include "check/report.h"
#include "check/walk.h"
#include "core/result.h"

#include <QList>
#include <QString>
#include <utility>
#include <vector>

namespace check {

struct RunOptions;
enum class Format;

// Every input of a run by its identity (device and inode), with what it is.
class Inputs {
public:
    Inputs(const QList<Entry> &entries, const RunOptions &options);

    // What the path names among the inputs, in the genitive ("проверяемого
    // пакета"); empty when it names none. The path and, when it is a link,
    // the file it leads to both count.
    QString inputName(const QString &path) const;
    // Why an output may not be written at path ("записался бы поверх файла
    // регистрации", "— это папка"); empty when it may.
    QString outputProblem(const QString &path) const;

private:
    enum Kind : quint8 { Package, Folder, RegistrationsFile, PathList, FolderLink };
    void add(const QByteArray &path, Kind kind, bool own = false);
    void add(quint64 device, quint64 inode, Kind kind);
    std::vector<std::pair<std::pair<quint64, quint64>, Kind>> ids_; // sorted
};

// Reads and parses the registrations file. Fails as readWhole or
// Registrations::parse do.
[[nodiscard]] Result<Registrations> readRegistrations(const QString &path);
// The usage error for a registrations file that cannot be used.
QString registrationsFailureText(const Failure &failure, const QString &path);

// The section of the report that lists the registered participants who are
// in no package read.
void reportMissing(Streams &streams, const QList<Registered> &missing, Format format);

} // namespace check
