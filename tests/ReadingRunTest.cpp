// The reading run: readings of every product equal the data columns of the
// converted output; the run's choices (receivers, strongest reading,
// thinning); left-out segments, stops, failing sinks and damaged logs.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <sstream>

#include "app/ConversionRun.h"
#include "index/IndexRun.h"
#include "index/ReadingRun.h"
#include "products/FieldCatalog.h"
#include "products/ProductTable.h"
#include "products/Readers.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using test::TempPath;

// Keeps everything a run hands on.
class CollectingSink : public ReadingSink {
 public:
  std::vector<ReadingRecord> records;
  int64_t failAfter = -1;  // Take answers false once this many records are in
  int begun = 0, ended = 0;

  bool BeginLog(const Product&) override { return ++begun, true; }
  bool Take(const ReadingRecord& record) override {
    records.push_back(record);
    return failAfter < 0 || static_cast<int64_t>(records.size()) < failAfter;
  }
  bool EndLog() override { return ++ended, true; }
  std::string Error() const override { return "the sink is full"; }

  std::vector<Reading> Readings() const {
    std::vector<Reading> all;
    for (const auto& r : records) all.insert(all.end(), r.readings.begin(), r.readings.end());
    return all;
  }
};

class StopAfter : public RunHooks {
 public:
  explicit StopAfter(int blocks) : blocks_(blocks) {}
  bool stopRequested() override { return --blocks_ < 0; }
  std::vector<std::string> messages;
  void report(MessageKind, const std::string& text) override { messages.push_back(text); }

 private:
  int blocks_;
};

struct Sample {
  const char* name;
  int item;
  double seconds;
};

// Long enough for every kind of segment the sample writers cycle through
// early on, short enough for a quick suite.
constexpr Sample kSamples[] = {
    {"tolvan", kItemTolvan, 3},     {"velmar", kItemVelmar, 3},
    {"zev-card", kItemZevCard, 30}, {"zev-dump", kItemZevDump, 30},
    {"skarn", kItemSkarn, 20},      {"tolvan-new", kItemTolvanNew, 9},
    {"brisel", kItemBrisel, 10},    {"brisel-card", kItemBriselCard, 10},
};

std::string SampleLog(const Sample& s) {
  return test::SyntheticLog(s.name, s.seconds, 4);
}

Settings LogSettings(const std::string& log, int item) {
  Settings s;
  s.InputFilename = log;
  s.InputFormatGroup = item;
  return s;
}

// The log converted with every receiver, all data and every data value,
// semicolon-delimited, with the fields `ids` (0 for the data columns): the
// fields of each line.
std::vector<std::vector<std::string>> ConvertedLines(const std::string& log, int item,
                                                     const std::vector<int>& ids) {
  std::unique_ptr<Product> reader = CreateReader(item);
  Settings s = LogSettings(log, item);
  s.OutputFilename = log + ".out";
  for (int r = 1; r <= 4; ++r) s.SetReceiver(r, true);
  s.FrequencyField = s.ChannelField = s.RSSIField = s.SATField = s.VMACField = true;
  s.FieldTitles = false;
  s.DelimiterGroup = 1;
  s.OutputFormatGroup = kFormatCustom;
  for (int id : ids)
    s.SelectedBox.push_back(id ? std::string(FieldCatalog::Name(id)) : "<< DATA >>");
  reader->SetSelectedFields(ids);
  RunHooks hooks;
  ConversionRun run(*reader, s, hooks);
  EXPECT_EQ(run.Run(), RunOutcome::Completed);
  std::vector<std::vector<std::string>> lines;
  std::istringstream text(test::ReadFile(s.OutputFilename));
  std::string line;
  while (std::getline(text, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string>& fields = lines.emplace_back();
    std::istringstream values(line);
    std::string value;
    while (std::getline(values, value, ';')) fields.push_back(value);
    if (!line.empty() && line.back() == ';') fields.emplace_back();
  }
  return lines;
}

// The data columns alone: their fields in order.
std::vector<std::string> ConvertedDataFields(const std::string& log, int item) {
  std::vector<std::string> fields;
  for (const auto& line : ConvertedLines(log, item, {0}))
    fields.insert(fields.end(), line.begin(), line.end());
  return fields;
}

CollectingSink ReadAll(const std::string& log, int item, const ReadingOptions& options = {}) {
  std::unique_ptr<Product> reader = CreateReader(item);
  CollectingSink sink;
  RunHooks hooks;
  ReadingRun run(*reader, LogSettings(log, item), options, hooks);
  EXPECT_EQ(run.Run(sink), ReadingOutcome::Completed);
  return sink;
}

class EveryProduct : public ::testing::TestWithParam<Sample> {};

// Each reading stands for one column group of the converted row, in the
// same order: frequency (to the places the product prints), channel, RSSI
// and, where the product logs them, SAT/DCC and VMAC.
TEST_P(EveryProduct, ReadingsEqualTheConvertedDataColumns) {
  const Sample& sample = GetParam();
  const std::string log = SampleLog(sample);
  const std::vector<std::string> fields = ConvertedDataFields(log, sample.item);
  const std::vector<Reading> readings = ReadAll(log, sample.item).Readings();
  ASSERT_FALSE(readings.empty());
  size_t at = 0;
  auto next = [&]() -> std::string { return at < fields.size() ? fields[at++] : "<none>"; };
  for (size_t i = 0; i < readings.size(); ++i) {
    const Reading& r = readings[i];
    SCOPED_TRACE(fmt::format("reading {} of receiver {}", i, r.receiver));
    EXPECT_NEAR(std::strtod(next().c_str(), nullptr), r.frequencyMHz, 0.00005);
    EXPECT_EQ(next(), std::to_string(r.channel));
    const std::string rssi = next();
    EXPECT_EQ(rssi.empty() ? std::string("none") : std::to_string(std::atoi(rssi.c_str())),
              r.hasRssi ? std::to_string(r.rssiDbm) : "none");
    if (r.sat != Reading::kNoCode) {
      EXPECT_EQ(next(), r.dcc != Reading::kNoCode ? fmt::format("{},{}", r.sat, r.dcc)
                                                  : std::to_string(r.sat));
    }
    if (r.vmac != Reading::kNoCode) {
      EXPECT_EQ(next(), std::to_string(r.vmac));
    }
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(at, fields.size()) << "converted values without a reading";
}

// Every record has a time; where the product has GPS, fixes lie where the
// sample's drive goes, and receivers are those of the product.
TEST_P(EveryProduct, RecordsCarryTimePositionAndSegment) {
  const Sample& sample = GetParam();
  const CollectingSink sink = ReadAll(SampleLog(sample), sample.item);
  const ProductRow* product = ProductRowFor(sample.item);
  int fixes = 0;
  for (const ReadingRecord& r : sink.records) {
    EXPECT_TRUE(r.time.valid);
    EXPECT_GE(r.segment, 1);
    for (const Reading& reading : r.readings) EXPECT_LE(reading.receiver, product->receivers);
    if (!r.position.fix) continue;
    ++fixes;
    EXPECT_NEAR(r.position.latitude, 40.8, 0.2);
    EXPECT_NEAR(r.position.longitude, -73.9, 0.2);
  }
  EXPECT_EQ(fixes > 0, sample.item != kItemSkarn);
  EXPECT_EQ(sink.begun, 1);
  EXPECT_EQ(sink.ended, 1);
}

// Each record with readings is a converted line with data, in the same
// order, and has the line's time (the receiver clock's or the GPS time, as
// the record says) and position (to the places the product prints, four at
// the fewest).
TEST_P(EveryProduct, RecordsHaveTheTimeAndPlaceOfTheirConvertedLines) {
  const Sample& sample = GetParam();
  const std::string log = SampleLog(sample);
  using F = FieldCatalog;
  constexpr double kPrinted = 0.0000501;  // half the last place of four, and a little
  const std::vector<int> offered = CreateReader(sample.item)->AvailableFields();
  std::vector<int> ids;
  for (int id : {F::kRtcTime, F::kGpsTime, F::kLatDecimal, F::kLonDecimal})
    if (std::find(offered.begin(), offered.end(), id) != offered.end()) ids.push_back(id);
  const auto column = [&ids](int id) {
    return static_cast<size_t>(std::find(ids.begin(), ids.end(), id) - ids.begin());
  };
  ids.push_back(0);
  std::vector<std::vector<std::string>> lines;
  for (auto& line : ConvertedLines(log, sample.item, ids))
    if (std::any_of(line.begin() + static_cast<long>(ids.size()) - 1, line.end(),
                    [](const std::string& f) { return !f.empty(); }))
      lines.push_back(std::move(line));
  std::vector<ReadingRecord> records;
  for (const ReadingRecord& r : ReadAll(log, sample.item).records)
    if (!r.readings.empty()) records.push_back(r);
  ASSERT_EQ(records.size(), lines.size());
  for (size_t i = 0; i < records.size(); ++i) {
    const ReadingRecord& r = records[i];
    const std::vector<std::string>& line = lines[i];
    SCOPED_TRACE(fmt::format("record {}", i));
    const size_t time = column(r.time.clock == ReadingClock::Gps ? F::kGpsTime : F::kRtcTime);
    ASSERT_LT(time, line.size());
    EXPECT_EQ(line[time],
              fmt::format("{:02}:{:02}:{:02}", r.time.hour, r.time.minute, r.time.second));
    if (r.position.fix) {
      EXPECT_NEAR(std::strtod(line[column(F::kLatDecimal)].c_str(), nullptr), r.position.latitude,
                  kPrinted);
      EXPECT_NEAR(std::strtod(line[column(F::kLonDecimal)].c_str(), nullptr), r.position.longitude,
                  kPrinted);
    }
    if (::testing::Test::HasFailure()) break;
  }
}

// A log cut anywhere and bytes overwritten at random read to their end
// without a fault; what the reader skipped shows in its damage counts.
TEST_P(EveryProduct, DamagedLogsReadToTheirEnd) {
  const Sample& sample = GetParam();
  const std::string whole = test::ReadFile(SampleLog(sample));
  std::srand(7);
  for (int variant = 0; variant < 6; ++variant) {
    std::string bytes = whole.substr(0, whole.size() * static_cast<size_t>(variant + 2) / 8);
    for (int k = 0; k < 40 * variant; ++k)
      bytes[static_cast<size_t>(std::rand()) % bytes.size()] = static_cast<char>(std::rand());
    const std::string log = TempPath(std::string("damaged-") + sample.name);
    test::WriteFile(log, bytes);
    ReadingOptions options;
    options.bestServer = variant % 2 == 1;
    options.everyMetres = variant == 4 ? 20 : 0;
    std::unique_ptr<Product> reader = CreateReader(sample.item);
    CollectingSink sink;
    RunHooks hooks;
    ReadingRun run(*reader, LogSettings(log, sample.item), options, hooks);
    EXPECT_EQ(run.Run(sink), ReadingOutcome::Completed);
    EXPECT_LE(run.Summary().consumed, run.Summary().inputSize);
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, EveryProduct, ::testing::ValuesIn(kSamples),
                         [](const auto& sample) {
                           std::string name = sample.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// A reader whose records come from a script: per block, the readings and the
// time and place of the record.
class ScriptedReader : public Product {
 public:
  struct Step {
    int64_t seconds;  // since the start of the day
    double latitude;  // 0: no fix
    std::vector<Reading> readings;
    int16_t segment = -1;  // a type code: the record starts a segment of that type
  };
  std::vector<Step> script;
  size_t next = 0;

  int Open(const std::string& path) override {
    next = 0;
    return Product::Open(path);
  }
  int64_t ReadBlock(Block& b) override {
    if (next >= script.size()) return 0;
    b.assign(1, 0);
    return 10;
  }
  int ProcessBlock(Block&) override {
    const Step& s = script[next++];
    if (s.segment >= 0) StartSegment(s.segment, 0, 0, 0);
    if (SegmentDeselected) return kNothing;
    PendingRecordCount = 1;
    return kRecordsReady;
  }

 protected:
  void FillLayoutValues(formats::LayoutValues& v) const override {
    const Step& s = script[next - 1];
    v.clock = formats::RecordClock::Gps;
    v.gpsYear = 2024;
    v.gpsMonth = 5;
    v.gpsDay = 1;
    v.gpsHour = static_cast<int>(s.seconds / 3600);
    v.gpsMinute = static_cast<int>(s.seconds / 60 % 60);
    v.gpsSecond = static_cast<int>(s.seconds % 60);
    v.latitude = s.latitude;
    v.longitude = 10.0;
    v.positionFix = s.latitude != 0;
  }
  void AppendRowReadings(std::vector<Reading>& readings) override {
    const Step& s = script[next - 1];
    readings.insert(readings.end(), s.readings.begin(), s.readings.end());
  }
};

Reading R(int receiver, int channel, int rssi, bool hasRssi = true) {
  Reading r{receiver, channel, 800.0 + channel, rssi};
  r.hasRssi = hasRssi;
  return r;
}

// "receiver:channel" of every reading handed on.
std::string Kept(const CollectingSink& sink) {
  std::string text;
  for (const Reading& r : sink.Readings()) text += fmt::format("{}:{} ", r.receiver, r.channel);
  return text;
}

CollectingSink RunScript(ScriptedReader& reader, const ReadingOptions& options) {
  test::WriteFile(TempPath("scripted.log"), std::string(10, 'x'));
  CollectingSink sink;
  RunHooks hooks;
  ReadingRun run(reader, LogSettings(TempPath("scripted.log"), kItemTolvan), options, hooks);
  EXPECT_EQ(run.Run(sink), ReadingOutcome::Completed);
  return sink;
}

struct ChoiceCase {
  const char* what;
  ReadingOptions options;
  const char* kept;
};

ReadingOptions Receivers(bool r1, bool r2) {
  ReadingOptions o;
  o.receivers = {r1, r2, true, true};
  return o;
}
ReadingOptions Strongest() {
  ReadingOptions o;
  o.bestServer = true;
  return o;
}
ReadingOptions Every(double seconds, double metres) {
  ReadingOptions o;
  o.everySeconds = seconds;
  o.everyMetres = metres;
  return o;
}

class RunChoices : public ::testing::TestWithParam<ChoiceCase> {};

// Four records of two receivers: 0 s at 50.0000, 1 s at 50.0001 (11 m on),
// 2 s without a fix, 5 s at 50.0010 (100 m from the start).
TEST_P(RunChoices, KeepTheReadingsTheyName) {
  ScriptedReader reader;
  reader.script = {
      {0, 50.0000, {R(1, 1, -80), R(1, 2, -60), R(2, 3, -90)}},
      {1, 50.0001, {R(1, 4, -70), R(1, 5, -70), R(2, 6, 0, false), R(2, 7, -99)}},
      {2, 0, {R(1, 8, -50), R(2, 9, -50)}},
      {5, 50.0010, {R(1, 10, -75), R(2, 11, -65), R(2, 12, -55)}},
  };
  EXPECT_EQ(Kept(RunScript(reader, GetParam().options)), GetParam().kept) << GetParam().what;
}

const ChoiceCase kChoices[] = {
    {"all", ReadingOptions{}, "1:1 1:2 2:3 1:4 1:5 2:6 2:7 1:8 2:9 1:10 2:11 2:12 "},
    {"receiver 2 only", Receivers(false, true), "2:3 2:6 2:7 2:9 2:11 2:12 "},
    {"strongest per receiver, first of equals, a level beats none", Strongest(),
     "1:2 2:3 1:4 2:7 1:8 2:9 1:10 2:12 "},
    {"one per 2 s", Every(2, 0), "1:1 1:2 2:3 1:8 2:9 1:10 2:11 2:12 "},
    {"one per 50 m, none without a fix", Every(0, 50), "1:1 1:2 2:3 1:10 2:11 2:12 "},
    {"strongest, one per 10 m",
     [] {
       ReadingOptions o = Every(0, 10);
       o.bestServer = true;
       return o;
     }(),
     "1:2 2:3 1:4 2:7 1:10 2:12 "},
};

INSTANTIATE_TEST_SUITE_P(Options, RunChoices, ::testing::ValuesIn(kChoices));

TEST(ReadingRun, LeftOutSegmentsHandOnNothing) {
  ScriptedReader reader;
  reader.script = {{0, 50, {R(1, 1, -80)}, 0},
                   {1, 50, {R(1, 2, -80)}},
                   {2, 50, {R(1, 3, -80)}, 1},
                   {3, 50, {R(1, 4, -80)}}};
  reader.SegmentNodes.Set(0, 0, "00:00:00");
  reader.SegmentNodes.Set(1, 1, "00:00:02");
  reader.SegmentNodes.SetState(0, SegmentTable::kUnchecked);
  const CollectingSink sink = RunScript(reader, {});
  EXPECT_EQ(Kept(sink), "1:3 1:4 ");
  for (const ReadingRecord& r : sink.records) {
    EXPECT_EQ(r.segment, 2);
    EXPECT_EQ(r.segmentType, 1);
  }
}

TEST(ReadingRun, StopsAtTheNextBlockAndSaysSo) {
  ScriptedReader reader;
  for (int i = 0; i < 10; ++i) reader.script.push_back({i, 50, {R(1, i, -80)}});
  test::WriteFile(TempPath("scripted.log"), std::string(100, 'x'));
  CollectingSink sink;
  StopAfter hooks(3);
  ReadingRun run(reader, LogSettings(TempPath("scripted.log"), kItemTolvan), {}, hooks);
  EXPECT_EQ(run.Run(sink), ReadingOutcome::Completed);
  EXPECT_TRUE(run.Summary().stopped);
  EXPECT_EQ(run.Summary().readings, 3);
  EXPECT_EQ(sink.ended, 1);
}

TEST(ReadingRun, AFailingSinkEndsTheRun) {
  ScriptedReader reader;
  for (int i = 0; i < 10; ++i) reader.script.push_back({i, 50, {R(1, i, -80)}});
  test::WriteFile(TempPath("scripted.log"), std::string(100, 'x'));
  CollectingSink sink;
  sink.failAfter = 4;
  RunHooks hooks;
  ReadingRun run(reader, LogSettings(TempPath("scripted.log"), kItemTolvan), {}, hooks);
  EXPECT_EQ(run.Run(sink), ReadingOutcome::SinkFailed);
  EXPECT_EQ(sink.records.size(), 4u);
  EXPECT_FALSE(reader.Input.IsOpen());
}

TEST(ReadingRun, AMissingOrUnreadableLogIsReportedAndTheReadersFieldsStayAsTheyWere) {
  std::unique_ptr<Product> reader = CreateReader(kItemZevCard);
  reader->SetSelectedFields({29, 0});
  const auto selection = reader->SelectedFieldIds;
  StopAfter hooks(1000);
  CollectingSink sink;
  ReadingRun missing(*reader, LogSettings(TempPath("no-such.bin"), kItemZevCard), {}, hooks);
  EXPECT_EQ(missing.Run(sink), ReadingOutcome::InputFailed);
  ASSERT_EQ(hooks.messages.size(), 1u);
  EXPECT_EQ(hooks.messages[0], "Input File Does Not Exist!");
  EXPECT_EQ(sink.begun, 0);
  EXPECT_EQ(reader->SelectedFieldIds, selection);
  // A read error part-way is no end of the log (the kernel answers a read at
  // address 0 of a process's memory with an I/O error).
  ReadingRun unreadable(*reader, LogSettings("/proc/self/mem", kItemZevCard), {}, hooks);
  EXPECT_EQ(unreadable.Run(sink), ReadingOutcome::InputFailed);
  ASSERT_EQ(hooks.messages.size(), 2u);
  EXPECT_EQ(hooks.messages[1], "Input File Cannot Be Read!");
  // A whole run gives the window's field selection back as well.
  ReadingRun whole(*reader, LogSettings(SampleLog(kSamples[2]), kItemZevCard), {}, hooks);
  EXPECT_EQ(whole.Run(sink), ReadingOutcome::Completed);
  EXPECT_EQ(reader->SelectedFieldIds, selection);
}

TEST(ReadingRun, SaysWhyNothingWasHandedOn) {
  ScriptedReader reader;
  reader.script = {{0, 0, {R(1, 1, -80)}}, {1, 0, {R(1, 2, -80)}}};  // no fix
  const struct {
    ReadingOptions options;
    const char* reason;
  } cases[] = {
      {ReadingOptions{}, ""},
      {Receivers(false, true), "none of the chosen receivers has readings"},
      {Every(0, 5), "thinning left out every reading"},
  };
  for (const auto& c : cases) {
    test::WriteFile(TempPath("scripted.log"), std::string(10, 'x'));
    CollectingSink sink;
    RunHooks hooks;
    ReadingRun run(reader, LogSettings(TempPath("scripted.log"), kItemTolvan), c.options, hooks);
    ASSERT_EQ(run.Run(sink), ReadingOutcome::Completed);
    const std::string reason = run.EmptyResultReason();
    if (*c.reason == '\0') {
      EXPECT_EQ(reason, "");
    } else {
      EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
  }
}

TEST(ReadingRun, DistanceIsAlongTheGreatCircle) {
  ReadingPosition a = PositionFix(0, 0, true), b = PositionFix(0, 1, true);
  EXPECT_NEAR(ReadingRun::DistanceMetres(a, b), 111195, 5);
  ReadingPosition c = PositionFix(60, 10, true), d = PositionFix(60.001, 10, true);
  EXPECT_NEAR(ReadingRun::DistanceMetres(c, d), 111.2, 0.1);
}

}  // namespace
}  // namespace morphel
