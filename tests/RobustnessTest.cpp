// Bad input of every kind: wrong command lines, an output that would overwrite
// the log, split parts that lead back to the output or the log, damaged logs
// and their damage summary, and the inputs the fuzz harnesses once failed on.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "fuzz/FuzzTargets.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempPath;
using test::WriteFile;

struct Result {
  int status;
  std::string err;  // stderr only
};

Result Morphel(const std::string& args) {
  const std::string cmd = std::string(MORPHEL_BINARY) + " " + args + " 2>&1 >/dev/null";
  Result r{-1, {}};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  size_t n = 0;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.err.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string Sample(const std::string& product, const std::string& name, int seconds) {
  const std::string path = TempPath(name);
  if (!test::FileExists(path)) {
    Result r = Morphel("sample --product " + product + " -o " + path + " --seconds " +
                       std::to_string(seconds) + " --seed 5");
    EXPECT_EQ(r.status, 0) << r.err;
  }
  return path;
}

// --- Command lines ----------------------------------------------------------

struct BadLine {
  const char* args;   // $LOG is a Tolvan log, $VLOG a Velmar log, $OUT an output name
  const char* named;  // the bad value the message must name
};

const BadLine kBadLines[] = {
    {"convert $LOG -o $OUT --product nosuch", "'nosuch'"},
    {"convert $LOG -o $OUT --product 6", "'6'"},
    {"convert $LOG -o $OUT --format nosuch", "'nosuch'"},
    {"convert $LOG -o $OUT --format 13", "'13'"},
    {"convert $LOG -o $OUT --fields 'No Such Field'", "'No Such Field'"},
    {"convert $LOG -o $OUT --fields 999", "'999'"},
    {"convert $LOG -o $OUT --fields 18,-1", "'-1'"},
    {"convert $LOG -o $OUT --receivers 5", "'5'"},
    {"convert $LOG -o $OUT --receivers 1,x", "'x'"},
    {"convert $LOG -o $OUT --receivers 0", "'0'"},
    {"convert $VLOG -o $OUT --receivers 3", "receiver 3"},
    {"convert $LOG -o $OUT --data freq,bogus", "'bogus'"},
    {"convert $LOG -o $OUT --data sat", "SAT/DCC"},
    {"convert $LOG -o $OUT --delimiter ab", "'ab'"},
    {"convert $LOG -o $OUT --reduce some", "'some'"},
    {"convert $LOG -o $OUT --average fast", "'fast'"},
    {"convert $LOG -o $OUT --scan-type deep", "'deep'"},
    {"convert $LOG -o $OUT --per-seconds 0", "--per-seconds"},
    {"convert $LOG -o $OUT --per-seconds abc", "abc"},
    {"convert $LOG -o $OUT --speed -3", "--speed"},
    {"convert $LOG -o $OUT --speed fast", "fast"},
    {"convert $LOG -o $OUT --fields 18 --exclude-segments 99999", "'99999'"},
    {"convert $LOG -o $OUT --fields 18 --exclude-segments 0", "'0'"},
    {"convert $LOG -o $OUT --fields 18 --exclude-segments 1,two", "'two'"},
    {"convert $LOG -o $OUT --frozen-clock soon", "soon"},
    {"convert $LOG -o $OUT --no-such-option", "--no-such-option"},
    {"convert $LOG -o $OUT --header --no-header", "--no-header"},
    {"sample --product nosuch -o $OUT", "'nosuch'"},
    {"sample --product tolvan -o $OUT --seconds -1", "--seconds"},
    {"index $LOG --product nosuch", "'nosuch'"},
    {"fields --product nosuch", "'nosuch'"},
    {"frobnicate", "frobnicate"},
};

class BadCommandLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadCommandLine, IsOneLineNamingTheValueAndExitTwo) {
  static const std::string log = Sample("tolvan", "robust.tlf", 3);
  static const std::string vlog = Sample("velmar", "robust.vlf", 3);
  static int n = 0;
  const std::string out = TempPath("bad-" + std::to_string(++n) + ".out");
  std::string args = GetParam().args;
  for (auto [key, value] :
       {std::pair<std::string, std::string>{"$LOG", log}, {"$VLOG", vlog}, {"$OUT", out}}) {
    for (size_t at = args.find(key); at != std::string::npos; at = args.find(key))
      args.replace(at, key.size(), value);
  }
  Result r = Morphel(args);
  EXPECT_EQ(r.status, 2) << args << "\n" << r.err;
  EXPECT_NE(r.err.find(GetParam().named), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_FALSE(test::FileExists(out)) << "nothing may be written for " << args;
}

INSTANTIATE_TEST_SUITE_P(Cli, BadCommandLine, ::testing::ValuesIn(kBadLines));

// --- The output is the log --------------------------------------------------

class SameFile : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = TempPath("same-" + std::to_string(++count_) + ".tlf");
    fs::copy_file(Sample("tolvan", "robust.tlf", 3), log_);
    bytes_ = ReadFile(log_);
  }
  void ExpectRefused(const std::string& output, const std::string& extra = "") {
    Result r = Morphel("convert " + log_ + " -o " + output + " --fields 18" + extra);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "Error: Output File Is The Input File!\n");
    EXPECT_EQ(ReadFile(log_), bytes_) << "the log must stay as it was";
  }
  std::string log_;
  std::string bytes_;
  static int count_;
};
int SameFile::count_ = 0;

TEST_F(SameFile, SameNameIsRefused) {
  ExpectRefused(log_);
}

TEST_F(SameFile, AnotherSpellingIsRefused) {
  ExpectRefused(TempPath(".") + "/./" + fs::path(log_).filename().string());
}

TEST_F(SameFile, HardLinkIsRefused) {
  const std::string link = TempPath("hard-" + std::to_string(count_) + ".out");
  fs::create_hard_link(log_, link);
  ExpectRefused(link);
}

TEST_F(SameFile, SymbolicLinkIsRefused) {
  const std::string link = TempPath("soft-" + std::to_string(count_) + ".out");
  fs::create_symlink(log_, link);
  ExpectRefused(link);
}

TEST_F(SameFile, DefaultOutputNameOfADotOutLogIsAnotherFile) {
  // Replacing the extension of a log named x.out would give the log itself:
  // the default name is x.out.out instead.
  const std::string log = TempPath("already.out");
  fs::copy_file(log_, log);
  Result r = Morphel("convert -q " + log + " --fields 18");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(log), bytes_);
  EXPECT_TRUE(test::FileExists(log + ".out"));
}

TEST_F(SameFile, PathViewSideFileOverTheLogIsRefused) {
  // PathView writes <output cut at its first dot>.MDF beside the output.
  const std::string log = TempPath("side.MDF");
  fs::copy_file(log_, log);
  Result r = Morphel("convert " + log + " --product tolvan -o " + TempPath("side.pv.out") +
                     " --format pathpro");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Output File Is The Input File!\n");
  EXPECT_EQ(ReadFile(log), bytes_);
  EXPECT_FALSE(test::FileExists(TempPath("side.pv.out")));
}

TEST_F(SameFile, ADifferentFileIsConverted) {
  Result r = Morphel("convert -q " + log_ + " -o " + log_ + ".out --fields 18");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(log_), bytes_);
}

// --- Excel split parts ------------------------------------------------------

// A reader that hands out one record per block for a given number of blocks.
class CountingReader : public Product {
 public:
  int blocks = 0;
  int left = 0;
  int Open(const std::string& path) override {
    left = blocks;
    return Product::Open(path);
  }
  int64_t ReadBlock(Block& b) override {
    if (left == 0) return 0;
    --left;
    b.assign(1, 0);
    return 1;
  }
  int ProcessBlock(Block&) override {
    PendingRecordCount = 1;
    return kRecordsReady;
  }
  void FormatField(int, std::string& out) override { out = std::to_string(RecordCounter); }
};

struct CollectingHooks : RunHooks {
  std::vector<std::string> errors;
  void report(MessageKind kind, const std::string& text) override {
    if (kind == MessageKind::Error) errors.push_back(text);
  }
};

class SplitParts : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempPath("split-" + std::to_string(++count_));
    fs::create_directory(dir_);
    input_ = dir_ + "/log.bin";
    WriteFile(input_, std::string("the log"));
    reader_.blocks = ConversionRun::kExcelLines + 5;
    reader_.SetSelectedFields({32});
    s_.InputFilename = input_;
    s_.OutputFilename = dir_ + "/conv.out";
    s_.SelectedBox = {"Record Number"};
    s_.FieldTitles = false;
    s_.cbSplit = true;
    fs::create_directory(dir_ + "/conv");
  }
  RunOutcome Convert() {
    ConversionRun run(reader_, s_, hooks_);
    return run.Run();
  }
  std::string dir_, input_;
  CountingReader reader_;
  Settings s_;
  CollectingHooks hooks_;
  static int count_;
};
int SplitParts::count_ = 0;

TEST_F(SplitParts, APartLinkedToTheOutputIsRefused) {
  fs::create_symlink(dir_ + "/conv.out", dir_ + "/conv/conv-1.out");
  EXPECT_EQ(Convert(), RunOutcome::OutputFailed);
  ASSERT_EQ(hooks_.errors.size(), 1u);
  EXPECT_EQ(hooks_.errors[0], "Split File Cannot Be Accessed!");
  // The output keeps every record.
  const std::string out = ReadFile(dir_ + "/conv.out");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), ConversionRun::kExcelLines + 5);
}

TEST_F(SplitParts, APartLinkedToTheLogIsRefused) {
  fs::create_symlink(dir_ + "/conv.out", dir_ + "/conv/conv-1.out");
  fs::remove(dir_ + "/conv/conv-1.out");
  fs::create_hard_link(input_, dir_ + "/conv/conv-2.out");
  EXPECT_EQ(Convert(), RunOutcome::OutputFailed);
  ASSERT_EQ(hooks_.errors.size(), 1u);
  EXPECT_EQ(hooks_.errors[0], "Split File Cannot Be Accessed!");
  EXPECT_EQ(ReadFile(input_), "the log");
  // Part 1 was finished before part 2 was refused.
  const std::string part = ReadFile(dir_ + "/conv/conv-1.out");
  EXPECT_EQ(std::count(part.begin(), part.end(), '\n'), ConversionRun::kExcelLines);
}

TEST_F(SplitParts, AWriteFailureInAPartIsNoSuccess) {
  if (!test::FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  fs::create_symlink("/dev/full", dir_ + "/conv/conv-2.out");
  EXPECT_EQ(Convert(), RunOutcome::OutputFailed);
  ASSERT_EQ(hooks_.errors.size(), 1u);
  EXPECT_EQ(hooks_.errors[0], "Split File Cannot Be Accessed!");
}

TEST_F(SplitParts, TheLogAsOutputIsRefusedBeforeAnythingIsWritten) {
  s_.OutputFilename = input_;
  EXPECT_EQ(Convert(), RunOutcome::OutputFailed);
  ASSERT_EQ(hooks_.errors.size(), 1u);
  EXPECT_EQ(hooks_.errors[0], ConversionRun::kOutputIsInput);
  EXPECT_EQ(ReadFile(input_), "the log");
}

// --- Damaged logs -----------------------------------------------------------

struct DamagedProduct {
  const char* product;
  const char* name;
};

const DamagedProduct kDamaged[] = {
    {"tolvan", "dmg.tlf"},   {"velmar", "dmg.vlf"},       {"zev-card", "dmg.bin"},
    {"zev-dump", "dmg.zev"}, {"skarn", "dmg.slf"},        {"tolvan-new", "dmg2.tlf"},
    {"brisel", "dmg.blf"},   {"brisel-card", "dmgc.blf"},
};

class DamageSummary : public ::testing::TestWithParam<DamagedProduct> {};

bool HasSummary(const std::string& err) {
  return err.find("morphel: damaged log: ") != std::string::npos;
}

TEST_P(DamageSummary, ConvertAndIndexReportWhatWasSkipped) {
  const DamagedProduct& p = GetParam();
  const std::string log = Sample(p.product, p.name, 4);
  const std::string bytes = ReadFile(log);
  const std::string flags = std::string(" --product ") + p.product;
  // The whole log: no summary.
  Result whole = Morphel("convert -q " + log + flags + " -o " + log + ".out --fields 0");
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_FALSE(HasSummary(whole.err)) << whole.err;

  // Garbage in the middle and a last block cut short.
  std::string damaged = bytes.substr(0, bytes.size() / 2) + std::string(9, '\xFF') +
                        bytes.substr(bytes.size() / 2, bytes.size() - bytes.size() / 2 - 1);
  const std::string bad = log + ".damaged";
  WriteFile(bad, damaged);
  Result conv = Morphel("convert -q " + bad + flags + " -o " + bad + ".out --fields 0");
  EXPECT_EQ(conv.status, 0) << conv.err;
  EXPECT_TRUE(HasSummary(conv.err)) << p.product << ": " << conv.err;
  EXPECT_EQ(std::count(conv.err.begin(), conv.err.end(), '\n'), 1) << conv.err;
  Result index = Morphel("index " + bad + flags);
  EXPECT_EQ(index.status, 0) << index.err;
  EXPECT_TRUE(HasSummary(index.err)) << p.product << ": " << index.err;
}

TEST_P(DamageSummary, ReaderCountsACutLastBlock) {
  const DamagedProduct& p = GetParam();
  const std::string log = Sample(p.product, p.name, 4);
  const std::string bytes = ReadFile(log);
  const std::string cut = log + ".cut";
  WriteFile(cut, bytes.substr(0, bytes.size() - 1));
  const ProductRow* info = ProductRowByName(p.product);
  ASSERT_NE(info, nullptr);
  std::unique_ptr<Product> reader = CreateReader(info->Number());
  ASSERT_NE(reader, nullptr);
  Settings s;
  s.InputFilename = cut;
  fuzz::SilentHooks hooks;
  IndexRun run(*reader, s, info->Number(), hooks);
  ASSERT_EQ(run.Run(), IndexOutcome::Completed);
  EXPECT_TRUE(reader->Damage.Any()) << p.product;
  // Skipped bytes never exceed what the file holds.
  EXPECT_LE(reader->Damage.resyncBytes, bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Readers, DamageSummary, ::testing::ValuesIn(kDamaged),
                         [](const ::testing::TestParamInfo<DamagedProduct>& p) {
                           std::string name = p.param.product;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// --- Fuzz regressions -------------------------------------------------------

// Every input a harness once failed on (tests/fuzz-regressions/<harness>/)
// goes through the same harness body again; a failure aborts or trips the
// sanitizers of a sanitized build.
int Replay(const std::string& harness, const std::vector<uint8_t>& bytes) {
  static const std::vector<std::pair<std::string, int>> kReaders = {
      {"tolvan", kItemTolvan},    {"velmar", kItemVelmar}, {"zev_card", kItemZevCard},
      {"zev_dump", kItemZevDump}, {"skarn", kItemSkarn},   {"tolvan2", kItemTolvanNew},
      {"brisel", kItemBrisel}};
  for (const auto& [name, item] : kReaders)
    if (harness == name) return fuzz::FuzzReader(item, bytes.data(), bytes.size());
  if (harness == "detect") return fuzz::FuzzDetect(bytes.data(), bytes.size());
  if (harness == "pocsag") return fuzz::FuzzPocsag(bytes.data(), bytes.size());
  if (harness == "flex") return fuzz::FuzzFlex(bytes.data(), bytes.size());
  if (harness == "gps") return fuzz::FuzzGps(bytes.data(), bytes.size());
  if (harness == "config") return fuzz::FuzzConfig(bytes.data(), bytes.size());
  return -1;
}

TEST(FuzzRegressions, EverySavedInputRunsCleanly) {
  const fs::path root = test::SourcePath("tests/fuzz-regressions");
  int replayed = 0;
  for (const auto& dir : fs::directory_iterator(root)) {
    if (!dir.is_directory()) continue;
    const std::string harness = dir.path().filename().string();
    for (const auto& file : fs::directory_iterator(dir.path())) {
      if (!file.is_regular_file() || file.path().filename().string()[0] == '.') continue;
      const std::string text = ReadFile(file.path().string());
      const std::vector<uint8_t> bytes(text.begin(), text.end());
      SCOPED_TRACE(file.path().string());
      EXPECT_EQ(Replay(harness, bytes), 0) << "no harness named " << harness;
      ++replayed;
    }
  }
  std::printf("replayed %d saved inputs\n", replayed);
}

}  // namespace
}  // namespace morphel
