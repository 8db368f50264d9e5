#include "synth/TolvanWriter.h"

#include <charconv>

#include "core/Bytes.h"
#include "synth/CwScannerWriter.h"

namespace morphel::synth {

namespace {

constexpr const char* kDefaultFirmware = "1.25";

// Header bytes shared by both firmware layouts.
void PutRtc(uint8_t* h, const CwHeaderValues& v) {
  h[0] = v.kind;
  PutRtcAndStatus(h + 2, v);
}

// Firmware before 1.25: 28 bytes, BCD position and GPS time.
void PutBcdHeader(uint8_t* h, const CwHeaderValues& v) {
  PutRtc(h, v);
  PutBcdFix(h + 9, v);
}

// Firmware 1.25 on: 36 bytes, big-endian GPS integers.
void PutBinaryHeader(uint8_t* h, const CwHeaderValues& v) {
  PutRtc(h, v);
  putBe32(h + 9, static_cast<uint32_t>(ArcMilliseconds(v.local.latitude)));
  putBe32(h + 13, static_cast<uint32_t>(ArcMilliseconds(v.local.longitude)));
  putBe32(h + 17, static_cast<uint32_t>(static_cast<int32_t>(v.local.altitudeM * 100.0)));
  // Speed in units of 0.022356 mph (about a centimetre per second).
  putBe16(h + 21, static_cast<uint16_t>(v.local.speedMps * 2.2369363 * 1000000.0 / 22356.0));
  h[25] = static_cast<uint8_t>(v.gpsHour);
  h[26] = static_cast<uint8_t>(v.gpsMinute);
  h[27] = static_cast<uint8_t>(v.gpsSecond);
  putLe16(h + 28, static_cast<uint16_t>(v.marker));
}

bool BinaryHeaders(const std::string& firmware) {
  double value = 0;
  auto [ptr, ec] = std::from_chars(firmware.data(), firmware.data() + firmware.size(), value);
  return ec != std::errc() || value * 100.0 >= 125.0;
}

}  // namespace

bool WriteTolvanSample(const std::string& path, const SampleOptions& options) {
  const std::string firmware = options.firmware.empty() ? kDefaultFirmware : options.firmware;
  const bool binary = BinaryHeaders(firmware);
  CwSampleLayout layout;
  layout.headerSize = binary ? 36 : 28;
  layout.receiverBlockSize = 708;
  layout.samplesOffset = 22;
  layout.scanRecordSize = layout.headerSize + 1344;
  layout.descriptorSize = 16;
  layout.tablesAt = layout.headerSize + 64;
  layout.tableEntrySize = 4;
  layout.translateOffsetMHz = 0.0;
  layout.radios = {
      // Cellular A side forward channels, 870.030 MHz + 30 kHz steps.
      {0x00, 870, 300, 300, 1, 1, 4, 80, 300},
      // SMR, 851.0125 MHz + 25 kHz steps; a shorter scan table.
      {0x00, 851, 125, 250, 1, 1, 5, 60, 200},
      // PCS, 1930.05 MHz + 50 kHz steps (flag bit 7 adds 1000 MHz).
      {0x80, 930, 500, 500, 1, 1, 6, 80, 400},
      // Paging band with the unit's channel translation (bit 6).
      {0x40, 929, 125, 250, 1, 20, 1, 80, 60},
  };
  layout.unitText = "QVR TOLVAN 4-RX CW SCANNER SN 20417";
  layout.firmwareText = firmware;
  layout.writeHeader = binary ? PutBinaryHeader : PutBcdHeader;
  return WriteCwSample(path, options, layout);
}

}  // namespace morphel::synth
