#include "products/FormatTable.h"

#include <charconv>

#include "products/FieldCatalog.h"
#include "products/ProductTable.h"

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
using L = Layout;
using I = FormatItem;

constexpr OutputPreset kNativePreset = {H::Unchanged, kDelimiterUnchanged, kNone, kNone, false,
                                        nullptr};
// A preset that only empties the selection.
constexpr OutputPreset kEmptySelection = kNativePreset;

// item, caption, CLI name, layout, binary, side file, first line; preset:
// header, delimiter, fields, Skarn fields, Field Data set A, output name.
const std::array<FormatRow, kFormatCount> kFormats = {{
    {I::Comarco, "Comarco Workbench", "comarco", L::Delimited, false, false, nullptr,
     kEmptySelection},
    {I::EdxSignalPro,
     "EDX SignalPro",
     "edx",
     L::Delimited,
     false,
     false,
     "5\n",
     {H::Off, kDelimiterComma, kLonLatData, kDataOnly, true, nullptr}},
    {I::MaxPlan,
     "Expert Wireless MaXPlan",
     "maxplan",
     L::Delimited,
     false,
     false,
     nullptr,
     {H::Off, kDelimiterTab, kLatLonData, kDataOnly, true, "test.sdr"}},
    {I::Grayson, "Grayson IQ Analyzer", "grayson", L::Grayson, false, false, nullptr,
     kNativePreset},
    {I::MapInfo,
     "MapInfo (w/ dB Planner)",
     "mapinfo",
     L::Delimited,
     false,
     false,
     nullptr,
     {H::Off, kDelimiterTab, kLonLatData, kDataOnly, false, nullptr}},
    {I::Excel,
     "Microsoft Excel",
     "excel",
     L::Delimited,
     false,
     false,
     nullptr,
     {H::On, kDelimiterTab, kExcel, kNone, false, nullptr}},
    {I::PathPro,
     "MLJ PathPro",
     "pathpro",
     L::PathView,
     true,
     true,
     nullptr,
     {H::Unchanged, kDelimiterUnchanged, kNone, kNone, false, "MLJ.M01"}},
    {I::Planet, "MSI Planet", "planet", L::Planet, false, false, nullptr, kNativePreset},
    {I::Opas32, "SAFCO OPAS32", "opas32", L::Delimited, false, false, nullptr, kEmptySelection},
    {I::CellWizard,
     "TEC Cellular Wizard",
     "cellwizard",
     L::Delimited,
     false,
     false,
     nullptr,
     {H::Off, kDelimiterComma, kCellularWizard, kRecordNumberOnly, false, nullptr}},
    {I::PlotworX,
     "Teleworx PlotworX",
     "plotworx",
     L::Delimited,
     false,
     false,
     nullptr,
     {H::Off, kDelimiterTab, kLonLatData, kDataOnly, false, nullptr}},
    {I::Custom,
     "Custom ASCII Configuration",
     "custom",
     L::Delimited,
     false,
     false,
     nullptr,
     {H::Off, kDelimiterComma, kNone, kNone, false, nullptr}},
    {I::InFielder, "Wireless Valley InFielder", "infielder", L::InFielder, false, false, nullptr,
     kNativePreset},
}};

bool ParseItem(std::string_view s, int& value) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

}  // namespace

const std::array<FormatRow, kFormatCount>& FormatRows() {
  return kFormats;
}

const FormatRow& Row(FormatItem item) {
  return kFormats[static_cast<size_t>(item)];
}

const FormatRow* FormatRowFor(int item) {
  if (item < 0 || item >= kFormatCount) return nullptr;
  return &kFormats[static_cast<size_t>(item)];
}

const FormatRow* FormatRowByName(std::string_view name) {
  int item = 0;
  if (ParseItem(name, item)) return FormatRowFor(item);
  for (const auto& f : kFormats)
    if (name == f.cliName) return &f;
  return nullptr;
}

bool ProductWritesFormat(int productItem, int formatItem) {
  const ProductRow* p = ProductRowFor(productItem);
  const FormatRow* f = FormatRowFor(formatItem);
  if (!p || !f || !p->Supported()) return false;
  return f->layout != Layout::InFielder || p->inFielder;
}

std::string ProductsWritingFormat(int formatItem) {
  std::string names;
  for (const auto& p : ProductRows()) {
    if (!ProductWritesFormat(p.Number(), formatItem)) continue;
    if (!names.empty()) names += ", ";
    names += p.caption;
  }
  return names;
}

}  // namespace morphel
