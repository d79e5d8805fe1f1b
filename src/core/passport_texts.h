#pragma once

// The texts of the passport as one table: a text is one row, and everything
// that handles texts one by one (the model, the data document, the window's
// edits, spelling) walks this table rather than a list of its own.

#include "core/passport.h"

#include <QLatin1String>
#include <array>
#include <cstddef>

// The texts of the passport, each shown by one edit. Count is no text: it
// is the number of texts and sizes every table of them.
enum class PassportText {
    Title,
    Description,
    TechRequest,
    Manual,
    PostIndex,
    PostAddress,
    Phone,
    Email,
    Notes,
    Caption,
    Count
};

inline constexpr std::size_t kPassportTextCount = std::size_t(PassportText::Count);

struct PassportTextRow {
    PassportText which;
    QString PassportSnapshot::*member; // where the plain passport holds it
    QLatin1String element;             // its element in the data document
    QLatin1String control;             // the object name of its edit in the window
    bool spellChecked;                 // a text people read, underlined where misspelt
};

inline constexpr std::array<PassportTextRow, kPassportTextCount> kPassportTexts = {{
    {PassportText::Title, &PassportSnapshot::title, QLatin1String("title"), QLatin1String("title"), true},
    {PassportText::Description, &PassportSnapshot::description, QLatin1String("description"),
     QLatin1String("description"), true},
    {PassportText::TechRequest, &PassportSnapshot::techRequest, QLatin1String("tech_request"),
     QLatin1String("tech_request"), true},
    {PassportText::Manual, &PassportSnapshot::manual, QLatin1String("manual"), QLatin1String("manual"), true},
    {PassportText::PostIndex, &PassportSnapshot::postIndex, QLatin1String("public_post_index"),
     QLatin1String("public_post_index"), false},
    {PassportText::PostAddress, &PassportSnapshot::postAddress, QLatin1String("public_post_address"),
     QLatin1String("public_post_address"), true},
    {PassportText::Phone, &PassportSnapshot::phone, QLatin1String("public_phone"), QLatin1String("public_phone"),
     false},
    {PassportText::Email, &PassportSnapshot::email, QLatin1String("public_email"), QLatin1String("public_email"),
     false},
    {PassportText::Notes, &PassportSnapshot::notes, QLatin1String("notes"), QLatin1String("Notes"), true},
    {PassportText::Caption, &PassportSnapshot::pictureCaption, QLatin1String("img_sign"), QLatin1String("WorkImgSign"),
     true},
}};

// Each row stands at its text's place, so that a text finds its row by
// number and a missing or misplaced row fails the build.
inline constexpr bool passportTextsInOrder()
{
    for (std::size_t i = 0; i < kPassportTexts.size(); ++i)
        if (std::size_t(kPassportTexts[i].which) != i || kPassportTexts[i].member == nullptr)
            return false;
    return true;
}
static_assert(passportTextsInOrder(), "kPassportTexts: one row per PassportText, in the enum's order");

inline constexpr const PassportTextRow &passportText(PassportText which) { return kPassportTexts[std::size_t(which)]; }

// The text of a plain passport.
inline const QString &textOf(const PassportSnapshot &passport, PassportText which)
{
    return passport.*passportText(which).member;
}
inline QString &textOf(PassportSnapshot &passport, PassportText which) { return passport.*passportText(which).member; }
