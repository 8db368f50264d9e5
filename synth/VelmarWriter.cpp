#include "synth/VelmarWriter.h"

#include "core/Bytes.h"
#include "synth/CwScannerWriter.h"

namespace morphel::synth {

namespace {

// 23 bytes: RTC, GPS status, BCD position and GPS time, marker.
void PutHeader(uint8_t* h, const CwHeaderValues& v) {
  h[0] = v.kind;
  PutRtcAndStatus(h + 1, v);
  PutBcdFix(h + 8, v);
}

}  // namespace

bool WriteVelmarSample(const std::string& path, const SampleOptions& options) {
  CwSampleLayout layout;
  layout.headerSize = 23;
  layout.receiverBlockSize = 530;
  layout.samplesOffset = 18;
  layout.scanRecordSize = 525;
  layout.descriptorSize = 11;
  layout.tablesAt = 45;
  layout.tableEntrySize = 3;
  layout.translateOffsetMHz = 0.01;
  layout.radios = {
      // Cellular B side forward channels, 880.020 MHz + 30 kHz steps.
      {0x00, 880, 200, 300, 334, 334, 3, 80, 300},
      // SMR from 851.0000 MHz + 25 kHz steps, offset 10 kHz by bit 6.
      {0x40, 851, 0, 250, 1, 10, 2, 70, 120},
  };
  layout.unitText = "QVR VELMAR 2-RX CW SCANNER SN 7731";
  layout.firmwareText = options.firmware.empty() ? "2.04" : options.firmware;
  layout.writeHeader = PutHeader;
  return WriteCwSample(path, options, layout);
}

}  // namespace morphel::synth
