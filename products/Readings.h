#pragma once
// Tidy values of one output record of a reader: when and where it was
// measured and the channel readings the converted row shows as its
// << DATA >> columns, each as a plain number (signed dBm, MHz, decimal
// degrees) instead of product-specific text. Maps, tables and log summaries
// are made from these, in the same order and with the same values as the
// converted output.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morphel {

// Which clock a record's time comes from.
enum class ReadingClock : uint8_t {
  None = 0,  // the record has no time
  Gps,       // date and time of the GPS receiver (UTC)
  Receiver,  // the receiver's own real-time clock
};

struct ReadingTime {
  int year = 0;  // four digits; 0 when the log holds no date (time of day only)
  int month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  ReadingClock clock = ReadingClock::None;
  bool valid = false;  // the fields form a real date (if any) and time of day

  bool HasDate() const { return valid && year != 0; }
  // Whether this time lies before `other` (a row of one receiver can follow
  // rows of a later time when its list was measured earlier). A time of day
  // wraps at midnight; a date and a time of day are not compared.
  bool Before(const ReadingTime& other) const;
  // Seconds since 1970-01-01 (of the day alone when there is no date).
  int64_t Seconds() const;
};

// A date and time of the receiver clock with a two-digit year (90 or less
// is 20yy, later 19yy, as the receivers count).
ReadingTime ReceiverClockTime(int year2, int month, int day, int hour, int minute, int second);
// A date and time with a four-digit year.
ReadingTime ClockTime(ReadingClock clock, int year4, int month, int day, int hour, int minute,
                      int second);
// A time of day without a date.
ReadingTime TimeOfDay(ReadingClock clock, int hour, int minute, int second);

struct ReadingPosition {
  double latitude = 0;   // signed decimal degrees, WGS 84
  double longitude = 0;  // signed decimal degrees, WGS 84
  bool fix = false;      // a valid position fix
};

// A position that counts as a fix only when the receiver says so and both
// values lie on the globe.
ReadingPosition PositionFix(double latitude, double longitude, bool receiverSaysValid);

struct Reading {
  static constexpr int kNoCode = -1;

  int receiver = 1;  // 1..4
  int channel = 0;   // as the receiver displays it
  double frequencyMHz = 0;
  int rssiDbm = 0;  // signed dBm
  bool hasRssi = true;
  // Tone codes of analogue cellular channels; kNoCode where not logged.
  int sat = kNoCode;  // SAT (or the SAT/DCC code of a product that logs one)
  int dcc = kNoCode;
  int vmac = kNoCode;
};

// A decoded paging message of a Zev log.
struct PagingMessage {
  std::string protocol;  // "POCSAG" or "FLEX"
  std::string kind;      // the pager's message kind ("AN", "NU", "TN", "NS", ...)
  uint64_t capcode = 0;
  std::string text;  // lines cut for the display joined again; line feeds of the message kept
};

// Parses a message line as the paging formatters write it
// ("POCSAG NU 0000000011 text", "FLEX   AN 0000000001 text" and FLEX
// continuation lines). False when the line is not one.
bool ParsePagingLine(std::string_view line, PagingMessage& message);

struct ReadingRecord {
  ReadingTime time;
  ReadingPosition position;
  bool hasMarker = false;
  int marker = 0;
  std::string gpsStatus;  // as the product words it ("OK", "LOCKED", "3D Fix", ...)
  int segment = 0;        // from 1 in file order, as indexing numbers them; 0 before any
  int segmentType = -1;   // segment type code of the index tree
  std::vector<Reading> readings;
  std::vector<PagingMessage> messages;

  // Empties the record (keeping its buffers).
  void Clear();
};

}  // namespace morphel
