#pragma once
// The morphel subcommands. Each returns the process exit status: 0 done,
// 1 the work failed (unreadable or unrecognised input, output errors),
// 2 the command line itself was wrong.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "synth/SampleFile.h"

namespace morphel::cli {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

struct SampleArgs {
  std::string product;
  std::string output;
  synth::SampleOptions options;
};

struct ConvertArgs {
  std::string input, output, product, format, fields, receivers, data, delimiter;
  bool header = false;
  bool noHeader = false;
  std::string reduce, average, scanType, excludeSegments;
  std::optional<double> speed;
  bool kmh = false;
  std::optional<int> perSeconds;
  bool split = false;
  bool quiet = false;
  int64_t frozenClock = -1;
  std::string config;  // a saved set-up applied before the other options
  bool native = false;    // the reader's own layout whatever the format
  bool noNative = false;  // delimited rows whatever the format
};

struct ConfigSaveArgs {
  std::string file;  // the .cfg to write
  ConvertArgs set;   // the set-up, as for convert
};

struct GatherArgs {
  std::string file, product;
};

struct FieldsArgs {
  std::string file, product;
};

struct IndexArgs {
  std::string file, product;
};

int RunSample(const SampleArgs& args);
int RunConvert(const ConvertArgs& args);
int RunDetect(const std::vector<std::string>& files);
int RunFields(const FieldsArgs& args);
int RunIndex(const IndexArgs& args);
int RunConfigSave(const ConfigSaveArgs& args);
int RunGather(const GatherArgs& args);

}  // namespace morphel::cli
