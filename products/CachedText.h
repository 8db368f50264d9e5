#pragma once
// Text of a value that is slow to format and repeats row after row: a
// position in decimal degrees stays the same from one GPS fix to the next
// while the receiver writes many measurement rows. The text is made again
// only when the value it was made from changes, so the output is exactly
// what formatting every row would give.

#include <bit>
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

// Key of a floating-point value: its bit pattern, so that -0.0 and 0.0
// (printed "-0.000000" and "0.000000") never share a text.
inline uint64_t ValueKey(double v) {
  return std::bit_cast<uint64_t>(v);
}

}  // namespace morphel
