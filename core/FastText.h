#pragma once
// Numbers written straight into a buffer, for rows made in place: the same
// characters as the text helpers of core/Fmt.h (and so as printf), but at a
// pointer that the caller has made room behind, with no string in between.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/Fmt.h"

namespace morphel::fast {

// Decimal digits of v.
inline int DigitCount(uint64_t v) {
  int n = 1;
  for (;;) {
    if (v < 10) return n;
    if (v < 100) return n + 1;
    if (v < 1000) return n + 2;
    if (v < 10000) return n + 3;
    v /= 10000;
    n += 4;
  }
}

// "%u": at most 20 characters.
inline char* Unsigned(char* p, uint64_t v) {
  char* end = p + DigitCount(v);
  text::detail::Digits(end, v);
  return end;
}

// "%d": at most 20 characters.
inline char* Signed(char* p, int64_t v) {
  if (v < 0) {
    *p++ = '-';
    return Unsigned(p, 0ull - static_cast<uint64_t>(v));
  }
  return Unsigned(p, static_cast<uint64_t>(v));
}

// "%02d": at most 20 characters.
inline char* TwoDigits(char* p, int64_t v) {
  if (v >= 0 && v < 100) {
    std::memcpy(p, text::detail::kDigitPairs + 2 * v, 2);
    return p + 2;
  }
  if (v >= 0) return Unsigned(p, static_cast<uint64_t>(v));
  *p++ = '-';
  return Unsigned(p, 0ull - static_cast<uint64_t>(v));  // "-5" is two wide already
}

// Texts of every value of a byte as one text helper writes them, made once:
// a value is then one table look-up and one copy of eight bytes. Texts of
// up to seven characters ("-255", "-128").
class ByteTexts {
 public:
  static constexpr size_t kWidth = 8;

  template <typename Format>
  explicit ByteTexts(Format format) {
    std::string t;
    for (int v = 0; v < 256; ++v) {
      t.clear();
      format(t, static_cast<uint8_t>(v));
      const size_t n = std::min(t.size(), kWidth - 1);
      std::memcpy(texts_[static_cast<size_t>(v)].data(), t.data(), n);
      lengths_[static_cast<size_t>(v)] = static_cast<uint8_t>(n);
    }
  }
  // Needs kWidth bytes of room at p.
  char* Put(char* p, uint8_t v) const {
    std::memcpy(p, texts_[v].data(), kWidth);
    return p + lengths_[v];
  }

 private:
  std::array<std::array<char, kWidth>, 256> texts_{};
  std::array<uint8_t, 256> lengths_{};
};

// "-%d" of a level magnitude 0..255.
inline const ByteTexts& MinusLevels() {
  static const ByteTexts texts([](std::string& t, uint8_t v) { text::minusD(t, v); });
  return texts;
}

// "%d" of a byte read as unsigned.
inline const ByteTexts& UnsignedBytes() {
  static const ByteTexts texts([](std::string& t, uint8_t v) { text::d(t, v); });
  return texts;
}

// "%d" of a byte read as signed.
inline const ByteTexts& SignedBytes() {
  static const ByteTexts texts(
      [](std::string& t, uint8_t v) { text::d(t, static_cast<int8_t>(v)); });
  return texts;
}

}  // namespace morphel::fast
