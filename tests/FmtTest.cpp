// The short-cut paths of the text helpers (digits written by hand, fixed
// point without the general algorithm) against printf, where they are most
// likely to go wrong: values next to a rounding tie, signs, padding of
// negative numbers, and values outside the short cut's range.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "core/Fmt.h"

namespace morphel {
namespace {

std::string PrintfFixed(const char* format, int precision, double v) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, precision, v);
  return buf;
}

TEST(FmtFastPath, FixedPointNextToRoundingTies) {
  std::mt19937_64 rng(4242);
  std::uniform_int_distribution<long long> digits(0, 9999999999LL);
  for (int p : {0, 1, 2, 4, 5, 6}) {
    const double unit = std::pow(10.0, p);
    for (int i = 0; i < 20000; ++i) {
      // k + 1/2 in units of the last printed digit, and the doubles on
      // either side of it.
      double tie = (static_cast<double>(digits(rng) % 100000000) + 0.5) / unit;
      if (i % 3 == 1) tie = -tie;
      for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300),
                       std::nextafter(std::nextafter(tie, 0.0), 0.0)}) {
        std::string out;
        text::f(out, v, p);
        ASSERT_EQ(out, PrintfFixed("%.*f", p, v)) << v << " p=" << p;
      }
    }
  }
}

TEST(FmtFastPath, FixedPointSignsAndRangeEdges) {
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {-0.0,      -0.00001, -0.49999,   0.49999, 1e-300, -1e-300, 3.9e15,
                           4.1e15,    9.9e17,   1e300,      -1e300,  inf,    -inf,    0.999995,
                           -0.999995, 99.99995, 359.999999, 180.0,   -180.0};
  for (double v : values) {
    for (int p : {0, 4, 5, 6}) {
      std::string out;
      text::f(out, v, p);
      EXPECT_EQ(out, PrintfFixed("%.*f", p, v)) << v << " p=" << p;
    }
    std::string out;
    text::plusF03_5(out, v);
    char buf[512];
    std::snprintf(buf, sizeof buf, "%+03.5f", v);
    EXPECT_EQ(out, buf) << v;
  }
  std::string nan;
  text::f4(nan, std::nan(""));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4f", std::nan(""));
  EXPECT_EQ(nan, buf);
}

TEST(FmtFastPath, PaddedIntegersAtTheirLimits) {
  const long long values[] = {0,
                              -1,
                              9,
                              -9,
                              10,
                              -10,
                              99,
                              -99,
                              100,
                              -100,
                              999999999,
                              -999999999,
                              std::numeric_limits<long long>::max(),
                              std::numeric_limits<long long>::min()};
  for (long long v : values) {
    char buf[64];
    std::string out;
    text::hms(out, v, v, v);
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", v, v, v);
    EXPECT_EQ(out, buf);
    out.clear();
    text::mdy(out, v, 7, v);
    std::snprintf(buf, sizeof buf, "%02lld/%02lld/%02lld", v, 7LL, v);
    EXPECT_EQ(out, buf);
    out.clear();
    text::plusD04(out, v);
    std::snprintf(buf, sizeof buf, "%+04lld", v);
    EXPECT_EQ(out, buf);
    out.clear();
    text::d(out, v);
    std::snprintf(buf, sizeof buf, "%lld", v);
    EXPECT_EQ(out, buf);
  }
  std::string out = "keep:";
  text::u010(out, 42);
  EXPECT_EQ(out, "keep:0000000042") << "helpers append, never replace";
}

}  // namespace
}  // namespace morphel
