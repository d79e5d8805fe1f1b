#include "preview/preview_page.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QUrl>
#include <bitset>

namespace preview {

namespace {

const char *const kPageCodec = "windows-1251";

// One author or supervisor item. The recipient of the invoice has the ID in
// bold; every item has a blank before the bracket.
QString personItem(const TPersonRecord &person, const QString &id, bool bold)
{
    const QString name = previewLineText(core::trimControls(person.Surname)) + QLatin1Char(' ')
                         + previewLineText(core::trimControls(person.Name)) + QLatin1Char(' ')
                         + previewLineText(core::trimControls(person.Patronymic));
    const QString bracketed = QLatin1Char('[') + previewText(id) + QLatin1Char(']');
    if (bold)
        return QStringLiteral("<li>") + name + QStringLiteral(" <strong>") + bracketed
               + QStringLiteral("</strong></li>");
    return QStringLiteral("<li>") + name + QLatin1Char(' ') + bracketed + QStringLiteral("</li>");
}

// The characters of the basic plane that Windows-1251 holds, found by
// decoding each of its 256 bytes once.
const std::bitset<0x10000> &pageCharacters()
{
    static const std::bitset<0x10000> characters = [] {
        std::bitset<0x10000> set;
        QStringDecoder decoder(kPageCodec, QStringDecoder::Flag::Stateless);
        for (int byte = 0; byte < 256; ++byte) {
            const char c = char(byte);
            const QString decoded = decoder.decode(QByteArrayView(&c, 1));
            if (decoded.size() == 1 && decoded[0] != QChar::ReplacementCharacter)
                set.set(decoded[0].unicode());
        }
        return set;
    }();
    return characters;
}

// The text with every character outside Windows-1251 replaced by its decimal
// character reference (a pair of surrogates by the one code point they make).
QString withCharacterReferences(const QString &text)
{
    const auto &characters = pageCharacters();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (characters.test(c.unicode())) {
            out.append(c);
            continue;
        }
        char32_t codePoint = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, text[i + 1]);
            ++i;
        }
        out += QStringLiteral("&#") + QString::number(quint32(codePoint)) + QLatin1Char(';');
    }
    return out;
}

} // namespace

QString lineBreaksToHtml(const QString &text)
{
    return QString(text).replace(QLatin1String("\r\n"), QLatin1String("<br />"));
}

QString previewText(const QString &text) { return lineBreaksToHtml(text.toHtmlEscaped()); }

QString previewLineText(const QString &text)
{
    const QString escaped = text.toHtmlEscaped();
    QString out;
    out.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        switch (escaped[i].unicode()) {
        case '\r':
            if (i + 1 < escaped.size() && escaped[i + 1] == QLatin1Char('\n'))
                ++i;
            Q_FALLTHROUGH();
        case '\n':
        case QChar::LineSeparator:
        case QChar::ParagraphSeparator:
            out += QLatin1String("<br />");
            break;
        default:
            out += escaped[i];
        }
    }
    return out;
}

QStringList previewPageLines(const PassportSnapshot &p, bool pictureWritten, const QString &pictureFile)
{
    QStringList sections;
    for (qint32 number : p.subjectSlots)
        if (number >= 1 && number <= kSubjectCount)
            sections.append(previewText(p.subjectNames[number]));

    QString authors;
    for (const TPersonRecord &author : p.authors)
        authors += personItem(author, core::trimControls(author.Id), false);

    QString teachers;
    for (qsizetype i = 0; i < p.teachers.size(); ++i)
        teachers += personItem(p.teachers[i], p.teachers[i].Id, i == p.leaderIndex);

    QStringList lines;
    lines << QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" "
                            "content=\"text/html; charset=windows-1251\" /></head><body>")
          << QStringLiteral("<h1>") + previewLineText(p.title) + QStringLiteral("</h1>")
          << QStringLiteral("<p><strong>Раздел(ы):</strong> ") + sections.join(QStringLiteral(", "))
                 + QStringLiteral("</p>")
          << QStringLiteral("<p><strong>Сезон:</strong> ") + previewText(p.seasonName) + QStringLiteral("</p>")
          << QStringLiteral("<p><strong>Автор(ы):</strong> <ul>") + authors + QStringLiteral("</ul></p>")
          << QStringLiteral("<p><strong>Руководитель(и):</strong> <ul>") + teachers + QStringLiteral("</ul></p><hr />")
          << QStringLiteral("<p><strong>Описание работы:</strong></p><p>")
                 + previewText(core::publishedDescription(p.description)) + QStringLiteral("</p>");
    if (pictureWritten) {
        // Percent-encoded as UTF-8, the link finds the file whatever the
        // page's code page; "img.jpg" stays as it is.
        const QString source = QString::fromLatin1(QUrl::toPercentEncoding(pictureFile));
        lines << QStringLiteral("<img src=\"") + source + QStringLiteral("\" border=\"1\"/>");
        if (!p.pictureCaption.isEmpty())
            lines << QStringLiteral("<p><i>") + previewLineText(p.pictureCaption) + QStringLiteral("</i></p>");
    }
    lines << QStringLiteral("<hr /><p><strong>Технические требования:</strong> ") + previewLineText(p.techRequest)
                 + QStringLiteral("</p>")
          << QStringLiteral("<p><strong>Порядок знакомства:</strong></p><p>") + previewText(p.manual)
                 + QStringLiteral("</p>")
          << QStringLiteral("<p><strong>Контактная информация:</strong></p>")
          << QStringLiteral("<table border=\"0\"><tr><td>Адрес:</td><td>") + previewLineText(p.postIndex)
                 + QStringLiteral(", ") + previewLineText(p.postAddress) + QStringLiteral("</td></tr>")
          << QStringLiteral("<tr><td>Телефон:</td><td>") + previewLineText(p.phone) + QStringLiteral("</td></tr>")
          << QStringLiteral("<tr><td>Эл. адрес:</td><td>") + previewLineText(p.email) + QStringLiteral("</td></tr>")
          << QStringLiteral("</body></html>");
    return lines;
}

QByteArray encodePreviewPage(const QStringList &lines)
{
    QString page;
    for (const QString &line : lines)
        page += line + QLatin1String("\r\n");
    // One encoder per thread: making one costs more than encoding a page.
    thread_local QStringEncoder encoder(kPageCodec, QStringEncoder::Flag::Stateless);
    return encoder.encode(withCharacterReferences(page));
}

} // namespace preview
