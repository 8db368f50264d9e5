#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
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
#include "products/Tolvan2.h"
#include "synth/Tolvan2Writer.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using Bytes = std::vector<uint8_t>;
using F = FieldCatalog;

// ---------------------------------------------------------------- fixtures

struct BandSpec {
  uint16_t channel = 0;
  uint8_t flags = 0;
  uint16_t mhz = 0, fraction = 0, step = 0, first = 0, last = 0;
  uint8_t decode = 0;
};

// A 6.25 kHz band from 451.0000 MHz, channels 0..1599.
constexpr BandSpec kNarrowBand{8, 0x00, 451, 0, 62, 0, 1599, 0x00};
// Cellular control channels from 869.0100 MHz in 30 kHz steps, DCC decoded.
constexpr BandSpec kCellBand{347, 0x40, 869, 100, 300, 1, 834, 0x80};

void PutBand(uint8_t* p, const BandSpec& b, bool withChannel) {
  if (withChannel) {
    putLe16(p, b.channel);
    p += 2;
  }
  p[0] = b.flags;
  putLe16(p + 1, b.mhz);
  putLe16(p + 3, b.fraction);
  putLe16(p + 5, b.step);
  putLe16(p + 7, b.first);
  putLe16(p + 9, b.last);
  p[11] = b.decode;
}

struct HeaderSpec {
  int32_t latitude = 146571500;    // 40 deg 42' 51.5" N
  int32_t longitude = -266421250;  // 74 deg 0' 21.25" W
  int32_t altitude = 1234;         // cm
  uint16_t velocity = 1000;        // cm/s
  int16_t heading = 900;
  uint8_t status = 0x80;
  int16_t marker = 3;
  uint8_t hour = 10, minute = 5, second = 9;
};

Bytes HeaderRecord(char kind, size_t size, const HeaderSpec& h) {
  Bytes r(size, 0);
  r[0] = static_cast<uint8_t>(kind);
  r[2] = 7;   // RTC second
  r[3] = 6;   // RTC minute
  r[4] = 11;  // RTC hour
  r[5] = 23;  // RTC day
  r[6] = 11;  // RTC month
  r[7] = 26;  // RTC year
  r[8] = h.status;
  putBe32(&r[9], static_cast<uint32_t>(h.latitude));
  putBe32(&r[13], static_cast<uint32_t>(h.longitude));
  putBe32(&r[17], static_cast<uint32_t>(h.altitude));
  putBe16(&r[21], h.velocity);
  putBe16(&r[23], static_cast<uint16_t>(h.heading));
  r[25] = h.hour;
  r[26] = h.minute;
  r[27] = h.second;
  putLe16(&r[28], static_cast<uint16_t>(h.marker));
  return r;
}

constexpr size_t kFastSize = 36 + 4 * 708;

// Receiver i's fast block in an 'F' record; samples[k] = sample(k).
template <typename Sample>
void PutFast(Bytes& r, int i, const BandSpec& band, uint8_t code1, uint8_t code2, Sample sample) {
  r[32 + static_cast<size_t>(i)] = 1;
  uint8_t* b = r.data() + 36 + 708 * static_cast<size_t>(i);
  PutBand(b, band, true);
  b[14] = code1;
  b[15] = code2;
  for (int k = 0; k < 512; ++k) b[22 + k] = static_cast<uint8_t>(sample(k));
}

Bytes FastRecord(const HeaderSpec& h = {}) {
  return HeaderRecord('F', kFastSize, h);
}

Bytes ScanRecord(const std::vector<BandSpec>& bands, const HeaderSpec& h = {}) {
  Bytes r = HeaderRecord('S', 32 + 48, h);
  for (size_t i = 0; i < bands.size() && i < 4; ++i) PutBand(&r[32 + 12 * i], bands[i], false);
  return r;
}

Bytes ChannelReading(char kind, uint8_t receiver, uint16_t channel, uint8_t rssi, uint8_t a,
                     uint8_t b) {
  Bytes r(7, 0);
  r[0] = static_cast<uint8_t>(kind);
  r[1] = receiver;
  putLe16(&r[2], channel);
  r[4] = rssi;
  r[5] = a;
  r[6] = b;
  return r;
}

Bytes SweepReading(char kind, uint8_t receiver, uint16_t code, uint16_t channel, uint8_t rssi,
                   uint8_t sat = 0) {
  Bytes r(kind == 's' ? 8 : 7, 0);
  r[0] = static_cast<uint8_t>(kind);
  r[1] = receiver;
  putLe16(&r[2], code);
  putLe16(&r[4], channel);
  r[6] = rssi;
  if (kind == 's') r[7] = sat;
  return r;
}

// A log file: the 6-byte file header, then each block behind its length.
std::string WriteLog(const std::string& name, const std::vector<Bytes>& blocks,
                     const Bytes& tail = {}) {
  Bytes file = {'T', 'D', 'L', 0, 1, 27};
  for (const Bytes& b : blocks) {
    uint8_t len[2];
    putLe16(len, static_cast<uint16_t>(b.size()));
    file.insert(file.end(), len, len + 2);
    file.insert(file.end(), b.begin(), b.end());
  }
  file.insert(file.end(), tail.begin(), tail.end());
  const std::string path = test::TempPath(name);
  test::WriteFile(path, file);
  return path;
}

// A reader in its conversion pass, fed blocks directly.
struct Rig {
  Settings s;
  Tolvan2 reader;
  explicit Rig(int mode = Product::kAverageNone) {
    s.Receiver1 = s.Receiver2 = s.Receiver3 = s.Receiver4 = true;
    s.FrequencyField = s.ChannelField = s.RSSIField = true;
    reader.AttachReceiverSelectors(&s);
    reader.ConversionPass = true;
    reader.SetAverageMode(mode);
  }
  int Feed(const Bytes& b) {
    Product::Block block(b.begin(), b.end());
    return reader.ProcessBlock(block);
  }
  // All values of receiver 1..4's list, walked as the run walks << DATA >>.
  std::vector<std::string> Values(int receiver) {
    reader.ReceiverHasData(receiver);
    std::vector<std::string> calls;
    std::string out;
    for (int r = reader.FormatDataValues(0, out, ','); r >= 0 && calls.size() < 2000;
         r = reader.FormatDataValues(1, out, ','))
      calls.push_back(out);
    return calls;
  }
  std::string Field(int id) {
    std::string out = "stale";
    reader.FormatField(id, out);
    return out;
  }
};

std::vector<uint16_t> Channels(const Product::ReadingList& list) {
  std::vector<uint16_t> c;
  for (const auto& e : list) c.push_back(e.channel);
  return c;
}

// ---------------------------------------------------------------- framing

TEST(Tolvan2Framing, ReadsLengthFramedBlocksAfterTheFileHeader) {
  const std::string path =
      WriteLog("frame.tlf", {ChannelReading('v', 0, 5, 60, 1, 2), Bytes{'d', 1}}, {0, 0, 9, 9});
  Tolvan2 reader;
  ASSERT_EQ(reader.Open(path), 0);
  Product::Block block;
  EXPECT_EQ(reader.ReadBlock(block), 9);
  EXPECT_EQ(test::BlockBytes(block), ChannelReading('v', 0, 5, 60, 1, 2));
  EXPECT_EQ(reader.ReadBlock(block), 4);
  EXPECT_EQ(reader.ReadBlock(block), 0);  // length 0 ends the log, bytes after it are not read
  EXPECT_FALSE(reader.Damage.Any());
  EXPECT_EQ(reader.Open(test::TempPath("missing.tlf")), -1);
}

TEST(Tolvan2Framing, SkipsOnlyTheLengthWordOfAnOversizedBlock) {
  // 0x1001 = 4097 claims a block that is not there; the next word is a real length.
  const Bytes tail = {0x01, 0x10, 3, 0, 'd', 0, 0};
  const std::string path = WriteLog("badlen.tlf", {}, tail);
  Tolvan2 reader;
  ASSERT_EQ(reader.Open(path), 0);
  Product::Block block = {1, 2, 3};
  EXPECT_EQ(reader.ReadBlock(block), 2);
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(reader.ProcessBlock(block), Product::kNothing);
  EXPECT_EQ(reader.ReadBlock(block), 5);
  EXPECT_EQ(test::BlockBytes(block), (Bytes{'d', 0, 0}));
  EXPECT_EQ(reader.Damage.badLengthBlocks, 1u);
  // A length of exactly 4096 is a block.
  const std::string edge = WriteLog("len4096.tlf", {Bytes(4096, 'd')});
  ASSERT_EQ(reader.Open(edge), 0);
  EXPECT_EQ(reader.ReadBlock(block), 4098);
  EXPECT_EQ(reader.Damage.badLengthBlocks, 0u);
}

TEST(Tolvan2Framing, TruncatedFinalBlockEndsTheRun) {
  for (const Bytes& tail : {Bytes{10, 0, 'v', 0, 1}, Bytes{7}}) {
    const std::string path = WriteLog("cut.tlf", {Bytes{'d'}}, tail);
    Tolvan2 reader;
    ASSERT_EQ(reader.Open(path), 0);
    Product::Block block;
    EXPECT_EQ(reader.ReadBlock(block), 3);
    EXPECT_EQ(reader.ReadBlock(block), 0);
    EXPECT_EQ(reader.Damage.truncatedBlocks, 1u);
  }
}

TEST(Tolvan2Framing, UnknownKindsAreCountedAndShortRecordsIgnored) {
  Rig rig;
  EXPECT_EQ(rig.Feed({'Q', 1, 2}), 0);
  EXPECT_EQ(rig.Feed({'d'}), 0);
  EXPECT_EQ(rig.Feed({'\r'}), 0);
  EXPECT_EQ(rig.reader.Damage.unknownRecords, 1u);
  // Records cut shorter than their layout produce nothing and read nothing beyond.
  EXPECT_EQ(rig.Feed({'v', 0, 5}), 0);
  EXPECT_EQ(rig.Feed({'s', 0, 1, 0, 5, 0, 60}), 0);
  EXPECT_EQ(rig.Feed(Bytes(HeaderRecord('F', 35, {}))), 0);
  EXPECT_EQ(rig.Feed(Bytes(HeaderRecord('S', 79, {}))), 0);
  Bytes fast = FastRecord();
  PutFast(fast, 0, kNarrowBand, 0, 0, [](int) { return 50; });
  PutFast(fast, 1, kNarrowBand, 0, 0, [](int) { return 60; });
  fast.resize(36 + 708 + 100);  // receiver 2's block is cut
  EXPECT_EQ(rig.Feed(fast), 1);
  EXPECT_EQ(rig.reader.ReadingLists[0].size(), 512u);
  EXPECT_TRUE(rig.reader.ReadingLists[1].empty());
}

// ---------------------------------------------------------------- tables

TEST(Tolvan2Tables, HeadingCompassPointsAroundTheirBoundaries) {
  const struct {
    int16_t heading;
    const char* point;
  } cases[] = {{0, "N"},      {112, "N"},  {113, "NNE"}, {200, "NNE"}, {337, "NNE"},
               {338, "NE"},   {1800, "S"}, {2250, "SW"}, {3262, "NW"}, {3263, "NNW"},
               {3487, "NNW"}, {3488, "N"}, {3500, "N"},  {3600, "N"},  {4000, "N"},
               {-1, "N"},     {-300, "N"}, {-32768, "N"}};
  for (const auto& c : cases) {
    HeaderSpec h;
    h.heading = c.heading;
    Rig rig;
    rig.Feed(ScanRecord({}, h));
    EXPECT_EQ(rig.Field(F::kGpsHeading), c.point) << c.heading;
  }
}

TEST(Tolvan2Tables, BandFrequenciesAndChannelNumbers) {
  using tolvan2::BandSetup;
  BandSetup narrow;
  narrow.baseMHz = 451;
  narrow.step = 62;
  EXPECT_DOUBLE_EQ(narrow.StepMHz(), 0.00625);
  EXPECT_NEAR(narrow.FrequencyMHz(8), 451.05, 1e-9);
  narrow.step = 63;
  EXPECT_NEAR(narrow.FrequencyMHz(8), 451.0504, 1e-9);

  BandSetup cell;
  cell.flags = 0x40;
  const struct {
    uint16_t index;
    long cellular;
  } cases[] = {{35, 1}, {36, 2}, {34, 1023}, {1, 990}, {0, 989}, {834, 800}};
  for (const auto& c : cases) {
    EXPECT_EQ(cell.PrintedChannel(c.index), c.cellular) << c.index;
    EXPECT_EQ(narrow.PrintedChannel(c.index), c.index);
  }
  // Indices are unsigned: 0xFFFF lies far above the first channel.
  BandSetup wide;
  wide.step = 10;
  wide.firstChannel = 1;
  EXPECT_NEAR(wide.FrequencyMHz(0xFFFF), 65534 * 0.001, 1e-6);
}

TEST(Tolvan2Tables, StepWord62InTheFieldsAndData) {
  Rig rig;
  rig.Feed(ScanRecord({kNarrowBand}));
  rig.reader.ReceiverHasData(1);
  EXPECT_EQ(rig.Field(F::kStepSize), "6.2");
  EXPECT_EQ(rig.Field(F::kMinFrequency), "451.0000");
  EXPECT_EQ(rig.Field(F::kMaxFrequency), "460.9937");  // 460.99375 is held just below the half
  EXPECT_EQ(rig.Field(F::kReceiver), "1");
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 1, 8, 70)), 0);
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 2, 9, 71)), 0);
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 1, 10, 72)), 1);
  EXPECT_EQ(rig.Values(1), (std::vector<std::string>{"451.05000,8,-70,451.05625,9,-71"}));
}

// ---------------------------------------------------------------- fields

TEST(Tolvan2Fields, HeaderFieldTexts) {
  Rig rig;
  HeaderSpec h;
  h.altitude = -250;
  rig.Feed(ScanRecord({kCellBand}, h));
  const struct {
    int id;
    const char* text;
  } cases[] = {
      {F::kCrLf, "\n"},         {F::kLatDecimal, "40.714306"},
      {F::kLatDegrees, "40"},   {F::kLatMinutes, "42"},
      {F::kLatSeconds, "51"},   {F::kLatDecimalMinutes, ""},
      {F::kLatHemisphere, "N"}, {F::kLonDecimal, "-74.005903"},
      {F::kLonDegrees, "74"},   {F::kLonMinutes, "0"},
      {F::kLonSeconds, "21"},   {F::kLonHemisphere, "W"},
      {F::kGpsStatus, "VALID"}, {F::kGpsTime, "10:05:09"},
      {F::kGpsHour, "10"},      {F::kGpsMinute, "05"},
      {F::kGpsSecond, "09"},    {F::kGpsAltitude, "-2"},
      {F::kGpsVelocity, "22"},  {F::kGpsHeading, "E"},
      {F::kMarkerValue, "3"},   {F::kRtcDate, "11/23/26"},
      {F::kRtcMonth, "11"},     {F::kRtcDay, "23"},
      {F::kRtcYear, "26"},      {F::kRtcTime, "11:06:07"},
      {F::kRtcHour, "11"},      {F::kRtcMinute, "06"},
      {F::kRtcSecond, "07"},    {F::kRecordNumber, "0"},
      {F::kScanMode, ""},       {F::kGpsDate, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(rig.Field(c.id), c.text) << c.id;
}

TEST(Tolvan2Fields, ZeroPositionIsSouthAndWestAndStatusBit7) {
  Rig rig;
  HeaderSpec h;
  h.latitude = 0;
  h.longitude = 0;
  h.status = 0x7F;
  h.velocity = 44;  // 44 x 22356 / 1e6 = 0.98 -> 0
  rig.Feed(ScanRecord({}, h));
  EXPECT_EQ(rig.Field(F::kLatHemisphere), "S");
  EXPECT_EQ(rig.Field(F::kLonHemisphere), "W");
  EXPECT_EQ(rig.Field(F::kLatDecimal), "0.000000");
  EXPECT_EQ(rig.Field(F::kGpsStatus), "INVALID");
  EXPECT_EQ(rig.Field(F::kGpsVelocity), "0");
}

TEST(Tolvan2Fields, TitlesOnceInBoxOrder) {
  Rig rig;
  rig.s.SATField = rig.s.VMACField = true;
  rig.s.ChannelField = false;
  std::string out;
  EXPECT_EQ(rig.reader.WriteDataTitles(0, out, ';'), 0);
  EXPECT_EQ(out, "\"Frequency\";\"RSSI\";\"SAT/DCC\";\"VMAC\"");
  EXPECT_EQ(rig.reader.WriteDataTitles(1, out, ';'), -1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(rig.reader.TitlePending, 0);
}

// ---------------------------------------------------------------- records

TEST(Tolvan2Records, FastBlockGivesAllSamplesWithItsCodes) {
  Rig rig;
  rig.s.SATField = true;
  rig.s.VMACField = true;
  Bytes fast = FastRecord();
  PutFast(fast, 0, kCellBand, 2, 5, [](int k) { return 40 + k % 50; });
  EXPECT_EQ(rig.Feed(fast), 1);
  const auto& list = rig.reader.ReadingLists[0];
  ASSERT_EQ(list.size(), 512u);
  EXPECT_EQ(list[511].rssi, 40 + 511 % 50);
  EXPECT_EQ(list[0].dcc, 2);
  EXPECT_EQ(list[0].code, 5);
  EXPECT_EQ(list[0].sat, 0);
  const auto values = rig.Values(1);
  ASSERT_EQ(values.size(), 1u);
  // Index 347 is cellular channel 313: 869.0100 + 346 x 0.03 = 879.39 MHz.
  EXPECT_EQ(values[0].substr(0, 48), "879.39000,313,-40,0,2,0,879.39000,313,-41,0,2,0,");
  EXPECT_EQ(std::count(values[0].begin(), values[0].end(), ','), 512 * 6 - 1);
}

TEST(Tolvan2Records, ReceiverHasDataFollowsFlagsBoxesAndBands) {
  Rig rig;
  rig.s.Receiver3 = false;
  Bytes fast = FastRecord();
  PutFast(fast, 0, kCellBand, 0, 0, [](int) { return 50; });
  PutFast(fast, 2, kNarrowBand, 0, 0, [](int) { return 50; });  // box unchecked
  BandSpec idle = kNarrowBand;
  idle.step = 0;
  PutFast(fast, 3, idle, 0, 0, [](int) { return 50; });  // not in use
  EXPECT_EQ(rig.Feed(fast), 1);
  EXPECT_TRUE(rig.reader.ReceiverHasData(1));
  EXPECT_FALSE(rig.reader.ReceiverHasData(1));  // a true answer clears the flag
  EXPECT_FALSE(rig.reader.ReceiverHasData(2));  // not in this record
  EXPECT_FALSE(rig.reader.ReceiverHasData(3));
  EXPECT_FALSE(rig.reader.ReceiverHasData(4));
  EXPECT_EQ(rig.reader.CurrentReceiver(), 3);
  EXPECT_FALSE(rig.reader.ReceiverHasData(0));
  EXPECT_FALSE(rig.reader.ReceiverHasData(5));
  EXPECT_EQ(rig.reader.CurrentReceiver(), 3);
  // A reading for receiver 2 before it has a band: no line until a setup arrives.
  EXPECT_EQ(rig.Feed(ChannelReading('c', 1, 9, 70, 1, 0)), 1);
  EXPECT_FALSE(rig.reader.ReceiverHasData(2));
  rig.Feed(ScanRecord({kCellBand, kNarrowBand}));
  EXPECT_EQ(rig.Feed(ChannelReading('c', 1, 9, 70, 1, 0)), 1);
  EXPECT_TRUE(rig.reader.ReceiverHasData(2));
  EXPECT_FALSE(rig.reader.ReceiverHasData(2));
}

TEST(Tolvan2Records, FastBlockOutsideItsBandDropsTheRestOfTheRecord) {
  Rig rig;
  rig.Feed(ChannelReading('v', 2, 40, 66, 0, 0));  // receiver 3 holds an earlier reading
  Bytes fast = FastRecord();
  PutFast(fast, 0, kNarrowBand, 0, 0, [](int) { return 50; });
  BandSpec outside = kNarrowBand;
  outside.channel = 1600;
  PutFast(fast, 1, outside, 0, 0, [](int) { return 60; });
  PutFast(fast, 2, kNarrowBand, 0, 0, [](int) { return 70; });
  EXPECT_EQ(rig.Feed(fast), 1);  // receiver 1's block is still printed
  EXPECT_EQ(rig.reader.ReadingLists[0].size(), 512u);
  EXPECT_TRUE(rig.reader.ReadingLists[1].empty());
  EXPECT_FALSE(rig.reader.ReceiverHasData(2));
  EXPECT_EQ(Channels(rig.reader.ReadingLists[2]), (std::vector<uint16_t>{40}));
  EXPECT_TRUE(rig.reader.ReceiverHasData(1));
  // Below the band and alone in its record: nothing at all.
  BandSpec below = kCellBand;
  below.channel = 0;
  Bytes only = FastRecord();
  PutFast(only, 0, below, 0, 0, [](int) { return 50; });
  EXPECT_EQ(rig.Feed(only), 0);
}

TEST(Tolvan2Records, VoiceAndControlReadings) {
  Rig rig;
  rig.s.SATField = rig.s.VMACField = true;
  rig.s.FrequencyField = false;
  rig.Feed(ScanRecord({kCellBand, kCellBand}));
  EXPECT_EQ(rig.Feed(ChannelReading('v', 0, 35, 81, 2, 6)), 1);
  EXPECT_EQ(rig.Values(1), (std::vector<std::string>{"1,-81,2,0,6"}));
  EXPECT_EQ(rig.Feed(ChannelReading('c', 1, 1, 77, 3, 9)), 1);
  EXPECT_EQ(rig.Values(2), (std::vector<std::string>{"990,-77,0,3,0"}));
  // Each reading replaces the list.
  EXPECT_EQ(rig.Feed(ChannelReading('v', 0, 36, 82, 1, 1)), 1);
  EXPECT_EQ(Channels(rig.reader.ReadingLists[0]), (std::vector<uint16_t>{36}));
  EXPECT_EQ(rig.Feed(ChannelReading('v', 4, 36, 82, 1, 1)), 0);  // no receiver 5
  EXPECT_EQ(rig.Feed(SweepReading('r', 200, 1, 36, 82)), 0);
}

TEST(Tolvan2Records, SweepsAcrossRecordsPrintWhenTheNextSweepStarts) {
  Rig rig;
  rig.Feed(ScanRecord({kNarrowBand}));
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 1, 8, 70)), 0);  // nothing collected before it
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 2, 16, 71)), 0);
  rig.Feed(ScanRecord({kNarrowBand}));  // the sweep goes on across scan headers
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 2, 24, 72)), 0);
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 1, 8, 73)), 1);
  EXPECT_EQ(Channels(rig.reader.ReadingLists[0]), (std::vector<uint16_t>{8, 16, 24}));
  EXPECT_TRUE(rig.reader.ReceiverHasData(1));
  // A sweep of its start reading alone.
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 1, 8, 74)), 1);
  ASSERT_EQ(rig.reader.ReadingLists[0].size(), 1u);
  EXPECT_EQ(rig.reader.ReadingLists[0][0].rssi, 73);
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 2, 16, 75)), 0);
  EXPECT_EQ(Channels(rig.reader.ReadingLists[0]), (std::vector<uint16_t>{8, 16}));
  EXPECT_EQ(rig.reader.ReadingLists[0][0].rssi, 74);
}

TEST(Tolvan2Records, SatSweepsCarryTheirSatAndReplaceAPendingStart) {
  Rig rig;
  rig.s.SATField = true;
  rig.s.FrequencyField = rig.s.ChannelField = false;
  rig.Feed(ScanRecord({kCellBand}));
  EXPECT_EQ(rig.Feed(SweepReading('s', 0, 1, 35, 60, 1)), 0);
  EXPECT_EQ(rig.Feed(SweepReading('s', 0, 1, 36, 61, 2)), 0);  // replaces the start above
  EXPECT_EQ(rig.Feed(SweepReading('s', 0, 2, 37, 62, 0)), 0);
  EXPECT_EQ(rig.Feed(SweepReading('s', 0, 1, 35, 63, 1)), 1);
  EXPECT_EQ(rig.Values(1), (std::vector<std::string>{"-61,2,0,-62,0,0"}));
}

TEST(Tolvan2Records, SweepStartAfterFastDataDoesNotRepeatTheFastReadings) {
  Rig rig;
  Bytes fast = FastRecord();
  PutFast(fast, 0, kNarrowBand, 0, 0, [](int) { return 50; });
  EXPECT_EQ(rig.Feed(fast), 1);
  EXPECT_TRUE(rig.reader.ReceiverHasData(1));
  rig.Feed(ScanRecord({kNarrowBand}));
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 1, 8, 70)), 0);
  EXPECT_FALSE(rig.reader.ReceiverHasData(1));
  // A continue without a start begins a fresh list too.
  rig.Feed(fast);
  EXPECT_EQ(rig.Feed(SweepReading('s', 0, 2, 9, 71, 0)), 0);
  EXPECT_EQ(Channels(rig.reader.ReadingLists[0]), (std::vector<uint16_t>{9}));
}

TEST(Tolvan2Records, EndlessSweepIsCapped) {
  Rig rig;
  rig.Feed(ScanRecord({kNarrowBand}));
  const size_t total = Tolvan2::kMaxListEntries + 100;
  for (size_t k = 0; k < total; ++k)
    rig.Feed(SweepReading('r', 0, 2, static_cast<uint16_t>(k), 70));
  EXPECT_EQ(rig.reader.ReadingLists[0].size(), Tolvan2::kMaxListEntries);
  EXPECT_EQ(rig.reader.DroppedReadings(), 100u);
}

// ---------------------------------------------------------------- averaging

// A 1000 MHz channel: velocity v cm/s gives a window of 15360 / v samples.
constexpr BandSpec kGigaBand{0, 0x00, 1000, 0, 100, 0, 10, 0x00};

Bytes GigaFast(uint16_t velocity, int level) {
  HeaderSpec h;
  h.velocity = velocity;
  Bytes fast = FastRecord(h);
  PutFast(fast, 0, kGigaBand, 0, 0, [level](int) { return level; });
  return fast;
}

TEST(Tolvan2Lambda, WindowFromHeaderVelocity) {
  const struct {
    uint16_t velocity;
    int window;
  } cases[] = {{1000, 15}, {1024, 15}, {30, 512}, {1, 512}, {0, 1}, {15360, 1}, {65535, 1}};
  for (const auto& c : cases) {
    Rig rig(Product::kAverageLambda);
    rig.Feed(GigaFast(c.velocity, 10));
    EXPECT_EQ(rig.reader.LambdaWindow(0), c.window) << c.velocity;
  }
  Rig rig(Product::kAverageLambda);
  EXPECT_EQ(rig.reader.LambdaWindow(-1), 0);
  EXPECT_EQ(rig.reader.AccumulateLambda(4), 0);
}

TEST(Tolvan2Lambda, RunningCountCarriesAcrossBlocks) {
  Rig rig(Product::kAverageLambda);
  EXPECT_EQ(rig.Feed(GigaFast(1000, 10)), 1);  // window 15: 34 averages, 2 samples carried
  EXPECT_EQ(rig.reader.ReadingLists[0].size(), 34u);
  EXPECT_EQ(rig.reader.ReadingLists[0][0].rssi, 10);
  EXPECT_EQ(rig.Feed(GigaFast(1000, 40)), 1);
  // (2 x 10 + 13 x 40) / 15 = 36; then 499 samples make 33 more and carry 4.
  ASSERT_EQ(rig.reader.ReadingLists[0].size(), 34u);
  EXPECT_EQ(rig.reader.ReadingLists[0][0].rssi, 36);
  EXPECT_EQ(rig.reader.ReadingLists[0][1].rssi, 40);
  // Window 512 at a crawl: the 4 carried samples and 508 new ones make one.
  EXPECT_EQ(rig.Feed(GigaFast(30, 40)), 1);
  ASSERT_EQ(rig.reader.ReadingLists[0].size(), 1u);
  EXPECT_EQ(rig.reader.ReadingLists[0][0].rssi, 40);
}

TEST(Tolvan2Lambda, ShrunkWindowCompletesTheCarriedAverageAtOnce) {
  Rig rig(Product::kAverageLambda);
  rig.Feed(GigaFast(30, 10));  // window 512: exactly one average
  EXPECT_EQ(rig.reader.ReadingLists[0].size(), 1u);
  rig.Feed(GigaFast(60, 10));  // window 256: two
  EXPECT_EQ(rig.reader.ReadingLists[0].size(), 2u);
  rig.Feed(GigaFast(1000, 10));  // window 15: 34, 2 carried
  rig.Feed(GigaFast(0, 40));     // window 1: the carried pair and the first sample end together
  const auto& list = rig.reader.ReadingLists[0];
  ASSERT_EQ(list.size(), 512u);
  EXPECT_EQ(list[0].rssi, (10 + 10 + 40) / 3);
  EXPECT_EQ(list[511].rssi, 40);
}

TEST(Tolvan2Lambda, FastDataPrintsOneAveragePerCallScanDataAllInOne) {
  Rig rig(Product::kAverageLambda);
  rig.s.FrequencyField = rig.s.ChannelField = false;
  rig.reader.SegmentType = -1;
  rig.Feed(GigaFast(4000, 10));  // window 3: 170 averages
  const auto calls = rig.Values(1);
  ASSERT_EQ(calls.size(), 170u);
  EXPECT_EQ(calls.front(), "-10");
  EXPECT_EQ(calls.back(), "-10");
  rig.Feed(ScanRecord({kNarrowBand}));
  rig.Feed(SweepReading('r', 0, 1, 8, 70));
  rig.Feed(SweepReading('r', 0, 2, 9, 71));
  rig.Feed(SweepReading('r', 0, 1, 8, 72));
  EXPECT_EQ(rig.Values(1), (std::vector<std::string>{"-70,-71"}));
  // An empty list ends the walk instead of answering for ever.
  rig.reader.ReadingLists[0].clear();
  EXPECT_EQ(rig.Values(1), (std::vector<std::string>{""}));
}

TEST(Tolvan2BestServer, PrintsTheStrongestReadingOnly) {
  Rig rig(Product::kAverageBestServer);
  rig.Feed(ScanRecord({kNarrowBand}));
  rig.Feed(SweepReading('r', 0, 1, 8, 70));
  rig.Feed(SweepReading('r', 0, 2, 9, 55));
  rig.Feed(SweepReading('r', 0, 2, 10, 90));
  rig.Feed(SweepReading('r', 0, 2, 11, 55));  // as strong as channel 9, but later
  rig.Feed(SweepReading('r', 0, 1, 8, 60));
  EXPECT_EQ(rig.Values(1), (std::vector<std::string>{"451.05625,9,-55"}));
  rig.reader.ReadingLists[0].clear();
  EXPECT_EQ(rig.Values(1), (std::vector<std::string>{""}));
  Rig fast(Product::kAverageBestServer);
  Bytes record = FastRecord();
  PutFast(record, 0, kNarrowBand, 0, 0, [](int k) { return k == 300 ? 41 : 80 - k % 7; });
  fast.Feed(record);
  EXPECT_EQ(fast.Values(1), (std::vector<std::string>{"451.05000,8,-41"}));
}

// ---------------------------------------------------------------- segments

TEST(Tolvan2Segments, IndexingCountsTypeChangesAndProducesNothing) {
  Rig rig;
  rig.reader.ConversionPass = false;
  Bytes fast = FastRecord();
  PutFast(fast, 0, kNarrowBand, 0, 0, [](int) { return 50; });
  HeaderSpec later;
  later.second = 30;
  std::vector<std::string> starts;
  auto feed = [&](Bytes b) {
    EXPECT_EQ(rig.Feed(std::move(b)), 0);
    if (rig.reader.SegmentReady) starts.push_back(rig.reader.SegmentStartTime);
    rig.reader.SegmentReady = false;
  };
  feed(fast);
  feed(fast);
  feed(ScanRecord({kNarrowBand}, later));
  feed(ChannelReading('v', 0, 8, 60, 0, 0));
  feed(SweepReading('r', 0, 1, 8, 60));
  feed(fast);
  EXPECT_EQ(rig.reader.SegmentCounter, 3);
  EXPECT_EQ(starts, (std::vector<std::string>{"10:05:09", "10:05:30", "10:05:09"}));
  EXPECT_TRUE(rig.reader.ReadingLists[0].empty());
}

TEST(Tolvan2Segments, LeftOutSegmentProducesNoReadings) {
  Rig rig;
  rig.reader.SegmentNodes.Set(0, 1, "10:05:09");
  rig.reader.SegmentNodes.Set(1, 0, "10:05:09");
  rig.reader.SegmentNodes.SetState(0, SegmentTable::kUnchecked);
  rig.Feed(ScanRecord({kNarrowBand}));
  EXPECT_EQ(rig.Feed(ChannelReading('v', 0, 8, 60, 0, 0)), 0);
  EXPECT_EQ(rig.Feed(SweepReading('r', 0, 1, 8, 60)), 0);
  EXPECT_FALSE(rig.reader.Band(0).InUse());  // the setup of a left-out segment is not taken
  Bytes fast = FastRecord();
  PutFast(fast, 0, kNarrowBand, 0, 0, [](int) { return 50; });
  EXPECT_EQ(rig.Feed(fast), 1);
}

// ---------------------------------------------------------------- native layouts

struct NativeRig : Rig {
  explicit NativeRig(int format) {
    s.OutputFormatGroup = format;
    s.Receiver1 = false;  // receiver 2 reports
    Bytes fast = FastRecord();
    BandSpec band = kNarrowBand;
    band.flags = 0x80;  // upper band: 1000 MHz added, the step word taken literally
    PutFast(fast, 1, band, 0, 0, [](int k) { return k < 256 ? 60 : 71; });
    Feed(fast);
  }
  std::string Header() {
    std::string out;
    const int n = reader.WriteFormatHeader(out);
    EXPECT_EQ(n, static_cast<int>(out.size()));
    return out;
  }
  std::string Record() {
    std::string out;
    const int n = reader.WriteFormatRecord(out);
    EXPECT_EQ(n, static_cast<int>(out.size()));
    return out;
  }
  std::string Trailer() {
    std::string out;
    const int n = reader.WriteFormatTrailer(out);
    EXPECT_EQ(n, static_cast<int>(out.size()));
    return out;
  }
};

TEST(Tolvan2Native, GraysonLines) {
  NativeRig rig(formats::kGrayson);
  const std::string zeros(42, '0');
  EXPECT_EQ(rig.Header(), "D2026112310\rm050900RCRD" + zeros + "\r");
  // 1451 + 8 x 0.0062 = 1451.0496 MHz; mean of 256 x 60 and 256 x 71 = 65.
  // Latitude 146571500: 40 degrees and 2571500 / 3600000 = .714305 of one.
  EXPECT_EQ(rig.Record(), "r050900145104960065\rG050900+040.714305-74.005901005090000\r");
  EXPECT_EQ(rig.Trailer(), "m050900IDLE" + zeros + "\r");
  rig.s.ScanTypeGroup = 0;
  EXPECT_EQ(rig.Record().substr(0, 20), "r050900000000000000\r");
}

TEST(Tolvan2Native, PlanetAndPathViewRecords) {
  NativeRig planet(formats::kPlanet);
  EXPECT_EQ(planet.Header().substr(0, 8), "_HEADER\n");
  EXPECT_EQ(planet.Record(), "10:05:09:00 40.714306 -74.005903 REPORT::Report: 1451.0496 8 -65\n");
  EXPECT_EQ(planet.Trailer(), "");
  planet.s.Receiver2 = false;  // no receiver checked
  EXPECT_EQ(planet.Record(), "10:05:09:00 40.714306 -74.005903 REPORT::Report: 0.0000 0 -0\n");

  NativeRig path(formats::kPathView);
  path.s.OutputFilename = test::TempPath("t2.M01");
  path.s.FrozenClock = 1000;
  EXPECT_EQ(path.Header(), std::string("PathView M01 File\x63\x63"));
  std::string expected;
  formats::PathViewRecord(expected, -65.0, -266421250 / 3600000.0, 146571500 / 3600000.0, 10, 5, 9);
  EXPECT_EQ(path.Record(), expected);
  path.s.ScanTypeGroup = 0;
  expected.clear();
  formats::PathViewRecord(expected, 0.0, -266421250 / 3600000.0, 146571500 / 3600000.0, 10, 5, 9);
  EXPECT_EQ(path.Record(), expected);  // +0.0, never -0.0
  NativeRig other(formats::kInFielder);
  EXPECT_EQ(other.Header(), "");
  EXPECT_EQ(other.Record(), "");
}

// ---------------------------------------------------------------- whole runs

// Converts a log with the << DATA >> field and the record number, every
// receiver on, one line per receiver with new readings.
std::string ConvertLog(const std::string& log, const std::string& output, bool split) {
  Tolvan2 reader;
  Settings s;
  s.InputFilename = log;
  s.OutputFilename = output;
  s.InputFormatGroup = kItemTolvanNew;
  s.Receiver1 = s.Receiver2 = s.Receiver3 = s.Receiver4 = true;
  s.FrequencyField = s.ChannelField = s.RSSIField = true;
  s.FieldTitles = false;
  s.cbSplit = split;
  const std::vector<int> ids = {F::kRecordNumber, F::kGpsTime, F::kData};
  for (int id : ids) s.SelectedBox.emplace_back(F::Name(id));
  reader.SetSelectedFields(ids);
  RunHooks hooks;
  EXPECT_EQ(ConversionRun(reader, s, hooks).Run(), RunOutcome::Completed);
  return test::ReadFile(output);
}

// A fast-data line holds 512 readings, far beyond 4095 characters; the
// Excel split copies it whole, and counts it as one line.
TEST(Tolvan2Run, ExcelSplitKeepsALongFastDataLineWhole) {
  std::vector<Bytes> blocks = {ScanRecord({kNarrowBand})};
  for (int k = 0; k < 59999; ++k) blocks.push_back(ChannelReading('c', 0, 8, 70, 1, 0));
  Bytes fast = FastRecord();
  PutFast(fast, 0, kNarrowBand, 0, 0, [](int k) { return 40 + k % 50; });
  blocks.push_back(fast);  // line 60000
  blocks.push_back(ChannelReading('c', 0, 9, 71, 1, 0));
  blocks.push_back(ChannelReading('c', 0, 10, 72, 1, 0));
  const std::string whole =
      ConvertLog(WriteLog("long-rows.tlf", blocks), test::TempPath("long-rows.out"), true);
  const std::string part1 = test::ReadFile(test::TempPath("long-rows/long-rows-1.out"));
  const std::string part2 = test::ReadFile(test::TempPath("long-rows/long-rows-2.out"));
  auto lines = [](const std::string& t) { return std::count(t.begin(), t.end(), '\n'); };
  EXPECT_EQ(part1 + part2, whole);
  EXPECT_EQ(lines(part1), 60000);
  const size_t lastLine = part1.rfind("\r\n", part1.size() - 3) + 2;
  EXPECT_EQ(part1.substr(lastLine, 15), "60000,10:05:09,");
  EXPECT_GT(part1.size() - lastLine, 8000u);                           // 512 readings
  EXPECT_EQ(part1.substr(part1.size() - 18), ",451.05000,8,-51\r\n");  // sample 511
  EXPECT_EQ(part2, "60001,10:05:09,451.05625,9,-71\r\n60002,10:05:09,451.06250,10,-72\r\n");
  EXPECT_FALSE(test::FileExists(test::TempPath("long-rows/long-rows-3.out")));
}

// The lines of a converted output, without their line ends.
std::vector<std::string> OutputLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// A sweep is printed when the next one starts; the one still being collected
// when the log or its segment ends is printed there, and every sweep with the
// header it was measured under.
TEST(Tolvan2Run, EverySweepIsPrintedWithItsOwnHeader) {
  HeaderSpec later;
  later.second = 30;
  Bytes fast = FastRecord(later);
  PutFast(fast, 1, kNarrowBand, 0, 0, [](int) { return 50; });
  const Bytes scan = ScanRecord({kNarrowBand});
  const Bytes endMark = {0, 0};
  const std::string sweep = "1,10:05:09,451.05000,8,-70,451.10000,16,-71";
  struct Case {
    const char* name;
    std::vector<Bytes> blocks;
    Bytes tail;
    std::vector<std::string> lines;  // a line ending in "..." is a prefix
  };
  const Case cases[] = {
      {"at the end mark",
       {scan, SweepReading('r', 0, 1, 8, 70), SweepReading('r', 0, 2, 16, 71)},
       endMark,
       {sweep}},
      {"at the end of the file",
       {scan, SweepReading('r', 0, 1, 8, 70), SweepReading('r', 0, 2, 16, 71)},
       {},
       {sweep}},
      {"before a cut last block",
       {scan, SweepReading('r', 0, 1, 8, 70), SweepReading('r', 0, 2, 16, 71)},
       {20, 0, 'r'},
       {sweep}},
      {"a start alone",
       {scan, SweepReading('r', 0, 1, 8, 70)},
       endMark,
       {"1,10:05:09,451.05000,8,-70"}},
      {"an 's' start alone stays replaced", {scan, SweepReading('s', 0, 1, 8, 70)}, endMark, {}},
      {"when a fast segment begins",
       {scan, SweepReading('r', 0, 1, 8, 70), SweepReading('r', 0, 2, 16, 71), fast},
       endMark,
       {sweep, "2,10:05:30,451.05000,8,-50,451.05000,8,-50,..."}},
      {"across scan headers",
       {scan, SweepReading('r', 0, 1, 8, 70), SweepReading('r', 0, 2, 16, 71),
        ScanRecord({kNarrowBand}, later), SweepReading('r', 0, 2, 24, 72),
        SweepReading('r', 0, 1, 8, 73)},
       endMark,
       {sweep + ",451.15000,24,-72", "2,10:05:30,451.05000,8,-73"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "sweeps-" + std::to_string(++n);
    const auto lines = OutputLines(ConvertLog(WriteLog(name + ".tlf", c.blocks, c.tail),
                                              test::TempPath(name + ".out"), false));
    EXPECT_EQ(lines.size(), c.lines.size()) << c.name;
    if (lines.size() != c.lines.size()) continue;
    for (size_t i = 0; i < lines.size(); ++i) {
      std::string want = c.lines[i];
      const bool prefix = want.size() > 3 && want.substr(want.size() - 3) == "...";
      if (prefix) want.resize(want.size() - 3);
      EXPECT_EQ(prefix ? lines[i].substr(0, want.size()) : lines[i], want) << c.name;
    }
  }
}

// ---------------------------------------------------------------- sample log

// The committed sample (tests/samples/): 6 s fast, 4 s scan, 2 s fast.
std::string SampleLog() {
  return test::CommittedSample("tolvan2-12s.tlf");
}

// Indexes the sample with the reader and returns the segment types found.
std::vector<int16_t> IndexSample(Tolvan2& reader) {
  Settings s;
  s.InputFilename = SampleLog();
  RunHooks hooks;
  IndexRun run(reader, s, kItemTolvanNew, hooks);
  std::vector<int16_t> types;
  run.segmentAdded = [&](const IndexedSegment& seg) { types.push_back(seg.type); };
  EXPECT_EQ(run.Run(), IndexOutcome::Completed);
  return types;
}

TEST(Tolvan2Sample, IsDetectedAndIndexedInAlternatingSegments) {
  EXPECT_EQ(DetectProduct(SampleLog()), kItemTolvanNew);
  Tolvan2 reader;
  EXPECT_EQ(IndexSample(reader), (std::vector<int16_t>{0, 1, 0}));
  EXPECT_FALSE(reader.Damage.Any());
  // The default drive holds many segments of each kind.
  const std::string longer = test::TempPath("tolvan2-long.tlf");
  synth::SampleOptions options;
  options.seed = 3;
  ASSERT_TRUE(synth::WriteTolvan2Sample(longer, options));
  Settings s;
  s.InputFilename = longer;
  RunHooks hooks;
  IndexRun run(reader, s, kItemTolvanNew, hooks);
  int fast = 0, scan = 0;
  run.segmentAdded = [&](const IndexedSegment& seg) { ++(seg.type == 0 ? fast : scan); };
  EXPECT_EQ(run.Run(), IndexOutcome::Completed);
  EXPECT_EQ(fast, 12);
  EXPECT_EQ(scan, 12);
  EXPECT_FALSE(reader.Damage.Any());
}

// Lines worked out by hand from the sample's bytes. The first fast record
// (09:58:00, velocity 1130 cm/s, latitude 146664062, longitude -266197126)
// has receiver 1 on index 347 of the cellular control band (channel 313,
// 869.0100 + 346 x 0.03 = 879.39 MHz; samples: weakest 51, mean 62),
// receiver 2 on channel 40 of the 6.25 kHz band (451.25 MHz, strongest 44)
// and receiver 3 on index 35 (channel 1, 870.03 MHz, strongest 58); the
// 40-lambda window is 153600000000 / (1130 x 879390000 x 0.01) = 15.46 -> 15,
// so 34 averages, the first 60. The first scan second (09:58:06, marker 1)
// starts with a control reading of index 347 at 70, DCC 0.
TEST(Tolvan2Sample, ReferenceOutputsHoldHandCheckedLines) {
  const std::string best = test::GoldenReference("tolvan2-bestserver.out");
  EXPECT_EQ(best.substr(best.find('\n') + 1, 99),
            "1,09:58:00,1,0,879.39000,313,-51\r\n2,09:58:00,2,0,451.25000,40,-44\r\n"
            "3,09:58:00,3,0,870.03000,1,-58\r\n");
  const std::string lambda = test::GoldenReference("tolvan2-lambda.out");
  const std::string first = lambda.substr(lambda.find('\n') + 1);
  const std::string line = first.substr(0, first.find('\r'));
  EXPECT_EQ(line.substr(0, 19), "1,09:58:00,1,0,-60,");
  EXPECT_EQ(std::count(line.begin(), line.end(), '-'), 34);
  const std::string custom = test::GoldenReference("tolvan2-custom.out");
  EXPECT_NE(custom.find("\r\n1,09:58:06,1,1,879.39000,313,-70,0,0,0\r\n"), std::string::npos);
  const std::string grayson = test::GoldenReference("tolvan2-grayson.out");
  EXPECT_EQ(grayson.substr(0, 12 + 54 + 20 + 38),
            "D2026112309\rm580000RCRD" + std::string(42, '0') +
                "\rr580000087939000062\rG580000+040.740017-73.943650958000000\r");
  const std::string planet = test::GoldenReference("tolvan2-planet.out");
  EXPECT_NE(planet.find("_MAIN\r\n09:58:00:00 40.740017 -73.943646 REPORT::Report: 879.3900 347 "
                        "-62\r\n"),
            std::string::npos);
  const std::string pathView = test::GoldenReference("tolvan2-pathview.out");
  // -62.0 is c04f000000000000; the record ends with 09:58:00.
  EXPECT_EQ(pathView.substr(57, 27), "01 00 00 00 00 00 00 4f c0 ");
  EXPECT_EQ(pathView.substr(57 + 75, 9), "09 3a 00\n");
}

// A damaged copy of the sample (bytes overwritten all through it, lengths
// included) converts to its end without reading beyond any record.
TEST(Tolvan2Sample, DamagedLogConvertsToItsEnd) {
  std::string bytes = test::ReadFile(SampleLog());
  uint64_t state = 12345;
  for (size_t i = 6; i < bytes.size(); i += 1 + (state >> 33) % 900) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    bytes[i] = static_cast<char>((state >> 56) | 0x80);  // a hit length word is out of range
  }
  const std::string path = test::TempPath("tolvan2-damaged.tlf");
  test::WriteFile(path, bytes);
  for (int mode : {0, 1, 3}) {
    Tolvan2 reader;
    Settings s;
    s.InputFilename = path;
    s.OutputFilename = test::TempPath("tolvan2-damaged.out");
    s.InputFormatGroup = kItemTolvanNew;
    s.Receiver2 = s.Receiver3 = s.Receiver4 = true;
    s.SATField = s.VMACField = true;
    s.LambdaAvg = mode == 1;
    s.BSAvg = mode == 3;
    std::vector<int> ids = {F::kRecordNumber, F::kGpsHeading, F::kMinFrequency, F::kData};
    for (int id : ids) s.SelectedBox.emplace_back(F::Name(id));
    reader.SetSelectedFields(ids);
    RunHooks hooks;
    EXPECT_EQ(ConversionRun(reader, s, hooks).Run(), RunOutcome::Completed);
    EXPECT_TRUE(reader.Damage.Any());
    for (const auto& list : reader.ReadingLists) EXPECT_LE(list.size(), Tolvan2::kMaxListEntries);
  }
}

}  // namespace
}  // namespace morphel
