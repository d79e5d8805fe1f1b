// The data document and the preview page from arbitrary passports: any text
// the window can hold, any counts. The document must always parse as XML and
// carry every participant; the page must always decode from Windows-1251 and
// keep its structure whatever markup the texts hold.

#include "core/passport.h"
#include "preview/preview_page.h"
#include "save/data_document.h"

#include <QStringDecoder>
#include <QXmlStreamReader>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Raw UTF-16 code units, so that lone surrogates, U+FFFE and control
// characters all occur.
QString text(FuzzedDataProvider &input)
{
    const std::string bytes = input.ConsumeRandomLengthString(700);
    return QString(reinterpret_cast<const QChar *>(bytes.data()), qsizetype(bytes.size() / 2));
}

TPersonRecord person(FuzzedDataProvider &input) { return {text(input), text(input), text(input), text(input)}; }

PassportSnapshot passportFrom(FuzzedDataProvider &input)
{
    PassportSnapshot p;
    p.subjectNames = core::defaultSubjectNames();
    p.seasonId = 4;
    p.seasonName = QStringLiteral("2008/2009 учебный год");
    p.title = text(input);
    p.description = text(input);
    p.techRequest = text(input);
    p.manual = text(input);
    p.postIndex = text(input);
    p.postAddress = text(input);
    p.phone = text(input);
    p.email = text(input);
    p.notes = text(input);
    p.hasPicture = input.ConsumeBool();
    if (p.hasPicture)
        p.pictureCaption = text(input);
    for (qint32 &slot : p.subjectSlots)
        slot = input.ConsumeIntegralInRange<qint32>(0, kSubjectCount);
    const int authors = input.ConsumeIntegralInRange<int>(0, kMaxAuthors);
    for (int i = 0; i < authors; ++i)
        p.authors.append(person(input));
    const int teachers = input.ConsumeIntegralInRange<int>(0, kMaxTeachers);
    for (int i = 0; i < teachers; ++i)
        p.teachers.append(person(input));
    p.leaderIndex = input.ConsumeIntegralInRange<int>(-1, teachers - 1);
    return p;
}

// The same passport with every typed text emptied: the page's markup alone.
PassportSnapshot withoutTexts(PassportSnapshot p)
{
    for (QString *t : {&p.title, &p.description, &p.techRequest, &p.manual, &p.postIndex, &p.postAddress, &p.phone,
                       &p.email, &p.notes, &p.pictureCaption})
        t->clear();
    for (auto *list : {&p.authors, &p.teachers})
        for (TPersonRecord &r : *list)
            r = TPersonRecord{};
    if (p.hasPicture)
        p.pictureCaption = QStringLiteral("x");
    return p;
}

void checkDocument(const PassportSnapshot &p)
{
    const QByteArray bytes = save::buildDataDocument(p, 1234567890);
    QXmlStreamReader reader(bytes);
    int people = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && (reader.name() == u"author" || reader.name() == u"teacher"))
            ++people;
    }
    if (reader.hasError()) {
        fprintf(stderr, "XML error: %s\n", qPrintable(reader.errorString()));
        abort();
    }
    if (people != p.authors.size() + p.teachers.size())
        abort();
}

void checkPage(const PassportSnapshot &p)
{
    const bool pictureWritten = p.hasPicture;
    const QStringList lines = preview::previewPageLines(p, pictureWritten);
    const QByteArray bytes = preview::encodePreviewPage(lines);
    QStringDecoder decode("windows-1251");
    const QString page = decode(bytes);
    if (decode.hasError())
        abort();
    // Typed texts never add markup: apart from the "<br />" of their line
    // breaks, the page has exactly as many tags as the same passport
    // without any text.
    PassportSnapshot bare = withoutTexts(p);
    bare.pictureCaption = p.pictureCaption.isEmpty() ? QString() : QStringLiteral("x");
    const QStringList bareLines = preview::previewPageLines(bare, pictureWritten);
    if (lines.size() != bareLines.size())
        abort();
    const qsizetype tags = page.count(QLatin1Char('<')) - page.count(QStringLiteral("<br />"));
    if (tags != bareLines.join(QString()).count(QLatin1Char('<')))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const PassportSnapshot passport = passportFrom(input);
    checkDocument(passport);
    checkPage(passport);
    return 0;
}
