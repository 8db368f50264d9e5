#pragma once
// The fields that several readers write alike: a coordinate logged as
// degrees, minutes and thousandths of a minute with a hemisphere letter, the
// GPS and real-time clocks ("%02d:%02d:%02d", "%02d/%02d/%02d", each part
// "%02d") and a receiver's band.

#include <cstdint>
#include <string>

#include "core/CachedText.h"
#include "core/Fmt.h"
#include "products/FieldCatalog.h"

namespace morphel {

// One coordinate as the receivers log it.
struct MinuteCoordinate {
  int degrees = 0;
  int minutes = 0;
  int thousandths = 0;  // of a minute
  char hemisphere = 0;  // 'N', 'S', 'E', 'W' (or whatever the log holds)
  bool operator==(const MinuteCoordinate&) const = default;
};

// Eight packed BCD digits DDDMMmmm (the first in the top nibble) and the
// hemisphere byte logged with them.
inline MinuteCoordinate BcdCoordinate(uint32_t digits, uint8_t hemisphere) {
  auto digit = [digits](int i) { return static_cast<int>(digits >> (28 - 4 * i) & 0x0F); };
  return {digit(0) * 100 + digit(1) * 10 + digit(2), digit(3) * 10 + digit(4),
          digit(5) * 100 + digit(6) * 10 + digit(7), static_cast<char>(hemisphere)};
}
// Milliseconds of arc, signed: a value that is not positive lies in the
// `notPositive` hemisphere.
MinuteCoordinate MilliArcCoordinate(int32_t value, char positive, char notPositive);
// Decimal degrees, without sign.
double Degrees(const MinuteCoordinate& c);

// The twelve latitude and longitude fields of a fix: decimal degrees with a
// number of places (a minus unless in the positive hemisphere), degrees,
// minutes, decimal minutes, seconds and the hemisphere letter. The decimal
// degrees are made again only when the fix changes.
class CoordinateFields {
 public:
  explicit CoordinateFields(int places) : places_(places) {}
  // Appends field `id` when it is one of the twelve, and answers whether it was.
  bool Append(int id, std::string& out, const MinuteCoordinate& latitude,
              const MinuteCoordinate& longitude) {
    if (id < FieldCatalog::kLatDecimal || id > FieldCatalog::kLonHemisphere) return false;
    if (id < FieldCatalog::kLonDecimal) {
      AppendPart(id - FieldCatalog::kLatDecimal, out, latitude, 'N', latitudeText_);
    } else {
      AppendPart(id - FieldCatalog::kLonDecimal, out, longitude, 'E', longitudeText_);
    }
    return true;
  }

 private:
  void AppendPart(int part, std::string& out, const MinuteCoordinate& c, char positive,
                  CachedText<MinuteCoordinate>& decimal);

  int places_;
  CachedText<MinuteCoordinate> latitudeText_, longitudeText_;
};

// A time "%02d:%02d:%02d" and its parts "%02d", for the field `timeId` and
// the three that follow it (hour, minute, second). Appends and answers true
// when id is one of them.
inline bool ClockTimeField(int id, int timeId, std::string& out, int hour, int minute, int second) {
  switch (id - timeId) {
    case 0:
      text::hms(out, hour, minute, second);
      return true;
    case 1:
      text::d02(out, hour);
      return true;
    case 2:
      text::d02(out, minute);
      return true;
    case 3:
      text::d02(out, second);
      return true;
    default:
      return false;
  }
}

// "GPS Time (HH:MM:SS)" and its hour, minute and second.
inline bool GpsTimeField(int id, std::string& out, int hour, int minute, int second) {
  return ClockTimeField(id, FieldCatalog::kGpsTime, out, hour, minute, second);
}

// The real-time clock's time and its parts.
inline bool RtcTimeField(int id, std::string& out, int hour, int minute, int second) {
  return ClockTimeField(id, FieldCatalog::kRtcTime, out, hour, minute, second);
}

// The real-time clock's date ("%02d/%02d/%02d", month first) and its
// month, day and year, then its time and parts.
inline bool RtcField(int id, std::string& out, int year, int month, int day, int hour, int minute,
                     int second) {
  switch (id) {
    case FieldCatalog::kRtcDate:
      text::mdy(out, month, day, year);
      return true;
    case FieldCatalog::kRtcMonth:
      text::d02(out, month);
      return true;
    case FieldCatalog::kRtcDay:
      text::d02(out, day);
      return true;
    case FieldCatalog::kRtcYear:
      text::d02(out, year);
      return true;
    case FieldCatalog::kRtcTime:
    case FieldCatalog::kRtcHour:
    case FieldCatalog::kRtcMinute:
    case FieldCatalog::kRtcSecond:
      return RtcTimeField(id, out, hour, minute, second);
    default:
      return false;
  }
}

// The clock and marker fields of a measurement header that names them
// rtcYear ... rtcSecond, gpsHour ... gpsSecond and marker.
template <typename Header>
bool HeaderField(int id, std::string& out, const Header& h) {
  switch (id) {
    case FieldCatalog::kMarkerValue:
      text::d(out, h.marker);
      return true;
    case FieldCatalog::kGpsTime:
    case FieldCatalog::kGpsHour:
    case FieldCatalog::kGpsMinute:
    case FieldCatalog::kGpsSecond:
      return GpsTimeField(id, out, h.gpsHour, h.gpsMinute, h.gpsSecond);
    default:
      return RtcField(id, out, h.rtcYear, h.rtcMonth, h.rtcDay, h.rtcHour, h.rtcMinute,
                      h.rtcSecond);
  }
}

// A receiver's band as its fields show it: the lowest and highest frequency
// (MHz) and the step (kHz) with the decimals a product writes them with, and
// the receiver's number.
struct BandTexts {
  double minMHz, maxMHz;
  int mhzPlaces;
  double stepKHz;
  int stepPlaces;
  int receiver;
};

// "Min Frequency", "Max Frequency", "Step Size" and "Receiver": appends and
// answers true when id is one of them; band() is asked for the BandTexts
// only then.
template <typename Band>
bool BandField(int id, std::string& out, Band&& band) {
  if (id < FieldCatalog::kMinFrequency || id > FieldCatalog::kReceiver) return false;
  const BandTexts b = band();
  switch (id) {
    case FieldCatalog::kMinFrequency:
      text::f(out, b.minMHz, b.mhzPlaces);
      break;
    case FieldCatalog::kMaxFrequency:
      text::f(out, b.maxMHz, b.mhzPlaces);
      break;
    case FieldCatalog::kStepSize:
      text::f(out, b.stepKHz, b.stepPlaces);
      break;
    default:
      text::d(out, b.receiver);
      break;
  }
  return true;
}

}  // namespace morphel
