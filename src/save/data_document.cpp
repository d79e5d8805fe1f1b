#include "save/data_document.h"

#include "core/files.h"
#include "save/document_fields.h"

#include <QCryptographicHash>

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

void personElement(QString &out, QLatin1String name, const TPersonRecord &person, bool leader, bool draft)
{
    out += QLatin1Char('<') + name;
    for (const document::PersonAttribute &a : document::kPersonAttributes)
        attribute(out, a.name, draft || !a.trimmed ? person.*a.part : core::trimControls(person.*a.part));
    if (leader)
        attribute(out, document::kLeader, document::kLeaderValue);
    out += QLatin1String("></") + name + QLatin1Char('>');
}

QString packageForm(const QString &text, document::Form form)
{
    switch (form) {
    case document::Form::AsTyped:
        return text;
    case document::Form::Trimmed:
        return core::trimControls(text);
    case document::Form::Description:
        return core::publishedDescription(text);
    }
    return text;
}

} // namespace

QByteArray buildDataDocument(const PassportSnapshot &passport, qint64 seconds, DocumentForm form)
{
    const bool draft = form == DocumentForm::Draft;
    QString out;
    out.reserve(4096);
    out += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\r\n<");
    out += document::kRoot + QLatin1Char('>');
    for (const document::Field &field : document::kFields) {
        switch (field.kind) {
        case document::Kind::Text: {
            const QString &text = passport.*field.text;
            if (!field.optional || !text.isEmpty())
                textElement(out, field.element, draft ? text : packageForm(text, field.form));
            break;
        }
        case document::Kind::Season:
            textElement(out, field.element, QString::number(passport.seasonId));
            break;
        case document::Kind::Time:
            textElement(out, field.element, QString::number(seconds));
            break;
        case document::Kind::Subjects:
            out += QLatin1Char('<') + field.element + QLatin1Char('>');
            for (qint32 slot : passport.subjectSlots)
                if (slot != 0)
                    textElement(out, document::kSubject, QString::number(slot));
            out += QLatin1String("</") + field.element + QLatin1Char('>');
            break;
        case document::Kind::People:
            out += QLatin1Char('<') + field.element + QLatin1Char('>');
            for (const TPersonRecord &author : passport.authors)
                personElement(out, document::kAuthor, author, false, draft);
            for (qsizetype i = 0; i < passport.teachers.size(); ++i)
                personElement(out, document::kTeacher, passport.teachers[i], i == passport.leaderIndex, draft);
            out += QLatin1String("</") + field.element + QLatin1Char('>');
            break;
        }
    }
    out += QLatin1String("</") + document::kRoot + QLatin1String(">\r\r\n");
    return out.toUtf8();
}

Result<void> writeDataDocument(const QString &path, const QByteArray &document)
{
    return core::writeFile(path, document);
}

QByteArray passportFingerprint(const PassportSnapshot &passport)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(buildDataDocument(passport, 0, DocumentForm::Draft));
    hash.addData(QByteArrayView("\0picture\0"));
    if (passport.hasPicture && !passport.picture.isNull()) {
        const QImage pixels = passport.picture.convertToFormat(QImage::Format_ARGB32);
        hash.addData(QByteArray::number(pixels.width()) + 'x' + QByteArray::number(pixels.height()));
        for (int row = 0; row < pixels.height(); ++row)
            hash.addData(QByteArrayView(reinterpret_cast<const char *>(pixels.constScanLine(row)),
                                        qsizetype(pixels.width()) * 4));
    } else {
        hash.addData(QByteArrayView(passport.hasPicture ? "unread" : "none"));
    }
    return hash.result().toHex();
}

} // namespace save
