#include "synth/PagingEncoder.h"

#include <array>
#include <optional>

#include "core/Bytes.h"

namespace morphel::synth {

namespace {

// Codeword images: bit 1 is the top bit of a 32-bit value, which is stored
// big-endian, so bit 1 is the top bit of the first byte.
void SetBit(uint32_t& word, int n, uint32_t value) {
  if (value & 1u) word |= 1u << (32 - n);
}
// Value with its lowest bit at bit s (characters and digits go low bit first).
void PutReversed(uint32_t& word, int s, int width, uint32_t value) {
  for (int i = 0; i < width; ++i) SetBit(word, s + i, value >> i);
}
// Value with its highest bit at bit s.
void PutStraight(uint32_t& word, int s, int width, uint32_t value) {
  for (int i = 0; i < width; ++i) SetBit(word, s + i, value >> (width - 1 - i));
}
// Completes a word whose bits 1..21 are set with its check bits.
uint32_t Finish(uint32_t word) {
  return PagingCodeword(word >> 11);
}

std::optional<uint32_t> DigitOf(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
  switch (c) {
    case 'U':
      return 11;
    case ' ':
      return 12;
    case '-':
      return 13;
    case ']':
      return 14;
    case '[':
      return 15;
    default:
      return std::nullopt;
  }
}
constexpr uint32_t kFillDigit = 10;  // a digit that shows nothing

std::vector<uint32_t> Digits(const std::string& text) {
  std::vector<uint32_t> digits;
  for (char c : text)
    if (auto d = DigitOf(c)) digits.push_back(*d);
  return digits;
}

// --- POCSAG ---

constexpr size_t kPocsagFirstCodeword = 13;
constexpr size_t kPocsagFunctionMapOffset = 3;
constexpr size_t kPocsagBaudOffset = 5;
constexpr size_t kPocsagCodewords = 16;
constexpr uint32_t kPocsagIdle = 0x7A89C197;  // as the 4 bytes read little-endian
constexpr int kPocsagDataStart = 2;
constexpr int kPocsagDataBits = 20;
constexpr int kCharBits = 7;

uint32_t PocsagFunction(PagingKind kind) {
  switch (kind) {
    case PagingKind::kNumeric:
      return 0;
    case PagingKind::kTone:
      return 1;
    case PagingKind::kAlphanumeric:
      return 3;
  }
  return 1;
}

// Message codewords of one POCSAG message (flag bit and data bits only).
std::vector<uint32_t> PocsagMessageWords(const PagingMessage& m) {
  std::vector<uint32_t> words;
  if (m.kind == PagingKind::kNumeric) {
    const std::vector<uint32_t> digits = Digits(m.text);
    for (size_t i = 0; i < digits.size(); i += 5) {
      uint32_t w = 0;
      SetBit(w, 1, 1);
      for (size_t k = 0; k < 5; ++k) {
        const uint32_t d = i + k < digits.size() ? digits[i + k] : kFillDigit;
        PutReversed(w, kPocsagDataStart + 4 * static_cast<int>(k), 4, d);
      }
      words.push_back(w);
    }
  } else if (m.kind == PagingKind::kAlphanumeric) {
    // The 7-bit characters form one stream, low bit first, 20 bits per
    // codeword; zero bits after the text end the message.
    const size_t bits = m.text.size() * kCharBits;
    const size_t count = (bits + kPocsagDataBits - 1) / kPocsagDataBits;
    for (size_t c = 0; c < count; ++c) {
      uint32_t w = 0;
      SetBit(w, 1, 1);
      for (int b = 0; b < kPocsagDataBits; ++b) {
        const size_t k = c * kPocsagDataBits + static_cast<size_t>(b);
        if (k >= bits) break;
        const auto ch = static_cast<uint8_t>(m.text[k / kCharBits]);
        SetBit(w, kPocsagDataStart + b, ch >> (k % kCharBits));
      }
      words.push_back(w);
    }
  }
  return words;
}

// --- FLEX ---

constexpr size_t kFlexSpeedTypeOffset = 4;
constexpr int kFlexMaxVectorStart = 63;  // 6-bit field
constexpr int kFlexMaxNumericWords = 8;
constexpr int kFlexMaxAlphaWords = 127;
constexpr int kFlexNumericFirstBit = 3;
constexpr int kFlexLastDataBit = 21;
constexpr uint32_t kFlexVectorNumeric = 3;
constexpr uint32_t kFlexVectorAlpha = 5;
constexpr uint32_t kFlexVectorTone = 2;
constexpr uint32_t kFlexEndOfWordChar = 3;
constexpr uint32_t kShortOffset = 32768;
constexpr uint32_t kShortLast = 0x1E0000 - kShortOffset;
constexpr uint32_t kLongBase = 2068480;

struct FlexPlan {
  bool isLong = false;
  std::array<uint32_t, 2> address{};
  uint32_t vectorType = kFlexVectorTone;
  uint32_t lengthField = 0;
  std::vector<uint32_t> message;  // message words in order
};

std::optional<FlexPlan> PlanFlex(const PagingMessage& m) {
  FlexPlan plan;
  if (m.capcode >= 1 && m.capcode <= kShortLast) {
    PutReversed(plan.address[0], 1, 21, m.capcode + kShortOffset);
  } else if (m.capcode > kLongBase) {
    const uint32_t r = m.capcode - kLongBase - 1;
    plan.isLong = true;
    PutReversed(plan.address[0], 1, 21, r % 32768 + 1);
    PutReversed(plan.address[1], 1, 21, ~(r / 32768) & 0x1FFFFF);
  } else {
    return std::nullopt;
  }
  if (m.kind == PagingKind::kNumeric) {
    const std::vector<uint32_t> digits = Digits(m.text);
    if (digits.size() > kFlexMaxNumericDigits) return std::nullopt;
    const int firstBits = kFlexLastDataBit - kFlexNumericFirstBit + 1;  // 19
    const int needed = 4 * static_cast<int>(digits.size());
    const int words = needed <= firstBits ? 1 : 1 + (needed - firstBits + 20) / 21;
    const int slots = (firstBits + 21 * (words - 1)) / 4;
    plan.vectorType = kFlexVectorNumeric;
    plan.lengthField = static_cast<uint32_t>(words - 1);
    plan.message.assign(static_cast<size_t>(words), 0);
    int word = 0;
    int bit = kFlexNumericFirstBit;
    for (int i = 0; i < slots; ++i) {
      const auto idx = static_cast<size_t>(i);
      const uint32_t d = idx < digits.size() ? digits[idx] : kFillDigit;
      for (int b = 0; b < 4; ++b) {
        if (bit > kFlexLastDataBit) {
          ++word;
          bit = 1;
        }
        SetBit(plan.message[static_cast<size_t>(word)], bit++, d >> b);
      }
    }
  } else if (m.kind == PagingKind::kAlphanumeric) {
    const size_t words = (m.text.size() + 2) / 3;
    if (words > static_cast<size_t>(kFlexMaxAlphaWords)) return std::nullopt;
    plan.vectorType = kFlexVectorAlpha;
    plan.lengthField = static_cast<uint32_t>(words);
    for (size_t w = 0; w < words; ++w) {
      uint32_t word = 0;
      for (size_t k = 0; k < 3; ++k) {
        const size_t i = 3 * w + k;
        const uint32_t ch =
            i < m.text.size() ? static_cast<uint8_t>(m.text[i]) & 0x7Fu : kFlexEndOfWordChar;
        PutReversed(word, 1 + 7 * static_cast<int>(k), 7, ch);
      }
      plan.message.push_back(word);
    }
  }
  return plan;
}

int AddressWords(const FlexPlan& p) {
  return p.isLong ? 2 : 1;
}

// Lays out one phase: block information word, address field, vector field,
// message words. Returns the 88 finished words.
std::array<uint32_t, kFlexWordsPerPhase> LayOutPhase(const std::vector<FlexPlan>& plans) {
  std::array<uint32_t, kFlexWordsPerPhase> words{};
  int addressWords = 0;
  for (const auto& p : plans) addressWords += AddressWords(p);
  const int vectorStart = 1 + addressWords;
  PutReversed(words[0], 11, 6, static_cast<uint32_t>(vectorStart));
  int c = 0;
  int next = vectorStart + addressWords;  // first message word
  for (const auto& p : plans) {
    const auto at = [&words](int i) -> uint32_t& { return words[static_cast<size_t>(i)]; };
    at(1 + c) = p.address[0];
    if (p.isLong) at(2 + c) = p.address[1];
    const int vectorPos = vectorStart + c;
    uint32_t& vector = at(vectorPos);
    PutReversed(vector, 5, 3, p.vectorType);
    PutReversed(vector, 8, 7, p.message.empty() ? 0u : static_cast<uint32_t>(next));
    PutReversed(vector, 15, p.vectorType == kFlexVectorAlpha ? 7 : 3, p.lengthField);
    for (size_t j = 0; j < p.message.size(); ++j) {
      // A long address's second vector word carries numeric message word 2;
      // its place among the message words stays empty.
      const bool fromVector = p.isLong && p.vectorType == kFlexVectorNumeric && j == 2;
      at(fromVector ? vectorPos + 1 : next + static_cast<int>(j)) = p.message[j];
    }
    next += static_cast<int>(p.message.size());
    c += AddressWords(p);
  }
  for (auto& w : words) w = Finish(w);
  return words;
}

}  // namespace

uint32_t PagingCodeword(uint32_t data21) {
  constexpr uint32_t kGenerator = 0x769;  // x^10+x^9+x^8+x^6+x^5+x^3+1
  uint32_t rem = (data21 & 0x1FFFFF) << 10;
  for (int bit = 30; bit >= 10; --bit)
    if (rem & (1u << bit)) rem ^= kGenerator << (bit - 10);
  uint32_t word = ((data21 & 0x1FFFFF) << 11) | (rem << 1);
  uint32_t parity = 0;
  for (uint32_t v = word; v != 0; v >>= 1) parity ^= v & 1u;
  return word | parity;
}

std::vector<std::vector<uint8_t>> EncodePocsagBatches(const std::vector<PagingMessage>& messages,
                                                      uint16_t baud) {
  std::vector<std::optional<uint32_t>> slots;  // nullopt = idle
  for (const auto& m : messages) {
    const uint32_t capcode = m.capcode & kPocsagMaxCapcode;
    const size_t frame = capcode & 7u;
    while ((slots.size() % kPocsagCodewords) / 2 != frame) slots.emplace_back();
    uint32_t address = 0;
    PutStraight(address, 2, 18, capcode >> 3);
    PutReversed(address, 20, 2, PocsagFunction(m.kind));
    slots.emplace_back(Finish(address));
    for (uint32_t w : PocsagMessageWords(m)) slots.emplace_back(Finish(w));
  }
  while (slots.size() % kPocsagCodewords != 0) slots.emplace_back();

  std::vector<std::vector<uint8_t>> units;
  for (size_t b = 0; b < slots.size(); b += kPocsagCodewords) {
    std::vector<uint8_t> unit(kPocsagUnitBytes, 0);
    unit[0] = static_cast<uint8_t>(kPocsagUnitBytes);
    unit[kPocsagFunctionMapOffset] = kPocsagFunctionMap;
    putLe16(&unit[kPocsagBaudOffset], baud);
    for (size_t s = 0; s < kPocsagCodewords; ++s) {
      uint8_t* p = &unit[kPocsagFirstCodeword + 4 * s];
      const auto& slot = slots[b + s];
      if (slot)
        putBe32(p, *slot);
      else
        putLe32(p, kPocsagIdle);
    }
    units.push_back(std::move(unit));
  }
  return units;
}

int FlexPhasesForSpeed(int speedType) {
  if (speedType == 4 || speedType == 6) return 2;
  if (speedType == 8) return 4;
  return 1;
}

std::vector<uint8_t> EncodeFlexFrame(const std::vector<PagingMessage>& messages, int speedType,
                                     size_t* placed) {
  const int phases = FlexPhasesForSpeed(speedType);
  std::vector<std::vector<FlexPlan>> phasePlans(static_cast<size_t>(phases));
  size_t count = 0;
  int phase = 0;
  int addressWords = 0;
  int messageWords = 0;
  for (const auto& m : messages) {
    std::optional<FlexPlan> plan = PlanFlex(m);
    if (!plan) break;
    const int a = AddressWords(*plan);
    const int w = static_cast<int>(plan->message.size());
    const auto fits = [&] {
      const int aw = addressWords + a;
      return 1 + aw <= kFlexMaxVectorStart && 1 + 2 * aw + messageWords + w <= kFlexWordsPerPhase;
    };
    if (!fits()) {
      if (++phase >= phases) break;
      addressWords = 0;
      messageWords = 0;
      if (!fits()) break;
    }
    addressWords += a;
    messageWords += w;
    phasePlans[static_cast<size_t>(phase)].push_back(std::move(*plan));
    ++count;
  }
  if (placed) *placed = count;

  const size_t dataBytes = static_cast<size_t>(kFlexWordsPerPhase * phases) * 4;
  std::vector<uint8_t> unit(kFlexHeaderBytes + dataBytes, 0);
  putLe16(&unit[0], static_cast<uint16_t>(dataBytes));
  unit[kFlexSpeedTypeOffset] = static_cast<uint8_t>(speedType);
  for (int p = 0; p < phases; ++p) {
    const auto words = LayOutPhase(phasePlans[static_cast<size_t>(p)]);
    for (int w = 0; w < kFlexWordsPerPhase; ++w) {
      const size_t index = static_cast<size_t>(w * phases + p);
      putBe32(&unit[kFlexHeaderBytes + 4 * index], words[static_cast<size_t>(w)]);
    }
  }
  return unit;
}

}  // namespace morphel::synth
