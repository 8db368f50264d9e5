// Brisel reader: file headers and framing, record decoding, channel numbers,
// readiness, data lines, best-server sweeps, field texts, post-processing
// layouts, segment selection, and whole outputs of the sample logs.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "app/Detect.h"
#include "core/Bytes.h"
#include "index/IndexRun.h"
#include "products/Brisel.h"
#include "products/FieldCatalog.h"
#include "synth/BriselWriter.h"
#include "synth/DriveModel.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using Bytes = std::vector<uint8_t>;
using F = FieldCatalog;

constexpr int kCopied = 8;
constexpr int kCard = 9;

// ---- Fixture building ------------------------------------------------------

struct LogBytes {
  bool card;
  Bytes data;
  explicit LogBytes(bool isCard, uint16_t remainder = 0, uint32_t sectors = 0) : card(isCard) {
    data.assign(card ? 10 : 6, 0);
    SetEnd(remainder, sectors);
  }
  void SetEnd(uint16_t remainder, uint32_t sectors) {
    if (card) {
      putLe16(&data[4], remainder);
      putLe32(&data[6], sectors);
    } else {
      putLe16(&data[2], remainder);
      putLe16(&data[4], static_cast<uint16_t>(sectors));
    }
  }
  void SetEnd(uint64_t end) {
    SetEnd(static_cast<uint16_t>(end % 512), static_cast<uint32_t>(end / 512));
  }
  LogBytes& Add(const Bytes& payload) {
    uint8_t w[2];
    putLe16(w, static_cast<uint16_t>(payload.size()));
    data.insert(data.end(), w, w + 2);
    data.insert(data.end(), payload.begin(), payload.end());
    return *this;
  }
};

struct GpsValues {
  int month = 3, day = 7, year = 2024, hour = 9, minute = 5, second = 3;
  int32_t latitude = -1800000;                               // 0.5 degrees south
  int32_t longitude = -(74 * 3600000 + 30 * 60000 + 15500);  // 74 deg 30 min 15.5 s W
  int32_t heightCm = 12345;
  uint16_t speedCm = 1000;
  uint8_t status = 0xE0;
};

Bytes GpsRecord(const GpsValues& v = {}) {
  Bytes r(153, 0);
  uint8_t* b = r.data() + 1;
  r[0] = 0x00;
  std::memcpy(b, "@@Ea", 4);
  b[4] = static_cast<uint8_t>(v.month);
  b[5] = static_cast<uint8_t>(v.day);
  putBe16(b + 6, static_cast<uint16_t>(v.year));
  b[8] = static_cast<uint8_t>(v.hour);
  b[9] = static_cast<uint8_t>(v.minute);
  b[10] = static_cast<uint8_t>(v.second);
  putBe32(b + 15, static_cast<uint32_t>(v.latitude));
  putBe32(b + 19, static_cast<uint32_t>(v.longitude));
  putBe32(b + 23, static_cast<uint32_t>(v.heightCm));
  putBe16(b + 47, v.speedCm);
  b[129] = v.status;
  return r;
}

struct Band {
  uint32_t first, last;
  uint16_t step;
  uint8_t flags;
};
constexpr Band kCellular{28968, 29800, 30 * 256, 0x01};  // 869.040 MHz, 30 kHz
constexpr Band kPaging{74321, 74559, 3200, 0x00};        // 929.0125 MHz, 12.5 kHz
constexpr Band kPlain{100000, 100100, 25 * 256, 0x00};   // 2500 MHz, 25 kHz

Bytes BandRecord(uint8_t present = 0x03, Band r1 = kCellular, Band r2 = kPaging) {
  Bytes r(26, 0);
  r[0] = 0x01;
  r[1] = present;
  const Band bands[2] = {r1, r2};
  for (size_t i = 0; i < 2; ++i) {
    uint8_t* p = r.data() + 2 + 12 * i;
    putLe32(p, bands[i].first);
    putLe32(p + 4, bands[i].last);
    putLe16(p + 8, bands[i].step);
    p[10] = bands[i].flags;
  }
  return r;
}

Bytes ClockRecord() {
  return {0x04, 4, 3, 2, 1, 12, 98, 123};
}

Bytes SingleFrequencyHeader(uint32_t c1, uint32_t c2) {
  Bytes r(9, 0);
  r[0] = 0x05;
  putLe32(&r[1], c1);
  putLe32(&r[5], c2);
  return r;
}

Bytes ListHeader(uint32_t base1, uint32_t base2) {
  Bytes r(81, 0);
  r[0] = 0x06;
  for (uint32_t i = 0; i < 10; ++i) {
    putLe32(&r[1 + 4 * i], base1 + i);
    putLe32(&r[41 + 4 * i], base2 + i);
  }
  return r;
}

// A sample run: the samples, then the closing byte that is not a sample.
Bytes Samples(int receiver, int first, int count) {
  Bytes r{static_cast<uint8_t>(receiver == 1 ? 0x02 : 0x03)};
  for (int i = 0; i < count; ++i) r.push_back(static_cast<uint8_t>(first - i));
  r.push_back(0x55);
  return r;
}

struct Triple {
  uint8_t receiver, position;
  int8_t rssi;
};
Bytes ListReadings(std::vector<Triple> triples) {
  Bytes r{0x07};
  for (const auto& t : triples)
    r.insert(r.end(), {t.receiver, t.position, static_cast<uint8_t>(t.rssi)});
  return r;
}

struct Reading {
  uint8_t receiver;
  int channel;  // as printed
  int8_t rssi;
};
Bytes TableRecord(std::vector<Reading> readings) {
  Bytes r{0x09};
  for (const auto& q : readings) {
    auto raw = static_cast<uint16_t>(q.channel - 1);
    r.insert(r.end(), {q.receiver, static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8),
                       static_cast<uint8_t>(q.rssi)});
  }
  return r;
}

// ---- Driving the reader ----------------------------------------------------

struct Driver {
  Brisel reader;
  Settings settings;
  std::string path;

  Driver() {
    settings.Receiver1 = true;
    settings.Receiver2 = true;
    settings.ChannelField = true;
    reader.AttachReceiverSelectors(&settings);
  }
  void Open(const LogBytes& log, int mode = 0, bool conversion = true) {
    static int n = 0;
    path = test::TempPath("brisel-" + std::to_string(++n) + ".blf");
    test::WriteFile(path, log.data);
    settings.InputFormatGroup = log.card ? kCard : kCopied;
    ASSERT_EQ(reader.Open(path), 0);
    reader.SetAverageMode(mode);
    reader.ConversionPass = conversion;
  }
  // Results of ProcessBlock for every block delivered.
  std::vector<int> ProcessAll() {
    std::vector<int> results;
    Product::Block block;
    while (reader.ReadBlock(block) > 0) results.push_back(reader.ProcessBlock(block));
    return results;
  }
  // The data values of each receiver with data, as the delimited run asks.
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (int j = 1; j <= 2; ++j) {
      if (!reader.ReceiverHasData(j)) continue;
      std::string out;
      EXPECT_EQ(reader.FormatDataValues(0, out, ','), 0);
      std::string line = "R" + std::to_string(j) + ":" + out;
      EXPECT_EQ(reader.FormatDataValues(1, out, ','), -1);
      EXPECT_TRUE(out.empty());
      lines.push_back(line);
    }
    return lines;
  }
  // Reads the whole log; the lines of every block that returned data.
  std::vector<std::string> AllLines() {
    std::vector<std::string> lines;
    Product::Block block;
    while (reader.ReadBlock(block) > 0) {
      int r = reader.ProcessBlock(block);
      if (r == Product::kRecordsReady || r == Product::kBoundaryAndRecords)
        for (auto& l : Lines()) lines.push_back(l);
    }
    return lines;
  }
  std::string Field(int id) {
    std::string out = "stale";
    reader.FormatField(id, out);
    return out;
  }
};

// A log with time and band setups, ready for measurements.
LogBytes ReadyLog(bool card = false, Band r1 = kCellular, Band r2 = kPaging) {
  LogBytes log(card);
  log.Add(GpsRecord()).Add(BandRecord(0x03, r1, r2));
  return log;
}

// ---- Header and framing ----------------------------------------------------

struct EndCase {
  bool card;
  uint16_t remainder;
  uint32_t sectors;
  uint64_t expected;  // 0: the file size
};

TEST(Brisel, DataEndFromEitherHeader) {
  const EndCase cases[] = {
      {false, 100, 2, 1124}, {false, 0, 1, 512},
      {true, 7, 3, 1543},    {true, 0, 70000, 70000ull * 512},
      {false, 0, 0, 0},      {true, 0, 0, 0},
  };
  for (const auto& c : cases) {
    LogBytes log(c.card, c.remainder, c.sectors);
    log.Add(GpsRecord());
    Driver d;
    d.Open(log);
    EXPECT_EQ(d.reader.DataEnd(), c.expected ? c.expected : log.data.size())
        << c.card << " R=" << c.remainder << " S=" << c.sectors;
  }
}

TEST(Brisel, CardHeaderIsTenBytes) {
  // Bytes 4..9 of a card header hold the data end; the first block follows.
  LogBytes log(true);
  log.Add({0x08, 'x'});
  log.Add(ClockRecord());
  log.SetEnd(log.data.size() + 1);
  Driver d;
  d.Open(log);
  Product::Block block;
  EXPECT_EQ(d.reader.ReadBlock(block), 4);
  EXPECT_EQ(test::BlockBytes(block), (Bytes{0x08, 'x'}));
  EXPECT_EQ(d.reader.ReadBlock(block), 10);
  EXPECT_EQ(test::BlockBytes(block), ClockRecord());
  EXPECT_EQ(d.reader.ReadBlock(block), 0);
}

TEST(Brisel, BlockRunningPastTheDataEndIsNotTaken) {
  for (bool card : {false, true}) {
    LogBytes log(card);
    log.Add(ClockRecord());
    const uint64_t firstEnd = log.data.size();
    log.Add(ClockRecord());
    const uint64_t secondEnd = log.data.size();

    log.SetEnd(secondEnd);  // the second block ends exactly at the data end: taken
    Driver exact;
    exact.Open(log);
    Product::Block block;
    EXPECT_EQ(exact.reader.ReadBlock(block), 10);
    EXPECT_EQ(exact.reader.ReadBlock(block), 10);
    EXPECT_EQ(test::BlockBytes(block), ClockRecord());
    EXPECT_EQ(exact.reader.ReadBlock(block), 0);

    log.SetEnd(secondEnd - 1);  // one byte short: the block runs past the end
    Driver shorter;
    shorter.Open(log);
    EXPECT_EQ(shorter.reader.ReadBlock(block), 10);
    EXPECT_EQ(shorter.reader.ReadBlock(block), 0);
    EXPECT_TRUE(block.empty());

    log.SetEnd(firstEnd + 1);  // the data end inside the next length word
    Driver inWord;
    inWord.Open(log);
    EXPECT_EQ(inWord.reader.ReadBlock(block), 10);
    EXPECT_EQ(inWord.reader.ReadBlock(block), 0);
    EXPECT_FALSE(inWord.reader.Damage.Any());
  }
}

// The last complete record of a log is a reading like any other, whether the
// header gives the data end or leaves it to the file size.
TEST(Brisel, LastRecordOfTheLogIsConverted) {
  for (bool card : {false, true}) {
    for (bool headerEnd : {false, true}) {
      LogBytes log = ReadyLog(card);
      log.Add(SingleFrequencyHeader(28969, 74325));
      log.Add(Samples(1, -60, 2)).Add(Samples(2, -70, 2));
      if (headerEnd) log.SetEnd(log.data.size());
      Driver d;
      d.settings.FrequencyField = d.settings.ChannelField = false;
      d.Open(log);
      EXPECT_EQ(d.AllLines(), (std::vector<std::string>{"R1:-60,-61", "R2:-70,-71"}))
          << "card " << card << " header end " << headerEnd;
    }
  }
}

TEST(Brisel, ZeroDataEndReadsToThePhysicalEnd) {
  LogBytes log(false, 0, 0);
  log.Add(ClockRecord()).Add(ClockRecord());
  Driver d;
  d.Open(log);
  // The last block ends at the file's end, which is the data end.
  EXPECT_EQ(d.ProcessAll().size(), 2u);
  EXPECT_FALSE(d.reader.Damage.Any());
}

TEST(Brisel, LengthAbove4096IsSkippedWordByWord) {
  LogBytes log(false);
  log.data.insert(log.data.end(), {0x01, 0x10});  // 4097
  log.Add(ClockRecord());
  Driver d;
  d.Open(log);
  Product::Block block;
  EXPECT_EQ(d.reader.ReadBlock(block), 4);
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(d.reader.ProcessBlock(block), Product::kNothing);
  EXPECT_EQ(d.reader.ReadBlock(block), 10);  // the next word is the clock record's length
  EXPECT_EQ(test::BlockBytes(block), ClockRecord());
  EXPECT_EQ(d.reader.Damage.badLengthBlocks, 1u);
  // Exactly 4096 is a valid length.
  LogBytes big(false);
  Bytes payload(4096, 0x08);
  big.Add(payload);
  Driver b;
  b.Open(big);
  EXPECT_EQ(b.reader.ReadBlock(block), 4098);
}

TEST(Brisel, TruncatedFinalBlockEndsTheRead) {
  LogBytes log(false);
  log.Add(ClockRecord());
  log.data.insert(log.data.end(), {20, 0, 0x04, 1, 2});  // 20 bytes promised, 3 present
  log.SetEnd(log.data.size() + 100);                     // a header that claims more
  Driver d;
  d.Open(log);
  Product::Block block;
  EXPECT_EQ(d.reader.ReadBlock(block), 10);
  EXPECT_EQ(d.reader.ReadBlock(block), 0);
  EXPECT_EQ(d.reader.Damage.truncatedBlocks, 1u);
}

TEST(Brisel, ShortAndEmptyRecordsAreHarmless) {
  LogBytes log = ReadyLog();
  log.Add({});               // zero length
  log.Add({0x00, 1, 2});     // GPS block cut short
  log.Add({0x01, 3});        // band setups cut short
  log.Add({0x05, 1});        // header cut short
  log.Add({0x02});           // sample run without samples
  log.Add({0x07, 0, 1});     // incomplete triple
  log.Add({0x09, 0, 1});     // incomplete quadruple
  log.Add({0xC0, 1, 2, 3});  // TP position cut short
  log.Add({0xC1});           // TP motion cut short
  log.Add({0x04, 1});        // clock cut short
  log.Add({0x77, 1, 2});     // unknown kind
  Driver d;
  d.Open(log);
  d.ProcessAll();
  EXPECT_EQ(d.reader.Damage.unknownRecords, 1u);
  EXPECT_EQ(d.reader.Damage.badLengthBlocks, 6u);
  EXPECT_EQ(d.Field(F::kGpsTime), "09:05:03");  // the good GPS block stands
}

// ---- Channel numbers -------------------------------------------------------

struct ChannelCase {
  uint32_t count;
  bool cellular;
  int channel;
  bool reversible = true;  // the table channel leads back to the same count
};

TEST(Brisel, ChannelNumbersFromCounts) {
  const uint32_t base = 28968;
  const ChannelCase cases[] = {
      {base, true, 991},
      {base + 1, true, 992},
      {base + 33, true, 1024},
      {base + 34, true, 1},
      {base + 35, true, 2},
      {base + 832, true, 799},
      {base - 1, true, 990, false},
      {base, false, 1},
      {base + 9, false, 10},
      {base - 1, false, 0},
      {base - 5, false, 0},
      {base - 2000, true, 0},
  };
  for (const auto& c : cases) {
    Brisel::BandSetup band;
    band.first = base;
    band.flags = c.cellular ? 1 : 0;
    EXPECT_EQ(Brisel::ChannelFromCount(c.count, band), c.channel)
        << c.count - base << " cellular " << c.cellular;
    if (c.channel > 0 && c.reversible) {
      EXPECT_EQ(Brisel::CountFromChannel(c.channel, band), c.count);
    }
  }
}

TEST(Brisel, TableChannelsBackToCounts) {
  Brisel::BandSetup cell{28968, 0, 7680, 1};
  EXPECT_EQ(Brisel::CountFromChannel(991, cell), 28968);
  EXPECT_EQ(Brisel::CountFromChannel(1023, cell), 28968 + 32);
  EXPECT_EQ(Brisel::CountFromChannel(990, cell), 28968 + 1023);  // below 991 counts as 990 + 34
  EXPECT_EQ(Brisel::CountFromChannel(1, cell), 28968 + 34);
  Brisel::BandSetup plain{500, 0, 256, 0};
  EXPECT_EQ(Brisel::CountFromChannel(1, plain), 500);
  EXPECT_EQ(Brisel::CountFromChannel(1000, plain), 1499);
}

// ---- Readiness and sample runs ---------------------------------------------

TEST(Brisel, MeasurementsWaitForTimeBandsAndHeaders) {
  struct Case {
    const char* name;
    std::vector<Bytes> records;
    size_t lines;
  };
  const Bytes sf = SingleFrequencyHeader(28969, 74325);
  const Bytes lh = ListHeader(28969, 74321);
  const Bytes samples = Samples(1, -60, 4);
  const Bytes list = ListReadings({{0, 0, -70}});
  const Bytes table = TableRecord({{0, 992, -80}});
  const Case cases[] = {
      {"samples without time", {BandRecord(), sf, samples}, 0},
      {"samples without bands", {GpsRecord(), sf, samples}, 0},
      {"samples without header", {GpsRecord(), BandRecord(), samples}, 0},
      {"samples with a list header only", {GpsRecord(), BandRecord(), lh, samples}, 0},
      {"samples ready", {GpsRecord(), BandRecord(), sf, samples}, 1},
      {"clock is a time too", {ClockRecord(), BandRecord(), sf, samples}, 1},
      {"list without header", {GpsRecord(), BandRecord(), sf, list}, 0},
      {"list ready", {GpsRecord(), BandRecord(), lh, list}, 2},
      {"table without time", {BandRecord(), table}, 0},
      {"table without bands", {GpsRecord(), table}, 0},
      {"table ready", {GpsRecord(), BandRecord(), table}, 1},
  };
  for (const auto& c : cases) {
    LogBytes log(false);
    for (const auto& r : c.records) log.Add(r);
    Driver d;
    d.Open(log);
    EXPECT_EQ(d.AllLines().size(), c.lines) << c.name;
  }
}

TEST(Brisel, SingleFrequencyRunPrintsSixteenSamples) {
  LogBytes log = ReadyLog();
  log.Add(SingleFrequencyHeader(28969, 74325)).Add(Samples(1, -60, 20));
  Driver d;
  d.Open(log);
  auto lines = d.AllLines();
  ASSERT_EQ(lines.size(), 1u);
  // Count 28969 is one above the cellular base: 869.07 MHz, channel 992.
  std::string expected = "R1:";
  for (int i = 0; i < 16; ++i) {
    if (i) expected += ",";
    expected += "869.07000,992," + std::to_string(-60 - i);
  }
  EXPECT_EQ(lines[0], expected);
}

TEST(Brisel, LongSampleRunsStayWithinTheSlots) {
  LogBytes log = ReadyLog();
  log.Add(SingleFrequencyHeader(28969, 74325)).Add(Samples(2, -40, 200));
  Driver d;
  d.settings.ChannelField = false;
  d.settings.FrequencyField = false;
  d.Open(log);
  auto lines = d.AllLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(0, 12), "R2:-40,-41,-");
  EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), 15);
}

TEST(Brisel, SampleRunsWriteOnlyTheirReceiver) {
  LogBytes log = ReadyLog();
  log.Add(SingleFrequencyHeader(28969, 74325));
  log.Add(Samples(2, -50, 2)).Add(Samples(1, -60, 2)).Add(Samples(1, -61, 1));
  Driver d;
  d.settings.ChannelField = false;
  d.Open(log);
  // Receiver 2: count 74325 at 12.5 kHz = 929.0625 MHz.
  EXPECT_EQ(d.AllLines(), (std::vector<std::string>{
                              "R2:929.06250,-50,929.06250,-51",
                              "R1:869.07000,-60,869.07000,-61",
                              "R1:869.07000,-61",
                          }));
}

TEST(Brisel, ReceiverBoxesAndPresentFlags) {
  auto run = [](uint8_t present, bool box1, bool box2) {
    LogBytes log(false);
    log.Add(GpsRecord()).Add(BandRecord(present)).Add(ListHeader(28969, 74321));
    log.Add(ListReadings({{0, 0, -70}, {1, 0, -71}}));
    Driver d;
    d.settings.Receiver1 = box1;
    d.settings.Receiver2 = box2;
    d.Open(log);
    std::string who;
    for (auto& l : d.AllLines()) who += l.substr(0, 2);
    return who;
  };
  EXPECT_EQ(run(0x03, true, true), "R1R2");
  EXPECT_EQ(run(0x01, true, true), "R1");
  EXPECT_EQ(run(0x02, true, true), "R2");
  EXPECT_EQ(run(0x03, false, true), "R2");
  EXPECT_EQ(run(0x03, true, false), "R1");
  EXPECT_EQ(run(0x00, true, true), "");
  Brisel b;
  EXPECT_FALSE(b.ReceiverHasData(0));
  EXPECT_FALSE(b.ReceiverHasData(3));
}

// ---- List and table readings -----------------------------------------------

TEST(Brisel, ListReadingsFillTheirPositions) {
  LogBytes log = ReadyLog();
  log.Add(ListHeader(28969, 74321));
  // Receiver byte 2 and list position 10 are not the instrument's; skipped.
  log.Add(ListReadings({{0, 3, -70}, {0, 0, -75}, {2, 1, -10}, {0, 10, -11}, {1, 9, -90}}));
  Driver d;
  d.settings.FrequencyField = false;
  d.Open(log);
  auto lines = d.AllLines();
  ASSERT_EQ(lines.size(), 2u);
  // Cellular channels of counts base+1..base+10 are 992..1001; a position
  // not measured yet keeps its two columns, empty.
  EXPECT_EQ(lines[0], "R1:992,-75,,,,,995,-70,,,,,,,,,,,,");
  EXPECT_EQ(lines[1], "R2:,,,,,,,,,,,,,,,,,,10,-90");
}

// A list shows the levels measured since its header: never the samples of
// the Single Frequency run before it under the list's channels, nor the
// levels of an earlier list, nor a level of 0 dBm that nothing measured.
TEST(Brisel, ListShowsOnlyWhatWasMeasuredSinceItsHeader) {
  LogBytes log = ReadyLog();
  log.Add(SingleFrequencyHeader(28969, 74325)).Add(Samples(1, -40, 16)).Add(Samples(2, -50, 16));
  log.Add(ListHeader(28969, 74321));
  log.Add(ListReadings({{0, 0, -61}, {0, 1, -62}, {0, 2, -63}, {0, 3, -64}, {0, 4, -65}}));
  log.Add(ListHeader(28969, 74321));  // the same segment, a new list
  log.Add(ListReadings({{1, 5, -95}}));
  const std::string run1 = "R1:-40,-41,-42,-43,-44,-45,-46,-47,-48,-49,-50,-51,-52,-53,-54,-55";
  const std::string run2 = "R2:-50,-51,-52,-53,-54,-55,-56,-57,-58,-59,-60,-61,-62,-63,-64,-65";
  struct Case {
    int mode;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {Product::kAverageNone,
       {run1, run2, "R1:-61,-62,-63,-64,-65,,,,,", "R2:,,,,,,,,,", "R1:,,,,,,,,,",
        "R2:,,,,,-95,,,,"}},
      // Best server chooses among the measured positions only.
      {Product::kAverageBestServer, {run1, run2, "R1:-61", "R2:", "R1:", "R2:-95"}},
  };
  for (const auto& c : cases) {
    Driver d;
    d.settings.FrequencyField = d.settings.ChannelField = false;
    d.Open(log, c.mode);
    EXPECT_EQ(d.AllLines(), c.lines) << c.mode;
  }
}

TEST(Brisel, ListBestServerTakesTheFirstStrongest) {
  LogBytes log = ReadyLog();
  log.Add(ListHeader(28969, 74321));
  log.Add(ListReadings({{0, 0, -90}, {0, 1, -60}, {0, 2, -70}, {0, 3, -60}, {0, 4, -61}}));
  for (uint8_t p = 5; p < 10; ++p) log.Add(ListReadings({{0, p, -100}}));
  Driver d;
  d.settings.Receiver2 = false;
  d.Open(log, Product::kAverageBestServer);
  auto lines = d.AllLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "R1:869.10000,993,-60");  // position 1, count base + 2
}

TEST(Brisel, TableRecordsKeepEachReceiversReadings) {
  LogBytes log = ReadyLog();
  log.Add(TableRecord({{0, 992, -80}, {1, 7, -81}, {0, 1, -82}, {1, 8, -83}}));
  log.Add(TableRecord({{0, 993, -84}, {0, 994, -85}, {0, 995, -86}, {0, 996, -87}}));
  Driver d;
  d.Open(log);
  auto lines = d.AllLines();
  // 992 -> count base + 1 (869.07); 1 -> base + 34 (870.06); paging channel
  // 7 -> 74327 x 12.5 kHz = 929.0875 MHz. Each reading stays under the
  // title group of its slot: the other receiver's slots are empty columns.
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "R1:869.07000,992,-80,,,,870.06000,1,-82,,,");
  EXPECT_EQ(lines[1], "R2:,,,929.08750,7,-81,,,,929.10000,8,-83");
  EXPECT_EQ(lines[2], "R1:869.10000,993,-84,869.13000,994,-85,869.16000,995,-86,869.19000,996,-87");
}

TEST(Brisel, TableBestServerReportsEachCompletedSweep) {
  // Receiver 1 sweeps channels 1..5 of a plain band, four readings a record.
  const int8_t sweep1[5] = {-80, -70, -90, -60, -75};  // best: channel 4
  const int8_t sweep2[5] = {-50, -95, -85, -99, -98};  // best: channel 1
  const int8_t sweep3[5] = {-88, -70, -71, -72, -73};  // best: channel 2
  std::vector<Reading> stream;
  for (const int8_t* s : {sweep1, sweep2, sweep3})
    for (int ch = 1; ch <= 5; ++ch) stream.push_back({0, ch, s[ch - 1]});
  stream.push_back({0, 1, -100});  // the fourth sweep begins
  LogBytes log = ReadyLog(false, kPlain, kPaging);
  for (size_t i = 0; i < stream.size(); i += 4)
    log.Add(TableRecord(
        std::vector<Reading>(stream.begin() + static_cast<long>(i),
                             stream.begin() + static_cast<long>(std::min(i + 4, stream.size())))));
  Driver d;
  d.settings.Receiver2 = false;
  d.Open(log, Product::kAverageBestServer);
  // Channel c of the plain band is count 100000 + c - 1 at 25 kHz.
  EXPECT_EQ(d.AllLines(), (std::vector<std::string>{
                              "R1:2500.07500,4,-60",
                              "R1:2500.00000,1,-50",
                              "R1:2500.02500,2,-70",
                          }));
}

TEST(Brisel, BestServerTitlesAndPlainTitles) {
  struct Case {
    int mode;
    Bytes header;
    Bytes reading;
    int groups;
  };
  const Case cases[] = {
      {0, SingleFrequencyHeader(1, 1), Samples(1, -60, 3), 1},
      {3, SingleFrequencyHeader(1, 1), Samples(1, -60, 3), 1},
      {0, ListHeader(1, 1), ListReadings({{0, 0, -1}}), 10},
      {3, ListHeader(1, 1), ListReadings({{0, 0, -1}}), 1},
      {0, {0x08}, TableRecord({{0, 1, -1}}), 4},
      {3, {0x08}, TableRecord({{0, 1, -1}}), 1},
  };
  for (const auto& c : cases) {
    LogBytes log = ReadyLog();
    log.Add(c.header).Add(c.reading);
    Driver d;
    d.Open(log, c.mode);
    d.ProcessAll();
    std::string out;
    ASSERT_EQ(d.reader.WriteDataTitles(0, out, ';'), 0);
    std::string group = "\"Frequency\";\"Channel\";\"RSSI\"";
    std::string expected = group;
    for (int g = 1; g < c.groups; ++g) expected += ";" + group;
    EXPECT_EQ(out, expected) << c.mode << " groups " << c.groups;
    EXPECT_EQ(d.reader.WriteDataTitles(1, out, ';'), -1);
    EXPECT_TRUE(out.empty());
  }
  Brisel fresh;
  std::string out = "x";
  EXPECT_EQ(fresh.WriteDataTitles(0, out, ','), 0);
  EXPECT_TRUE(out.empty());
}

// ---- Segments --------------------------------------------------------------

TEST(Brisel, SegmentBoundariesInTheConversion) {
  LogBytes log = ReadyLog();
  log.Add(SingleFrequencyHeader(28969, 74325));  // 3
  log.Add(Samples(1, -60, 2));                   // 1
  log.Add(SingleFrequencyHeader(28970, 74325));  // 3, same segment
  log.Add(TableRecord({{0, 992, -80}}));         // 4
  log.Add(TableRecord({{0, 993, -80}}));         // 1
  log.Add(ListHeader(28969, 74321));             // 3
  log.Add(ListReadings({{0, 0, -1}}));           // 1
  log.Add(TableRecord({{0, 992, -80}}));         // 4
  Driver d;
  d.Open(log);
  EXPECT_EQ(d.ProcessAll(), (std::vector<int>{0, 0, 3, 1, 3, 4, 1, 3, 1, 4}));
  EXPECT_EQ(d.reader.SegmentCounter, 4);
}

TEST(Brisel, IndexingCaptionsSegmentsWithTheLastTime) {
  LogBytes log(false);
  log.Add(BandRecord()).Add(ClockRecord());
  log.Add(SingleFrequencyHeader(28969, 74325));
  log.Add(GpsRecord());
  log.Add(TableRecord({{0, 992, -80}})).Add(TableRecord({{0, 993, -80}}));
  Driver d;
  d.Open(log, 0, false);
  Product::Block block;
  std::vector<std::string> captions;
  while (d.reader.ReadBlock(block) > 0) {
    EXPECT_EQ(d.reader.ProcessBlock(block), Product::kNothing);
    if (d.reader.SegmentReady) {
      captions.push_back(d.reader.SegmentStartTime);
      d.reader.SegmentReady = false;
    }
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"RTC 02:03:04", "GPS 09:05:03"}));
  EXPECT_EQ(d.reader.SegmentType, kSegmentScanData);
}

TEST(Brisel, LeftOutSegmentsWriteNothing) {
  LogBytes log = ReadyLog();
  log.Add(TableRecord({{0, 992, -80}}));
  log.Add(SingleFrequencyHeader(28969, 74325)).Add(Samples(1, -61, 1));
  log.Add(TableRecord({{0, 993, -82}}));
  Driver d;
  d.settings.ChannelField = false;
  d.settings.FrequencyField = false;
  const std::string input = test::TempPath("brisel-segments.blf");
  test::WriteFile(input, log.data);
  d.settings.InputFilename = input;
  d.settings.InputFormatGroup = kCopied;
  RunHooks hooks;
  IndexRun index(d.reader, d.settings, kCopied, hooks);
  ASSERT_EQ(index.Run(), IndexOutcome::Completed);
  ASSERT_EQ(d.reader.SegmentNodes.Count(), 3);
  EXPECT_EQ(d.reader.SegmentNodes.Type(1), kSegmentSingleFrequency);
  EXPECT_EQ(d.reader.SegmentNodes.Caption(2), "GPS 09:05:03");
  d.reader.SegmentNodes.Toggle(1);

  d.settings.OutputFilename = test::TempPath("brisel-segments.out");
  d.settings.SelectedBox = {"Receiver", "<< DATA >>"};
  d.reader.SetSelectedFields({F::kReceiver, F::kData});
  ConversionRun run(d.reader, d.settings, hooks);
  ASSERT_EQ(run.Run(), RunOutcome::Completed);
  // Every new table segment writes its titles: four readings a record, each
  // line with a column under every title.
  const std::string title = "\"Receiver\",\"RSSI\",\"RSSI\",\"RSSI\",\"RSSI\"\r\n";
  EXPECT_EQ(test::ReadFile(d.settings.OutputFilename),
            title + "1,-80,,,\r\n" + title + "1,-82,,,\r\n");
}

// ---- Field texts -----------------------------------------------------------

TEST(Brisel, FieldTexts) {
  LogBytes log = ReadyLog();
  log.Add(ClockRecord());
  Bytes tp(21, 0);
  tp[0] = 0xC0;
  tp[1] = 10, tp[2] = 20, tp[3] = 14, tp[4] = 5, tp[5] = 0, tp[6] = 124;
  tp[7] = 'N';
  putLe16(&tp[8], 40);
  putLe32(&tp[10], 712345);
  tp[14] = 'W';
  putLe16(&tp[15], 74);
  putLe32(&tp[17], 6012);
  log.Add(tp);
  Bytes motion{0xC1, 0, 0, 0, 0, 0, 0};
  putLe16(&motion[3], static_cast<uint16_t>(-5));
  putLe16(&motion[5], 359);
  log.Add(motion);
  Driver d;
  d.Open(log);
  d.ProcessAll();
  d.reader.RecordCounter = 17;
  const std::pair<int, const char*> expected[] = {
      {F::kCrLf, "\n"},
      {F::kLatDecimal, "-0.500000"},
      {F::kLatDegrees, "0"},
      {F::kLatMinutes, "30"},
      {F::kLatDecimalMinutes, "30.000000"},
      {F::kLatSeconds, "0"},
      {F::kLatHemisphere, "S"},
      {F::kLonDecimal, "-74.504306"},
      {F::kLonDegrees, "74"},
      {F::kLonMinutes, "30"},
      {F::kLonDecimalMinutes, "30.258333"},
      {F::kLonSeconds, "15"},
      {F::kLonHemisphere, "W"},
      {F::kGpsStatus, "3D Fix"},
      {F::kGpsTime, "09:05:03"},
      {F::kGpsHour, "09"},
      {F::kGpsMinute, "05"},
      {F::kGpsSecond, "03"},
      {F::kGpsDate, "03/07/2024"},
      {F::kGpsMonth, "03"},
      {F::kGpsDay, "07"},
      {F::kGpsYear, "2024"},
      {F::kGpsAltitude, "123"},  // 12345 cm
      {F::kGpsVelocity, "22"},   // 1000 cm/s x 0.02237
      {F::kMarkerValue, "23"},   // 123 modulo 100
      {F::kRtcDate, "12/01/98"},
      {F::kRtcMonth, "12"},
      {F::kRtcDay, "01"},
      {F::kRtcYear, "98"},
      {F::kRtcTime, "02:03:04"},
      {F::kRtcHour, "02"},
      {F::kRtcMinute, "03"},
      {F::kRtcSecond, "04"},
      {F::kMinFrequency, "869.04000"},
      {F::kMaxFrequency, "894.00000"},
      {F::kStepSize, "30.00"},
      {F::kReceiver, "1"},
      {F::kRecordNumber, "17"},
      {F::kTpLatitude, "40.712345 N"},
      {F::kTpLongitude, "74.6012 W"},
      {F::kTpDate, "01/05/2024"},
      {F::kTpTime, "14:20:10"},
      {F::kTpSpeed, "-5"},
      {F::kTpDirection, "359"},
      {F::kSpeedBps, ""},
      {F::kGpsHeading, ""},
      {99, ""},
  };
  for (const auto& [id, text] : expected) EXPECT_EQ(d.Field(id), text) << "field " << id;
  // The band fields follow the receiver whose line is being written.
  d.settings.Receiver1 = false;
  d.reader.ReceiverHasData(2);
  EXPECT_EQ(d.Field(F::kStepSize), "12.50");
  EXPECT_EQ(d.Field(F::kMinFrequency), "929.01250");
  EXPECT_EQ(d.Field(F::kReceiver), "2");
}

TEST(Brisel, FieldTextsBeforeAnyRecord) {
  LogBytes log(false);
  log.Add({0x08});
  Driver d;
  d.Open(log);
  EXPECT_EQ(d.Field(F::kGpsDate), "01/01/2000");
  EXPECT_EQ(d.Field(F::kGpsTime), "12:00:00");
  EXPECT_EQ(d.Field(F::kLatHemisphere), "S");
  EXPECT_EQ(d.Field(F::kLonHemisphere), "W");
  EXPECT_EQ(d.Field(F::kTpLatitude), "0.0 ");  // no letter yet
  EXPECT_EQ(d.Field(F::kTpDate), "01/00/1900");
}

TEST(Brisel, OffersItsFortyThreeFields) {
  Brisel b;
  const std::vector<int> expected = {0,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 18,
                                     19, 20, 21, 22, 23, 24, 25, 26, 27, 17, 29, 33, 36, 34, 35,
                                     37, 38, 39, 40, 46, 47, 48, 49, 32, 50, 51, 52, 53};
  EXPECT_EQ(b.AvailableFields(), expected);
}

// ---- Post-processing layouts -----------------------------------------------

struct NativeRun {
  Driver d;
  std::string header, record, trailer;
  NativeRun(int format, int scanType) {
    LogBytes log = ReadyLog();
    log.Add(ClockRecord()).Add(TableRecord({{0, 992, -85}}));
    d.settings.OutputFormatGroup = format;
    d.settings.ScanTypeGroup = scanType;
    d.settings.OutputFilename = test::TempPath("MLJ.M01");
    d.settings.FrozenClock = 1000;
    d.Open(log);
    d.ProcessAll();
    const int h = d.reader.WriteFormatHeader(header);
    const int r = d.reader.WriteFormatRecord(record);
    const int t = d.reader.WriteFormatTrailer(trailer);
    EXPECT_EQ(h, static_cast<int>(header.size()));
    EXPECT_EQ(r, static_cast<int>(record.size()));
    EXPECT_EQ(t, static_cast<int>(trailer.size()));
  }
};

TEST(Brisel, PlanetPrintsTheLevelOnce) {
  NativeRun fast(7, 1);
  EXPECT_EQ(fast.record, "09:05:03:00 -0.500000 -74.504306 REPORT::Report: 869.07000 992 -85\n");
  EXPECT_EQ(fast.header.substr(0, 8), "_HEADER\n");
  EXPECT_TRUE(fast.trailer.empty());
  NativeRun table(7, 0);
  EXPECT_EQ(table.record, "09:05:03:00 -0.500000 -74.504306 REPORT::Report: 0.00000 0 -0\n");
}

TEST(Brisel, GraysonLines) {
  NativeRun g(3, 1);
  const std::string zeros(42, '0');
  EXPECT_EQ(g.header, "D1998120109\rm050300RCRD" + zeros + "\r");
  // 869.07 MHz in 10 Hz units; the latitude's 30 minutes are 500000
  // millionths of a degree; the longitude keeps its sign.
  EXPECT_EQ(g.record, "r050300086907000085\rG050300+000.500000-74.504310905030000\r");
  EXPECT_EQ(g.trailer, "m050300IDLE" + zeros + "\r");
}

TEST(Brisel, PathViewRecordCarriesTheLevelInDbm) {
  NativeRun p(6, 1);
  ASSERT_EQ(p.header.size(), 19u);
  ASSERT_EQ(p.record.size(), 28u);
  double rssi = 0, lon = 0, lat = 0;
  std::memcpy(&rssi, p.record.data() + 1, 8);
  std::memcpy(&lon, p.record.data() + 9, 8);
  std::memcpy(&lat, p.record.data() + 17, 8);
  EXPECT_EQ(rssi, -85.0);
  EXPECT_NEAR(lon, -74.5043055, 1e-6);
  EXPECT_DOUBLE_EQ(lat, -0.5);
  EXPECT_EQ(p.record.substr(25), std::string("\x09\x05\x03", 3));
}

// ---- Sample logs -----------------------------------------------------------

std::string SamplePath(bool card) {
  std::string path = test::TempPath(card ? "sample-card.blf" : "sample-copied.blf");
  synth::SampleOptions options;
  options.seconds = 30;
  options.seed = 7;
  EXPECT_TRUE(synth::WriteBriselSample(path, options, card));
  return path;
}

TEST(Brisel, SampleLogsAreRecognised) {
  EXPECT_EQ(DetectProduct(SamplePath(false)), kCopied);
  EXPECT_EQ(DetectProduct(SamplePath(true)), kCard);
}

TEST(Brisel, SampleLogsReadCleanly) {
  for (bool card : {false, true}) {
    const std::string path = SamplePath(card);
    Driver d;
    d.settings.InputFormatGroup = card ? kCard : kCopied;
    ASSERT_EQ(d.reader.Open(path), 0);
    d.reader.ConversionPass = true;
    auto results = d.ProcessAll();
    EXPECT_FALSE(d.reader.Damage.Any()) << card;
    EXPECT_GT(std::count(results.begin(), results.end(), Product::kBoundary), 1) << card;
    EXPECT_GT(std::count(results.begin(), results.end(), Product::kBoundaryAndRecords), 0) << card;
    const uint64_t size = static_cast<uint64_t>(FileSize(path));
    if (card) {
      EXPECT_EQ(size % 512, 0u);
      EXPECT_LT(d.reader.DataEnd(), size);
    } else {
      EXPECT_EQ(d.reader.DataEnd(), size);
    }
  }
}

// Spot checks of the delimited reference output against the drive itself:
// the time and position of the first line come from the route, every table
// reading's frequency follows from its channel and band.
TEST(Brisel, ReferenceOutputFollowsTheDrive) {
  const std::string out = test::GoldenReference("brisel-copied-ascii.out");
  std::vector<std::vector<std::string>> rows;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    std::vector<std::string> cells;
    std::string line = out.substr(start, end - start);
    for (size_t a = 0;;) {
      size_t b = line.find(',', a);
      cells.push_back(line.substr(a, b == std::string::npos ? std::string::npos : b - a));
      if (b == std::string::npos) break;
      a = b + 1;
    }
    rows.push_back(cells);
    start = end + 2;
  }
  ASSERT_GT(rows.size(), 100u);
  synth::DriveModel drive(7);
  const synth::DrivePoint p = drive.At(0);
  const auto& first = rows[1];
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", p.hour, p.minute, p.second);
  EXPECT_EQ(first[0], time);
  EXPECT_EQ(first[1], "1");
  ASSERT_EQ(first.size(), 2u + 16 * 3 + 3);  // 20 samples, 16 slots
  EXPECT_EQ(first[2], "880.02000");          // channel 333: count 28968 + 367 - 1
  EXPECT_EQ(first[3], "333");
  EXPECT_NEAR(std::stod(first[50]), p.latitude, 1.5e-6);
  EXPECT_NEAR(std::stod(first[51]), p.longitude, 1.5e-6);
  EXPECT_EQ(first[52], "00");
  int tableRows = 0;
  for (const auto& row : rows) {
    if (row.size() != 2 + 4 * 3 + 3 || row[0][0] == '"') continue;
    ++tableRows;
    const bool cellular = row[1] == "1";
    for (size_t k = 0; k < 4; ++k) {
      if (row[3 + 3 * k].empty()) {  // a slot without a reading: all three empty
        EXPECT_EQ(row[2 + 3 * k] + row[4 + 3 * k], "");
        continue;
      }
      const int ch = std::stoi(row[3 + 3 * k]);
      const int index = cellular ? (ch >= 991 ? ch - 990 : ch + 34) : ch;
      const double mhz = cellular ? (28968 + index - 1) * 0.030 : (74321 + index - 1) * 0.0125;
      char expected[32];
      std::snprintf(expected, sizeof expected, "%.5f", mhz);
      EXPECT_EQ(row[2 + 3 * k], expected) << ch;
      const int level = std::stoi(row[4 + 3 * k]);
      EXPECT_TRUE(level <= -20 && level >= -127) << level;
    }
  }
  EXPECT_GT(tableRows, 10);
}

}  // namespace
}  // namespace morphel
