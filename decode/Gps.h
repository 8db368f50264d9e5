#pragma once
// Decoder of the position/status message of the GPS receiver built into the
// Brisel scanner. The message is a 152-byte big-endian block that starts with
// a four-byte message tag; the decoder keeps the values of the last block.
// Positions are signed thousandths of an arc-second and are offered in the
// notations the Brisel fields print: whole degrees, signed decimal degrees,
// whole and decimal minutes, whole seconds and a hemisphere letter.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace morphel {

class TGPS {
 public:
  static constexpr size_t kBlockSize = 152;
  static constexpr int32_t kUnitsPerDegree = 3600000;  // thousandths of an arc-second
  static constexpr int32_t kUnitsPerMinute = 60000;
  static constexpr int32_t kUnitsPerSecond = 1000;

  // Block layout.
  static constexpr size_t kTagOffset = 0;
  static constexpr size_t kMonthOffset = 4;
  static constexpr size_t kDayOffset = 5;
  static constexpr size_t kYearOffset = 6;
  static constexpr size_t kHourOffset = 8;
  static constexpr size_t kMinuteOffset = 9;
  static constexpr size_t kSecondOffset = 10;
  static constexpr size_t kLatitudeOffset = 15;
  static constexpr size_t kLongitudeOffset = 19;
  static constexpr size_t kGpsHeightOffset = 23;
  static constexpr size_t kMslHeightOffset = 27;
  static constexpr size_t kRawLatitudeOffset = 31;
  static constexpr size_t kRawLongitudeOffset = 35;
  static constexpr size_t kRawGpsHeightOffset = 39;
  static constexpr size_t kRawMslHeightOffset = 43;
  static constexpr size_t kSpeed3DOffset = 47;
  static constexpr size_t kSpeed2DOffset = 49;
  static constexpr size_t kHeadingOffset = 51;
  static constexpr size_t kGeometryOffset = 53;
  static constexpr size_t kVisibleOffset = 55;
  static constexpr size_t kTrackedOffset = 56;
  static constexpr size_t kChannelsOffset = 57;
  static constexpr size_t kChannelSize = 6;
  static constexpr size_t kChannelCount = 12;
  static constexpr size_t kStatusOffset = 129;
  static constexpr size_t kStatus2Offset = 130;
  static constexpr size_t kWord133Offset = 133;
  static constexpr size_t kLong135Offset = 135;
  static constexpr size_t kHalved139Offset = 139;
  static constexpr size_t kBits141Offset = 141;
  static constexpr size_t kYesNo142Offset = 142;
  static constexpr size_t kByte143Offset = 143;
  static constexpr size_t kByte144Offset = 144;
  static constexpr size_t kBytes145Offset = 145;
  static constexpr size_t kBytes145Size = 6;
  static constexpr int kStatusCodeShift = 5;  // status code = bits 7..5

  // One coordinate in every notation the log fields print.
  struct Coordinate {
    int32_t value = 0;            // signed thousandths of an arc-second
    int degrees = 0;              // whole degrees of the absolute value
    double decimalDegrees = 0.0;  // signed
    int minutes = 0;              // whole minutes of the absolute value
    double decimalMinutes = 0.0;  // whole minutes plus the fraction
    int seconds = 0;              // whole seconds
    char hemisphere = 0;          // 'N'/'S' or 'E'/'W'
  };

  // A tracking channel: four bytes and a word, kept as the receiver sent them.
  struct Channel {
    std::array<uint8_t, 4> bytes{};
    uint16_t word = 0;
  };

  // Values that are kept but printed by no field; named by their offset.
  struct Kept {
    uint8_t status2 = 0;     // 130
    uint16_t word133 = 0;    // 133
    uint32_t long135 = 0;    // 135
    uint16_t halved139 = 0;  // 139, half the stored word
    bool bit7 = false;       // 141 bit 7
    bool bit6 = false;       // 141 bit 6
    uint8_t low6 = 0;        // 141 bits 5..0
    bool yes142 = false;     // 142, nonzero = yes
    uint8_t byte143 = 0;
    uint8_t byte144 = 0;
    std::array<uint8_t, kBytes145Size> bytes145{};
  };

  static constexpr std::array<const char*, 8> kStatusTexts = {
      "Reserved",      "Reserved",       "Bad Geometry", "Acquiring Satellites",
      "Position Hold", "Propogate Mode", "2D Fix",       "3D Fix"};
  static constexpr std::array<const char*, 4> kAntennaTexts = {"OK", "Overcurrent", "Undercurrent",
                                                               "NV"};
  static constexpr std::array<const char*, 17> kCompassTexts = {
      "N",   "NNE", "NE",  "ENE", "E",   "ESE", "SE",  "SSE", "S",
      "SSW", "SW",  "WSW", "W",   "WNW", "NW",  "NNW", "N"};

  TGPS();

  // Decodes one block. A block shorter than kBlockSize is a damaged message:
  // it is ignored as a whole and every value of the last full block stays, so
  // a fix is never mixed from two messages. Bytes beyond kBlockSize are not
  // looked at.
  void Decode(std::span<const uint8_t> block);

  std::string DateText() const;  // "%02d/%02d/%04d" month, day, year
  std::string TimeText() const;  // "%02d:%02d:%02d" hour, minute, second
  const char* StatusText() const;

  // Splits a position value into its notations; the hemisphere letter is
  // positive or notPositive (zero counts as south or west).
  static Coordinate DecodeCoordinate(int32_t value, char positive, char notPositive);

  const Coordinate& Latitude() const { return latitude_; }
  const Coordinate& Longitude() const { return longitude_; }
  const Coordinate& RawLatitude() const { return rawLatitude_; }  // unfiltered
  const Coordinate& RawLongitude() const { return rawLongitude_; }
  double GpsHeight() const { return gpsHeight_; }  // centimetres above the ellipsoid
  double MslHeight() const { return mslHeight_; }  // centimetres above mean sea level
  double RawGpsHeight() const { return rawGpsHeight_; }
  double RawMslHeight() const { return rawMslHeight_; }

  int Month() const { return month_; }
  int Day() const { return day_; }
  int Year() const { return year_; }
  int Hour() const { return hour_; }
  int Minute() const { return minute_; }
  int Second() const { return second_; }

  uint16_t Speed3D() const { return speed3D_; }  // centimetres per second
  uint16_t Speed2D() const { return speed2D_; }
  uint16_t Heading() const { return heading_; }
  uint16_t Geometry() const { return geometry_; }
  int VisibleSatellites() const { return visible_; }
  int TrackedSatellites() const { return tracked_; }
  uint8_t StatusByte() const { return status_; }
  int StatusCode() const { return status_ >> kStatusCodeShift; }

  const std::array<uint8_t, 4>& Tag() const { return tag_; }
  const std::array<Channel, kChannelCount>& Channels() const { return channels_; }
  const Kept& KeptValues() const { return kept_; }

 private:
  std::array<uint8_t, 4> tag_{};
  int month_ = 1;
  int day_ = 1;
  int year_ = 2000;
  int hour_ = 12;
  int minute_ = 0;
  int second_ = 0;
  Coordinate latitude_;
  Coordinate longitude_;
  Coordinate rawLatitude_;
  Coordinate rawLongitude_;
  double gpsHeight_ = 0.0;
  double mslHeight_ = 0.0;
  double rawGpsHeight_ = 0.0;
  double rawMslHeight_ = 0.0;
  uint16_t speed3D_ = 0;
  uint16_t speed2D_ = 0;
  uint16_t heading_ = 0;
  uint16_t geometry_ = 0;
  int visible_ = 0;
  int tracked_ = 0;
  uint8_t status_ = 0;
  std::array<Channel, kChannelCount> channels_{};
  Kept kept_;
};

}  // namespace morphel
