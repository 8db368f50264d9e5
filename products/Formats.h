#pragma once
// The layouts of the post-processing tools that have a file format of their
// own. Each is written here once; every reader feeds it its own values.
// Text pieces use "\n" and "\r" as single bytes; the conversion run stores
// line feeds of text formats as CR LF.

#include <cstdint>
#include <string>
#include <vector>

#include "products/FormatTable.h"

namespace morphel::formats {

// Format list items with a layout of their own.
constexpr int kGrayson = ItemNumber(FormatItem::Grayson);
constexpr int kPathView = ItemNumber(FormatItem::PathPro);
constexpr int kPlanet = ItemNumber(FormatItem::Planet);
constexpr int kInFielder = ItemNumber(FormatItem::InFielder);

// One measured entry of a record as the layouts report it.
struct LayoutEntry {
  double mhz = 0;            // frequency
  long channel = 0;          // channel number as the layout reports it
  long rssi = 0;             // magnitude of the dBm value
  double pathViewLevel = 0;  // the PathView level (dBm, signed)
  long inFielderRssi = 0;    // the InFielder record's RSSI magnitude
};

// Which clock times a record where it is given as one time (the tidy
// readings): the receiver's clock (rtcYear.. and rtcHour..), the same
// without a date where the receiver's clock keeps none, or the GPS
// receiver's date and time (gpsYear.. and gpsHour..); none before the log
// gave a time.
enum class RecordClock : uint8_t { None, Receiver, ReceiverTimeOfDay, Gps };

// What the layouts write of the current record: its clocks, its position in
// the forms the layouts take, and its measured entries (one each for most
// readers; a Zev record reports every entry of its list). The tidy readings
// take the record's time, position and marker from here too.
struct LayoutValues {
  int rtcYear = 0, rtcMonth = 0, rtcDay = 0;  // two-digit year
  int rtcHour = 0, rtcMinute = 0, rtcSecond = 0;
  int gpsYear = 0, gpsMonth = 0, gpsDay = 0;  // four-digit year; 0 where the log has no GPS date
  int gpsHour = 0, gpsMinute = 0, gpsSecond = 0;
  RecordClock clock = RecordClock::Receiver;
  double latitude = 0, longitude = 0;  // signed decimal degrees
  bool positionFix = false;            // the receiver reports them as a valid fix
  // The Grayson position line: whole latitude degrees, the latitude's
  // fraction of a degree in millionths, and the longitude as Grayson takes it.
  int graysonLatDegrees = 0;
  long graysonLatMicro = 0;
  double graysonLongitude = 0;
  int planetDecimals = 4;  // decimals of the Planet report's frequency
  // InFielder: only readers that fill these write its layout.
  bool inFielder = false;
  double inFielderX = 0, inFielderY = 0;
  long marker = 0;
  bool hasMarker = false;  // marker is the record's marker value
  std::vector<LayoutEntry> entries;

  // The record's RTC date and GPS time.
  void SetClocks(int year, int month, int day, int hour, int minute, int second) {
    rtcYear = year;
    rtcMonth = month;
    rtcDay = day;
    gpsHour = hour;
    gpsMinute = minute;
    gpsSecond = second;
  }
};

// The layouts written from those values: what goes before the first record,
// each record, and after the last block.
void WriteHeader(Layout layout, const LayoutValues& values, std::string& out);
void WriteRecord(Layout layout, const LayoutValues& values, std::string& out);
void WriteTrailer(Layout layout, const LayoutValues& values, std::string& out);

// Four-digit year of the Grayson date line from a two-digit RTC year.
int GraysonYear(int rtcYear);
// Frequency in units of 10 Hz, truncated toward zero.
long FrequencyTenHz(double mhz);
// Fraction of a degree in millionths: (minutes / 60 + thousandths / 60000)
// x 1,000,000, truncated toward zero.
long MicroDegrees(int minutes, int thousandths);
// Signed decimal degrees from degrees, minutes, thousandths of a minute; the
// value is negative when negative is true.
double DecimalDegrees(int degrees, int minutes, int thousandths, bool negative);

// Grayson IQ Analyzer record stream.
// "D%04d%02d%02d%02d\r"
void GraysonDateLine(std::string& out, int year4, int month, int day, int hour);
// "m%02d%02d00RCRD" + 42 zeros + "\r"
void GraysonStartLine(std::string& out, int minute, int second);
// "r%02d%02d00%09ld%03d\r"
void GraysonReceiverLine(std::string& out, int minute, int second, long tenHz, long rssi);
// "G%02d%02d00%+04d.%06ld%+03.5f%02d%02d%02d0000\r"
void GraysonPositionLine(std::string& out, int minute, int second, int latDegrees, long latMicro,
                         double longitude, int hour, int gpsMinute, int gpsSecond);
// "m%02d%02d00IDLE" + 42 zeros + "\r"
void GraysonTrailer(std::string& out, int minute, int second);

// PathView M01 record file and its MDF side file.
constexpr size_t kPathViewHeaderSize = 19;
constexpr size_t kPathViewRecordSize = 28;
constexpr size_t kPathViewSideFileSize = 26;
// Side-file name: the output's file name cut at its first '.', plus ".MDF",
// in the output's folder.
std::string PathViewSideFileName(const std::string& outputName);
// Writes the side file beside the output (skipped silently when it cannot be
// created). now < 0 takes the current time. The conversion run writes it.
void WritePathViewSideFile(const std::string& outputName, int64_t now);
// Appends the 19-byte M01 header.
void PathViewHeader(std::string& out);
// The 26 bytes of the side file for the given time.
std::string PathViewSideFile(int64_t now);
// One 28-byte record.
void PathViewRecord(std::string& out, double rssiDbm, double longitude, double latitude, int hour,
                    int minute, int second);

// MSI Planet report file.
void PlanetHeader(std::string& out);
// "%02d:%02d:%02d:00" then " %3.6f %3.6f"
void PlanetPrefix(std::string& out, int hour, int minute, int second, double latitude,
                  double longitude);
// " REPORT::Report: %.4f %d -%d\n" (decimals 4) or "%.5f" (decimals 5)
void PlanetReport(std::string& out, double frequency, long channel, long rssi, int decimals = 4);

// Wireless Valley InFielder manual-data file.
void InFielderHeader(std::string& out);
// "%.2f\t%.2f\t0.00\t%d\t-%d\tXXX\n"
void InFielderRecord(std::string& out, double x, double y, long marker, long rssi);

}  // namespace morphel::formats
