// The conversion run against a scripted reader: title and record lines,
// delimiters, native layouts, cancel, progress, the Excel split and the
// failure paths.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>

#include "app/ConversionRun.h"
#include "products/FormatTable.h"
#include "products/LogPass.h"
#include "products/ProductTable.h"
#include "products/Readers.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using test::ReadFile;
using test::TempPath;
using test::WriteFile;

// A reader whose blocks come from a script: each step consumes some bytes and
// answers a ProcessBlock result with a number of pending records.
class ScriptedReader : public Product {
 public:
  struct Step {
    int64_t bytes;
    int result;
    int16_t pending;
  };
  std::deque<Step> script;
  std::deque<Step> running;
  int receivers = 2;  // data columns: one group per receiver
  std::vector<bool> receiverOn = {true, true};
  bool emptyFields = false;  // FormatField answers nothing
  int titleCounter = 0, valueCounter = 0;
  int record = 0;

  int Open(const std::string& path) override {
    running = script;
    record = 0;
    return Product::Open(path);
  }
  int64_t ReadBlock(Block& b) override {
    if (running.empty()) return 0;
    b.assign(1, 0);
    return running.front().bytes;
  }
  int ProcessBlock(Block&) override {
    Step s = running.front();
    running.pop_front();
    PendingRecordCount = s.pending;
    ++record;
    return s.result;
  }
  int WriteDataTitles(int next, std::string& out, char delimiter) override {
    out.clear();
    if (!TitlePending) return -1;
    if (next == 0) titleCounter = 0;
    if (titleCounter >= receivers) return -1;
    int r = titleCounter++;
    if (titleCounter == receivers) TitlePending = 0;
    if (!receiverOn[static_cast<size_t>(r)]) return 1;
    out = "\"F" + std::to_string(r + 1) + "\"" + delimiter + "\"R" + std::to_string(r + 1) + "\"";
    return 0;
  }
  int FormatDataValues(int next, std::string& out, char delimiter) override {
    out.clear();
    if (next == 0) valueCounter = 0;
    if (valueCounter >= receivers) return -1;
    int r = valueCounter++;
    if (!receiverOn[static_cast<size_t>(r)]) return 1;
    out = std::to_string(800 + r) + delimiter + "-" + std::to_string(60 + record);
    return 0;
  }
  void FormatField(int id, std::string& out) override {
    out.clear();
    if (emptyFields) return;
    if (id == 32) {
      out = std::to_string(RecordCounter);
    } else {
      out = "f" + std::to_string(id);
    }
  }
  int WriteFormatHeader(std::string& out) override {
    out = "HEAD\n";
    return static_cast<int>(out.size());
  }
  int WriteFormatRecord(std::string& out) override {
    out = "rec" + std::to_string(record) + "\n";
    return static_cast<int>(out.size());
  }
  int WriteFormatTrailer(std::string& out) override {
    out = "TAIL\n";
    return static_cast<int>(out.size());
  }
};

class Hooks : public RunHooks {
 public:
  std::vector<int> percents;
  std::vector<std::pair<MessageKind, std::string>> messages;
  std::vector<std::string> details;
  int stopAfter = -1;  // stop once this many blocks were asked about
  int asked = 0;
  void progress(int p) override { percents.push_back(p); }
  void report(MessageKind k, const std::string& t) override { messages.emplace_back(k, t); }
  void reportDetail(MessageKind k, const std::string& t, const std::string& d) override {
    messages.emplace_back(k, t);
    details.push_back(d);
  }
  bool stopRequested() override { return stopAfter >= 0 && asked++ >= stopAfter; }
  std::string Last() const { return messages.empty() ? "" : messages.back().second; }
};

class ConversionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    input = TempPath("run-input.log");
    WriteFile(input, std::string(100, 'x'));
    s.InputFilename = input;
    s.OutputFilename = TempPath("run-output.out");
    s.InputFormatGroup = 1;
  }
  void Select(std::vector<std::pair<std::string, int>> fields) {
    std::vector<int> ids;
    s.SelectedBox.clear();
    for (auto& [name, id] : fields) {
      s.SelectedBox.push_back(name);
      ids.push_back(id);
    }
    reader.SetSelectedFields(ids);
  }
  RunOutcome Convert() {
    ConversionRun run(reader, s, hooks);
    return run.Run();
  }
  std::string Output() const { return ReadFile(s.OutputFilename); }

  std::string input;
  Settings s;
  ScriptedReader reader;
  Hooks hooks;
};

TEST_F(ConversionRunTest, TitleAndRecordsWithDataInEveryPosition) {
  reader.script = {{50, 1, 1}, {50, 1, 1}};
  struct Case {
    std::vector<std::pair<std::string, int>> fields;
    std::string expected;
  } cases[] = {
      {{{"<< DATA >>", 0}, {"A", 5}},
       "\"F1\",\"R1\",\"F2\",\"R2\",\"A\"\r\n800,-61,801,-61,f5\r\n800,-62,801,-62,f5\r\n"},
      {{{"A", 5}, {"<< DATA >>", 0}, {"B", 11}},
       "\"A\",\"F1\",\"R1\",\"F2\",\"R2\",\"B\"\r\nf5,800,-61,801,-61,f11\r\nf5,800,-62,801,-62,"
       "f11\r\n"},
      {{{"A", 5}, {"<< DATA >>", 0}},
       "\"A\",\"F1\",\"R1\",\"F2\",\"R2\"\r\nf5,800,-61,801,-61\r\nf5,800,-62,801,-62\r\n"},
  };
  for (const auto& c : cases) {
    Select(c.fields);
    ASSERT_EQ(Convert(), RunOutcome::Completed);
    EXPECT_EQ(Output(), c.expected);
  }
  EXPECT_EQ(hooks.Last(), "Conversion Has Been Completed!");
  EXPECT_EQ(hooks.messages.back().first, MessageKind::Information);
}

TEST_F(ConversionRunTest, DeselectedReceiversContributeNothing) {
  reader.script = {{100, 1, 1}};
  reader.receiverOn = {false, true};
  Select({{"A", 5}, {"<< DATA >>", 0}, {"B", 11}});
  Convert();
  EXPECT_EQ(Output(), "\"A\",\"F2\",\"R2\",\"B\"\r\nf5,801,-61,f11\r\n");

  reader.receiverOn = {false, false};
  Convert();
  // No text and no delimiter after an all-deselected << DATA >> entry.
  EXPECT_EQ(Output(), "\"A\",\"B\"\r\nf5,f11\r\n");
}

TEST_F(ConversionRunTest, EmptyFieldsKeepColumnsAndAllEmptyLineIsNotWritten) {
  reader.script = {{50, 1, 1}, {50, 1, 1}};
  reader.emptyFields = true;
  s.FieldTitles = false;
  Select({{"A", 5}, {"B", 11}, {"C", 12}});
  Convert();
  EXPECT_EQ(Output(), "");
  // Empty fields before and after the data keep their columns.
  Select({{"A", 5}, {"<< DATA >>", 0}, {"B", 11}});
  Convert();
  EXPECT_EQ(Output(), ",800,-61,801,-61,\r\n,800,-62,801,-62,\r\n");
}

TEST_F(ConversionRunTest, PendingCountWritesThatManyRecordsAndCountsThem) {
  reader.script = {{30, 1, 3}, {30, 0, 5}, {40, 1, 0}};
  s.FieldTitles = false;
  Select({{"Record Number", 32}});
  Convert();
  EXPECT_EQ(Output(), "1\r\n2\r\n3\r\n");
  EXPECT_EQ(reader.RecordCounter, 3);
}

TEST_F(ConversionRunTest, EveryDelimiter) {
  struct Case {
    int item;
    std::string other;
    char expected;
  } cases[] = {{0, "", ','},  {1, "", ';'},  {2, "", '\t'}, {3, "", ' '},
               {4, "|", '|'}, {4, "", '\0'}, {7, "", '@'}};
  reader.script = {{100, 1, 1}};
  s.FieldTitles = false;
  Select({{"A", 5}, {"B", 11}});
  for (const auto& c : cases) {
    s.DelimiterGroup = c.item;
    s.OtherDelimiter = c.other;
    Convert();
    EXPECT_EQ(Output(), std::string("f5") + c.expected + "f11\r\n") << c.item;
  }
}

TEST_F(ConversionRunTest, EdxLineComesFirstEvenWithTitles) {
  reader.script = {{100, 1, 1}};
  s.OutputFormatGroup = 1;
  Select({{"A", 5}});
  Convert();
  EXPECT_EQ(Output(), "5\r\n\"A\"\r\nf5\r\n");
}

TEST_F(ConversionRunTest, EmptyLogWritesOnlyTheTitleAndCompletes) {
  WriteFile(input, std::string());
  reader.script = {};
  s.OutputFormatGroup = 1;
  Select({{"A", 5}});
  EXPECT_EQ(Convert(), RunOutcome::Completed);
  EXPECT_EQ(Output(), "5\r\n\"A\"\r\n");
  EXPECT_EQ(hooks.Last(), "Conversion Has Been Completed!");
}

TEST_F(ConversionRunTest, BoundaryResultsWriteTitlesForBoundaryProducts) {
  s.InputFormatGroup = 3;  // titles wait for the first segment boundary
  reader.receivers = 1;
  reader.receiverOn = {true};
  reader.script = {{10, 1, 1}, {10, 3, 0}, {10, 1, 1}, {10, 4, 1}};
  Select({{"A", 5}, {"<< DATA >>", 0}});
  Convert();
  EXPECT_EQ(
      Output(),
      "f5,800,-61\r\n\"A\",\"F1\",\"R1\"\r\nf5,800,-63\r\n\"A\",\"F1\",\"R1\"\r\nf5,800,-64\r\n");
}

TEST_F(ConversionRunTest, CancelKeepsWrittenLinesAndStillCompletes) {
  reader.script = {{10, 1, 1}, {10, 1, 1}, {10, 1, 1}, {10, 1, 1}};
  hooks.stopAfter = 2;
  s.FieldTitles = false;
  Select({{"Record Number", 32}});
  EXPECT_EQ(Convert(), RunOutcome::Completed);
  EXPECT_EQ(Output(), "1\r\n2\r\n");
  EXPECT_EQ(hooks.Last(), "Conversion Has Been Completed!");
}

TEST_F(ConversionRunTest, StoppedRunSaysWhereItStoppedAndKeepsItsGauge) {
  WriteFile(input, std::string(40, 'x'));
  reader.script = {{10, 1, 1}, {10, 1, 1}, {10, 1, 1}, {10, 1, 1}};
  hooks.stopAfter = 2;
  s.FieldTitles = false;
  Select({{"Record Number", 32}});
  ConversionRun run(reader, s, hooks);
  run.CompletionOnlyWhenWhole(true);
  EXPECT_EQ(run.Run(), RunOutcome::Completed);
  EXPECT_EQ(Output(), "1\r\n2\r\n");
  EXPECT_TRUE(run.Summary().stopped);
  EXPECT_EQ(run.Summary().dataRecords, 2);
  EXPECT_EQ(run.Summary().percent, 50);
  // The gauge is left at 50 % and nothing claims completion.
  EXPECT_EQ(hooks.percents.back(), 50);
  EXPECT_TRUE(hooks.messages.empty());
}

TEST_F(ConversionRunTest, EmptyResultsNameTheirLikelyReason) {
  struct Case {
    const char* name;
    std::deque<ScriptedReader::Step> script;
    std::vector<bool> receiversOn;
    bool emptyFields;
    std::string reason;
  } cases[] = {
      {"no record decoded",
       {{50, 0, 0}, {50, 0, 0}},
       {true, true},
       false,
       "no data record was written: the QVR Tolvan reader found no measurement record in it"},
      {"every field empty",
       {{50, 1, 1}},
       {true, true},
       true,
       "no data record was written: every selected field is empty for every record"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    reader.script = c.script;
    reader.receiverOn = c.receiversOn;
    reader.emptyFields = c.emptyFields;
    s.FieldTitles = false;
    Select({{"A", 5}});
    hooks.messages.clear();
    ConversionRun run(reader, s, hooks);
    run.CompletionOnlyWhenWhole(true);
    EXPECT_EQ(run.Run(), RunOutcome::Completed);
    EXPECT_EQ(run.Summary().dataRecords, 0);
    EXPECT_EQ(run.EmptyResultReason(), c.reason);
    EXPECT_TRUE(hooks.messages.empty()) << "an empty result never reads as a completion";
  }
  // The window keeps its completion message; a run that wrote rows has no
  // empty reason.
  reader.script = {{50, 1, 1}};
  reader.emptyFields = false;
  ConversionRun run(reader, s, hooks);
  run.Run();
  EXPECT_EQ(hooks.Last(), "Conversion Has Been Completed!");
  EXPECT_EQ(run.EmptyResultReason(), "");
}

TEST_F(ConversionRunTest, NothingToConvertIsRefusedBeforeTheOutputIsTouched) {
  WriteFile(s.OutputFilename, std::string("an earlier, good output"));
  // Delimited rows with no field selected (a preset that empties the list).
  Select({});
  EXPECT_EQ(Convert(), RunOutcome::Refused);
  EXPECT_EQ(hooks.messages.back().first, MessageKind::Warning);
  EXPECT_EQ(Output(), "an earlier, good output");
  // A layout the product does not write.
  s.NativeFormat = true;
  s.OutputFormatGroup = 12;
  EXPECT_EQ(Convert(), RunOutcome::Refused);
  EXPECT_EQ(hooks.messages.back().first, MessageKind::Error);
  EXPECT_EQ(hooks.Last(),
            "QVR Tolvan has no Wireless Valley InFielder layout; it is written for "
            "QVR Zev (PC CARD), QVR Zev (PC DUMP).");
  EXPECT_EQ(Output(), "an earlier, good output");
  EXPECT_FALSE(reader.Input.IsOpen());
}

TEST_F(ConversionRunTest, FileErrorsCarryThePathAndTheSystemsReason) {
  Select({{"A", 5}});
  struct Case {
    std::string input, output, message, detail;
  } cases[] = {
      {TempPath("no-such.tlf"), s.OutputFilename, "Input File Does Not Exist!",
       TempPath("no-such.tlf") + ": No such file or directory"},
      {test::TempDir(), s.OutputFilename, "Input File Does Not Exist!",
       test::TempDir() + ": Is a directory"},
      {input, TempPath("missing-dir/x.out"), "Output File Cannot Be Accessed!",
       TempPath("missing-dir/x.out") + ": No such file or directory"},
  };
  for (const auto& c : cases) {
    s.InputFilename = c.input;
    s.OutputFilename = c.output;
    hooks.details.clear();
    Convert();
    EXPECT_EQ(hooks.Last(), c.message);
    ASSERT_EQ(hooks.details.size(), 1u);
    EXPECT_EQ(hooks.details[0], c.detail);
  }
}

TEST_F(ConversionRunTest, AReadErrorPartWayIsNoCompletion) {
  // The kernel answers a read at address 0 of a process's memory with an I/O
  // error, after the file opened as a plain one.
  std::unique_ptr<Product> tolvan = CreateReader(kItemTolvan);
  ASSERT_NE(tolvan, nullptr);
  tolvan->SetSelectedFields({18});
  s.SelectedBox = {"GPS Time (HH:MM:SS)"};
  s.InputFilename = "/proc/self/mem";
  ConversionRun run(*tolvan, s, hooks);
  EXPECT_EQ(run.Run(), RunOutcome::InputFailed);
  EXPECT_EQ(hooks.Last(), kInputUnreadable);
  ASSERT_EQ(hooks.details.size(), 1u);
  EXPECT_EQ(hooks.details[0], "/proc/self/mem: Input/output error");
}

TEST_F(ConversionRunTest, OutputToAnOpenDescriptorLeavesItOpen) {
  reader.script = {{50, 1, 1}, {50, 1, 1}};
  s.FieldTitles = false;
  Select({{"Record Number", 32}});
  const std::string target = TempPath("descriptor.out");
  WriteFile(target, std::string("kept\r\n"));
  const int fd = ::open(target.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  s.OutputFilename = "-";
  ConversionRun run(reader, s, hooks);
  run.OutputTo(fd);
  EXPECT_EQ(run.Run(), RunOutcome::Completed);
  EXPECT_EQ(::write(fd, "after\r\n", 7), 7) << "the descriptor is still open";
  ::close(fd);
  EXPECT_EQ(ReadFile(target), "kept\r\n1\r\n2\r\nafter\r\n");
  EXPECT_FALSE(test::FileExists(TempPath("-")));

  // Appended to the log being read, it would be read back as it grows.
  const int self = ::open(input.c_str(), O_WRONLY | O_APPEND);
  ConversionRun onto(reader, s, hooks);
  onto.OutputTo(self);
  EXPECT_EQ(onto.Run(), RunOutcome::OutputFailed);
  EXPECT_EQ(hooks.Last(), ConversionRun::kOutputIsInput);
  ::close(self);
  EXPECT_EQ(ReadFile(input), std::string(100, 'x'));
}

TEST_F(ConversionRunTest, ProgressChangesOnlyOnWholePercent) {
  WriteFile(input, std::string(400, 'x'));
  for (int i = 0; i < 400; ++i) reader.script.push_back({1, 0, 0});
  s.FieldTitles = false;
  Select({{"A", 5}});
  Convert();
  // 0..100 once each as the 400 one-byte blocks go by, then 100 again for
  // the closing steps (after close and before the completion message).
  ASSERT_EQ(hooks.percents.size(), 103u);
  for (int i = 0; i <= 100; ++i) EXPECT_EQ(hooks.percents[static_cast<size_t>(i)], i);
  EXPECT_EQ(hooks.percents[101], 100);
}

TEST_F(ConversionRunTest, NativeModeWritesHeaderRecordsTrailerAndCountsNoRecords) {
  reader.script = {{10, 1, 1}, {10, 1, 2}, {10, 3, 0}};
  s.NativeFormat = true;
  s.OutputFormatGroup = 7;
  s.cbSplit = true;
  Convert();
  EXPECT_EQ(Output(), "HEAD\r\nrec1\r\nrec2\r\nrec2\r\nTAIL\r\n");
  EXPECT_EQ(reader.RecordCounter, 0);
}

TEST_F(ConversionRunTest, PathViewOutputIsStoredByteForByte) {
  reader.script = {{10, 1, 1}};
  s.NativeFormat = true;
  s.OutputFormatGroup = 6;
  Convert();
  EXPECT_EQ(Output(), "HEAD\nrec1\nTAIL\n");
}

TEST_F(ConversionRunTest, MissingInputReportsAndWritesNothing) {
  s.InputFilename = TempPath("no-such-log.tlf");
  s.OutputFilename = TempPath("never-written.out");
  Select({{"A", 5}});
  EXPECT_EQ(Convert(), RunOutcome::InputFailed);
  EXPECT_EQ(hooks.Last(), "Input File Does Not Exist!");
  EXPECT_EQ(hooks.messages.back().first, MessageKind::Error);
  EXPECT_FALSE(test::FileExists(s.OutputFilename));
}

TEST_F(ConversionRunTest, UnopenableOutputReportsAndClosesTheLog) {
  s.OutputFilename = TempPath("no-such-dir/out.out");
  Select({{"A", 5}});
  EXPECT_EQ(Convert(), RunOutcome::OutputFailed);
  EXPECT_EQ(hooks.Last(), "Output File Cannot Be Accessed!");
  EXPECT_FALSE(reader.Input.IsOpen());
}

TEST_F(ConversionRunTest, FullDiskIsAnErrorNotACompletion) {
  for (int i = 0; i < 2000; ++i) reader.script.push_back({0, 1, 200});
  reader.script.push_back({100, 1, 1});
  s.OutputFilename = "/dev/full";
  Select({{"A", 5}, {"B", 11}});
  EXPECT_EQ(Convert(), RunOutcome::OutputFailed);
  ASSERT_EQ(hooks.messages.size(), 1u);
  EXPECT_EQ(hooks.Last(), "Output File Cannot Be Accessed!");
  EXPECT_EQ(hooks.details.back(), "/dev/full: No space left on device");
}

class ExcelSplitTest : public ConversionRunTest {
 protected:
  void Records(int count) {
    for (int left = count; left > 0; left -= 30000)
      reader.script.push_back({1, 1, static_cast<int16_t>(std::min(left, 30000))});
    s.FieldTitles = false;
    s.cbSplit = true;
    Select({{"Record Number", 32}});
  }
  std::string Part(int p) const {
    return ReadFile(TempPath("split/split-" + std::to_string(p) + ".out"));
  }
  static size_t Lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  }
};

TEST_F(ExcelSplitTest, NoSplitAtSixtyThousandRecords) {
  s.OutputFilename = TempPath("nosplit.out");
  Records(60000);
  EXPECT_EQ(Convert(), RunOutcome::Completed);
  EXPECT_FALSE(test::FileExists(TempPath("nosplit")));
}

TEST_F(ExcelSplitTest, PartsHoldSixtyThousandLinesEachAndTheOutputStays) {
  s.OutputFilename = TempPath("split.out");
  Records(120000);
  EXPECT_EQ(Convert(), RunOutcome::Completed);
  std::string whole = Output();
  std::string p1 = Part(1), p2 = Part(2);
  EXPECT_EQ(Lines(p1), 60000u);
  EXPECT_EQ(Lines(p2), 60000u);
  EXPECT_TRUE(test::FileExists(TempPath("split/split-3.out")));
  EXPECT_EQ(Part(3), "");
  EXPECT_EQ(p1 + p2, whole);
  EXPECT_EQ(p2.substr(0, 7), "60001\r\n");
  EXPECT_EQ(hooks.Last(), "Conversion Has Been Completed!");
}

TEST_F(ExcelSplitTest, OneRecordOverTheLimitSplitsIntoTwoParts) {
  s.OutputFilename = TempPath("split.out");
  Records(60001);
  Convert();
  EXPECT_EQ(Lines(Part(1)), 60000u);
  EXPECT_EQ(Part(2), "60001\r\n");
}

TEST_F(ExcelSplitTest, AFileInTheWayOfTheFolderIsAnError) {
  s.OutputFilename = TempPath("blocked.out");
  WriteFile(TempPath("blocked"), std::string("keep me"));
  Records(60001);
  EXPECT_EQ(Convert(), RunOutcome::SplitFailed);
  EXPECT_EQ(hooks.Last(), "Cannot create directory.");
  EXPECT_EQ(ReadFile(TempPath("blocked")), "keep me");
}

TEST(ConversionRunRules, AverageModeFirstMatchWins) {
  Settings s;
  EXPECT_EQ(ConversionRun::AverageModeFor(s), 0);
  s.BSAvg = true;
  EXPECT_EQ(ConversionRun::AverageModeFor(s), 3);
  s.LambdaAvg = true;
  EXPECT_EQ(ConversionRun::AverageModeFor(s), 1);
  Settings t;
  t.rbORPS = true;
  EXPECT_EQ(ConversionRun::AverageModeFor(t), 4);
  t.rbORPM = true;
  EXPECT_EQ(ConversionRun::AverageModeFor(t), 2);
}

}  // namespace
}  // namespace morphel
