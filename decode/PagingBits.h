#pragma once
// Bit access to the 32-bit codeword images that the Zev receivers log for
// POCSAG batches and FLEX frames, the numeric character map both paging
// systems share, and the line collector that gathers message text.
//
// A codeword is held as its 4 logged bytes. Bit n (1..32) is the bit of value
// 2^(7 - ((n - 1) mod 8)) in byte (n - 1) div 8: bit 1 is the top bit of the
// first byte, bit 32 the bottom bit of the last.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morphel::paging {

using Codeword = std::array<uint8_t, 4>;

inline constexpr int kCodewordBits = 32;

// Bit n (1..32) of a codeword, 0 or 1; 0 for a bit number outside the word.
inline uint32_t CodewordBit(const Codeword& w, int n) {
  if (n < 1 || n > kCodewordBits) return 0;
  const int i = n - 1;
  return (static_cast<uint32_t>(w[static_cast<size_t>(i / 8)]) >> (7 - i % 8)) & 1u;
}

// True when the bits s .. s+width-1 lie inside one codeword.
inline bool FieldInWord(int s, int width) {
  return s >= 1 && width >= 1 && width <= kCodewordBits && s + width - 1 <= kCodewordBits;
}

// The bits s .. s+width-1 with bit s as the least significant bit of the
// value (the paging systems send characters and digits low bit first).
inline uint32_t ReversedField(const Codeword& w, int s, int width) {
  if (!FieldInWord(s, width)) return 0;
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 1) | CodewordBit(w, s + i);
  return v;
}

// The bits s .. s+width-1 with bit s as the most significant bit of the value.
inline uint32_t StraightField(const Codeword& w, int s, int width) {
  if (!FieldInWord(s, width)) return 0;
  uint32_t v = 0;
  for (int i = 0; i < width; ++i) v = (v << 1) | CodewordBit(w, s + i);
  return v;
}

// Numeric pager characters for a 4-bit digit; '\0' for the digit that adds
// nothing (10).
inline char NumericChar(uint32_t digit) {
  static constexpr std::array<char, 16> kMap = {'0', '1', '2',  '3', '4', '5', '6', '7',
                                                '8', '9', '\0', 'U', ' ', '-', ']', '['};
  return kMap[digit & 0x0F];
}

// Message text in up to ten lines. A line moves on to the next once it has
// grown past 80 characters; text beyond the tenth line is dropped.
class TextLines {
 public:
  static constexpr int kMaxLines = 10;
  static constexpr size_t kAdvanceAfter = 80;
  static constexpr size_t kMaxLineChars = 255;

  // Alphanumeric character values with a meaning of their own.
  static constexpr uint32_t kEndOfWord = 3;
  static constexpr uint32_t kLineFeed = 10;
  static constexpr uint32_t kSpace = 32;
  static constexpr uint32_t kFirstPrintable = 33;
  static constexpr uint32_t kLastPrintable = 126;

  enum class Alpha { kNext, kEndWord };

  void Clear() {
    for (auto& line : lines_) line.clear();
    current_ = 0;
    full_ = false;
    written_ = false;
  }

  // Continues a line that an earlier unit began: the text counts towards the
  // first line's length and as text already written.
  void Seed(std::string_view text) {
    Clear();
    if (text.empty()) return;
    lines_[0].assign(text.substr(0, kMaxLineChars));
    written_ = true;
    if (lines_[0].size() > kAdvanceAfter) NextLine();
  }

  bool Full() const { return full_; }

  // A numeric digit: its character from the numeric map, if any.
  void AddNumeric(uint32_t digit) {
    const char c = NumericChar(digit);
    if (c != '\0') Put(c);
  }

  // A 7-bit character under the alphanumeric text rules: 3 ends the text of
  // the current codeword, a line feed starts a new line (never an empty
  // one), a space is kept once text has begun, 33..126 are kept, and every
  // other value is ignored.
  Alpha AddAlpha(uint32_t ch) {
    if (ch == kEndOfWord) return Alpha::kEndWord;
    if (ch == kLineFeed) {
      // An empty current line (start of text, just after a line feed or just
      // after a long line moved on) gets no second line feed.
      if (!full_ && !lines_[static_cast<size_t>(current_)].empty()) NextLine();
    } else if (ch == kSpace) {
      if (written_) Put(' ');
    } else if (ch >= kFirstPrintable && ch <= kLastPrintable) {
      Put(static_cast<char>(ch));
    }
    return Alpha::kNext;
  }

  const std::string& Line(int i) const { return lines_[static_cast<size_t>(i)]; }

  // Number of lines holding text that is printed: the current line counts
  // only when it is not empty (a line feed or a long line at the very end
  // leaves an empty line behind). At least 1.
  int UsedLines() const {
    int used = current_ + 1;
    if (used > 1 && lines_[static_cast<size_t>(current_)].empty()) --used;
    return used;
  }

 private:
  void Put(char c) {
    if (full_) return;
    std::string& line = lines_[static_cast<size_t>(current_)];
    if (line.size() < kMaxLineChars) line.push_back(c);
    written_ = true;
    if (line.size() > kAdvanceAfter) NextLine();
  }
  void NextLine() {
    if (current_ + 1 >= kMaxLines) {
      full_ = true;
    } else {
      ++current_;
    }
  }

  std::array<std::string, kMaxLines> lines_;
  int current_ = 0;
  bool full_ = false;
  bool written_ = false;
};

}  // namespace morphel::paging
