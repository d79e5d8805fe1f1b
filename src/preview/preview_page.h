#pragma once

// The preview page: the public part of the passport as an HTML page, built
// from a snapshot of the window. Everything here is a plain function.

#include "core/passport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace preview {

// The names the preview uses in the temporary folder.
inline const QString kPreviewPageName = QStringLiteral("prewiev.html");
inline const QString kPreviewPictureName = QStringLiteral("img.jpg");

// Every CR LF pair becomes "<br />"; a CR or an LF standing alone stays.
QString lineBreaksToHtml(const QString &text);

// A text from the window as the page shows it: "&", "<", ">" and "\"" turned
// into entity references, then every CR LF into "<br />".
QString previewText(const QString &text);

// A text of a one-line field as the page shows it: escaped like previewText,
// then every line break it holds, of whichever kind (CR LF, a lone CR or LF,
// a line or paragraph separator), becomes "<br />".
QString previewLineText(const QString &text);

// The page, one entry per line and without line ends. pictureWritten says
// whether the picture file was written beside the page: only then does the
// page show the picture and its caption. pictureFile is that file's name in
// the same folder; any name is written as a safe relative link.
QStringList previewPageLines(const PassportSnapshot &passport, bool pictureWritten,
                             const QString &pictureFile = kPreviewPictureName);

// The bytes of the page file: each line followed by CR LF, in Windows-1251
// without a byte order mark. A character that Windows-1251 cannot hold is
// written as a decimal character reference, so nothing typed is lost.
QByteArray encodePreviewPage(const QStringList &lines);

} // namespace preview
