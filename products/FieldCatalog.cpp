#include "products/FieldCatalog.h"

namespace morphel {

namespace {
constexpr std::array<std::string_view, FieldCatalog::kFieldCount> kNames = {
    "<< DATA >>",
    "<< FLEX DATA >>",
    "<< POCSAG DATA >>",
    "BER",
    "CR / LF",
    "Latitude (Decimal Degrees)",
    "Latitude (Degrees)",
    "Latitude (Minutes)",
    "Latitude (Decimal Minutes)",
    "Latitude (Seconds)",
    "Latitude Hemisphere",
    "Longitude (Decimal Degrees)",
    "Longitude (Degrees)",
    "Longitude (Minutes)",
    "Longitude (Decimal Minutes)",
    "Longitude (Seconds)",
    "Longitude Hemisphere",
    "GPS Status",
    "GPS Time (HH:MM:SS)",
    "GPS Hour (HH)",
    "GPS Minute (MM)",
    "GPS Second (SS)",
    "GPS Date (MM/DD/YY)",
    "GPS Month (MM)",
    "GPS Day (DD)",
    "GPS Year (YY)",
    "GPS Altitude (Meters)",
    "GPS Velocity (MPH)",
    "GPS Heading",
    "Marker Value",
    "Measurement Type",
    "Odometer Reading",
    "Record Number",
    "RTC Date (MM-DD-YY)",
    "RTC Month (MM)",
    "RTC Day (DD)",
    "RTC Year (YY)",
    "RTC Time (HH:MM:SS)",
    "RTC Hour (HH)",
    "RTC Minute (MM)",
    "RTC Second (SS)",
    "Speed (BPS)",
    "X Coordinate",
    "Y_Coordinate",
    "Scan Mode",
    "Ext. Navigation Status",
    "Min. Frequency (MHz)",
    "Max. Frequency (MHz)",
    "Step Size (KHz)",
    "Receiver",
    "TP Latitude (Dec Deg)",
    "TP Longitude (Dec Deg)",
    "TP Date (MM-DD-YY)",
    "TP Time (HH:MM:SS)",
    "TP Speed (km/h)",
    "TP Direction (deg from N)",
};
}  // namespace

std::string_view FieldCatalog::Name(int id) {
  if (id < 0 || id >= kFieldCount) return {};
  return kNames[static_cast<size_t>(id)];
}

std::optional<int> FieldCatalog::Find(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i)
    if (kNames[i] == name) return static_cast<int>(i);
  return std::nullopt;
}

}  // namespace morphel
