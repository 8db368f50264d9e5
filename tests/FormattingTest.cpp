// The text helpers must print exactly what C printf prints for the same
// conversion; checked over many random values.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "core/Fmt.h"
#include "products/Formats.h"

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

}  // namespace
}  // namespace morphel
