#include "cli/Commands.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/Catalog.h"
#include "app/Configuration.h"
#include "app/Detect.h"
#include "app/MainModel.h"
#include "cli/CliHooks.h"
#include "cli/Setup.h"
#include "index/GatherRun.h"
#include "index/IndexRun.h"
#include "products/FieldCatalog.h"

namespace morphel::cli {

namespace {

void NoteDamage(Console& console, const Product& reader) {
  const std::string damage = DamageText(reader.Damage);
  if (!damage.empty()) console.Note(damage);
}

// The gathering messages are the command's result: on standard output.
class GatherHooks : public CliHooks {
 public:
  explicit GatherHooks(Console& console) : CliHooks(console, "Gathering", false) {}
  void report(MessageKind kind, const std::string& text) override {
    if (kind != MessageKind::Information) return CliHooks::report(kind, text);
    std::printf("%s\n", text.c_str());
  }
};

// The log and its product in a fresh model, as browsing selects them.
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

}  // namespace

int RunDetect(const std::vector<std::string>& files) {
  Terminal terminal;
  Console console(terminal, false);
  int status = kOk;
  for (const auto& file : files) {
    const int item = InputReadable(file, console) ? DetectProduct(file) : kItemNone;
    if (item == kItemNone) status = kFailed;
    std::printf("%s\t%d\t%s\n", file.c_str(), item, ProductByItem(item)->caption);
  }
  return status;
}

int RunFields(const FieldsArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  if (a.product.empty() && a.file.empty()) {
    console.Note("give --product or a log file");
    return kUsageError;
  }
  int status = kOk;
  const int item = ResolveProduct(a.product, a.file, console, status);
  if (!item) return status;
  std::unique_ptr<Product> reader = CreateReader(item);
  if (!reader) {
    console.Note(std::string("no reader for ") + ProductByItem(item)->caption + " in this build");
    return kFailed;
  }
  for (int id : reader->AvailableFields())
    std::printf("%d\t%s\n", id, std::string(FieldCatalog::Name(id)).c_str());
  return kOk;
}

int RunIndex(const IndexArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  int status = kOk, item = 0;
  MainModel model;
  if (!OpenLog(model, a.product, a.file, console, item, status)) return status;
  std::vector<IndexedSegment> segments;
  CliHooks hooks(console, "Indexing", false);
  IndexRun run(*model.CurrentReader(), model.Snapshot(), item, hooks);
  run.segmentAdded = [&segments](const IndexedSegment& seg) { segments.push_back(seg); };
  const IndexOutcome outcome = run.Run();
  if (outcome == IndexOutcome::Stopped) return kInterrupted;
  if (outcome != IndexOutcome::Completed) return kFailed;
  for (const TopLevelNode& node : TopLevelNodes(item)) {
    std::printf("%s\n", node.caption);
    for (const auto& seg : segments)
      if (seg.type == node.type) std::printf("  %d\t%s\n", seg.index + 1, seg.caption.c_str());
  }
  NoteDamage(console, *model.CurrentReader());
  return kOk;
}

int RunGather(const GatherArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  int status = kOk, item = 0;
  MainModel model;
  if (!OpenLog(model, a.product, a.file, console, item, status)) return status;
  GatherHooks hooks(console);
  GatherRun run(*model.CurrentReader(), model.Snapshot(), hooks);
  const GatherOutcome outcome = run.Run();
  if (outcome == GatherOutcome::Stopped) return kInterrupted;
  return outcome == GatherOutcome::Completed ? kOk : kFailed;
}

int RunConfigSave(const ConfigSaveArgs& args) {
  const ConvertArgs& a = args.set;
  Terminal terminal;
  Console console(terminal, false);
  int status = kOk;
  MainModel model;
  int item = 0;
  if (!BuildModel(model, a, args.input, false, console, item, status)) return status;
  // Saved names work from any folder.
  Settings& s = model.EditSettings();
  for (std::string* name : {&s.InputFilename, &s.OutputFilename}) {
    std::error_code ec;
    if (name->empty()) continue;
    const auto absolute = std::filesystem::absolute(*name, ec);
    if (!ec) *name = absolute.lexically_normal().string();
  }
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
    if (given) console.Note(std::string("a configuration does not hold ") + name);
  std::string error;
  if (!SaveConfiguration(model, args.file, &error)) {
    console.Note(error);
    return kFailed;
  }
  return kOk;
}

}  // namespace morphel::cli
