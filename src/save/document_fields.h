#pragma once

// The data document's fields in their order, as one table that the writer
// (data_document.cpp) and the reader (data_document_reader.cpp) both follow,
// so that what one writes the other reads back.

#include "core/passport.h"

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

inline const std::array<Field, 14> kFields = {{
    {QLatin1String("title"), Kind::Text, &PassportSnapshot::title, Form::Trimmed},
    {QLatin1String("sz_id"), Kind::Season},
    {QLatin1String("datetime"), Kind::Time},
    {QLatin1String("description"), Kind::Text, &PassportSnapshot::description, Form::Description},
    {QLatin1String("img_sign"), Kind::Text, &PassportSnapshot::pictureCaption, Form::AsTyped, true},
    {QLatin1String("manual"), Kind::Text, &PassportSnapshot::manual, Form::AsTyped},
    {QLatin1String("tech_request"), Kind::Text, &PassportSnapshot::techRequest, Form::Trimmed},
    {QLatin1String("public_post_index"), Kind::Text, &PassportSnapshot::postIndex, Form::Trimmed},
    {QLatin1String("public_post_address"), Kind::Text, &PassportSnapshot::postAddress, Form::Trimmed},
    {QLatin1String("public_phone"), Kind::Text, &PassportSnapshot::phone, Form::Trimmed},
    {QLatin1String("public_email"), Kind::Text, &PassportSnapshot::email, Form::Trimmed},
    {QLatin1String("subjects"), Kind::Subjects},
    {QLatin1String("people"), Kind::People},
    {QLatin1String("notes"), Kind::Text, &PassportSnapshot::notes, Form::Trimmed},
}};

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
