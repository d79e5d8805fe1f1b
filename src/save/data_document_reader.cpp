// Reading the data document back: the inverse of buildDataDocument, field by
// field from the same table.

#include "save/data_document.h"
#include "save/document_fields.h"

#include <QXmlStreamReader>

namespace save {
namespace {

// The writer turns every LF of a value into CR CR LF and keeps every CR as
// it is; this is the reverse. Each LF it wrote has its own two CRs right in
// front, so the pairs are found unambiguously.
QString fromStored(QString text)
{
    text.replace(QLatin1String("\r\r\n"), QLatin1String("\n"));
    return text;
}

// The character reference for a byte that an XML parser would normalise.
const char *reference(char c)
{
    switch (c) {
    case '\r':
        return "&#13;";
    case '\n':
        return "&#10;";
    case '\t':
        return "&#9;";
    default:
        return nullptr;
    }
}

// The values carry their line breaks and tabs as raw bytes, which an XML
// parser normalises: CR LF and a lone CR both become LF, and in attribute
// values TAB, CR and LF become blanks. Inside the root element these bytes
// are turned into character references first, which the parser passes
// through unchanged. The writer puts none of them inside a tag, so only
// values change. A CDATA section takes no references: there the section is
// closed around each such byte and opened again, so that its text reads as
// the same text written with references. Comments are copied as they are.
QByteArray protectLineBreaks(const QByteArray &document)
{
    qsizetype begin = -1;
    for (qsizetype i = 0; i + 1 < document.size(); ++i) {
        if (document[i] == '<' && document[i + 1] != '?' && document[i + 1] != '!') {
            begin = i;
            break;
        }
    }
    const qsizetype end = document.lastIndexOf('>');
    if (begin < 0 || end < begin)
        return document;
    static const QByteArray cdataStart("<![CDATA["), cdataEnd("]]>"), commentStart("<!--"), commentEnd("-->");
    QByteArray out;
    out.reserve(document.size() + 256);
    out.append(document.constData(), begin);
    for (qsizetype i = begin; i <= end; ++i) {
        const char c = document[i];
        if (c == '<' && document.mid(i, commentStart.size()) == commentStart) {
            const qsizetype close = document.indexOf(commentEnd, i + commentStart.size());
            const qsizetype stop = close < 0 ? end + 1 : std::min(end + 1, close + commentEnd.size());
            out.append(document.constData() + i, stop - i);
            i = stop - 1;
            continue;
        }
        if (c == '<' && document.mid(i, cdataStart.size()) == cdataStart) {
            const qsizetype close = document.indexOf(cdataEnd, i + cdataStart.size());
            const qsizetype stop = close < 0 ? end + 1 : std::min(end + 1, close + cdataEnd.size());
            out.append(cdataStart);
            for (qsizetype k = i + cdataStart.size(); k < stop; ++k) {
                if (const char *ref = close >= 0 && k < close ? reference(document[k]) : nullptr) {
                    out.append(cdataEnd).append(ref).append(cdataStart);
                } else {
                    out.append(document[k]);
                }
            }
            i = stop - 1;
            continue;
        }
        if (const char *ref = reference(c))
            out.append(ref);
        else
            out.append(c);
    }
    out.append(document.constData() + end + 1, document.size() - end - 1);
    return out;
}

bool onlyBlanks(QStringView text)
{
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            return false;
    return true;
}

// Reads the document in the one shape the program writes. The first
// departure stops it.
class DocumentParser {
public:
    explicit DocumentParser(const QByteArray &bytes) : xml(bytes) { xml.setNamespaceProcessing(true); }

    // The problem that stopped the reading, or nothing.
    std::optional<ReadProblem> parse(StoredDocument &doc)
    {
        readAll(doc);
        if (stop)
            return stop;
        if (xml.hasError())
            return ReadProblem{ReadProblemCode::DocumentMalformed};
        return std::nullopt;
    }

private:
    QXmlStreamReader xml;
    std::optional<ReadProblem> stop;

    bool failed() const { return stop.has_value() || xml.hasError(); }

    void fail(ReadProblem problem)
    {
        if (!stop)
            stop = std::move(problem);
        xml.raiseError(QStringLiteral("refused"));
    }

    // A problem about what stands at the current token.
    ReadProblem atHere(ReadProblemCode code, const QString &name) const
    {
        ReadProblem problem{code, name};
        switch (xml.tokenType()) {
        case QXmlStreamReader::StartElement:
            problem.found = FoundToken::Element;
            problem.foundName = xml.qualifiedName().toString();
            break;
        case QXmlStreamReader::EndElement:
            problem.found = FoundToken::EndElement;
            problem.foundName = xml.qualifiedName().toString();
            break;
        default:
            problem.found = FoundToken::EndOfFile;
            break;
        }
        return problem;
    }

    // The next token that matters: comments, processing instructions and
    // blanks between elements are passed over.
    QXmlStreamReader::TokenType next()
    {
        for (;;) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            switch (token) {
            case QXmlStreamReader::StartDocument: {
                const QString encoding = xml.documentEncoding().toString();
                if (!encoding.isEmpty() && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0) {
                    fail({ReadProblemCode::DocumentEncoding, encoding});
                    return QXmlStreamReader::Invalid;
                }
                continue;
            }
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                continue;
            case QXmlStreamReader::Characters:
                if (onlyBlanks(xml.text()))
                    continue;
                fail({ReadProblemCode::DocumentStrayText});
                return QXmlStreamReader::Invalid;
            case QXmlStreamReader::DTD:
                fail({ReadProblemCode::DocumentDtd});
                return QXmlStreamReader::Invalid;
            case QXmlStreamReader::EntityReference:
                fail({ReadProblemCode::DocumentEntity, xml.name().toString()});
                return QXmlStreamReader::Invalid;
            default:
                return token;
            }
        }
    }

    // The next start tag, whatever its name; an empty text when none.
    QString startAny(QLatin1String expected)
    {
        const QXmlStreamReader::TokenType token = next();
        if (failed())
            return QString();
        if (token != QXmlStreamReader::StartElement) {
            fail(atHere(ReadProblemCode::DocumentFieldMisplaced, expected));
            return QString();
        }
        if (!xml.namespaceUri().isEmpty() || !xml.prefix().isEmpty()) {
            fail({ReadProblemCode::DocumentNamespace, xml.qualifiedName().toString()});
            return QString();
        }
        return xml.name().toString();
    }

    bool noAttributes()
    {
        if (xml.attributes().isEmpty())
            return true;
        fail({ReadProblemCode::DocumentAttributes, xml.name().toString()});
        return false;
    }

    // The text of the element whose start tag was just read.
    QString textHere()
    {
        const QString name = xml.name().toString();
        if (!noAttributes())
            return QString();
        const QString text = xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (xml.error() == QXmlStreamReader::UnexpectedElementError)
            fail({ReadProblemCode::DocumentNestedElements, name});
        return fromStored(text);
    }

    void person(StoredDocument &doc, bool teacher)
    {
        StoredPerson person;
        person.teacher = teacher;
        const QString element = xml.name().toString();
        std::array<bool, document::kPersonAttributes.size()> seen{};
        for (const QXmlStreamAttribute &attribute : xml.attributes()) {
            const QStringView name = attribute.name();
            bool known = false;
            if (attribute.namespaceUri().isEmpty()) {
                for (size_t k = 0; k < seen.size(); ++k) {
                    if (name == document::kPersonAttributes[k].name) {
                        seen[k] = known = true;
                        person.record.*document::kPersonAttributes[k].part = fromStored(attribute.value().toString());
                    }
                }
                if (name == document::kLeader) {
                    known = true;
                    person.leader = attribute.value().toString();
                }
            }
            if (!known) {
                fail({.code = ReadProblemCode::DocumentUnknownAttribute,
                      .name = element,
                      .value = attribute.qualifiedName().toString()});
                return;
            }
        }
        for (size_t k = 0; k < seen.size(); ++k) {
            if (!seen[k]) {
                fail({.code = ReadProblemCode::DocumentMissingAttribute,
                      .name = element,
                      .value = document::kPersonAttributes[k].name});
                return;
            }
        }
        const QXmlStreamReader::TokenType token = next();
        if (failed())
            return;
        if (token != QXmlStreamReader::EndElement) {
            fail(atHere(ReadProblemCode::DocumentInsidePerson, element));
            return;
        }
        doc.people.append(person);
    }

    // A list field: every element up to the field's end tag is one item,
    // taken by item(), which fails the reading for an item out of place.
    template <class Item>
    void listItems(QLatin1String field, Item item)
    {
        for (;;) {
            const QXmlStreamReader::TokenType token = next();
            if (failed() || token == QXmlStreamReader::EndElement)
                return;
            if (token != QXmlStreamReader::StartElement || !xml.namespaceUri().isEmpty()) {
                fail(atHere(ReadProblemCode::DocumentWrongInList, field));
                return;
            }
            item();
            if (failed())
                return;
        }
    }

    void subjects(StoredDocument &doc, QLatin1String field)
    {
        listItems(field, [&] {
            if (xml.name() != document::kSubject)
                fail(atHere(ReadProblemCode::DocumentWrongInList, field));
            else
                doc.subjects.append(textHere());
        });
    }

    void people(StoredDocument &doc, QLatin1String field)
    {
        bool teachers = false;
        listItems(field, [&] {
            const bool author = xml.name() == document::kAuthor;
            const bool teacher = xml.name() == document::kTeacher;
            if (!author && !teacher) {
                fail(atHere(ReadProblemCode::DocumentWrongInList, field));
                return;
            }
            if (author && teachers) {
                fail({ReadProblemCode::DocumentAuthorAfterTeachers});
                return;
            }
            teachers = teacher;
            person(doc, teacher);
        });
    }

    void readAll(StoredDocument &doc)
    {
        if (startAny(document::kRoot) != document::kRoot) {
            if (!failed())
                fail(atHere(ReadProblemCode::DocumentFieldMisplaced, document::kRoot));
            return;
        }
        if (!noAttributes())
            return;
        // The start tag read ahead of an optional field that is not there.
        std::optional<QString> pending;
        for (size_t i = 0; i < document::kFields.size(); ++i) {
            const document::Field &field = document::kFields[i];
            // An optional field is never last; when it is missing, the
            // message names the field that must come.
            const QLatin1String expected = field.optional ? document::kFields[i + 1].element : field.element;
            if (!pending) {
                pending = startAny(expected);
                if (failed())
                    return;
            }
            if (*pending != field.element) {
                if (field.optional)
                    continue;
                fail(atHere(ReadProblemCode::DocumentFieldMisplaced, expected));
                return;
            }
            pending.reset();
            switch (field.kind) {
            case document::Kind::Text:
                doc.texts.*field.text = textHere();
                break;
            case document::Kind::Season:
                doc.seasonId = textHere();
                break;
            case document::Kind::Time:
                doc.datetime = textHere();
                break;
            case document::Kind::Subjects:
                if (noAttributes())
                    subjects(doc, field.element);
                break;
            case document::Kind::People:
                if (noAttributes())
                    people(doc, field.element);
                break;
            }
            if (failed())
                return;
        }
        if (next() != QXmlStreamReader::EndElement) {
            if (!failed())
                fail(atHere(ReadProblemCode::DocumentAfterField, document::kFields.back().element));
            return;
        }
        if (next() != QXmlStreamReader::EndDocument && !failed())
            fail(atHere(ReadProblemCode::DocumentAfterRoot, document::kRoot));
    }
};

} // namespace

Result<StoredDocument> parseDataDocument(const QByteArray &bytes)
{
    DocumentParser parser(protectLineBreaks(bytes));
    StoredDocument document;
    if (std::optional<ReadProblem> problem = parser.parse(document))
        return Unexpected(Failure(FailureCode::PackageUnreadable, {.problems = {std::move(*problem)}}));
    return document;
}

} // namespace save
