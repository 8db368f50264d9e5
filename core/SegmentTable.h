#pragma once
// The measurement segments found by indexing a log, in file order, each with
// its check mark. The window toggles the marks while a conversion may read
// them from its worker, so each state is atomic.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace morphel {

class SegmentTable {
 public:
  static constexpr int kMaxSegments = 1024;
  static constexpr int kChecked = 2;    // the segment is converted
  static constexpr int kUnchecked = 1;  // the segment is left out

  SegmentTable();

  // Forgets every segment (a new indexing run starts).
  void Clear();
  // Records the segment at position index (0-based, file order). Segments
  // beyond the table's capacity are not stored; they are always converted.
  // Returns false when the segment could not be stored.
  bool Set(int index, int16_t type, const std::string& caption);
  int Count() const { return count_.load(); }

  // True when the segment at index is to be converted: positions that hold
  // no stored segment count as checked, so nothing is ever dropped silently.
  bool Included(int index) const;
  int State(int index) const;
  void SetState(int index, int state);
  // Checked <-> unchecked, as a click on the segment's node does.
  void Toggle(int index);

  int16_t Type(int index) const;
  std::string Caption(int index) const;

 private:
  struct Entry {
    int16_t type = -1;
    char caption[16] = {};
    std::atomic<int> state{kChecked};
  };
  std::unique_ptr<std::array<Entry, kMaxSegments>> entries_;
  std::atomic<int> count_{0};
};

}  // namespace morphel
