#include "decode/Gps.h"

#include <cstdlib>

#include "core/Bytes.h"
#include "core/Fmt.h"

namespace morphel {

namespace {
constexpr char kNorth = 'N';
constexpr char kSouth = 'S';
constexpr char kEast = 'E';
constexpr char kWest = 'W';
constexpr uint8_t kBit7 = 0x80;
constexpr uint8_t kBit6 = 0x40;
constexpr uint8_t kLow6Mask = 0x3F;
}  // namespace

TGPS::TGPS()
    : latitude_(DecodeCoordinate(0, kNorth, kSouth)),
      longitude_(DecodeCoordinate(0, kEast, kWest)),
      rawLatitude_(latitude_),
      rawLongitude_(longitude_) {}

TGPS::Coordinate TGPS::DecodeCoordinate(int32_t value, char positive, char notPositive) {
  // C++ division truncates toward zero, so the remainder carries the sign of
  // the value and the whole degrees count toward zero.
  const int32_t q = value / kUnitsPerDegree;
  const int32_t r = value % kUnitsPerDegree;
  const int32_t absR = std::abs(r);  // |r| < kUnitsPerDegree: no overflow
  const int32_t r2 = absR % kUnitsPerMinute;
  Coordinate c;
  c.value = value;
  c.degrees = std::abs(q);
  c.decimalDegrees = q + static_cast<double>(r) / kUnitsPerDegree;
  c.minutes = absR / kUnitsPerMinute;
  c.decimalMinutes = c.minutes + static_cast<double>(r2) / kUnitsPerMinute;
  c.seconds = r2 / kUnitsPerSecond;
  c.hemisphere = value > 0 ? positive : notPositive;
  return c;
}

void TGPS::Decode(std::span<const uint8_t> block) {
  if (block.size() < kBlockSize) return;
  ByteCursor in(block.first(kBlockSize));

  for (size_t i = 0; i < tag_.size(); ++i) tag_[i] = in.u8(kTagOffset + i);
  month_ = in.u8(kMonthOffset);
  day_ = in.u8(kDayOffset);
  year_ = in.be16(kYearOffset);
  hour_ = in.u8(kHourOffset);
  minute_ = in.u8(kMinuteOffset);
  second_ = in.u8(kSecondOffset);

  latitude_ = DecodeCoordinate(in.be32s(kLatitudeOffset), kNorth, kSouth);
  longitude_ = DecodeCoordinate(in.be32s(kLongitudeOffset), kEast, kWest);
  gpsHeight_ = in.be32s(kGpsHeightOffset);
  mslHeight_ = in.be32s(kMslHeightOffset);
  rawLatitude_ = DecodeCoordinate(in.be32s(kRawLatitudeOffset), kNorth, kSouth);
  rawLongitude_ = DecodeCoordinate(in.be32s(kRawLongitudeOffset), kEast, kWest);
  rawGpsHeight_ = in.be32s(kRawGpsHeightOffset);
  rawMslHeight_ = in.be32s(kRawMslHeightOffset);

  speed3D_ = in.be16(kSpeed3DOffset);
  speed2D_ = in.be16(kSpeed2DOffset);
  heading_ = in.be16(kHeadingOffset);
  geometry_ = in.be16(kGeometryOffset);
  visible_ = in.u8(kVisibleOffset);
  tracked_ = in.u8(kTrackedOffset);

  for (size_t i = 0; i < kChannelCount; ++i) {
    const size_t at = kChannelsOffset + i * kChannelSize;
    Channel& ch = channels_[i];
    for (size_t b = 0; b < ch.bytes.size(); ++b) ch.bytes[b] = in.u8(at + b);
    ch.word = in.be16(at + ch.bytes.size());
  }

  status_ = in.u8(kStatusOffset);
  kept_.status2 = in.u8(kStatus2Offset);
  kept_.word133 = in.be16(kWord133Offset);
  kept_.long135 = in.be32(kLong135Offset);
  kept_.halved139 = static_cast<uint16_t>(in.be16(kHalved139Offset) / 2);
  const uint8_t bits = in.u8(kBits141Offset);
  kept_.bit7 = (bits & kBit7) != 0;
  kept_.bit6 = (bits & kBit6) != 0;
  kept_.low6 = static_cast<uint8_t>(bits & kLow6Mask);
  kept_.yes142 = in.u8(kYesNo142Offset) != 0;
  kept_.byte143 = in.u8(kByte143Offset);
  kept_.byte144 = in.u8(kByte144Offset);
  for (size_t i = 0; i < kBytes145Size; ++i) kept_.bytes145[i] = in.u8(kBytes145Offset + i);
}

std::string TGPS::DateText() const {
  std::string out;
  text::d02(out, month_);
  out.push_back('/');
  text::d02(out, day_);
  out.push_back('/');
  text::d04(out, year_);
  return out;
}

std::string TGPS::TimeText() const {
  std::string out;
  text::hms(out, hour_, minute_, second_);
  return out;
}

const char* TGPS::StatusText() const {
  return kStatusTexts[static_cast<size_t>(StatusCode())];
}

}  // namespace morphel
