#pragma once
// What a reader tells the row writer about its field texts (RowWriter): how
// each can change, and the stamps that change with them. A text kept under
// a stamp is written again, unmade, for as long as the stamp stays.

#include <array>
#include <cstdint>

namespace morphel {

enum class FieldChange : uint8_t {
  EveryRow,      // made afresh for every row through FormatField
  Record,        // the same while its part's RowStamps::record stamp stays
  Receiver,      // the same while RowStamps::receiver stays, kept per receiver
  RecordNumber,  // the row counter (RecordCounter) as "%d"
};

struct RowStamps {
  static constexpr int kSlots = 4;
  // A reader may split its Record fields into parts that change apart (the
  // clock every second, a counter every record, the position with each fix),
  // so that a row made again after one of them moved remakes only its texts.
  static constexpr int kRecordParts = 4;
  // record[p] moves whenever the text of a Record field of part p may change.
  std::array<uint64_t, kRecordParts> record{};
  uint64_t receiver = 0;  // moves whenever a Receiver field's text may change
  int slot = 0;           // the row's receiver, 0..kSlots - 1
};

// A stamp of a value kept by comparison: it moves when the value given
// differs from the last one given (a reader's decoded header, say).
template <typename T>
class ValueStamp {
 public:
  uint64_t Of(const T& value) {
    if (!seen_ || !(value == last_)) {
      last_ = value;
      seen_ = true;
      ++stamp_;
    }
    return stamp_;
  }

 private:
  T last_{};
  uint64_t stamp_ = 0;
  bool seen_ = false;
};

}  // namespace morphel
