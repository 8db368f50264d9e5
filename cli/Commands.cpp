#include "cli/Commands.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/Configuration.h"
#include "app/Detect.h"
#include "app/MainModel.h"
#include "cli/CliHooks.h"
#include "cli/Json.h"
#include "cli/Setup.h"
#include "index/GatherRun.h"
#include "index/IndexRun.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel::cli {

namespace {

void Print(const std::string& text) {
  std::fputs(text.c_str(), stdout);
}

void NoteDamage(Console& console, const Product& reader) {
  const std::string damage = DamageText(reader.Damage);
  if (!damage.empty()) console.Note(damage);
}

// The gathering messages are the command's result: on standard output as
// text, or kept for the JSON document.
class GatherHooks : public CliHooks {
 public:
  GatherHooks(Console& console, bool keep) : CliHooks(console, "Gathering", false), keep_(keep) {}
  void report(MessageKind kind, const std::string& text) override {
    if (kind != MessageKind::Information) return CliHooks::report(kind, text);
    if (!keep_) std::printf("%s\n", text.c_str());
    size_t start = 0;
    while (start <= text.size()) {
      const size_t end = std::min(text.find('\n', start), text.size());
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }
  std::vector<std::string> lines;

 private:
  bool keep_;
};

void PrintSegmentsJson(const std::string& file, int item,
                       const std::vector<IndexedSegment>& segments, const Product& reader) {
  const auto nodes = TopLevelNodes(item);
  Json json;
  json.BeginObject().Key("path").String(file);
  ProductMembers(json, item);
  json.Key("segments").BeginArray();
  for (const auto& seg : segments) {
    const char* group = "";
    for (const TopLevelNode& node : nodes)
      if (node.type == seg.type) group = node.caption;
    json.BeginObject().Key("number").Number(int64_t{seg.index + 1});
    json.Key("type").String(group).Key("start").String(seg.caption);
    json.Key("canBeLeftOut").Bool(seg.stored).EndObject();
  }
  json.EndArray();
  DamageMembers(json, reader.Damage);
  Print(json.EndObject().Text());
}

std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

}  // namespace

std::string ProductNames() {
  std::string names;
  for (const ProductRow& p : ProductRows()) {
    if (!p.Supported()) continue;
    names += (names.empty() ? "" : ", ") + std::string(p.cliName);
  }
  return names;
}

std::string FormatNames() {
  std::string names;
  for (const FormatRow& f : FormatRows())
    names += (names.empty() ? "" : ", ") + std::string(f.cliName);
  return names;
}

int RunProducts() {
  for (const ProductRow& p : ProductRows()) {
    if (!p.Supported()) continue;
    std::string extensions;
    for (const char* e : p.extensions)
      extensions += (extensions.empty() ? "" : " ") + std::string(e);
    Print(Padded(p.cliName, 13) + Padded(std::to_string(p.Number()), 3) + Padded(p.caption, 22) +
          extensions + "\n");
  }
  return kOk;
}

int RunFormats() {
  for (const FormatRow& f : FormatRows()) {
    std::string layout = "delimited rows";
    if (f.Native()) {
      layout = f.binary && f.sideFile ? "own layout, binary, with an .MDF side file" : "own layout";
      bool everyProduct = true;
      for (const ProductRow& p : ProductRows())
        everyProduct &= !p.Supported() || ProductWritesFormat(p.Number(), f.Number());
      if (!everyProduct) layout += "; " + ProductsWritingFormat(f.Number()) + " logs only";
    }
    Print(Padded(f.cliName, 11) + Padded(std::to_string(f.Number()), 3) + Padded(f.caption, 28) +
          layout + "\n");
  }
  return kOk;
}

int RunDetect(const DetectArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  int status = kOk;
  Json json;
  json.BeginObject().Key("files").BeginArray();
  for (const auto& file : a.files) {
    const bool readable = InputReadable(file, console);
    const int item = readable ? DetectProduct(file) : kItemNone;
    if (item == kItemNone) status = kFailed;
    if (!a.json) {
      std::printf("%s\t%d\t%s\n", file.c_str(), item, ProductRowFor(item)->caption);
      continue;
    }
    json.BeginObject().Key("path").String(file);
    ProductMembers(json, item);
    json.Key("readable").Bool(readable).EndObject();
  }
  json.EndArray().EndObject();
  if (a.json) Print(json.Text());
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
    console.Note(std::string("no reader for ") + ProductRowFor(item)->caption + " in this build");
    return kFailed;
  }
  Json json;
  json.BeginObject();
  ProductMembers(json, item);
  json.Key("fields").BeginArray();
  for (int id : reader->AvailableFields()) {
    const std::string name(FieldCatalog::Name(id));
    if (!a.json) std::printf("%d\t%s\n", id, name.c_str());
    json.BeginObject().Key("id").Number(int64_t{id}).Key("name").String(name).EndObject();
  }
  json.EndArray().EndObject();
  if (a.json) Print(json.Text());
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
  if (a.json) {
    PrintSegmentsJson(a.file, item, segments, *model.CurrentReader());
  } else {
    for (const TopLevelNode& node : TopLevelNodes(item)) {
      std::printf("%s\n", node.caption);
      for (const auto& seg : segments)
        if (seg.type == node.type) std::printf("  %d\t%s\n", seg.index + 1, seg.caption.c_str());
    }
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
  GatherHooks hooks(console, a.json);
  GatherRun run(*model.CurrentReader(), model.Snapshot(), hooks);
  const GatherOutcome outcome = run.Run();
  if (outcome == GatherOutcome::Stopped) return kInterrupted;
  if (outcome != GatherOutcome::Completed) return kFailed;
  if (a.json) {
    Json json;
    json.BeginObject().Key("path").String(a.file);
    ProductMembers(json, item);
    json.Key("records").Number(int64_t{run.Records()});
    json.Key("seconds").Number(int64_t{run.Seconds()});
    // The rate as measured; the reader keeps (and the message shows) it
    // rounded down to whole records per second.
    json.Key("recordsPerSecond");
    if (run.Seconds() > 0) {
      json.Number(static_cast<double>(run.Records()) / run.Seconds());
    } else {
      json.Null();
    }
    json.Key("recordRate").Number(int64_t{run.Rate()});
    json.Key("messages").BeginArray();
    for (const std::string& line : hooks.lines) json.String(line);
    json.EndArray();
    Print(json.EndObject().Text());
  }
  return kOk;
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
