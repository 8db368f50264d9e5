#pragma once
// Velmar two-receiver CW scanning receiver logs (".vlf"): the Tolvan record
// design with a shorter BCD header, smaller receiver blocks and 3-byte scan
// entries. Bit 6 of a receiver's flags also raises its frequency by 10 kHz.

#include "products/CwScanner.h"

namespace morphel {

class Velmar : public CwScanner {
 public:
  static constexpr int kReceivers = 2;
  static constexpr size_t kHeaderSize = 23;
  static constexpr size_t kReceiverBlockSize = 530;
  static constexpr size_t kScanRecordSize = 525;  // header included

  Velmar();

 protected:
  size_t HeaderSize() const override { return kHeaderSize; }
  void DecodeHeader(const uint8_t* bytes) override;
  bool AcceptsLength(uint32_t length) const override;
};

}  // namespace morphel
