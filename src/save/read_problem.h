#pragma once

// The sentences of the reader's problems (core/read_problem.h), shared by
// the window's error box and the committee's report, which show the same
// sentences.

#include "core/read_problem.h"

#include <QStringList>

namespace save {

using core::FoundToken;
using core::ReadProblem;
using core::ReadProblemCode;
using core::ReadProblems;

// The problem as a sentence in Russian, ending in a full stop.
QString readProblemText(const ReadProblem &problem);
QStringList readProblemTexts(const ReadProblems &problems);

} // namespace save
