#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "core/Bytes.h"
#include "core/Settings.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/Formats.h"
#include "products/ProductTable.h"
#include "products/Tolvan.h"
#include "products/Velmar.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

Bytes Frame(const Bytes& record) {
  Bytes out(4);
  putLe32(out.data(), static_cast<uint32_t>(record.size()));
  Append(out, record);
  return out;
}

constexpr int32_t kActual = INT32_MIN;  // the length of the text given

Bytes Ident(const std::string& a, const std::string& b, int32_t la = kActual,
            int32_t lb = kActual) {
  Bytes r(1 + 4 + a.size() + 4 + b.size());
  r[0] = 'I';
  putLe32(r.data() + 1, static_cast<uint32_t>(la == kActual ? static_cast<int32_t>(a.size()) : la));
  std::memcpy(r.data() + 5, a.data(), a.size());
  putLe32(r.data() + 5 + a.size(),
          static_cast<uint32_t>(lb == kActual ? static_cast<int32_t>(b.size()) : lb));
  std::memcpy(r.data() + 9 + a.size(), b.data(), b.size());
  return r;
}

// 28-byte header: RTC 03:04:05 01/02/99, latitude 040 30.600 N, longitude
// 123 45.678 W (digits 1..8 in order), GPS 13:45:09, marker 258.
Bytes BcdHeader(uint8_t kind, uint8_t status = 0x80) {
  Bytes h(28, 0);
  h[0] = kind;
  const uint8_t rtc[] = {5, 4, 3, 2, 1, 99};
  std::memcpy(h.data() + 2, rtc, sizeof rtc);
  h[8] = status;
  const uint8_t lat[] = {0x04, 0x03, 0x06, 0x00};
  const uint8_t lon[] = {0x12, 0x34, 0x56, 0x78};
  std::memcpy(h.data() + 9, lat, 4);
  h[13] = 'N';
  std::memcpy(h.data() + 14, lon, 4);
  h[18] = 'W';
  h[19] = 0x13;
  h[20] = 0x45;
  h[21] = 0x09;
  putLe16(h.data() + 22, 258);
  return h;
}

// 36-byte header with the same position in thousandths of an arc-second.
Bytes BinaryHeader(uint8_t kind, int32_t lat = 145836000, int32_t lon = -445540680 - 59) {
  Bytes h(36, 0);
  h[0] = kind;
  const uint8_t rtc[] = {5, 4, 3, 2, 1, 90};
  std::memcpy(h.data() + 2, rtc, sizeof rtc);
  h[8] = 0x00;
  putBe32(h.data() + 9, static_cast<uint32_t>(lat));
  putBe32(h.data() + 13, static_cast<uint32_t>(lon));
  putBe32(h.data() + 17, static_cast<uint32_t>(-1299));  // cm
  putBe16(h.data() + 21, 1000);                          // 22.356 mph
  h[25] = 13;
  h[26] = 45;
  h[27] = 9;
  putLe16(h.data() + 28, 777);
  return h;
}

struct Tune {
  uint8_t flags = 0;
  uint16_t base = 851, fraction = 0, spacing = 250, baseChannel = 1, channel = 1;
};

Bytes ReceiverBlock(const Tune& t, uint8_t level) {
  Bytes b(708, 0);
  putLe16(b.data(), t.channel);
  b[2] = t.flags;
  putLe16(b.data() + 3, t.base);
  putLe16(b.data() + 5, t.fraction);
  putLe16(b.data() + 7, t.spacing);
  putLe16(b.data() + 9, t.baseChannel);
  for (int i = 0; i < 512; ++i) b[22 + static_cast<size_t>(i)] = level;
  return b;
}

Bytes FastRecord(const Bytes& header, const std::vector<Tune>& tunes, uint8_t level = 66) {
  Bytes r = header;
  for (size_t i = 0; i < 4; ++i)
    Append(r, ReceiverBlock(i < tunes.size() ? tunes[i] : Tune{}, level));
  return r;
}

struct Entry {
  uint16_t channel;
  uint8_t rssi;
};

Bytes ScanRecord(const Bytes& header, const std::vector<std::vector<Entry>>& tables) {
  Bytes scan(1344, 0);
  for (size_t r = 0; r < tables.size(); ++r) {
    uint8_t* d = scan.data() + r * 16;
    putLe16(d + 1, 870);
    putLe16(d + 3, 300);
    putLe16(d + 5, 300);
    putLe16(d + 7, 1);
    for (size_t e = 0; e < tables[r].size(); ++e) {
      uint8_t* p = scan.data() + 64 + r * 320 + e * 4;
      putLe16(p, tables[r][e].channel);
      p[2] = tables[r][e].rssi;
    }
  }
  Bytes r = header;
  Append(r, scan);
  return r;
}

class TolvanReader : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.Receiver1 = true;
    settings.Receiver2 = settings.Receiver3 = settings.Receiver4 = false;
    reader.AttachReceiverSelectors(&settings);
  }
  // Opens a log made of the given bytes.
  void Load(const Bytes& bytes) {
    path = test::TempPath("tolvan.tlf");
    test::WriteFile(path, bytes);
    ASSERT_EQ(reader.Open(path), 0);
    reader.ConversionPass = true;
  }
  // Reads and processes every block; the results of ProcessBlock.
  std::vector<int> ProcessAll() {
    std::vector<int> results;
    while (reader.ReadBlock(block) > 0) results.push_back(reader.ProcessBlock(block));
    return results;
  }
  std::string Field(int id) {
    std::string out = "junk";
    reader.FormatField(id, out);
    return out;
  }
  // The << DATA >> values of one row: answers and texts.
  std::vector<std::string> Values() {
    std::vector<std::string> texts;
    std::string out;
    for (int next = 0;; next = 1) {
      int answer = reader.FormatDataValues(next, out, ',');
      if (answer < 0) break;
      texts.push_back(std::to_string(answer) + ":" + out);
    }
    return texts;
  }

  Settings settings;
  Tolvan reader;
  Product::Block block;
  std::string path;
};

TEST_F(TolvanReader, DecodesBcdHeaderBeforeFirmware125) {
  Bytes log = Frame(FastRecord(BcdHeader('F'), {{}}));
  Load(log);
  EXPECT_EQ(ProcessAll(), std::vector<int>{1});
  EXPECT_EQ(reader.Firmware(), -1);
  const std::vector<std::pair<int, std::string>> expect = {
      {5, "40.5100"}, {6, "40"},         {7, "30"},        {8, "30.600"},    {9, "36"},
      {10, "N"},      {11, "-123.7613"}, {12, "123"},      {13, "45"},       {14, "45.678"},
      {15, "40"},     {16, "W"},         {17, "OK"},       {18, "13:45:09"}, {19, "13"},
      {20, "45"},     {21, "09"},        {29, "258"},      {33, "01/02/99"}, {34, "01"},
      {35, "02"},     {36, "99"},        {37, "03:04:05"}, {38, "03"},       {39, "04"},
      {40, "05"},     {4, "\n"},         {26, "0"},        {22, ""},         {101, "851.0000"},
      {103, "-66"},   {401, "0.0000"},   {501, ""}};  // 4 is off: not copied
  for (const auto& [id, text] : expect) EXPECT_EQ(Field(id), text) << "field " << id;
}

TEST_F(TolvanReader, DecodesBinaryHeaderFromFirmware125) {
  Bytes log = Frame(Ident("QVR TOLVAN", "1.25"));
  // The receiver blocks start after 36 header bytes.
  Append(log, Frame(FastRecord(BinaryHeader('F'), {{0, 870, 300, 300, 1, 11}})));
  Load(log);
  EXPECT_EQ(ProcessAll(), (std::vector<int>{0, 1}));
  EXPECT_EQ(reader.Firmware(), 125);
  EXPECT_EQ(reader.TextBuffer, "QVR TOLVAN 1.25\n");
  const std::vector<std::pair<int, std::string>> expect = {
      {5, "40.5100"}, {8, "30.600"}, {10, "N"},         {11, "-123.7613"}, {14, "45.678"},
      {16, "W"},      {17, "NO"},    {18, "13:45:09"},  {26, "-12"},       {27, "22"},
      {29, "777"},    {36, "90"},    {101, "870.3300"}, {102, "11"}};
  for (const auto& [id, text] : expect) EXPECT_EQ(Field(id), text) << "field " << id;
}

TEST_F(TolvanReader, ZeroCoordinatesAreSouthAndWest) {
  Bytes log = Frame(Ident("QVR TOLVAN", "1.26"));
  Append(log, Frame(FastRecord(BinaryHeader('F', 0, 0), {{}})));
  Load(log);
  ProcessAll();
  EXPECT_EQ(Field(5), "-0.0000");
  EXPECT_EQ(Field(10), "S");
  EXPECT_EQ(Field(11), "-0.0000");
  EXPECT_EQ(Field(16), "W");
}

TEST_F(TolvanReader, HeaderLengthFollowsFirmwareText) {
  struct Case {
    const char* firmware;  // nullptr: no identification record
    int expectFirmware;
    size_t header;
  };
  for (const Case& c : {Case{nullptr, -1, 28}, Case{"1.20", 120, 28}, Case{"1.24", 124, 28},
                        Case{"1.25", 125, 36}, Case{"abc", 0, 28}}) {
    Bytes log;
    if (c.firmware) log = Frame(Ident("QVR TOLVAN", c.firmware));
    Bytes header = c.header == 28 ? BcdHeader('F') : BinaryHeader('F');
    Append(log, Frame(FastRecord(header, {{0, 851, 0, 250, 1, 5}})));
    Load(log);
    ProcessAll();
    EXPECT_EQ(reader.Firmware(), c.expectFirmware) << (c.firmware ? c.firmware : "none");
    EXPECT_EQ(Field(102), "5") << (c.firmware ? c.firmware : "none");
    reader.Close();
  }
}

TEST_F(TolvanReader, IdentificationWithOutOfRangeLengthsIsIgnored) {
  struct Case {
    int32_t la, lb;
  };
  for (const Case& c : {Case{512, kActual}, Case{kActual, 64}, Case{-5, kActual}, Case{kActual, -2},
                        Case{40, kActual}}) {
    Bytes log = Frame(Ident("QVR TOLVAN", "1.25"));
    Append(log, Frame(Ident("OTHER", "1.20", c.la, c.lb)));
    Load(log);
    EXPECT_EQ(ProcessAll(), (std::vector<int>{0, 0}));
    EXPECT_EQ(reader.Firmware(), 125) << c.la << " " << c.lb;
    EXPECT_EQ(reader.TextBuffer, "QVR TOLVAN 1.25\n");
    reader.Close();
  }
}

TEST_F(TolvanReader, FrequencyAndDisplayedChannel) {
  struct Case {
    Tune tune;
    const char* frequency;
    const char* channel;
  };
  const Case cases[] = {
      {{0x00, 870, 300, 300, 1, 1}, "870.0300", "1"},
      {{0x00, 870, 300, 300, 1, 334}, "880.0200", "334"},
      {{0x80, 930, 500, 500, 1, 3}, "1930.1500", "3"},
      {{0x00, 851, 0, 250, 100, 60}, "850.0000", "60"},   // below the base channel
      {{0x40, 929, 0, 250, 20, 20}, "929.0000", "1009"},  // 20 - 34 < 0: 20 + 989
      {{0x40, 929, 0, 250, 20, 34}, "929.3500", "1023"},  // 34 - 34 = 0: 34 + 989
      {{0x40, 929, 0, 250, 20, 35}, "929.3750", "1"},
      {{0x40, 929, 0, 250, 20, 100}, "931.0000", "66"},
  };
  settings.ChannelField = true;
  for (const Case& c : cases) {
    Load(Frame(FastRecord(BcdHeader('F'), {c.tune})));
    ProcessAll();
    EXPECT_EQ(Field(101), c.frequency);
    EXPECT_EQ(Field(102), c.channel);
    EXPECT_EQ(Values(),
              std::vector<std::string>(
                  {std::string("0:") + c.frequency + "," + c.channel + ",-66", "1:", "1:", "1:"}));
    reader.Close();
  }
}

TEST_F(TolvanReader, ResynchronisesByteByByte) {
  Bytes record16(16, 'Z');
  Bytes record20(20, 'Z');
  Bytes record32(32, 'Z');
  struct Case {
    Bytes junk;     // bytes before the frame
    Bytes frame;    // what follows
    int64_t count;  // first ReadBlock answer
    uint64_t skipped;
  };
  Bytes overlap = {0x01, 0x10, 0x00, 0x00};  // 4097, then 16 at the next offset
  Append(overlap, Bytes{0x00});
  Append(overlap, record16);
  const Case cases[] = {
      {Bytes{}, overlap, 16 + 1 + 4, 1},
      {Bytes(6, 0xFF), Frame(record20), 20 + 6 + 4, 6},
      {Bytes(4, 0x00), Frame(record32), 32 + 4 + 4, 4},
  };
  for (const Case& c : cases) {
    Bytes log = c.junk;
    Append(log, c.frame);
    Append(log, Frame(Bytes(20, 'Q')));
    Load(log);
    EXPECT_EQ(reader.ReadBlock(block), c.count);
    EXPECT_EQ(block.size(), static_cast<size_t>(c.count) - c.skipped - 4);
    EXPECT_EQ(reader.ProcessBlock(block), 0);
    EXPECT_EQ(reader.ReadBlock(block), 24);
    EXPECT_EQ(block[0], 'Q');
    EXPECT_EQ(reader.ReadBlock(block), 0);
    EXPECT_EQ(reader.Damage.resyncBytes, c.skipped);
    EXPECT_EQ(reader.Damage.badLengthBlocks, 1u);
    EXPECT_EQ(reader.Damage.unknownRecords, 1u);
    reader.Close();
  }
}

TEST_F(TolvanReader, DamagedEndsStopReading) {
  Bytes cut = Frame(Bytes(20, 'Q'));
  Bytes tail(4);
  putLe32(tail.data(), 100);
  Append(tail, Bytes(10, 'F'));
  Append(cut, tail);
  Load(cut);
  EXPECT_EQ(reader.ReadBlock(block), 24);
  EXPECT_EQ(reader.ReadBlock(block), 0);
  EXPECT_EQ(reader.Damage.truncatedBlocks, 1u);
  reader.Close();
  Load(Bytes(5000, 0xFF));  // nothing but bad prefixes
  EXPECT_EQ(reader.ReadBlock(block), 0);
  EXPECT_EQ(reader.Damage.resyncBytes, 4997u);
  reader.Close();
  // A fast record cut inside the receiver blocks reads the missing bytes as 0.
  Bytes shortFast = FastRecord(BcdHeader('F'), {{0, 870, 300, 300, 1, 2}});
  shortFast.resize(28 + 300);
  Load(Frame(shortFast));
  EXPECT_EQ(ProcessAll(), std::vector<int>{1});
  EXPECT_EQ(Field(101), "870.0600");
  EXPECT_EQ(Field(103), "-35");  // 278 samples of 66 present: 18348 / 512
}

TEST_F(TolvanReader, TitlesPerReceiverAndScanRepeat) {
  settings.Receiver3 = true;
  settings.ChannelField = false;
  reader.SetAverageMode(0);
  std::string out;
  struct Step {
    int answer;
    std::string text;
  };
  const std::vector<Step> expect = {{0, "\"Rec#1 Frequency\",\"Rec#1 RSSI\""},
                                    {1, ""},
                                    {0, "\"Rec#3 Frequency\",\"Rec#3 RSSI\""},
                                    {1, ""},
                                    {-1, ""}};
  for (size_t i = 0; i < expect.size(); ++i) {
    EXPECT_EQ(reader.WriteDataTitles(i == 0 ? 0 : 1, out, ','), expect[i].answer) << i;
    EXPECT_EQ(out, expect[i].text) << i;
  }
  EXPECT_EQ(reader.TitlePending, 0);
  struct Repeat {
    int scanType, mode;
    size_t titles;
  };
  for (const Repeat& c : {Repeat{0, 0, 160}, Repeat{0, 3, 2}, Repeat{1, 0, 2}}) {
    settings.ScanTypeGroup = c.scanType;
    reader.SetAverageMode(c.mode);
    reader.TitlePending = 1;
    EXPECT_EQ(reader.WriteDataTitles(0, out, ';'), 0);
    size_t titles = 0;
    for (size_t at = out.find("\"Rec#1 "); at != std::string::npos;
         at = out.find("\"Rec#1 ", at + 1))
      ++titles;
    EXPECT_EQ(titles, c.titles);
  }
}

TEST_F(TolvanReader, ScanTableWalkAndBestServer) {
  settings.Receiver2 = settings.Receiver3 = true;
  settings.ChannelField = true;
  std::vector<Entry> full;
  for (uint16_t e = 0; e < 80; ++e) full.push_back({static_cast<uint16_t>(e + 1), 121});
  const std::vector<std::vector<Entry>> tables = {
      {{10, 90}, {11, 70}, {12, 70}, {13, 121}},  // tie at -70 keeps entry 1
      full,                                       // all at -121: entry 0
      {{5, 100}, {0, 50}, {7, 60}},               // an empty entry is passed over
  };
  Bytes log = Frame(ScanRecord(BcdHeader('S'), tables));
  Load(log);
  reader.SetAverageMode(0);
  EXPECT_EQ(ProcessAll(), std::vector<int>{1});
  std::vector<std::string> rows = Values();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], "0:870.3000,10,-90,870.3300,11,-70,870.3600,12,-70,870.3900,13,-121");
  EXPECT_EQ(std::count(rows[1].begin(), rows[1].end(), ','), 80 * 3 - 1);
  EXPECT_EQ(rows[2], "0:870.1500,5,-100");
  reader.Close();

  Load(log);
  reader.SetAverageMode(3);
  EXPECT_EQ(ProcessAll(), std::vector<int>{1});
  EXPECT_EQ(reader.BestServerIndex[0], 1);
  EXPECT_EQ(reader.BestServerIndex[1], 0);
  EXPECT_EQ(reader.BestServerIndex[2], 2);
  EXPECT_EQ(reader.BestServerIndex[3], 0);
  EXPECT_EQ(Values(), (std::vector<std::string>{"0:870.3300,11,-70", "0:870.0300,1,-121",
                                                "0:870.2100,7,-60", "1:"}));
}

TEST_F(TolvanReader, SegmentsInBothPasses) {
  Bytes log = Frame(FastRecord(BcdHeader('F'), {{}}));
  Append(log, Frame(FastRecord(BcdHeader('F'), {{}})));
  Append(log, Frame(ScanRecord(BcdHeader('S'), {{{1, 50}}})));
  Append(log, Frame(FastRecord(BcdHeader('F'), {{}})));
  Load(log);
  reader.ConversionPass = false;
  std::vector<int> results;
  std::vector<int> ready;
  while (reader.ReadBlock(block) > 0) {
    results.push_back(reader.ProcessBlock(block));
    ready.push_back(reader.SegmentReady);
    if (reader.SegmentReady) {
      EXPECT_EQ(reader.SegmentStartTime, "13:45:09");
      reader.SegmentNodes.Set(reader.SegmentCounter - 1, reader.SegmentType, "x");
      reader.SegmentReady = false;
    }
  }
  EXPECT_EQ(results, (std::vector<int>{0, 1, 0, 0}));
  EXPECT_EQ(ready, (std::vector<int>{1, 0, 1, 1}));
  EXPECT_EQ(reader.SegmentCounter, 3);
  reader.Close();

  reader.SegmentNodes.SetState(0, 1);  // leave the first fast segment out
  Load(log);
  EXPECT_EQ(ProcessAll(), (std::vector<int>{0, 0, 1, 1}));
}

class TolvanLambda : public TolvanReader {
 protected:
  // Fast records whose samples of receivers 1 and 2 run 60, 61, ... 72, 60 ...
  Bytes Log(int records, std::vector<Tune> tunes) {
    Bytes log;
    for (int n = 0; n < records; ++n) {
      Bytes rec = FastRecord(BcdHeader('F'), tunes);
      for (size_t r = 0; r < 4; ++r)
        for (size_t i = 0; i < 512; ++i)
          rec[28 + r * 708 + 22 + i] = static_cast<uint8_t>(60 + i % 13);
      Append(log, Frame(rec));
    }
    return log;
  }
  std::string Rssi(int index, int receiver) {
    reader.RemainingRecordCount = static_cast<int16_t>(reader.PendingRecordCount - index);
    return Values()[static_cast<size_t>(receiver)];
  }
};

TEST_F(TolvanLambda, WindowsAndAveragesCarryOverBlocks) {
  // 30 mph = 13.408 m/s; 153.6e9 / (870.03e6 x 13.408) = 13.17: 13 samples.
  settings.LambdaSpeed = "30";
  settings.MPHchoice = true;
  settings.FrequencyField = false;
  Load(Log(2, {{0, 870, 300, 300, 1, 1}}));
  reader.SetAverageMode(1);
  ASSERT_GT(reader.ReadBlock(block), 0);
  EXPECT_EQ(reader.ProcessBlock(block), 1);
  EXPECT_EQ(reader.Averages[0].window, 13);
  EXPECT_EQ(reader.PendingRecordCount, 39);  // 507 of 512 samples
  // Each full window of 60..72 sums to 858: 66.
  EXPECT_EQ(Rssi(0, 0), "0:-66");
  EXPECT_EQ(Rssi(38, 0), "0:-66");
  ASSERT_GT(reader.ReadBlock(block), 0);
  EXPECT_EQ(reader.ProcessBlock(block), 1);
  // 5 carried samples (60..64) and 8 new (60..67): 818 / 13 = 62.
  EXPECT_EQ(Rssi(0, 0), "0:-62");
  EXPECT_EQ(reader.PendingRecordCount, 39);
}

TEST_F(TolvanLambda, WindowPerUnitReceiverAndFirstRecord) {
  struct Case {
    const char* speed;
    bool mph;
    int window;
  };
  // km/h: 30 -> 8.333 m/s, 21.18 -> 21; 1 km/h -> 635.6 -> 635; 0 and text -> 0.
  for (const Case& c :
       {Case{"30", false, 21}, Case{"1", false, 635}, Case{"0", true, 0}, Case{"fast", true, 0}}) {
    settings.LambdaSpeed = c.speed;
    settings.MPHchoice = c.mph;
    settings.Receiver2 = true;
    Load(Log(2, {{0, 870, 300, 300, 1, 1}, {0x80, 930, 0, 250, 1, 1}}));
    reader.SetAverageMode(1);
    ASSERT_GT(reader.ReadBlock(block), 0);
    EXPECT_EQ(reader.ProcessBlock(block), 1);
    EXPECT_EQ(reader.Averages[0].window, c.window) << c.speed;
    if (c.window == 0 || c.window > 512) {
      // No average from this record: one row, the RSSI column left empty.
      EXPECT_EQ(reader.PendingRecordCount, 1);
      EXPECT_EQ(Rssi(0, 0), "0:870.0300,");
    }
    reader.Close();
  }
  // Receivers complete different numbers; the window is kept from the first
  // record even when the tuning changes.
  settings.LambdaSpeed = "30";
  settings.MPHchoice = true;
  Bytes log = Log(1, {{0, 870, 300, 300, 1, 1}, {0x80, 930, 0, 250, 1, 1}});
  Append(log, Log(1, {{0x80, 930, 0, 250, 1, 1}, {0x80, 930, 0, 250, 1, 1}}));
  Load(log);
  reader.SetAverageMode(1);
  ASSERT_GT(reader.ReadBlock(block), 0);
  reader.ProcessBlock(block);
  EXPECT_EQ(reader.Averages[1].window, 5);  // 1930 MHz: 5.94
  EXPECT_EQ(reader.PendingRecordCount, 102);
  EXPECT_EQ(Rssi(50, 0), "0:870.0300,");
  EXPECT_EQ(Rssi(50, 1), "0:1930.0000,-65");  // samples 250..254: 63..67
  ASSERT_GT(reader.ReadBlock(block), 0);
  reader.ProcessBlock(block);
  EXPECT_EQ(reader.Averages[0].window, 13);
}

// At a slow speed a window is longer than a record: a record that completes
// no average has no level to show. With only the levels selected its line
// has no text at all and is not written, so it cannot run into the next one.
TEST_F(TolvanLambda, RecordWithoutAnAverageWritesNoLine) {
  Bytes log;
  for (int n = 0; n < 3; ++n) {
    Bytes rec = FastRecord(BcdHeader('F'), {{0, 870, 300, 300, 1, 1}, {0, 870, 300, 300, 1, 1}});
    for (size_t i = 0; i < 512; ++i) {
      rec[28 + 22 + i] = 70;
      rec[28 + 708 + 22 + i] = 80;
    }
    Append(log, Frame(rec));
  }
  settings.InputFilename = test::TempPath("slow.tlf");
  test::WriteFile(settings.InputFilename, log);
  settings.OutputFilename = test::TempPath("slow.out");
  settings.InputFormatGroup = kItemTolvan;
  settings.Receiver2 = true;
  settings.LambdaAvg = true;
  settings.LambdaSpeed = "1";  // km/h: 635 samples a window
  settings.MPHchoice = false;
  settings.FrequencyField = settings.ChannelField = false;
  settings.FieldTitles = false;
  settings.SelectedBox = {"<< DATA >>"};
  reader.SetSelectedFields({FieldCatalog::kData});
  RunHooks hooks;
  ASSERT_EQ(ConversionRun(reader, settings, hooks).Run(), RunOutcome::Completed);
  // Record 1 completes nothing (512 of 635 samples); records 2 and 3 one
  // average per receiver each.
  EXPECT_EQ(test::ReadFile(settings.OutputFilename), "-70,-80\r\n-70,-80\r\n");
}

// The PathView side file goes beside the output, named after the output's
// file name whatever dots its folders hold.
TEST_F(TolvanReader, PathViewSideFileBesideTheOutput) {
  const std::string folder = test::TempPath("drive.2024");
  ASSERT_TRUE(std::filesystem::create_directories(folder + "/run"));
  settings.InputFilename = test::TempPath("pathview.tlf");
  test::WriteFile(settings.InputFilename, Frame(FastRecord(BcdHeader('F'), {{}})));
  settings.OutputFilename = folder + "/run/MLJ.M01";
  settings.InputFormatGroup = kItemTolvan;
  settings.OutputFormatGroup = formats::kPathView;
  settings.NativeFormat = true;
  RunHooks hooks;
  ASSERT_EQ(ConversionRun(reader, settings, hooks).Run(), RunOutcome::Completed);
  EXPECT_EQ(test::ReadFile(folder + "/run/MLJ.MDF").size(), formats::kPathViewSideFileSize);
  EXPECT_FALSE(test::FileExists(test::TempPath("drive.MDF")));
}

// ------------------------------------------------------------ sample outputs
// The committed Tolvan and Velmar samples and their reference outputs
// (tests/golden/, made by the command line's golden runner).

// The n-th record of a sample log, found by walking its length prefixes.
Bytes SampleRecord(const std::string& path, int n) {
  const std::string file = test::ReadFile(path);
  const auto* p = reinterpret_cast<const uint8_t*>(file.data());
  size_t at = 0;
  for (int i = 0; i < n; ++i) at += 4 + le32(p + at);
  return Bytes(p + at + 4, p + at + 4 + le32(p + at));
}

// Frequency, shown channel and mean level of a receiver block, worked out
// from the block's bytes as the unit documents them.
std::string BlockValues(const uint8_t* b, size_t samplesAt, double bit6MHz) {
  int channel = le16(b);
  double mhz = le16(b + 3) + 0.0001 * le16(b + 5) + ((b[2] & 0x80) ? 1000 : 0) +
               ((b[2] & 0x40) ? bit6MHz : 0) + 0.0001 * ((channel - le16(b + 9)) * le16(b + 7));
  int shown = (b[2] & 0x40) ? (channel - 34 < 0 ? channel + 989 : channel - 34) : channel;
  long sum = 0;
  for (size_t i = 0; i < 512; ++i) sum += b[samplesAt + i];
  return fmt::format("{:.4f},{},-{}", mhz, shown, sum / 512);
}

// The first fast-data row (after the identification record and six scan
// records) of the Custom ASCII references, rebuilt from the log's bytes.
TEST(CwSample, ReferenceRowsAgreeWithTheLogBytes) {
  const Bytes t = SampleRecord(test::CommittedSample("tolvan-8s.tlf"), 7);
  ASSERT_EQ(t[0], 'F');
  ASSERT_EQ(t.size(), 36u + 4 * 708);
  // Degrees, minutes and thousandths of a minute, each truncated.
  auto degrees = [](int32_t v) {
    int a = static_cast<int>(std::labs(v));
    return fmt::format("{}{:.4f}", v <= 0 ? "-" : "",
                       a / 3600000 + a % 3600000 / 60000 / 60.0 + a % 60000 / 60 / 60000.0);
  };
  const std::string tolvanRow = fmt::format(
      "\r\n7,{:02}:{:02}:{:02},{},{},{},{},{},{},{},{}\r\n", t[25], t[26], t[27],
      degrees(be32s(t.data() + 9)), degrees(be32s(t.data() + 13)), (t[8] & 0x80) ? "OK" : "NO",
      le16(t.data() + 28), be32s(t.data() + 17) / 100, be16(t.data() + 21) * 22356L / 1000000,
      BlockValues(t.data() + 36, 22, 0), BlockValues(t.data() + 36 + 3 * 708, 22, 0));
  EXPECT_NE(test::GoldenReference("tolvan-custom.out").find(tolvanRow), std::string::npos)
      << tolvanRow;

  const Bytes v = SampleRecord(test::CommittedSample("velmar-8s.vlf"), 7);
  ASSERT_EQ(v.size(), 23u + 2 * 530);
  auto bcd = [](const uint8_t* p, char hemisphere, char positive) {
    int deg = (p[0] >> 4) * 100 + (p[0] & 15) * 10 + (p[1] >> 4);
    int min = (p[1] & 15) * 10 + (p[2] >> 4);
    int thou = (p[2] & 15) * 100 + (p[3] >> 4) * 10 + (p[3] & 15);
    return fmt::format("{}{:.4f}", hemisphere == positive ? "" : "-",
                       deg + min / 60.0 + thou / 60000.0);
  };
  const std::string velmarRow =
      fmt::format("\r\n7,{:02x}:{:02x}:{:02x},{},{},{},{},,,{},{}\r\n", v[18], v[19], v[20],
                  bcd(v.data() + 8, static_cast<char>(v[12]), 'N'),
                  bcd(v.data() + 13, static_cast<char>(v[17]), 'E'), (v[7] & 0x80) ? "OK" : "NO",
                  le16(v.data() + 21), BlockValues(v.data() + 23, 18, 0.01),
                  BlockValues(v.data() + 23 + 530, 18, 0.01));
  EXPECT_NE(test::GoldenReference("velmar-custom.out").find(velmarRow), std::string::npos)
      << velmarRow;
}

// Lines worked out by hand: the drive starts on 2026-11-23 at 09:58:00 local
// time (RTC), 14:58:00 GPS time; before the first fast-data record the
// reporting receiver has no values.
TEST(CwSample, NativeReferenceLinesByHand) {
  const std::string grayson = test::GoldenReference("tolvan-grayson.out");
  EXPECT_EQ(grayson.substr(0, 12 + 54), "D2026112314\rm580000RCRD" + std::string(42, '0') + "\r");
  // The trailer repeats the GPS minute and second of the last record: 07 s
  // after 14:58:00 in an eight-second drive.
  EXPECT_EQ(grayson.substr(grayson.size() - 54), "m580700IDLE" + std::string(42, '0') + "\r");
  const std::string planet = test::GoldenReference("velmar-planet.out");
  EXPECT_NE(planet.find("\r\n_MAIN\r\n14:58:00:00 40."), std::string::npos);
  EXPECT_NE(planet.find(" REPORT::Report: 0.0000 0 -0\r\n"), std::string::npos);
  // Receiver 2 of the Velmar sample: 851.0000 MHz + 10 kHz, 25 kHz steps,
  // first fast channel 10 + 3: 851.3100 MHz, channel 13 stored.
  EXPECT_NE(planet.find(" REPORT::Report: 851.3100 13 -"), std::string::npos);
}

}  // namespace
}  // namespace morphel
