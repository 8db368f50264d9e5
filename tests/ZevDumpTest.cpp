// The Zev PC dump log reader: sync framing and resynchronisation, the
// signature, setup and GPS records, measurement records of both firmware
// layouts, segments on a change of mode, the field differences from the PC
// card log and one set of layout lines per channel entry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "app/Detect.h"
#include "core/Bytes.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "products/ZevDump.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using Bytes = std::vector<uint8_t>;

struct Entry {
  uint8_t level;
  uint16_t channel;
};

struct MeasurementSpec {
  uint8_t mode = 3;
  uint16_t firmware = 105;
  uint8_t status = 0x80;
  uint8_t flags = 0;
  std::vector<Entry> entries = {{60, 5}};
  Bytes tones = {};
  uint8_t hour = 10, minute = 20, second = 30;
  // Below firmware 103 the record carries the plan and the position itself.
  uint16_t first = 1, last = 100, baseMHz = 851, fraction = 125, spacing = 125;
  Bytes bcdPosition = Bytes(13, 0);
  Bytes gpsTime = {0x12, 0x34, 0x56};
};

Bytes Measurement(const MeasurementSpec& m) {
  const bool bcd = m.firmware < 103;
  Bytes r(bcd ? 23 : 26, 0);
  r[0] = m.mode;
  putLe16(&r[1], m.firmware);
  r[9] = m.status;
  if (bcd) std::copy(m.bcdPosition.begin(), m.bcdPosition.end(), r.begin() + 10);
  Bytes h(26, 0);
  std::copy(m.gpsTime.begin(), m.gpsTime.end(), h.begin());
  putLe16(&h[4], 0x0102);  // odometer
  putLe16(&h[6], 9);       // marker
  putLe16(&h[8], m.first);
  putLe16(&h[10], m.last);
  putLe16(&h[12], m.baseMHz);
  putLe16(&h[14], m.fraction);
  putLe16(&h[16], m.spacing);
  h[18] = m.flags;
  h[19] = m.second, h[20] = m.minute, h[21] = m.hour;
  h[22] = 7, h[23] = 8, h[24] = 98;
  h[25] = static_cast<uint8_t>(m.entries.size());
  r.insert(r.end(), h.begin(), h.end());
  for (const Entry& e : m.entries) {
    r.insert(r.end(), {e.level, 0, 0});
    r.push_back(static_cast<uint8_t>(e.channel));
    r.push_back(static_cast<uint8_t>(e.channel >> 8));
  }
  r.insert(r.end(), m.tones.begin(), m.tones.end());
  return r;
}

Bytes SetupRecord(int16_t first, int16_t last, uint16_t base, uint16_t fraction, uint16_t spacing,
                  uint8_t numbers) {
  Bytes r(20, 0);
  r[0] = ZevDump::kSetupRecord;
  putLe16(&r[9], static_cast<uint16_t>(first));
  putLe16(&r[11], static_cast<uint16_t>(last));
  putLe16(&r[13], base);
  putLe16(&r[15], fraction);
  putLe16(&r[17], spacing);
  r[19] = numbers;
  return r;
}

Bytes GpsRecord(int32_t lat, int32_t lon, uint8_t nav, int32_t altitudeCm = 25000) {
  Bytes r(72, 0);
  r[0] = ZevDump::kGpsRecord;
  r[5] = 13, r[6] = 45, r[7] = 59;
  putBe32(&r[12], static_cast<uint32_t>(lat));
  putBe32(&r[16], static_cast<uint32_t>(lon));
  putBe32(&r[20], static_cast<uint32_t>(altitudeCm));
  putBe32(&r[28], 100);
  r[69] = nav;
  return r;
}

const Bytes kSignature = {15, 'Q', 'V', 'R', 'Z', 'E', 'V', 0, 0};

// Frames records as the data link does: sync byte, length, record.
class DumpLog {
 public:
  DumpLog& Frame(const Bytes& record) {
    bytes_.push_back(ZevDump::kSync);
    uint16_t l = static_cast<uint16_t>(record.size() + 1);
    bytes_.push_back(static_cast<uint8_t>(l));
    bytes_.push_back(static_cast<uint8_t>(l >> 8));
    bytes_.insert(bytes_.end(), record.begin(), record.end());
    return *this;
  }
  DumpLog& Raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  std::string Write(const std::string& name) const {
    std::string path = test::TempPath(name);
    test::WriteFile(path, bytes_);
    return path;
  }

 private:
  Bytes bytes_;
};

class ZevDumpReader : public ::testing::Test {
 protected:
  void OpenLog(const DumpLog& log, const std::string& name = "dump.zev") {
    reader.AttachReceiverSelectors(&settings);
    ASSERT_EQ(reader.Open(log.Write(name)), 0);
  }
  // (bytes taken, result) for every block.
  std::vector<std::pair<int64_t, int>> Drain() {
    std::vector<std::pair<int64_t, int>> out;
    for (int64_t n; (n = reader.ReadBlock(block)) > 0;)
      out.emplace_back(n, reader.ProcessBlock(block));
    return out;
  }
  std::string Field(int id) {
    std::string out;
    reader.FormatField(id, out);
    return out;
  }
  std::string Values() {
    std::string all, part;
    for (int r = reader.FormatDataValues(0, part, ','); r >= 0;
         r = reader.FormatDataValues(1, part, ','))
      all += (all.empty() ? "" : "|") + part;
    return all;
  }

  ZevDump reader;
  Settings settings;
  Product::Block block;
};

TEST_F(ZevDumpReader, OffersTheCardFieldsAndExtendedNavigationStatus) {
  std::vector<int> ids = reader.AvailableFields();
  ASSERT_EQ(ids.size(), 39u);
  EXPECT_EQ(ids.back(), FieldCatalog::kExtNavStatus);
}

TEST_F(ZevDumpReader, ResynchronisesOnTheSyncByteAndSkipsBadLengths) {
  DumpLog log;
  log.Raw({0x00, 0x11});
  log.Frame(kSignature);
  log.Raw({0xAA, 0x64, 0x10});  // length 4196
  log.Raw({0xAA, 0x00, 0x00});  // length 0: no record data
  log.Frame({8, 1, 2});
  OpenLog(log);
  auto blocks = Drain();
  using B = std::pair<int64_t, int>;
  EXPECT_EQ(blocks, (std::vector<B>{{1, 0}, {1, 0}, {3 + 9, 0}, {3, 0}, {3, 0}, {3 + 3, 0}}));
  EXPECT_EQ(reader.Damage.resyncBytes, 2u);
  EXPECT_EQ(reader.Damage.badLengthBlocks, 2u);
  EXPECT_EQ(reader.TextBuffer, "Unrecognized\n");  // type 8: the dump log has no fast fade
  EXPECT_EQ(reader.Damage.unknownRecords, 1u);
}

TEST_F(ZevDumpReader, LargestFrameIsDeliveredAndAShortFrameEndsTheInput) {
  DumpLog log;
  Bytes big(ZevDump::kLargestRecord, 0);
  big[0] = 0x40;
  log.Frame(big);
  log.Raw({0xAA, 0x10, 0x00, 3, 1});
  OpenLog(log);
  ASSERT_EQ(reader.ReadBlock(block), 4197);
  EXPECT_EQ(block.size(), 4194u);
  EXPECT_EQ(reader.ReadBlock(block), 0);
  EXPECT_EQ(reader.Damage.truncatedBlocks, 1u);
}

TEST_F(ZevDumpReader, SignatureFileIsDetectedAndGivesNoOutput) {
  DumpLog log;
  log.Frame(kSignature);
  std::string path = log.Write("sig.zev");
  EXPECT_EQ(DetectProduct(path), kItemZevDump);
  OpenLog(log);
  reader.ConversionPass = true;
  EXPECT_EQ(Drain().front().second, Product::kNothing);
  EXPECT_TRUE(reader.TextBuffer.empty());
}

TEST_F(ZevDumpReader, SegmentsStartOnlyOnAChangeOfMode) {
  DumpLog log;
  log.Frame(Measurement({.mode = 3, .hour = 1}));
  log.Frame(Measurement({.mode = 3, .hour = 2}));
  log.Frame(Measurement({.mode = 5, .firmware = 106, .hour = 3}));
  log.Frame(Measurement({.mode = 20, .hour = 4}));
  Bytes flex = Measurement({.mode = 15, .hour = 5});
  log.Frame(flex);
  OpenLog(log);
  std::vector<std::pair<int, std::string>> segments;
  while (reader.ReadBlock(block) > 0) {
    EXPECT_EQ(reader.ProcessBlock(block), Product::kNothing);  // indexing decodes nothing
    if (reader.SegmentReady) segments.emplace_back(reader.SegmentType, reader.SegmentStartTime);
    reader.SegmentReady = false;
  }
  using S = std::pair<int, std::string>;
  EXPECT_EQ(segments,
            (std::vector<S>{{6, "01:20:30"}, {8, "03:20:30"}, {21, "04:20:30"}, {18, "05:20:30"}}));

  OpenLog(log);
  reader.ConversionPass = true;
  std::vector<int> results;
  for (auto [n, r] : Drain()) results.push_back(r);
  EXPECT_EQ(results, (std::vector<int>{4, 1, 4, 4, 4}));
  EXPECT_EQ(reader.PendingRecordCount, 1);
}

TEST_F(ZevDumpReader, Firmware102CarriesPlanPositionAndTimeInTheRecord) {
  settings.ChannelField = true;
  DumpLog log;
  MeasurementSpec m{.firmware = 102, .flags = 128, .entries = {{61, 334}, {62, 200}}};
  m.first = 300, m.last = 400, m.baseMHz = 870, m.fraction = 300, m.spacing = 300;
  m.bcdPosition = {0x04, 0x04, 0x30, 0x12, 'N', 0x07, 0x40, 0x05, 0x00, 'W', 0, 0, 0};
  log.Frame(Measurement(m));
  OpenLog(log);
  reader.ConversionPass = true;
  Drain();
  // 334 is 34 channels of 30 kHz above 870.0300; 200 lies outside 300..400.
  EXPECT_EQ(Values(), "871.0500,301,-61|0.0000,167,-62");
  EXPECT_EQ(Field(FieldCatalog::kGpsTime), "12:34:56");
  EXPECT_EQ(Field(FieldCatalog::kLatDecimal), "40.716867");
  EXPECT_EQ(Field(FieldCatalog::kLonDecimal), "-74.008333");
  EXPECT_EQ(Field(FieldCatalog::kRtcDate), "08/07/98");
  EXPECT_EQ(Field(FieldCatalog::kRtcTime), "10:20:30");
  EXPECT_EQ(Field(FieldCatalog::kGpsStatus), "LOCKED");
  EXPECT_EQ(Field(FieldCatalog::kOdometer), "258");
  EXPECT_EQ(Field(FieldCatalog::kMarkerValue), "9");
}

TEST_F(ZevDumpReader, Firmware105TakesPlanFromSetupAndPositionFromGps) {
  settings.ChannelField = true;
  settings.SATField = settings.VMACField = true;
  DumpLog log;
  log.Frame(SetupRecord(35, 1000, 929, 125, 250, 16));
  log.Frame(GpsRecord(146580720, -266430000, 0x10));
  log.Frame(Measurement(
      {.status = 0, .flags = 0x80, .entries = {{70, 100}, {71, 35}}, .tones = {1, 0, 4, 2, 0, 5}}));
  OpenLog(log);
  reader.ConversionPass = true;
  Drain();
  // 65 steps of 25 kHz above 929.0125; displayed numbers are 34 lower.
  EXPECT_EQ(Values(), "930.6375,66,-70,1,4|929.0125,1,-71,2,5");
  EXPECT_EQ(Field(FieldCatalog::kGpsTime), "13:45:59");
  EXPECT_EQ(Field(FieldCatalog::kLatDecimalMinutes), "43.012");
  EXPECT_EQ(Field(FieldCatalog::kLonHemisphere), "W");
  EXPECT_EQ(Field(FieldCatalog::kGpsAltitude), "250");
  EXPECT_EQ(Field(FieldCatalog::kGpsVelocity), "2.2");
  EXPECT_EQ(Field(FieldCatalog::kGpsStatus), "UNLOCKED");
  EXPECT_EQ(Field(FieldCatalog::kExtNavStatus), "VALID");
  log.Frame(GpsRecord(0, 0, 0x40, -150));  // 1.5 m below sea level
  OpenLog(log, "nav.zev");
  Drain();
  EXPECT_EQ(Field(FieldCatalog::kExtNavStatus), "INVALID");
  EXPECT_EQ(Field(FieldCatalog::kGpsAltitude), "-1");
}

struct DumpChannelCase {
  uint8_t numbers;
  uint16_t firmware;
  uint16_t channel;
  int shown;
};

TEST_F(ZevDumpReader, DisplayedChannelFollowsTheNumberingMode) {
  settings.ChannelField = true;
  settings.FrequencyField = settings.RSSIField = false;
  const std::vector<DumpChannelCase> cases = {{16, 105, 100, 66},   {16, 105, 34, 1023},
                                              {128, 101, 334, 301}, {128, 100, 334, 300},
                                              {128, 101, 20, 1010}, {0x90, 105, 334, 334}};
  for (const DumpChannelCase& c : cases) {
    DumpLog log;
    log.Frame(
        Measurement({.firmware = c.firmware, .flags = c.numbers, .entries = {{60, c.channel}}}));
    if (c.firmware >= 103) {
      log = DumpLog();
      log.Frame(SetupRecord(1, 2000, 851, 0, 125, c.numbers));
      log.Frame(Measurement({.firmware = c.firmware, .entries = {{60, c.channel}}}));
    }
    OpenLog(log, "numbers.zev");
    reader.ConversionPass = true;
    Drain();
    EXPECT_EQ(Values(), std::to_string(c.shown)) << int(c.numbers) << " " << c.channel;
  }
}

TEST_F(ZevDumpReader, FieldsThatDifferFromThePcCard) {
  DumpLog log;
  log.Frame(Measurement({.mode = 15, .entries = {}}));
  OpenLog(log);
  reader.ConversionPass = true;
  Drain();
  EXPECT_EQ(Field(FieldCatalog::kMeasurementType), "FLX");
  log.Frame(Measurement({.mode = 4}));
  OpenLog(log, "twenty.zev");
  reader.ConversionPass = true;
  Drain();
  EXPECT_EQ(Field(FieldCatalog::kMeasurementType), "20C");
}

TEST_F(ZevDumpReader, EntriesAreCappedToTheBytesPresentAndTheTable) {
  Bytes r = Measurement({.firmware = 102, .entries = {{60, 5}, {61, 6}, {62, 7}}});
  r.resize(r.size() - 7);  // the last entry and a half are missing
  DumpLog log;
  log.Frame(r);
  std::vector<Entry> many(90, Entry{70, 5});
  log.Frame(Measurement({.entries = many}));
  OpenLog(log);
  reader.ConversionPass = true;
  reader.ReadBlock(block), reader.ProcessBlock(block);
  EXPECT_EQ(Values(), "851.0625,-60");
  reader.ReadBlock(block), reader.ProcessBlock(block);
  std::string values = Values();
  EXPECT_EQ(std::count(values.begin(), values.end(), '|'), ZevDump::kMaxEntries - 1);
  Product::Block shortBlock = {3, 0x69, 0};
  EXPECT_EQ(reader.ProcessBlock(shortBlock), Product::kNothing);
}

TEST_F(ZevDumpReader, BestServerOverTheRecordsEntries) {
  DumpLog log;
  log.Frame(Measurement({.firmware = 102, .entries = {{90, 5}, {65, 6}, {65, 7}}}));
  OpenLog(log);
  reader.ConversionPass = true;
  reader.SetAverageMode(Product::kAverageBestServer);
  Drain();
  EXPECT_EQ(Values(), "851.0750,-65");
}

class ZevDumpRun : public ZevDumpReader {
 protected:
  std::string Convert(const DumpLog& log, int format) {
    settings.InputFilename = log.Write("run.zev");
    settings.OutputFilename = test::TempPath("dumprun.out");
    settings.InputFormatGroup = kItemZevDump;
    settings.OutputFormatGroup = format;
    settings.NativeFormat = format == 3 || format == 6 || format == 7 || format == 12;
    const std::vector<int> ids = {FieldCatalog::kRtcTime, FieldCatalog::kData};
    settings.SelectedBox.clear();
    for (int id : ids) settings.SelectedBox.emplace_back(FieldCatalog::Name(id));
    reader.SetSelectedFields(ids);
    RunHooks hooks;
    EXPECT_EQ(ConversionRun(reader, settings, hooks).Run(), RunOutcome::Completed);
    return test::ReadFile(settings.OutputFilename);
  }
  DumpLog ThreeEntries() {
    DumpLog log;
    log.Frame(kSignature);
    log.Frame(SetupRecord(1, 100, 851, 125, 125, 0));
    log.Frame(GpsRecord(146580720, -266430000, 0x30));
    log.Frame(Measurement({.entries = {{60, 5}, {61, 6}, {62, 200}}}));
    return log;
  }
};

TEST_F(ZevDumpRun, GraysonWritesAnRLinePerEntryAndOneGLine) {
  const std::string out = Convert(ThreeEntries(), 3);
  EXPECT_EQ(out, "D1998080713\rm455900RCRD" + std::string(42, '0') +
                     "\rr455900085106250060\rr455900085107500061\rr455900000000000062\r"
                     "G455900+040.716866+74.008331345590000\r"
                     "m455900IDLE" +
                     std::string(42, '0') + "\r");
}

TEST_F(ZevDumpRun, PlanetAndInFielderWriteALinePerEntry) {
  const std::string planet = Convert(ThreeEntries(), 7);
  EXPECT_NE(planet.find("_MAIN\r\n13:45:59:00 40.716867 -74.008333 REPORT::Report: 851.0625 5 -60"
                        "\r\n13:45:59:00 40.716867 -74.008333 REPORT::Report: 851.0750 6 -61\r\n"
                        "13:45:59:00 40.716867 -74.008333 REPORT::Report: 0.0000 200 -62\r\n"),
            std::string::npos);
  const std::string infielder = Convert(ThreeEntries(), 12);
  EXPECT_NE(infielder.find("_\r\n9.00\t258.00\t0.00\t9\t-60\tXXX\r\n9.00\t258.00\t0.00\t9\t-61"
                           "\tXXX\r\n9.00\t258.00\t0.00\t9\t-62\tXXX\r\n"),
            std::string::npos);
  const std::string pathView = Convert(ThreeEntries(), 6);
  EXPECT_EQ(pathView.size(), 19u + 3 * 28u);
}

TEST_F(ZevDumpRun, CustomAsciiWritesTitlesAtEachNewMode) {
  DumpLog log = ThreeEntries();
  log.Frame(Measurement({.entries = {{63, 5}}, .second = 31}));
  log.Frame(Measurement({.mode = 1, .entries = {{64, 6}}, .second = 32}));
  EXPECT_EQ(Convert(log, 11),
            "\"RTC Time (HH:MM:SS)\",\"Freq. #1\",\"RSSI #1\",\"Freq. #2\",\"RSSI #2\","
            "\"Freq. #3\",\"RSSI #3\"\r\n"
            "10:20:30,851.0625,-60,851.0750,-61,0.0000,-62\r\n"
            "10:20:31,851.0625,-63\r\n"
            "\"RTC Time (HH:MM:SS)\",\"Freq. #1\",\"RSSI #1\"\r\n"
            "10:20:32,851.0750,-64\r\n");
}

}  // namespace
}  // namespace morphel
