// Exports read back with the clients users have: GDAL finds every reading,
// the columns and the extent in the GeoPackage, GeoJSON and KML of a sample
// of every product; Python's csv module reads the CSV and its XML parser the
// KML. KML styling, folders, time stamps, route and legend, any byte in its
// texts, write failures and its memory; RFC 4180 quoting.

#include <fmt/format.h>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "export/DriveTrack.h"
#include "export/Export.h"
#include "export/KmlExport.h"
#include "export/KmlStyle.h"
#include "export/XmlText.h"
#include "products/ProductTable.h"
#include "products/Readers.h"
#include "tests/CliSupport.h"

namespace morphel {
namespace {

using exporting::ExportFormat;
using test::TempPath;

struct Sample {
  const char* name;
  int item;
  double seconds;
  bool strongest;  // only the strongest reading per receiver and record (a dense log)
};

// Long enough to hold position fixes (the sample drives lose the fix for
// their first seconds) and every kind of segment the writers begin with.
constexpr Sample kSamples[] = {
    {"tolvan", kItemTolvan, 3, false},     {"velmar", kItemVelmar, 3, false},
    {"zev-card", kItemZevCard, 30, false}, {"zev-dump", kItemZevDump, 30, false},
    {"skarn", kItemSkarn, 10, false},      {"tolvan-new", kItemTolvanNew, 9, true},
    {"brisel", kItemBrisel, 10, false},    {"brisel-card", kItemBriselCard, 10, false},
};

std::string SampleLog(const Sample& s) {
  return test::SyntheticLog(s.name, s.seconds, 9);
}

// Keeps the records a run hands on, to know what an export must hold.
class Recorder : public ReadingSink {
 public:
  std::vector<ReadingRecord> records;
  bool BeginLog(const Product&) override { return true; }
  bool Take(const ReadingRecord& r) override { return records.push_back(r), true; }
  bool EndLog() override { return true; }
  std::string Error() const override { return {}; }
};

// Feeds a run's records to two sinks at once.
class Both : public ReadingSink {
 public:
  Both(ReadingSink& a, ReadingSink& b) : a_(a), b_(b) {}
  bool BeginLog(const Product& r) override { return a_.BeginLog(r) && b_.BeginLog(r); }
  bool Take(const ReadingRecord& r) override { return a_.Take(r) && b_.Take(r); }
  bool EndLog() override { return a_.EndLog() && b_.EndLog(); }
  std::string Error() const override { return a_.Error() + b_.Error(); }

 private:
  ReadingSink& a_;
  ReadingSink& b_;
};

struct Exported {
  ReadingSummary summary;
  std::vector<ReadingRecord> records;
};

Exported Export(const std::string& log, int item, const exporting::ExportSettings& settings,
                const ReadingOptions& options) {
  std::unique_ptr<exporting::ExportSink> sink = exporting::CreateExport(settings);
  sink->SetLog(exporting::ExportLog(*ProductRowFor(item), "drive.log"));
  std::unique_ptr<Product> reader = CreateReader(item);
  Settings s;
  s.InputFilename = log;
  s.InputFormatGroup = item;
  Recorder recorder;
  Both both(*sink, recorder);
  RunHooks hooks;
  ReadingRun run(*reader, s, options, hooks);
  EXPECT_EQ(run.Run(both), ReadingOutcome::Completed) << sink->Error();
  EXPECT_TRUE(sink->Close()) << sink->Error();
  return {run.Summary(), std::move(recorder.records)};
}

Exported ExportSample(const Sample& s, ExportFormat format, const std::string& path) {
  ReadingOptions options;
  options.bestServer = s.strongest;
  return Export(SampleLog(s), s.item, {format, path}, options);
}

struct Extent {
  double west = 1e9, south = 1e9, east = -1e9, north = -1e9;
  void Add(double lon, double lat) {
    west = std::min(west, lon), east = std::max(east, lon);
    south = std::min(south, lat), north = std::max(north, lat);
  }
};

Extent FixExtent(const std::vector<ReadingRecord>& records) {
  Extent e;
  for (const auto& r : records)
    if (r.position.fix && !r.readings.empty())
      e.Add(exporting::RoundTo(r.position.longitude, exporting::kDegreePlaces),
            exporting::RoundTo(r.position.latitude, exporting::kDegreePlaces));
  return e;
}

struct Dataset {
  GDALDataset* ds = nullptr;
  explicit Dataset(const std::string& path) {
    GDALAllRegister();
    ds = GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY);
  }
  ~Dataset() {
    if (ds) GDALClose(ds);
  }
};

// What GDAL finds in the layers a reading export holds (all but the KML
// route and paging folders).
struct Found {
  int64_t features = 0, withoutGeometry = 0;
  Extent extent;
  std::vector<std::string> fields;
  std::set<std::string> layers;
};

Found Read(OGRLayer* layer) {
  Found f;
  if (!layer) return f;
  for (int i = 0; i < layer->GetLayerDefn()->GetFieldCount(); ++i)
    f.fields.push_back(layer->GetLayerDefn()->GetFieldDefn(i)->GetNameRef());
  for (auto& feature : *layer) {
    ++f.features;
    const OGRGeometry* g = feature->GetGeometryRef();
    if (!g) {
      ++f.withoutGeometry;
      continue;
    }
    OGREnvelope env;
    g->getEnvelope(&env);
    f.extent.Add(env.MinX, env.MinY);
    f.extent.Add(env.MaxX, env.MaxY);
  }
  return f;
}

std::vector<std::string> Names(std::span<const exporting::Column> columns) {
  std::vector<std::string> names;
  for (const auto& c : columns) names.emplace_back(c.name);
  return names;
}

// The fields of a KML layer that are export columns, in their order (GDAL
// puts the placemark's own elements, name, description, time stamp..., first).
std::vector<std::string> Columns(const std::vector<std::string>& fields,
                                 std::span<const exporting::Column> columns) {
  const std::vector<std::string> names = Names(columns);
  std::vector<std::string> kept;
  for (const std::string& f : fields)
    if (std::find(names.begin(), names.end(), f) != names.end()) kept.push_back(f);
  return kept;
}

void ExpectSameExtent(const Extent& found, const Extent& wanted) {
  EXPECT_NEAR(found.west, wanted.west, 1e-9);
  EXPECT_NEAR(found.east, wanted.east, 1e-9);
  EXPECT_NEAR(found.south, wanted.south, 1e-9);
  EXPECT_NEAR(found.north, wanted.north, 1e-9);
}

struct GisCase {
  Sample sample;
  ExportFormat format;
};

std::vector<GisCase> GisCases() {
  std::vector<GisCase> cases;
  for (ExportFormat f : {ExportFormat::Gpkg, ExportFormat::GeoJson, ExportFormat::Kml})
    for (const Sample& s : kSamples) cases.push_back({s, f});
  return cases;
}

class GisExport : public ::testing::TestWithParam<GisCase> {};

TEST_P(GisExport, GdalFindsEveryReadingItsFieldsAndTheExtentOfTheFixes) {
  const GisCase& c = GetParam();
  const std::string path =
      TempPath(std::string("gis-") + c.sample.name + exporting::ExportExtension(c.format));
  const Exported e = ExportSample(c.sample, c.format, path);
  ASSERT_GT(e.summary.readings, 0);
  Dataset d(path);
  ASSERT_NE(d.ds, nullptr) << CPLGetLastErrorMsg();
  Found readings, messages;
  if (c.format == ExportFormat::Kml) {
    // One folder per receiver and segment, holding that receiver's levels
    // of the segment in time order; the route and the messages apart.
    std::map<std::string, std::vector<std::string>> levels;  // by folder
    for (const auto& r : e.records)
      for (const auto& reading : r.readings)
        levels[fmt::format("drive.log receiver {} segment {}", reading.receiver, r.segment)]
            .push_back(reading.hasRssi ? std::to_string(reading.rssiDbm) : "");
    std::set<std::string> matched;
    for (OGRLayer* layer : d.ds->GetLayers()) {
      const std::string name = layer->GetName();
      if (name == "Route" || name == "Paging messages") continue;
      Found f = Read(layer);
      readings.features += f.features;
      readings.withoutGeometry += f.withoutGeometry;
      if (f.features > f.withoutGeometry) {
        readings.extent.Add(f.extent.west, f.extent.south);
        readings.extent.Add(f.extent.east, f.extent.north);
      }
      readings.layers.insert(name);
      EXPECT_EQ(Columns(f.fields, exporting::ReadingColumns()), Names(exporting::ReadingColumns()))
          << name;
      const std::string folder = name.substr(0, name.find(" ("));
      ASSERT_TRUE(levels.count(folder)) << name;
      EXPECT_TRUE(matched.insert(folder).second) << "two folders " << folder;
      std::vector<std::string> found;
      for (auto& feature : *layer) found.push_back(feature->GetFieldAsString("rssi_dbm"));
      EXPECT_EQ(found, levels[folder]) << name;
    }
    EXPECT_EQ(matched.size(), levels.size());
    messages = Read(d.ds->GetLayerByName("Paging messages"));
    if (e.summary.messages > 0) {
      EXPECT_EQ(Columns(messages.fields, exporting::PagingColumns()),
                Names(exporting::PagingColumns()));
    }
    // The route is a line through the fixes, when there are two places.
    std::set<std::pair<double, double>> places;
    for (const auto& r : e.records)
      if (r.position.fix && !r.readings.empty())
        places.emplace(r.position.latitude, r.position.longitude);
    EXPECT_EQ(d.ds->GetLayerByName("Route") != nullptr, places.size() >= 2);
  } else {
    readings = Read(d.ds->GetLayerByName("readings"));
    EXPECT_EQ(readings.fields, Names(exporting::ReadingColumns()));
    const std::string pagingPath = exporting::PagingFileName(c.format, path);
    if (pagingPath.empty()) {
      messages = Read(d.ds->GetLayerByName("paging"));
    } else if (test::FileExists(pagingPath)) {
      Dataset paging(pagingPath);
      ASSERT_NE(paging.ds, nullptr);
      messages = Read(paging.ds->GetLayer(0));
    }
    if (e.summary.messages > 0) {
      EXPECT_EQ(messages.fields, Names(exporting::PagingColumns()));
    }
  }
  EXPECT_EQ(readings.features, e.summary.readings);
  EXPECT_EQ(readings.withoutGeometry, e.summary.withoutFix);
  EXPECT_EQ(messages.features, e.summary.messages);
  if (e.summary.readings > e.summary.withoutFix)
    ExpectSameExtent(readings.extent, FixExtent(e.records));
}

INSTANTIATE_TEST_SUITE_P(Samples, GisExport, ::testing::ValuesIn(GisCases()),
                         [](const ::testing::TestParamInfo<GisCase>& p) {
                           std::string name = std::string(ExportFormatName(p.param.format)) + "_" +
                                              p.param.sample.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// Rows, columns and empty positions of a CSV as Python's csv module reads it:
// "rows columns empty-latitudes", columns -1 when rows differ in width.
std::string PythonCsv(const std::string& path) {
  const std::string script =
      "import csv,sys\n"
      "rows=list(csv.reader(open(sys.argv[1],newline='')))\n"
      "widths={len(r) for r in rows}\n"
      "lat=rows[0].index('latitude') if 'latitude' in rows[0] else 2\n"
      "print(len(rows)-1, widths.pop() if len(widths)==1 else -1,"
      " sum(1 for r in rows[1:] if r[lat]==''))\n";
  test::WriteFile(TempPath("csvcheck.py"), script);
  return test::Shell("python3 " + TempPath("csvcheck.py") + " " + path).out;
}

class CsvExport : public ::testing::TestWithParam<Sample> {};

TEST_P(CsvExport, PythonReadsEveryRowWithTheSameColumns) {
  const Sample& s = GetParam();
  const std::string path = TempPath(std::string("csv-") + s.name + ".csv");
  const Exported e = ExportSample(s, ExportFormat::Csv, path);
  EXPECT_EQ(PythonCsv(path), fmt::format("{} {} {}\n", e.summary.readings,
                                         exporting::ReadingColumns().size(), e.summary.withoutFix));
  const std::string paging = exporting::PagingFileName(ExportFormat::Csv, path);
  EXPECT_EQ(test::FileExists(paging), e.summary.messages > 0);
  if (e.summary.messages > 0) {
    const std::string read = PythonCsv(paging);
    EXPECT_EQ(read.substr(0, read.rfind(' ')),
              fmt::format("{} {}", e.summary.messages, exporting::PagingColumns().size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, CsvExport, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& p) {
                           std::string name = p.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(KmlExport, PointsStyledByBandTimeStampedWithTheLegendInTheDescription) {
  const Sample& brisel = kSamples[6];
  const std::string path = TempPath("bands.kml");
  exporting::ExportSettings settings{ExportFormat::Kml, path, {-60, -75}};
  const Exported e = Export(SampleLog(brisel), brisel.item, settings, {});
  const exporting::KmlBands bands({-60, -75});
  Dataset d(path);
  ASSERT_NE(d.ds, nullptr);
  int64_t points = 0;
  std::map<std::string, int64_t> perStyle;
  for (OGRLayer* layer : d.ds->GetLayers()) {
    if (std::string(layer->GetName()) == "Route") continue;
    for (auto& f : *layer) {
      ++points;
      const std::string name = f->GetFieldAsString("Name");
      Reading r;
      r.hasRssi = name != "no level";
      r.rssiDbm = std::atoi(name.c_str());
      const char* style = f->GetStyleString();
      ASSERT_NE(style, nullptr);
      EXPECT_EQ(std::string(style), "@" + bands.StyleId(r)) << name;
      ++perStyle[style];
      EXPECT_TRUE(f->IsFieldSetAndNotNull(f->GetFieldIndex("timestamp"))) << name;
    }
  }
  EXPECT_EQ(points, e.summary.readings);
  std::set<std::string> wanted;
  for (const auto& r : e.records)
    for (const auto& reading : r.readings) wanted.insert("@" + bands.StyleId(reading));
  EXPECT_GE(wanted.size(), 2u);
  EXPECT_EQ(perStyle.size(), wanted.size());
  const std::string kml = test::ReadFile(path);
  for (const char* piece : {"-60 dBm and stronger", "-75 to -60 dBm", "below -75 dBm",
                            "<Style id=\"band3\">", "<Style id=\"route\">", "<LineString>"})
    EXPECT_NE(kml.find(piece), std::string::npos) << piece;
  EXPECT_EQ(kml.find("<Style id=\"band4\">"), std::string::npos);
}

// A long drive: more points than a KML file took while the whole document
// was kept in memory (250000), in the same memory from the first segments to
// the end. Four receivers (three of a segment's folders wait in temporary
// files), segments, paging messages and a route all the way.
TEST(KmlExport, TakesAnyNumberOfPointsInTheSameMemory) {
  exporting::KmlExport sink({ExportFormat::Kml, "/dev/null"});
  sink.SetLog(exporting::ExportLog(Row(ProductItem::ZevCard), "drive.log"));
  struct NoReader : Product {
  } reader;
  ASSERT_TRUE(sink.BeginLog(reader));
  constexpr int kRecords = 62600;
  constexpr int kSegmentRecords = 5000;
  size_t early = 0, late = 0;  // the most held in the first tenth and after it
  ReadingRecord r;
  for (int i = 0; i < kRecords; ++i) {
    r.time = ClockTime(ReadingClock::Gps, 2024, 5, 1, i / 3600, i / 60 % 60, i % 60);
    r.position = PositionFix(50.0 + i * 1e-5, 10.0, i % 10 != 0);
    r.segment = 1 + i / kSegmentRecords;
    r.readings.clear();
    for (int receiver = 1; receiver <= 4; ++receiver)
      r.readings.push_back({receiver, i % 300, 851.0, -50 - i % 70});
    r.messages.clear();
    if (i % 100 == 0) r.messages.push_back({"POCSAG", "AN", 1234567, "MEETING MOVED TO 3PM"});
    ASSERT_TRUE(sink.Take(r)) << sink.Error();
    size_t& peak = i < kRecords / 10 ? early : late;
    peak = std::max(peak, sink.HeldBytes());
  }
  ASSERT_TRUE(sink.EndLog()) << sink.Error();
  ASSERT_TRUE(sink.Close()) << sink.Error();
  EXPECT_EQ(sink.ReadingsWritten(), 4 * kRecords);
  EXPECT_EQ(sink.MessagesWritten(), (kRecords + 99) / 100);
  EXPECT_LE(late, early) << early;
  EXPECT_LT(late, size_t{8} << 20);
}

// Names of logs and texts of paging messages can hold any byte: the KML
// stays well-formed XML, and the texts come back with U+FFFD for the bytes
// that are not UTF-8 or that XML does not allow.
TEST(KmlExport, AnyByteInALogNameOrAMessageMakesWellFormedXml) {
  const std::string path = TempPath("bytes.kml");
  exporting::KmlExport sink({ExportFormat::Kml, path});
  sink.SetLog(exporting::ExportLog(Row(ProductItem::ZevCard), "a&b<c>\"d'e\xff\xc3(]]>\x01.bin"));
  struct NoReader : Product {
  } reader;
  ASSERT_TRUE(sink.BeginLog(reader));
  ReadingRecord r;
  r.time = ClockTime(ReadingClock::Gps, 2024, 5, 1, 12, 0, 0);
  r.position = PositionFix(50.0, 10.0, true);
  r.segment = 1;
  // Two receivers: the second folder goes through a temporary file.
  r.readings = {{1, 5, 851.0, -70}, {2, 6, 852.0, -90}};
  r.messages = {{"POCSAG", "AN", 7, "x < y && z > \"q\" ]]> \xed\xa0\x80 caf\xc3\xa9\r\nnext\x07"}};
  ASSERT_TRUE(sink.Take(r)) << sink.Error();
  ASSERT_TRUE(sink.EndLog()) << sink.Error();
  ASSERT_TRUE(sink.Close()) << sink.Error();

  test::WriteFile(TempPath("parse.py"),
                  std::string("import sys, xml.etree.ElementTree as E\n"
                              "E.parse(sys.argv[1])\nprint('well-formed')\n"));
  EXPECT_EQ(test::Shell("python3 " + TempPath("parse.py") + " " + path).out, "well-formed\n");
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  const std::string log = "a&b<c>\"d'e" + bad + bad + "(]]>" + bad + ".bin";
  Dataset d(path);
  ASSERT_NE(d.ds, nullptr);
  for (int receiver : {1, 2}) {
    OGRLayer* layer =
        d.ds->GetLayerByName(fmt::format("{} receiver {} segment 1", log, receiver).c_str());
    ASSERT_NE(layer, nullptr) << receiver;
    std::unique_ptr<OGRFeature> f(layer->GetNextFeature());
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->GetFieldAsString("log"), log.c_str());
    EXPECT_EQ(f->GetFieldAsInteger("receiver"), receiver);
  }
  OGRLayer* paging = d.ds->GetLayerByName("Paging messages");
  ASSERT_NE(paging, nullptr);
  std::unique_ptr<OGRFeature> m(paging->GetNextFeature());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(std::string(m->GetFieldAsString("text")),
            "x < y && z > \"q\" ]]> " + bad + bad + bad + " caf\xc3\xa9\r\nnext" + bad);
  EXPECT_EQ(m->GetFieldAsInteger64("capcode"), 7);
  EXPECT_NE(std::string(m->GetFieldAsString("description")).find("x &lt; y &amp;&amp; z &gt;"),
            std::string::npos);
}

// Texts as XML takes them: entities, U+FFFD for bytes that are no UTF-8
// (overlong forms, surrogates, past U+10FFFF, cut short) or no character of
// XML (controls, U+FFFE), and CDATA sections split around "]]>".
TEST(XmlText, EscapesAndReplacesWhatXmlDoesNotTake) {
  auto text = [](std::string_view in) {
    std::string out;
    exporting::AppendXmlText(out, in);
    return out;
  };
  auto cdata = [](std::string_view in) {
    std::string out;
    exporting::AppendCdata(out, in);
    return out;
  };
  const std::string bad = "\xEF\xBF\xBD";
  EXPECT_EQ(text("a&<>\"'\r\n\tz"), "a&amp;&lt;&gt;&quot;&apos;&#13;\n\tz");
  EXPECT_EQ(text("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1 \xEF\xBF\xBD"),
            "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1 \xEF\xBF\xBD");
  EXPECT_EQ(text("\xc0\xaf|\xe0\x80\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|\xef\xbf\xbe|\x01\x1f"),
            bad + bad + "|" + bad + bad + bad + "|" + bad + bad + bad + "|" + bad + bad + bad +
                bad + "|" + bad + bad + bad + "|" + bad + bad);
  EXPECT_EQ(text("ab\xe2\x82"), "ab" + bad + bad);
  EXPECT_EQ(cdata("<b>a]]>b</b>\xff"), "<![CDATA[<b>a]]]]><![CDATA[>b</b>" + bad + "]]>");
  EXPECT_EQ(cdata("]]]>>"), "<![CDATA[]]]]]><![CDATA[>>]]>");
}

// A write that fails is no success: said with the file's name, by the call
// that meets it or by Close.
TEST(KmlExport, AFailedWriteIsNoSuccess) {
  const Sample& brisel = kSamples[6];
  const std::string log = SampleLog(brisel);
  std::vector<std::string> paths = {TempPath("no/such/dir/x.kml")};
  if (test::FileExists("/dev/full")) paths.push_back("/dev/full");
  for (const std::string& path : paths) {
    exporting::KmlExport sink({ExportFormat::Kml, path});
    sink.SetLog(exporting::ExportLog(*ProductRowFor(brisel.item), "drive.log"));
    std::unique_ptr<Product> reader = CreateReader(brisel.item);
    Settings s;
    s.InputFilename = log;
    s.InputFormatGroup = brisel.item;
    RunHooks hooks;
    ReadingRun run(*reader, s, {}, hooks);
    const bool ran = run.Run(sink) == ReadingOutcome::Completed;
    EXPECT_FALSE(ran && sink.Close()) << path;
    EXPECT_FALSE(sink.Close()) << path;  // and asked again, still no success
    EXPECT_EQ(sink.Error().rfind(path + ": ", 0), 0u) << sink.Error();
  }
}

// The route goes on in time: a row measured before the last point (another
// receiver's list of an earlier time) is no step back along the road.
TEST(KmlExport, TheRouteGoesOnInTime) {
  const std::string path = TempPath("route.kml");
  std::unique_ptr<exporting::ExportSink> sink = exporting::CreateExport({ExportFormat::Kml, path});
  sink->SetLog(exporting::ExportLog(Row(ProductItem::TolvanNew), "drive.log"));
  struct NoReader : Product {
  } reader;
  ASSERT_TRUE(sink->BeginLog(reader));
  for (const auto& [second, latitude] :
       {std::pair{0, 50.0}, {1, 50.001}, {0, 50.0005}, {2, 50.002}}) {
    ReadingRecord r;
    r.time = ClockTime(ReadingClock::Receiver, 2024, 5, 1, 12, 0, second);
    r.position = PositionFix(latitude, 10.0, true);
    r.readings = {Reading{1, 5, 851.0, -70}};
    ASSERT_TRUE(sink->Take(r)) << sink->Error();
  }
  ASSERT_TRUE(sink->EndLog());
  ASSERT_TRUE(sink->Close()) << sink->Error();
  Dataset d(path);
  ASSERT_NE(d.ds, nullptr);
  OGRLayer* route = d.ds->GetLayerByName("Route");
  ASSERT_NE(route, nullptr);
  std::vector<double> latitudes;
  for (auto& f : *route) {
    const OGRGeometry* g = f->GetGeometryRef();
    ASSERT_NE(g, nullptr);
    // Read back as one line or as a collection of lines.
    std::unique_ptr<OGRGeometry> lines(OGRGeometryFactory::forceToMultiLineString(g->clone()));
    for (const OGRLineString* line : *lines->toMultiLineString())
      for (const OGRPoint& p : *line) latitudes.push_back(p.getY());
  }
  EXPECT_EQ(latitudes, (std::vector<double>{50.0, 50.001, 50.002}));
}

// The window's map: a point per place with the strongest reading of each
// receiver there; records without a fix counted, not drawn; a track of more
// places than it keeps thinned to every other one, in bounded memory.
TEST(DriveTrack, APointPerPlaceWithEachReceiversStrongestReading) {
  exporting::DriveTrackSink track;
  struct NoReader : Product {
  } reader;
  ASSERT_TRUE(track.BeginLog(reader));
  auto record = [](double latitude, std::vector<Reading> readings, int segment = 1) {
    ReadingRecord r;
    r.position = PositionFix(latitude, 10.0, latitude != 0);
    r.readings = std::move(readings);
    r.segment = segment;
    return r;
  };
  Reading quiet{2, 9, 851.0, 0};
  quiet.hasRssi = false;
  track.Take(record(50.0, {{1, 3, 851.0, -80}, {2, 4, 852.0, -90}}));
  track.Take(record(50.0, {{1, 5, 851.5, -70}, {1, 6, 851.6, -75}, quiet}));
  track.Take(record(0, {{1, 7, 851.0, -60}}));
  track.Take(record(50.0, {{1, 8, 851.0, -50}}, 2));  // the same place in the next segment
  track.Take(record(50.001, {{2, 1, 852.0, -95}}));
  const auto& points = track.Points();
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(track.RecordsWithoutFix(), 1);
  EXPECT_EQ(points[0].strongest[0].channel, 5);
  EXPECT_EQ(points[0].strongest[0].rssiDbm, -70);
  EXPECT_EQ(points[0].strongest[1].rssiDbm, -90);
  int from = 0;
  EXPECT_EQ(points[0].Strongest(0, &from)->rssiDbm, -70);
  EXPECT_EQ(from, 1);
  EXPECT_EQ(points[1].segment, 2);
  EXPECT_EQ(points[2].Strongest(1), nullptr);
  EXPECT_EQ(points[2].Strongest(0, &from)->channel, 1);
  EXPECT_EQ(from, 2);

  ASSERT_TRUE(track.BeginLog(reader));
  const size_t places = 2 * exporting::DriveTrackSink::kMaxPoints + 10;
  for (size_t i = 0; i < places; ++i)
    track.Take(record(40.0 + static_cast<double>(i) * 1e-6, {{1, 1, 851.0, -70}}));
  EXPECT_LE(track.Points().size(), exporting::DriveTrackSink::kMaxPoints);
  EXPECT_GE(track.Points().size(), exporting::DriveTrackSink::kMaxPoints / 2);
  EXPECT_EQ(track.Stride(), 4u);
  EXPECT_DOUBLE_EQ(track.Points().front().latitude, 40.0);
  EXPECT_LT(track.Points()[1].latitude - track.Points()[0].latitude, 5e-6);
}

// Text with the characters RFC 4180 quotes comes back whole.
TEST(CsvExport, QuotesCommasQuotesAndLineBreaks) {
  const std::string path = TempPath("quoted.csv");
  std::unique_ptr<exporting::ExportSink> sink = exporting::CreateExport({ExportFormat::Csv, path});
  sink->SetLog(exporting::ExportLog(Row(ProductItem::ZevCard), "a,\"b\".bin"));
  struct NoReader : Product {
  } reader;
  ASSERT_TRUE(sink->BeginLog(reader));
  ReadingRecord r;
  r.time = ClockTime(ReadingClock::Gps, 2024, 5, 1, 12, 0, 0);
  r.messages = {{"FLEX", "AN", 7, "He said \"go\", then\nleft"}};
  ASSERT_TRUE(sink->Take(r));
  ASSERT_TRUE(sink->EndLog());
  ASSERT_TRUE(sink->Close());
  const std::string script =
      "import csv,sys\n"
      "rows=list(csv.reader(open(sys.argv[1],newline='')))\n"
      "print(repr(rows[1][6]), repr(rows[1][-1]), rows[1][0])\n";
  test::WriteFile(TempPath("quoted.py"), script);
  const auto result = test::Shell("python3 " + TempPath("quoted.py") + " " +
                                  exporting::PagingFileName(ExportFormat::Csv, path));
  EXPECT_EQ(result.out, "'a,\"b\".bin' 'He said \"go\", then\\nleft' 2024-05-01T12:00:00Z\n");
}

TEST(CsvExport, AFullDiskIsNoSuccess) {
  if (!test::FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::unique_ptr<exporting::ExportSink> sink =
      exporting::CreateExport({ExportFormat::Csv, "/dev/full"});
  struct NoReader : Product {
  } reader;
  ASSERT_TRUE(sink->BeginLog(reader));
  ReadingRecord r;
  r.readings.assign(20000, Reading{1, 5, 851.0, -70});
  const bool taken = sink->Take(r);
  EXPECT_FALSE(taken && sink->Close());
  EXPECT_NE(sink->Error().find("/dev/full"), std::string::npos) << sink->Error();
}

}  // namespace
}  // namespace morphel
