#include "decode/Pocsag.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "core/Bytes.h"
#include "core/Fmt.h"

namespace morphel {

using paging::Codeword;
using paging::ReversedField;
using paging::StraightField;

namespace {

constexpr std::array<std::string_view, 4> kKindCodes = {"XX", "TN", "NU", "AN"};

// Codeword fields.
constexpr int kFlagBit = 1;
constexpr int kAddressStart = 2;
constexpr int kAddressWidth = 18;
constexpr int kFunctionStart = 20;
constexpr int kFunctionWidth = 2;
constexpr int kFramesPerAddress = 8;  // capcode = address field x 8 + frame
// Message codewords carry 20 bits, bits 2..21: five digits or 7-bit
// characters running on from codeword to codeword.
constexpr int kDataStart = 2;
constexpr int kDataEnd = 22;  // one past the last data bit
constexpr int kDigitWidth = 4;
constexpr int kCharWidth = 7;

bool ValidCarry(const TPOCSAG::Carry& c) {
  return c.bitsNeeded >= 1 && c.bitsNeeded <= kCharWidth;
}

}  // namespace

TPOCSAG::TPOCSAG(std::span<const uint8_t> unit, std::string continuation, Carry carry)
    : carry_(carry), continuation_(std::move(continuation)) {
  ByteCursor in(unit);
  functionMap_ = in.u8(kFunctionMapOffset);
  for (int i = 0; i < kCodewords; ++i) {
    const size_t offset = kFirstCodewordOffset + 4 * static_cast<size_t>(i);
    const auto idx = static_cast<size_t>(i);
    if (!in.has(offset, 4)) {
      idle_[idx] = true;
      continue;
    }
    for (size_t b = 0; b < 4; ++b) words_[idx][b] = in.u8(offset + b);
    // The idle codeword is logged low byte first by the receivers, but some
    // store it as it was sent; either way it is no address.
    idle_[idx] =
        le32(words_[idx].data()) == kIdleCodeword || be32(words_[idx].data()) == kIdleCodeword;
  }
  if (!ValidCarry(carry_)) carry_ = {};
  carry_.bits &= (1u << (kCharWidth - carry_.bitsNeeded)) - 1u;
}

const Codeword& TPOCSAG::Current() const {
  return words_[static_cast<size_t>(frame_ * kCodewordsPerFrame + position_)];
}

// One codeword step: two codewords per frame, frames 0..7.
int TPOCSAG::NextStep() {
  if (frame_ >= kFrames) return kBatchEnd;
  if (++position_ >= kCodewordsPerFrame) {
    position_ = 0;
    ++frame_;
  }
  if (frame_ >= kFrames) return kBatchEnd;
  if (idle_[static_cast<size_t>(frame_ * kCodewordsPerFrame + position_)]) return kIdle;
  return static_cast<int>(paging::CodewordBit(Current(), kFlagBit));
}

// The kind of a message continued from the previous batch: the head of the
// continuation line names it; a pending character split means alphanumeric.
uint32_t TPOCSAG::ContinuationKind() const {
  if (ValidCarry(carry_)) return kKindAlpha;
  const std::string_view head(continuation_);
  if (head.size() >= kLineHeadLength && head.substr(7, 2) == kKindCodes[kKindAlpha])
    return kKindAlpha;
  return kKindNumeric;
}

void TPOCSAG::DecodeNumeric() {
  for (int s = kDataStart; s + kDigitWidth <= kDataEnd; s += kDigitWidth)
    text_.AddNumeric(ReversedField(Current(), s, kDigitWidth));
}

void TPOCSAG::AddAlpha(uint32_t ch, bool& wordEnded) {
  if (wordEnded || messageEnded_) return;
  if (ch == 0) {
    messageEnded_ = true;
    return;
  }
  if (text_.AddAlpha(ch) == paging::TextLines::Alpha::kEndWord) wordEnded = true;
}

// 7-bit characters from bit 2 on, the first one completing a character that
// the previous codeword began. A character 3 silences the rest of this
// codeword but keeps the character alignment for the next one.
void TPOCSAG::DecodeAlpha() {
  const Codeword& w = Current();
  bool wordEnded = false;
  int p = kDataStart;
  if (ValidCarry(carry_)) {
    const int n = carry_.bitsNeeded;
    const int k = kCharWidth - n;
    AddAlpha((ReversedField(w, kDataStart, n) << k) | carry_.bits, wordEnded);
    p += n;
  }
  while (p + kCharWidth <= kDataEnd && !messageEnded_) {
    AddAlpha(ReversedField(w, p, kCharWidth), wordEnded);
    p += kCharWidth;
  }
  if (messageEnded_) {
    carry_ = {};
    return;
  }
  const int left = kDataEnd - p;  // 0..6 bits that begin the next character
  carry_.bitsNeeded = kCharWidth - left;
  carry_.bits = left > 0 ? ReversedField(w, p, left) : 0;
}

// The message text of a continuation line: what follows its head.
std::string_view TPOCSAG::ContinuationText() const {
  const std::string_view line(continuation_);
  if (line.size() >= kLineHeadLength && line.substr(0, 7) == "POCSAG ")
    return line.substr(kLineHeadLength);
  return line;
}

// Moves to the next address codeword (unless already there) and takes the
// capcode and the message kind from it. False when the batch ends first.
bool TPOCSAG::StartMessage(uint32_t& kind, unsigned long& capcode) {
  if (!atAddress_) {
    int step = kIdle;
    do step = NextStep();
    while (step == kMessage || step == kIdle);
    if (step == kBatchEnd) return false;
  }
  atAddress_ = false;
  text_.Clear();
  carry_ = {};
  const Codeword& w = Current();
  capcode = static_cast<unsigned long>(StraightField(w, kAddressStart, kAddressWidth)) *
                kFramesPerAddress +
            static_cast<unsigned long>(frame_);
  const uint32_t function = ReversedField(w, kFunctionStart, kFunctionWidth);
  kind = (functionMap_ >> (2 * function)) & 3u;
  return true;
}

bool TPOCSAG::FormatNext(std::string& out) {
  out.clear();
  if (finished_) return true;
  const bool continuing = !continuation_.empty();
  uint32_t kind = kKindNone;
  unsigned long capcode = 0;
  size_t seedLength = 0;
  messageEnded_ = false;
  if (continuing) {
    kind = ContinuationKind();
    const std::string_view seed = ContinuationText();
    text_.Seed(seed);
    seedLength = std::min(seed.size(), paging::TextLines::kMaxLineChars);
  } else if (!StartMessage(kind, capcode)) {
    finished_ = true;
    messageOpen_ = false;
    carry_ = {};
    return true;
  }

  int step = kIdle;
  int messageWords = 0;
  while ((step = NextStep()) == kMessage) {
    ++messageWords;
    if (messageEnded_) continue;
    if (kind == kKindNumeric) DecodeNumeric();
    if (kind == kKindAlpha) DecodeAlpha();
  }
  const bool hasText = kind == kKindNumeric || kind == kKindAlpha;
  if (step == kBatchEnd) {
    finished_ = true;
    messageOpen_ = hasText && !messageEnded_;
  } else {
    messageOpen_ = false;
    atAddress_ = step == kAddress;
  }
  if (!messageOpen_ || kind != kKindAlpha) carry_ = {};

  // Only the first text line is printed. A continuation that found no
  // further message codewords (the message had ended exactly at the end of
  // the previous batch) repeats nothing.
  if (hasText && !continuing) {
    out.append("POCSAG ");
    text::s2_2(out, kKindCodes[kind]);
    out.push_back(' ');
    text::u010(out, capcode);
    out.push_back(' ');
    out.append(text_.Line(0));
  } else if (hasText && messageWords > 0) {
    out.append(continuation_);
    out.append(text_.Line(0), seedLength);
  }
  continuation_.clear();
  return finished_;
}

}  // namespace morphel
