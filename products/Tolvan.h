#pragma once
// Tolvan four-receiver CW scanning receiver logs (".tlf", firmware before
// 1.27). Firmware 1.25 moved the GPS values of the measurement header from BCD
// to big-endian binary and added altitude and speed.

#include <string>

#include "products/CwScanner.h"

namespace morphel {

class Tolvan : public CwScanner {
 public:
  static constexpr int kReceivers = 4;
  static constexpr size_t kReceiverBlockSize = 708;
  static constexpr size_t kScanDataSize = 1344;
  static constexpr size_t kBcdHeaderSize = 28;
  static constexpr size_t kBinaryHeaderSize = 36;
  static constexpr int kBinaryHeaderFirmware = 125;  // firmware x 100
  static constexpr int kUnknownFirmware = -1;

  Tolvan();

  int Open(const std::string& path) override;
  std::string FirmwareText() const override;

  // Firmware version x 100 from the last identification record, -1 before one.
  int Firmware() const { return firmware_; }

 protected:
  size_t HeaderSize() const override;
  void DecodeHeader(const uint8_t* bytes) override;
  void OnIdentification(const std::string& unitText, const std::string& firmwareText) override;

 private:
  void DecodeBinaryHeader(const uint8_t* bytes);

  int firmware_ = kUnknownFirmware;
};

}  // namespace morphel
