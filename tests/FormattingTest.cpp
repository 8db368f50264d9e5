// The text helpers must print exactly what C printf prints for the same
// conversion; checked over many random values.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

#include "core/Fmt.h"
#include "products/FieldCatalog.h"
#include "products/Formats.h"
#include "products/SharedFields.h"

namespace morphel {
namespace {

template <typename... Args>
std::string Printf(const char* format, Args... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

TEST(Formatting, IntegersMatchPrintf) {
  std::mt19937_64 rng(12345);
  std::uniform_int_distribution<long> wide(-5000000000L, 5000000000L);
  std::uniform_int_distribution<int> small(-200, 200);
  for (int i = 0; i < 20000; ++i) {
    long v = i % 2 ? wide(rng) : small(rng);
    std::string out;
    text::d(out, v);
    ASSERT_EQ(out, Printf("%ld", v));
    out.clear();
    text::minusD(out, v);
    ASSERT_EQ(out, Printf("-%ld", v));
    out.clear();
    text::d02(out, v);
    ASSERT_EQ(out, Printf("%02ld", v));
    out.clear();
    text::d03(out, v);
    ASSERT_EQ(out, Printf("%03ld", v));
    out.clear();
    text::d09(out, v);
    ASSERT_EQ(out, Printf("%09ld", v));
    out.clear();
    text::d06(out, v);
    ASSERT_EQ(out, Printf("%06ld", v));
    out.clear();
    text::plusD04(out, v);
    ASSERT_EQ(out, Printf("%+04ld", v));
    out.clear();
    text::u010(out, static_cast<unsigned long>(v) & 0xFFFFFFFFul);
    ASSERT_EQ(out, Printf("%010lu", static_cast<unsigned long>(v) & 0xFFFFFFFFul));
  }
}

TEST(Formatting, FixedPointMatchesPrintf) {
  std::mt19937_64 rng(777);
  std::uniform_real_distribution<double> coords(-181.0, 181.0);
  std::uniform_real_distribution<double> freqs(0.0, 3000.0);
  std::vector<double> values = {0.0,         -0.0,  0.5,    -0.5,     0.00005,
                                0.000049999, 1e-7,  851.01, 851.0125, 123.45675,
                                1e15,        -1e15, 0.125,  2.5,      1234567.890625};
  for (int i = 0; i < 20000; ++i) values.push_back(i % 2 ? coords(rng) : freqs(rng));
  for (double v : values) {
    std::string out;
    text::f4(out, v);
    ASSERT_EQ(out, Printf("%.4f", v)) << v;
    for (int p : {0, 2, 5, 6}) {
      out.clear();
      text::f(out, v, p);
      ASSERT_EQ(out, Printf("%.*f", p, v)) << v;
    }
    out.clear();
    text::f3_6(out, v);
    ASSERT_EQ(out, Printf("%3.6f", v)) << v;
    out.clear();
    text::plusF03_5(out, v);
    ASSERT_EQ(out, Printf("%+03.5f", v)) << v;
  }
}

TEST(Formatting, CompositeTextsMatchPrintf) {
  std::string out;
  text::hms(out, 7, 5, 0);
  EXPECT_EQ(out, Printf("%02d:%02d:%02d", 7, 5, 0));
  out.clear();
  text::mdy(out, 12, 31, 99);
  EXPECT_EQ(out, Printf("%02d/%02d/%02d", 12, 31, 99));
  for (const char* s : {"", "N", "NU", "ANX"}) {
    out.clear();
    text::s2_2(out, s);
    EXPECT_EQ(out, Printf("%2.2s", s));
  }
}

TEST(Formatting, GraysonLinesAreTheirPrintfLayouts) {
  std::string out;
  formats::GraysonReceiverLine(out, 5, 9, formats::FrequencyTenHz(851.0125), 87);
  EXPECT_EQ(out, Printf("r%02d%02d00%09ld%03d\r", 5, 9, 85101250L, 87));
  out.clear();
  formats::GraysonPositionLine(out, 5, 9, 40, formats::MicroDegrees(42, 500), 74.5, 10, 5, 9);
  EXPECT_EQ(out, Printf("G%02d%02d00%+04d.%06ld%+03.5f%02d%02d%02d0000\r", 5, 9, 40,
                        formats::MicroDegrees(42, 500), 74.5, 10, 5, 9));
  EXPECT_EQ(out, "G050900+040.708333+74.500001005090000\r");
}

// The position and clock fields the readers share, against the printf
// layouts they stand for: "%.Nf" degrees with a minus outside the positive
// hemisphere, "%d", "%d", "%d.%03d", "%d" seconds, "%c" (a zero byte shows
// nothing, as it ends a C string), "%02d:%02d:%02d" and "%02d".
TEST(Formatting, SharedGpsFieldsMatchPrintf) {
  using F = FieldCatalog;
  std::mt19937_64 rng(99);
  for (int places : {4, 6}) {
    CoordinateFields fields(places);
    for (int i = 0; i < 2000; ++i) {
      const int32_t value = static_cast<int32_t>(rng());
      const MinuteCoordinate lat = MilliArcCoordinate(value, 'N', 'S');
      const double degrees = std::abs(static_cast<double>(value)) / 3600000.0;
      ASSERT_NEAR(Degrees(lat), degrees, 1.0 / 60000) << value;  // thousandths of a minute
      MinuteCoordinate lon = BcdCoordinate(0x12345678u, i % 3 == 0 ? 0 : 'W');
      ASSERT_EQ(lon, (MinuteCoordinate{123, 45, 678, lon.hemisphere}));
      const char* sign = lat.hemisphere == 'N' ? "" : "-";
      const std::string hemisphere = lon.hemisphere ? std::string(1, lon.hemisphere) : "";
      const std::pair<int, std::string> expected[] = {
          {F::kLatDecimal, Printf("%s%.*f", sign, places, Degrees(lat))},
          {F::kLatDegrees, Printf("%d", lat.degrees)},
          {F::kLatMinutes, Printf("%d", lat.minutes)},
          {F::kLatDecimalMinutes, Printf("%d.%03d", lat.minutes, lat.thousandths)},
          {F::kLatSeconds, Printf("%d", lat.thousandths * 60 / 1000)},
          {F::kLatHemisphere, Printf("%c", lat.hemisphere)},
          {F::kLonDecimal, Printf("-%.*f", places, Degrees(lon))},
          {F::kLonHemisphere, hemisphere},
      };
      for (const auto& [id, text] : expected) {
        std::string out;
        ASSERT_TRUE(fields.Append(id, out, lat, lon)) << id;
        ASSERT_EQ(out, text) << id << " " << value;
      }
      std::string out;
      EXPECT_FALSE(fields.Append(F::kGpsTime, out, lat, lon));
      EXPECT_TRUE(out.empty());
    }
  }
  const std::pair<int, std::string> clocks[] = {
      {F::kGpsTime, "07:05:09"}, {F::kGpsHour, "07"},  {F::kGpsSecond, "09"},
      {F::kRtcDate, "12/31/99"}, {F::kRtcYear, "99"},  {F::kRtcTime, "23:59:58"},
      {F::kRtcMinute, "59"},     {F::kLatDecimal, ""}, {F::kRecordNumber, ""}};
  for (const auto& [id, text] : clocks) {
    std::string out;
    const bool taken = GpsTimeField(id, out, 7, 5, 9) || RtcField(id, out, 99, 12, 31, 23, 59, 58);
    EXPECT_EQ(taken, !text.empty()) << id;
    EXPECT_EQ(out, text) << id;
  }
}

}  // namespace
}  // namespace morphel
