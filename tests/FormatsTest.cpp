// The shared post-processing layouts, byte for byte.

#include <gtest/gtest.h>

#include <cstring>

#include "products/Formats.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

TEST(Formats, GraysonYearRule) {
  EXPECT_EQ(formats::GraysonYear(90), 2090);
  EXPECT_EQ(formats::GraysonYear(91), 1991);
  EXPECT_EQ(formats::GraysonYear(0), 2000);
  EXPECT_EQ(formats::GraysonYear(99), 1999);
}

TEST(Formats, GraysonHeaderAndTrailer) {
  std::string out;
  formats::GraysonDateLine(out, 2026, 11, 3, 9);
  formats::GraysonStartLine(out, 58, 7);
  EXPECT_EQ(out, "D2026110309\rm580700RCRD" + std::string(42, '0') + "\r");
  out.clear();
  formats::GraysonTrailer(out, 1, 2);
  EXPECT_EQ(out, "m010200IDLE" + std::string(42, '0') + "\r");
}

TEST(Formats, PathViewSideFileNameCutsTheFileNameAtItsFirstDot) {
  const std::pair<const char*, const char*> cases[] = {
      {"MLJ.M01", "MLJ.MDF"},
      {"run.one.m01", "run.MDF"},
      {"drive", "drive.MDF"},
      {"drive.2024/run/MLJ.M01", "drive.2024/run/MLJ.MDF"},
      {"./MLJ.M01", "./MLJ.MDF"},
      {"../v1.2/out", "../v1.2/out.MDF"},
      {"/data/.hidden.M01", "/data/.hidden.MDF"},
  };
  for (const auto& [output, side] : cases) EXPECT_EQ(formats::PathViewSideFileName(output), side);
}

TEST(Formats, PathViewHeaderIsNineteenBytesAndTheSideFileTwentySix) {
  std::string output = test::TempPath("pv.M01");
  std::string out;
  formats::PathViewHeader(out);
  EXPECT_EQ(out, std::string("PathView M01 File\x63\x63"));
  formats::WritePathViewSideFile(output, 0x01020304);
  std::string side = test::ReadFile(test::TempPath("pv.MDF"));
  ASSERT_EQ(side.size(), formats::kPathViewSideFileSize);
  EXPECT_EQ(side, std::string("PathView MDF File\x1A\x63\x63\x04\x03\x02\x01\x01", 25) +
                      std::string(1, '\0'));
}

TEST(Formats, ASideFileThatCannotBeCreatedIsSkipped) {
  formats::WritePathViewSideFile(test::TempPath("missing-dir/x.M01"), 0);
  EXPECT_FALSE(test::FileExists(test::TempPath("missing-dir/x.MDF")));
}

TEST(Formats, PathViewRecordIsTwentyEightLittleEndianBytes) {
  std::string out;
  formats::PathViewRecord(out, -87.0, -74.5, 40.25, 10, 20, 30);
  ASSERT_EQ(out.size(), formats::kPathViewRecordSize);
  EXPECT_EQ(out[0], '\x01');
  double v[3];
  for (int i = 0; i < 3; ++i) {
    uint64_t bits = 0;
    for (int b = 0; b < 8; ++b)
      bits |= static_cast<uint64_t>(static_cast<uint8_t>(out[static_cast<size_t>(1 + 8 * i + b)]))
              << (8 * b);
    std::memcpy(&v[i], &bits, 8);
  }
  EXPECT_EQ(v[0], -87.0);
  EXPECT_EQ(v[1], -74.5);
  EXPECT_EQ(v[2], 40.25);
  EXPECT_EQ(out.substr(25), std::string("\x0a\x14\x1e"));
}

TEST(Formats, PlanetHeaderAndRecord) {
  std::string out;
  formats::PlanetHeader(out);
  EXPECT_EQ(out.size(), 169u);
  EXPECT_EQ(out.substr(0, 8), "_HEADER\n");
  EXPECT_EQ(out.substr(out.size() - 6), "_MAIN\n");
  out.clear();
  formats::PlanetPrefix(out, 9, 5, 3, 40.5, -74.5);
  formats::PlanetReport(out, 851.0125, 12, 87);
  EXPECT_EQ(out, "09:05:03:00 40.500000 -74.500000 REPORT::Report: 851.0125 12 -87\n");
  out.clear();
  formats::PlanetReport(out, 851.0125, 12, 87, 5);
  EXPECT_EQ(out, " REPORT::Report: 851.01250 12 -87\n");
}

TEST(Formats, InFielderHeaderAndRecord) {
  std::string out;
  formats::InFielderHeader(out);
  EXPECT_EQ(out,
            "Orvane Instruments, Inc.\nTYPE:\tMANUAL_DATA_ENTRY\nMEASUREMENT RUN:\t\nNOTES: Zev "
            "File\nTRANSMITTER:\tT1\nTX LOCATION:\t0\t0\t0\nX\tY\tZ\tMARKER\tRSSI(dBm)\tNOTES\n" +
                std::string(47, '_') + "\n");
  out.clear();
  formats::InFielderRecord(out, 12, 34, 12, 90);
  EXPECT_EQ(out, "12.00\t34.00\t0.00\t12\t-90\tXXX\n");
}

}  // namespace
}  // namespace morphel
