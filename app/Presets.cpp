#include "app/Presets.h"

#include "products/FieldCatalog.h"

namespace morphel {

namespace {

using F = FieldCatalog;

constexpr int kLonLatData[] = {F::kLonDecimal, F::kLatDecimal, F::kData};
constexpr int kLatLonData[] = {F::kLatDecimal, F::kLonDecimal, F::kData};
constexpr int kDataOnly[] = {F::kData};
constexpr int kExcel[] = {F::kLonDecimal, F::kLatDecimal, F::kGpsTime};
constexpr int kCellularWizard[] = {
    F::kRecordNumber,  F::kLatDegrees, F::kLatMinutes, F::kLatSeconds,
    F::kLatHemisphere, F::kLonDegrees, F::kLonMinutes, F::kLonSeconds,
    F::kLonHemisphere, F::kData,       F::kRtcYear,    F::kRtcMonth,
    F::kRtcDay,        F::kGpsHour,    F::kGpsMinute,  F::kGpsSecond};
constexpr int kRecordNumberOnly[] = {F::kRecordNumber};
constexpr std::span<const int> kNone{};

using H = HeaderChoice;

const std::array<OutputPreset, kFormatCount> kPresets = {{
    {0, H::Unchanged, kDelimiterUnchanged, kNone, kNone, false, nullptr, false},
    {1, H::Off, kDelimiterComma, kLonLatData, kDataOnly, true, nullptr, false},
    {2, H::Off, kDelimiterTab, kLatLonData, kDataOnly, true, "test.sdr", false},
    {3, H::Unchanged, kDelimiterUnchanged, kNone, kNone, false, nullptr, true},
    {4, H::Off, kDelimiterTab, kLonLatData, kDataOnly, false, nullptr, false},
    {5, H::On, kDelimiterTab, kExcel, kNone, false, nullptr, false},
    {6, H::Unchanged, kDelimiterUnchanged, kNone, kNone, false, "MLJ.M01", true},
    {7, H::Unchanged, kDelimiterUnchanged, kNone, kNone, false, nullptr, true},
    {8, H::Unchanged, kDelimiterUnchanged, kNone, kNone, false, nullptr, false},
    {9, H::Off, kDelimiterComma, kCellularWizard, kRecordNumberOnly, false, nullptr, false},
    {10, H::Off, kDelimiterTab, kLonLatData, kDataOnly, false, nullptr, false},
    {11, H::Off, kDelimiterComma, kNone, kNone, false, nullptr, false},
    {12, H::Unchanged, kDelimiterUnchanged, kNone, kNone, false, nullptr, true},
}};

}  // namespace

const std::array<OutputPreset, kFormatCount>& OutputPresets() {
  return kPresets;
}

const OutputPreset* PresetForItem(int item) {
  if (item < 0 || item >= kFormatCount) return nullptr;
  return &kPresets[static_cast<size_t>(item)];
}

}  // namespace morphel
