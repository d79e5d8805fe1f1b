#include "save/data_document.h"

#include "core/files.h"

#include <functional>

namespace save {
namespace {

// A value as it stands between tags or inside an attribute's quotes.
QString xmlValue(const QString &value)
{
    QString out;
    out.reserve(value.size() + 16);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c.isHighSurrogate()) {
            if (i + 1 < value.size() && value[i + 1].isLowSurrogate()) {
                out += c;
                out += value[++i];
            }
            continue; // a lone half cannot be carried
        }
        if (c.isLowSurrogate())
            continue;
        switch (c.unicode()) {
        case u'"':
            out += QLatin1String("&#34;");
            continue;
        case u'&':
            out += QLatin1String("&#38;");
            continue;
        case u'\'':
            out += QLatin1String("&#39;");
            continue;
        case u'<':
            out += QLatin1String("&#60;");
            continue;
        case u'>':
            out += QLatin1String("&#62;");
            continue;
        case u'\n':
            out += QLatin1String("\r\r\n");
            continue;
        case u'\t':
        case u'\r':
            out += c;
            continue;
        case 0xFFFE:
        case 0xFFFF:
            continue;
        default:
            break;
        }
        if (c.unicode() < 32)
            continue;
        out += c;
    }
    return out;
}

void textElement(QString &out, QLatin1String name, const QString &value)
{
    out += QLatin1Char('<') + name + QLatin1Char('>') + xmlValue(value) + QLatin1String("</") + name + QLatin1Char('>');
}

void attribute(QString &out, QLatin1String name, const QString &value)
{
    out += QLatin1Char(' ') + name + QLatin1String("=\"") + xmlValue(value) + QLatin1Char('"');
}

void personElement(QString &out, QLatin1String name, const TPersonRecord &person, bool leader,
                   const std::function<QString(const QString &)> &trimmed)
{
    out += QLatin1Char('<') + name;
    attribute(out, QLatin1String("p_id_full"), person.Id);
    attribute(out, QLatin1String("surname"), trimmed(person.Surname));
    attribute(out, QLatin1String("name"), trimmed(person.Name));
    attribute(out, QLatin1String("patronymic"), trimmed(person.Patronymic));
    if (leader)
        attribute(out, QLatin1String("is_leader"), QStringLiteral("True"));
    out += QLatin1String("></") + name + QLatin1Char('>');
}

} // namespace

QByteArray BuildDataDocument(const PassportSnapshot &passport, qint64 seconds, DocumentForm form)
{
    const bool draft = form == DocumentForm::Draft;
    const std::function<QString(const QString &)> trimmed = [draft](const QString &text) {
        return draft ? text : core::trimControls(text);
    };
    QString out;
    out.reserve(4096);
    out += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\r\n<work>");
    textElement(out, QLatin1String("title"), trimmed(passport.title));
    textElement(out, QLatin1String("sz_id"), QString::number(passport.seasonId));
    textElement(out, QLatin1String("datetime"), QString::number(seconds));
    textElement(out, QLatin1String("description"),
                draft ? passport.description : core::publishedDescription(passport.description));
    if (!passport.pictureCaption.isEmpty())
        textElement(out, QLatin1String("img_sign"), passport.pictureCaption);
    textElement(out, QLatin1String("manual"), passport.manual);
    textElement(out, QLatin1String("tech_request"), trimmed(passport.techRequest));
    textElement(out, QLatin1String("public_post_index"), trimmed(passport.postIndex));
    textElement(out, QLatin1String("public_post_address"), trimmed(passport.postAddress));
    textElement(out, QLatin1String("public_phone"), trimmed(passport.phone));
    textElement(out, QLatin1String("public_email"), trimmed(passport.email));

    out += QLatin1String("<subjects>");
    for (qint32 slot : passport.subjectSlots)
        if (slot != 0)
            textElement(out, QLatin1String("subject"), QString::number(slot));
    out += QLatin1String("</subjects><people>");
    for (const TPersonRecord &author : passport.authors)
        personElement(out, QLatin1String("author"), author, false, trimmed);
    for (qsizetype i = 0; i < passport.teachers.size(); ++i)
        personElement(out, QLatin1String("teacher"), passport.teachers[i], i == passport.leaderIndex, trimmed);
    out += QLatin1String("</people>");

    textElement(out, QLatin1String("notes"), trimmed(passport.notes));
    out += QLatin1String("</work>\r\r\n");
    return out.toUtf8();
}

void WriteDataDocument(const QString &path, const QByteArray &document) { core::writeFileReplacing(path, document); }

} // namespace save
