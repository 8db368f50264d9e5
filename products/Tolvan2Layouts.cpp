// The values the post-processing layouts of the firmware 1.27 reader take
// (Grayson, PathView and Planet records of the last header read and the first
// checked receiver's last fast block), and the tidy readings of a row.

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

void Tolvan2::FillLayoutValues(formats::LayoutValues& v) const {
  // The header the row being written was measured under; the layouts write
  // no rows and see the last header read.
  const Header& h = RowFix().header;
  v.SetClocks(h.rtcYear, h.rtcMonth, h.rtcDay, h.gpsHour, h.gpsMinute, h.gpsSecond);
  v.rtcHour = h.rtcHour;
  v.rtcMinute = h.rtcMinute;
  v.rtcSecond = h.rtcSecond;
  v.latitude = Degrees(h.latitude);
  v.longitude = Degrees(h.longitude);
  v.positionFix = (h.status & kPositionValid) != 0;
  v.hasMarker = true;
  v.marker = h.marker;
  v.graysonLatDegrees = LatitudeWholeDegrees();
  v.graysonLatMicro = LatitudeMicroDegrees();
  v.graysonLongitude = Degrees(h.longitude);
  const Measured m = MeasuredEntry();
  // A level of zero is written as +0.0 by PathView, never as a negative zero.
  v.entries.push_back(
      {m.frequency, m.channel, m.rssi, m.rssi != 0 ? -static_cast<double>(m.rssi) : 0.0, 0});
}

// Every reading of the list of the receiver ReceiverHasData chose.
void Tolvan2::AppendRowReadings(std::vector<Reading>& readings) {
  const size_t r = Index(current_);
  for (const DATABLOCK& e : ReadingLists[r]) {
    Reading reading{current_ + 1, static_cast<int>(bands_[r].PrintedChannel(e.channel)),
                    bands_[r].FrequencyMHz(e.channel), -static_cast<int>(e.rssi)};
    reading.sat = e.sat;
    reading.dcc = e.dcc;
    reading.vmac = e.vmac;
    readings.push_back(reading);
  }
}

}  // namespace morphel
