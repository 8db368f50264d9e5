// The morphel command as a user runs it: exit statuses, messages and outputs.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

#include "tests/TestSupport.h"

namespace morphel {
namespace {

struct Result {
  int status;
  std::string out;  // stdout and stderr together
};

Result Morphel(const std::string& args) {
  std::string cmd = std::string(MORPHEL_BINARY) + " " + args + " 2>&1";
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

class Cli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    log_ = test::TempPath("cli.tlf");
    ASSERT_EQ(Morphel("sample --product tolvan -o " + log_ + " --seconds 8 --seed 3").status, 0);
  }
  static std::string log_;
};
std::string Cli::log_;

TEST_F(Cli, DetectPrintsItemAndCaption) {
  Result r = Morphel("detect " + log_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, log_ + "\t1\tQVR Tolvan\n");
  std::string junk = test::TempPath("junk.bin");
  test::WriteFile(junk, std::string("not a receiver log at all"));
  r = Morphel("detect " + junk);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, junk + "\t0\t(None)\n");
}

TEST_F(Cli, ConvertWritesDefaultOutputNameAndCompletionMessage) {
  Result r = Morphel("convert " + log_ + " --fields 'GPS Time (HH:MM:SS),<< DATA >>'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "Conversion Has Been Completed!\n");
  std::string out = test::ReadFile(log_.substr(0, log_.size() - 4) + ".out");
  EXPECT_EQ(out.substr(0, 47), "\"GPS Time (HH:MM:SS)\",\"Rec#1 Frequency\",\"Rec#1 ");
  EXPECT_NE(out.find("\r\n"), std::string::npos);
  EXPECT_EQ(Morphel("convert -q " + log_ + " --fields 18").out, "");
}

TEST_F(Cli, BadCommandLinesExitTwoNamingTheValue) {
  struct Case {
    std::string args, mention;
  } cases[] = {
      {"convert " + log_, "no field is selected"},
      {"convert " + log_ + " --fields 'No Such Field'", "No Such Field"},
      {"convert " + log_ + " --fields 41", "Speed (BPS)"},
      {"convert " + log_ + " --fields 18 --receivers 5", "'5'"},
      {"convert " + log_ + " --fields 18 --delimiter pipe", "'pipe'"},
      {"convert " + log_ + " --fields 18 --product nosuch", "'nosuch'"},
      {"convert " + log_ + " --fields 18 --format nosuch", "'nosuch'"},
      {"convert " + log_ + " --fields 18 --reduce some", "'some'"},
      {"convert " + log_ + " --fields 18 --exclude-segments 99", "'99'"},
      {"sample --product nosuch -o /dev/null", "nosuch"},
      {"frobnicate", ""},
  };
  for (const auto& c : cases) {
    Result r = Morphel(c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.mention), std::string::npos) << c.args << "\n" << r.out;
  }
}

TEST_F(Cli, RunErrorsExitOneInTheSystemsWords) {
  Result r = Morphel("convert " + log_ + " --product tolvan --fields 18 -o /dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Error: Output File Cannot Be Accessed! (/dev/full: No space left on device)\n");
  const std::string missing = test::TempPath("missing.tlf");
  r = Morphel("convert " + missing + " --product tolvan --fields 18");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Error: Input File Does Not Exist! (" + missing + ": No such file or directory)\n");
  std::string junk = test::TempPath("junk2.bin");
  test::WriteFile(junk, std::string("garbage"));
  r = Morphel("convert " + junk + " --fields 18");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Warning: File is not from a QVR CW product.\n");
}

TEST_F(Cli, FormatPresetAndExplicitOutputName) {
  std::string out = test::TempPath("cli-edx.txt");
  Result r = Morphel("convert -q " + log_ + " --format edx -o " + out);
  EXPECT_EQ(r.status, 0) << r.out;
  std::string text = test::ReadFile(out);
  EXPECT_EQ(text.substr(0, 3), "5\r\n");
}

TEST_F(Cli, IndexListsSegmentsAndExclusionLeavesThemOut) {
  Result r = Morphel("index " + log_);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 10), "Scan Data\n");
  EXPECT_NE(r.out.find("Fast Data\n"), std::string::npos);
  EXPECT_NE(r.out.find("  1\t"), std::string::npos);

  std::string all = test::TempPath("cli-all.out"), some = test::TempPath("cli-some.out");
  ASSERT_EQ(Morphel("convert -q " + log_ + " --fields 18,29 -o " + all).status, 0);
  ASSERT_EQ(Morphel("convert -q " + log_ + " --fields 18,29 --exclude-segments 1 -o " + some).status, 0);
  EXPECT_LT(test::ReadFile(some).size(), test::ReadFile(all).size());
}

TEST_F(Cli, FieldsListsTheProductsAvailableFields) {
  Result r = Morphel("fields --product skarn");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "0\t<< DATA >>\n4\tCR / LF\n29\tMarker Value\n37\tRTC Time (HH:MM:SS)\n38\tRTC Hour "
            "(HH)\n39\tRTC Minute (MM)\n40\tRTC Second (SS)\n44\tScan Mode\n32\tRecord Number\n");
}

}  // namespace
}  // namespace morphel
