#pragma once

// The data document's fields in their order, as one table that the writer
// (data_document.cpp) and the reader (data_document_reader.cpp) both follow,
// so that what one writes the other reads back.

#include "core/passport.h"
#include "core/passport_texts.h"

#include <QLatin1String>
#include <array>

namespace save::document {

inline constexpr QLatin1String kRoot("work");
inline constexpr QLatin1String kSubject("subject");
inline constexpr QLatin1String kAuthor("author");
inline constexpr QLatin1String kTeacher("teacher");
inline constexpr QLatin1String kLeader("is_leader");
inline constexpr QLatin1String kLeaderValue("True");

enum class Kind {
    Text,     // a text of the passport, between tags
    Season,   // the season's number
    Time,     // the time of saving, seconds since 1970
    Subjects, // the sections, one "subject" element each
    People,   // the authors, then the supervisors
};

// How a package writes a text (a draft always writes it as typed).
enum class Form {
    AsTyped,
    Trimmed,     // core::trimControls
    Description, // core::publishedDescription
};

struct Field {
    QLatin1String element;
    Kind kind;
    QString PassportSnapshot::*text = nullptr; // Kind::Text
    Form form = Form::AsTyped;
    bool optional = false; // written only when not empty
};

// A text's field: its element and member come from the table of texts.
constexpr Field textField(PassportText which, Form form, bool optional = false)
{
    return {passportText(which).element, Kind::Text, passportText(which).member, form, optional};
}

inline constexpr std::array<Field, 14> kFields = {{
    textField(PassportText::Title, Form::Trimmed),
    {QLatin1String("sz_id"), Kind::Season},
    {QLatin1String("datetime"), Kind::Time},
    textField(PassportText::Description, Form::Description),
    textField(PassportText::Caption, Form::AsTyped, true),
    textField(PassportText::Manual, Form::AsTyped),
    textField(PassportText::TechRequest, Form::Trimmed),
    textField(PassportText::PostIndex, Form::Trimmed),
    textField(PassportText::PostAddress, Form::Trimmed),
    textField(PassportText::Phone, Form::Trimmed),
    textField(PassportText::Email, Form::Trimmed),
    {QLatin1String("subjects"), Kind::Subjects},
    {QLatin1String("people"), Kind::People},
    textField(PassportText::Notes, Form::Trimmed),
}};

// Every text of the passport is one field of the document, once.
constexpr bool everyTextOnce()
{
    for (const PassportTextRow &row : kPassportTexts) {
        int found = 0;
        for (const Field &field : kFields)
            found += field.kind == Kind::Text && field.text == row.member ? 1 : 0;
        if (found != 1)
            return false;
    }
    return true;
}
static_assert(everyTextOnce(), "kFields: every row of kPassportTexts is one text field");

// A participant's attributes, in their order; "is_leader" follows for the
// invoice recipient.
struct PersonAttribute {
    QLatin1String name;
    QString TPersonRecord::*part;
    bool trimmed; // in a package
};

inline const std::array<PersonAttribute, 4> kPersonAttributes = {{
    {QLatin1String("p_id_full"), &TPersonRecord::Id, false},
    {QLatin1String("surname"), &TPersonRecord::Surname, true},
    {QLatin1String("name"), &TPersonRecord::Name, true},
    {QLatin1String("patronymic"), &TPersonRecord::Patronymic, true},
}};

} // namespace save::document
