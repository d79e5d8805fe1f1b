#include "check/html_pages.h"

#include "preview/preview_page.h"

#include <QFileInfo>
#include <QSet>
#include <QUrl>

namespace check {
namespace {

// A file name as a relative link: percent-encoded as UTF-8, so that any
// name, Cyrillic or with "#", "?" or quotes, leads to its file.
QString link(const QString &fileName) { return QString::fromLatin1(QUrl::toPercentEncoding(fileName)); }

// The longest name a page may have, in UTF-8 bytes, before ".html".
constexpr qsizetype kMaxStemBytes = 255 - 5;

// The text cut at a character boundary so that with the suffix it takes at
// most kMaxStemBytes bytes of UTF-8.
QString fitted(const QString &base, const QString &suffix)
{
    const qsizetype room = kMaxStemBytes - suffix.toUtf8().size();
    QString text = base;
    while (text.toUtf8().size() > room) {
        text.chop(1);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text + suffix;
}

} // namespace

QStringList pageNames(const QStringList &packagePaths, const QSet<QString> &reserved)
{
    QSet<QString> taken = reserved;
    taken.insert(QStringLiteral("index"));
    QStringList names;
    names.reserve(packagePaths.size());
    for (const QString &path : packagePaths) {
        QString base = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        if (base.endsWith(QLatin1String(".kwp"), Qt::CaseInsensitive))
            base.chop(4);
        for (QChar &c : base)
            if (c.unicode() < 32 || c.unicode() == 127)
                c = QLatin1Char('_');
        if (base.isEmpty())
            base = QStringLiteral("package");
        QString name = fitted(base, QString());
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
            name = fitted(base, QLatin1Char('-') + QString::number(n));
        taken.insert(name.toCaseFolded());
        names.append(name);
    }
    return names;
}

QByteArray workPage(const PassportSnapshot &passport, const QString &pictureFile)
{
    return preview::encodePreviewPage(preview::previewPageLines(passport, !pictureFile.isEmpty(), pictureFile));
}

QByteArray indexStart()
{
    return preview::encodePreviewPage({
        QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" "
                       "content=\"text/html; charset=windows-1251\" /><title>Работы</title></head><body>"),
        QStringLiteral("<h1>Работы</h1>"),
        QStringLiteral("<table border=\"1\" cellpadding=\"4\">"),
        QStringLiteral("<tr><th>Работа</th><th>Раздел(ы)</th><th>Пакет</th></tr>"),
    });
}

QByteArray indexRow(const QString &pageFile, const PassportSnapshot &passport, const QString &packageFile)
{
    QStringList sections;
    for (qint32 number : passport.subjectSlots)
        if (number >= 1 && number <= kSubjectCount)
            sections.append(preview::previewText(passport.subjectNames[number]));
    return preview::encodePreviewPage({QStringLiteral("<tr><td><a href=\"") + link(pageFile) + QStringLiteral("\">")
                                       + preview::previewText(core::trimControls(passport.title))
                                       + QStringLiteral("</a></td><td>") + sections.join(QStringLiteral(", "))
                                       + QStringLiteral("</td><td>") + preview::previewText(packageFile)
                                       + QStringLiteral("</td></tr>")});
}

QByteArray indexEnd()
{
    return preview::encodePreviewPage({QStringLiteral("</table>"), QStringLiteral("</body></html>")});
}

} // namespace check
