#pragma once

// The published pages: each sound package's page as the preview shows it,
// with its picture beside it, and an index of all works.

#include "core/passport.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace check {

inline const QString kIndexPageName = QStringLiteral("index.html");

// The base names of the pages, one per package path, in the same order: the
// package's file name without ".kwp". Names that would clash, ignoring case
// (two packages of the same name in different folders, or one called
// "index"), get "-2", "-3", ... in input order, so that no page overwrites
// another; so do names in reserved (case folded: the names of files already
// in the folder that are not the tool's own). Control characters become
// "_", and a long name is shortened so that "<name>.html" fits in the 255
// bytes a file name may have.
QStringList pageNames(const QStringList &packagePaths, const QSet<QString> &reserved = {});

// The page of a work, in Windows-1251 like the preview's. pictureFile is the
// name of the picture beside it; empty when the work has no picture.
QByteArray workPage(const PassportSnapshot &passport, const QString &pictureFile);

// The index page comes in three parts so that it can be written while the
// packages are read: the start, one row per work, the end.
QByteArray indexStart();
// packageFile is shown as it is: the package's path below the folder given.
QByteArray indexRow(const QString &pageFile, const PassportSnapshot &passport, const QString &packageFile);
QByteArray indexEnd();

} // namespace check
