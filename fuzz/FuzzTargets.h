#pragma once
// The bodies of the fuzz harnesses, header-only so that the libFuzzer
// harnesses, the replay driver and the regression replay in the ordinary test
// suite all run exactly the same code on an input.
//
// A reader harness writes the bytes to a scratch log, indexes it and converts
// it with a heavy selection (every field, every receiver and data box the
// product offers) in the plain, best-server, 40-lambda and per-second modes
// and in each of the product's own layouts; then reads its tidy readings
// with the reading run's choices into the log's facts. A decoder harness hands the bytes
// to the paging formatters or the GPS block decoder unit by unit.

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/Configuration.h"
#include "app/ConversionRun.h"
#include "app/Detect.h"
#include "app/MainModel.h"
#include "core/Bytes.h"
#include "decode/Flex.h"
#include "decode/Gps.h"
#include "decode/Pocsag.h"
#include "index/IndexRun.h"
#include "index/LogFacts.h"
#include "index/ReadingRun.h"
#include "products/FormatTable.h"
#include "products/Product.h"
#include "products/ProductTable.h"
#include "products/Readers.h"
#include "products/ZevPaging.h"

namespace morphel::fuzz {

// A formatter that has not finished its batch after this many steps is stuck.
constexpr int kMaxFormatterSteps = 10000;
// Inputs beyond this are cut: the readers' framing never needs more to be
// exercised, and it keeps each run quick.
constexpr size_t kMaxInput = 1 << 18;

// Scratch files of this process (one directory per process, so harnesses and
// test runs in parallel never share a file).
struct Scratch {
  std::string dir;
  std::string input;
  std::string output;
  Scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/morphel-fuzz-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) std::abort();
    dir = templ;
    input = dir + "/input.log";
    output = dir + "/output.out";
  }
  ~Scratch() {
    for (const std::string& name : {input, output, dir + "/output.MDF", dir + "/output.M01"})
      std::remove(name.c_str());
    ::rmdir(dir.c_str());
  }
  void Write(const uint8_t* data, size_t size) const {
    std::FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
  }
};

inline Scratch& ScratchFiles() {
  static Scratch scratch;
  return scratch;
}

// Quiet hooks: nothing to show, never a stop.
class SilentHooks : public RunHooks {};

// One way to convert: the settings snapshot and the selected ids.
struct Conversion {
  Settings settings;
  std::vector<int> ids;
};

// The conversions of one product, built once through the window model so
// that the controls a product disables stay as the window leaves them.
inline std::vector<Conversion> ConversionsFor(int item) {
  std::vector<Conversion> all;
  MainModel model;
  model.EditSettings().InputFilename = ScratchFiles().input;
  model.SetInputFormatGroup(item);
  if (!model.CurrentReader()) return all;
  auto snapshot = [&]() {
    Settings s = model.Snapshot();
    s.InputFilename = ScratchFiles().input;
    s.OutputFilename = ScratchFiles().output;
    s.FrozenClock = 0;
    Conversion c;
    c.settings = s;
    for (size_t i = 0; i < s.SelectedBox.size(); ++i) c.ids.push_back(model.SelectedIds()[i]);
    all.push_back(c);
  };
  // Heavy delimited selection.
  model.ApplyOutputPreset(kFormatCustom);
  Settings& s = model.EditSettings();
  for (int r = 1; r <= 4; ++r) s.SetReceiver(r, model.Controls().Receiver(r).enabled);
  s.FrequencyField = s.ChannelField = s.RSSIField = true;
  s.SATField = model.Controls().SATField.enabled;
  s.VMACField = model.Controls().VMACField.enabled;
  s.FieldTitles = true;
  model.DeselectAllClick();
  model.SelectAllClick();
  snapshot();
  // The same selection with each reduction and averaging.
  s.NoAvg = false;
  s.BSAvg = true;
  snapshot();
  s.NoAvg = true;
  s.BSAvg = false;
  if (model.Controls().LambdaAvg.enabled) {
    s.cbAT_None = false;
    s.LambdaAvg = true;
    s.LambdaSpeed = "1";
    snapshot();
    s.LambdaAvg = false;
  }
  s.cbAT_None = false;
  s.rbORPS = true;
  s.ORPS_Value = "2";
  snapshot();
  s.rbORPS = false;
  s.cbAT_None = true;
  s.ScanTypeGroup = 0;
  snapshot();
  s.ScanTypeGroup = 1;
  // Each of the product's own layouts.
  for (const FormatRow& f : FormatRows()) {
    if (!f.Native() || !ProductWritesFormat(item, f.Number())) continue;
    model.ApplyOutputPreset(f.Number());
    snapshot();
  }
  return all;
}

// The whole of a file (empty when it cannot be read).
inline std::string ReadWhole(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.append(chunk, got);
  std::fclose(f);
  return bytes;
}

// What an index run found: each segment's place, type and caption, and the
// damage counted on the way.
inline std::string IndexOutcomeText(int item, const Settings& settings, bool reference) {
  std::unique_ptr<Product> reader = CreateReader(item);
  SilentHooks hooks;
  IndexRun index(*reader, settings, item, hooks);
  index.ReferenceRecords(reference);
  std::string found;
  index.segmentAdded = [&found](const IndexedSegment& g) {
    found += std::to_string(g.index) + ' ' + std::to_string(g.type) + ' ' + g.caption + '\n';
  };
  if (index.Run() != IndexOutcome::Completed) std::abort();
  const DamageCounts& d = reader->Damage;
  found += std::to_string(d.resyncBytes) + ' ' + std::to_string(d.badLengthBlocks) + ' ' +
           std::to_string(d.unknownRecords) + ' ' + std::to_string(d.truncatedBlocks);
  return found;
}

// Indexes the bytes as a log of the item and converts them every way. The
// readers' indexing pass must find what the full pass finds, and rows made
// in place must be the rows of the reference path, byte for byte.
inline int FuzzReader(int item, const uint8_t* data, size_t size) {
  // Built once per product (the test suite replays several products in one
  // process).
  static std::array<std::vector<Conversion>, kProductItems> all;
  if (item <= kItemNone || item >= kProductItems) std::abort();
  std::vector<Conversion>& conversions = all[static_cast<size_t>(item)];
  if (conversions.empty()) conversions = ConversionsFor(item);
  const Scratch& scratch = ScratchFiles();
  scratch.Write(data, std::min(size, kMaxInput));
  std::unique_ptr<Product> reader = CreateReader(item);
  if (!reader || conversions.empty()) std::abort();
  SilentHooks hooks;
  if (IndexOutcomeText(item, conversions.front().settings, true) !=
      IndexOutcomeText(item, conversions.front().settings, false))
    std::abort();
  IndexRun index(*reader, conversions.front().settings, item, hooks);
  if (index.Run() != IndexOutcome::Completed) std::abort();
  // Leave out every other segment, as a user clicking in the tree would.
  for (int k = 0; k < index.SegmentsFound(); k += 2)
    reader->SegmentNodes.SetState(k, SegmentTable::kUnchecked);
  for (const Conversion& c : conversions) {
    std::string outputs[2];
    for (bool reference : {true, false}) {
      reader->SetSelectedFields(c.ids);
      reader->TitlePending = 1;
      ConversionRun run(*reader, c.settings, hooks);
      run.ReferenceRows(reference);
      if (run.Run() != RunOutcome::Completed) std::abort();
      outputs[reference ? 0 : 1] = ReadWhole(c.settings.OutputFilename);
    }
    if (outputs[0] != outputs[1]) std::abort();
  }
  ReadingOptions choices[3];
  choices[1].bestServer = true;
  choices[1].everySeconds = 2;
  choices[2].receivers = {true, false, true, false};
  choices[2].everyMetres = 10;
  for (const ReadingOptions& options : choices) {
    LogFactsSink facts;
    ReadingRun run(*reader, conversions.front().settings, options, hooks);
    if (run.Run(facts) != ReadingOutcome::Completed) std::abort();
    if (run.Summary().readings > run.Summary().readingsSeen) std::abort();
  }
  return 0;
}

// Detection of the product from the head of a file.
inline int FuzzDetect(const uint8_t* data, size_t size) {
  const Scratch& scratch = ScratchFiles();
  scratch.Write(data, std::min(size, kMaxInput));
  int item = DetectProduct(scratch.input);
  if (item < kItemNone || item >= kProductItems || item == kItemDarsk) std::abort();
  return 0;
}

// POCSAG: the bytes are 79-byte units in log order, fed through the Zev
// decoding (continuation and carry across units) and each one also straight
// to the formatter with a continuation, which must finish its batch.
inline int FuzzPocsag(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, std::min(size, kMaxInput));
  zev::PagingState state;
  std::string line;
  while (!bytes.empty()) {
    std::span<const uint8_t> unit = bytes.first(std::min(bytes.size(), zev::kPocsagUnitSize));
    zev::DecodePocsag(unit, state);
    const std::string continuation =
        state.lineCount > 0 ? state.lines[0] : "POCSAG AN 0000000001 x";
    // A carry as a previous batch leaves it: 1..7 bits still to come.
    TPOCSAG::Carry carry;
    carry.bitsNeeded = unit[0] % 8;
    carry.bits = carry.bitsNeeded > 0 && unit.size() > 1
                     ? unit[1] & ((1u << (7 - carry.bitsNeeded)) - 1u)
                     : 0u;
    TPOCSAG pocsag(unit, unit[0] & 1 ? continuation : std::string(), carry);
    int steps = 0;
    while (!pocsag.FormatNext(line))
      if (++steps > kMaxFormatterSteps) std::abort();
    bytes = bytes.subspan(unit.size());
  }
  return 0;
}

// FLEX: the bytes are frame units (18-byte header whose first word gives the
// data bytes), fed through the Zev decoding and straight to the formatter
// with a data count taken from the header unchecked against the bytes.
inline int FuzzFlex(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, std::min(size, kMaxInput));
  zev::PagingState state;
  std::string line;
  while (!bytes.empty()) {
    size_t length = zev::kFlexHeaderSize;
    if (bytes.size() >= 2) length += le16(bytes.data());
    std::span<const uint8_t> unit = bytes.first(std::min(bytes.size(), length));
    zev::DecodeFlex(unit, state);
    constexpr int kPhaseCounts[] = {1, 2, 4};
    TFLEX flex(unit, bytes.size() >= 2 ? le16(bytes.data()) : 0, kPhaseCounts[unit[0] % 3]);
    for (int phase = -1; phase <= TFLEX::kMaxPhases; ++phase) {
      flex.ResetPhase(phase);
      int steps = 0;
      while (flex.FormatNext(phase, line) == 0)
        if (++steps > kMaxFormatterSteps) std::abort();
      (void)flex.PriorityAddressCount(phase);
      (void)flex.EndOfBlockInfo(phase);
      (void)flex.VectorStart(phase);
    }
    bytes = bytes.subspan(unit.size());
  }
  return 0;
}

// GPS: the bytes are position/status blocks in turn (the last one may be
// short), each decoded into the same object, every text asked for.
inline int FuzzGps(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, std::min(size, kMaxInput));
  TGPS gps;
  std::string sink;
  while (!bytes.empty()) {
    // A first byte below 16 cuts the block short, so short blocks come too.
    size_t length = bytes[0] < 16 ? bytes[0] * 9u : TGPS::kBlockSize;
    std::span<const uint8_t> block = bytes.first(std::min(bytes.size(), length + 1));
    gps.Decode(block.subspan(1));
    sink = gps.DateText();
    sink += gps.TimeText();
    sink += gps.StatusText();
    if (block.size() >= 5) {
      TGPS::DecodeCoordinate(be32s(block.data() + 1), 'N', 'S');
    }
    bytes = bytes.subspan(block.size());
  }
  return 0;
}

// Configuration files: the bytes as INI text, parsed, read, written back and
// parsed again (the text of a written file must read back unchanged), then
// opened into a fresh window model and saved from it.
inline int FuzzConfig(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), std::min(size, kMaxInput));
  IniFile ini;
  ini.Parse(text);
  (void)ini.ReadString("InputFile", "Filename", "Sample.in");
  (void)ini.ReadInteger("SelectedFields", "Count", 0);
  (void)ini.ReadBool("OutputFilter", "NoAvg", true);
  ini.WriteString("OutputFile", "Filename", "x\r\ny=z");
  ini.WriteInteger("SelectedTags", "Tag0", -10);
  const std::string written = ini.Text();
  IniFile again;
  again.Parse(written);
  if (again.Text() != written) std::abort();
  if (again.ReadInteger("SelectedTags", "Tag0", 0) != -10) std::abort();

  const Scratch& scratch = ScratchFiles();
  scratch.Write(data, std::min(size, kMaxInput));
  MainModel model;
  if (!OpenConfiguration(model, scratch.input)) std::abort();
  std::string error;
  if (!SaveConfiguration(model, scratch.output, &error)) std::abort();
  MainModel reopened;
  if (!OpenConfiguration(reopened, scratch.output)) std::abort();
  // Values are written on one line (a carriage return or line feed inside a
  // field name becomes a space), so names may differ; the selection may not.
  if (reopened.GetSettings().SelectedBox.size() != model.GetSettings().SelectedBox.size() ||
      reopened.SelectedIds() != model.SelectedIds())
    std::abort();
  return 0;
}

}  // namespace morphel::fuzz
