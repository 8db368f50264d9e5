#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "app/Detect.h"
#include "core/Bytes.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using Bytes = std::vector<uint8_t>;

// A log that starts with a length-prefixed first record: length N at 0,
// record kind at 4, text length (low byte L) at 5..8, name from 9.
Bytes FirstRecord(uint32_t n, char kind, uint32_t textLength, const std::string& name,
                  size_t fileSize = 0) {
  Bytes b(std::max<size_t>(fileSize, 9 + name.size()), 0);
  putLe32(b.data(), n);
  b[4] = static_cast<uint8_t>(kind);
  putLe32(b.data() + 5, textLength);
  for (size_t i = 0; i < name.size(); ++i) b[9 + i] = static_cast<uint8_t>(name[i]);
  return b;
}

// A head of the given size with text placed at an offset.
Bytes Head(size_t size, std::initializer_list<std::pair<size_t, std::string>> texts) {
  Bytes b(size, 0);
  for (const auto& [offset, text] : texts)
    for (size_t i = 0; i < text.size(); ++i) b[offset + i] = static_cast<uint8_t>(text[i]);
  return b;
}

Bytes With(Bytes b, size_t offset, std::initializer_list<uint8_t> bytes) {
  for (uint8_t v : bytes) b[offset++] = v;
  return b;
}

struct DetectCase {
  const char* what;
  Bytes file;
  int item;
};

class DetectTable : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectTable, RecognisesProductFromHead) {
  const DetectCase& c = GetParam();
  const std::string path = test::TempPath("detect.log");
  test::WriteFile(path, c.file);
  EXPECT_EQ(DetectProduct(path), c.item) << c.what;
}

const std::string k130(130, 'A');

INSTANTIATE_TEST_SUITE_P(
    Heads, DetectTable,
    ::testing::Values(
        DetectCase{"tolvan ident", FirstRecord(40, 'I', 10, "QVR TOLVAN", 44), kItemTolvan},
        DetectCase{"velmar ident", FirstRecord(40, 'I', 10, "QVR VELMAR", 44), kItemVelmar},
        DetectCase{"zev card ident", FirstRecord(40, 'I', 7, "QVR ZEV", 44), kItemZevCard},
        DetectCase{"skarn ident", FirstRecord(40, 'I', 9, "QVR SKARN", 44), kItemSkarn},
        DetectCase{"unknown name", FirstRecord(40, 'I', 9, "QVR DARSK", 44), kItemNone},
        // The name tests run in order: TOLV before VELM before ZEV before SKAR.
        DetectCase{"first tag wins", FirstRecord(40, 'I', 12, "SKARZEVVELM", 44), kItemVelmar},
        DetectCase{"kind not I", FirstRecord(40, 'X', 10, "QVR TOLVAN", 44), kItemNone},
        DetectCase{"name cut at L", FirstRecord(40, 'I', 4, "QVR TOLVAN", 44), kItemNone},
        DetectCase{"name just long enough", FirstRecord(40, 'I', 8, "QVR TOLVAN", 44), kItemTolvan},
        // Only the low byte of the text length counts: 0x104 gives L = 4.
        DetectCase{"low byte of length", FirstRecord(40, 'I', 0x104, "QVR TOLVAN", 44), kItemNone},
        DetectCase{"zero ends name", FirstRecord(40, 'I', 20, std::string("QVR\0TOLV", 8), 44),
                   kItemNone},
        DetectCase{"L above buffer, tag inside",
                   FirstRecord(256, 'I', 200, std::string(120, 'A') + "TOLV", 260), kItemTolvan},
        DetectCase{"L above buffer, tag past 128", FirstRecord(256, 'I', 200, k130 + "TOLV", 260),
                   kItemNone},
        // The record holds 12 bytes; the tag straddles its end.
        DetectCase{"name cut at record end", FirstRecord(12, 'I', 20, "QVRATOLV", 40), kItemNone},
        DetectCase{"name fits record", FirstRecord(13, 'I', 20, "QVRATOLV", 40), kItemTolvan},
        DetectCase{"record longer than file", FirstRecord(200, 'I', 10, "QVR TOLVAN"), kItemTolvan},
        DetectCase{"largest record length", FirstRecord(256, 'I', 10, "QVR TOLVAN", 260),
                   kItemTolvan},
        // 257 is no record length: the head's tags decide, and there is none.
        DetectCase{"just above record length", FirstRecord(257, 'I', 10, "QVR TOLVAN", 260),
                   kItemNone},
        DetectCase{"brisel card wins over valid length",
                   With(Head(40, {{9, "TOLV"}, {13, "QVRBRISEL"}}), 0, {20, 0, 0, 0, 'I', 30}),
                   kItemBriselCard},
        DetectCase{"brisel card in a short file", Head(22, {{13, "QVRBRISEL"}}), kItemBriselCard},
        DetectCase{"zev dump with length 300", With(Head(40, {{4, "QVRZEV"}}), 0, {0x2C, 0x01}),
                   kItemZevDump},
        DetectCase{"zev dump before zev", Head(40, {{0, "ZEV!QVRZEV"}}), kItemZevDump},
        DetectCase{"zev card by tag", Head(40, {{0, "ZEV"}}), kItemZevCard},
        DetectCase{"tolvan new by tag", Head(40, {{0, "TDL"}}), kItemTolvanNew},
        DetectCase{"zev before tdl", Head(40, {{0, "TDLZEV"}}), kItemZevCard},
        DetectCase{"brisel with zero length", Head(40, {{9, "QVRBRISEL"}}), kItemBrisel},
        DetectCase{"brisel with large length", Head(40, {{0, "XXXX"}, {9, "QVRBRISEL"}}),
                   kItemBrisel},
        // Text ends at offset 32: a tag that crosses it is not seen.
        DetectCase{"tag past 32 bytes", Head(40, {{9, std::string(16, 'B')}, {25, "QVRBRISEL"}}),
                   kItemNone},
        DetectCase{"zero length, no tag", Head(40, {}), kItemNone},
        // A negative length is no record at all.
        DetectCase{"negative length", With(Head(40, {{9, "TOLVAN"}}), 0, {0xFF, 0xFF, 0xFF, 0xFF}),
                   kItemNone},
        DetectCase{"negative length with zev text", With(Head(40, {{0, "ZEV"}}), 3, {0x80}),
                   kItemNone},
        DetectCase{"empty file", Bytes{}, kItemNone},
        DetectCase{"three bytes", Head(3, {{0, "ZEV"}}), kItemNone},
        DetectCase{"four bytes zev", Head(4, {{0, "ZEV"}}), kItemZevCard}),
    [](const ::testing::TestParamInfo<DetectCase>& param) {
      std::string name;
      for (const char* p = param.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST(Detect, MissingOrUnreadablePathIsNotRecognised) {
  EXPECT_EQ(DetectProduct(test::TempPath("no-such-file.tlf")), kItemNone);
  EXPECT_EQ(DetectProduct(test::TempDir()), kItemNone);
  EXPECT_EQ(DetectProduct(""), kItemNone);
}

}  // namespace
}  // namespace morphel
