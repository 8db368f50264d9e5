#pragma once
// Setting up the model for one log as the window would be set up: the log
// and its product, a saved configuration, the format preset and every other
// option of convert and config save. Messages go through the log's Console;
// a false return comes with the exit status in `status`.

#include <string>

#include "app/MainModel.h"
#include "cli/Commands.h"
#include "cli/Console.h"

namespace morphel::cli {

// Whether a log can be opened for reading; if not, says so in the system's
// words with the path and the reason.
bool InputReadable(const std::string& path, Console& console);

// The product item of a log: the named one, or the detected one. 0 with a
// message when neither gives a product with a reader.
int ResolveProduct(const std::string& name, const std::string& file, Console& console, int& status);

// Selects the product of a log as browsing does, with the item given.
bool SelectLog(MainModel& model, const std::string& input, int item, Console& console, int& status);

// The log and its product in a fresh model, as browsing selects them, with
// the model's reports on the console and Ctrl-C asking runs to stop.
bool OpenLog(MainModel& model, const std::string& product, const std::string& file,
             Console& console, int& item, int& status);

// The set-up a convert (needInput) or config save command describes for one
// log: configuration, then log and product, then format preset, then every
// other option. `input` replaces the configuration's log when not empty.
bool BuildModel(MainModel& model, const ConvertArgs& a, const std::string& input, bool needInput,
                Console& console, int& item, int& status);

// Indexes the log and leaves out the listed segments ("1-5,8").
bool ExcludeSegments(MainModel& model, int item, const std::string& list, bool quiet,
                     Console& console, int& status);

// The damage a reader met, in one line; empty when there was none.
std::string DamageText(const DamageCounts& d);

}  // namespace morphel::cli
