#pragma once
// Text building for field values. Every helper appends to a reusable string
// and produces exactly what C printf gives for the conversion named beside it
// (checked against snprintf by a differential test).

#include <fmt/compile.h>
#include <fmt/format.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace morphel::text {

inline void append(std::string& out, std::string_view s) { out.append(s); }
inline void append(std::string& out, char c) { out.push_back(c); }

// "%d" / "%ld"
inline void d(std::string& out, long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), v);
}
// "%u" / "%lu"
inline void u(std::string& out, unsigned long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), v);
}
// "-%d": a magnitude printed as a negative level.
inline void minusD(std::string& out, long long v) {
  out.push_back('-');
  d(out, v);
}
// "%02d"
inline void d02(std::string& out, long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:02}"), v);
}
// "%03d"
inline void d03(std::string& out, long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:03}"), v);
}
// "%04d"
inline void d04(std::string& out, long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:04}"), v);
}
// "%09ld"
inline void d09(std::string& out, long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:09}"), v);
}
// "%010lu"
inline void u010(std::string& out, unsigned long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:010}"), v);
}
// "%+04d"
inline void plusD04(std::string& out, long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:+04}"), v);
}
// "%06ld"
inline void d06(std::string& out, long long v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:06}"), v);
}
// "%.Nf" for the precisions the layouts use.
inline void f(std::string& out, double v, int precision) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:.{}f}"), v, precision);
}
inline void f4(std::string& out, double v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:.4f}"), v);
}
// "%3.6f"
inline void f3_6(std::string& out, double v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:3.6f}"), v);
}
// "%+03.5f"
inline void plusF03_5(std::string& out, double v) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:+03.5f}"), v);
}
// "%2.2s": at most two characters, right-aligned in two columns.
inline void s2_2(std::string& out, std::string_view s) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:>2.2}"), s);
}
// "%02d:%02d:%02d"
inline void hms(std::string& out, long long a, long long b, long long c) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:02}:{:02}:{:02}"), a, b, c);
}
// "%02d/%02d/%02d"
inline void mdy(std::string& out, long long a, long long b, long long c) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:02}/{:02}/{:02}"), a, b, c);
}

}  // namespace morphel::text

namespace morphel::text {

// The real-time-clock fields every receiver's records carry ("RTC Date
// (MM-DD-YY)" as "%02d/%02d/%02d", the time as "%02d:%02d:%02d", each part
// as "%02d"). Appends and answers true when id is one of them.
inline bool RtcField(int id, std::string& out, int year, int month, int day, int hour, int minute,
                     int second) {
  switch (id) {
    case 33: mdy(out, month, day, year); return true;
    case 34: d02(out, month); return true;
    case 35: d02(out, day); return true;
    case 36: d02(out, year); return true;
    case 37: hms(out, hour, minute, second); return true;
    case 38: d02(out, hour); return true;
    case 39: d02(out, minute); return true;
    case 40: d02(out, second); return true;
    default: return false;
  }
}

}  // namespace morphel::text
