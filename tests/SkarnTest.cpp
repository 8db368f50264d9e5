#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "app/Detect.h"
#include "core/Bytes.h"
#include "index/IndexRun.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/Formats.h"
#include "products/ProductTable.h"
#include "products/Skarn.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using Bytes = std::vector<uint8_t>;

struct Reading {
  uint16_t channel;
  uint8_t level;
};

Bytes Frame(const Bytes& record) {
  Bytes out(4);
  putLe32(out.data(), static_cast<uint32_t>(record.size()));
  out.insert(out.end(), record.begin(), record.end());
  return out;
}

Bytes Data(int h, int m, int s, uint16_t marker, uint8_t flags, std::initializer_list<Reading> r) {
  Bytes b(16, 0);
  b[0] = 'D';
  b[1] = static_cast<uint8_t>(h);
  b[2] = static_cast<uint8_t>(m);
  b[3] = static_cast<uint8_t>(s);
  putBe16(&b[4], marker);
  b[6] = flags;
  size_t k = 0;
  for (const Reading& e : r) {
    putBe16(&b[7 + 3 * k], e.channel);
    b[9 + 3 * k] = e.level;
    ++k;
  }
  return b;
}

Bytes SetupRecord(int16_t mhz, int16_t fraction, uint16_t spacing, int16_t baseChannel) {
  Bytes b(256, 0);
  b[0] = 'U';
  putBe16(&b[2], static_cast<uint16_t>(mhz));
  putBe16(&b[4], static_cast<uint16_t>(fraction));
  putBe16(&b[6], spacing);
  putBe16(&b[8], static_cast<uint16_t>(baseChannel));
  return b;
}

Bytes Info(const std::string& a, const std::string& b) {
  Bytes r{'I', 0, 0, 0, 0};
  putLe32(&r[1], static_cast<uint32_t>(a.size()));
  r.insert(r.end(), a.begin(), a.end());
  Bytes len(4);
  putLe32(len.data(), static_cast<uint32_t>(b.size()));
  r.insert(r.end(), len.begin(), len.end());
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A plan whose frequencies are exact in binary: channel 10 on 851 MHz, 1 MHz
// apart, so channel 12 is 853.0000 MHz.
Bytes WholeMHzPlan() {
  return SetupRecord(851, 0, 10000, 10);
}

class SkarnReader : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.FrequencyField = true;
    settings.ChannelField = true;
    settings.RSSIField = true;
    skarn.AttachReceiverSelectors(&settings);
  }
  void TearDown() override {
    skarn.Close();
    skarn.AttachReceiverSelectors(nullptr);
  }
  void OpenLog(const Bytes& bytes, bool conversion = true) {
    path = test::TempPath("skarn-" + std::to_string(++files) + ".slf");
    test::WriteFile(path, bytes);
    ASSERT_EQ(skarn.Open(path), 0);
    skarn.ConversionPass = conversion;
  }
  // Reads and processes the next block; the ProcessBlock result.
  int Next() {
    int64_t n = skarn.ReadBlock(block);
    EXPECT_GT(n, 0);
    return skarn.ProcessBlock(block);
  }
  std::string Values(char delimiter = ',') {
    std::string out;
    EXPECT_EQ(skarn.FormatDataValues(0, out, delimiter), 0);
    std::string more;
    EXPECT_EQ(skarn.FormatDataValues(1, more, delimiter), -1);
    return out;
  }
  std::string Field(int id) {
    std::string out = "stale";
    skarn.FormatField(id, out);
    return out;
  }
  std::string Native(int (Skarn::*op)(std::string&)) {
    std::string out;
    int n = (skarn.*op)(out);
    EXPECT_EQ(n, static_cast<int>(out.size()));
    return out;
  }

  Settings settings;
  Skarn skarn;
  Product::Block block;
  std::string path;
  int files = 0;
};

TEST_F(SkarnReader, OffersItsNineFieldsInOrder) {
  EXPECT_EQ(skarn.AvailableFields(), (std::vector<int>{0, 4, 29, 37, 38, 39, 40, 44, 32}));
}

TEST_F(SkarnReader, FramesAreLengthPrefixedLittleEndian) {
  Bytes data = Data(1, 2, 3, 0, 0x10, {{5, 40}});
  OpenLog(Join({Frame(data), Frame({'X', 1, 2})}));
  EXPECT_EQ(skarn.ReadBlock(block), 20);
  EXPECT_EQ(test::BlockBytes(block), data);
  EXPECT_EQ(skarn.ReadBlock(block), 7);
  EXPECT_EQ(test::BlockBytes(block), (Bytes{'X', 1, 2}));
  EXPECT_EQ(skarn.ProcessBlock(block), Product::kNothing);
  EXPECT_EQ(skarn.Damage.unknownRecords, 1u);
  EXPECT_EQ(skarn.ReadBlock(block), 0);
  EXPECT_FALSE(skarn.Damage.truncatedBlocks);
}

TEST_F(SkarnReader, LengthAbove4096ConsumesOnlyTheLength) {
  Bytes bad(4);
  putLe32(bad.data(), 4097);
  Bytes longest(4096, 'Z');
  OpenLog(Join({bad, Frame(Data(1, 2, 3, 0, 0x20, {})), Frame(longest)}));
  EXPECT_EQ(skarn.ReadBlock(block), 4);
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(skarn.ProcessBlock(block), Product::kNothing);
  EXPECT_EQ(skarn.Damage.badLengthBlocks, 1u);
  EXPECT_EQ(skarn.ReadBlock(block), 20);
  EXPECT_EQ(block[0], 'D');
  EXPECT_EQ(skarn.ReadBlock(block), 4100);  // 4096 itself is allowed
  EXPECT_EQ(skarn.Damage.badLengthBlocks, 1u);
}

TEST_F(SkarnReader, ShortFinalReadEndsTheInput) {
  struct Case {
    const char* name;
    Bytes tail;
  } cases[] = {
      {"cut length", {16, 0}},
      {"cut record", {16, 0, 0, 0, 'D', 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenLog(Join({Frame(Data(1, 2, 3, 0, 0x10, {})), c.tail}));
    EXPECT_EQ(skarn.ReadBlock(block), 20);
    EXPECT_EQ(skarn.ReadBlock(block), 0);
    EXPECT_EQ(skarn.Damage.truncatedBlocks, 1u);
  }
}

TEST_F(SkarnReader, ZeroLengthFrameIsAnEmptyRecord) {
  OpenLog(Join({Bytes{0, 0, 0, 0}, Frame(Data(1, 2, 3, 0, 0x10, {}))}));
  EXPECT_EQ(skarn.ReadBlock(block), 4);
  EXPECT_EQ(skarn.ProcessBlock(block), Product::kNothing);
  EXPECT_EQ(Next(), Product::kRecordsReady);
  EXPECT_FALSE(skarn.Damage.Any());
}

// Flags byte -> the row the record gives and the "Scan Mode" text.
TEST_F(SkarnReader, ScanModeFlagsChooseTypeEntriesAndText) {
  struct Case {
    uint8_t flags;
    int16_t type;
    const char* values;
    const char* scanMode;
  } cases[] = {
      {0x10, 2, "851.0000,10,-40", "1CH"},
      {0x20, 3, "851.0000,10,-40,852.0000,11,-50,853.0000,12,-60", "3CH"},
      {0x40, 1, "851.0000,10,-40,852.0000,11,-50,853.0000,12,-60", "SCAN"},
      {0x50, 2, "851.0000,10,-40", ""},  // one channel wins over scan table
      {0x30, 2, "851.0000,10,-40", ""},  // one channel wins over three
      {0x60, 3, "851.0000,10,-40,852.0000,11,-50,853.0000,12,-60", ""},
      {0x91, 2, "851.0000,10,-40", "1CH"},  // bits outside 0x70 are not the mode
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.flags));
    OpenLog(Join(
        {Frame(WholeMHzPlan()), Frame(Data(7, 8, 9, 3, c.flags, {{10, 40}, {11, 50}, {12, 60}}))}));
    EXPECT_EQ(Next(), Product::kNothing);
    EXPECT_EQ(Next(), Product::kRecordsReady);
    EXPECT_EQ(skarn.PendingRecordCount, 1);
    EXPECT_EQ(skarn.SegmentType, c.type);
    EXPECT_EQ(Values(), c.values);
    EXPECT_EQ(Field(FieldCatalog::kScanMode), c.scanMode);
  }
}

TEST_F(SkarnReader, RecordWithoutModeBitsIsNeitherIndexedNorConverted) {
  Bytes log = Join({Frame(Data(1, 0, 0, 5, 0x10, {{1, 30}})),
                    Frame(Data(2, 0, 0, 6, 0x0F, {{2, 31}, {3, 32}, {4, 33}}))});
  OpenLog(log, false);
  EXPECT_EQ(Next(), Product::kNothing);
  skarn.SegmentReady = false;
  EXPECT_EQ(Next(), Product::kNothing);
  EXPECT_FALSE(skarn.SegmentReady);
  EXPECT_EQ(skarn.SegmentCounter, 1);
  EXPECT_EQ(skarn.Damage.unknownRecords, 1u);

  OpenLog(log, true);
  EXPECT_EQ(Next(), Product::kRecordsReady);
  EXPECT_EQ(Next(), Product::kNothing);
  EXPECT_EQ(skarn.SegmentType, 2);
  EXPECT_EQ(Field(FieldCatalog::kMarkerValue), "5");
  EXPECT_EQ(Field(FieldCatalog::kRtcHour), "01");
}

TEST_F(SkarnReader, IndexingMarksEachChangeOfScanMode) {
  OpenLog(Join({Frame(Data(9, 0, 1, 0, 0x10, {})), Frame(Data(9, 0, 2, 0, 0x10, {})),
                Frame(Data(9, 0, 3, 0, 0x20, {})), Frame(Data(9, 1, 4, 0, 0x40, {})),
                Frame(Data(9, 1, 5, 0, 0x40, {})), Frame(Data(10, 2, 6, 0, 0x10, {}))}),
          false);
  struct Expect {
    bool ready;
    int16_t type;
    const char* start;
  } expect[] = {{true, 2, "09:00:01"}, {false, 2, ""}, {true, 3, "09:00:03"},
                {true, 1, "09:01:04"}, {false, 1, ""}, {true, 2, "10:02:06"}};
  for (const Expect& e : expect) {
    skarn.SegmentReady = false;
    EXPECT_EQ(Next(), Product::kNothing);  // indexing writes no rows
    EXPECT_EQ(skarn.SegmentReady, e.ready);
    EXPECT_EQ(skarn.SegmentType, e.type);
    if (e.ready) {
      EXPECT_EQ(skarn.SegmentStartTime, e.start);
    }
  }
  EXPECT_EQ(skarn.SegmentCounter, 4);
}

TEST_F(SkarnReader, LeftOutSegmentGivesNoRows) {
  for (int i = 0; i < 3; ++i) skarn.SegmentNodes.Set(i, 2, "x");
  skarn.SegmentNodes.SetState(1, SegmentTable::kUnchecked);
  OpenLog(Join({Frame(Data(1, 0, 0, 0, 0x10, {})), Frame(Data(1, 0, 1, 0, 0x20, {})),
                Frame(Data(1, 0, 2, 0, 0x20, {})), Frame(Data(1, 0, 3, 0, 0x10, {}))}));
  EXPECT_EQ(Next(), Product::kRecordsReady);
  EXPECT_EQ(Next(), Product::kNothing);
  EXPECT_EQ(Next(), Product::kNothing);
  EXPECT_EQ(Next(), Product::kRecordsReady);
}

TEST_F(SkarnReader, BestServerTakesStrongestNonZeroChannel) {
  struct Case {
    const char* name;
    uint8_t flags;
    std::initializer_list<Reading> readings;
    int best;
  } cases[] = {
      {"channel 0 strongest is ignored", 0x20, {{0, 30}, {11, 70}, {12, 60}}, 2},
      {"first of equals wins", 0x40, {{10, 55}, {11, 50}, {12, 50}}, 1},
      {"nothing above -121 dBm keeps entry 0", 0x20, {{10, 121}, {11, 125}, {12, 127}}, 0},
      {"-120 dBm is above the floor", 0x20, {{10, 121}, {11, 120}, {12, 127}}, 1},
      {"one channel measures entry 0 only", 0x10, {{10, 90}, {11, 20}, {12, 20}}, 0},
  };
  settings.ChannelField = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenLog(Join({Frame(WholeMHzPlan()), Frame(Data(1, 2, 3, 0, c.flags, c.readings))}));
    skarn.SetAverageMode(Product::kAverageBestServer);
    Next();
    EXPECT_EQ(Next(), Product::kRecordsReady);
    EXPECT_EQ(skarn.BestEntry(), c.best);
    const Reading& r = c.readings.begin()[c.best];
    EXPECT_EQ(Values(), fmt::format("{}.0000,-{}", 841 + r.channel, r.level));
  }
}

TEST_F(SkarnReader, TitlesFollowTheFirstDataRecordOfTheLog) {
  struct Case {
    const char* name;
    Bytes log;
    int mode;
    const char* titles;
  } cases[] = {
      {"one channel log",
       Join({Frame(Info("QVR SKARN", "v")), Frame(WholeMHzPlan()),
             Frame(Data(1, 2, 3, 0, 0x10, {}))}),
       0, "\"Frequency\";\"Channel\";\"RSSI\""},
      {"three channel log",
       Join({Frame(Data(1, 2, 3, 0, 0x0, {})), Frame(Data(1, 2, 3, 0, 0x20, {}))}), 0,
       "\"Frequency\";\"Channel\";\"RSSI\";\"Frequency\";\"Channel\";\"RSSI\";"
       "\"Frequency\";\"Channel\";\"RSSI\""},
      {"no data: widest row", Frame(WholeMHzPlan()), 0,
       "\"Frequency\";\"Channel\";\"RSSI\";\"Frequency\";\"Channel\";\"RSSI\";"
       "\"Frequency\";\"Channel\";\"RSSI\""},
      {"best server: one group", Frame(Data(1, 2, 3, 0, 0x40, {})), Product::kAverageBestServer,
       "\"Frequency\";\"Channel\";\"RSSI\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenLog(c.log);
    skarn.SetAverageMode(c.mode);
    std::string out;
    EXPECT_EQ(skarn.WriteDataTitles(0, out, ';'), 0);
    EXPECT_EQ(out, c.titles);
    EXPECT_EQ(skarn.TitlePending, 0);
    EXPECT_EQ(skarn.WriteDataTitles(1, out, ';'), -1);
    EXPECT_EQ(out, "");
    // Looking ahead leaves the input where it was.
    EXPECT_EQ(skarn.ReadBlock(block), static_cast<int64_t>(le32(c.log.data()) + 4));
  }
}

TEST_F(SkarnReader, TitlesAndValuesWriteOnlyCheckedBoxes) {
  settings.FrequencyField = false;
  settings.ChannelField = false;
  OpenLog(Join({Frame(Data(1, 2, 3, 0, 0x20, {{10, 40}, {11, 50}, {12, 60}}))}));
  Next();
  std::string out;
  EXPECT_EQ(skarn.WriteDataTitles(0, out, '\t'), 0);
  EXPECT_EQ(out, "\"RSSI\"\t\"RSSI\"\t\"RSSI\"");
  EXPECT_EQ(Values('\t'), "-40\t-50\t-60");
  settings.RSSIField = false;
  EXPECT_EQ(Values(), "");
}

TEST_F(SkarnReader, FieldTexts) {
  OpenLog(Frame(Data(7, 5, 9, 65535, 0x40, {})));
  Next();
  skarn.RecordCounter = 42;
  EXPECT_EQ(Field(FieldCatalog::kCrLf), "\n");
  EXPECT_EQ(Field(FieldCatalog::kMarkerValue), "65535");
  EXPECT_EQ(Field(FieldCatalog::kRecordNumber), "42");
  EXPECT_EQ(Field(FieldCatalog::kRtcTime), "07:05:09");
  EXPECT_EQ(Field(FieldCatalog::kRtcHour), "07");
  EXPECT_EQ(Field(FieldCatalog::kRtcMinute), "05");
  EXPECT_EQ(Field(FieldCatalog::kRtcSecond), "09");
  EXPECT_EQ(Field(FieldCatalog::kScanMode), "SCAN");
  EXPECT_EQ(Field(FieldCatalog::kGpsTime), "");
}

TEST_F(SkarnReader, PlanFrequencies) {
  OpenLog(Join({Frame(SetupRecord(851, 125, 125, 1)),
                Frame(Data(1, 2, 3, 0, 0x20, {{1, 40}, {3, 50}, {0, 60}}))}));
  Next();
  EXPECT_DOUBLE_EQ(skarn.BaseFrequencyMHz(), 851.0125);
  EXPECT_EQ(skarn.Spacing(), 125);
  EXPECT_EQ(skarn.BaseChannel(), 1);
  Next();
  // Channel 3 is two steps of 12.5 kHz above channel 1; channel 0 lies one
  // step below the base.
  EXPECT_EQ(Values(), "851.0125,1,-40,851.0375,3,-50,851.0000,0,-60");
}

TEST_F(SkarnReader, NegativePlanValuesAndLargeOffsets) {
  // A negative base channel and a wide spacing: the offset times spacing
  // passes 2^31 and must not wrap.
  OpenLog(Join({Frame(SetupRecord(100, -5000, 65535, -32768)),
                Frame(Data(1, 2, 3, 0, 0x10, {{65535, 40}}))}));
  Next();
  EXPECT_DOUBLE_EQ(skarn.BaseFrequencyMHz(), 99.5);
  Next();
  // (65535 + 32768) x 65535 x 0.0001 + 99.5 = 644228.7105 + 99.5
  EXPECT_EQ(Values(), "644328.2105,65535,-40");
}

TEST_F(SkarnReader, OpenForgetsThePlanOfTheLastLog) {
  OpenLog(Frame(WholeMHzPlan()));
  Next();
  OpenLog(Frame(Data(1, 2, 3, 0, 0x10, {{12, 40}})));
  Next();
  EXPECT_EQ(Values(), "0.0000,12,-40");
}

TEST_F(SkarnReader, InformationRecordFillsTextBufferOnly) {
  OpenLog(
      Join({Frame(Info("QVR SKARN", "Version 2.04")), Frame(Info(std::string("AB\0CD", 5), "x"))}));
  EXPECT_EQ(Next(), Product::kNothing);
  EXPECT_EQ(skarn.TextBuffer, "QVR SKARN Version 2.04\n");
  EXPECT_EQ(Next(), Product::kNothing);
  EXPECT_EQ(skarn.TextBuffer, "AB x\n");  // a text ends at a zero byte
  EXPECT_FALSE(skarn.Damage.Any());
}

TEST_F(SkarnReader, ShortRecordsAreNeverReadPastTheirEnd) {
  Bytes overlong = Info("QVR", "ok");
  putLe32(&overlong[1], 4000);  // first text claims more than the record holds
  Bytes cutSecond = Info("QVR", "abcdef");
  cutSecond.resize(cutSecond.size() - 3);
  Bytes shortData = Data(1, 2, 3, 0, 0x10, {{12, 40}});
  shortData.resize(15);
  Bytes shortSetup = WholeMHzPlan();
  shortSetup.resize(9);
  OpenLog(Join({Frame(overlong), Frame(cutSecond), Frame({'I', 1, 0}), Frame(shortData),
                Frame(shortSetup), Frame({'D'}), Frame({'U'})}));
  EXPECT_EQ(Next(), Product::kNothing);
  // The first text runs into the second length field and ends at its zeros.
  EXPECT_EQ(skarn.TextBuffer, "QVR\x02 \n");
  EXPECT_EQ(Next(), Product::kNothing);
  EXPECT_EQ(skarn.TextBuffer, "QVR abc\n");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Next(), Product::kNothing);
  EXPECT_EQ(skarn.Damage.badLengthBlocks, 7u);
  EXPECT_EQ(skarn.SegmentType, -1);
  EXPECT_EQ(skarn.Spacing(), 0);
}

// ---------------------------------------------------------------------------
// Native layouts

class SkarnNative : public SkarnReader {
 protected:
  void Load(uint8_t flags) {
    OpenLog(Join({Frame(WholeMHzPlan()),
                  Frame(Data(10, 23, 45, 0, flags, {{10, 50}, {11, 60}, {12, 70}}))}));
    Next();
    Next();
  }
};

TEST_F(SkarnNative, GraysonHeaderRecordAndTrailer) {
  settings.OutputFormatGroup = 3;
  Load(0x20);
  const std::string zeros42(42, '0');
  EXPECT_EQ(Native(&Skarn::WriteFormatHeader), "D00000000010\rm234500RCRD" + zeros42 + "\r");
  EXPECT_EQ(Native(&Skarn::WriteFormatRecord),
            "r234500085100000050\r"
            "r234500085200000060\r"
            "r234500085300000070\r"
            "G0000000000.000000000.000001023450000\r");
  EXPECT_EQ(Native(&Skarn::WriteFormatTrailer), "m234500IDLE" + zeros42 + "\r");
}

TEST_F(SkarnNative, ScanTableRecordsWriteOneEntryInTheLayouts) {
  settings.OutputFormatGroup = 3;
  Load(0x40);
  EXPECT_EQ(Native(&Skarn::WriteFormatRecord),
            "r234500085100000050\rG0000000000.000000000.000001023450000\r");
  settings.OutputFormatGroup = 7;
  EXPECT_EQ(Native(&Skarn::WriteFormatRecord),
            "10:23:45:00 000.000000 000.000000 REPORT::Report: 851.0000 10 -50\n");
}

TEST_F(SkarnNative, PlanetThreeChannelRecordHasOnePrefixAndThreeReports) {
  settings.OutputFormatGroup = 7;
  Load(0x20);
  EXPECT_EQ(Native(&Skarn::WriteFormatHeader).substr(0, 8), "_HEADER\n");
  EXPECT_EQ(Native(&Skarn::WriteFormatRecord),
            "10:23:45:00 000.000000 000.000000"
            " REPORT::Report: 851.0000 10 -50\n"
            " REPORT::Report: 852.0000 11 -60\n"
            " REPORT::Report: 853.0000 12 -70\n");
  EXPECT_EQ(Native(&Skarn::WriteFormatTrailer), "");
}

TEST_F(SkarnNative, PathViewRecordCarriesLastEntryLevelAndZeroPosition) {
  settings.OutputFormatGroup = 6;
  settings.OutputFilename = test::TempPath("skarn-pv.M01");
  settings.FrozenClock = 0x01020304;
  struct Case {
    uint8_t flags;
    double rssi;
  } cases[] = {{0x20, -70.0}, {0x10, -50.0}, {0x40, -50.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.flags));
    Load(c.flags);
    std::string header = Native(&Skarn::WriteFormatHeader);
    EXPECT_EQ(header, std::string("PathView M01 File\x63\x63"));
    // The run writes the MDF side file, not the reader.
    EXPECT_FALSE(test::FileExists(test::TempPath("skarn-pv.MDF")));
    std::string r = Native(&Skarn::WriteFormatRecord);
    ASSERT_EQ(r.size(), 28u);
    EXPECT_EQ(r[0], '\x01');
    double rssi = 0;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
      bits = bits << 8 | static_cast<uint8_t>(r[1 + static_cast<size_t>(i)]);
    std::memcpy(&rssi, &bits, 8);
    EXPECT_EQ(rssi, c.rssi);
    EXPECT_EQ(r.substr(9, 16), std::string(16, '\0'));  // +0.0 longitude and latitude
    EXPECT_EQ(r.substr(25), "\x0A\x17\x2D");
  }
}

TEST_F(SkarnNative, ZeroLevelIsPositiveZeroInPathView) {
  settings.OutputFormatGroup = 6;
  settings.OutputFilename = test::TempPath("skarn-zero.M01");
  OpenLog(Frame(Data(1, 2, 3, 0, 0x10, {{5, 0}})));
  Next();
  std::string r = Native(&Skarn::WriteFormatRecord);
  EXPECT_EQ(r.substr(1, 8), std::string(8, '\0'));
}

TEST_F(SkarnNative, OtherFormatsWriteNothing) {
  for (int format : {0, 1, 5, 11, 12}) {
    settings.OutputFormatGroup = format;
    Load(0x20);
    EXPECT_EQ(Native(&Skarn::WriteFormatHeader), "");
    EXPECT_EQ(Native(&Skarn::WriteFormatRecord), "");
    EXPECT_EQ(Native(&Skarn::WriteFormatTrailer), "");
  }
}

// ---------------------------------------------------------------------------
// Whole runs over a deterministic sample log

// The committed sample (tests/samples/): seven segments of four seconds.
std::string SampleLog() {
  return test::CommittedSample("skarn-28s.slf");
}

// Lines worked out by hand from the sample's records: the plan puts channel 1
// on 851.0125 MHz with 12.5 kHz steps; the first record (09:58:00, one
// channel) reads channel 101 at 62; the 21st (09:58:04, three channels) reads
// 120 at 72, 245 at 77 and 377 at 72; the 22nd reads 74, 72 and 65.
TEST(SkarnSample, ReferenceOutputsHoldHandCheckedLines) {
  const std::string custom = test::GoldenReference("skarn-custom.out");
  EXPECT_EQ(custom.substr(0, custom.find('\n') + 1),
            "\"Record Number\",\"RTC Time (HH:MM:SS)\",\"Marker Value\",\"Scan Mode\","
            "\"Frequency\",\"Channel\",\"RSSI\"\r\n");
  EXPECT_NE(custom.find("\r\n1,09:58:00,0,1CH,852.2625,101,-62\r\n"), std::string::npos);
  EXPECT_NE(custom.find("\r\n21,09:58:04,0,3CH,852.5000,120,-72,854.0625,245,-77,"
                        "855.7125,377,-72\r\n"),
            std::string::npos);
  const std::string best = test::GoldenReference("skarn-bestserver.out");
  EXPECT_NE(best.find("\r\n21,09:58:04,0,3CH,852.5000,120,-72\r\n"
                      "22,09:58:04,0,3CH,855.7125,377,-65\r\n"),
            std::string::npos);
  const std::string grayson = test::GoldenReference("skarn-grayson.out");
  EXPECT_EQ(grayson.substr(0, 13 + 54 + 20 + 38),
            "D00000000009\rm580000RCRD" + std::string(42, '0') +
                "\rr580000085226250062\rG0000000000.000000000.000000958000000\r");
  const std::string planet = test::GoldenReference("skarn-planet.out");
  EXPECT_NE(planet.find("\r\n09:58:04:00 000.000000 000.000000 REPORT::Report: 852.5000 120 -72"
                        "\r\n REPORT::Report: 854.0625 245 -77\r\n REPORT::Report: 855.7125 377 "
                        "-72\r\n09:58:04:00"),
            std::string::npos);
  const std::string pathView = test::GoldenReference("skarn-pathview.out");
  // -62.0 is c04f000000000000; zero longitude and latitude; 09:58:00.
  EXPECT_NE(pathView.find("\n01 00 00 00 00 00 00 4f c0 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                          "00 00 09 3a 00\n"),
            std::string::npos);
}

TEST(SkarnSample, IsDetectedAndIndexedInAlternatingModes) {
  EXPECT_EQ(DetectProduct(SampleLog()), kItemSkarn);
  Skarn reader;
  Settings s;
  s.InputFilename = SampleLog();
  RunHooks hooks;
  IndexRun run(reader, s, kItemSkarn, hooks);
  std::vector<int16_t> types;
  run.segmentAdded = [&](const IndexedSegment& seg) { types.push_back(seg.type); };
  EXPECT_EQ(run.Run(), IndexOutcome::Completed);
  EXPECT_EQ(types, (std::vector<int16_t>{2, 3, 1, 2, 1, 3, 2}));
  EXPECT_FALSE(reader.Damage.Any());
}

}  // namespace
}  // namespace morphel
