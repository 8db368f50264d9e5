#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "app/MainModel.h"
#include "core/Fmt.h"
#include "index/GatherRun.h"
#include "index/IndexRun.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

// A toy log: 4-byte blocks. Kind 'S' starts a segment of type b1 at the
// time b2:b3; kind 'D' is one data record numbered b1..b3.
constexpr size_t kToyBlock = 4;
constexpr uint8_t kToySegment = 'S';
constexpr uint8_t kToyData = 'D';
constexpr uint8_t kToyDoubleSegment = 'T';  // two segment starts in one block

class ToyReader : public Product {
 public:
  int64_t ReadBlock(Block& block) override {
    block.resize(kToyBlock);
    if (!Input.ReadExact(block.data(), kToyBlock)) {
      block.clear();
      return 0;
    }
    return static_cast<int64_t>(kToyBlock);
  }
  int ProcessBlock(Block& block) override {
    if (block.size() < kToyBlock) return kNothing;
    if (block[0] == kToySegment) {
      StartSegment(block[1], 8, block[2], block[3]);
      return kBoundary;
    }
    if (block[0] == kToyDoubleSegment) {
      StartSegment(block[1], 8, block[2], block[3]);
      StartSegment(block[1], 8, block[2], block[3]);
      return kBoundary;
    }
    if (block[0] == kToyData && !SegmentDeselected) {
      lastRecord = block[1] * 10000 + block[2] * 100 + block[3];
      PendingRecordCount = 1;
      return kRecordsReady;
    }
    return kNothing;
  }
  void FormatField(int id, std::string& out) override {
    out.clear();
    if (id == FieldCatalog::kRecordNumber) text::d(out, lastRecord);
  }
  bool ReceiverHasData(int receiver) override { return receiver == 1; }
  void AttachReceiverSelectors(const Settings* settings) override {
    attached = settings;
    Product::AttachReceiverSelectors(settings);
  }
  int lastRecord = 0;
  const Settings* attached = nullptr;  // the settings last attached
};

struct Recorder : RunHooks {
  std::vector<int> percents;
  std::vector<std::pair<MessageKind, std::string>> messages;
  int stopAfter = -1;  // stop when asked this many times
  int asked = 0;
  void progress(int p) override { percents.push_back(p); }
  void report(MessageKind k, const std::string& t) override { messages.emplace_back(k, t); }
  bool stopRequested() override { return stopAfter >= 0 && asked++ >= stopAfter; }
};

struct ToyLog {
  std::vector<uint8_t> bytes;
  int records = 0;
  void Segment(int type, int minute, int second) {
    bytes.insert(bytes.end(), {kToySegment, static_cast<uint8_t>(type),
                               static_cast<uint8_t>(minute), static_cast<uint8_t>(second)});
  }
  void DoubleSegment(int type, int minute, int second) {
    Segment(type, minute, second);
    bytes[bytes.size() - 4] = kToyDoubleSegment;
  }
  void Data(int n) {
    for (int i = 0; i < n; ++i) {
      ++records;
      bytes.insert(bytes.end(), {kToyData, static_cast<uint8_t>(records / 10000),
                                 static_cast<uint8_t>(records / 100 % 100),
                                 static_cast<uint8_t>(records % 100)});
    }
  }
  std::string Save(const std::string& name) const {
    const std::string path = test::TempPath(name);
    test::WriteFile(path, bytes);
    return path;
  }
};

Settings WithInput(const std::string& path) {
  Settings s;
  s.InputFilename = path;
  return s;
}

// What a conversion of the toy log delivers: the record numbers of the
// segments left checked.
std::vector<int> ConvertedRecords(ToyReader& reader, const std::string& path) {
  std::vector<int> records;
  reader.ConversionPass = true;
  if (reader.Open(path) != 0) return records;
  Product::Block block;
  while (reader.ReadBlock(block) > 0)
    if (reader.ProcessBlock(block) == Product::kRecordsReady) records.push_back(reader.lastRecord);
  reader.Close();
  reader.ConversionPass = false;
  return records;
}

TEST(IndexRun, RecordsSegmentsWithStartTimes) {
  ToyLog log;
  log.Segment(1, 0, 5);
  log.Data(3);
  log.Segment(0, 2, 30);
  log.Data(2);
  log.Segment(1, 59, 59);
  log.Data(1);
  const std::string path = log.Save("three.log");

  ToyReader reader;
  Recorder hooks;
  IndexRun run(reader, WithInput(path), kItemTolvan, hooks);
  std::vector<IndexedSegment> added;
  run.segmentAdded = [&](const IndexedSegment& s) { added.push_back(s); };
  EXPECT_EQ(run.Run(), IndexOutcome::Completed);

  ASSERT_EQ(added.size(), 3u);
  EXPECT_EQ(run.SegmentsFound(), 3);
  const std::vector<std::pair<int, std::string>> expected = {
      {1, "08:00:05"}, {0, "08:02:30"}, {1, "08:59:59"}};
  ASSERT_EQ(reader.SegmentNodes.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(added[i].index, i);
    EXPECT_EQ(added[i].type, expected[i].first);
    EXPECT_EQ(added[i].caption, expected[i].second);
    EXPECT_TRUE(added[i].stored);
    EXPECT_EQ(reader.SegmentNodes.Type(i), expected[i].first);
    EXPECT_EQ(reader.SegmentNodes.Caption(i), expected[i].second);
    EXPECT_EQ(reader.SegmentNodes.State(i), SegmentTable::kChecked);
  }
  EXPECT_FALSE(reader.Input.IsOpen());
  EXPECT_FALSE(reader.ConversionPass);
  EXPECT_TRUE(hooks.messages.empty());
}

TEST(IndexRun, UncheckedMiddleSegmentIsLeftOut) {
  ToyLog log;
  log.Segment(1, 0, 0);
  log.Data(2);
  log.Segment(1, 1, 0);
  log.Data(2);
  log.Segment(0, 2, 0);
  log.Data(2);
  const std::string path = log.Save("middle.log");
  ToyReader reader;
  Recorder hooks;
  ASSERT_EQ(IndexRun(reader, WithInput(path), kItemTolvan, hooks).Run(), IndexOutcome::Completed);
  reader.SegmentNodes.Toggle(1);
  EXPECT_EQ(ConvertedRecords(reader, path), (std::vector<int>{1, 2, 5, 6}));
  reader.SegmentNodes.Toggle(1);
  EXPECT_EQ(ConvertedRecords(reader, path), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

// Entries sit at the reader's segment count, so the conversion's k-th
// segment finds the k-th entry even when one block started two segments.
TEST(IndexRun, EntriesKeepTheirFilePositions) {
  ToyLog log;
  log.Segment(1, 0, 0);
  log.Data(1);
  log.DoubleSegment(0, 1, 0);
  log.Data(1);
  log.Segment(1, 2, 0);
  log.Data(1);
  const std::string path = log.Save("double.log");
  ToyReader reader;
  Recorder hooks;
  IndexRun run(reader, WithInput(path), kItemTolvan, hooks);
  ASSERT_EQ(run.Run(), IndexOutcome::Completed);
  EXPECT_EQ(run.SegmentsFound(), 3);
  ASSERT_EQ(reader.SegmentNodes.Count(), 4);
  EXPECT_EQ(reader.SegmentNodes.Caption(1), "");  // the first of the pair was not noted
  EXPECT_EQ(reader.SegmentNodes.Caption(2), "08:01:00");
  EXPECT_EQ(reader.SegmentNodes.Caption(3), "08:02:00");
  reader.SegmentNodes.Toggle(3);
  EXPECT_EQ(ConvertedRecords(reader, path), (std::vector<int>{1, 2}));
}

// The command line's road: selecting the product indexes the log at once,
// a segment is left out, and the conversion writes the other two.
TEST(IndexRun, LeftOutSegmentIsMissingFromTheConvertedFile) {
  ToyLog log;
  log.Segment(1, 0, 0);
  log.Data(2);
  log.Segment(0, 1, 0);
  log.Data(2);
  log.Segment(1, 2, 0);
  log.Data(2);
  ToyReader reader;
  MainModel model([&](int item) -> Product* { return item == kItemTolvan ? &reader : nullptr; });
  Recorder hooks;
  model.onStartIndexing = [&](int item) {
    IndexRun(*model.CurrentReader(), model.Snapshot(), item, hooks).Run();
  };
  model.EditSettings().InputFilename = log.Save("cli.log");
  model.EditSettings().OutputFilename = test::TempPath("cli.out");
  model.EditSettings().FieldTitles = false;
  model.SetInputFormatGroup(kItemTolvan);
  ASSERT_EQ(reader.SegmentNodes.Count(), 3);
  ASSERT_EQ(model.GetSettings().AvailableBox.size(), 0u);
  model.EditSettings().SelectedBox = {"Record Number"};
  reader.SelectedFieldIds[0] = FieldCatalog::kRecordNumber;
  model.ToggleSegment(1);
  ASSERT_EQ(ConversionRun(reader, model.Snapshot(), hooks).Run(), RunOutcome::Completed);
  EXPECT_EQ(test::ReadFile(test::TempPath("cli.out")), "1\r\n2\r\n5\r\n6\r\n");
}

TEST(IndexRun, ProgressOnlyWhenWholePercentGrows) {
  ToyLog log;
  log.Segment(1, 0, 0);
  log.Data(999);  // 1000 blocks: each is a tenth of a percent
  const std::string path = log.Save("thousand.log");
  ToyReader reader;
  for (int pass = 0; pass < 2; ++pass) {  // indexing again shows the gauge again
    Recorder hooks;
    ASSERT_EQ(IndexRun(reader, WithInput(path), kItemTolvan, hooks).Run(), IndexOutcome::Completed);
    ASSERT_EQ(hooks.percents.size(), 102u);
    EXPECT_EQ(hooks.percents.front(), 0);
    for (int p = 1; p <= 100; ++p) EXPECT_EQ(hooks.percents[p], p);
    EXPECT_EQ(hooks.percents.back(), 0);  // the gauge is reset at the end
    EXPECT_EQ(reader.SegmentNodes.Count(), 1);
  }
}

TEST(IndexRun, SecondRunRebuildsTheTable) {
  ToyLog first;
  first.Segment(1, 0, 0);
  first.Segment(0, 0, 1);
  first.Segment(1, 0, 2);
  ToyLog second;
  second.Segment(0, 5, 0);
  ToyReader reader;
  Recorder hooks;
  IndexRun(reader, WithInput(first.Save("a.log")), kItemTolvan, hooks).Run();
  reader.SegmentNodes.Toggle(0);
  IndexRun(reader, WithInput(second.Save("b.log")), kItemTolvan, hooks).Run();
  EXPECT_EQ(reader.SegmentNodes.Count(), 1);
  EXPECT_EQ(reader.SegmentNodes.Caption(0), "08:05:00");
  EXPECT_EQ(reader.SegmentNodes.State(0), SegmentTable::kChecked);
}

TEST(IndexRun, SegmentsPastTheTableAreCountedAndStillConverted) {
  ToyLog log;
  const int segments = SegmentTable::kMaxSegments + 76;
  for (int i = 0; i < segments; ++i) {
    log.Segment(i % 2, i / 60 % 60, i % 60);
    log.Data(1);
  }
  const std::string path = log.Save("many.log");
  ToyReader reader;
  Recorder hooks;
  IndexRun run(reader, WithInput(path), kItemTolvan, hooks);
  int stored = 0, notStored = 0, lastIndex = -1;
  run.segmentAdded = [&](const IndexedSegment& s) {
    (s.stored ? stored : notStored)++;
    EXPECT_EQ(s.index, lastIndex + 1);
    lastIndex = s.index;
  };
  ASSERT_EQ(run.Run(), IndexOutcome::Completed);
  EXPECT_EQ(run.SegmentsFound(), segments);
  EXPECT_EQ(stored, SegmentTable::kMaxSegments);
  EXPECT_EQ(notStored, 76);
  EXPECT_EQ(reader.SegmentNodes.Count(), SegmentTable::kMaxSegments);

  reader.SegmentNodes.Toggle(0);
  reader.SegmentNodes.Toggle(SegmentTable::kMaxSegments - 1);
  reader.SegmentNodes.Toggle(SegmentTable::kMaxSegments);  // not stored: no effect
  const std::vector<int> converted = ConvertedRecords(reader, path);
  EXPECT_EQ(converted.size(), static_cast<size_t>(segments - 2));
  EXPECT_EQ(converted.front(), 2);
  EXPECT_EQ(converted.back(), segments);
}

TEST(IndexRun, EmptyFileGivesNoSegments) {
  const std::string path = ToyLog{}.Save("empty.log");
  ToyReader reader;
  Recorder hooks;
  IndexRun run(reader, WithInput(path), kItemZevCard, hooks);
  EXPECT_EQ(run.Run(), IndexOutcome::Completed);
  EXPECT_EQ(run.SegmentsFound(), 0);
  EXPECT_EQ(reader.SegmentNodes.Count(), 0);
  EXPECT_EQ(hooks.percents, (std::vector<int>{0, 0}));
  EXPECT_TRUE(hooks.messages.empty());
}

TEST(IndexRun, MissingFileReportsAndLeavesNoSegments) {
  ToyLog old;
  old.Segment(1, 0, 0);
  ToyReader reader;
  Recorder hooks;
  IndexRun(reader, WithInput(old.Save("old.log")), kItemTolvan, hooks).Run();
  ASSERT_EQ(reader.SegmentNodes.Count(), 1);

  Recorder failing;
  IndexRun run(reader, WithInput(test::TempPath("gone.log")), kItemTolvan, failing);
  EXPECT_EQ(run.Run(), IndexOutcome::InputFailed);
  ASSERT_EQ(failing.messages.size(), 1u);
  EXPECT_EQ(failing.messages[0].first, MessageKind::Error);
  EXPECT_EQ(failing.messages[0].second, "Input File Does Not Exist!");
  EXPECT_EQ(reader.SegmentNodes.Count(), 0);
}

TEST(IndexRun, StopEndsAfterTheCurrentBlock) {
  ToyLog log;
  for (int i = 0; i < 10; ++i) log.Segment(1, 0, i);
  const std::string path = log.Save("stop.log");
  ToyReader reader;
  Recorder hooks;
  hooks.stopAfter = 3;  // three blocks are processed
  IndexRun run(reader, WithInput(path), kItemTolvan, hooks);
  EXPECT_EQ(run.Run(), IndexOutcome::Stopped);
  EXPECT_EQ(run.SegmentsFound(), 3);
  EXPECT_FALSE(reader.Input.IsOpen());
  EXPECT_EQ(hooks.percents.back(), 0);
}

// The runs take their settings by value and hand the reader a pointer to
// them: whatever way a run ends, the reader must let go of it and of the log,
// or the next look at the reader's settings reads a run that is gone.
TEST(RunShape, EveryRunLetsGoOfTheReaderAndTheLog) {
  ToyLog log;
  log.Segment(1, 0, 0);
  log.Data(3);
  const std::string good = log.Save("shape.log");
  const std::string missing = test::TempPath("shape-missing.log");
  auto conversion = [](const std::string& input, const std::string& output) {
    return [input, output](ToyReader& reader, RunHooks& hooks) {
      Settings s = WithInput(input);
      s.OutputFilename = output;
      s.SelectedBox = {"Record Number"};
      reader.SelectedFieldIds[0] = FieldCatalog::kRecordNumber;
      return static_cast<int>(ConversionRun(reader, s, hooks).Run());
    };
  };
  auto indexing = [](const std::string& input) {
    return [input](ToyReader& reader, RunHooks& hooks) {
      return static_cast<int>(IndexRun(reader, WithInput(input), kItemTolvan, hooks).Run());
    };
  };
  auto gathering = [](const std::string& input) {
    return [input](ToyReader& reader, RunHooks& hooks) {
      return static_cast<int>(GatherRun(reader, WithInput(input), hooks).Run());
    };
  };
  const struct {
    const char* name;
    std::function<int(ToyReader&, RunHooks&)> run;
    int outcome;
  } cases[] = {
      {"conversion", conversion(good, test::TempPath("shape.out")),
       static_cast<int>(RunOutcome::Completed)},
      {"conversion, no log", conversion(missing, test::TempPath("shape.out")),
       static_cast<int>(RunOutcome::InputFailed)},
      {"conversion, no output", conversion(good, test::TempPath("no-folder/shape.out")),
       static_cast<int>(RunOutcome::OutputFailed)},
      {"indexing", indexing(good), static_cast<int>(IndexOutcome::Completed)},
      {"indexing, no log", indexing(missing), static_cast<int>(IndexOutcome::InputFailed)},
      {"gathering", gathering(good), static_cast<int>(GatherOutcome::Completed)},
      {"gathering, no log", gathering(missing), static_cast<int>(GatherOutcome::InputFailed)},
  };
  for (const auto& c : cases) {
    ToyReader reader;
    Recorder hooks;
    EXPECT_EQ(c.run(reader, hooks), c.outcome) << c.name;
    EXPECT_EQ(reader.attached, nullptr) << c.name;
    EXPECT_FALSE(reader.Input.IsOpen()) << c.name;
  }
}

TEST(IndexRun, TopLevelNodesPerProduct) {
  using Nodes = std::vector<std::pair<int, std::string>>;
  auto nodes = [](int item) {
    Nodes out;
    for (const auto& n : TopLevelNodes(item)) out.emplace_back(n.type, n.caption);
    return out;
  };
  const Nodes tolvan = {{1, "Scan Data"}, {0, "Fast Data"}};
  const Nodes zev = {{4, "C/I Ratio"},
                     {5, "Adjacent Channel"},
                     {6, "1 Channel"},
                     {7, "20 Channel"},
                     {21, "80 Channel"},
                     {8, "Variable Sweep"},
                     {9, "1 MHz Sweep"},
                     {10, "POCSAG"},
                     {11, "Fast Fade"},
                     {12, "Strongest AB"},
                     {13, "Co-Channel Control"},
                     {14, "Group"},
                     {15, "Follow"},
                     {16, "BER"},
                     {17, "System"},
                     {18, "FLEX Paging"}};
  const Nodes skarn = {{1, "Scan Data"}, {2, "1 Channel Data"}, {3, "3 Channel Data"}};
  const Nodes brisel = {{19, "Single Frequency"}, {20, "List Data"}, {1, "Table Data"}};
  EXPECT_EQ(nodes(1), tolvan);
  EXPECT_EQ(nodes(2), tolvan);
  EXPECT_EQ(nodes(7), tolvan);
  EXPECT_EQ(nodes(3), zev);
  EXPECT_EQ(nodes(4), zev);
  EXPECT_EQ(nodes(5), skarn);
  EXPECT_EQ(nodes(8), brisel);
  EXPECT_EQ(nodes(9), brisel);
  EXPECT_TRUE(nodes(0).empty());
  EXPECT_TRUE(nodes(6).empty());
  EXPECT_TRUE(nodes(-1).empty());
  // Node captions agree with the type captions.
  for (int item = 1; item < kProductItems; ++item)
    for (const auto& n : TopLevelNodes(item))
      EXPECT_STREQ(n.caption, SegmentTypeCaption(n.type, item >= kItemBrisel));
  EXPECT_STREQ(SegmentTypeCaption(1, false), "Scan Data");
  EXPECT_STREQ(SegmentTypeCaption(22, false), "");
}

}  // namespace
}  // namespace morphel
