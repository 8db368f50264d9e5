#pragma once
// The "morphel convert ..." command that repeats the conversion the window
// is set up for: input and output, product, format, fields, receivers, field
// data, delimiter, header, reduction, averaging, scan type, split and the
// segments left out. The window shows it so a set-up can be scripted.

#include <string>

namespace morphel {

class MainModel;

// One word for a POSIX shell: as it is when it holds only characters no
// shell treats specially, else in single quotes ('\'' for a quote inside).
std::string ShellWord(const std::string& word);

// The command for the model's current conversion. Everything that decides
// the output is spelled out, so the command does not depend on the
// command line's defaults.
std::string EquivalentCommandLine(const MainModel& model);

}  // namespace morphel
