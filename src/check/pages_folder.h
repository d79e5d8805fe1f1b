#pragma once

// The folder the pages are written into: locked for the run, so that two
// runs never mix their pages, and with the list of the files that the tool
// wrote there, so that only those are ever replaced or removed.

#include "core/result.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace check {

// The list of the files that the tool wrote into a pages folder.
inline const QString kManifestName = QStringLiteral(".tirlada-check-pages");

class PagesFolder {
public:
    // Makes the folder when missing and locks it for as long as the object
    // lives. Fails with CannotCreateFolder (file, number: errno; name
    // "dangling" for a link to nothing) or CannotOpenFile (file: the folder,
    // name "locked": another run holds it).
    [[nodiscard]] static Result<PagesFolder> open(const QString &folder);

    PagesFolder(PagesFolder &&other) noexcept;
    PagesFolder &operator=(PagesFolder &&other) = delete;
    PagesFolder(const PagesFolder &) = delete;
    PagesFolder &operator=(const PagesFolder &) = delete;
    ~PagesFolder();

    QString path() const { return path_; }
    QString filePath(const QString &name) const { return path_ + QLatin1Char('/') + name; }

    // The list of an earlier run: names holds what this run may replace or
    // remove, the "*.html" and "*.jpg" files directly in the folder for which
    // mayRemove(path) holds (neither an input nor an output of this run);
    // ignored holds every other line, for a warning.
    struct Manifest {
        QStringList names; // sorted, each once
        QStringList ignored;
    };
    Manifest readManifest(const std::function<bool(const QString &path)> &mayRemove) const;
    // The names of everything in the folder, hidden entries included,
    // sorted; read by the system's own listing, without looking into each.
    QStringList entryNames() const;

    // Writes the list: lines holds one name a line.
    [[nodiscard]] Result<void> writeManifest(const QByteArray &lines) const;

private:
    PagesFolder() = default;
    QString path_;
    int handle_ = -1;
};

} // namespace check
