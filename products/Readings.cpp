#include "products/Readings.h"

#include <algorithm>
#include <cmath>

#include "products/Formats.h"

namespace morphel {

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;

// The formatters start every line with the protocol padded to 7 characters,
// the two-letter kind, a blank, the capcode and a blank; continuation lines
// of a FLEX message are indented by as much.
constexpr size_t kProtocolWidth = 7;
constexpr size_t kKindWidth = 2;
constexpr size_t kLineHead = 21;
constexpr size_t kWrappedLine = 80;  // a text line moves on once longer than this

bool LeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && LeapYear(year)) return 29;
  return kDays[month - 1];
}

bool ValidTimeOfDay(int hour, int minute, int second) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

int64_t ReadingTime::Seconds() const {
  const int64_t ofDay = int64_t{hour} * kSecondsPerHour + minute * kSecondsPerMinute + second;
  if (!HasDate()) return ofDay;
  return DaysFromCivil(year, month, day) * kSecondsPerDay + ofDay;
}

bool ReadingTime::Before(const ReadingTime& other) const {
  if (!valid || !other.valid || HasDate() != other.HasDate()) return false;
  int64_t later = other.Seconds() - Seconds();
  if (HasDate()) return later > 0;
  later = (later % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
  return later > 0 && later < kSecondsPerDay / 2;
}

ReadingTime ClockTime(ReadingClock clock, int year4, int month, int day, int hour, int minute,
                      int second) {
  ReadingTime t{year4, month, day, hour, minute, second, clock, false};
  t.valid = year4 > 0 && month >= 1 && month <= 12 && day >= 1 &&
            day <= DaysInMonth(year4, month) && ValidTimeOfDay(hour, minute, second);
  return t;
}

ReadingTime ReceiverClockTime(int year2, int month, int day, int hour, int minute, int second) {
  if (year2 < 0 || year2 > 99) return ReadingTime{};
  return ClockTime(ReadingClock::Receiver, formats::GraysonYear(year2), month, day, hour, minute,
                   second);
}

ReadingTime TimeOfDay(ReadingClock clock, int hour, int minute, int second) {
  ReadingTime t{0, 0, 0, hour, minute, second, clock, false};
  t.valid = ValidTimeOfDay(hour, minute, second);
  return t;
}

ReadingPosition PositionFix(double latitude, double longitude, bool receiverSaysValid) {
  ReadingPosition p{latitude, longitude, false};
  p.fix = receiverSaysValid && std::isfinite(latitude) && std::isfinite(longitude) &&
          std::fabs(latitude) <= kMaxLatitude && std::fabs(longitude) <= kMaxLongitude;
  return p;
}

bool ParsePagingLine(std::string_view line, PagingMessage& message) {
  if (line.size() < kLineHead - 1) return false;
  std::string_view protocol = line.substr(0, kProtocolWidth);
  while (!protocol.empty() && protocol.back() == ' ') protocol.remove_suffix(1);
  if (protocol != "POCSAG" && protocol != "FLEX") return false;
  size_t at = kProtocolWidth + kKindWidth;
  if (line[at] != ' ') return false;
  uint64_t capcode = 0;
  size_t digits = 0;
  for (++at; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at, ++digits)
    capcode = capcode * 10 + static_cast<uint64_t>(line[at] - '0');
  if (digits == 0 || digits > 20 || (at < line.size() && line[at] != ' ')) return false;
  message.protocol = std::string(protocol);
  message.kind = std::string(line.substr(kProtocolWidth, kKindWidth));
  while (!message.kind.empty() && message.kind.back() == ' ') message.kind.pop_back();
  message.capcode = capcode;
  message.text.clear();
  std::string_view rest = at < line.size() ? line.substr(at + 1) : std::string_view{};
  // Further lines of a long message stand under the first line's text. A
  // line longer than 80 characters was cut there for the display and goes
  // on in the next; a shorter one ended at a line feed of the message.
  size_t previous = 0;
  for (bool first = true;; first = false) {
    const size_t end = rest.find('\n');
    std::string_view piece = rest.substr(0, end);
    if (!first) {
      piece.remove_prefix(std::min({piece.find_first_not_of(' '), kLineHead, piece.size()}));
      if (previous <= kWrappedLine) message.text.push_back('\n');
    }
    previous = piece.size();
    message.text.append(piece);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return true;
}

void ReadingRecord::Clear() {
  time = ReadingTime{};
  position = ReadingPosition{};
  hasMarker = false;
  marker = 0;
  gpsStatus.clear();
  segment = 0;
  segmentType = -1;
  readings.clear();
  messages.clear();
}

}  // namespace morphel
