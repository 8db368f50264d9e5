#pragma once
// Text of a value that is slow to format and repeats row after row: a
// position in decimal degrees stays the same from one GPS fix to the next
// while the receiver writes many measurement rows. The text is made again
// only when the value it was made from changes, so the output is exactly
// what formatting every row would give.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace morphel {

template <typename Key>
class CachedText {
 public:
  // Appends the text of `key`, made by make(std::string&) when the key
  // differs from the one the kept text was made from.
  template <typename Make>
  void Append(std::string& out, const Key& key, Make&& make) {
    if (!filled_ || !(key == key_)) {
      text_.clear();
      make(text_);
      key_ = key;
      filled_ = true;
    }
    out.append(text_);
  }
  void Clear() { filled_ = false; }

 private:
  Key key_{};
  std::string text_;
  bool filled_ = false;
};

// Texts of values that recur row after row but are many at a time: the
// frequency of every channel of a scan list. A small direct-mapped table of
// kept texts; two keys meeting in one slot only cost a new formatting.
template <size_t N>
class CachedTexts {
  static_assert(N > 0 && (N & (N - 1)) == 0, "a power of two");

 public:
  template <typename Make>
  void Append(std::string& out, uint64_t key, Make&& make) {
    const uint64_t mixed = key * 0x9E3779B97F4A7C15ull;
    slots_[static_cast<size_t>(mixed >> 40) & (N - 1)].Append(out, key, make);
  }

 private:
  std::array<CachedText<uint64_t>, N> slots_;
};

// Key of a floating-point value: its bit pattern, so that -0.0 and 0.0
// (printed "-0.000000" and "0.000000") never share a text.
inline uint64_t ValueKey(double v) {
  return std::bit_cast<uint64_t>(v);
}

// Appends format(text, v) through a table of kept texts.
template <size_t N, typename Format>
void AppendKept(CachedTexts<N>& kept, std::string& out, double v, Format&& format) {
  kept.Append(out, ValueKey(v), [&](std::string& t) { format(t, v); });
}

}  // namespace morphel
