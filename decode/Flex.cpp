#include "decode/Flex.h"

#include <algorithm>
#include <string_view>

#include "core/Bytes.h"
#include "core/Fmt.h"

namespace morphel {

using paging::Codeword;
using paging::ReversedField;
using paging::TextLines;

namespace {

// Block information word fields (reversed fields: start bit, width).
constexpr int kPriorityStart = 5, kPriorityWidth = 4;
constexpr int kEndBlockStart = 9, kEndBlockWidth = 2;
constexpr int kVectorStartStart = 11, kVectorStartWidth = 6;
constexpr int kBlockInfoTypeStart = 5, kBlockInfoTypeWidth = 3;
constexpr uint32_t kBlockInfoDate = 1;
constexpr uint32_t kBlockInfoTime = 2;

// Address words.
constexpr int kAddressStart = 1, kAddressWidth = 21;
constexpr uint32_t kAddressMask = 0x1FFFFF;
constexpr uint32_t kShortAddressOffset = 32768;
constexpr unsigned long kLongAddressBase = 0x1F9000;  // 2068480

bool IsLongAddress(uint32_t a) {
  return (a >= 1 && a <= 32768) || (a >= 0x1E0001 && a <= 0x1F0000) ||
         (a >= 0x1F7FFF && a <= 0x1FFFFE);
}

// Vector words.
constexpr int kVectorTypeStart = 5, kVectorTypeWidth = 3;
constexpr uint32_t kVectorNumeric = 3;
constexpr uint32_t kVectorAlpha = 5;
constexpr uint32_t kVectorNumberedNumeric = 7;
constexpr int kMessageStartStart = 8, kMessageStartWidth = 7;
constexpr int kNumericLengthStart = 15, kNumericLengthWidth = 3;
constexpr int kAlphaLengthStart = 15, kAlphaLengthWidth = 7;
// Numeric digits run through bit 21 of each message word; the first word
// starts later, after the fields a message header carries there.
constexpr int kNumericFirstBit = 3;
constexpr int kNumberedNumericFirstBit = 11;
constexpr int kDataLastBit = 21;
constexpr int kDigitWidth = 4;
// For a long address, this message word comes from the second vector word.
constexpr int kLongNumericWordFromVector = 2;
constexpr std::array<int, 3> kAlphaCharStarts = {1, 8, 15};
constexpr int kCharWidth = 7;

constexpr std::string_view kContinuationIndent = "\n                     ";  // 21 spaces

int PhasesForSpeed(int speedType, int previous) {
  switch (speedType) {
    case 4:
    case 6:
      return 2;
    case 8:
      return 4;
    case 0:
      return previous >= 1 && previous <= TFLEX::kMaxPhases ? previous : 1;
    default:
      return 1;
  }
}

int Field(const Codeword& w, int s, int width) {
  return static_cast<int>(ReversedField(w, s, width));
}

}  // namespace

TFLEX::TFLEX(std::span<const uint8_t> unit, int byteCount, int phaseCount) {
  ByteCursor in(unit);
  phaseCount_ = PhasesForSpeed(in.u8(kSpeedTypeOffset), phaseCount);
  const size_t present = unit.size() > kHeaderSize ? unit.size() - kHeaderSize : 0;
  const size_t wanted = byteCount > 0 ? static_cast<size_t>(byteCount) : 0;
  const size_t dataBytes = std::min(present, wanted);
  const size_t phases = static_cast<size_t>(phaseCount_);
  const size_t words = std::min(dataBytes / kWordBytes, kWordsPerPhase * phases);
  for (size_t i = 0; i < words; ++i) {
    Codeword& w = phases_[i % phases].words[i / phases];
    for (size_t b = 0; b < kWordBytes; ++b) w[b] = in.u8(kHeaderSize + i * kWordBytes + b);
  }
  for (size_t p = 0; p < phases; ++p) {
    Phase& ph = phases_[p];
    const Codeword& biw = ph.words[0];
    ph.priorityCount = Field(biw, kPriorityStart, kPriorityWidth);
    ph.endOfBlockInfo = Field(biw, kEndBlockStart, kEndBlockWidth);
    ph.vectorStart = Field(biw, kVectorStartStart, kVectorStartWidth);
    ReadBlockInfo(ph);
  }
}

// Block information words 1 .. end of block information: date and time.
void TFLEX::ReadBlockInfo(const Phase& p) {
  for (int i = 1; i <= p.endOfBlockInfo; ++i) {
    const Codeword& w = p.words[static_cast<size_t>(i)];
    const uint32_t type = ReversedField(w, kBlockInfoTypeStart, kBlockInfoTypeWidth);
    if (type == kBlockInfoDate) {
      date_ = {true, Field(w, 18, 4), Field(w, 8, 5), Field(w, 13, 5)};
    } else if (type == kBlockInfoTime) {
      time_ = {true, Field(w, 8, 5), Field(w, 13, 6), Field(w, 19, 3)};
    }
  }
}

const TFLEX::Phase* TFLEX::PhaseAt(int phase) const {
  if (phase < 0 || phase >= phaseCount_) return nullptr;
  return &phases_[static_cast<size_t>(phase)];
}

int TFLEX::PriorityAddressCount(int phase) const {
  const Phase* p = PhaseAt(phase);
  return p ? p->priorityCount : 0;
}
int TFLEX::EndOfBlockInfo(int phase) const {
  const Phase* p = PhaseAt(phase);
  return p ? p->endOfBlockInfo : 0;
}
int TFLEX::VectorStart(int phase) const {
  const Phase* p = PhaseAt(phase);
  return p ? p->vectorStart : 0;
}

void TFLEX::ResetPhase(int phase) {
  if (phase >= 0 && phase < kMaxPhases) phases_[static_cast<size_t>(phase)].counter = 0;
}

int TFLEX::FormatNext(int phase, std::string& out) {
  out.clear();
  if (phase < 0 || phase >= phaseCount_) return 1;
  Phase& p = phases_[static_cast<size_t>(phase)];
  const int fieldEnd = std::min(p.vectorStart, kWordsPerPhase);
  const int addressPos = p.endOfBlockInfo + 1 + p.counter;
  if (addressPos >= fieldEnd) return 1;

  const auto word = [&p](int i) -> const Codeword& { return p.words[static_cast<size_t>(i)]; };
  const uint32_t a = ReversedField(word(addressPos), kAddressStart, kAddressWidth);
  const bool isLong = IsLongAddress(a);
  const int vectorPos = p.vectorStart + p.counter;
  p.counter += isLong ? 2 : 1;
  unsigned long capcode = 0;
  if (isLong) {
    // The second word of a long address is cut off by the vector field.
    if (addressPos + 1 >= fieldEnd) return 0;
    const uint32_t b =
        ReversedField(word(addressPos + 1), kAddressStart, kAddressWidth) ^ kAddressMask;
    capcode = static_cast<unsigned long>(b) * 32768UL + a + kLongAddressBase;
  } else {
    // Address 0 is no pager's address (it would give a negative capcode).
    if (a <= kShortAddressOffset) return 0;
    capcode = a - kShortAddressOffset;
  }
  if (vectorPos < kWordsPerPhase) FormatVector(p, vectorPos, isLong, capcode, out);
  return 0;
}

void TFLEX::FormatVector(const Phase& p, int vectorPos, bool isLong, unsigned long capcode,
                         std::string& out) const {
  const auto word = [&p](int i) -> const Codeword& { return p.words[static_cast<size_t>(i)]; };
  const Codeword& vector = word(vectorPos);
  const uint32_t type = ReversedField(vector, kVectorTypeStart, kVectorTypeWidth);
  const int start = Field(vector, kMessageStartStart, kMessageStartWidth);
  TextLines text;
  std::string_view code;
  if (type == kVectorNumeric || type == kVectorNumberedNumeric) {
    code = type == kVectorNumeric ? "NS" : "NN";
    const int length = Field(vector, kNumericLengthStart, kNumericLengthWidth) + 1;
    // Digits are a bit stream, low bit first, that runs on across words.
    uint32_t digit = 0;
    int digitBits = 0;
    for (int j = 0; j < length; ++j) {
      const int pos = isLong && j == kLongNumericWordFromVector ? vectorPos + 1 : start + j;
      if (pos >= kWordsPerPhase) break;
      int bit = j > 0 ? 1 : (type == kVectorNumeric ? kNumericFirstBit : kNumberedNumericFirstBit);
      for (; bit <= kDataLastBit; ++bit) {
        digit |= paging::CodewordBit(word(pos), bit) << digitBits;
        if (++digitBits == kDigitWidth) {
          text.AddNumeric(digit);
          digit = 0;
          digitBits = 0;
        }
      }
    }
  } else if (type == kVectorAlpha) {
    code = "AN";
    const int length = Field(vector, kAlphaLengthStart, kAlphaLengthWidth);
    for (int j = 0; j < length && start + j < kWordsPerPhase; ++j) {
      for (int s : kAlphaCharStarts) {
        if (text.AddAlpha(ReversedField(word(start + j), s, kCharWidth)) ==
            TextLines::Alpha::kEndWord)
          break;
      }
    }
  } else {
    return;
  }
  out.append("FLEX   ");
  text::s2_2(out, code);
  out.push_back(' ');
  text::u010(out, capcode);
  out.push_back(' ');
  out.append(text.Line(0));
  const int used = text.UsedLines();
  for (int i = 1; i < used; ++i) {
    out.append(kContinuationIndent);
    out.append(text.Line(i));
  }
}

}  // namespace morphel
