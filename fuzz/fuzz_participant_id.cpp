// The participant-ID path from arbitrary bytes decoded as Windows-1251, as
// typed or pasted into the ID field: stripping, the button rule and the
// check-digit test with its formatting.

#include "participants/participant_id.h"

#include <QStringDecoder>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringDecoder decode("windows-1251");
    const QString text = decode(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));

    const QString stripped = participants::stripParticipantId(text);
    if (stripped.contains(QLatin1Char('-')) || stripped.contains(QLatin1Char(' ')))
        abort();

    const bool wellFormed = participants::isWellFormedParticipantId(text);
    if (wellFormed && stripped.size() != 9)
        abort();

    const std::optional<QString> formatted = participants::formatCheckedParticipantId(text);
    if (formatted) {
        // A formatted ID carries its dashes after the third and sixth
        // character.
        if (formatted->size() < 8 || formatted->at(3) != QLatin1Char('-') || formatted->at(7) != QLatin1Char('-'))
            abort();
    }
    if (wellFormed && formatted) {
        // What the dialog lets through formats to XXX-XXX-XXX, which passes
        // the check again unchanged.
        if (formatted->size() != 11 || participants::formatCheckedParticipantId(*formatted) != formatted)
            abort();
    }
    return 0;
}
