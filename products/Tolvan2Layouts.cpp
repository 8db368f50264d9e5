// The post-processing layouts of the firmware 1.27 reader: Grayson, PathView
// and Planet records of the last header read and the first checked
// receiver's last fast block.

#include <cstdlib>

#include "products/Formats.h"
#include "products/Tolvan2.h"

namespace morphel {

namespace {
constexpr int64_t kMilliArcSecondsPerDegree = 3600000;
}  // namespace

int Tolvan2::LatitudeWholeDegrees() const {
  const int64_t whole =
      std::llabs(static_cast<int64_t>(fix_.header.latitude)) / kMilliArcSecondsPerDegree;
  return static_cast<int>(fix_.header.latitude < 0 ? -whole : whole);
}

long Tolvan2::LatitudeMicroDegrees() const {
  const int64_t rest =
      std::llabs(static_cast<int64_t>(fix_.header.latitude)) % kMilliArcSecondsPerDegree;
  return static_cast<long>(rest * 1000000 / kMilliArcSecondsPerDegree);
}

// The first checked receiver's last fast block, reported only while the scan
// type is "Fast Data".
Tolvan2::Measured Tolvan2::MeasuredEntry() const {
  Measured m;
  const int receiver = FirstCheckedReceiver(kReceivers);
  if (receiver == 0 || Config().ScanTypeGroup != 1) return m;
  const FastState& fast = fast_[static_cast<size_t>(receiver - 1)];
  if (!fast.present) return m;
  m.present = true;
  m.frequency = fast.band.ReportFrequencyMHz(fast.band.channel);
  m.channel = fast.band.channel;
  m.rssi = fast.mean;
  return m;
}

int Tolvan2::WriteFormatHeader(std::string& out) {
  out.clear();
  const Header& h = fix_.header;
  switch (Config().OutputFormatGroup) {
    case formats::kGrayson:
      formats::GraysonDateLine(out, formats::GraysonYear(h.rtcYear), h.rtcMonth, h.rtcDay,
                               h.gpsHour);
      formats::GraysonStartLine(out, h.gpsMinute, h.gpsSecond);
      break;
    case formats::kPathView:
      formats::PathViewHeader(out, Config().OutputFilename, Config().FrozenClock);
      break;
    case formats::kPlanet:
      formats::PlanetHeader(out);
      break;
    default:
      break;
  }
  return static_cast<int>(out.size());
}

int Tolvan2::WriteFormatRecord(std::string& out) {
  out.clear();
  const Header& h = fix_.header;
  const Measured m = MeasuredEntry();
  switch (Config().OutputFormatGroup) {
    case formats::kGrayson:
      formats::GraysonReceiverLine(out, h.gpsMinute, h.gpsSecond,
                                   formats::FrequencyTenHz(m.frequency), m.rssi);
      formats::GraysonPositionLine(out, h.gpsMinute, h.gpsSecond, LatitudeWholeDegrees(),
                                   LatitudeMicroDegrees(), Degrees(h.longitude), h.gpsHour,
                                   h.gpsMinute, h.gpsSecond);
      break;
    case formats::kPathView:
      // A level of zero is written as +0.0, never as a negative zero.
      formats::PathViewRecord(out, m.rssi != 0 ? -static_cast<double>(m.rssi) : 0.0,
                              Degrees(h.longitude), Degrees(h.latitude), h.gpsHour, h.gpsMinute,
                              h.gpsSecond);
      break;
    case formats::kPlanet:
      formats::PlanetPrefix(out, h.gpsHour, h.gpsMinute, h.gpsSecond, Degrees(h.latitude),
                            Degrees(h.longitude));
      formats::PlanetReport(out, m.frequency, m.channel, m.rssi, 4);
      break;
    default:
      break;
  }
  return static_cast<int>(out.size());
}

int Tolvan2::WriteFormatTrailer(std::string& out) {
  out.clear();
  if (Config().OutputFormatGroup == formats::kGrayson)
    formats::GraysonTrailer(out, fix_.header.gpsMinute, fix_.header.gpsSecond);
  return static_cast<int>(out.size());
}

}  // namespace morphel
