#include "synth/GpsBlockWriter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Bytes.h"

namespace morphel::synth {

namespace {
// Offsets of the message, big-endian throughout.
constexpr size_t kTag = 0;
constexpr size_t kMonth = 4;
constexpr size_t kDay = 5;
constexpr size_t kYear = 6;
constexpr size_t kHour = 8;
constexpr size_t kMinute = 9;
constexpr size_t kSecond = 10;
constexpr size_t kLatitude = 15;
constexpr size_t kLongitude = 19;
constexpr size_t kGpsHeight = 23;
constexpr size_t kMslHeight = 27;
constexpr size_t kRawLatitude = 31;
constexpr size_t kRawLongitude = 35;
constexpr size_t kRawGpsHeight = 39;
constexpr size_t kRawMslHeight = 43;
constexpr size_t kSpeed3D = 47;
constexpr size_t kSpeed2D = 49;
constexpr size_t kHeading = 51;
constexpr size_t kGeometry = 53;
constexpr size_t kVisible = 55;
constexpr size_t kTracked = 56;
constexpr size_t kStatus = 129;
constexpr int kStatusShift = 5;  // the code sits in bits 7..5
constexpr uint8_t kStatusCodeMask = 0x07;
constexpr double kUnitsPerDegree = 3600000.0;

uint8_t Byte(int v) {
  return static_cast<uint8_t>(v);
}
void PutSigned(uint8_t* p, int32_t v) {
  putBe32(p, static_cast<uint32_t>(v));
}
}  // namespace

int32_t ToMilliArcSeconds(double degrees) {
  constexpr double kLow = std::numeric_limits<int32_t>::min();
  constexpr double kHigh = std::numeric_limits<int32_t>::max();
  if (std::isnan(degrees)) return 0;
  const double units = std::clamp(std::round(degrees * kUnitsPerDegree), kLow, kHigh);
  return static_cast<int32_t>(units);
}

std::array<uint8_t, kGpsBlockSize> BuildGpsBlock(const GpsFix& fix) {
  std::array<uint8_t, kGpsBlockSize> b{};
  uint8_t* p = b.data();
  std::copy(fix.tag.begin(), fix.tag.end(), p + kTag);
  p[kMonth] = Byte(fix.month);
  p[kDay] = Byte(fix.day);
  putBe16(p + kYear, static_cast<uint16_t>(fix.year));
  p[kHour] = Byte(fix.hour);
  p[kMinute] = Byte(fix.minute);
  p[kSecond] = Byte(fix.second);
  PutSigned(p + kLatitude, ToMilliArcSeconds(fix.latitude));
  PutSigned(p + kLongitude, ToMilliArcSeconds(fix.longitude));
  PutSigned(p + kGpsHeight, fix.gpsHeightCm);
  PutSigned(p + kMslHeight, fix.mslHeightCm);
  PutSigned(p + kRawLatitude, ToMilliArcSeconds(fix.rawLatitude));
  PutSigned(p + kRawLongitude, ToMilliArcSeconds(fix.rawLongitude));
  PutSigned(p + kRawGpsHeight, fix.rawGpsHeightCm);
  PutSigned(p + kRawMslHeight, fix.rawMslHeightCm);
  putBe16(p + kSpeed3D, fix.speed3DCmps);
  putBe16(p + kSpeed2D, fix.speed2DCmps);
  putBe16(p + kHeading, fix.heading);
  putBe16(p + kGeometry, fix.geometry);
  p[kVisible] = fix.visibleSatellites;
  p[kTracked] = fix.trackedSatellites;
  p[kStatus] = static_cast<uint8_t>((fix.statusCode & kStatusCodeMask) << kStatusShift);
  return b;
}

}  // namespace morphel::synth
