// The Zev PC card log reader: record framing, setups and channel lists, level
// rows, both GPS layouts, segments, field texts, averaging, the native layouts
// and the paging messages.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "app/Detect.h"
#include "core/Bytes.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/Formats.h"
#include "products/ProductTable.h"
#include "products/Zev.h"
#include "products/ZevDump.h"
#include "synth/ZevWriter.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using Bytes = std::vector<uint8_t>;

struct SetupSpec {
  uint8_t mode = 3;
  uint8_t flags = 0;
  uint16_t firmware = 105;
  std::vector<uint16_t> channels = {5};
  uint16_t first = 1, baseMHz = 851, fraction = 125, spacing = 125;
  uint8_t day = 14, month = 6, year = 99;
  uint8_t xy = 0;
};

// A PC card log built record by record.
class CardLog {
 public:
  CardLog() : bytes_(Zev::kFileHeaderSize, 0) { bytes_[0] = 'Z', bytes_[1] = 'E', bytes_[2] = 'V'; }
  CardLog& Setup(const SetupSpec& s) {
    Bytes r(1 + 25, 0);
    r[0] = Zev::kSetupRecord;
    r[1] = s.day, r[2] = s.month, r[3] = s.year, r[4] = s.mode, r[5] = s.xy;
    putLe16(&r[6], s.first);
    putLe16(&r[10], s.baseMHz);
    putLe16(&r[12], s.fraction);
    putLe16(&r[14], s.spacing);
    r[16] = s.flags;
    putLe16(&r[17], s.firmware);
    r[25] = static_cast<uint8_t>(s.channels.size());
    for (uint16_t ch : s.channels) r.push_back(uint8_t(ch)), r.push_back(uint8_t(ch >> 8));
    return Add(r, true);
  }
  CardLog& Level(const Bytes& levels, const Bytes& tones = {}, uint8_t h = 10, uint8_t m = 0,
                 uint8_t s = 0) {
    Bytes r = {Zev::kLevelRecord, h, m, s, static_cast<uint8_t>(levels.size())};
    r.insert(r.end(), levels.begin(), levels.end());
    r.insert(r.end(), tones.begin(), tones.end());
    return Add(r, true);
  }
  CardLog& Timed(uint8_t type, uint8_t h, uint8_t m, uint8_t s, const Bytes& rest) {
    Bytes r = {type, h, m, s};
    r.insert(r.end(), rest.begin(), rest.end());
    return Add(r, true);
  }
  CardLog& Add(Bytes r, bool trailer) {
    if (trailer) r.push_back(0xEE), r.push_back(0xEE);
    bytes_.insert(bytes_.end(), r.begin(), r.end());
    return *this;
  }
  std::string Write(const std::string& name) const {
    std::string path = test::TempPath(name);
    test::WriteFile(path, bytes_);
    return path;
  }
  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_;
};

Bytes BcdGpsBody(uint8_t status, const Bytes& lat, char ns, const Bytes& lon, char ew,
                 const Bytes& time) {
  Bytes b = {status};
  b.insert(b.end(), lat.begin(), lat.end());
  b.push_back(uint8_t(ns));
  b.insert(b.end(), lon.begin(), lon.end());
  b.push_back(uint8_t(ew));
  b.insert(b.end(), {0, 0, 0});
  b.insert(b.end(), time.begin(), time.end());
  return b;
}

Bytes BinaryGpsBody(uint8_t status, int32_t lat, int32_t lon, uint32_t alt, uint16_t vel,
                    const Bytes& time) {
  Bytes b(17, 0);
  b[0] = status;
  putBe32(&b[1], static_cast<uint32_t>(lat));
  putBe32(&b[5], static_cast<uint32_t>(lon));
  putBe32(&b[9], alt);
  putBe16(&b[13], vel);
  b.insert(b.end(), time.begin(), time.end());
  return b;
}

class ZevCard : public ::testing::Test {
 protected:
  void OpenLog(CardLog& log, const std::string& name = "card.bin") {
    reader.AttachReceiverSelectors(&settings);
    ASSERT_EQ(reader.Open(log.Write(name)), 0);
  }
  // Reads and processes every record; returns the ProcessBlock results.
  std::vector<int> Drain() {
    std::vector<int> results;
    while (reader.ReadBlock(block) > 0) results.push_back(reader.ProcessBlock(block));
    return results;
  }
  std::string Field(int id) {
    std::string out;
    reader.FormatField(id, out);
    return out;
  }
  // All << DATA >> groups of the current row, joined by ','.
  std::string Values(int row = 0) {
    reader.RemainingRecordCount = static_cast<int16_t>(reader.PendingRecordCount - row);
    std::string all, part;
    for (int r = reader.FormatDataValues(0, part, ','); r >= 0;
         r = reader.FormatDataValues(1, part, ','))
      all += (all.empty() ? "" : "|") + part;
    return all;
  }
  std::string Titles() {
    std::string all, part;
    for (int r = reader.WriteDataTitles(0, part, ','); r >= 0;
         r = reader.WriteDataTitles(1, part, ','))
      all += (all.empty() ? "" : "|") + part;
    return all;
  }

  Zev reader;
  Settings settings;
  Product::Block block;
};

TEST_F(ZevCard, OffersItsThirtyEightFieldsInOrder) {
  std::vector<int> ids = reader.AvailableFields();
  ASSERT_EQ(ids.size(), 38u);
  EXPECT_EQ((std::vector<int>(ids.begin(), ids.begin() + 6)),
            (std::vector<int>{0, 1, 2, 3, 17, 5}));
  EXPECT_EQ((std::vector<int>(ids.end() - 6, ids.end())),
            (std::vector<int>{38, 39, 40, 41, 42, 43}));
}

TEST_F(ZevCard, EveryRecordTypeHasItsBodySize) {
  CardLog log;
  log.Setup({.mode = 3, .flags = 0x80, .firmware = 102, .channels = {334, 335}});
  log.Level({60, 61, 62, 63}, Bytes(12, 1));          // 4 levels and 4 tone triples
  log.Timed(Zev::kGpsRecord, 1, 2, 3, Bytes(17, 0));  // firmware 102: 20-byte body
  log.Timed(Zev::kMarkerRecord, 1, 2, 3, {0, 0, 0, 0});
  log.Timed(Zev::kTimeRecord, 1, 2, 3, {0, 0, 0, 0});
  log.Add(Bytes(1 + 81, 0x97), false);
  Bytes flex = {Zev::kFlexRecord, 5, 0};
  flex.resize(flex.size() + 16 + 5 + 2, 0);
  log.Add(flex, false);
  log.Setup({.mode = 7, .firmware = 103, .channels = {9}});
  log.Add(
      [] {
        Bytes r = {Zev::kLevelRecord, 1, 2, 3, 1};
        r.resize(5 + 79, 0);
        return r;
      }(),
      true);
  log.Timed(Zev::kGpsRecord, 1, 2, 3, Bytes(20, 0));  // firmware 103: 23-byte body
  OpenLog(log);
  std::vector<int64_t> sizes;
  for (int64_t n; (n = reader.ReadBlock(block)) > 0;) {
    EXPECT_EQ(static_cast<size_t>(n), block.size());
    sizes.push_back(n);
    reader.ProcessBlock(block);
  }
  EXPECT_EQ(sizes,
            (std::vector<int64_t>{1 + 25 + 4 + 2, 1 + 4 + 16 + 2, 1 + 20 + 2, 10, 10, 82,
                                  1 + 18 + 5 + 2, 1 + 25 + 2 + 2, 1 + 4 + 79 + 2, 1 + 23 + 2}));
  EXPECT_FALSE(reader.Damage.Any());
}

TEST_F(ZevCard, FlexRecordOfTheLargestLengthIsReadWhole) {
  CardLog log;
  Bytes flex = {Zev::kFlexRecord, 0xFF, 0xFF};
  flex.resize(flex.size() + 16 + 65535 + 2, 0);
  log.Add(flex, false);
  log.Timed(Zev::kTimeRecord, 7, 8, 9, {0, 0, 0, 0});
  OpenLog(log);
  ASSERT_EQ(reader.ReadBlock(block), static_cast<int64_t>(Zev::kLargestRecord));
  EXPECT_EQ(Zev::kLargestRecord, 65556u);
  reader.ProcessBlock(block);
  ASSERT_EQ(reader.ReadBlock(block), 10);
  reader.ProcessBlock(block);
  EXPECT_EQ(Field(FieldCatalog::kRtcTime), "07:08:09");
}

TEST_F(ZevCard, UnknownTypeOrShortRecordEndsTheInput) {
  CardLog log;
  log.Timed(Zev::kTimeRecord, 1, 2, 3, {0, 0, 0, 0});
  log.Add({0x55, 1, 2, 3}, false);
  log.Timed(Zev::kTimeRecord, 4, 5, 6, {0, 0, 0, 0});
  OpenLog(log);
  EXPECT_EQ(Drain().size(), 1u);
  EXPECT_EQ(reader.Damage.unknownRecords, 1u);

  CardLog cut;
  cut.Setup({.channels = {1, 2, 3}});
  cut.bytes().resize(cut.bytes().size() - 3);
  OpenLog(cut, "cut.bin");
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(reader.Damage.truncatedBlocks, 1u);
}

TEST_F(ZevCard, UnknownTypeReachingProcessBlockWritesText) {
  Product::Block b = {0x42, 0, 0};
  EXPECT_EQ(reader.ProcessBlock(b), Product::kNothing);
  EXPECT_EQ(reader.TextBuffer, "Unknown Type\n");
}

TEST_F(ZevCard, SetupsAlwaysStartSegmentsAndPagingRecordsOnAChange) {
  CardLog log;
  log.Timed(Zev::kTimeRecord, 8, 0, 1, {0, 0, 0, 0});
  log.Setup({.mode = 3});
  log.Timed(Zev::kTimeRecord, 8, 5, 2, {0, 0, 0, 0});
  log.Setup({.mode = 3});
  log.Timed(Zev::kTimeRecord, 8, 9, 3, {0, 0, 0, 0});
  log.Setup({.mode = 3});
  log.Add(Bytes(82, 0x97), false);
  log.Add(Bytes(82, 0x97), false);
  log.Setup({.mode = 5, .firmware = 106});
  log.Setup({.mode = 5, .firmware = 105});
  log.Setup({.mode = 20});
  log.Setup({.mode = 0});  // a mode without a segment type keeps the last one
  OpenLog(log);
  std::vector<std::pair<int, std::string>> segments;
  while (reader.ReadBlock(block) > 0) {
    reader.ProcessBlock(block);
    if (reader.SegmentReady) segments.emplace_back(reader.SegmentType, reader.SegmentStartTime);
    reader.SegmentReady = false;
  }
  using S = std::pair<int, std::string>;
  EXPECT_EQ(segments, (std::vector<S>{{6, "08:00:01"},
                                      {6, "08:05:02"},
                                      {6, "08:09:03"},
                                      {10, "08:09:03"},
                                      {21, "08:09:03"},
                                      {8, "08:09:03"},
                                      {21, "08:09:03"},
                                      {21, "08:09:03"}}));
  EXPECT_EQ(reader.SegmentCounter, 8);
}

TEST_F(ZevCard, SetupIsABoundaryWithItsDateAndTitles) {
  CardLog log;
  log.Setup({.channels = {5, 6}, .day = 3, .month = 11, .year = 4});
  OpenLog(log);
  EXPECT_EQ(reader.TitlePending, 0);
  EXPECT_EQ(Drain(), (std::vector<int>{Product::kBoundary}));
  EXPECT_EQ(reader.TitlePending, 1);
  EXPECT_EQ(Field(FieldCatalog::kRtcDate), "11/03/04");
  EXPECT_EQ(Titles(), "\"Freq. #1\",\"RSSI #1\"|\"Freq. #2\",\"RSSI #2\"");
}

TEST_F(ZevCard, LevelRecordYieldsOneRowPerWholeScan) {
  CardLog log;
  log.Setup({.channels = {5, 9}});
  log.Level({61, 62, 63, 64, 65, 66, 67});  // 7 levels, 2 channels: 3 rows
  log.Level({70});                          // fewer levels than channels: no row
  OpenLog(log);
  ASSERT_EQ(reader.ReadBlock(block), 32);
  reader.ProcessBlock(block);
  reader.ReadBlock(block);
  ASSERT_EQ(reader.ProcessBlock(block), Product::kRecordsReady);
  EXPECT_EQ(reader.PendingRecordCount, 3);
  EXPECT_EQ(Values(0), "851.0625,-61|851.1125,-62");
  EXPECT_EQ(Values(1), "851.0625,-63|851.1125,-64");
  EXPECT_EQ(Values(2), "851.0625,-65|851.1125,-66");
  reader.ReadBlock(block);
  EXPECT_EQ(reader.ProcessBlock(block), Product::kNothing);
}

TEST_F(ZevCard, GpsBelowFirmware103IsBcd) {
  CardLog log;
  log.Setup({.firmware = 102});
  log.Timed(Zev::kGpsRecord, 9, 8, 7,
            BcdGpsBody(0x80, {0x04, 0x04, 0x30, 0x12}, 'N', {0x07, 0x40, 0x05, 0x00}, 'W',
                       {0x13, 0x45, 0x59}));
  OpenLog(log);
  Drain();
  EXPECT_EQ(Field(FieldCatalog::kGpsStatus), "LOCKED");
  EXPECT_EQ(Field(FieldCatalog::kRtcTime), "09:08:07");
  EXPECT_EQ(Field(FieldCatalog::kGpsTime), "13:45:59");
  // 40 deg 43.012 min = 40 + 43/60 + 12/60000
  EXPECT_EQ(Field(FieldCatalog::kLatDecimal), "40.716867");
  EXPECT_EQ(Field(FieldCatalog::kLatDecimalMinutes), "43.012");
  EXPECT_EQ(Field(FieldCatalog::kLatSeconds), "0");
  EXPECT_EQ(Field(FieldCatalog::kLonDecimal), "-74.008333");
  EXPECT_EQ(Field(FieldCatalog::kLonSeconds), "30");  // 500 thousandths = 30 s
  EXPECT_EQ(Field(FieldCatalog::kLonHemisphere), "W");
}

TEST_F(ZevCard, GpsFromFirmware103IsBigEndianBinary) {
  CardLog log;
  log.Setup({.firmware = 103});
  // 40 deg 43.012 min N, 74 deg 0.500 min W, 123.45 m, 1000 x 0.022356 mph
  log.Timed(Zev::kGpsRecord, 9, 8, 7,
            BinaryGpsBody(0x00, 146580720, -266430000, 12345, 1000, {23, 59, 58}));
  OpenLog(log);
  Drain();
  EXPECT_EQ(Field(FieldCatalog::kGpsStatus), "UNLOCKED");
  EXPECT_EQ(Field(FieldCatalog::kGpsTime), "23:59:58");
  EXPECT_EQ(Field(FieldCatalog::kLatDegrees), "40");
  EXPECT_EQ(Field(FieldCatalog::kLatMinutes), "43");
  EXPECT_EQ(Field(FieldCatalog::kLatDecimalMinutes), "43.012");
  EXPECT_EQ(Field(FieldCatalog::kLonDecimal), "-74.008333");
  EXPECT_EQ(Field(FieldCatalog::kGpsAltitude), "123");
  EXPECT_EQ(Field(FieldCatalog::kGpsVelocity), "22.4");

  CardLog zero;
  zero.Setup({.firmware = 104});
  // 1 m below sea level.
  zero.Timed(Zev::kGpsRecord, 0, 0, 0,
             BinaryGpsBody(0x80, 0, 0, static_cast<uint32_t>(-100), 0, {0, 0, 0}));
  OpenLog(zero, "zero.bin");
  Drain();
  EXPECT_EQ(Field(FieldCatalog::kGpsAltitude), "-1");
  EXPECT_EQ(Field(FieldCatalog::kLatDecimal), "-0.000000");
  EXPECT_EQ(Field(FieldCatalog::kLatHemisphere), "S");
  EXPECT_EQ(Field(FieldCatalog::kLonHemisphere), "W");
}

TEST_F(ZevCard, MarkerWordsAreMarkerAndOdometerOrXAndY) {
  for (uint8_t xy : {uint8_t{0}, uint8_t{1}}) {
    CardLog log;
    log.Setup({.xy = xy});
    log.Timed(Zev::kMarkerRecord, 1, 2, 3, {0x34, 0x12, 0x07, 0x00});
    OpenLog(log, "marker.bin");
    Drain();
    EXPECT_EQ(Field(FieldCatalog::kMarkerValue), xy ? "N/A" : "7");
    EXPECT_EQ(Field(FieldCatalog::kOdometer), xy ? "N/A" : "4660");
    EXPECT_EQ(Field(FieldCatalog::kXCoordinate), xy ? "7" : "N/A");
    EXPECT_EQ(Field(FieldCatalog::kYCoordinate), xy ? "4660" : "N/A");
    EXPECT_EQ(Field(FieldCatalog::kRtcTime), "01:02:03");
  }
}

TEST_F(ZevCard, MeasurementCodesUseTheLowFourBits) {
  const std::vector<std::pair<uint8_t, std::string>> cases = {
      {0, "UKN"}, {1, "C/I"}, {5, "VAR"}, {8, "FF "}, {14, "SYS"}, {15, "UKN"}, {20, "20C"}};
  for (const auto& [mode, code] : cases) {
    CardLog log;
    log.Setup({.mode = mode});
    OpenLog(log, "mode.bin");
    Drain();
    EXPECT_EQ(Field(FieldCatalog::kMeasurementType), code) << int(mode);
  }
}

struct ChannelCase {
  uint8_t flags;
  uint16_t firmware;
  uint16_t channel;
  int shown;
};

TEST_F(ZevCard, DisplayedChannelFollowsFlagsAndFirmware) {
  settings.ChannelField = true;
  settings.FrequencyField = settings.RSSIField = false;
  const std::vector<ChannelCase> cases = {{0x80, 101, 334, 301},     {0x80, 100, 334, 300},
                                          {0x80, 101, 20, 1010},     {0x80, 101, 33, 1023},
                                          {0x90, 105, 100, 66},      {0x90, 105, 34, 1023},
                                          {0x10, 105, 32802, 33791}, {0x10, 105, 65000, 453},
                                          {0x00, 105, 777, 777},     {0x80, 105, 0, 0}};
  for (const ChannelCase& c : cases) {
    CardLog log;
    log.Setup({.flags = c.flags, .firmware = c.firmware, .channels = {c.channel}});
    OpenLog(log, "channels.bin");
    Drain();
    EXPECT_EQ(Values(), std::to_string(c.shown)) << int(c.flags) << " " << c.channel;
  }
}

TEST_F(ZevCard, ToneColumnsOnlyForFlagsExactly0x80) {
  settings.SATField = settings.VMACField = true;
  CardLog log;
  log.Setup({.flags = 0x80, .channels = {334, 0}});
  log.Level({70, 71}, {2, 9, 5, 1, 9, 6});
  OpenLog(log);
  Drain();
  EXPECT_EQ(Titles(),
            "\"Freq. #1\",\"RSSI #1\",\"SAT/DCC #1\",\"VMAC #1\"|"
            "\"Freq. #2\",\"RSSI #2\",\"SAT/DCC #2\",\"VMAC #2\"");
  // Channel 0 has no frequency.
  EXPECT_EQ(Values(), "855.1750,-70,2,5|0.0000,-71,1,6");

  CardLog plain;
  plain.Setup({.flags = 0x90, .channels = {334}});
  plain.Level({70});
  OpenLog(plain, "plain.bin");
  Drain();
  EXPECT_EQ(Titles(), "\"Freq. #1\",\"RSSI #1\"");
  EXPECT_EQ(Values(), "855.1750,-70");
}

TEST_F(ZevCard, BestServerShowsTheStrongestChannelAndKeepsItBelowThreshold) {
  CardLog log;
  log.Setup({.channels = {1, 2, 3}});
  log.Level({80, 70, 70});
  log.Level({121, 125, 122});
  OpenLog(log);
  reader.SetAverageMode(Product::kAverageBestServer);
  reader.ReadBlock(block), reader.ProcessBlock(block);
  reader.ReadBlock(block), reader.ProcessBlock(block);
  EXPECT_EQ(Values(), "851.0250,-70");  // the first of the equal levels
  reader.ReadBlock(block), reader.ProcessBlock(block);
  EXPECT_EQ(Values(), "851.0250,-125");
}

TEST_F(ZevCard, PerSecondAveragesAreRoundedToNearest) {
  settings.ORPS_Value = "2";
  CardLog log;
  log.Setup({.channels = {1, 2}});
  log.Level({60, 71});
  log.Level({61, 70, 50, 50});  // two scans in one record
  log.Timed(Zev::kGpsRecord, 0, 0, 1, Bytes(20, 0));
  log.Level({90, 90});
  log.Timed(Zev::kGpsRecord, 0, 0, 2, Bytes(20, 0));
  OpenLog(log);
  reader.SetAverageMode(Product::kAveragePerSeconds);
  // Levels add up; only the second GPS record completes the two seconds.
  EXPECT_EQ(Drain(), (std::vector<int>{3, 0, 0, 0, 0, 1}));
  // (60 + 61 + 50 + 90) / 4 = 65.25; (71 + 70 + 50 + 90) / 4 = 70.25
  EXPECT_EQ(Values(), "851.0125,-65|851.0250,-70");
}

TEST_F(ZevCard, PerSecondAveragesRoundHalvesUp) {
  settings.ORPS_Value = "1";
  CardLog log;
  log.Setup({.channels = {1}});
  log.Level({60});
  log.Level({61});
  log.Timed(Zev::kGpsRecord, 0, 0, 1, Bytes(20, 0));
  OpenLog(log);
  reader.SetAverageMode(Product::kAveragePerSeconds);
  EXPECT_EQ(Drain().back(), Product::kRecordsReady);
  EXPECT_EQ(Values(), "851.0125,-61");  // 60.5
}

TEST_F(ZevCard, PerSecondAveragingKeepsToItsEightySixChannels) {
  settings.ORPS_Value = "1";
  std::vector<uint16_t> channels(120);
  for (size_t i = 0; i < channels.size(); ++i) channels[i] = static_cast<uint16_t>(i + 1);
  CardLog log;
  log.Setup({.channels = channels});
  log.Level(Bytes(120, 77));
  log.Timed(Zev::kGpsRecord, 0, 0, 1, Bytes(20, 0));
  OpenLog(log);
  reader.SetAverageMode(Product::kAveragePerSeconds);
  EXPECT_EQ(Drain().back(), Product::kRecordsReady);
  settings.FrequencyField = false;
  std::string values = Values();
  EXPECT_EQ(std::count(values.begin(), values.end(), '|'), 119);
  EXPECT_EQ(values.substr(0, 8), "-77|-77|");
  EXPECT_EQ(values.substr(values.size() - 3), "|||");  // channels past the table stay empty
}

TEST_F(ZevCard, FastFadeRowsTakeSuccessiveSamples) {
  CardLog log;
  log.Setup({.mode = 8});
  log.Level({50, 51, 52});
  OpenLog(log);
  Drain();
  EXPECT_EQ(reader.PendingRecordCount, 3);
  EXPECT_EQ(Values(0) + Values(1) + Values(2), "851.0625,-50851.0625,-51851.0625,-52");
}

TEST_F(ZevCard, LambdaModeLeavesTheLevelEmpty) {
  CardLog log;
  log.Setup({});
  log.Level({50});
  OpenLog(log);
  reader.SetAverageMode(Product::kAverageLambda);
  Drain();
  EXPECT_EQ(Values(), "851.0625,");
}

TEST_F(ZevCard, ShortRecordsHandedDirectlyAreNeverOverrun) {
  for (uint8_t type : {Zev::kSetupRecord, Zev::kLevelRecord, Zev::kGpsRecord, Zev::kMarkerRecord,
                       Zev::kTimeRecord, Zev::kPocsagRecord, Zev::kFlexRecord}) {
    for (size_t size = 1; size < 30; ++size) {
      Product::Block b(size, 0xFF);
      b[0] = type;
      reader.ProcessBlock(b);
    }
  }
  SUCCEED();
}

// A logged POCSAG batch whose idle codewords are stored in the order they
// are sent (7A 89 C1 97) rather than low byte first: they are idle, not pages
// to capcode 0002007664 that would stand in front of the real page.
TEST_F(ZevCard, IdleCodewordsStoredAsSentAreIdle) {
  auto put = [](uint8_t* slot, uint32_t word) { putBe32(slot, word); };
  Bytes batch(1 + 81, 0);
  batch[0] = Zev::kPocsagRecord;
  uint8_t* unit = batch.data() + 1;
  unit[0] = 79;    // a usable batch
  unit[3] = 0x02;  // function code 0: numeric
  for (int slot = 0; slot < 16; ++slot) put(unit + 13 + 4 * slot, 0x7A89C197);
  // Frame 2 carries address 100 (capcode 802) and the digits 1, 2, 3 (10
  // adds nothing): fields run from bit 2 with the low bit first.
  put(unit + 13 + 4 * 4, 100u << 13);
  uint32_t digits = 0x80000000;  // bit 1: a message codeword
  const uint32_t d[5] = {1, 2, 3, 10, 10};
  for (int i = 0; i < 5; ++i)
    for (int b = 0; b < 4; ++b)
      if ((d[i] >> b) & 1u) digits |= 1u << (30 - 4 * i - b);
  put(unit + 13 + 4 * 5, digits);
  CardLog log;
  log.Setup({.mode = 7});
  log.Add(batch, false);
  OpenLog(log);
  reader.ConversionPass = true;
  reader.SetSelectedFields({FieldCatalog::kPocsagData});
  Drain();
  EXPECT_EQ(Field(FieldCatalog::kPocsagData), "POCSAG NU 0000000802 123");
  ASSERT_EQ(reader.Paging().lineCount, 1);
}

// Whole conversions through the run.
class ZevCardRun : public ZevCard {
 protected:
  std::string Convert(CardLog& log, std::vector<int> ids) {
    settings.InputFilename = log.Write("run.bin");
    settings.OutputFilename = test::TempPath("run.out");
    settings.InputFormatGroup = kItemZevCard;
    settings.SelectedBox.clear();
    for (int id : ids) settings.SelectedBox.emplace_back(FieldCatalog::Name(id));
    reader.SetSelectedFields(ids);
    RunHooks hooks;
    EXPECT_EQ(ConversionRun(reader, settings, hooks).Run(), RunOutcome::Completed);
    return test::ReadFile(settings.OutputFilename);
  }
};

TEST_F(ZevCardRun, TitlesComeAtEachSetupAndLeftOutSegmentsGiveNoRows) {
  CardLog log;
  log.Setup({.channels = {5}});
  log.Level({60}, {}, 1, 0, 0);
  log.Setup({.channels = {5, 6}});
  log.Level({61, 62}, {}, 2, 0, 0);
  log.Setup({.channels = {6}});
  log.Level({63}, {}, 3, 0, 0);
  const std::vector<int> ids = {FieldCatalog::kRecordNumber, FieldCatalog::kRtcTime,
                                FieldCatalog::kData};
  EXPECT_EQ(Convert(log, ids),
            "\"Record Number\",\"RTC Time (HH:MM:SS)\",\"Freq. #1\",\"RSSI #1\"\r\n"
            "1,01:00:00,851.0625,-60\r\n"
            "\"Record Number\",\"RTC Time (HH:MM:SS)\",\"Freq. #1\",\"RSSI #1\","
            "\"Freq. #2\",\"RSSI #2\"\r\n"
            "2,02:00:00,851.0625,-61,851.0750,-62\r\n"
            "\"Record Number\",\"RTC Time (HH:MM:SS)\",\"Freq. #1\",\"RSSI #1\"\r\n"
            "3,03:00:00,851.0750,-63\r\n");
  reader.SegmentNodes.Clear();
  for (int i = 0; i < 3; ++i) reader.SegmentNodes.Set(i, 6, "x");
  reader.SegmentNodes.Toggle(1);
  std::string out = Convert(log, ids);
  EXPECT_EQ(out.find("-61"), std::string::npos);
  EXPECT_NE(out.find("2,03:00:00,851.0750,-63\r\n"), std::string::npos);
}

// One record per N seconds averages the levels of the channel list in use,
// of segments that are converted: a new setup starts the sums afresh (its
// entry k is another channel), and a left-out segment adds nothing.
TEST_F(ZevCardRun, PerSecondAveragesKeepToTheirListAndConvertedSegments) {
  Bytes flex(1 + 2 + 16 + 2, 0);
  flex[0] = Zev::kFlexRecord;
  CardLog log;
  log.Setup({.channels = {1, 2}});
  log.Level({60, 70});
  log.Timed(Zev::kGpsRecord, 0, 0, 1, Bytes(20, 0));
  log.Setup({.channels = {3, 4}});
  log.Level({100, 110});
  log.Timed(Zev::kGpsRecord, 0, 0, 2, Bytes(20, 0));  // two seconds: a row
  log.Add(Bytes(82, Zev::kPocsagRecord), false);      // a segment left out
  log.Level({90, 90});
  log.Timed(Zev::kGpsRecord, 0, 0, 3, Bytes(20, 0));
  log.Timed(Zev::kGpsRecord, 0, 0, 4, Bytes(20, 0));
  log.Add(flex, false);  // converted again
  log.Level({50, 50});
  log.Timed(Zev::kGpsRecord, 0, 0, 5, Bytes(20, 0));
  for (int i = 0; i < 4; ++i) reader.SegmentNodes.Set(i, 6, "x");
  reader.SegmentNodes.Toggle(2);
  settings.rbORPS = true;
  settings.ORPS_Value = "2";
  settings.FrequencyField = false;
  const std::string title = "\"Record Number\",\"RSSI #1\",\"RSSI #2\"\r\n";
  EXPECT_EQ(Convert(log, {FieldCatalog::kRecordNumber, FieldCatalog::kData}),
            title + title + "1,-100,-110\r\n2,-50,-50\r\n");
}

TEST_F(ZevCardRun, NativeLayoutsCarryTheFirstCheckedReceiversEntry) {
  CardLog log;
  log.Setup({.firmware = 103, .channels = {5, 6}, .day = 2, .month = 3, .year = 90});
  log.Timed(Zev::kGpsRecord, 9, 8, 7,
            BinaryGpsBody(0x80, 146580720, -266430000, 0, 0, {13, 45, 59}));
  log.Timed(Zev::kMarkerRecord, 1, 2, 3, {0x02, 0x00, 0x07, 0x00});
  log.Level({60, 72});
  settings.NativeFormat = true;
  settings.OutputFormatGroup = 3;
  settings.Receiver1 = false;
  settings.Receiver2 = true;
  // The header follows the setup: its date, and no GPS time yet.
  EXPECT_EQ(Convert(log, {0}), "D2090030200\rm000000RCRD" + std::string(42, '0') +
                                   "\rr455900085107500072\rG455900+040.716866+74.00833134559"
                                   "0000\rm455900IDLE" +
                                   std::string(42, '0') + "\r");
  settings.OutputFormatGroup = 7;
  std::string planet = Convert(log, {0});
  EXPECT_NE(planet.find("\r\n_MAIN\r\n13:45:59:00 40.716867 -74.008333 REPORT::Report: "
                        "851.0750 6 -72\r\n"),
            std::string::npos);
  settings.OutputFormatGroup = 12;
  std::string infielder = Convert(log, {0});
  EXPECT_NE(infielder.find("NOTES: Zev File\r\n"), std::string::npos);
  EXPECT_NE(infielder.find("\r\n7.00\t2.00\t0.00\t7\t-60\tXXX\r\n"), std::string::npos);
  settings.Receiver2 = false;
  settings.OutputFormatGroup = 7;
  EXPECT_NE(Convert(log, {0}).find("REPORT::Report: 0.0000 0 -0\r\n"), std::string::npos);
}

// The first level record of the card sample sits after the 512-byte header,
// a time record (10 bytes) and the 20-channel setup (1 + 25 + 40 + 2 bytes):
// cellular channels 346.. are 33 above the displayed 313.., 30 kHz apart from
// channel 34 on 870.0300 MHz; SAT is the channel mod 4, VMAC mod 8.
TEST(ZevSample, CardReferenceHoldsHandCheckedRow) {
  const std::string bytes = test::ReadFile(test::CommittedSample("zev-card-32s.bin"));
  ASSERT_GT(bytes.size(), 600u);
  const size_t level = 512 + 10 + 68;
  ASSERT_EQ(static_cast<uint8_t>(bytes[level]), Zev::kLevelRecord);
  ASSERT_EQ(static_cast<uint8_t>(bytes[level + 4]), 20);
  const std::string row = fmt::format(
      "1,09:58:00,00:00:00,-0.000000,-0.000000,20C,0,0,0,"
      "879.3900,313,-{},2,2,879.4200,314,-{},3,3,",
      static_cast<uint8_t>(bytes[level + 5]), static_cast<uint8_t>(bytes[level + 6]));
  const std::string custom = test::GoldenReference("zev-card-custom.out");
  EXPECT_NE(custom.find("\r\n" + row), std::string::npos) << row;
  // FLEX on channel 200 of the paging plan (channel 35 on 929.0125 MHz, 25 kHz,
  // shown 34 lower), 1600 bit/s, capcode 1 with the digits 0..9.
  EXPECT_NE(custom.find(",UKN,3,1600,2,933.1375,166,-62,,FLEX   NS 0000000001 0123456789\r\n"),
            std::string::npos);
  EXPECT_EQ(DetectProduct(test::CommittedSample("zev-card-32s.bin")), kItemZevCard);
  EXPECT_EQ(DetectProduct(test::CommittedSample("zev-dump-32s.zev")), kItemZevDump);
}

// Every message encoded into a longer sample comes back from the paging
// formatters: the lines of each POCSAG and FLEX record, with a FLEX line's
// continuation ("\n" and 21 spaces) joined up again.
// Message lines decoded while converting; the texts are decoded only when a
// paging data field is selected (the unit's channel is taken either way).
std::vector<std::string> DecodedPagingLines(Product& reader, const std::string& path,
                                            const zev::PagingState& paging,
                                            bool pagingFields = true) {
  Settings s;
  reader.AttachReceiverSelectors(&s);
  EXPECT_EQ(reader.Open(path), 0);
  reader.ConversionPass = true;
  reader.SelectedFieldIds.fill(FieldCatalog::kGpsTime);
  if (pagingFields) {
    reader.SelectedFieldIds[1] = FieldCatalog::kFlexData;
    reader.SelectedFieldIds[2] = FieldCatalog::kPocsagData;
  }
  std::vector<std::string> lines;
  Product::Block block;
  bool channelSeen = false;
  while (reader.ReadBlock(block) > 0) {
    reader.ProcessBlock(block);
    channelSeen = channelSeen || paging.channel != 0;
    for (int i = 0; i < paging.lineCount; ++i) {
      std::string line = paging.lines[static_cast<size_t>(i)];
      for (size_t at; (at = line.find("\n" + std::string(21, ' '))) != std::string::npos;)
        line.erase(at, 22);
      lines.push_back(line);
    }
  }
  EXPECT_TRUE(channelSeen);
  reader.Close();
  return lines;
}

TEST(ZevSample, DecodedPagingLinesAreTheMessagesSent) {
  synth::SampleOptions options;
  options.seconds = 120;
  options.seed = 3;
  for (bool dump : {false, true}) {
    const std::string path = test::TempPath(dump ? "paging.zev" : "paging.bin");
    ASSERT_TRUE(dump ? synth::WriteZevDumpSample(path, options)
                     : synth::WriteZevCardSample(path, options));
    Zev card;
    ZevDump dumpReader;
    const std::vector<std::string> lines =
        dump ? DecodedPagingLines(dumpReader, path, dumpReader.Paging())
             : DecodedPagingLines(card, path, card.Paging());
    EXPECT_TRUE((dump ? DecodedPagingLines(dumpReader, path, dumpReader.Paging(), false)
                      : DecodedPagingLines(card, path, card.Paging(), false))
                    .empty());
    for (const synth::ZevPagingMessage& m : synth::SamplePagingMessages()) {
      std::string expected =
          fmt::format("{} {} {:010} ", m.flex ? "FLEX  " : "POCSAG",
                      m.flex ? (m.numeric ? "NS" : "AN") : (m.numeric ? "NU" : "AN"), m.capcode);
      // A POCSAG message prints its first line of text only.
      const bool cut = !m.flex && m.text.size() > 80;
      expected += cut ? m.text.substr(0, 60) : m.text;
      bool found = false;
      for (const std::string& line : lines)
        found = found || (cut ? line.rfind(expected, 0) == 0 : line == expected);
      EXPECT_TRUE(found) << (dump ? "dump: " : "card: ") << expected;
    }
  }
}

TEST(ZevCardDetect, HeaderIsRecognisedAsPcCard) {
  CardLog log;
  EXPECT_EQ(DetectProduct(log.Write("detect.bin")), kItemZevCard);
}

}  // namespace
}  // namespace morphel
