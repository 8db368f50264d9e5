#pragma once
// The morphel subcommands. Each returns the process exit status.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "synth/SampleFile.h"

namespace morphel::cli {

constexpr int kOk = 0;              // converted (or the command did its work)
constexpr int kFailed = 1;          // a run error: unreadable or unrecognised log, output errors
constexpr int kUsageError = 2;      // the command line itself was wrong
constexpr int kNothingWritten = 3;  // converted, but no data record was written
constexpr int kInterrupted = 130;   // stopped by Ctrl-C or SIGTERM

// The exit statuses as --help and the README state them.
constexpr const char* kExitStatusHelp =
    "Exit status: 0 converted; 1 a run error (the message names the file and the\n"
    "system's reason); 2 a bad command line; 3 converted but no data record written\n"
    "(the warning gives the likely reason); 130 interrupted by Ctrl-C or SIGTERM\n"
    "(what was kept is said). A batch exits non-zero when any log failed.";

struct SampleArgs {
  std::string product;
  std::string output;
  synth::SampleOptions options;
  bool force = false;  // replace an existing file
};

struct ConvertArgs {
  std::vector<std::string> inputs;
  std::string output, product, format, fields, receivers, data, delimiter;
  bool header = false;
  bool noHeader = false;
  std::string reduce, average, scanType, excludeSegments;
  std::optional<double> speed;
  bool kmh = false;
  std::optional<int> perSeconds;
  bool split = false;
  bool quiet = false;
  int64_t frozenClock = -1;
  std::string config;     // a saved set-up applied before the other options
  bool native = false;    // the reader's own layout whatever the format
  bool noNative = false;  // delimited rows whatever the format
  std::string outdir;     // outputs by the default name rule inside this folder
  int jobs = 1;           // logs converted at the same time
};

struct ConfigSaveArgs {
  std::string file;   // the .cfg to write
  std::string input;  // the log, if any
  ConvertArgs set;    // the set-up, as for convert
};

struct DetectArgs {
  std::vector<std::string> files;
  bool json = false;
};

struct GatherArgs {
  std::string file, product;
  bool json = false;
};

struct FieldsArgs {
  std::string file, product;
  bool json = false;
};

struct IndexArgs {
  std::string file, product;
  bool json = false;
};

int RunSample(const SampleArgs& args);
int RunConvert(const ConvertArgs& args);
int RunDetect(const DetectArgs& args);
int RunFields(const FieldsArgs& args);
int RunIndex(const IndexArgs& args);
int RunConfigSave(const ConfigSaveArgs& args);
int RunGather(const GatherArgs& args);
int RunProducts();
int RunFormats();

// The product and format names for --help: "tolvan, velmar, ...".
std::string ProductNames();
std::string FormatNames();

}  // namespace morphel::cli
