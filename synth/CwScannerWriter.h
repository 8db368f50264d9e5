#pragma once
// What the synthetic Tolvan and Velmar logs share: the length-prefixed block
// framing, the identification record, the fast-data receiver blocks with 512
// RSSI samples, the scan-table records and the drive schedule (short scan
// segments between longer fast-data segments). Each product supplies its
// sizes, its radio plan and the bytes of its measurement header.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/DriveModel.h"
#include "synth/SampleFile.h"

namespace morphel::synth {

// One receiver's tuning and the channels it visits.
struct CwRadioPlan {
  uint8_t flags = 0;  // bit 7: +1000 MHz; bit 6: channel translation
  int baseMHz = 0;
  int fraction = 0;  // 0.0001 MHz
  int spacing = 0;   // 0.0001 MHz
  int baseChannel = 1;
  int firstChannel = 1;   // first channel of the scan table
  int channelStep = 1;    // between scan-table entries
  int scanEntries = 80;   // entries before the table ends (0..80)
  int fastChannels = 40;  // fast-data segments cycle through this many channels
};

// What a measurement header carries for one record.
struct CwHeaderValues {
  uint8_t kind = 0;
  DrivePoint local;  // RTC time and the position of the vehicle
  int gpsHour = 0, gpsMinute = 0, gpsSecond = 0;
  bool gpsValid = true;
  int marker = 0;
};

using CwHeaderWriter = void (*)(uint8_t* header, const CwHeaderValues& values);

struct CwSampleLayout {
  size_t headerSize = 0;
  size_t receiverBlockSize = 0;
  size_t samplesOffset = 0;   // within a receiver block
  size_t scanRecordSize = 0;  // header included
  size_t descriptorSize = 0;  // descriptors follow the header
  size_t tablesAt = 0;        // from the start of the scan record
  size_t tableEntrySize = 0;
  double translateOffsetMHz = 0;  // added to the frequency with flag bit 6
  std::vector<CwRadioPlan> radios;
  std::string unitText;
  std::string firmwareText;
  CwHeaderWriter writeHeader = nullptr;
};

// Writes the sample; false when the file cannot be written.
bool WriteCwSample(const std::string& path, const SampleOptions& options,
                   const CwSampleLayout& layout);

// Position as BCD digits: three of degrees, two of minutes, three of
// thousandths of a minute, high nibble first.
void PutBcdCoordinate(uint8_t* p, double degrees);
// The BCD position fix as both products' BCD headers hold it, 15 bytes:
// latitude, its hemisphere letter, longitude, its letter, GPS hour, minute
// and second in BCD, then the marker value (16-bit, low byte first).
void PutBcdFix(uint8_t* p, const CwHeaderValues& values);
// RTC second, minute, hour, day, month, two-digit year (binary), then the
// GPS status byte (bit 7: position valid).
void PutRtcAndStatus(uint8_t* p, const CwHeaderValues& values);
// Thousandths of an arc-second, signed.
int32_t ArcMilliseconds(double degrees);

}  // namespace morphel::synth
