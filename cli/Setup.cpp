#include "cli/Setup.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "app/Configuration.h"
#include "app/ConversionRun.h"
#include "app/Detect.h"
#include "cli/CliHooks.h"
#include "cli/Options.h"
#include "index/IndexRun.h"
#include "products/FormatTable.h"
#include "products/LogPass.h"
#include "products/ProductTable.h"

namespace morphel::cli {

namespace {

bool Usage(Console& console, const std::string& text, int& status) {
  console.Note(text);
  status = kUsageError;
  return false;
}

bool NoReader(Console& console, int item, int& status) {
  console.Note(std::string("no reader for ") + ProductRowFor(item)->caption + " in this build");
  status = kFailed;
  return false;
}

std::string Counted(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
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

bool ApplyFieldData(MainModel& model, const std::string& data, std::string& error) {
  Settings& s = model.EditSettings();
  if (data == "none") {
    s.FrequencyField = s.ChannelField = s.RSSIField = s.SATField = s.VMACField = false;
  } else if (!ParseData(data, s, error)) {
    return false;
  }
  if ((s.SATField && !model.Controls().SATField.enabled) ||
      (s.VMACField && !model.Controls().VMACField.enabled)) {
    error = "SAT/DCC and VMAC are not available for " + model.InputFormatLabel();
    return false;
  }
  return true;
}

bool ApplyAveraging(MainModel& model, const ConvertArgs& a, std::string& error) {
  Settings& s = model.EditSettings();
  if (!a.reduce.empty()) {
    if (a.reduce != "all" && a.reduce != "best-server") {
      error = "reduction '" + a.reduce + "' is not all or best-server";
      return false;
    }
    s.NoAvg = a.reduce == "all";
    s.BSAvg = !s.NoAvg;
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
  return true;
}

bool ApplyLayout(MainModel& model, const ConvertArgs& a, std::string& error) {
  Settings& s = model.EditSettings();
  if (!a.delimiter.empty() && !ParseDelimiter(a.delimiter, s, error)) return false;
  if (a.header && a.noHeader) {
    error = "--header and --no-header exclude each other";
    return false;
  }
  if (a.header) s.FieldTitles = true;
  if (a.noHeader) s.FieldTitles = false;
  if (!a.scanType.empty()) {
    if (a.scanType != "table" && a.scanType != "fast") {
      error = "scan type '" + a.scanType + "' is not table or fast";
      return false;
    }
    s.ScanTypeGroup = a.scanType == "table" ? 0 : 1;
  }
  if (a.split) s.cbSplit = true;
  if (a.native && a.noNative) {
    error = "--native and --no-native exclude each other";
    return false;
  }
  if (a.native) s.NativeFormat = true;
  if (a.noNative) s.NativeFormat = false;
  return true;
}

// Options that change the settings after the preset; false with error text.
bool ApplyOptions(MainModel& model, const ConvertArgs& a, std::string& error) {
  if (!a.receivers.empty() && !ApplyReceivers(model, a.receivers, error)) return false;
  if (!a.data.empty() && !ApplyFieldData(model, a.data, error)) return false;
  if (!ApplyLayout(model, a, error) || !ApplyAveraging(model, a, error)) return false;
  if (!a.fields.empty() && !ApplyFields(model, a.fields, error)) return false;
  Settings& s = model.EditSettings();
  if (!a.output.empty()) s.OutputFilename = a.output;
  s.FrozenClock = a.frozenClock;
  return true;
}

void PrintReports(MainModel& model, Console& console) {
  model.onReport = [&console](MessageKind kind, const std::string& text) {
    console.Message(kind, text);
  };
}

// A saved set-up first: its input log unless `input` replaces it, its
// product unless --product names one or the replacing log is another
// product's.
bool ApplyConfig(MainModel& model, const ConvertArgs& a, const std::string& input, Console& console,
                 int& item, int& status) {
  IniFile ini;
  if (!ini.Load(a.config)) {
    console.Note("cannot read the configuration '" + a.config + "'");
    status = kFailed;
    return false;
  }
  if (input.empty() && ini.ReadString("InputFile", "Filename", "").empty())
    return Usage(console, "no input log: give INPUT, or a configuration that names one", status);
  OpenConfiguration(model, a.config);
  Settings& s = model.EditSettings();
  if (!input.empty()) {
    s.InputFilename = input;
    // A set-up saved without a log has no output name of its own.
    if (s.OutputFilename.empty()) s.OutputFilename = MainModel::DefaultOutputName(input);
  }
  const ProductRow* saved = ProductRowFor(s.InputFormatGroup);
  if (!a.product.empty() || !input.empty() || !saved || !saved->Supported()) {
    item = ResolveProduct(a.product, s.InputFilename, console, status);
    if (!item) return false;
  } else {
    item = s.InputFormatGroup;
  }
  model.SetInputFormatGroup(item);
  if (!model.CurrentReader()) return NoReader(console, item, status);
  return true;
}

// The product alone, for a set-up saved without a log.
bool SelectProductOnly(MainModel& model, const std::string& name, Console& console, int& item,
                       int& status) {
  item = kItemNone;
  if (name.empty()) return true;
  item = ResolveProduct(name, {}, console, status);
  if (!item) return false;
  model.SetInputFormatGroup(item);
  if (!model.CurrentReader()) return NoReader(console, item, status);
  return true;
}

}  // namespace

bool InputReadable(const std::string& path, Console& console) {
  int err = 0;
  bool opened = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
  } else {
    struct stat st {};
    char first = 0;
    if (::fstat(fd, &st) != 0) {
      err = errno;
    } else if (S_ISDIR(st.st_mode)) {
      err = EISDIR;
    } else {
      // A first byte from a plain file, where reading takes nothing away.
      opened = true;
      if (S_ISREG(st.st_mode) && ::read(fd, &first, 1) < 0) err = errno;
    }
    ::close(fd);
  }
  if (err == 0) return true;
  console.Message(MessageKind::Error, opened ? kInputUnreadable : kInputMissing,
                  SystemReason(path, err));
  return false;
}

int ResolveProduct(const std::string& name, const std::string& file, Console& console,
                   int& status) {
  if (!name.empty()) {
    const ProductRow* p = ProductRowByName(name);
    if (!p || !p->Supported()) {
      Usage(console, "unknown product '" + name + "' (see 'morphel products')", status);
      return 0;
    }
    return p->Number();
  }
  if (!InputReadable(file, console)) {
    status = kFailed;
    return 0;
  }
  const int item = DetectProduct(file);
  if (item == kItemNone) {
    console.Message(MessageKind::Warning, MainModel::kNotOurProduct);
    status = kFailed;
  }
  return item;
}

bool SelectLog(MainModel& model, const std::string& input, int item, Console& console,
               int& status) {
  Settings& s = model.EditSettings();
  s.InputFilename = input;
  s.OutputFilename = MainModel::DefaultOutputName(input);
  model.SetInputFormatGroup(kItemNone);
  model.SetInputFormatGroup(item);
  if (!model.CurrentReader()) return NoReader(console, item, status);
  return true;
}

bool OpenLog(MainModel& model, const std::string& product, const std::string& file,
             Console& console, int& item, int& status) {
  item = ResolveProduct(product, file, console, status);
  if (!item) return false;
  model.onReport = [&console](MessageKind kind, const std::string& text) {
    console.Message(kind, text);
  };
  if (!SelectLog(model, file, item, console, status)) return false;
  InstallInterruptHandler();
  return true;
}

bool BuildModel(MainModel& model, const ConvertArgs& a, const std::string& input, bool needInput,
                Console& console, int& item, int& status) {
  PrintReports(model, console);
  if (!a.config.empty()) {
    if (!ApplyConfig(model, a, input, console, item, status)) return false;
  } else if (!input.empty()) {
    item = ResolveProduct(a.product, input, console, status);
    if (!item || !SelectLog(model, input, item, console, status)) return false;
  } else if (needInput) {
    return Usage(console, "no input log: give INPUT or --config FILE", status);
  } else if (!SelectProductOnly(model, a.product, console, item, status)) {
    return false;
  }
  if (!a.format.empty()) {
    const FormatRow* f = FormatRowByName(a.format);
    if (!f)
      return Usage(console, "unknown output format '" + a.format + "' (see 'morphel formats')",
                   status);
    model.ApplyOutputPreset(f->Number());
    model.EditSettings().OutputFormatGroup = f->Number();
  }
  std::string error;
  if (!ApplyOptions(model, a, error)) return Usage(console, error, status);
  return true;
}

bool ExcludeSegments(MainModel& model, int item, const std::string& list, bool quiet,
                     Console& console, int& status) {
  int found = 0;
  CliHooks hooks(console, "Indexing", quiet);
  IndexRun run(*model.CurrentReader(), model.Snapshot(), item, hooks);
  run.segmentAdded = [&found](const IndexedSegment&) { ++found; };
  if (run.Run() != IndexOutcome::Completed) {
    status = Interrupted() ? kInterrupted : kFailed;
    return false;
  }
  std::string error;
  const auto numbers = ParseSegments(list, found, error);
  if (!numbers) return Usage(console, error, status);
  for (int k : *numbers) {
    if (k > SegmentTable::kMaxSegments)
      return Usage(console,
                   "segment " + std::to_string(k) + " lies beyond the first " +
                       std::to_string(SegmentTable::kMaxSegments) +
                       " segments, which alone can be left out",
                   status);
    model.CurrentReader()->SegmentNodes.SetState(k - 1, SegmentTable::kUnchecked);
  }
  return true;
}

std::string DamageText(const DamageCounts& d) {
  if (!d.Any()) return {};
  const std::string skipped =
      Counted(d.resyncBytes, "byte", "bytes") + " skipped while resynchronising between records";
  // Bytes between records alone are what a serial link or a recorder's
  // restart leaves behind; anything else means the log itself is damaged.
  if (!d.badLengthBlocks && !d.unknownRecords && !d.truncatedBlocks) return skipped;
  std::vector<std::string> parts;
  if (d.resyncBytes) parts.push_back(skipped);
  if (d.badLengthBlocks)
    parts.push_back(
        Counted(d.badLengthBlocks, "block with a bad length", "blocks with bad lengths"));
  if (d.unknownRecords)
    parts.push_back(Counted(d.unknownRecords, "unknown record", "unknown records"));
  if (d.truncatedBlocks)
    parts.push_back(Counted(d.truncatedBlocks, "truncated block", "truncated blocks"));
  std::string text = "damaged log: ";
  for (size_t i = 0; i < parts.size(); ++i) text += (i ? ", " : "") + parts[i];
  return text;
}

}  // namespace morphel::cli
