// morphel export and morphel info as a user runs them: exit statuses, the
// summary lines, file names, and info agreeing with the exported readings.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "tests/CliSupport.h"

namespace morphel {
namespace {

using test::CliRun;
using test::Morphel;
using test::Shell;
using test::TempPath;

class ExportCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const auto& [product, path, options] :
         {std::tuple{"tolvan", &tolvan_, " --seconds 3 --firmware 1.25"},
          std::tuple{"velmar", &velmar_, " --seconds 3"},
          std::tuple{"zev-card", &zev_, " --seconds 30 --firmware 104"}}) {
      *path = TempPath(std::string("cli-") + product + ".log");
      ASSERT_EQ(Morphel(std::string("sample --product ") + product + " -o " + *path + options +
                        " --seed 2")
                    .status,
                0);
    }
  }
  static std::string tolvan_, velmar_, zev_;
};
std::string ExportCli::tolvan_, ExportCli::velmar_, ExportCli::zev_;

// "rows, empty positions" of a CSV export as Python's csv module reads it.
std::string CsvCounts(const std::string& path) {
  return Shell(
             "python3 -c \"import csv,sys; rows=list(csv.DictReader(open(sys.argv[1])));"
             " print('%d readings written to %s, %d without' % (len(rows), sys.argv[1],"
             " sum(1 for r in rows if r['latitude']=='')))\" " +
             path)
      .out;
}

TEST_F(ExportCli, BadCommandLinesExitTwoNamingWhatIsWrong) {
  const std::string out = " -o " + TempPath("bad.csv");
  const struct {
    std::string args, mention;
  } cases[] = {
      {"export " + tolvan_, "give either -o FILE or --outdir DIR"},
      {"export " + tolvan_ + out + " --outdir " + TempPath("d"), "give either"},
      {"export " + tolvan_ + " -o " + TempPath("bad.txt"), "cannot tell the format of"},
      {"export " + tolvan_ + out + " --to shp", "'shp'"},
      {"export " + tolvan_ + out + " --bands -70,-60", "-60 does not lie below -70"},
      {"export " + tolvan_ + out + " --bands -70,strong", "'strong'"},
      {"export " + tolvan_ + out + " --every-seconds 5 --every-metres 10", "exclude each other"},
      {"export " + tolvan_ + out + " --every-metres 0", "positive"},
      {"export " + tolvan_ + out + " --receivers 5", "'5'"},
      {"export " + velmar_ + out + " --receivers 3", "receiver 3 is not available for QVR Velmar"},
      {"export " + tolvan_ + " " + velmar_ + out + " --exclude-segments 1", "takes one log"},
      {"export " + tolvan_ + out + " --exclude-segments 99", "'99'"},
      {"export " + tolvan_ + out + " --product nosuch", "'nosuch'"},
      {"export " + tolvan_ + " " + tolvan_ + " --outdir " + TempPath("twice"), "both be exported"},
      {"info", ""},
  };
  for (const auto& c : cases) {
    const CliRun r = Morphel(c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.mention), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(test::Lines(r.err), 1u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(test::FileExists(TempPath("bad.csv")));
}

TEST_F(ExportCli, RunErrorsExitOneAndNeverWriteOverALog) {
  const std::string junk = TempPath("junk.bin");
  test::WriteFile(junk, std::string("no receiver wrote this"));
  const std::string before = test::ReadFile(tolvan_);
  const struct {
    std::string args, mention;
  } cases[] = {
      {"export " + TempPath("missing.tlf") + " -o " + TempPath("m.csv"),
       "Error: Input File Does Not Exist! (" + TempPath("missing.tlf") + ": No such file"},
      {"info " + TempPath("missing.tlf"), "Input File Does Not Exist!"},
      {"export /proc/self/mem --product tolvan -o " + TempPath("mem.csv"),
       "Error: Input File Cannot Be Read! (/proc/self/mem: Input/output error)"},
      {"export " + junk + " -o " + TempPath("j.csv"), "File is not from a QVR CW product."},
      {"export " + tolvan_ + " -o " + tolvan_ + " --to csv", "Output File Is The Input File!"},
      {"export " + tolvan_ + " -o " + TempPath("no/such/dir/x.gpkg"), "cannot be created"},
      {"export " + tolvan_ + " -o " + TempPath("no/such/dir/x.csv"), "No such file or directory"},
      {"export " + tolvan_ + " -o " + TempPath("no/such/dir/x.kml"), "No such file or directory"},
  };
  for (const auto& c : cases) {
    const CliRun r = Morphel(c.args);
    EXPECT_EQ(r.status, 1) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.mention), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_EQ(test::ReadFile(tolvan_), before);
}

TEST_F(ExportCli, SaysWhatItWroteAndExitsThreeWhenALogGaveNothing) {
  const std::string csv = TempPath("summary.csv");
  CliRun r = Morphel("export " + tolvan_ + " -o " + csv);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string counts = CsvCounts(csv);
  EXPECT_EQ(r.err, tolvan_ + ": " + counts.substr(0, counts.size() - 1) +
                       " a position fix (empty position), 0 paging messages\n");
  r = Morphel("export " + tolvan_ + " -o " + TempPath("none.gpkg") + " --receivers none");
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("nothing written: none of the chosen receivers has readings"),
            std::string::npos)
      << r.err;
  const std::string index = Morphel("index " + tolvan_).out;
  std::string every;
  for (size_t at = index.find("\n  "); at != std::string::npos; at = index.find("\n  ", at + 1))
    every += (every.empty() ? "" : ",") + std::to_string(std::atoi(index.c_str() + at + 3));
  r = Morphel("export " + tolvan_ + " -o " + TempPath("left.csv") + " --exclude-segments " + every);
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("every segment of the log is left out"), std::string::npos) << r.err;
  // An empty log has nothing to give: that is no failure.
  test::WriteFile(TempPath("empty.tlf"), std::string());
  r = Morphel("export " + TempPath("empty.tlf") + " --product tolvan -o " + TempPath("e.csv"));
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(ExportCli, OneFileOfSeveralLogsOrOneFilePerLogInAFolder) {
  const std::string both = TempPath("both.csv");
  CliRun r = Morphel("export " + tolvan_ + " " + velmar_ + " -o " + both);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Shell("python3 -c \"import csv,sys; print(sorted({r['log'] for r in "
                  "csv.DictReader(open(sys.argv[1]))}))\" " +
                  both)
                .out,
            "['cli-tolvan.log', 'cli-velmar.log']\n");
  const std::string dir = TempPath("maps");
  r = Morphel("export " + tolvan_ + " " + zev_ + " --outdir " + dir + " --to geojson -q");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* name :
       {"cli-tolvan.geojson", "cli-zev-card.geojson", "cli-zev-card-paging.geojson"})
    EXPECT_TRUE(test::FileExists(dir + "/" + name)) << name;
  EXPECT_FALSE(test::FileExists(dir + "/cli-tolvan-paging.geojson"));
  r = Morphel("export " + zev_ + " --outdir " + dir);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(test::FileExists(dir + "/cli-zev-card.csv"));
}

// KML is written by the program itself: the dynamic loader, which names
// every library it loads, never loads the GDAL module for it (it does for a
// GeoPackage, which shows the check sees the module).
TEST_F(ExportCli, KmlIsWrittenWithoutTheGdalModule) {
  const std::string load = "LD_DEBUG=files \"$M\" export " + zev_ + " -q -o ";
  const CliRun gpkg = Shell(load + TempPath("module.gpkg"));
  ASSERT_EQ(gpkg.status, 0) << gpkg.err;
  ASSERT_NE(gpkg.err.find("libmorphel_gis.so"), std::string::npos);
  const std::string kml = TempPath("alone.kml");
  const CliRun r = Shell(load + kml);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("libmorphel_gis.so"), std::string::npos);
  EXPECT_EQ(r.err.find("libgdal"), std::string::npos);
  EXPECT_EQ(Shell("python3 -c \"import sys, xml.etree.ElementTree as E;"
                  " print(len(E.parse(sys.argv[1]).getroot().findall('.//{*}Placemark')) > 0)\" " +
                  kml)
                .out,
            "True\n");
}

// A KML that cannot be written whole (here: past the largest file the shell
// allows) is a failure said once, and the file is left without the end of
// its document, so that no reader takes it for the whole drive.
TEST_F(ExportCli, AKmlCutShortIsAFailureAndNoWholeDocument) {
  const std::string kml = TempPath("cut.kml");
  const CliRun r = Shell("trap '' XFSZ; ulimit -f 64; \"$M\" export " + tolvan_ + " -q -o " + kml);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(test::Lines(r.err), 1u) << r.err;
  const std::string text = test::ReadFile(kml);
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  EXPECT_EQ(text.find("</kml>"), std::string::npos);
}

// What info tells agrees with the readings and messages the export wrote
// and with the segments indexing finds.
TEST_F(ExportCli, InfoAgreesWithTheExportedReadingsAndTheIndex) {
  const std::string csv = TempPath("info.csv");
  ASSERT_EQ(Morphel("export " + zev_ + " -o " + csv + " -q").status, 0);
  const CliRun json = Morphel("info --json " + zev_);
  ASSERT_EQ(json.status, 0) << json.err;
  test::WriteFile(TempPath("info.json"), json.out);
  test::WriteFile(TempPath("index.txt"), Morphel("index " + zev_).out);
  const std::string script = R"(import csv, json, sys
info = json.load(open(sys.argv[1]))
rows = list(csv.DictReader(open(sys.argv[2])))
paging = list(csv.DictReader(open(sys.argv[3])))
index, caption = {}, None
for line in open(sys.argv[4]):
    if line.startswith('  '): index[caption] += 1
    else: caption = line.strip(); index[caption] = 0
want = {'firstTime': rows[0]['time'], 'lastTime': max(rows[-1]['time'], paging[-1]['time']),
        'segments': index,
        'pocsag': sum(1 for p in paging if p['protocol'] == 'POCSAG'),
        'flex': sum(1 for p in paging if p['protocol'] == 'FLEX')}
got = {'firstTime': info['firstTime'], 'lastTime': info['lastTime'],
       'segments': info['segments'],
       'pocsag': info['pagingMessages']['pocsag'], 'flex': info['pagingMessages']['flex']}
fixes = [r for r in rows if r['fix'] == 'true']
box = info['boundingBox']
assert abs(box['south'] - min(float(r['latitude']) for r in fixes)) < 1e-6, box
assert abs(box['east'] - max(float(r['longitude']) for r in fixes)) < 1e-6, box
for rx in info['receivers']:
    mine = [r for r in rows if int(r['receiver']) == rx['receiver']]
    levels = sorted(int(r['rssi_dbm']) for r in mine if r['rssi_dbm'])
    want['rx%d' % rx['receiver']] = (len(mine), min(int(r['channel']) for r in mine),
        levels[0], levels[(len(levels) - 1) // 2], levels[-1])
    got['rx%d' % rx['receiver']] = (rx['readings'], rx['channelMin'], rx['rssiMinDbm'],
        rx['rssiMedianDbm'], rx['rssiMaxDbm'])
print('ok' if want == got else (want, got), info['product'], info['firmware'])
)";
  test::WriteFile(TempPath("info.py"), script);
  EXPECT_EQ(Shell("python3 " + TempPath("info.py") + " " + TempPath("info.json") + " " + csv + " " +
                  TempPath("info-paging.csv") + " " + TempPath("index.txt"))
                .out,
            "ok zev-card 104\n");
  // A FLEX message longer than a display line comes back as the pager got it.
  EXPECT_NE(test::ReadFile(TempPath("info-paging.csv"))
                .find("\"LONG ADDRESS PAGE: THE 10:30 REVIEW IS POSTPONED TO THURSDAY, PLEASE "
                      "CONFIRM BY REPLY\""),
            std::string::npos);
  const CliRun text = Morphel("info " + tolvan_);
  EXPECT_EQ(text.status, 0);
  for (const char* line : {"Product: QVR Tolvan (tolvan), firmware 1.25\n", "Segments: Scan Data ",
                           "Receiver 4: ", "Area: latitude ", "Damage: none\n"})
    EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
}

}  // namespace
}  // namespace morphel
