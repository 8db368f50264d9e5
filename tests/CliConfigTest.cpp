// Saved set-ups and the equivalent command line, as a user runs them.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "app/Configuration.h"
#include "app/ConversionRun.h"
#include "app/MainModel.h"
#include "cli/CommandLine.h"
#include "index/IndexRun.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

struct Result {
  int status;
  std::string out;  // stdout and stderr together
};

// Runs a shell command line; "morphel" at its start is the binary under test.
Result Shell(const std::string& line) {
  std::string cmd = line;
  if (cmd.rfind("morphel ", 0) == 0) cmd = std::string(MORPHEL_BINARY) + cmd.substr(7);
  cmd += " 2>&1";
  Result r{-1, {}};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  size_t n = 0;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

Result Morphel(const std::string& args) {
  return Shell("morphel " + args);
}

std::string Sample(const std::string& product, const std::string& name) {
  const std::string path = test::TempPath(name);
  Result r =
      Morphel("sample --product " + product + " -o " + ShellWord(path) + " --seconds 12 --seed 9");
  EXPECT_EQ(r.status, 0) << r.out;
  return path;
}

TEST(ShellWord, QuotesWhatAShellWouldReadOtherwise) {
  struct Case {
    const char* word;
    const char* quoted;
  } cases[] = {
      {"run7.tlf", "run7.tlf"},
      {"/data/a-b_c,1:2@x%+=", "/data/a-b_c,1:2@x%+="},
      {"", "''"},
      {"a b", "'a b'"},
      {"it's", "'it'\\''s'"},
      {"<< DATA >>", "'<< DATA >>'"},
      {"$HOME", "'$HOME'"},
      {"a;rm -rf x", "'a;rm -rf x'"},
      {"\t", "'\t'"},
      {"*", "'*'"},
      {"~", "'~'"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShellWord(c.word), c.quoted) << c.word;
  // Whatever the word, the shell gives it back unchanged.
  for (const std::string word : {"it's a \"test\"", "back\\slash", "new\nline", "`x` $(y)"}) {
    Result r = Shell("printf '%s' " + ShellWord(word));
    EXPECT_EQ(r.out, word);
  }
}

// A model set up for a log as browsing it does.
struct LogSetup {
  MainModel model;
  explicit LogSetup(const std::string& log, int item) {
    Settings& s = model.EditSettings();
    s.InputFilename = log;
    model.SetInputFormatGroup(kItemNone);
    model.SetInputFormatGroup(item);
    s.FrozenClock = 0;
  }
  void Select(std::initializer_list<int> ids) {
    model.DeselectAllClick();
    const std::vector<int> available = model.CurrentReader()->AvailableFields();
    for (int id : ids)
      for (size_t a = 0; a < available.size(); ++a)
        if (available[a] == id) model.SelectClick(static_cast<int>(a));
  }
  // Converts straight from the model into `out`.
  void Convert(const std::string& out) {
    model.EditSettings().OutputFilename = out;
    RunHooks quiet;
    ConversionRun run(*model.CurrentReader(), model.Snapshot(), quiet);
    ASSERT_EQ(run.Run(), RunOutcome::Completed);
  }
};

// The model's conversion and its command line write the same bytes.
void ExpectSameOutput(LogSetup& setup, const std::string& name) {
  const std::string direct = test::TempPath(name + "-direct.out");
  const std::string viaCli = test::TempPath(name + "-cli.out");
  setup.model.EditSettings().OutputFilename = viaCli;
  const std::string line = EquivalentCommandLine(setup.model);
  EXPECT_EQ(line.rfind("morphel convert ", 0), 0u) << line;
  Result r = Shell(line + " -q");
  ASSERT_EQ(r.status, 0) << line << "\n" << r.out;
  setup.Convert(direct);
  const std::string a = test::ReadFile(direct), b = test::ReadFile(viaCli);
  EXPECT_FALSE(a.empty()) << name;
  EXPECT_TRUE(a == b) << name << ": " << line;
}

TEST(EquivalentCommandLine, CustomAsciiSelection) {
  LogSetup s(Sample("tolvan", "eq tolvan.tlf"), kItemTolvan);
  s.Select({18, 0, 29, 5});
  Settings& st = s.model.EditSettings();
  st.Receiver2 = true;
  st.ChannelField = true;
  st.DelimiterGroup = 4;
  st.OtherDelimiter = "'";
  st.FieldTitles = true;
  ExpectSameOutput(s, "custom");
  const std::string line = EquivalentCommandLine(s.model);
  EXPECT_NE(line.find(" --fields 18,0,29,5 "), std::string::npos) << line;
  EXPECT_NE(line.find(" --receivers 1,2 --data freq,channel,rssi --delimiter ''\\''' --header"),
            std::string::npos)
      << line;
  EXPECT_NE(line.find("'" + st.InputFilename + "'"), std::string::npos) << line;
}

TEST(EquivalentCommandLine, BestServerWithSegmentsLeftOut) {
  LogSetup s(Sample("tolvan", "eq-bs.tlf"), kItemTolvan);
  s.Select({18, 0});
  Settings& st = s.model.EditSettings();
  st.NoAvg = false;
  st.BSAvg = true;
  st.ScanTypeGroup = 0;
  st.FieldTitles = false;
  RunHooks quiet;
  IndexRun index(*s.model.CurrentReader(), s.model.Snapshot(), kItemTolvan, quiet);
  ASSERT_EQ(index.Run(), IndexOutcome::Completed);
  ASSERT_GE(s.model.CurrentReader()->SegmentNodes.Count(), 2);
  s.model.ToggleSegment(1);
  ExpectSameOutput(s, "bestserver");
  const std::string line = EquivalentCommandLine(s.model);
  EXPECT_NE(line.find(" --reduce best-server "), std::string::npos) << line;
  EXPECT_NE(line.find(" --exclude-segments 2"), std::string::npos) << line;
}

TEST(EquivalentCommandLine, ZevLogWithToneData) {
  LogSetup s(Sample("zev-card", "eq-zev.bin"), kItemZevCard);
  s.Select({32, 18, 0});
  Settings& st = s.model.EditSettings();
  st.SATField = true;
  st.VMACField = true;
  st.DelimiterGroup = 2;
  ExpectSameOutput(s, "zev");
}

TEST(EquivalentCommandLine, NativeFormats) {
  LogSetup planet(Sample("skarn", "eq-skarn.slf"), kItemSkarn);
  planet.model.ApplyOutputPreset(7);
  ExpectSameOutput(planet, "planet");
  EXPECT_EQ(EquivalentCommandLine(planet.model).find("--native"), std::string::npos);

  // A native format item restored without its preset keeps delimited rows.
  LogSetup restored(Sample("tolvan-new", "eq-t2.tlf"), kItemTolvanNew);
  restored.Select({18, 0});
  restored.model.EditSettings().OutputFormatGroup = 3;
  ExpectSameOutput(restored, "restored");
  EXPECT_NE(EquivalentCommandLine(restored.model).find(" --no-native"), std::string::npos);
}

TEST(CliConfig, SavedSetupConvertsLikeTheDirectCommand) {
  const std::string log = Sample("velmar", "cfg-velmar.vlf");
  const std::string cfg = test::TempPath("cfg velmar.cfg");
  const std::string options =
      " --fields 'GPS Time (HH:MM:SS),<< DATA >>,Marker Value' --receivers 1,2 --data rssi"
      " --delimiter semicolon --header --reduce best-server --scan-type table";
  const std::string viaConfig = test::TempPath("cfg-via.out");
  const std::string direct = test::TempPath("cfg-direct.out");
  Result r = Morphel("config save " + ShellWord(cfg) + " " + log + options + " -o " + viaConfig);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "");
  IniFile ini;
  ASSERT_TRUE(ini.Load(cfg));
  EXPECT_EQ(ini.ReadInteger("InputFormat", "Product", 0), kItemVelmar);
  EXPECT_EQ(ini.ReadString("OutputFile", "Filename", ""), viaConfig);

  ASSERT_EQ(Morphel("convert -q --config " + ShellWord(cfg)).status, 0);
  ASSERT_EQ(Morphel("convert -q " + log + options + " -o " + direct).status, 0);
  EXPECT_FALSE(test::ReadFile(direct).empty());
  EXPECT_TRUE(test::ReadFile(direct) == test::ReadFile(viaConfig));

  // Later options override the configuration.
  const std::string other = test::TempPath("cfg-other.out");
  ASSERT_EQ(Morphel("convert -q --config " + ShellWord(cfg) + " --no-header -o " + other).status,
            0);
  EXPECT_EQ(test::ReadFile(viaConfig).find("\"GPS Time (HH:MM:SS)\";"), 0u);
  const std::string noTitles = test::ReadFile(other);
  EXPECT_FALSE(noTitles.empty());
  EXPECT_EQ(noTitles.find("GPS Time"), std::string::npos);
}

TEST(CliConfig, InputFromNeitherPlaceIsAUsageError) {
  Result r = Morphel("convert --fields 18");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "morphel: no input log: give INPUT or --config FILE\n");
  const std::string empty = test::TempPath("cfg-empty.cfg");
  test::WriteFile(empty, std::string("[OutputFile]\r\nFilename=x.out\r\n"));
  r = Morphel("convert --config " + empty);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "morphel: no input log: give INPUT, or a configuration that names one\n");
  r = Morphel("convert --config " + test::TempPath("cfg-missing.cfg"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("cannot read the configuration"), std::string::npos);
  // Unheld options are named, the rest is saved.
  const std::string log = Sample("skarn", "cfg-skarn.slf");
  r = Morphel("config save " + test::TempPath("cfg-split.cfg") + " " + log + " --split");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "morphel: a configuration does not hold --split\n");
}

TEST(CliConfig, GatherPrintsTheCounts) {
  const std::string log = Sample("tolvan", "cfg-gather.tlf");
  Result r = Morphel("gather " + log);
  EXPECT_EQ(r.status, 0);
  // 12 s of the sample's cadence (ten ticks a second): 6 scan records in the
  // first 30 ticks, then a fast record on each of the other 90.
  EXPECT_EQ(r.out,
            "Information Has Been Gathered!\n96 Records\n12 Seconds\n8 Records Per Second\n");
  const std::string missing = test::TempPath("cfg-nothere.tlf");
  r = Morphel("gather " + missing + " --product tolvan");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "Error: Input File Does Not Exist! (" + missing + ": No such file or directory)\n");
}

}  // namespace
}  // namespace morphel
