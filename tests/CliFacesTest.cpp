// The command line as engineers use it beside their other tools: the demo,
// the names it takes, standard output, JSON for scripts and batches of logs.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/CliSupport.h"

namespace morphel {
namespace {

namespace fs = std::filesystem;
using namespace test;

std::string TolvanLog() {
  return SampleLog("tolvan", "faces.tlf", 8);
}

// Columns of each line of a comma-separated file (no commas inside fields).
std::vector<size_t> Columns(const std::string& text) {
  std::vector<size_t> columns;
  size_t count = 1;
  for (char c : text) {
    if (c == ',') ++count;
    if (c == '\n') {
      columns.push_back(count);
      count = 1;
    }
  }
  return columns;
}

TEST(CliFaces, DemoBuildsOnlyTheCommandAndShowsColumnsUnderTheirTitles) {
  const std::string build = fs::path(MORPHEL_BINARY).parent_path().string();
  CliRun plan = Shell("make -n -C " + test::SourcePath("") + " demo BUILD=" + build);
  ASSERT_EQ(plan.status, 0) << plan.err;
  size_t builds = 0;
  for (size_t at = plan.out.find("cmake --build"); at != std::string::npos;
       at = plan.out.find("cmake --build", at + 1)) {
    const std::string line = plan.out.substr(at, plan.out.find('\n', at) - at);
    EXPECT_NE(line.find("--target morphel"), std::string::npos) << line;
    ++builds;
  }
  EXPECT_EQ(builds, 1u) << plan.out;

  const std::string out = TempPath("demo");
  CliRun demo = Shell(test::SourcePath("scripts/demo") + " " + build + " " + out);
  ASSERT_EQ(demo.status, 0) << demo.err;
  const std::vector<size_t> columns = Columns(ReadFile(out + "/drive.csv"));
  ASSERT_GT(columns.size(), 100u);
  EXPECT_GE(columns[0], 4u);
  EXPECT_TRUE(std::all_of(columns.begin(), columns.end(), [&](size_t n) {
    return n == columns[0];
  })) << "every row has as many columns as the title line";
  EXPECT_NE(demo.out.find("GPS Time (HH:MM:SS)"), std::string::npos) << demo.out;
}

TEST(CliFaces, ReadmeStatesExitStatusesFormatsAndTheCampaign) {
  const std::string readme = ReadFile(test::SourcePath("README.md"));
  for (const char* text :
       {"make demo", "morphel detect", "morphel fields", "morphel convert", "| 0 |", "| 1 |",
        "| 2 |", "| 3 |", "| 130 |", "parallel", "--outdir", "--jobs", "docs/morphel-window.png"})
    EXPECT_NE(readme.find(text), std::string::npos) << text;
  // The table of formats names each one as --format takes it.
  for (const FormatRow& f : FormatRows())
    EXPECT_NE(readme.find(std::string("| `") + f.cliName + "` |"), std::string::npos) << f.cliName;
}

TEST(CliFaces, HelpAndListsNameEveryProductAndFormat) {
  const CliRun help = Morphel("convert --help");
  const CliRun products = Morphel("products");
  const CliRun formats = Morphel("formats");
  ASSERT_EQ(products.status, 0);
  ASSERT_EQ(formats.status, 0);
  for (const ProductRow& p : ProductRows()) {
    if (!p.Supported()) continue;
    EXPECT_NE(help.out.find(p.cliName), std::string::npos) << p.cliName;
    EXPECT_NE(products.out.find(std::string(p.cliName) + " "), std::string::npos) << p.cliName;
    EXPECT_NE(products.out.find(p.caption), std::string::npos) << p.caption;
  }
  for (const FormatRow& f : FormatRows()) {
    EXPECT_NE(help.out.find(f.cliName), std::string::npos) << f.cliName;
    EXPECT_NE(formats.out.find(f.caption), std::string::npos) << f.caption;
  }
  EXPECT_EQ(Lines(formats.out), FormatRows().size());
  EXPECT_NE(formats.out.find("QVR Zev (PC CARD), QVR Zev (PC DUMP) logs only"), std::string::npos)
      << formats.out;
}

TEST(CliFaces, FieldNamesIgnoreCaseAndBlanksAndSuggestTheClosest) {
  const std::string log = TolvanLog();
  const std::string exact = TempPath("fields-exact.out"), loose = TempPath("fields-loose.out");
  ASSERT_EQ(
      Morphel("convert -q " + log + " -o " + exact + " --fields 'GPS Time (HH:MM:SS),<< DATA >>'")
          .status,
      0);
  CliRun r = Morphel("convert -q " + log + " -o " + loose +
                     " --fields '  gps time (hh:mm:ss) , << data >>'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(loose), ReadFile(exact));

  struct Case {
    const char* typed;
    const char* line;
  } cases[] = {
      {"gps time", "unknown field 'gps time'; did you mean 'GPS Time (HH:MM:SS)'?"},
      {"GPS Tme (HH:MM:SS)",
       "unknown field 'GPS Tme (HH:MM:SS)'; did you mean 'GPS Time (HH:MM:SS)'?"},
      {"longitude",
       "unknown field 'longitude'; did you mean 'Longitude (Decimal Degrees)', "
       "'Longitude (Degrees)' or 'Longitude (Minutes)'?"},
      {"zzzz", "unknown field 'zzzz'"},
      {"speed (bps)", "field 'Speed (BPS)' is not offered by this product"},
  };
  for (const auto& c : cases) {
    r = Morphel("convert " + log + " --fields '" + c.typed + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, std::string("morphel: ") + c.line + "\n");
  }
}

TEST(CliFaces, SegmentRangesLeaveOutEverySegmentInThem) {
  const std::string log = SampleLog("tolvan", "ranges.tlf", 40);  // seven segments
  const std::string ranges = TempPath("ranges.out"), listed = TempPath("listed.out");
  ASSERT_EQ(Morphel("convert -q " + log + " --fields 18,0 --exclude-segments '1-3, 5' -o " + ranges)
                .status,
            0);
  ASSERT_EQ(Morphel("convert -q " + log + " --fields 18,0 --exclude-segments 1,2,3,5 -o " + listed)
                .status,
            0);
  EXPECT_EQ(ReadFile(ranges), ReadFile(listed));
  for (const char* bad : {"3-1", "2-999", "1-x", "-2"}) {
    CliRun r = Morphel("convert " + log + " --fields 18 --exclude-segments " + bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find(std::string("'") + bad + "'"), std::string::npos) << r.err;
  }
}

TEST(CliFaces, DashWritesTheOutputToStandardOutput) {
  const std::string log = TolvanLog();
  const std::string file = TempPath("dash-file.out");
  ASSERT_EQ(Morphel("convert -q " + log + " --fields 18,0 -o " + file).status, 0);
  CliRun r = Morphel("convert " + log + " --fields 18,0 -o -");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ReadFile(file));
  EXPECT_EQ(r.err, "Conversion Has Been Completed!\n");
  EXPECT_FALSE(test::FileExists(TempPath("-")));
  // The planet layout is text; PathPro's is binary with a side file.
  EXPECT_EQ(Morphel("convert -q " + log + " --format planet -o -").status, 0);
  r = Morphel("convert " + log + " --format pathpro -o -");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "morphel: the MLJ PathPro layout comes with an .MDF side file: give -o FILE\n");
  // Standard output appended to the log being read is refused.
  const std::string copy = TempPath("dash-self.tlf");
  fs::copy_file(log, copy);
  r = Shell("\"$M\" convert " + copy + " --fields 18 -o - >>" + copy);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Output File Is The Input File!\n");
  EXPECT_EQ(ReadFile(copy), ReadFile(log));
}

TEST(CliFaces, JsonForScripts) {
  const std::string log = TolvanLog();
  const std::string zev = SampleLog("zev-card", "json.bin", 12, 9);
  CliRun r = Morphel("detect --json " + log + " " + TempPath("json-missing.tlf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "{\"files\":[{\"path\":\"" + log +
                       "\",\"item\":1,\"product\":\"tolvan\",\"caption\":\"QVR Tolvan\","
                       "\"readable\":true},{\"path\":\"" +
                       TempPath("json-missing.tlf") +
                       "\",\"item\":0,\"product\":null,\"caption\":\"(None)\","
                       "\"readable\":false}]}\n");
  r = Morphel("fields --json --product skarn");
  EXPECT_EQ(r.out.rfind("{\"item\":5,\"product\":\"skarn\",\"caption\":\"QVR Skarn\",\"fields\":"
                        "[{\"id\":0,\"name\":\"<< DATA >>\"},{\"id\":4,\"name\":\"CR / LF\"},",
                        0),
            0u)
      << r.out;
  // 21 records in 12 seconds: the rate as measured, beside the whole
  // records per second the reader keeps and the message shows.
  r = Morphel("gather --json " + zev);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"records\":21,\"seconds\":12,\"recordsPerSecond\":1.75,\"recordRate\":1,"
                       "\"messages\":[\"Information Has Been Gathered!\",\"21 Records\","
                       "\"12 Seconds\",\"1 Records Per Second\"]}\n"),
            std::string::npos)
      << r.out;
  r = Morphel("index --json " + log);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"segments\":[{\"number\":1,\"type\":\"Scan Data\",\"start\":\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"damage\":{\"resyncBytes\":0,\"badLengthBlocks\":0,\"unknownRecords\":0,"
                       "\"truncatedBlocks\":0}}\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(Lines(r.out), 1u);
}

TEST(CliFaces, BatchConvertsEveryLogAndSaysHowEachEnded) {
  const std::string tolvan = TolvanLog();
  const std::string velmar = SampleLog("velmar", "batch.vlf", 6);
  const std::string missing = TempPath("batch-missing.tlf");
  const std::string outdir = TempPath("batch-out");
  CliRun r = Morphel("convert " + tolvan + " " + missing + " " + velmar +
                     " --fields 18,0 --outdir " + outdir + " --jobs 2");
  EXPECT_EQ(r.status, 1) << "one log failed";
  EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no progress off a terminal";
  EXPECT_EQ(Lines(r.err), 4u) << r.err;
  EXPECT_NE(r.err.find(tolvan + " -> " + outdir + "/faces.out: Conversion Has Been Completed!\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(missing + ": Error: Input File Does Not Exist! (" + missing +
                       ": No such file or directory)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("morphel: 3 logs: 2 converted, 0 empty, 1 failed\n"), std::string::npos);
  // Each output is what converting its log alone gives.
  for (const std::string& log : {tolvan, velmar}) {
    const std::string alone = log + ".alone";
    ASSERT_EQ(Morphel("convert -q " + log + " --fields 18,0 -o " + alone).status, 0);
    const std::string name = fs::path(log).stem().string() + ".out";
    EXPECT_EQ(ReadFile(outdir + "/" + name), ReadFile(alone)) << name;
  }

  // The same with a saved set-up; two logs of one name would clash.
  const std::string cfg = TempPath("batch.cfg");
  ASSERT_EQ(Morphel("config save " + cfg + " --fields 18,0 --delimiter tab").status, 0);
  const std::string cfgOut = TempPath("batch-cfg");
  r = Morphel("convert -q --config " + cfg + " " + tolvan + " " + velmar + " --outdir " + cfgOut);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(cfgOut + "/faces.out").find("\"GPS Time (HH:MM:SS)\"\t"), 0u);
  fs::create_directories(TempPath("other"));
  fs::copy_file(tolvan, TempPath("other/faces.tlf"));
  r = Morphel("convert " + tolvan + " " + TempPath("other/faces.tlf") + " --fields 18 --outdir " +
              cfgOut);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("would both be converted into"), std::string::npos) << r.err;
}

TEST(CliFaces, OtherDelimiterInTheOutputsOwnTextIsWarnedAbout) {
  const std::string log = TolvanLog();
  struct Case {
    const char *delimiter, *fields, *warning;
  } cases[] = {
      {".", "18", "The delimiter '.' is also the decimal point of the output's numbers."},
      {"-", "18", "The delimiter '-' is also the minus sign of the output's levels and positions."},
      {"7", "18", "The delimiter '7' is a digit: it also occurs in the output's numbers."},
      {"'\"'", "18", "The delimiter '\"' is also the quote around the title line's names."},
      {":", "0,18", "The delimiter ':' also occurs in the values of 'GPS Time (HH:MM:SS)'."},
      {"'('", "5", "The delimiter '(' also occurs in the title 'Latitude (Decimal Degrees)'."},
      {"'|'", "18,0", nullptr},
      {":", "5,0", nullptr},
  };
  for (const auto& c : cases) {
    CliRun r = Morphel("convert -q " + log + " -o " + TempPath("delimited.out") + " --fields " +
                       c.fields + " --header --delimiter " + c.delimiter);
    EXPECT_EQ(r.status, 0) << c.delimiter;
    EXPECT_EQ(r.err, c.warning ? std::string("Warning: ") + c.warning + "\n" : "") << c.delimiter;
  }
}

}  // namespace
}  // namespace morphel
