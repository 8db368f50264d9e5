#include "products/SharedFields.h"

#include <cstdlib>

namespace morphel {

MinuteCoordinate MilliArcCoordinate(int32_t value, char positive, char notPositive) {
  // Milliseconds of arc a degree, a minute and a thousandth of a minute; the
  // magnitude is wide enough for INT32_MIN.
  constexpr int64_t kPerDegree = 3600000, kPerMinute = 60000, kPerThousandth = 60;
  const int64_t magnitude = std::llabs(static_cast<int64_t>(value));
  const int64_t rest = magnitude % kPerDegree;
  MinuteCoordinate c;
  c.degrees = static_cast<int>(magnitude / kPerDegree);
  c.minutes = static_cast<int>(rest / kPerMinute);
  c.thousandths = static_cast<int>(rest % kPerMinute / kPerThousandth);
  c.hemisphere = value > 0 ? positive : notPositive;
  return c;
}

double Degrees(const MinuteCoordinate& c) {
  return c.degrees + c.minutes / 60.0 + c.thousandths / 60000.0;
}

void CoordinateFields::AppendPart(int part, std::string& out, const MinuteCoordinate& c,
                                  char positive, CachedText<MinuteCoordinate>& decimal) {
  switch (part) {
    case 0:
      decimal.Append(out, c, [&](std::string& t) {
        if (c.hemisphere != positive) t.push_back('-');
        text::f(t, Degrees(c), places_);
      });
      break;
    case 1:
      text::d(out, c.degrees);
      break;
    case 2:
      text::d(out, c.minutes);
      break;
    case 3:
      text::d(out, c.minutes);
      out.push_back('.');
      text::d03(out, c.thousandths);
      break;
    case 4:
      text::d(out, c.thousandths * 60 / 1000);
      break;
    default:  // "%c": a zero byte shows nothing
      if (c.hemisphere) out.push_back(c.hemisphere);
      break;
  }
}

}  // namespace morphel
