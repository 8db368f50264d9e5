// The Brisel GPS receiver's position/status message: coordinates in every
// notation, status texts, date and time texts, heights, speeds, the kept
// bytes, damaged (short) messages, and the sample writer's round trip.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/Bytes.h"
#include "decode/Gps.h"
#include "synth/GpsBlockWriter.h"

namespace morphel {
namespace {

using Block = std::array<uint8_t, 152>;

// Receiver status texts by status code (bits 7..5 of the status byte).
const char* const kStatusNames[] = {
    "Reserved",      "Reserved",       "Bad Geometry", "Acquiring Satellites",
    "Position Hold", "Propogate Mode", "2D Fix",       "3D Fix"};

void PutS32(Block& b, size_t offset, int32_t v) {
  putBe32(b.data() + offset, static_cast<uint32_t>(v));
}

TEST(Gps, InitialValuesBeforeAnyBlock) {
  TGPS gps;
  EXPECT_EQ(gps.DateText(), "01/01/2000");
  EXPECT_EQ(gps.TimeText(), "12:00:00");
  EXPECT_STREQ(gps.StatusText(), "Reserved");
  for (const auto* c : {&gps.Latitude(), &gps.RawLatitude()}) EXPECT_EQ(c->hemisphere, 'S');
  for (const auto* c : {&gps.Longitude(), &gps.RawLongitude()}) EXPECT_EQ(c->hemisphere, 'W');
  EXPECT_EQ(gps.Latitude().degrees, 0);
  EXPECT_EQ(gps.Longitude().decimalDegrees, 0.0);
  EXPECT_EQ(gps.GpsHeight(), 0.0);
  EXPECT_EQ(gps.Speed3D(), 0);
  EXPECT_EQ(gps.TrackedSatellites(), 0);
  EXPECT_EQ(gps.StatusByte(), 0);
}

struct CoordinateCase {
  int32_t value;
  int degrees;
  double decimal;
  int minutes;
  double decimalMinutes;
  int seconds;
  bool positive;
};

// Expected notations worked out by hand: q and r truncate toward zero.
constexpr CoordinateCase kCoordinateCases[] = {
    {-1800000, 0, -0.5, 30, 30.0, 0, false},
    {0, 0, 0.0, 0, 0.0, 0, false},
    {1, 0, 2.7777778e-7, 0, 1.6666667e-5, 0, true},
    {-1, 0, -2.7777778e-7, 0, 1.6666667e-5, 0, false},
    {-1234, 0, -0.0003427778, 0, 0.0205666667, 1, false},
    {648000000, 180, 180.0, 0, 0.0, 0, true},
    {-648000000, 180, -180.0, 0, 0.0, 0, false},
    {647999999, 179, 179.9999997222, 59, 59.9999833333, 59, true},
    {-647999999, 179, -179.9999997222, 59, 59.9999833333, 59, false},
    {-7384567, 2, -2.0512686111, 3, 3.0761166667, 4, false},
    {151234567, 42, 42.0096019444, 0, 0.5761166667, 34, true},
    {std::numeric_limits<int32_t>::min(), 596, -596.5232355556, 31, 31.3941333333, 23, false},
    {std::numeric_limits<int32_t>::max(), 596, 596.5232352778, 31, 31.3941166667, 23, true},
};

TEST(Gps, CoordinatesInEveryNotation) {
  for (const auto& k : kCoordinateCases) {
    SCOPED_TRACE(k.value);
    Block b{};
    for (size_t offset : {15u, 19u, 31u, 35u}) PutS32(b, offset, k.value);
    TGPS gps;
    gps.Decode(b);
    const std::array<const TGPS::Coordinate*, 4> all = {&gps.Latitude(), &gps.Longitude(),
                                                        &gps.RawLatitude(), &gps.RawLongitude()};
    for (size_t i = 0; i < all.size(); ++i) {
      const TGPS::Coordinate& c = *all[i];
      const bool isLatitude = i % 2 == 0;
      EXPECT_EQ(c.value, k.value);
      EXPECT_EQ(c.degrees, k.degrees);
      EXPECT_NEAR(c.decimalDegrees, k.decimal, 1e-9);
      EXPECT_EQ(c.minutes, k.minutes);
      EXPECT_NEAR(c.decimalMinutes, k.decimalMinutes, 1e-9);
      EXPECT_EQ(c.seconds, k.seconds);
      const char expected = isLatitude ? (k.positive ? 'N' : 'S') : (k.positive ? 'E' : 'W');
      EXPECT_EQ(c.hemisphere, expected);
    }
  }
}

TEST(Gps, EachPositionValueComesFromItsOwnOffset) {
  Block b{};
  PutS32(b, 15, 3600000 * 51);
  PutS32(b, 19, -3600000 * 2);
  PutS32(b, 23, 4711);
  PutS32(b, 27, -250);
  PutS32(b, 31, 3600000 * 52);
  PutS32(b, 35, -3600000 * 3);
  PutS32(b, 39, 4712);
  PutS32(b, 43, -251);
  TGPS gps;
  gps.Decode(b);
  EXPECT_EQ(gps.Latitude().degrees, 51);
  EXPECT_EQ(gps.Longitude().decimalDegrees, -2.0);
  EXPECT_EQ(gps.RawLatitude().degrees, 52);
  EXPECT_EQ(gps.RawLongitude().decimalDegrees, -3.0);
  EXPECT_EQ(gps.GpsHeight(), 4711.0);
  EXPECT_EQ(gps.MslHeight(), -250.0);
  EXPECT_EQ(gps.RawGpsHeight(), 4712.0);
  EXPECT_EQ(gps.RawMslHeight(), -251.0);
}

TEST(Gps, StatusTextOfEveryCode) {
  for (int code = 0; code < 8; ++code) {
    // 0xE0 is a 3D fix, 0x1F a reserved code: the low five bits do not count.
    for (int low : {0x00, 0x15, 0x1F}) {
      Block b{};
      b[129] = static_cast<uint8_t>(code << 5 | low);
      TGPS gps;
      gps.Decode(b);
      EXPECT_EQ(gps.StatusCode(), code);
      EXPECT_EQ(gps.StatusByte(), b[129]);
      EXPECT_STREQ(gps.StatusText(), kStatusNames[code]);
    }
  }
}

TEST(Gps, DateAndTimeTexts) {
  struct Case {
    uint8_t month, day;
    uint16_t year;
    uint8_t hour, minute, second;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {12, 31, 2024, 23, 59, 59, "12/31/2024", "23:59:59"},
      {1, 2, 1999, 7, 5, 9, "01/02/1999", "07:05:09"},
      {0, 0, 0, 0, 0, 0, "00/00/0000", "00:00:00"},
      {200, 255, 0x1234, 100, 255, 60, "200/255/4660", "100:255:60"},
  };
  for (const auto& k : cases) {
    Block b{};
    b[4] = k.month;
    b[5] = k.day;
    putBe16(b.data() + 6, k.year);
    b[8] = k.hour;
    b[9] = k.minute;
    b[10] = k.second;
    TGPS gps;
    gps.Decode(b);
    EXPECT_EQ(gps.DateText(), k.date);
    EXPECT_EQ(gps.TimeText(), k.time);
    EXPECT_EQ(gps.Year(), k.year);
  }
}

TEST(Gps, SpeedsHeadingAndSatellitesAreUnsigned) {
  Block b{};
  PutS32(b, 23, -12345);
  putBe16(b.data() + 47, 0xFFFF);
  putBe16(b.data() + 49, 0x8001);
  putBe16(b.data() + 51, 35999);
  putBe16(b.data() + 53, 0x0102);
  b[55] = 11;
  b[56] = 200;
  TGPS gps;
  gps.Decode(b);
  EXPECT_EQ(gps.GpsHeight(), -12345.0);
  EXPECT_EQ(gps.Speed3D(), 65535);
  EXPECT_EQ(gps.Speed2D(), 0x8001);
  EXPECT_EQ(gps.Heading(), 35999);
  EXPECT_EQ(gps.Geometry(), 0x0102);
  EXPECT_EQ(gps.VisibleSatellites(), 11);
  EXPECT_EQ(gps.TrackedSatellites(), 200);
}

TEST(Gps, KeptBytesAndFlags) {
  Block b{};
  for (size_t i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>('a' + i);
  for (size_t ch = 0; ch < 12; ++ch) {
    for (size_t j = 0; j < 4; ++j) b[57 + 6 * ch + j] = static_cast<uint8_t>(ch * 10 + j);
    putBe16(b.data() + 57 + 6 * ch + 4, static_cast<uint16_t>(0xA000 + ch));
  }
  b[130] = 0x5A;
  putBe16(b.data() + 133, 0xBEEF);
  putBe32(b.data() + 135, 0xDEADBEEF);
  putBe16(b.data() + 139, 0x1235);
  b[141] = 0xC5;
  b[142] = 0x80;
  b[143] = 7;
  b[144] = 8;
  for (size_t i = 0; i < 6; ++i) b[145 + i] = static_cast<uint8_t>(0xF0 + i);
  TGPS gps;
  gps.Decode(b);
  EXPECT_EQ(gps.Tag(), (std::array<uint8_t, 4>{'a', 'b', 'c', 'd'}));
  EXPECT_EQ(gps.Channels()[0].bytes, (std::array<uint8_t, 4>{0, 1, 2, 3}));
  EXPECT_EQ(gps.Channels()[11].bytes, (std::array<uint8_t, 4>{110, 111, 112, 113}));
  EXPECT_EQ(gps.Channels()[0].word, 0xA000);
  EXPECT_EQ(gps.Channels()[11].word, 0xA00B);
  const TGPS::Kept& k = gps.KeptValues();
  EXPECT_EQ(k.status2, 0x5A);
  EXPECT_EQ(k.word133, 0xBEEF);
  EXPECT_EQ(k.long135, 0xDEADBEEFu);
  EXPECT_EQ(k.halved139, 0x091A);
  EXPECT_TRUE(k.bit7);
  EXPECT_TRUE(k.bit6);
  EXPECT_EQ(k.low6, 5);
  EXPECT_TRUE(k.yes142);
  EXPECT_EQ(k.byte143, 7);
  EXPECT_EQ(k.byte144, 8);
  EXPECT_EQ(k.bytes145, (std::array<uint8_t, 6>{0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5}));

  b[141] = 0x7F;
  b[142] = 0;
  gps.Decode(b);
  EXPECT_FALSE(gps.KeptValues().bit7);
  EXPECT_TRUE(gps.KeptValues().bit6);
  EXPECT_EQ(gps.KeptValues().low6, 63);
  EXPECT_FALSE(gps.KeptValues().yes142);
}

TEST(Gps, ShortBlockLeavesTheLastFixUnchanged) {
  Block full{};
  full[4] = 6;
  full[5] = 15;
  putBe16(full.data() + 6, 2003);
  full[8] = 10;
  PutS32(full, 15, 1800000);
  full[129] = 0xC0;
  TGPS gps;
  gps.Decode(full);
  for (size_t size : {0u, 1u, 11u, 100u, 151u}) {
    // A heap copy of exactly `size` bytes, so a read past it is caught by
    // the sanitizers.
    std::vector<uint8_t> shortBlock(size, 0xFF);
    gps.Decode(shortBlock);
    EXPECT_EQ(gps.DateText(), "06/15/2003");
    EXPECT_EQ(gps.TimeText(), "10:00:00");
    EXPECT_EQ(gps.Latitude().decimalDegrees, 0.5);
    EXPECT_STREQ(gps.StatusText(), "2D Fix");
  }
  // Bytes after the message are not part of it.
  std::vector<uint8_t> longer(full.begin(), full.end());
  longer.resize(200, 0xFF);
  TGPS other;
  other.Decode(longer);
  EXPECT_EQ(other.DateText(), "06/15/2003");
  EXPECT_EQ(other.Latitude().hemisphere, 'N');
}

TEST(GpsBlockWriter, ByteLayout) {
  synth::GpsFix fix;
  fix.tag = {'T', 'A', 'G', '1'};
  fix.month = 3;
  fix.day = 4;
  fix.year = 2001;
  fix.hour = 13;
  fix.minute = 14;
  fix.second = 15;
  fix.latitude = -0.5;
  fix.longitude = 1.0 / 3600000.0;
  fix.gpsHeightCm = -2;
  fix.mslHeightCm = 0x01020304;
  fix.rawLatitude = 180.0;
  fix.speed3DCmps = 0xABCD;
  fix.heading = 0x0102;
  fix.visibleSatellites = 9;
  fix.trackedSatellites = 8;
  fix.statusCode = 6;
  const auto b = synth::BuildGpsBlock(fix);
  std::array<uint8_t, 152> expected{};
  const uint8_t head[] = {'T',  'A',  'G',  '1',  3,    4,    0x07, 0xD1, 13,   14,
                          15,   0,    0,    0,    0,    0xFF, 0xE4, 0x88, 0xC0,  // -1,800,000
                          0x00, 0x00, 0x00, 0x01,                                // 1
                          0xFF, 0xFF, 0xFF, 0xFE,                                // -2
                          0x01, 0x02, 0x03, 0x04, 0x26, 0x9F, 0xB2, 0x00};       // 648,000,000
  std::copy(std::begin(head), std::end(head), expected.begin());
  expected[47] = 0xAB;
  expected[48] = 0xCD;
  expected[51] = 0x01;
  expected[52] = 0x02;
  expected[55] = 9;
  expected[56] = 8;
  expected[129] = 0xC0;
  EXPECT_EQ(b, expected);
}

TEST(GpsBlockWriter, DegreesToMilliArcSeconds) {
  EXPECT_EQ(synth::ToMilliArcSeconds(0.5), 1800000);
  EXPECT_EQ(synth::ToMilliArcSeconds(-0.5), -1800000);
  EXPECT_EQ(synth::ToMilliArcSeconds(-180.0), -648000000);
  EXPECT_EQ(synth::ToMilliArcSeconds(1e-7), 0);
  EXPECT_EQ(synth::ToMilliArcSeconds(1000.0), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(synth::ToMilliArcSeconds(-1000.0), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(synth::ToMilliArcSeconds(std::nan("")), 0);
}

// The decoded notations must describe the written position, whatever it is.
void ExpectDescribes(const TGPS::Coordinate& c, double degrees, bool latitude) {
  constexpr double kHalfUnit = 0.5 / 3600000.0 + 1e-12;
  EXPECT_NEAR(c.decimalDegrees, degrees, kHalfUnit);
  EXPECT_EQ(c.value, synth::ToMilliArcSeconds(degrees));
  const double magnitude = std::fabs(c.decimalDegrees);
  EXPECT_EQ(c.degrees, static_cast<int>(magnitude + 1e-12));
  EXPECT_NEAR(c.degrees + c.decimalMinutes / 60.0, magnitude, 1e-9);
  EXPECT_GE(c.decimalMinutes, c.minutes);
  EXPECT_LT(c.decimalMinutes, c.minutes + 1);
  EXPECT_EQ(c.seconds, static_cast<int>((c.decimalMinutes - c.minutes) * 60.0 + 1e-9));
  const char expected = c.value > 0 ? (latitude ? 'N' : 'E') : (latitude ? 'S' : 'W');
  EXPECT_EQ(c.hemisphere, expected);
}

TEST(GpsBlockWriter, RoundTripThroughTheDecoder) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> lat(-90.0, 90.0);
  std::uniform_real_distribution<double> lon(-180.0, 180.0);
  std::uniform_int_distribution<int32_t> height(-100000, 900000);
  std::uniform_int_distribution<int> u16(0, 0xFFFF);
  std::uniform_int_distribution<int> u8(0, 0xFF);
  TGPS gps;
  for (int i = 0; i < 2000; ++i) {
    synth::GpsFix fix;
    fix.month = 1 + u8(rng) % 12;
    fix.day = 1 + u8(rng) % 31;
    fix.year = 1990 + u8(rng) % 60;
    fix.hour = u8(rng) % 24;
    fix.minute = u8(rng) % 60;
    fix.second = u8(rng) % 60;
    fix.latitude = lat(rng);
    fix.longitude = lon(rng);
    fix.rawLatitude = lat(rng);
    fix.rawLongitude = lon(rng);
    fix.gpsHeightCm = height(rng);
    fix.mslHeightCm = height(rng);
    fix.rawGpsHeightCm = height(rng);
    fix.rawMslHeightCm = height(rng);
    fix.speed3DCmps = static_cast<uint16_t>(u16(rng));
    fix.speed2DCmps = static_cast<uint16_t>(u16(rng));
    fix.heading = static_cast<uint16_t>(u16(rng));
    fix.geometry = static_cast<uint16_t>(u16(rng));
    fix.visibleSatellites = static_cast<uint8_t>(u8(rng));
    fix.trackedSatellites = static_cast<uint8_t>(u8(rng));
    fix.statusCode = static_cast<uint8_t>(u8(rng) % 8);
    gps.Decode(synth::BuildGpsBlock(fix));

    SCOPED_TRACE(i);
    ExpectDescribes(gps.Latitude(), fix.latitude, true);
    ExpectDescribes(gps.Longitude(), fix.longitude, false);
    ExpectDescribes(gps.RawLatitude(), fix.rawLatitude, true);
    ExpectDescribes(gps.RawLongitude(), fix.rawLongitude, false);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(gps.Month(), fix.month);
    EXPECT_EQ(gps.Day(), fix.day);
    EXPECT_EQ(gps.Year(), fix.year);
    EXPECT_EQ(gps.Hour(), fix.hour);
    EXPECT_EQ(gps.Minute(), fix.minute);
    EXPECT_EQ(gps.Second(), fix.second);
    EXPECT_EQ(gps.GpsHeight(), fix.gpsHeightCm);
    EXPECT_EQ(gps.MslHeight(), fix.mslHeightCm);
    EXPECT_EQ(gps.RawGpsHeight(), fix.rawGpsHeightCm);
    EXPECT_EQ(gps.RawMslHeight(), fix.rawMslHeightCm);
    EXPECT_EQ(gps.Speed3D(), fix.speed3DCmps);
    EXPECT_EQ(gps.Speed2D(), fix.speed2DCmps);
    EXPECT_EQ(gps.Heading(), fix.heading);
    EXPECT_EQ(gps.Geometry(), fix.geometry);
    EXPECT_EQ(gps.VisibleSatellites(), fix.visibleSatellites);
    EXPECT_EQ(gps.TrackedSatellites(), fix.trackedSatellites);
    EXPECT_STREQ(gps.StatusText(), kStatusNames[fix.statusCode]);
    ASSERT_FALSE(HasFailure());
  }
}

}  // namespace
}  // namespace morphel
