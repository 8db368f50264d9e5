// Average information: counting a log's records and seconds.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "index/GatherRun.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "products/Readers.h"
#include "synth/SampleFile.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

struct Hooks : RunHooks {
  std::vector<int> percents;
  std::vector<std::pair<MessageKind, std::string>> messages;
  int stopAfter = -1;  // blocks before a stop request; -1 never
  int asked = 0;
  void progress(int percent) override { percents.push_back(percent); }
  void report(MessageKind kind, const std::string& text) override {
    messages.emplace_back(kind, text);
  }
  bool stopRequested() override { return stopAfter >= 0 && asked++ >= stopAfter; }
};

// A log as a script of records: each block is one record at a time of day,
// a time stamp alone, or a record before any time.
class ScriptReader : public Product {
 public:
  struct Step {
    enum Kind { Record, TimeOnly, Untimed, Fallback } kind;
    int second;  // seconds of the day
  };
  std::vector<Step> script;
  static constexpr int64_t kBlockBytes = 10;

  int Open(const std::string& path) override {
    next_ = 0;
    return Product::Open(path);
  }
  int64_t ReadBlock(Block& buffer) override {
    if (next_ >= script.size()) return 0;
    buffer.assign(1, static_cast<uint8_t>(next_++));
    return kBlockBytes;
  }
  int ProcessBlock(Block&) override {
    const Step& s = script[next_ - 1];
    const int h = s.second / 3600, m = s.second / 60 % 60, sec = s.second % 60;
    switch (s.kind) {
      case Step::Record:
        GatherTime(h, m, sec);
        GatherRecord();
        break;
      case Step::TimeOnly:
        GatherTime(h, m, sec);
        break;
      case Step::Fallback:
        GatherTime(h, m, sec, true);
        break;
      case Step::Untimed:
        GatherRecord();
        break;
    }
    return kNothing;
  }
  // A file as long as the script's blocks, for the progress gauge.
  std::string WriteLog(const std::string& name) const {
    const std::string path = test::TempPath(name);
    test::WriteFile(path, std::string(script.size() * kBlockBytes, 'x'));
    return path;
  }

 private:
  size_t next_ = 0;
};

Settings For(const std::string& path) {
  Settings s;
  s.InputFilename = path;
  return s;
}

TEST(GatherRun, TwoRecordsASecondForAMinute) {
  ScriptReader reader;
  for (int t = 0; t < 60; ++t) {
    reader.script.push_back({ScriptReader::Step::Record, 36000 + t});
    reader.script.push_back({ScriptReader::Step::Record, 36000 + t});
  }
  Hooks hooks;
  GatherRun run(reader, For(reader.WriteLog("two.log")), hooks);
  EXPECT_EQ(run.Run(), GatherOutcome::Completed);
  ASSERT_EQ(hooks.messages.size(), 2u);
  EXPECT_EQ(hooks.messages[0].first, MessageKind::Information);
  EXPECT_EQ(hooks.messages[0].second, "Information Has Been Gathered!");
  EXPECT_EQ(hooks.messages[1].second, "120 Records\n60 Seconds\n2 Records Per Second");
  EXPECT_EQ(run.Records(), 120);
  EXPECT_EQ(run.Seconds(), 60);
  EXPECT_EQ(run.Rate(), 2);
  EXPECT_EQ(reader.RecordRate, 2);
  EXPECT_FALSE(reader.Gathering);
  EXPECT_FALSE(reader.Input.IsOpen());
  // 0 before the first block, every whole percent on the way, 0 at the end.
  ASSERT_GE(hooks.percents.size(), 3u);
  EXPECT_EQ(hooks.percents.front(), 0);
  EXPECT_EQ(hooks.percents[hooks.percents.size() - 2], 100);
  EXPECT_EQ(hooks.percents.back(), 0);
}

TEST(GatherRun, LabelText) {
  EXPECT_EQ(GatherRun::PercentText(0), "0% Complete");
  EXPECT_EQ(GatherRun::PercentText(57), "57% Complete");
  EXPECT_EQ(GatherRun::PercentText(100), "100% Complete");
  EXPECT_EQ(GatherRun::CountsText(7, 0, 1), "7 Records\n0 Seconds\n1 Records Per Second");
}

TEST(GatherRun, CountingRules) {
  using S = ScriptReader::Step;
  struct Case {
    const char* what;
    std::vector<S> script;
    int records, seconds, rate;
  } cases[] = {
      // No time at all: no second, and the rate stays at the 1 the run began with.
      {"untimed", {{S::Untimed, 0}, {S::Untimed, 0}, {S::Untimed, 0}}, 3, 0, 1},
      {"empty", {}, 0, 0, 1},
      // Time stamps count seconds, records count records.
      {"stamps",
       {{S::TimeOnly, 5},
        {S::Untimed, 0},
        {S::TimeOnly, 6},
        {S::Untimed, 0},
        {S::Untimed, 0},
        {S::TimeOnly, 6},
        {S::TimeOnly, 7}},
       3,
       3,
       1},
      // Fewer records than seconds: integer division.
      {"sparse", {{S::Record, 1}, {S::TimeOnly, 2}, {S::TimeOnly, 3}}, 1, 3, 0},
      // A clock going back or round midnight is a change like any other.
      {"midnight", {{S::Record, 86399}, {S::Record, 0}, {S::Record, 86399}}, 3, 3, 1},
      // The fallback clock counts until the main clock shows up, then never.
      {"fallback",
       {{S::Fallback, 10}, {S::Fallback, 15}, {S::Record, 15}, {S::Fallback, 20}, {S::Record, 16}},
       2,
       3,
       0},
  };
  for (const auto& c : cases) {
    ScriptReader reader;
    reader.script = c.script;
    Hooks hooks;
    GatherRun run(reader, For(reader.WriteLog("rules.log")), hooks);
    EXPECT_EQ(run.Run(), GatherOutcome::Completed) << c.what;
    EXPECT_EQ(run.Records(), c.records) << c.what;
    EXPECT_EQ(run.Seconds(), c.seconds) << c.what;
    EXPECT_EQ(reader.RecordRate, c.rate) << c.what;
    ASSERT_EQ(hooks.messages.size(), 2u) << c.what;
    EXPECT_EQ(hooks.messages[1].second, GatherRun::CountsText(c.records, c.seconds, c.rate));
  }
}

TEST(GatherRun, StopAndMissingInputKeepTheRate) {
  ScriptReader reader;
  for (int t = 0; t < 30; ++t) reader.script.push_back({ScriptReader::Step::Record, t});
  reader.RecordRate = 7;
  Hooks hooks;
  hooks.stopAfter = 10;
  GatherRun run(reader, For(reader.WriteLog("stop.log")), hooks);
  EXPECT_EQ(run.Run(), GatherOutcome::Stopped);
  EXPECT_TRUE(hooks.messages.empty());
  EXPECT_EQ(reader.RecordRate, 7);
  EXPECT_EQ(run.Rate(), 7);
  EXPECT_FALSE(reader.Gathering);
  EXPECT_FALSE(reader.Input.IsOpen());
  EXPECT_EQ(hooks.percents.back(), 0);

  Hooks missing;
  GatherRun none(reader, For(test::TempPath("no-such.log")), missing);
  EXPECT_EQ(none.Run(), GatherOutcome::InputFailed);
  ASSERT_EQ(missing.messages.size(), 1u);
  EXPECT_EQ(missing.messages[0].first, MessageKind::Error);
  EXPECT_EQ(missing.messages[0].second, "Input File Does Not Exist!");
  EXPECT_EQ(reader.RecordRate, 7);

  // Counting stops with the run: a later pass through the reader adds nothing.
  Hooks again;
  GatherRun full(reader, For(reader.WriteLog("stop.log")), again);
  ASSERT_EQ(full.Run(), GatherOutcome::Completed);
  EXPECT_EQ(full.Records(), 30);
  reader.Open(reader.WriteLog("stop.log"));
  Product::Block b;
  while (reader.ReadBlock(b) > 0) reader.ProcessBlock(b);
  EXPECT_EQ(reader.GatherRecords, 30);
}

// The sample writers' cadences: the CW receivers write ten ticks a second in
// cycles of 130 ticks, the first 30 of which are scan ticks with a record on
// every fifth; Skarn writes a record every 0.2 s.
int CwSampleRecords(int seconds) {
  int records = 0;
  for (int t = 0; t < seconds * 10; ++t) {
    const int phase = t % 130;
    if (phase >= 30 || phase % 5 == 0) ++records;
  }
  return records;
}

class GatherSample : public ::testing::TestWithParam<const char*> {};

TEST_P(GatherSample, EveryReaderCountsItsDrive) {
  const std::string product = GetParam();
  const int seconds = 25;
  const std::string path = test::TempPath("gather-" + product + ".log");
  std::string error;
  synth::SampleOptions options;
  options.seconds = seconds;
  options.seed = 4;
  ASSERT_TRUE(WriteSample(product, path, options, error)) << error;
  const ProductRow* info = ProductRowByName(product);
  ASSERT_NE(info, nullptr);
  std::unique_ptr<Product> reader = CreateReader(info->Number());
  ASSERT_NE(reader, nullptr);
  Settings settings = For(path);
  settings.InputFormatGroup =
      info->Number();  // the Brisel reader tells its two layouts apart by it
  Hooks hooks;
  GatherRun run(*reader, settings, hooks);
  ASSERT_EQ(run.Run(), GatherOutcome::Completed);
  // Every second of the drive carries a time stamp; a dump log stamps only
  // its measurements, and its paging segments hold one a whole second at most
  // while noise frames take some away.
  EXPECT_GE(run.Seconds(), product == "zev-dump" ? seconds * 4 / 5 : seconds) << product;
  EXPECT_LE(run.Seconds(), seconds) << product;
  EXPECT_GE(run.Records(), run.Seconds()) << product;
  EXPECT_EQ(reader->RecordRate, run.Records() / run.Seconds());
  if (product == "tolvan" || product == "velmar") {
    EXPECT_EQ(run.Records(), CwSampleRecords(seconds));
  }
  if (product == "skarn") {
    EXPECT_EQ(run.Records(), seconds * 5);
  }
  // Gathering twice gives the same counts (nothing is left over from a pass).
  Hooks again;
  GatherRun second(*reader, settings, again);
  ASSERT_EQ(second.Run(), GatherOutcome::Completed);
  EXPECT_EQ(second.Records(), run.Records());
  EXPECT_EQ(second.Seconds(), run.Seconds());
}

INSTANTIATE_TEST_SUITE_P(Readers, GatherSample,
                         ::testing::Values("tolvan", "velmar", "zev-card", "zev-dump", "skarn",
                                           "tolvan-new", "brisel", "brisel-card"),
                         [](const auto& param) {
                           std::string name = param.param;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

// The Zev dump reader's 40-lambda window grows with the gathered rate.
TEST(GatherRun, RateFeedsTheZevDumpLambdaWindow) {
  const std::string path = test::TempPath("lambda.zev");
  std::string error;
  synth::SampleOptions options;
  options.seconds = 10;
  ASSERT_TRUE(WriteSample("zev-dump", path, options, error)) << error;
  std::unique_ptr<Product> reader = CreateReader(kItemZevDump);
  ASSERT_EQ(reader->Open(path), 0);
  reader->ConversionPass = true;  // measurements are decoded only when converting
  Product::Block block;
  int one = 0, four = 0;
  while (one == 0 && reader->ReadBlock(block) > 0) {
    reader->ProcessBlock(block);
    // At 30 MPH and some 850 MHz one record a second is far less than a
    // sample per window: the rates are those of a fast receiver.
    reader->RecordRate = 1000;
    one = reader->LambdaWindow(0);
    reader->RecordRate = 4000;
    four = reader->LambdaWindow(0);
  }
  reader->Close();
  ASSERT_GT(one, 0);
  EXPECT_GE(four, 4 * one);
  EXPECT_LT(four, 4 * (one + 1));
}

}  // namespace
}  // namespace morphel
