#include "products/Tolvan.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/Bytes.h"
#include "core/Fmt.h"
#include "products/FieldCatalog.h"
#include "products/SharedFields.h"

namespace morphel {

namespace {

constexpr CwScanner::Layout kTolvanLayout{
    .receivers = Tolvan::kReceivers,
    .receiverBlockSize = Tolvan::kReceiverBlockSize,
    .samplesOffset = 22,
    .scanDataSize = Tolvan::kScanDataSize,
    .descriptorSize = 16,
    .tablesOffset = 64,
    .tableEntrySize = 4,
    .translateOffsetMHz = 0.0,
    .hasMotion = true,
};

// Headers before firmware 1.25: BCD position and GPS time.
constexpr CwScanner::BcdHeaderLayout kBcdHeader{
    .rtcSecond = 2,
    .gpsStatus = 8,
    .latitude = 9,
    .latitudeHemisphere = 13,
    .longitude = 14,
    .longitudeHemisphere = 18,
    .gpsHour = 19,
    .marker = 22,
};

// Headers from firmware 1.25: big-endian GPS integers.
constexpr size_t kRtcSecond = 2;  // second, minute, hour, day, month, year
constexpr size_t kGpsStatus = 8;
constexpr size_t kLatitude = 9;
constexpr size_t kLongitude = 13;
constexpr size_t kAltitudeCm = 17;
constexpr size_t kSpeed = 21;
constexpr size_t kGpsHour = 25;  // hour, minute, second, binary
constexpr size_t kMarker = 28;

constexpr long kCentimetresPerMetre = 100;
constexpr long kSpeedToMphNumerator = 22356;
constexpr long kSpeedToMphDenominator = 1000000;

// Firmware text "1.25" as 125: the value x 100, truncated. Text that is not a
// number reads as 0.
int FirmwareFromText(const std::string& text) {
  size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return 0;
  const char* first = text.data() + start;
  if (*first == '+') ++first;
  double value = 0;
  auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
  if (ec != std::errc() || !std::isfinite(value)) return 0;
  double scaled = std::trunc(value * 100.0);
  if (scaled > std::numeric_limits<int>::max() || scaled < std::numeric_limits<int>::min())
    return 0;
  return static_cast<int>(scaled);
}

}  // namespace

Tolvan::Tolvan() : CwScanner(kTolvanLayout) {
  using F = FieldCatalog;
  SetAvailableFields(F::kData, F::kCrLf, F::kPositionFields, F::kGpsTimeFields, F::kGpsAltitude,
                     F::kGpsVelocity, F::kGpsStatus, F::kMarkerValue, F::kRtcFields);
}

int Tolvan::Open(const std::string& path) {
  firmware_ = kUnknownFirmware;
  return CwScanner::Open(path);
}

size_t Tolvan::HeaderSize() const {
  return firmware_ >= kBinaryHeaderFirmware ? kBinaryHeaderSize : kBcdHeaderSize;
}

void Tolvan::OnIdentification(const std::string&, const std::string& firmwareText) {
  firmware_ = FirmwareFromText(firmwareText);
}

void Tolvan::DecodeHeader(const uint8_t* bytes) {
  if (firmware_ >= kBinaryHeaderFirmware)
    DecodeBinaryHeader(bytes);
  else
    DecodeBcdHeader(bytes, kBcdHeader);
}

void Tolvan::DecodeBinaryHeader(const uint8_t* h) {
  DecodeRtc(h + kRtcSecond, h[kGpsStatus]);
  header_.latitude = MilliArcCoordinate(be32s(h + kLatitude), 'N', 'S');
  header_.longitude = MilliArcCoordinate(be32s(h + kLongitude), 'E', 'W');
  header_.altitudeM = be32s(h + kAltitudeCm) / kCentimetresPerMetre;
  header_.speedMph =
      static_cast<long>(be16(h + kSpeed)) * kSpeedToMphNumerator / kSpeedToMphDenominator;
  header_.gpsHour = h[kGpsHour];
  header_.gpsMinute = h[kGpsHour + 1];
  header_.gpsSecond = h[kGpsHour + 2];
  header_.marker = le16(h + kMarker);
}

// "1.25" from the identification record; empty before one.
std::string Tolvan::FirmwareText() const {
  if (firmware_ == kUnknownFirmware) return {};
  std::string text;
  if (firmware_ < 0) text.push_back('-');
  const long long hundredths = std::llabs(static_cast<long long>(firmware_));
  text::d(text, hundredths / 100);
  text.push_back('.');
  text::d02(text, hundredths % 100);
  return text;
}

}  // namespace morphel
