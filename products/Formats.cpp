#include "products/Formats.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/Fmt.h"

namespace morphel::formats {

namespace {
constexpr const char* kZeros42 = "000000000000000000000000000000000000000000";

void PutLe64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}
void PutDouble(std::string& out, double d) {
  uint64_t bits = 0;
  std::memcpy(&bits, &d, sizeof bits);
  PutLe64(out, bits);
}
}  // namespace

int GraysonYear(int rtcYear) {
  return rtcYear < 91 ? rtcYear + 2000 : rtcYear + 1900;
}

long FrequencyTenHz(double mhz) {
  return static_cast<long>(std::trunc(mhz * 100000.0));
}

long MicroDegrees(int minutes, int thousandths) {
  return static_cast<long>(std::trunc((minutes / 60.0 + thousandths / 60000.0) * 1000000.0));
}

double DecimalDegrees(int degrees, int minutes, int thousandths, bool negative) {
  double v = degrees + minutes / 60.0 + thousandths / 60000.0;
  return negative ? -v : v;
}

void GraysonDateLine(std::string& out, int year4, int month, int day, int hour) {
  out.push_back('D');
  text::d04(out, year4);
  text::d02(out, month);
  text::d02(out, day);
  text::d02(out, hour);
  out.push_back('\r');
}

void GraysonStartLine(std::string& out, int minute, int second) {
  out.push_back('m');
  text::d02(out, minute);
  text::d02(out, second);
  out.append("00RCRD");
  out.append(kZeros42);
  out.push_back('\r');
}

void GraysonReceiverLine(std::string& out, int minute, int second, long tenHz, long rssi) {
  out.push_back('r');
  text::d02(out, minute);
  text::d02(out, second);
  out.append("00");
  text::d09(out, tenHz);
  text::d03(out, rssi);
  out.push_back('\r');
}

void GraysonPositionLine(std::string& out, int minute, int second, int latDegrees, long latMicro,
                         double longitude, int hour, int gpsMinute, int gpsSecond) {
  out.push_back('G');
  text::d02(out, minute);
  text::d02(out, second);
  out.append("00");
  text::plusD04(out, latDegrees);
  out.push_back('.');
  text::d06(out, latMicro);
  text::plusF03_5(out, longitude);
  text::d02(out, hour);
  text::d02(out, gpsMinute);
  text::d02(out, gpsSecond);
  out.append("0000\r");
}

void GraysonTrailer(std::string& out, int minute, int second) {
  out.push_back('m');
  text::d02(out, minute);
  text::d02(out, second);
  out.append("00IDLE");
  out.append(kZeros42);
  out.push_back('\r');
}

std::string PathViewSideFileName(const std::string& outputName) {
  // Only the file name is cut, never its folders ("drive.2024/run/MLJ.M01",
  // "./MLJ.M01"); a leading dot marks a hidden name, not an extension.
  const size_t slash = outputName.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = outputName.find('.', name + 1);
  return outputName.substr(0, dot) + ".MDF";
}

std::string PathViewSideFile(int64_t now) {
  std::string s = "PathView MDF File";
  s.push_back('\x1A');
  s.push_back('\x63');
  s.push_back('\x63');
  auto t = static_cast<uint32_t>(now);
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(t >> (8 * i)));
  s.push_back('\x01');
  s.push_back('\x00');
  return s;
}

void WritePathViewSideFile(const std::string& outputName, int64_t now) {
  if (now < 0) now = static_cast<int64_t>(std::time(nullptr));
  const std::string side = PathViewSideFile(now);
  if (FILE* f = std::fopen(PathViewSideFileName(outputName).c_str(), "wb")) {
    std::fwrite(side.data(), 1, side.size(), f);
    std::fclose(f);
  }
}

void PathViewHeader(std::string& out) {
  out.append("PathView M01 File");
  out.push_back('\x63');
  out.push_back('\x63');
}

void PathViewRecord(std::string& out, double rssiDbm, double longitude, double latitude, int hour,
                    int minute, int second) {
  out.push_back('\x01');
  PutDouble(out, rssiDbm);
  PutDouble(out, longitude);
  PutDouble(out, latitude);
  out.push_back(static_cast<char>(hour));
  out.push_back(static_cast<char>(minute));
  out.push_back(static_cast<char>(second));
}

void PlanetHeader(std::string& out) {
  out.append(
      "_HEADER\nVERSION: 1.00\nSYSTEM: Generic\n_DEFINITIONS\nDEF_FIELD: Frequency FLOAT\n"
      "DEF_FIELD: Channel INT\nDEF_FIELD: RSSI INT\nDEF_REPORT: Report Frequency Channel RSSI\n"
      "_MAIN\n");
}

void PlanetPrefix(std::string& out, int hour, int minute, int second, double latitude,
                  double longitude) {
  text::hms(out, hour, minute, second);
  out.append(":00 ");
  text::f3_6(out, latitude);
  out.push_back(' ');
  text::f3_6(out, longitude);
}

void PlanetReport(std::string& out, double frequency, long channel, long rssi, int decimals) {
  out.append(" REPORT::Report: ");
  text::f(out, frequency, decimals);
  out.push_back(' ');
  text::d(out, channel);
  out.append(" -");
  text::d(out, rssi);
  out.push_back('\n');
}

void InFielderHeader(std::string& out) {
  out.append(
      "Orvane Instruments, Inc.\nTYPE:\tMANUAL_DATA_ENTRY\nMEASUREMENT RUN:\t\nNOTES: Zev File");
  out.append("\nTRANSMITTER:\tT1\nTX LOCATION:\t0\t0\t0\nX\tY\tZ\tMARKER\tRSSI(dBm)\tNOTES\n");
  out.append(47, '_');
  out.push_back('\n');
}

void InFielderRecord(std::string& out, double x, double y, long marker, long rssi) {
  text::f(out, x, 2);
  out.push_back('\t');
  text::f(out, y, 2);
  out.append("\t0.00\t");
  text::d(out, marker);
  out.append("\t-");
  text::d(out, rssi);
  out.append("\tXXX\n");
}

void WriteHeader(Layout layout, const LayoutValues& v, std::string& out) {
  switch (layout) {
    case Layout::Grayson:
      GraysonDateLine(out, GraysonYear(v.rtcYear), v.rtcMonth, v.rtcDay, v.gpsHour);
      GraysonStartLine(out, v.gpsMinute, v.gpsSecond);
      break;
    case Layout::PathView:
      PathViewHeader(out);
      break;
    case Layout::Planet:
      PlanetHeader(out);
      break;
    case Layout::InFielder:
      if (v.inFielder) InFielderHeader(out);
      break;
    case Layout::Delimited:
      break;
  }
}

void WriteRecord(Layout layout, const LayoutValues& v, std::string& out) {
  switch (layout) {
    case Layout::Grayson:
      for (const LayoutEntry& e : v.entries)
        GraysonReceiverLine(out, v.gpsMinute, v.gpsSecond, FrequencyTenHz(e.mhz), e.rssi);
      // The Grayson tools take the position without hemisphere signs.
      GraysonPositionLine(out, v.gpsMinute, v.gpsSecond, v.graysonLatDegrees, v.graysonLatMicro,
                          v.graysonLongitude, v.gpsHour, v.gpsMinute, v.gpsSecond);
      break;
    case Layout::PathView:
      for (const LayoutEntry& e : v.entries)
        PathViewRecord(out, e.pathViewLevel, v.longitude, v.latitude, v.gpsHour, v.gpsMinute,
                       v.gpsSecond);
      break;
    case Layout::Planet:
      for (const LayoutEntry& e : v.entries) {
        PlanetPrefix(out, v.gpsHour, v.gpsMinute, v.gpsSecond, v.latitude, v.longitude);
        PlanetReport(out, e.mhz, e.channel, e.rssi, v.planetDecimals);
      }
      break;
    case Layout::InFielder:
      if (!v.inFielder) break;
      for (const LayoutEntry& e : v.entries)
        InFielderRecord(out, v.inFielderX, v.inFielderY, v.marker, e.inFielderRssi);
      break;
    case Layout::Delimited:
      break;
  }
}

void WriteTrailer(Layout layout, const LayoutValues& v, std::string& out) {
  if (layout == Layout::Grayson) GraysonTrailer(out, v.gpsMinute, v.gpsSecond);
}

}  // namespace morphel::formats
