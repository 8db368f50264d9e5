#pragma once
// An "Other" delimiter is one character the user types. When that character
// also occurs inside the output's own numbers, value pictures or titles, a
// reader of the file can no longer tell the columns apart.

#include <string>

#include "core/Settings.h"

namespace morphel {

// One line naming the problem with the Other delimiter of a delimited
// output; empty when it is sound or another delimiter is chosen.
std::string OtherDelimiterProblem(const Settings& s);

}  // namespace morphel
