#pragma once
// Byte helpers for the receivers' binary layouts. Every multi-byte value is
// assembled by shifts from individual bytes, never by casting to structs, so
// the code is independent of the host's byte order and alignment.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace morphel {

inline uint16_t le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t be16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline int16_t le16s(const uint8_t* p) {
  return static_cast<int16_t>(le16(p));
}
inline int32_t le32s(const uint8_t* p) {
  return static_cast<int32_t>(le32(p));
}
inline int16_t be16s(const uint8_t* p) {
  return static_cast<int16_t>(be16(p));
}
inline int32_t be32s(const uint8_t* p) {
  return static_cast<int32_t>(be32(p));
}

// Packed BCD byte: high nibble is the first decimal digit.
inline int bcd(uint8_t b) {
  return (b >> 4) * 10 + (b & 0x0F);
}
inline int hiNibble(uint8_t b) {
  return b >> 4;
}
inline int loNibble(uint8_t b) {
  return b & 0x0F;
}

// Little-endian writers, used by the synthetic log writers and fixtures.
inline void putLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putBe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void putBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
inline uint8_t toBcd(int v) {
  return static_cast<uint8_t>(((v / 10) % 10) << 4 | (v % 10));
}

// Bounds-checked view over a record: reads past the end yield zero and set a
// flag, so a short record can never be read outside the bytes present.
class ByteCursor {
 public:
  ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit ByteCursor(std::span<const uint8_t> s) : data_(s.data()), size_(s.size()) {}

  size_t size() const { return size_; }
  bool has(size_t offset, size_t width) const { return offset <= size_ && width <= size_ - offset; }
  bool overrun() const { return overrun_; }

  uint8_t u8(size_t off) { return has(off, 1) ? data_[off] : fail<uint8_t>(); }
  uint16_t le16(size_t off) { return has(off, 2) ? morphel::le16(data_ + off) : fail<uint16_t>(); }
  uint32_t le32(size_t off) { return has(off, 4) ? morphel::le32(data_ + off) : fail<uint32_t>(); }
  uint16_t be16(size_t off) { return has(off, 2) ? morphel::be16(data_ + off) : fail<uint16_t>(); }
  uint32_t be32(size_t off) { return has(off, 4) ? morphel::be32(data_ + off) : fail<uint32_t>(); }
  int16_t le16s(size_t off) { return static_cast<int16_t>(le16(off)); }
  int32_t le32s(size_t off) { return static_cast<int32_t>(le32(off)); }
  int16_t be16s(size_t off) { return static_cast<int16_t>(be16(off)); }
  int32_t be32s(size_t off) { return static_cast<int32_t>(be32(off)); }
  const uint8_t* ptr(size_t off, size_t width) { return has(off, width) ? data_ + off : nullptr; }

 private:
  template <typename T>
  T fail() {
    overrun_ = true;
    return T{};
  }
  const uint8_t* data_;
  size_t size_;
  bool overrun_ = false;
};

// The sum of n bytes, eight at a time: the bytes of a word are added in
// 16-bit lanes (at most 64 words before a lane could pass 65,535), and the
// lanes are added up at the end of each run of words.
inline uint64_t SumBytes(const uint8_t* p, size_t n) {
  constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
  constexpr size_t kWordsPerRun = 64;
  uint64_t total = 0;
  while (n >= 8) {
    const size_t words = std::min(n / 8, kWordsPerRun);
    uint64_t lanes = 0;
    for (size_t w = 0; w < words; ++w) {
      uint64_t x;
      std::memcpy(&x, p + 8 * w, 8);
      lanes += (x & kLowBytes) + ((x >> 8) & kLowBytes);
    }
    p += 8 * words;
    n -= 8 * words;
    lanes = (lanes & 0x0000FFFF0000FFFFull) + ((lanes >> 16) & 0x0000FFFF0000FFFFull);
    total += (lanes & 0xFFFFFFFFull) + (lanes >> 32);
  }
  for (; n > 0; --n) total += *p++;
  return total;
}

}  // namespace morphel
