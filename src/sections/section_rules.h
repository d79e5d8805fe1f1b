#pragma once

// The rules of the sections choice as plain values: which boxes may be
// ticked, and how the ticks become the window's slots and summary lines.

#include "core/passport.h"

#include <QString>
#include <array>

namespace sections {

// Sections 1 to 21 are the main ones; 22 ("В помощь учителю") is the
// supplementary section, chosen only in addition to a main one.
inline constexpr int kMainSubjectCount = 21;
inline constexpr int kSupplementarySubject = 22;
inline constexpr int kMaxMainSubjects = 3;

// One flag per section box, index 0 for section 1 ... index 21 for 22.
using SubjectFlags = std::array<bool, kSubjectCount>;

// What the selection rule makes of the current ticks.
struct SubjectBoxStates {
    SubjectFlags enabled{};
    // Box 22 must be unticked: no main section is ticked any more.
    bool untickSupplementary = false;

    bool operator==(const SubjectBoxStates &) const = default;
};

// The selection rule, applied after every click on a box. With fewer than
// three main sections ticked every main box is enabled; with three, only the
// ticked ones stay enabled so that one of them can be unticked. Box 22 is
// enabled while at least one main section is ticked, and disabled and
// unticked when none is. The tick of box 22 itself never counts.
SubjectBoxStates subjectBoxStates(const SubjectFlags &ticks);

// The section numbers for the window's slots: the ticked main sections in
// ascending number, then 22 when it is ticked, the rest 0. Numbers that would
// not fit into the four slots are dropped (the selection rule never lets that
// happen).
std::array<qint32, 4> subjectSlotsFromTicks(const SubjectFlags &ticks);

// The reverse, for a passport read back: a tick for each section number in
// the slots; numbers outside 1 to 22 are passed over.
SubjectFlags subjectTicksFromSlots(const std::array<qint32, 4> &slotNumbers);

// The slots of a passport read back as the sections dialog gives them once
// its boxes are ticked from them: numbers outside 1 to 22 and repeats drop
// out, the rest stand in section order, and 22 drops out without a main
// section.
std::array<qint32, 4> subjectSlotsAsChosen(const std::array<qint32, 4> &slotNumbers);

// The four summary lines under "Работа отнесена к разделу(ам):": the name of
// the section in each filled slot; an empty first slot reads
// "[ Раздел не задан ]", the other empty slots read nothing.
std::array<QString, 4> subjectSummaryLines(const std::array<qint32, 4> &slotNumbers,
                                           const std::array<QString, kSubjectCount + 1> &names);

// The text of the first summary line while no section is chosen.
QString noSubjectText();

} // namespace sections
