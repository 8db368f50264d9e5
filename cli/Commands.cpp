#include "cli/Commands.h"

#include <fmt/format.h>

#include <cstdio>
#include <memory>

#include "app/Catalog.h"
#include "app/Configuration.h"
#include "app/ConversionRun.h"
#include "app/Detect.h"
#include "app/MainModel.h"
#include "cli/CliHooks.h"
#include "cli/Options.h"
#include "index/GatherRun.h"
#include "index/IndexRun.h"
#include "products/FieldCatalog.h"
#include "synth/Samples.h"

namespace morphel::cli {

namespace {

int UsageError(const std::string& text) {
  std::fprintf(stderr, "morphel: %s\n", text.c_str());
  return kUsageError;
}

int Failure(const std::string& text) {
  std::fprintf(stderr, "morphel: %s\n", text.c_str());
  return kFailed;
}

void PrintDamage(const Product& reader) {
  const DamageCounts& d = reader.Damage;
  if (!d.Any()) return;
  std::fprintf(stderr,
               "morphel: damaged log: %llu bytes skipped while resynchronising, %llu blocks with "
               "bad lengths, %llu unknown records, %llu truncated blocks\n",
               static_cast<unsigned long long>(d.resyncBytes),
               static_cast<unsigned long long>(d.badLengthBlocks),
               static_cast<unsigned long long>(d.unknownRecords),
               static_cast<unsigned long long>(d.truncatedBlocks));
}

// The product item of a log: the named one, or the detected one. 0 with a
// message printed when neither gives a product with a reader.
int ResolveProduct(const std::string& name, const std::string& file, int& status) {
  int item = 0;
  if (!name.empty()) {
    const ProductInfo* p = ProductByName(name);
    if (!p || p->item == kItemNone || p->item == kItemDarsk) {
      status = UsageError("unknown product '" + name + "'");
      return 0;
    }
    item = p->item;
  } else {
    item = DetectProduct(file);
    if (item == kItemNone) {
      std::fprintf(stderr, "%s: %s\n", MessageCaption(MessageKind::Warning),
                   MainModel::kNotOurProduct);
      status = kFailed;
      return 0;
    }
  }
  return item;
}

// Runs the indexing pass of the current reader; prints its messages.
IndexOutcome IndexNow(MainModel& model, int item, bool quiet,
                      const std::function<void(const IndexedSegment&)>& onSegment) {
  CliHooks hooks("Indexing", quiet);
  IndexRun run(*model.CurrentReader(), model.Snapshot(), item, hooks);
  run.segmentAdded = onSegment;
  return run.Run();
}

// Selects the product of a log in the model exactly as browsing does, but
// with the item given (named or detected).
bool SelectLog(MainModel& model, const std::string& input, int item, int& status) {
  Settings& s = model.EditSettings();
  s.InputFilename = input;
  const size_t keep = input.size() > 4 ? input.size() - 4 : 0;
  s.OutputFilename = input.substr(0, keep) + ".out";
  model.SetInputFormatGroup(kItemNone);
  model.SetInputFormatGroup(item);
  if (!model.CurrentReader()) {
    status = Failure(std::string("no reader for ") + ProductByItem(item)->caption + " in this build");
    return false;
  }
  return true;
}

bool ApplyReceivers(MainModel& model, const std::string& list, std::string& error) {
  Settings probe = model.GetSettings();
  if (!ParseReceivers(list, probe, error)) return false;
  for (int r = 1; r <= 4; ++r) {
    if (probe.ReceiverChecked(r) && !model.Controls().Receiver(r).enabled) {
      error = "receiver " + std::to_string(r) + " is not available for " + model.InputFormatLabel();
      return false;
    }
  }
  Settings& s = model.EditSettings();
  for (int r = 1; r <= 4; ++r) s.SetReceiver(r, probe.ReceiverChecked(r));
  return true;
}

bool ApplyFields(MainModel& model, const std::string& list, std::string& error) {
  const std::vector<int> available = model.CurrentReader()->AvailableFields();
  auto ids = ParseFields(list, available, error);
  if (!ids) return false;
  if (ids->size() > static_cast<size_t>(MainModel::kMaxSelected)) {
    error = "at most " + std::to_string(MainModel::kMaxSelected) + " fields can be selected";
    return false;
  }
  model.DeselectAllClick();
  for (int id : *ids) {
    for (size_t a = 0; a < available.size(); ++a) {
      if (available[a] == id) {
        model.SelectClick(static_cast<int>(a));
        break;
      }
    }
  }
  return true;
}

// Options that change the settings after the preset; false with error text.
bool ApplyOptions(MainModel& model, const ConvertArgs& a, std::string& error) {
  Settings& s = model.EditSettings();
  if (!a.receivers.empty() && !ApplyReceivers(model, a.receivers, error)) return false;
  if (!a.data.empty()) {
    if (a.data == "none") {
      s.FrequencyField = s.ChannelField = s.RSSIField = s.SATField = s.VMACField = false;
    } else if (!ParseData(a.data, s, error)) {
      return false;
    }
    if ((s.SATField && !model.Controls().SATField.enabled) ||
        (s.VMACField && !model.Controls().VMACField.enabled)) {
      error = "SAT/DCC and VMAC are not available for " + model.InputFormatLabel();
      return false;
    }
  }
  if (!a.delimiter.empty() && !ParseDelimiter(a.delimiter, s, error)) return false;
  if (a.header && a.noHeader) {
    error = "--header and --no-header exclude each other";
    return false;
  }
  if (a.header) s.FieldTitles = true;
  if (a.noHeader) s.FieldTitles = false;
  if (!a.reduce.empty()) {
    if (a.reduce == "all") {
      s.NoAvg = true;
      s.BSAvg = false;
    } else if (a.reduce == "best-server") {
      s.NoAvg = false;
      s.BSAvg = true;
    } else {
      error = "reduction '" + a.reduce + "' is not all or best-server";
      return false;
    }
  }
  if (!a.average.empty()) {
    if (a.average == "none") {
      s.cbAT_None = true;
      s.LambdaAvg = false;
    } else if (a.average == "lambda") {
      if (!model.Controls().LambdaAvg.enabled) {
        error = "40 Lambda averaging is not available for " + model.InputFormatLabel();
        return false;
      }
      s.cbAT_None = false;
      s.LambdaAvg = true;
    } else {
      error = "averaging '" + a.average + "' is not none or lambda";
      return false;
    }
  }
  if (a.perSeconds) {
    if (*a.perSeconds < 1) {
      error = "--per-seconds must be 1 or more";
      return false;
    }
    s.cbAT_None = false;
    s.LambdaAvg = false;
    s.rbORPS = true;
    s.ORPS_Value = std::to_string(*a.perSeconds);
  }
  if (a.speed) {
    if (!(*a.speed > 0)) {
      error = "--speed must be a positive number";
      return false;
    }
    // The shortest text that reads back as the same speed.
    s.LambdaSpeed = fmt::format("{}", *a.speed);
  }
  if (a.kmh) s.MPHchoice = false;
  if (!a.scanType.empty()) {
    if (a.scanType == "table") {
      s.ScanTypeGroup = 0;
    } else if (a.scanType == "fast") {
      s.ScanTypeGroup = 1;
    } else {
      error = "scan type '" + a.scanType + "' is not table or fast";
      return false;
    }
  }
  if (a.split) s.cbSplit = true;
  if (a.native && a.noNative) {
    error = "--native and --no-native exclude each other";
    return false;
  }
  if (a.native) s.NativeFormat = true;
  if (a.noNative) s.NativeFormat = false;
  if (!a.fields.empty() && !ApplyFields(model, a.fields, error)) return false;
  if (!a.output.empty()) s.OutputFilename = a.output;
  s.FrozenClock = a.frozenClock;
  return true;
}

// Leaves out the listed segments (numbers from 1 in file order).
bool ExcludeSegments(MainModel& model, int item, const std::string& list, bool quiet,
                     std::string& error, int& status) {
  int found = 0;
  auto outcome = IndexNow(model, item, quiet, [&](const IndexedSegment&) { ++found; });
  if (outcome != IndexOutcome::Completed) {
    status = kFailed;
    return false;
  }
  for (const std::string& entry : SplitList(list)) {
    if (entry.empty()) continue;
    int k = 0;
    try {
      size_t used = 0;
      k = std::stoi(entry, &used);
      if (used != entry.size()) k = 0;
    } catch (...) {
      k = 0;
    }
    if (k < 1 || k > found) {
      error = "segment '" + entry + "' is not one of 1.." + std::to_string(found);
      status = kUsageError;
      return false;
    }
    if (k > SegmentTable::kMaxSegments) {
      error = "segment " + entry + " lies beyond the first " +
              std::to_string(SegmentTable::kMaxSegments) + " segments, which alone can be left out";
      status = kUsageError;
      return false;
    }
    model.CurrentReader()->SegmentNodes.SetState(k - 1, SegmentTable::kUnchecked);
  }
  return true;
}

void PrintReports(MainModel& model) {
  model.onReport = [](MessageKind kind, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", MessageCaption(kind), text.c_str());
  };
}

// A saved set-up first: its input log unless INPUT replaces it, its product
// unless --product names one or the replacing log is another product's.
bool ApplyConfig(MainModel& model, const ConvertArgs& a, int& item, int& status) {
  IniFile ini;
  if (!ini.Load(a.config)) {
    status = Failure("cannot read the configuration '" + a.config + "'");
    return false;
  }
  if (a.input.empty() && ini.ReadString("InputFile", "Filename", "").empty()) {
    status = UsageError("no input log: give INPUT, or a configuration that names one");
    return false;
  }
  OpenConfiguration(model, a.config);
  if (!a.input.empty()) model.EditSettings().InputFilename = a.input;
  const Settings& s = model.GetSettings();
  const ProductInfo* saved = ProductByItem(s.InputFormatGroup);
  if (!a.product.empty() || !a.input.empty() || !saved || !saved->supported) {
    item = ResolveProduct(a.product, s.InputFilename, status);
    if (!item) return false;
  } else {
    item = s.InputFormatGroup;
  }
  model.SetInputFormatGroup(item);
  if (!model.CurrentReader()) {
    status = Failure(std::string("no reader for ") + ProductByItem(item)->caption + " in this build");
    return false;
  }
  return true;
}

// The set-up a convert (or config save) command describes: configuration,
// then log and product, then format preset, then every other option.
bool BuildModel(MainModel& model, const ConvertArgs& a, int& item, int& status) {
  PrintReports(model);
  if (!a.config.empty()) {
    if (!ApplyConfig(model, a, item, status)) return false;
  } else {
    if (a.input.empty()) {
      status = UsageError("no input log: give INPUT or --config FILE");
      return false;
    }
    item = ResolveProduct(a.product, a.input, status);
    if (!item || !SelectLog(model, a.input, item, status)) return false;
  }
  if (!a.format.empty()) {
    const OutputFormatInfo* f = OutputFormatByName(a.format);
    if (!f) {
      status = UsageError("unknown output format '" + a.format + "'");
      return false;
    }
    model.ApplyOutputPreset(f->item);
    model.EditSettings().OutputFormatGroup = f->item;
  }
  std::string error;
  if (!ApplyOptions(model, a, error)) {
    status = UsageError(error);
    return false;
  }
  return true;
}

// The gathering messages are the command's result: on standard output.
class GatherHooks : public CliHooks {
 public:
  GatherHooks() : CliHooks("Gathering", false) {}
  void report(MessageKind kind, const std::string& text) override {
    if (kind != MessageKind::Information) return CliHooks::report(kind, text);
    std::printf("%s\n", text.c_str());
  }
};

}  // namespace

int RunSample(const SampleArgs& args) {
  if (!(args.options.seconds > 0)) return UsageError("--seconds must be positive");
  std::string error;
  if (!synth::WriteSample(args.product, args.output, args.options, error)) {
    bool known = false;
    for (const auto& name : synth::SampleProducts()) known |= name == args.product;
    return known ? Failure(error) : UsageError(error);
  }
  return kOk;
}

int RunConvert(const ConvertArgs& a) {
  int status = kOk;
  MainModel model;
  int item = 0;
  if (!BuildModel(model, a, item, status)) return status;
  const Settings& s = model.GetSettings();
  if (!s.NativeFormat && s.SelectedBox.empty())
    return UsageError("no field is selected (use --fields or --format)");
  std::string error;
  if (!a.excludeSegments.empty() &&
      !ExcludeSegments(model, item, a.excludeSegments, a.quiet, error, status)) {
    if (!error.empty()) std::fprintf(stderr, "morphel: %s\n", error.c_str());
    return status;
  }

  InstallInterruptHandler();
  CliHooks hooks("Converting", a.quiet);
  ConversionRun run(*model.CurrentReader(), model.Snapshot(), hooks);
  RunOutcome outcome = run.Run();
  PrintDamage(*model.CurrentReader());
  return outcome == RunOutcome::Completed ? kOk : kFailed;
}

int RunConfigSave(const ConfigSaveArgs& args) {
  const ConvertArgs& a = args.set;
  int status = kOk;
  MainModel model;
  int item = 0;
  if (!BuildModel(model, a, item, status)) return status;
  // What a configuration does not hold is said, not silently dropped.
  const std::pair<bool, const char*> unsaved[] = {
      {a.split, "--split"},
      {a.perSeconds.has_value(), "--per-seconds"},
      {a.speed.has_value(), "--speed"},
      {a.kmh, "--kmh"},
      {!a.excludeSegments.empty(), "--exclude-segments"},
      {a.frozenClock >= 0, "--frozen-clock"},
      {a.native || a.noNative, "--native/--no-native"}};
  for (const auto& [given, name] : unsaved)
    if (given) std::fprintf(stderr, "morphel: a configuration does not hold %s\n", name);
  std::string error;
  if (!SaveConfiguration(model, args.file, &error)) return Failure(error);
  return kOk;
}

int RunDetect(const std::vector<std::string>& files) {
  int status = kOk;
  for (const auto& file : files) {
    int item = DetectProduct(file);
    std::printf("%s\t%d\t%s\n", file.c_str(), item, ProductByItem(item)->caption);
    if (item == kItemNone) status = kFailed;
  }
  return status;
}

int RunFields(const FieldsArgs& a) {
  if (a.product.empty() && a.file.empty()) return UsageError("give --product or a log file");
  int status = kOk;
  int item = ResolveProduct(a.product, a.file, status);
  if (!item) return status;
  std::unique_ptr<Product> reader = CreateReader(item);
  if (!reader)
    return Failure(std::string("no reader for ") + ProductByItem(item)->caption + " in this build");
  for (int id : reader->AvailableFields())
    std::printf("%d\t%s\n", id, std::string(FieldCatalog::Name(id)).c_str());
  return kOk;
}

int RunIndex(const IndexArgs& a) {
  int status = kOk;
  int item = ResolveProduct(a.product, a.file, status);
  if (!item) return status;
  MainModel model;
  model.onReport = [](MessageKind kind, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", MessageCaption(kind), text.c_str());
  };
  if (!SelectLog(model, a.file, item, status)) return status;
  std::vector<IndexedSegment> segments;
  auto outcome = IndexNow(model, item, false,
                          [&](const IndexedSegment& seg) { segments.push_back(seg); });
  if (outcome != IndexOutcome::Completed) return kFailed;
  for (const TopLevelNode& node : TopLevelNodes(item)) {
    std::printf("%s\n", node.caption);
    for (const auto& seg : segments)
      if (seg.type == node.type) std::printf("  %d\t%s\n", seg.index + 1, seg.caption.c_str());
  }
  PrintDamage(*model.CurrentReader());
  return kOk;
}

int RunGather(const GatherArgs& a) {
  int status = kOk;
  int item = ResolveProduct(a.product, a.file, status);
  if (!item) return status;
  MainModel model;
  PrintReports(model);
  if (!SelectLog(model, a.file, item, status)) return status;
  InstallInterruptHandler();
  GatherHooks hooks;
  GatherRun run(*model.CurrentReader(), model.Snapshot(), hooks);
  return run.Run() == GatherOutcome::Completed ? kOk : kFailed;
}

}  // namespace morphel::cli
