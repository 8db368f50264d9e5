#pragma once
// Builds the 152-byte big-endian position/status message of the Brisel
// scanner's GPS receiver from plain values, for the synthetic Brisel logs.
// The layout is written here on its own, not through the decoder, so a
// write-then-decode round trip checks both sides.

#include <array>
#include <cstddef>
#include <cstdint>

namespace morphel::synth {

constexpr size_t kGpsBlockSize = 152;

struct GpsFix {
  std::array<uint8_t, 4> tag = {'G', 'P', 'S', 'B'};  // not checked by the reader
  int month = 1, day = 1, year = 2000;                // year in four digits
  int hour = 12, minute = 0, second = 0;
  double latitude = 0.0;    // degrees, north positive
  double longitude = 0.0;   // degrees, east positive
  int32_t gpsHeightCm = 0;  // above the ellipsoid
  int32_t mslHeightCm = 0;  // above mean sea level
  // The receiver's unfiltered solution; a sample log may set it a little off
  // the filtered one.
  double rawLatitude = 0.0;
  double rawLongitude = 0.0;
  int32_t rawGpsHeightCm = 0;
  int32_t rawMslHeightCm = 0;
  uint16_t speed3DCmps = 0;
  uint16_t speed2DCmps = 0;
  uint16_t heading = 0;
  uint16_t geometry = 0;  // dilution of precision figure
  uint8_t visibleSatellites = 0;
  uint8_t trackedSatellites = 0;
  uint8_t statusCode = 7;  // 0..7; 7 is a 3-D fix
};

// Degrees to signed thousandths of an arc-second, rounded to the nearest
// unit and held inside the 32-bit range.
int32_t ToMilliArcSeconds(double degrees);

// The message for one fix; bytes with no value in GpsFix are zero.
std::array<uint8_t, kGpsBlockSize> BuildGpsBlock(const GpsFix& fix);

}  // namespace morphel::synth
