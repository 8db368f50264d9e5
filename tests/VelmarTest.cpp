#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Bytes.h"
#include "core/Settings.h"
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

// 23 bytes: RTC 23:59:58 12/31/90, latitude 012 34.567 S, longitude
// 089 01.234 E, GPS 04:05:06, marker 0x0304.
Bytes Header(uint8_t kind) {
  const Bytes h = {kind, 58,   59,   23,   31,   12,  90,   0x80, 0x01, 0x23, 0x45, 0x67,
                   'S',  0x08, 0x90, 0x12, 0x34, 'E', 0x04, 0x05, 0x06, 0x04, 0x03};
  return h;
}

struct Tune {
  uint8_t flags = 0;
  uint16_t base = 880, fraction = 200, spacing = 300, baseChannel = 334, channel = 334;
};

Bytes FastRecord(const std::vector<Tune>& tunes, uint8_t level = 70) {
  Bytes r = Header('F');
  for (const Tune& t : tunes) {
    Bytes b(530, 0);
    putLe16(b.data(), t.channel);
    b[2] = t.flags;
    putLe16(b.data() + 3, t.base);
    putLe16(b.data() + 5, t.fraction);
    putLe16(b.data() + 7, t.spacing);
    putLe16(b.data() + 9, t.baseChannel);
    std::memset(b.data() + 18, level, 512);
    Append(r, b);
  }
  return r;
}

class VelmarReader : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.Receiver1 = settings.Receiver2 = true;
    settings.ChannelField = true;
    reader.AttachReceiverSelectors(&settings);
  }
  void Load(const Bytes& bytes) {
    test::WriteFile(test::TempPath("velmar.vlf"), bytes);
    ASSERT_EQ(reader.Open(test::TempPath("velmar.vlf")), 0);
    reader.ConversionPass = true;
  }
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
  std::vector<std::string> Values() {
    std::vector<std::string> texts;
    std::string out;
    for (int next = 0;; next = 1) {
      int answer = reader.FormatDataValues(next, out, ';');
      if (answer < 0) break;
      texts.push_back(std::to_string(answer) + ":" + out);
    }
    return texts;
  }

  Settings settings;
  Velmar reader;
  Product::Block block;
};

TEST_F(VelmarReader, DecodesTheHeaderLayout) {
  Load(Frame(FastRecord({{}, {}})));
  EXPECT_EQ(ProcessAll(), std::vector<int>{1});
  const std::vector<std::pair<int, std::string>> expect = {
      {5, "-12.5761"},  // 12 + 34/60 + 567/60000 = 12.57611
      {6, "12"},       {7, "34"},        {8, "34.567"},    {9, "34"}, {10, "S"},  {11, "89.0206"},
      {12, "89"},      {14, "1.234"},    {15, "14"},       {16, "E"}, {17, "OK"}, {18, "04:05:06"},
      {29, "772"},     {33, "12/31/90"}, {37, "23:59:58"}, {26, ""},  {27, ""},   {101, "880.0200"},
      {102, "334"},    {103, "-70"},     {301, ""}};
  for (const auto& [id, text] : expect) EXPECT_EQ(Field(id), text) << "field " << id;
  EXPECT_EQ(reader.AvailableFields().size(), 28u);
}

TEST_F(VelmarReader, FlagBitSixAddsTenKilohertz) {
  Load(Frame(FastRecord({{0x40, 851, 0, 250, 1, 1}, {0xC0, 851, 0, 250, 1, 20}})));
  ProcessAll();
  EXPECT_EQ(Field(101), "851.0100");
  EXPECT_EQ(Field(102), "990");        // 1 - 34 < 0: 1 + 989
  EXPECT_EQ(Field(201), "1851.4850");  // + 1000, + 0.01, + 19 x 0.025
  EXPECT_EQ(Field(202), "1009");
  EXPECT_EQ(Values(), (std::vector<std::string>{"0:851.0100;990;-70", "0:1851.4850;1009;-70"}));
}

// Channel 34 is the last below channel 1 (1023): there is no channel 0.
TEST_F(VelmarReader, TranslatedChannelsRunFrom989To1023ThenFrom1) {
  const std::pair<uint16_t, const char*> cases[] = {
      {0, "989"}, {33, "1022"}, {34, "1023"}, {35, "1"}, {36, "2"}};
  for (const auto& [channel, shown] : cases) {
    Load(Frame(FastRecord({{0x40, 851, 0, 250, 1, channel}, {}})));
    ProcessAll();
    EXPECT_EQ(Field(102), shown) << channel;
    reader.Close();
  }
}

TEST_F(VelmarReader, TwoReceiversOnly) {
  settings.Receiver1 = settings.Receiver2 = false;
  settings.Receiver3 = true;  // a box this unit does not have
  Load(Frame(FastRecord({{}, {}})));
  ProcessAll();
  EXPECT_EQ(Values(), (std::vector<std::string>{"1:", "1:"}));
  std::string out;
  EXPECT_EQ(reader.WriteDataTitles(0, out, ','), 1);
  EXPECT_EQ(reader.WriteDataTitles(1, out, ','), 1);
  EXPECT_EQ(reader.TitlePending, 0);
  EXPECT_EQ(reader.WriteDataTitles(1, out, ','), -1);
}

TEST_F(VelmarReader, ScanTablesOfThreeByteEntries) {
  Bytes rec = Header('S');
  rec.resize(525, 0);
  for (size_t r = 0; r < 2; ++r) {
    uint8_t* d = rec.data() + 23 + r * 11;
    d[0] = r == 1 ? 0x40 : 0x00;
    putLe16(d + 1, 851);
    putLe16(d + 5, 250);
    putLe16(d + 7, 1);
  }
  const uint8_t first[] = {2, 0, 90, 3, 0, 80, 4, 0, 85};  // channels 2..4
  std::memcpy(rec.data() + 45, first, sizeof first);
  const uint8_t second[] = {40, 0, 121, 41, 0, 122};
  std::memcpy(rec.data() + 285, second, sizeof second);
  rec[285 + 79 * 3] = 1;  // the last entry of receiver 2's table, after its end
  rec[285 + 79 * 3 + 2] = 30;
  Load(Frame(rec));
  reader.SetAverageMode(0);
  EXPECT_EQ(ProcessAll(), std::vector<int>{1});
  EXPECT_EQ(Values(), (std::vector<std::string>{"0:851.0250;2;-90;851.0500;3;-80;851.0750;4;-85",
                                                "0:851.9850;6;-121;852.0100;7;-122"}));
  reader.Close();
  Load(Frame(rec));
  reader.SetAverageMode(3);
  ProcessAll();
  EXPECT_EQ(reader.BestServerIndex[0], 1);
  EXPECT_EQ(reader.BestServerIndex[1], 79);  // not 0: entries with a channel count
  EXPECT_EQ(Values()[0], "0:851.0500;3;-80");
}

// A length of 0 is an empty block. A length above 4096 is no record: the
// reader resynchronises instead of handing on the previous block again.
TEST_F(VelmarReader, EmptyAndOversizedLengths) {
  Bytes log = Frame(FastRecord({{}, {}}));
  Append(log, Frame(Bytes{}));
  Bytes bad = {0x88, 0x13, 0x00, 0x00};  // 5000
  Append(log, bad);
  Append(log, Frame(Bytes(20, 'Z')));
  Load(log);
  EXPECT_EQ(reader.ReadBlock(block), 4 + 23 + 2 * 530);
  EXPECT_EQ(reader.ProcessBlock(block), 1);
  EXPECT_EQ(reader.ReadBlock(block), 4);
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(reader.ProcessBlock(block), 0);
  EXPECT_EQ(reader.ReadBlock(block), 4 + 4 + 20);
  EXPECT_EQ(test::BlockBytes(block), Bytes(20, 'Z'));
  EXPECT_EQ(reader.ProcessBlock(block), 0);
  EXPECT_EQ(reader.ReadBlock(block), 0);
  EXPECT_EQ(reader.Damage.resyncBytes, 4u);
  EXPECT_EQ(reader.Damage.badLengthBlocks, 1u);
}

TEST_F(VelmarReader, IdentificationOnlyFillsTheTextBuffer) {
  auto ident = [](const std::string& a, const std::string& b, uint32_t la) {
    Bytes r = {'I', 0, 0, 0, 0};
    putLe32(r.data() + 1, la);
    r.insert(r.end(), a.begin(), a.end());
    Bytes lb(4);
    putLe32(lb.data(), static_cast<uint32_t>(b.size()));
    Append(r, lb);
    r.insert(r.end(), b.begin(), b.end());
    return r;
  };
  Bytes log = Frame(ident("QVR VELMAR", "2.04", 10));
  Append(log, Frame(ident(std::string(600, 'x'), "2.05", 600)));
  Append(log, Frame(FastRecord({{}, {}})));
  Load(log);
  EXPECT_EQ(ProcessAll(), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(reader.TextBuffer, "QVR VELMAR 2.04\n");
  EXPECT_EQ(Field(102), "334");  // the header stays 23 bytes
}

TEST_F(VelmarReader, LambdaWindowUsesTheVelmarFrequency) {
  // 30 mph: 153.6e9 / (851.01e6 x 13.408) = 13.46 -> 13 samples.
  settings.LambdaSpeed = "30";
  Load(Frame(FastRecord({{0x40, 851, 0, 250, 1, 1}, {0x00, 0, 0, 0, 0, 0}})));
  reader.SetAverageMode(1);
  EXPECT_EQ(ProcessAll(), std::vector<int>{1});
  EXPECT_EQ(reader.Averages[0].window, 13);
  EXPECT_EQ(reader.Averages[1].window, 0);  // inactive receiver: not averaged
  EXPECT_EQ(reader.PendingRecordCount, 39);
}

}  // namespace
}  // namespace morphel
