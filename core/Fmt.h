#pragma once
// Text building for field values. Every helper appends to a reusable string
// and produces exactly what C printf gives for the conversion named beside it
// (checked against snprintf by a differential test).

#include <fmt/compile.h>
#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace morphel::text {

inline void append(std::string& out, std::string_view s) {
  out.append(s);
}
inline void append(std::string& out, char c) {
  out.push_back(c);
}

namespace detail {

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of m so that they end just before `end`;
// returns where they begin.
inline char* Digits(char* end, unsigned long long m) {
  char* p = end;
  while (m >= 100) {
    const unsigned pair = static_cast<unsigned>(m % 100) * 2;
    m /= 100;
    *--p = kDigitPairs[pair + 1];
    *--p = kDigitPairs[pair];
  }
  if (m >= 10) {
    const unsigned pair = static_cast<unsigned>(m) * 2;
    *--p = kDigitPairs[pair + 1];
    *--p = kDigitPairs[pair];
  } else {
    *--p = static_cast<char>('0' + m);
  }
  return p;
}

// "%0Nd" with an optional '+': sign, then the magnitude's digits padded with
// zeros to `width` characters in all (sign included), as printf pads.
inline void Integer(std::string& out, long long v, int width, bool plus) {
  char buf[48];
  char* end = buf + sizeof buf;
  const unsigned long long m =
      v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  char* p = Digits(end, m);
  const char sign = v < 0 ? '-' : (plus ? '+' : '\0');
  int used = static_cast<int>(end - p) + (sign ? 1 : 0);
  for (; used < width; ++used) *--p = '0';  // widths here are at most 10
  if (sign) *--p = sign;
  out.append(p, static_cast<size_t>(end - p));
}

inline constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
inline constexpr unsigned long long kIntPowersOfTen[] = {
    1ull,      10ull,      100ull,      1000ull,      10000ull,
    100000ull, 1000000ull, 10000000ull, 100000000ull, 1000000000ull};

// "%.Nf" (with '+' when plus) without the general algorithm when the
// rounding is plain: |v| x 10^N is computed with an error below half an
// ulp, so unless its fraction lies within a few ulps of one half the
// rounded digits are those printf gives. False leaves out untouched.
inline bool FastFixed(std::string& out, double v, int precision, bool plus) {
  if (precision < 0 || precision > 9) return false;
  const bool negative = std::signbit(v);
  const double scaled = (negative ? -v : v) * kPowersOfTen[precision];
  if (!(scaled < 4.0e15)) return false;  // also NaN and infinities
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;  // exact
  const double margin = scaled * 0x1p-51 + 0x1p-60;
  unsigned long long n = static_cast<unsigned long long>(whole);
  if (fraction - 0.5 > margin) {
    ++n;
  } else if (!(0.5 - fraction > margin)) {
    return false;  // a near tie: let the exact algorithm decide
  }
  char buf[40];
  char* end = buf + sizeof buf;
  char* p = end;
  const unsigned long long unit = kIntPowersOfTen[precision];
  const unsigned long long frac = n % unit;
  const unsigned long long integer = n / unit;
  if (precision > 0) {
    char* digitsEnd = p;
    p = Digits(p, frac);
    while (digitsEnd - p < precision) *--p = '0';
    *--p = '.';
  }
  p = Digits(p, integer);
  if (negative) {
    *--p = '-';
  } else if (plus) {
    *--p = '+';
  }
  out.append(p, static_cast<size_t>(end - p));
  return true;
}

}  // namespace detail

// "%d" / "%ld"
inline void d(std::string& out, long long v) {
  detail::Integer(out, v, 0, false);
}
// "%u" / "%lu"
inline void u(std::string& out, unsigned long long v) {
  const fmt::format_int digits(v);
  out.append(digits.data(), digits.size());
}
// "-%d": a magnitude printed as a negative level.
inline void minusD(std::string& out, long long v) {
  out.push_back('-');
  d(out, v);
}
// "%02d"
inline void d02(std::string& out, long long v) {
  detail::Integer(out, v, 2, false);
}
// "%03d"
inline void d03(std::string& out, long long v) {
  detail::Integer(out, v, 3, false);
}
// "%04d"
inline void d04(std::string& out, long long v) {
  detail::Integer(out, v, 4, false);
}
// "%09ld"
inline void d09(std::string& out, long long v) {
  detail::Integer(out, v, 9, false);
}
// "%010lu"
inline void u010(std::string& out, unsigned long long v) {
  const fmt::format_int digits(v);
  if (digits.size() < 10) out.append(10 - digits.size(), '0');
  out.append(digits.data(), digits.size());
}
// "%+04d"
inline void plusD04(std::string& out, long long v) {
  detail::Integer(out, v, 4, true);
}
// "%06ld"
inline void d06(std::string& out, long long v) {
  detail::Integer(out, v, 6, false);
}
// "%.Nf" for the precisions the layouts use.
inline void f(std::string& out, double v, int precision) {
  if (detail::FastFixed(out, v, precision, false)) return;
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:.{}f}"), v, precision);
}
inline void f4(std::string& out, double v) {
  if (detail::FastFixed(out, v, 4, false)) return;
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:.4f}"), v);
}
// "%3.6f" (never shorter than three characters, so the width adds nothing)
inline void f3_6(std::string& out, double v) {
  if (detail::FastFixed(out, v, 6, false)) return;
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:3.6f}"), v);
}
// "%+03.5f" (never shorter than three characters)
inline void plusF03_5(std::string& out, double v) {
  if (detail::FastFixed(out, v, 5, true)) return;
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:+03.5f}"), v);
}
// "%2.2s": at most two characters, right-aligned in two columns.
inline void s2_2(std::string& out, std::string_view s) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:>2.2}"), s);
}
// "%02d:%02d:%02d"
inline void hms(std::string& out, long long a, long long b, long long c) {
  d02(out, a);
  out.push_back(':');
  d02(out, b);
  out.push_back(':');
  d02(out, c);
}
// "%02d/%02d/%02d"
inline void mdy(std::string& out, long long a, long long b, long long c) {
  d02(out, a);
  out.push_back('/');
  d02(out, b);
  out.push_back('/');
  d02(out, c);
}

}  // namespace morphel::text
