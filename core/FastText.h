#pragma once
// Numbers written straight into a buffer, for rows made in place: the same
// characters as the text helpers of core/Fmt.h (and so as printf), but at a
// pointer that the caller has made room behind, with no string in between.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

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

// A short text kept for copying into rows: up to kWidth bytes go in one
// fixed-size move, so the room behind the cursor must allow RoomNeeded().
class ShortText {
 public:
  static constexpr size_t kWidth = 32;

  void Assign(std::string_view s) {
    size_ = s.size();
    if (size_ <= kWidth) {
      std::memcpy(bytes_.data(), s.data(), size_);
      long_.clear();
    } else {
      long_.assign(s);
    }
  }
  size_t size() const { return size_; }
  size_t RoomNeeded() const { return size_ <= kWidth ? kWidth : size_; }
  char* Put(char* p) const {
    if (size_ <= kWidth) {
      std::memcpy(p, bytes_.data(), kWidth);
    } else {
      std::memcpy(p, long_.data(), size_);
    }
    return p + size_;
  }

 private:
  std::array<char, kWidth> bytes_{};
  size_t size_ = 0;
  std::string long_;
};

// Short texts made from keys, kept in a small direct-mapped table: a text
// is made again only when its slot held another key. A key is a 64-bit
// value or a type with operator== and Hash(). Clear() forgets them all (a
// run with other settings begins).
template <size_t N, typename Key = uint64_t>
class KeptTexts {
  static_assert(N > 0 && (N & (N - 1)) == 0, "a power of two");

 public:
  // The text of key, made by make(std::string&) when not kept.
  template <typename Make>
  const ShortText& Get(const Key& key, Make&& make) {
    Slot& slot = slots_[Index(key)];
    if (!slot.filled || !(slot.key == key)) {
      made_.clear();
      make(made_);
      slot.text.Assign(made_);
      slot.key = key;
      slot.filled = true;
    }
    return slot.text;
  }
  void Clear() {
    for (Slot& slot : slots_) slot.filled = false;
  }

 private:
  static size_t Mix(uint64_t h) {
    return static_cast<size_t>((h * 0x9E3779B97F4A7C15ull) >> 40) & (N - 1);
  }
  static size_t Index(uint64_t key) { return Mix(key); }
  template <typename K>
  static size_t Index(const K& key) {
    return Mix(key.Hash());
  }

  struct Slot {
    Key key{};
    bool filled = false;
    ShortText text;
  };
  std::array<Slot, N> slots_{};
  std::string made_;
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
