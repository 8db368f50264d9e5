#pragma once
// The output fields every reader can be asked for. Ids are stable: the field
// lists and saved configurations store ids, never names.

#include <array>
#include <optional>
#include <string_view>

namespace morphel {

class FieldCatalog {
 public:
  static constexpr int kFieldCount = 56;
  static constexpr int kTableSize = 60;

  enum Id : int {
    kData = 0,
    kFlexData = 1,
    kPocsagData = 2,
    kBer = 3,
    kCrLf = 4,
    kLatDecimal = 5,
    kLatDegrees = 6,
    kLatMinutes = 7,
    kLatDecimalMinutes = 8,
    kLatSeconds = 9,
    kLatHemisphere = 10,
    kLonDecimal = 11,
    kLonDegrees = 12,
    kLonMinutes = 13,
    kLonDecimalMinutes = 14,
    kLonSeconds = 15,
    kLonHemisphere = 16,
    kGpsStatus = 17,
    kGpsTime = 18,
    kGpsHour = 19,
    kGpsMinute = 20,
    kGpsSecond = 21,
    kGpsDate = 22,
    kGpsMonth = 23,
    kGpsDay = 24,
    kGpsYear = 25,
    kGpsAltitude = 26,
    kGpsVelocity = 27,
    kGpsHeading = 28,
    kMarkerValue = 29,
    kMeasurementType = 30,
    kOdometer = 31,
    kRecordNumber = 32,
    kRtcDate = 33,
    kRtcMonth = 34,
    kRtcDay = 35,
    kRtcYear = 36,
    kRtcTime = 37,
    kRtcHour = 38,
    kRtcMinute = 39,
    kRtcSecond = 40,
    kSpeedBps = 41,
    kXCoordinate = 42,
    kYCoordinate = 43,
    kScanMode = 44,
    kExtNavStatus = 45,
    kMinFrequency = 46,
    kMaxFrequency = 47,
    kStepSize = 48,
    kReceiver = 49,
    kTpLatitude = 50,
    kTpLongitude = 51,
    kTpDate = 52,
    kTpTime = 53,
    kTpSpeed = 54,
    kTpDirection = 55,
  };

  // Fields several products offer together, in the order of their lists.
  static constexpr std::array<int, 12> kPositionFields{
      kLatDecimal, kLatDegrees, kLatMinutes, kLatDecimalMinutes, kLatSeconds, kLatHemisphere,
      kLonDecimal, kLonDegrees, kLonMinutes, kLonDecimalMinutes, kLonSeconds, kLonHemisphere};
  static constexpr std::array<int, 4> kGpsTimeFields{kGpsTime, kGpsHour, kGpsMinute, kGpsSecond};
  static constexpr std::array<int, 8> kRtcFields{kRtcDate, kRtcYear, kRtcMonth,  kRtcDay,
                                                 kRtcTime, kRtcHour, kRtcMinute, kRtcSecond};
  static constexpr std::array<int, 4> kBandFields{kMinFrequency, kMaxFrequency, kStepSize,
                                                  kReceiver};

  // Per-receiver ids used inside readers for the << DATA >> columns:
  // receiver * 100 + k, receiver 1..4.
  static constexpr int kPerReceiverFrequency = 1;
  static constexpr int kPerReceiverChannel = 2;
  static constexpr int kPerReceiverRssi = 3;

  // The field's name, or an empty view for ids outside 0..55.
  static std::string_view Name(int id);
  // The id whose name equals text exactly.
  static std::optional<int> Find(std::string_view name);
};

}  // namespace morphel
