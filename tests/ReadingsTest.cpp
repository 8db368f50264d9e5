// Tidy values: times of the receivers' clocks, position fixes, paging
// message lines, and what a log's readings add up to.

#include <gtest/gtest.h>

#include "index/LogFacts.h"
#include "products/Readings.h"

namespace morphel {
namespace {

TEST(ReadingTime, TwoDigitYearsAndRangesAsTheReceiversCount) {
  const struct {
    int year2, month, day, hour, minute, second;
    bool valid;
    int year4;
  } cases[] = {
      {24, 5, 1, 12, 30, 59, true, 2024},   {90, 1, 1, 0, 0, 0, true, 2090},
      {91, 12, 31, 23, 59, 59, true, 1991}, {24, 2, 29, 0, 0, 0, true, 2024},
      {23, 2, 29, 0, 0, 0, false, 2023},    {24, 0, 1, 0, 0, 0, false, 2024},
      {24, 13, 1, 0, 0, 0, false, 2024},    {24, 4, 31, 0, 0, 0, false, 2024},
      {24, 5, 1, 24, 0, 0, false, 2024},    {24, 5, 1, 0, 60, 0, false, 2024},
      {24, 5, 1, 0, 0, 60, false, 2024},    {100, 5, 1, 0, 0, 0, false, 0},
  };
  for (const auto& c : cases) {
    const ReadingTime t = ReceiverClockTime(c.year2, c.month, c.day, c.hour, c.minute, c.second);
    EXPECT_EQ(t.valid, c.valid) << c.year2 << "-" << c.month << "-" << c.day << " " << c.hour;
    EXPECT_EQ(t.year, c.year4);
    if (t.valid) {
      EXPECT_EQ(t.clock, ReadingClock::Receiver);
    }
  }
}

TEST(ReadingTime, BeforeComparesTimesOfOneKindAcrossMidnight) {
  const ReadingTime day = ClockTime(ReadingClock::Gps, 2024, 5, 1, 12, 0, 0);
  const ReadingTime later = ClockTime(ReadingClock::Gps, 2024, 5, 2, 0, 0, 0);
  const ReadingTime late = TimeOfDay(ReadingClock::Receiver, 23, 59, 50);
  const ReadingTime early = TimeOfDay(ReadingClock::Receiver, 0, 0, 10);
  EXPECT_TRUE(day.Before(later));
  EXPECT_FALSE(later.Before(day));
  EXPECT_FALSE(day.Before(day));
  EXPECT_TRUE(late.Before(early));  // past midnight
  EXPECT_FALSE(early.Before(late));
  EXPECT_FALSE(day.Before(early));  // a date and a time of day
  EXPECT_FALSE(ReadingTime{}.Before(day));
}

TEST(ReadingTime, SecondsCountFrom1970OrFromMidnight) {
  EXPECT_EQ(ClockTime(ReadingClock::Gps, 1970, 1, 1, 0, 0, 1).Seconds(), 1);
  EXPECT_EQ(ClockTime(ReadingClock::Gps, 2000, 3, 1, 0, 0, 0).Seconds(), 951868800);
  EXPECT_EQ(ClockTime(ReadingClock::Gps, 2024, 12, 31, 23, 59, 59).Seconds(), 1735689599);
  const ReadingTime ofDay = TimeOfDay(ReadingClock::Receiver, 1, 2, 3);
  EXPECT_TRUE(ofDay.valid);
  EXPECT_FALSE(ofDay.HasDate());
  EXPECT_EQ(ofDay.Seconds(), 3723);
  EXPECT_FALSE(TimeOfDay(ReadingClock::Receiver, 25, 0, 0).valid);
}

TEST(ReadingPosition, AFixNeedsTheReceiversWordAndAPlaceOnTheGlobe) {
  EXPECT_TRUE(PositionFix(52.5, -13.25, true).fix);
  EXPECT_FALSE(PositionFix(52.5, -13.25, false).fix);
  EXPECT_FALSE(PositionFix(90.5, 0, true).fix);
  EXPECT_FALSE(PositionFix(0, -180.01, true).fix);
  EXPECT_TRUE(PositionFix(-90, 180, true).fix);
  EXPECT_EQ(PositionFix(52.5, -13.25, false).latitude, 52.5);
}

TEST(PagingLine, ProtocolKindCapcodeAndText) {
  const std::string wrapped =
      "FLEX   AN 0000100000 " + std::string(81, 'A') + "\n" + std::string(21, ' ') + "REPLY";
  const std::string fed = "FLEX   AN 0000000007 FIRST\n" + std::string(21, ' ') + " SECOND";
  const struct {
    std::string line;
    bool ok;
    const char* protocol;
    const char* kind;
    uint64_t capcode;
    std::string text;
  } cases[] = {
      {"POCSAG NU 0000000011 123 -", true, "POCSAG", "NU", 11, "123 -"},
      {"POCSAG TN 0000000011 ", true, "POCSAG", "TN", 11, ""},
      {"POCSAG AN 0001234567", true, "POCSAG", "AN", 1234567, ""},
      {"FLEX   NS 68719476735 0123", true, "FLEX", "NS", 68719476735ull, "0123"},
      // A line cut for the display joins the next without a break; a line
      // that ended at a line feed keeps it (and a blank after the indent).
      {wrapped, true, "FLEX", "AN", 100000, std::string(81, 'A') + "REPLY"},
      {fed, true, "FLEX", "AN", 7, "FIRST\n SECOND"},
      {"Unknown Type", false, "", "", 0, ""},
      {"POCSAG NU 00000X0011 text", false, "", "", 0, ""},
      {"PAGING NU 0000000011 text", false, "", "", 0, ""},
      {"POCSAG NUX0000000011 text", false, "", "", 0, ""},
  };
  for (const auto& c : cases) {
    PagingMessage m;
    ASSERT_EQ(ParsePagingLine(c.line, m), c.ok) << c.line;
    if (!c.ok) continue;
    EXPECT_EQ(m.protocol, c.protocol);
    EXPECT_EQ(m.kind, c.kind);
    EXPECT_EQ(m.capcode, c.capcode);
    EXPECT_EQ(m.text, c.text);
  }
}

ReadingRecord Record(int second, double latitude, std::vector<Reading> readings) {
  ReadingRecord r;
  r.time = TimeOfDay(ReadingClock::Receiver, 23, 59, second);
  r.position = PositionFix(latitude, 10.0, latitude != 0);
  r.readings = std::move(readings);
  return r;
}

TEST(LogFacts, TimeSpanFixesAreaAndLevelsOfAReceiver) {
  LogFactsSink sink;
  struct NoReader : Product {
  } reader;
  ASSERT_TRUE(sink.BeginLog(reader));
  Reading quiet{1, 5, 851.0, 0};
  quiet.hasRssi = false;
  sink.Take(Record(50, 0, {{1, 10, 851.5, -90}, {1, 3, 850.0, -60}}));
  sink.Take(Record(55, 60.0, {{1, 7, 852.0, -70}, quiet, {2, 100, 900.0, -101}}));
  sink.Take(Record(58, 60.001, {{1, 8, 851.0, -80}}));
  // Another receiver's row measured at 23:59:56: in the area, not on the route.
  sink.Take(Record(56, 60.0005, {{3, 1, 450.0, -50}}));
  ReadingRecord messages = Record(59, 0, {});
  messages.messages = {{"FLEX", "AN", 1, "x"}, {"POCSAG", "NU", 2, "1"}, {"FLEX", "NS", 3, ""}};
  sink.Take(messages);
  ReadingRecord lateAtNight = Record(0, 0, {{1, 9, 851.0, -65}});
  lateAtNight.time = TimeOfDay(ReadingClock::Receiver, 0, 0, 10);
  sink.Take(lateAtNight);
  ASSERT_TRUE(sink.EndLog());
  const LogFacts& f = sink.Facts();
  EXPECT_EQ(f.records, 5);
  EXPECT_EQ(f.recordsWithFix, 3);
  EXPECT_EQ(f.DurationSeconds(), 20);  // 23:59:50 to 00:00:10, past midnight
  EXPECT_DOUBLE_EQ(f.south, 60.0);
  EXPECT_DOUBLE_EQ(f.north, 60.001);
  EXPECT_NEAR(f.distanceMetres, 111.2, 0.1);
  EXPECT_EQ(f.flexMessages, 2);
  EXPECT_EQ(f.pocsagMessages, 1);
  const ReceiverFacts& r1 = f.receivers[0];
  EXPECT_EQ(r1.readings, 6);
  EXPECT_EQ(r1.levels, 5);
  EXPECT_EQ(r1.channelMin, 3);
  EXPECT_EQ(r1.channelMax, 10);
  EXPECT_DOUBLE_EQ(r1.frequencyMinMHz, 850.0);
  EXPECT_DOUBLE_EQ(r1.frequencyMaxMHz, 852.0);
  EXPECT_EQ(r1.LevelMin(), -90);
  EXPECT_EQ(r1.LevelMedian(), -70);  // -90 -80 -70 -65 -60
  EXPECT_EQ(r1.LevelMax(), -60);
  EXPECT_EQ(f.receivers[1].LevelMedian(), -101);
  EXPECT_EQ(f.receivers[2].readings, 1);
  EXPECT_EQ(f.receivers[3].readings, 0);
}

}  // namespace
}  // namespace morphel
