// POCSAG and FLEX formatters, their shared bit readers, and the paging
// encoder of the sample writers (round trips through both).

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "decode/Flex.h"
#include "decode/PagingBits.h"
#include "decode/Pocsag.h"
#include "synth/PagingEncoder.h"

namespace morphel {
namespace {

using paging::Codeword;
using paging::TextLines;
using synth::PagingKind;
using synth::PagingMessage;

// --- fixture builders: codeword bits as the receivers log them -------------

// Sets bit n (1 = top bit of the first byte) of a 4-byte codeword image.
void SetBit(uint8_t* w, int n) {
  w[(n - 1) / 8] |= static_cast<uint8_t>(0x80 >> ((n - 1) % 8));
}
// Field with its low bit at bit s.
void PutRev(uint8_t* w, int s, int width, uint32_t v) {
  for (int i = 0; i < width; ++i)
    if ((v >> i) & 1u) SetBit(w, s + i);
}
// Field with its high bit at bit s.
void PutStraight(uint8_t* w, int s, int width, uint32_t v) {
  for (int i = 0; i < width; ++i)
    if ((v >> (width - 1 - i)) & 1u) SetBit(w, s + i);
}

// A 79-byte POCSAG unit whose 16 codewords start out idle.
struct PocsagUnit {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(79, 0);
  explicit PocsagUnit(uint8_t map) {
    bytes[0] = 79;
    bytes[3] = map;
    for (int s = 0; s < 16; ++s) Idle(s);
  }
  uint8_t* Slot(int s) { return &bytes[static_cast<size_t>(13 + 4 * s)]; }
  void Idle(int s) {
    uint8_t* w = Slot(s);
    w[0] = 0x97, w[1] = 0xC1, w[2] = 0x89, w[3] = 0x7A;
  }
  void Address(int s, uint32_t address18, uint32_t function) {
    uint8_t* w = Slot(s);
    w[0] = w[1] = w[2] = w[3] = 0;
    PutStraight(w, 2, 18, address18);
    PutRev(w, 20, 2, function);
  }
  uint8_t* Message(int s) {
    uint8_t* w = Slot(s);
    w[0] = w[1] = w[2] = w[3] = 0;
    SetBit(w, 1);
    return w;
  }
  void Digits(int s, std::array<uint32_t, 5> d) {
    uint8_t* w = Message(s);
    for (int i = 0; i < 5; ++i) PutRev(w, 2 + 4 * i, 4, d[static_cast<size_t>(i)]);
  }
};

// Runs one POCSAG unit as a reader does: FormatNext until the batch ends.
std::vector<std::string> AllLines(TPOCSAG& p, int maxCalls = 20) {
  std::vector<std::string> lines;
  std::string out;
  for (int i = 0; i < maxCalls; ++i) {
    const bool done = p.FormatNext(out);
    lines.push_back(out);
    if (done) return lines;
  }
  ADD_FAILURE() << "FormatNext did not finish the batch";
  return lines;
}

// A FLEX frame built phase by phase, 88 words each, interleaved on output.
struct FlexFrame {
  int phases;
  int speedType;
  std::vector<std::array<uint8_t, 4>> words;
  FlexFrame(int phaseCount, int speed)
      : phases(phaseCount), speedType(speed), words(static_cast<size_t>(88 * phaseCount)) {}
  uint8_t* Word(int phase, int i) { return words[static_cast<size_t>(i * phases + phase)].data(); }
  void BlockInfo(int phase, int endOfBlockInfo, int vectorStart) {
    PutRev(Word(phase, 0), 9, 2, static_cast<uint32_t>(endOfBlockInfo));
    PutRev(Word(phase, 0), 11, 6, static_cast<uint32_t>(vectorStart));
  }
  void Vector(int phase, int i, uint32_t type, uint32_t start, uint32_t length) {
    uint8_t* w = Word(phase, i);
    PutRev(w, 5, 3, type);
    PutRev(w, 8, 7, start);
    PutRev(w, 15, type == 5 ? 7 : 3, length);
  }
  void Chars(int phase, int i, uint32_t a, uint32_t b, uint32_t c) {
    PutRev(Word(phase, i), 1, 7, a);
    PutRev(Word(phase, i), 8, 7, b);
    PutRev(Word(phase, i), 15, 7, c);
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> unit(18, 0);
    const size_t n = words.size() * 4;
    unit[0] = static_cast<uint8_t>(n & 0xFF);
    unit[1] = static_cast<uint8_t>(n >> 8);
    unit[4] = static_cast<uint8_t>(speedType);
    for (const auto& w : words) unit.insert(unit.end(), w.begin(), w.end());
    return unit;
  }
};

std::vector<std::string> FlexLines(TFLEX& f, int phase) {
  std::vector<std::string> lines;
  std::string out;
  f.ResetPhase(phase);
  for (int i = 0; i < 100; ++i) {
    if (f.FormatNext(phase, out) == 1) {
      EXPECT_TRUE(out.empty());
      return lines;
    }
    lines.push_back(out);
  }
  ADD_FAILURE() << "FormatNext did not finish the phase";
  return lines;
}

std::vector<std::string> FlexDecode(const std::vector<uint8_t>& unit, int previousPhases = 1) {
  const int count = unit.size() >= 2 ? unit[0] | (unit[1] << 8) : 0;
  TFLEX f(unit, count, previousPhases);
  std::vector<std::string> lines;
  for (int p = 0; p < f.PhaseCount(); ++p)
    for (auto& l : FlexLines(f, p))
      if (!l.empty()) lines.push_back(l);
  return lines;
}

const std::string kIndent = "\n" + std::string(21, ' ');

// --- bit readers and text lines ---------------------------------------------

TEST(PagingBits, BitNumberingAndBothFieldOrders) {
  const Codeword w = {0xC0, 0x00, 0x00, 0x01};
  EXPECT_EQ(paging::CodewordBit(w, 1), 1u);
  EXPECT_EQ(paging::CodewordBit(w, 2), 1u);
  EXPECT_EQ(paging::CodewordBit(w, 3), 0u);
  EXPECT_EQ(paging::CodewordBit(w, 32), 1u);
  EXPECT_EQ(paging::ReversedField(w, 1, 3), 3u);  // bit 1 is the low bit
  EXPECT_EQ(paging::StraightField(w, 1, 3), 6u);  // bit 1 is the high bit
  EXPECT_EQ(paging::ReversedField(w, 30, 3), 4u);
  EXPECT_EQ(paging::StraightField(w, 30, 3), 1u);
  EXPECT_EQ(paging::ReversedField(w, 31, 3), 0u);  // would cross the word
  EXPECT_EQ(paging::StraightField(w, 0, 2), 0u);
}

void AddText(TextLines& t, const std::string& s) {
  for (char c : s) t.AddAlpha(static_cast<uint8_t>(c));
}

TEST(PagingBits, TextRules) {
  TextLines t;
  AddText(t, " \n  Hi\n\nyou ");
  EXPECT_EQ(t.Line(0), "Hi");
  EXPECT_EQ(t.Line(1), "you ");
  EXPECT_EQ(t.UsedLines(), 2);
  EXPECT_EQ(t.AddAlpha(3), TextLines::Alpha::kEndWord);
  for (uint32_t ignored : {0u, 1u, 9u, 13u, 31u, 127u}) t.AddAlpha(ignored);
  EXPECT_EQ(t.Line(1), "you ");
}

TEST(PagingBits, LinesAdvancePastEightyAndStopAfterTen) {
  TextLines t;
  AddText(t, std::string(81, 'x'));
  EXPECT_EQ(t.Line(0).size(), 81u);
  EXPECT_EQ(t.UsedLines(), 1);  // the new line is still empty
  AddText(t, "\ny");            // no empty line after a long line moved on
  EXPECT_EQ(t.Line(1), "y");
  t.Clear();
  for (int i = 0; i < 11; ++i) AddText(t, std::string(1, static_cast<char>('a' + i)) + "\n");
  EXPECT_TRUE(t.Full());
  EXPECT_EQ(t.UsedLines(), 10);
  EXPECT_EQ(t.Line(9), "j");  // the eleventh line is dropped
}

// --- POCSAG -----------------------------------------------------------------

TEST(Pocsag, NumericDigitsAndCapcodeFromFrame) {
  PocsagUnit u(0x02);  // function code 0 = numeric
  u.Address(6, 1, 0);  // frame 3, address field 1
  u.Digits(7, {1, 2, 3, 12, 13});
  TPOCSAG p(u.bytes, "", {});
  const auto lines = AllLines(p);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "POCSAG NU 0000000011 123 -");
  EXPECT_EQ(lines[1], "");
  EXPECT_FALSE(p.PositionedAtAddress());
}

TEST(Pocsag, AddressCodewordBytes) {
  // Function code 2 is bit 21 alone: the reversed field has bit 21 as its
  // high bit.
  PocsagUnit u(0x20);  // code 2 -> numeric
  u.Address(0, 0, 2);
  EXPECT_EQ(std::vector<uint8_t>(u.Slot(0), u.Slot(0) + 4), (std::vector<uint8_t>{0, 0, 0x08, 0}));
  u.Digits(1, {9, 10, 10, 10, 10});
  TPOCSAG p(u.bytes, "", {});
  EXPECT_EQ(AllLines(p)[0], "POCSAG NU 0000000000 9");
}

TEST(Pocsag, FunctionCodeMapSelectsTheKind) {
  struct Case {
    uint32_t function;
    std::string line;
  };
  // 0xE4: code 3 -> AN, code 2 -> NU, code 1 -> TN, code 0 -> XX.
  const Case cases[] = {
      {0, ""}, {1, ""}, {2, "POCSAG NU 0000000000 00000"}, {3, "POCSAG AN 0000000000 "}};
  for (const auto& c : cases) {
    PocsagUnit u(0xE4);
    u.Address(0, 0, c.function);
    u.Message(1);  // all data bits 0: digits "00000", or the end character
    TPOCSAG p(u.bytes, "", {});
    EXPECT_EQ(AllLines(p)[0], c.line) << c.function;
  }
}

TEST(Pocsag, MessagesBackToBackAndAfterIdle) {
  PocsagUnit u(0x02);
  u.Address(0, 7, 0);  // capcode 56
  u.Digits(1, {5, 10, 10, 10, 10});
  u.Address(2, 2, 0);  // frame 1: capcode 17, right after the message
  u.Digits(3, {6, 10, 10, 10, 10});
  u.Address(9, 0, 0);  // frame 4 after idle codewords: capcode 4
  u.Digits(10, {7, 7, 10, 10, 10});
  TPOCSAG p(u.bytes, "", {});
  const auto lines = AllLines(p);
  EXPECT_EQ(lines, (std::vector<std::string>{"POCSAG NU 0000000056 5", "POCSAG NU 0000000017 6",
                                             "POCSAG NU 0000000004 77", ""}));
}

// The same batch with its idle codewords logged low byte first and in the
// order they are sent.
TEST(Pocsag, IdleCodewordInEitherByteOrder) {
  for (bool sentOrder : {false, true}) {
    PocsagUnit u(0x02);
    if (sentOrder)
      for (int s = 0; s < 16; ++s) {
        uint8_t* w = u.Slot(s);
        w[0] = 0x7A, w[1] = 0x89, w[2] = 0xC1, w[3] = 0x97;
      }
    u.Address(9, 0, 0);  // frame 4 after idle codewords: capcode 4
    u.Digits(10, {7, 7, 10, 10, 10});
    TPOCSAG p(u.bytes, "", {});
    EXPECT_EQ(AllLines(p), (std::vector<std::string>{"POCSAG NU 0000000004 77", ""})) << sentOrder;
  }
}

TEST(Pocsag, BatchWithoutAddressesGivesNoLine) {
  PocsagUnit idle(0x02);
  TPOCSAG a(idle.bytes, "", {});
  EXPECT_EQ(AllLines(a), std::vector<std::string>{""});
  PocsagUnit messagesOnly(0x02);
  for (int s = 0; s < 16; ++s) messagesOnly.Digits(s, {1, 1, 1, 1, 1});
  TPOCSAG b(messagesOnly.bytes, "", {});
  EXPECT_EQ(AllLines(b), std::vector<std::string>{""});
}

// Writes 7-bit characters as one stream over the data bits 2..21 of the
// message codewords starting at slot s.
void PutAlpha(PocsagUnit& u, int s, const std::vector<uint32_t>& chars) {
  const size_t bits = chars.size() * 7;
  for (size_t c = 0; c * 20 < bits; ++c) {
    uint8_t* w = u.Message(s + static_cast<int>(c));
    for (size_t b = 0; b < 20 && c * 20 + b < bits; ++b) {
      const size_t k = c * 20 + b;
      if ((chars[k / 7] >> (k % 7)) & 1u) SetBit(w, 2 + static_cast<int>(b));
    }
  }
}

TEST(Pocsag, AlphanumericDropsLeadingSpacesAndPrintsFirstLineOnly) {
  PocsagUnit u(0xC0);
  u.Address(0, 3, 3);  // capcode 24
  PutAlpha(u, 1, {' ', '\n', ' ', 'H', 'i', ' ', '!', '\n', 'x', 'y', 0});
  TPOCSAG p(u.bytes, "", {});
  EXPECT_EQ(AllLines(p)[0], "POCSAG AN 0000000024 Hi !");
}

TEST(Pocsag, EndOfWordCharacterKeepsAlignment) {
  // Second codeword: the end of 'C', then 3 and 'X' (silenced), then the
  // start of 'Y', which the third codeword completes.
  PocsagUnit u(0xC0);
  u.Address(0, 0, 3);
  PutAlpha(u, 1, {'A', 'B', 'C', 3, 'X', 'Y', 'Z', 0});
  TPOCSAG p(u.bytes, "", {});
  EXPECT_EQ(AllLines(p)[0], "POCSAG AN 0000000000 ABCYZ");
}

TEST(Pocsag, AlphanumericContinuesIntoNextBatchWithCarry) {
  // Batch 1: address in frame 7, then one codeword with 'A', 'B' and the low
  // six bits of 'C' (0x43 -> 000011 = 3).
  PocsagUnit first(0xC0);
  first.Address(14, 5, 3);  // capcode 5 * 8 + 7 = 47
  uint8_t* last = first.Message(15);
  PutRev(last, 2, 7, 'A');
  PutRev(last, 9, 7, 'B');
  PutRev(last, 16, 6, 'C' & 0x3F);
  TPOCSAG p1(first.bytes, "", {});
  const auto lines1 = AllLines(p1);
  ASSERT_EQ(lines1.size(), 1u);
  EXPECT_EQ(lines1[0], "POCSAG AN 0000000047 AB");
  EXPECT_TRUE(p1.PositionedAtAddress());
  EXPECT_EQ(p1.CarryOut().bitsNeeded, 1);
  EXPECT_EQ(p1.CarryOut().bits, 3u);

  // Batch 2 opens with the top bit of 'C', then 'D', 'E' and the end.
  PocsagUnit second(0xC0);
  uint8_t* w = second.Message(0);
  SetBit(w, 2);
  PutRev(w, 3, 7, 'D');
  PutRev(w, 10, 7, 'E');
  TPOCSAG p2(second.bytes, lines1[0], p1.CarryOut());
  const auto lines2 = AllLines(p2);
  EXPECT_EQ(lines2[0], "POCSAG AN 0000000047 ABCDE");
  EXPECT_FALSE(p2.PositionedAtAddress());
  EXPECT_EQ(p2.CarryOut().bitsNeeded, 0);
}

TEST(Pocsag, ContinuationWithoutFurtherCodewordsRepeatsNothing) {
  PocsagUnit u(0x02);
  u.Address(0, 1, 0);  // capcode 8
  u.Digits(1, {4, 2, 10, 10, 10});
  TPOCSAG p(u.bytes, "POCSAG NU 0000000099 123", {});
  EXPECT_EQ(AllLines(p), (std::vector<std::string>{"", "POCSAG NU 0000000008 42", ""}));
}

TEST(Pocsag, NumericContinuation) {
  PocsagUnit u(0x02);
  u.Digits(0, {4, 5, 10, 10, 10});
  TPOCSAG p(u.bytes, "POCSAG NU 0000000099 123", {});
  EXPECT_EQ(AllLines(p)[0], "POCSAG NU 0000000099 12345");
}

// --- FLEX -------------------------------------------------------------------

TEST(Flex, ShortAddressNumeric) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 2);
  PutRev(f.Word(0, 1), 1, 21, 32769);
  f.Vector(0, 2, 3, 3, 0);
  uint8_t* m = f.Word(0, 3);
  PutRev(m, 3, 4, 1), PutRev(m, 7, 4, 2), PutRev(m, 11, 4, 3), PutRev(m, 15, 4, 13);
  EXPECT_EQ(FlexDecode(f.Bytes()), std::vector<std::string>{"FLEX   NS 0000000001 123-"});
}

TEST(Flex, NumberedNumericStartsAtBit11AndDigitsStraddleWords) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 2);
  PutRev(f.Word(0, 1), 1, 21, 32768 + 500);
  f.Vector(0, 2, 7, 3, 1);  // two message words
  uint8_t* a = f.Word(0, 3);
  PutRev(a, 1, 10, 0x3FF);  // message number fields: no digits
  PutRev(a, 11, 4, 9), PutRev(a, 15, 4, 8);
  PutRev(a, 19, 3, 14 & 7);  // ']' = 14: low three bits here ...
  uint8_t* b = f.Word(0, 4);
  PutRev(b, 1, 1, 14 >> 3);  // ... top bit in the next word
  PutRev(b, 2, 4, 5), PutRev(b, 6, 4, 4), PutRev(b, 10, 4, 3), PutRev(b, 14, 4, 2);
  PutRev(b, 18, 4, 10);
  EXPECT_EQ(FlexDecode(f.Bytes()), std::vector<std::string>{"FLEX   NN 0000000500 98]5432"});
}

TEST(Flex, LongAddressAlphanumeric) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 3);
  PutRev(f.Word(0, 1), 1, 21, 1);
  PutRev(f.Word(0, 2), 1, 21, ~2u & 0x1FFFFF);  // b = 2, sent inverted
  f.Vector(0, 3, 5, 5, 1);
  f.Chars(0, 5, 'O', 'K', 3);
  // 2 * 32768 + 1 + 2068480
  EXPECT_EQ(FlexDecode(f.Bytes()), std::vector<std::string>{"FLEX   AN 0002134017 OK"});
}

TEST(Flex, LongAddressNumericTakesWordTwoFromSecondVectorWord) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 3);
  PutRev(f.Word(0, 1), 1, 21, 0x1E0001);
  PutRev(f.Word(0, 2), 1, 21, 0x1FFFFF);  // b = 0
  f.Vector(0, 3, 3, 5, 2);                // three message words from word 5
  uint8_t* v2 = f.Word(0, 4);             // message word 2
  PutRev(v2, 1, 4, 13), PutRev(v2, 5, 4, 12), PutRev(v2, 9, 4, 0), PutRev(v2, 13, 4, 0);
  PutRev(v2, 17, 4, 13);
  uint8_t* m0 = f.Word(0, 5);
  PutRev(m0, 3, 4, 1), PutRev(m0, 7, 4, 2), PutRev(m0, 11, 4, 3), PutRev(m0, 15, 4, 4);
  PutRev(m0, 19, 3, 10 & 7);
  uint8_t* m1 = f.Word(0, 6);
  PutRev(m1, 1, 1, 10 >> 3);
  for (int i = 0; i < 5; ++i) PutRev(m1, 2 + 4 * i, 4, static_cast<uint32_t>(5 + i));
  for (int i = 0; i < 5; ++i) PutRev(f.Word(0, 7), 1 + 4 * i, 4, 9);  // never read
  // 0 * 32768 + 0x1E0001 + 2068480 = 4034561
  EXPECT_EQ(FlexDecode(f.Bytes()), std::vector<std::string>{"FLEX   NS 0004034561 123456789- 00-"});
}

TEST(Flex, EachAddressFindsItsOwnVector) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 5);                     // addresses in words 1..4
  PutRev(f.Word(0, 1), 1, 21, 32768 + 10);  // short, vector 5
  PutRev(f.Word(0, 2), 1, 21, 32768);       // long, vectors 6 and 7
  PutRev(f.Word(0, 3), 1, 21, 0x1FFFFF);    // b = 0
  PutRev(f.Word(0, 4), 1, 21, 32768 + 30);  // short, vector 8
  f.Vector(0, 5, 5, 9, 1);
  f.Vector(0, 6, 5, 10, 1);
  f.Vector(0, 8, 3, 11, 0);
  f.Chars(0, 9, 'A', '1', 0);
  f.Chars(0, 10, 'B', '2', 0);
  PutRev(f.Word(0, 11), 3, 4, 7);
  PutRev(f.Word(0, 11), 7, 16, 0xAAAA);  // fill digits
  EXPECT_EQ(FlexDecode(f.Bytes()),
            (std::vector<std::string>{"FLEX   AN 0000000010 A1", "FLEX   AN 0002101248 B2",
                                      "FLEX   NS 0000000030 7"}));
}

TEST(Flex, AlphanumericOverEightyContinuesIndented) {
  std::string text;
  for (int i = 0; i < 90; ++i) text.push_back(static_cast<char>('A' + i % 26));
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 2);
  PutRev(f.Word(0, 1), 1, 21, 32769);
  f.Vector(0, 2, 5, 3, 30);
  for (int w = 0; w < 30; ++w)
    f.Chars(0, 3 + w, static_cast<uint8_t>(text[3 * w]), static_cast<uint8_t>(text[3 * w + 1]),
            static_cast<uint8_t>(text[3 * w + 2]));
  EXPECT_EQ(FlexDecode(f.Bytes()),
            std::vector<std::string>{"FLEX   AN 0000000001 " + text.substr(0, 81) + kIndent +
                                     text.substr(81)});
}

TEST(Flex, AlphanumericTextRules) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 2);
  PutRev(f.Word(0, 1), 1, 21, 32769);
  f.Vector(0, 2, 5, 3, 5);
  f.Chars(0, 3, ' ', '\n', ' ');
  f.Chars(0, 4, 'H', 'i', '\n');
  f.Chars(0, 5, 'A', 3, 'B');  // 3 ends this word's text
  f.Chars(0, 6, 'C', 0, 127);  // ignored values
  f.Chars(0, 7, '\n', 0, 0);   // a line feed at the end leaves no empty line
  EXPECT_EQ(FlexDecode(f.Bytes()),
            std::vector<std::string>{"FLEX   AN 0000000001 Hi" + kIndent + "AC"});
}

TEST(Flex, OtherVectorTypesAndAddressZeroPrintNothing) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 4);
  PutRev(f.Word(0, 1), 1, 21, 32769);
  PutRev(f.Word(0, 2), 1, 21, 0);
  PutRev(f.Word(0, 3), 1, 21, 32770);
  f.Vector(0, 4, 2, 0, 0);  // tone only
  f.Vector(0, 5, 5, 0, 0);
  f.Vector(0, 6, 6, 0, 0);
  TFLEX flex(f.Bytes(), 88 * 4, 1);
  EXPECT_EQ(FlexLines(flex, 0), (std::vector<std::string>{"", "", ""}));
}

TEST(Flex, SpeedTypeSelectsPhaseCount) {
  struct Case {
    uint8_t speed;
    int previous;
    int phases;
  };
  const Case cases[] = {{4, 1, 2}, {6, 4, 2},  {8, 1, 4}, {0, 4, 4}, {0, 2, 2},
                        {0, 9, 1}, {0, -1, 1}, {1, 4, 1}, {2, 2, 1}, {255, 4, 1}};
  for (const auto& c : cases) {
    std::vector<uint8_t> unit(18, 0);
    unit[4] = c.speed;
    TFLEX f(unit, 0, c.previous);
    EXPECT_EQ(f.PhaseCount(), c.phases) << int(c.speed) << " " << c.previous;
  }
}

TEST(Flex, WordsAreInterleavedAcrossPhases) {
  for (int phases : {2, 4}) {
    FlexFrame f(phases, phases == 2 ? 4 : 8);
    const int last = phases - 1;
    f.BlockInfo(last, 0, 2);
    PutRev(f.Word(last, 1), 1, 21, 32768 + 77);
    f.Vector(last, 2, 5, 3, 1);
    f.Chars(last, 3, 'o', 'k', 3);
    const auto unit = f.Bytes();
    // Phase 'last' word 1 is data word phases + last.
    EXPECT_NE(unit[18 + 4 * static_cast<size_t>(phases + last) + 1], 0);
    TFLEX flex(unit, static_cast<int>(unit.size() - 18), 1);
    ASSERT_EQ(flex.PhaseCount(), phases);
    for (int p = 0; p < last; ++p) EXPECT_TRUE(FlexLines(flex, p).empty());
    EXPECT_EQ(FlexLines(flex, last), std::vector<std::string>{"FLEX   AN 0000000077 ok"});
  }
}

TEST(Flex, DateAndTimeWordsAreStored) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 2, 4);
  uint8_t* d = f.Word(0, 1);
  PutRev(d, 5, 3, 1), PutRev(d, 18, 4, 9), PutRev(d, 13, 5, 31), PutRev(d, 8, 5, 12);
  uint8_t* t = f.Word(0, 2);
  PutRev(t, 5, 3, 2), PutRev(t, 19, 3, 7), PutRev(t, 13, 6, 59), PutRev(t, 8, 5, 23);
  PutRev(f.Word(0, 3), 1, 21, 32768 + 5);  // the address follows the block information
  f.Vector(0, 4, 5, 5, 1);
  f.Chars(0, 5, 'x', 3, 0);
  TFLEX flex(f.Bytes(), 352, 1);
  EXPECT_EQ(flex.EndOfBlockInfo(0), 2);
  EXPECT_EQ(flex.VectorStart(0), 4);
  ASSERT_TRUE(flex.FrameDate().present);
  EXPECT_EQ(flex.FrameDate().year, 9);
  EXPECT_EQ(flex.FrameDate().month, 12);
  EXPECT_EQ(flex.FrameDate().day, 31);
  ASSERT_TRUE(flex.FrameTime().present);
  EXPECT_EQ(flex.FrameTime().hours, 23);
  EXPECT_EQ(flex.FrameTime().minutes, 59);
  EXPECT_EQ(flex.FrameTime().seconds, 7);
  EXPECT_EQ(FlexLines(flex, 0), std::vector<std::string>{"FLEX   AN 0000000005 x"});
}

TEST(Flex, VectorsPastThePhaseAreCut) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 63);  // addresses in words 1..62, vectors from 63
  for (int i = 1; i < 63; ++i) PutRev(f.Word(0, i), 1, 21, 32768 + static_cast<uint32_t>(i));
  for (int v = 63; v < 88; ++v) f.Vector(0, v, 5, 0, 0);
  TFLEX flex(f.Bytes(), 352, 1);
  const auto lines = FlexLines(flex, 0);
  ASSERT_EQ(lines.size(), 62u);
  EXPECT_EQ(lines[0], "FLEX   AN 0000000001 ");
  EXPECT_EQ(lines[24], "FLEX   AN 0000000025 ");
  for (size_t i = 25; i < lines.size(); ++i) EXPECT_EQ(lines[i], "") << i;  // vector past 87
}

TEST(Flex, MessagePastWord87IsCutKeepingItsText) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 2);
  PutRev(f.Word(0, 1), 1, 21, 32769);
  f.Vector(0, 2, 5, 86, 5);  // five words from 86: only 86 and 87 exist
  f.Chars(0, 86, 'a', 'b', 'c');
  f.Chars(0, 87, 'd', 'e', 'f');
  EXPECT_EQ(FlexDecode(f.Bytes()), std::vector<std::string>{"FLEX   AN 0000000001 abcdef"});
}

TEST(Flex, ByteCountLimitsTheWordsRead) {
  FlexFrame f(1, 1);
  f.BlockInfo(0, 0, 2);
  PutRev(f.Word(0, 1), 1, 21, 32769);
  f.Vector(0, 2, 5, 3, 1);
  f.Chars(0, 3, 'o', 'k', 3);
  const auto unit = f.Bytes();
  TFLEX full(unit, 16, 1);
  EXPECT_EQ(FlexLines(full, 0), std::vector<std::string>{"FLEX   AN 0000000001 ok"});
  TFLEX cut(unit, 15, 1);  // the message word is not wholly counted
  EXPECT_EQ(FlexLines(cut, 0), std::vector<std::string>{"FLEX   AN 0000000001 "});
}

// --- encoder ----------------------------------------------------------------

TEST(PagingEncoder, CheckBitsMatchKnownCodewords) {
  // The POCSAG idle and synchronisation codewords are valid codewords.
  EXPECT_EQ(synth::PagingCodeword(0x7A89C197u >> 11), 0x7A89C197u);
  EXPECT_EQ(synth::PagingCodeword(0x7CD215D8u >> 11), 0x7CD215D8u);
}

TEST(PagingEncoder, PocsagUnitLayout) {
  const auto units = synth::EncodePocsagBatches({{11, PagingKind::kNumeric, "123 -"}}, 2400);
  ASSERT_EQ(units.size(), 1u);
  const auto& u = units[0];
  ASSERT_EQ(u.size(), 79u);
  EXPECT_EQ(u[0], 79);
  EXPECT_EQ(u[3], 0xC6);
  EXPECT_EQ(u[5] | (u[6] << 8), 2400);
  const std::vector<uint8_t> idle = {0x97, 0xC1, 0x89, 0x7A};
  for (int s : {0, 1, 2, 3, 4, 5, 8, 15})
    EXPECT_EQ(std::vector<uint8_t>(u.begin() + 13 + 4 * s, u.begin() + 17 + 4 * s), idle) << s;
  // Frame 3 address codeword: address field 1 is bit 19.
  EXPECT_EQ(u[13 + 24], 0);
  EXPECT_EQ(u[13 + 25], 0);
  EXPECT_EQ(u[13 + 26] & 0xF8, 0x20);
  // Message codeword: flag bit, digit 1 from bit 2, digit 2 from bit 6.
  EXPECT_EQ(u[13 + 28], 0xC2);
}

TEST(PagingEncoder, PocsagAddressWaitsForItsFrame) {
  const auto units = synth::EncodePocsagBatches(
      {{8 * 3 + 5, PagingKind::kTone, ""}, {8 * 9 + 2, PagingKind::kTone, ""}});
  ASSERT_EQ(units.size(), 2u);                 // frame 2 comes round again in the next batch
  EXPECT_EQ(units[0][13 + 4 * 10] & 0x80, 0);  // frame 5 codeword 0: an address
  EXPECT_EQ(units[1][13 + 4 * 4] & 0x80, 0);   // frame 2 of batch 2
}

TEST(PagingEncoder, FlexHeaderAndPlacementLimits) {
  const auto unit = synth::EncodeFlexFrame({{1, PagingKind::kTone, ""}}, 8);
  ASSERT_EQ(unit.size(), 18u + 4 * 88 * 4);
  EXPECT_EQ(unit[0] | (unit[1] << 8), 4 * 88 * 4);
  EXPECT_EQ(unit[4], 8);
  size_t placed = 99;
  synth::EncodeFlexFrame({{2000000, PagingKind::kNumeric, "1"}}, 1, &placed);
  EXPECT_EQ(placed, 0u);  // between the short and long address ranges
  synth::EncodeFlexFrame({{5, PagingKind::kNumeric, std::string(42, '1')}}, 1, &placed);
  EXPECT_EQ(placed, 0u);
  // A long address with two alphanumeric words takes 6 words: 14 fit beside
  // the block information word (1 + 14 * 6 = 85 of 88).
  std::vector<PagingMessage> many(40, {3000000, PagingKind::kAlphanumeric, "hello"});
  synth::EncodeFlexFrame(many, 1, &placed);
  EXPECT_EQ(placed, 14u);
  synth::EncodeFlexFrame(many, 8, &placed);
  EXPECT_EQ(placed, 40u);
}

// --- round trips ------------------------------------------------------------

std::string RandomText(std::mt19937& rng, const std::string& alphabet, size_t minLen,
                       size_t maxLen) {
  std::uniform_int_distribution<size_t> len(minLen, maxLen);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::string s(len(rng), ' ');
  for (auto& c : s) c = alphabet[pick(rng)];
  return s;
}

std::string AlphaAlphabet() {
  std::string a = " ";
  for (char c = 33; c <= 126; ++c) a.push_back(c);
  return a;
}

PagingKind RandomKind(std::mt19937& rng) {
  const int k = std::uniform_int_distribution<int>(0, 4)(rng);
  return k < 2 ? PagingKind::kNumeric : k < 4 ? PagingKind::kAlphanumeric : PagingKind::kTone;
}

std::string FirstCharPrintable(std::string s) {
  if (!s.empty() && s[0] == ' ') s[0] = '#';
  return s;
}

// Decodes batches as the Zev reader does: a message left open at the end of
// a batch continues in the next one; its partial line is superseded.
std::vector<std::string> PocsagDecode(const std::vector<std::vector<uint8_t>>& units) {
  std::vector<std::string> lines;
  std::string continuation;
  TPOCSAG::Carry carry;
  for (const auto& unit : units) {
    TPOCSAG p(unit, continuation, carry);
    std::vector<std::string> batch = AllLines(p);
    const bool wasContinuing = !continuation.empty();
    continuation.clear();
    carry = {};
    if (wasContinuing && !batch[0].empty()) lines.pop_back();
    std::string last;
    for (auto& l : batch)
      if (!l.empty()) lines.push_back(l), last = l;
    if (p.PositionedAtAddress()) {
      continuation = batch.back();
      carry = p.CarryOut();
      EXPECT_EQ(batch.back(), last);
    }
  }
  return lines;
}

TEST(PagingRoundTrip, PocsagMessagesComeBackIncludingSplitOnes) {
  std::mt19937 rng(7);
  std::vector<PagingMessage> messages;
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    PagingMessage m;
    m.capcode = std::uniform_int_distribution<uint32_t>(0, 0x1FFFFF)(rng);
    m.kind = RandomKind(rng);
    if (m.kind == PagingKind::kNumeric) m.text = RandomText(rng, "0123456789U -][", 0, 40);
    if (m.kind == PagingKind::kAlphanumeric)
      m.text = FirstCharPrintable(RandomText(rng, AlphaAlphabet(), 1, 130));
    messages.push_back(m);
    if (m.kind == PagingKind::kTone) continue;
    std::string line = m.kind == PagingKind::kNumeric ? "POCSAG NU " : "POCSAG AN ";
    const std::string cap = std::to_string(m.capcode);
    line += std::string(10 - cap.size(), '0') + cap + " " + m.text.substr(0, 81);
    expected.push_back(line);
  }
  const auto units = synth::EncodePocsagBatches(messages);
  EXPECT_GT(units.size(), 100u);
  EXPECT_EQ(PocsagDecode(units), expected);
}

std::string FlexExpected(const PagingMessage& m) {
  const std::string cap = std::to_string(m.capcode);
  std::string line = m.kind == PagingKind::kNumeric ? "FLEX   NS " : "FLEX   AN ";
  line += std::string(10 - cap.size(), '0') + cap + " " + m.text.substr(0, 81);
  for (size_t i = 81; i < m.text.size(); i += 81) line += kIndent + m.text.substr(i, 81);
  return line;
}

TEST(PagingRoundTrip, FlexMessagesForEveryPhaseCount) {
  for (int speed : {1, 4, 6, 8}) {
    std::mt19937 rng(static_cast<uint32_t>(speed));
    std::vector<PagingMessage> messages;
    for (int i = 0; i < 120; ++i) {
      PagingMessage m;
      const bool isLong = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
      m.capcode = isLong ? std::uniform_int_distribution<uint32_t>(2068481, 4000000000u)(rng)
                         : std::uniform_int_distribution<uint32_t>(1, 1933312)(rng);
      m.kind = RandomKind(rng);
      if (m.kind == PagingKind::kNumeric) m.text = RandomText(rng, "0123456789U -][", 0, 41);
      if (m.kind == PagingKind::kAlphanumeric)
        m.text = FirstCharPrintable(RandomText(rng, AlphaAlphabet(), 1, 200));
      messages.push_back(m);
    }
    size_t next = 0;
    int frames = 0;
    while (next < messages.size() && frames < 200) {
      const std::vector<PagingMessage> rest(messages.begin() + static_cast<long>(next),
                                            messages.end());
      size_t placed = 0;
      const auto unit = synth::EncodeFlexFrame(rest, speed, &placed);
      ASSERT_GT(placed, 0u);
      std::vector<std::string> expected;
      for (size_t i = 0; i < placed; ++i)
        if (rest[i].kind != PagingKind::kTone) expected.push_back(FlexExpected(rest[i]));
      EXPECT_EQ(FlexDecode(unit), expected) << "speed " << speed << " frame " << frames;
      next += placed;
      ++frames;
    }
    EXPECT_EQ(next, messages.size());
  }
}

TEST(PagingRoundTrip, FlexSpeedZeroKeepsPreviousCount) {
  const auto unit = synth::EncodeFlexFrame({{1234, PagingKind::kNumeric, "42"}}, 0);
  EXPECT_EQ(FlexDecode(unit, 1), std::vector<std::string>{"FLEX   NS 0000001234 42"});
}

// --- damaged input ----------------------------------------------------------

TEST(PagingRobustness, RandomAndTruncatedPocsagUnits) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> byte(0, 255);
  auto check = [](const std::vector<uint8_t>& unit, const std::string& cont, TPOCSAG::Carry c) {
    TPOCSAG p(unit, cont, c);
    std::string out;
    int calls = 0;
    while (!p.FormatNext(out)) {
      ASSERT_LE(out.size(), cont.size() + 21 + 255);
      ASSERT_LT(++calls, 17);
    }
    const auto carry = p.CarryOut();
    EXPECT_TRUE(carry.bitsNeeded >= 0 && carry.bitsNeeded <= 7);
  };
  for (int i = 0; i < 2000; ++i) {
    std::vector<uint8_t> unit(static_cast<size_t>(std::uniform_int_distribution<int>(0, 100)(rng)));
    for (auto& b : unit) b = static_cast<uint8_t>(byte(rng));
    std::string cont;
    if (i % 3 == 0) cont = RandomText(rng, AlphaAlphabet(), 0, 300);
    if (i % 7 == 0) cont = "POCSAG AN 0000000001 " + cont;
    const TPOCSAG::Carry carry{std::uniform_int_distribution<int>(-5, 12)(rng),
                               static_cast<uint32_t>(rng())};
    check(unit, cont, carry);
  }
  const auto units = synth::EncodePocsagBatches(
      {{11, PagingKind::kAlphanumeric, "truncated units read as idle codewords"}});
  for (size_t n = 0; n <= units[0].size(); ++n)
    check(std::vector<uint8_t>(units[0].begin(), units[0].begin() + static_cast<long>(n)), "", {});
}

TEST(PagingRobustness, RandomAndExtremeFlexFrames) {
  std::mt19937 rng(13);
  std::uniform_int_distribution<int> byte(0, 255);
  auto check = [](const std::vector<uint8_t>& unit, int count, int phases) {
    TFLEX f(unit, count, phases);
    ASSERT_GE(f.PhaseCount(), 1);
    ASSERT_LE(f.PhaseCount(), 4);
    std::string out;
    for (int p = -1; p < 6; ++p) {
      f.ResetPhase(p);
      int calls = 0;
      while (f.FormatNext(p, out) == 0) {
        ASSERT_LE(out.size(), 21u + 10 * (255 + 22));
        ASSERT_LT(++calls, 89);
      }
    }
  };
  for (int i = 0; i < 500; ++i) {
    std::vector<uint8_t> unit(
        static_cast<size_t>(std::uniform_int_distribution<int>(0, 1500)(rng)));
    for (auto& b : unit) b = static_cast<uint8_t>(byte(rng));
    if (unit.size() > 4 && i % 2 == 0)
      unit[4] = static_cast<uint8_t>(std::array{0, 1, 4, 8}[i % 4]);
    const int counts[] = {-70000, -1, 0, 17, static_cast<int>(unit.size()), 70000};
    check(unit, counts[i % 6], std::uniform_int_distribution<int>(-3, 9)(rng));
  }
  for (int fill : {0x00, 0xFF, 0xAA, 0x55}) {
    std::vector<uint8_t> unit(18 + 88 * 4 * 4, static_cast<uint8_t>(fill));
    unit[4] = 8;
    check(unit, 88 * 4 * 4, 4);
  }
  const auto good = synth::EncodeFlexFrame({{99, PagingKind::kAlphanumeric, "cut short"}}, 4);
  for (size_t n = 0; n <= good.size(); n += 7)
    check(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n)), 70000, 2);
}

}  // namespace
}  // namespace morphel
