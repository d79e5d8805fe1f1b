#include "sections/section_rules.h"

namespace sections {

SubjectBoxStates subjectBoxStates(const SubjectFlags &ticks)
{
    int ticked = 0;
    for (int i = 0; i < kMainSubjectCount; ++i)
        ticked += ticks[i] ? 1 : 0;

    SubjectBoxStates states;
    for (int i = 0; i < kMainSubjectCount; ++i)
        states.enabled[i] = ticked < kMaxMainSubjects || ticks[i];
    states.enabled[kSupplementarySubject - 1] = ticked > 0;
    states.untickSupplementary = ticked == 0;
    return states;
}

std::array<qint32, 4> subjectSlotsFromTicks(const SubjectFlags &ticks)
{
    std::array<qint32, 4> numbers{};
    std::size_t next = 0;
    auto put = [&](int number) {
        if (next < numbers.size())
            numbers[next++] = number;
    };
    for (int number = 1; number <= kMainSubjectCount; ++number)
        if (ticks[number - 1])
            put(number);
    if (ticks[kSupplementarySubject - 1])
        put(kSupplementarySubject);
    return numbers;
}

QString noSubjectText() { return QStringLiteral("[ Раздел не задан ]"); }

std::array<QString, 4> subjectSummaryLines(const std::array<qint32, 4> &slotNumbers,
                                           const std::array<QString, kSubjectCount + 1> &names)
{
    std::array<QString, 4> lines{noSubjectText(), QString(), QString(), QString()};
    for (std::size_t k = 0; k < slotNumbers.size(); ++k) {
        const qint32 number = slotNumbers[k];
        if (number >= 1 && number <= kSubjectCount)
            lines[k] = names[number];
    }
    return lines;
}

SubjectFlags subjectTicksFromSlots(const std::array<qint32, 4> &slotNumbers)
{
    SubjectFlags ticks{};
    for (const qint32 number : slotNumbers)
        if (number >= 1 && number <= kSubjectCount)
            ticks[std::size_t(number - 1)] = true;
    return ticks;
}

std::array<qint32, 4> subjectSlotsAsChosen(const std::array<qint32, 4> &slotNumbers)
{
    SubjectFlags ticks = subjectTicksFromSlots(slotNumbers);
    if (subjectBoxStates(ticks).untickSupplementary)
        ticks[kSupplementarySubject - 1] = false;
    return subjectSlotsFromTicks(ticks);
}

} // namespace sections
