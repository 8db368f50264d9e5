// The post-processing layouts fed by real readers: receiver values follow the
// scan type and the receiver boxes; hemisphere signs differ between Grayson
// (never signed) and PathView / Planet (signed).

#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "app/ConversionRun.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "products/Readers.h"
#include "synth/SampleFile.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

class NativeFormats : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    product_ = GetParam();
    log_ = test::TempPath(std::string("native-") + product_ + ".log");
    synth::SampleOptions o;
    o.seconds = 12;
    o.seed = 11;
    std::string error;
    ASSERT_TRUE(WriteSample(product_, log_, o, error)) << error;
  }
  std::string Convert(int format, int scanType, bool receiverOn) {
    const ProductRow* p = ProductRowByName(product_);
    std::unique_ptr<Product> reader = CreateReader(p->Number());
    Settings s;
    s.InputFilename = log_;
    s.OutputFilename = test::TempPath(std::string("native-") + product_ + ".M01");
    s.InputFormatGroup = p->Number();
    s.OutputFormatGroup = format;
    s.NativeFormat = true;
    s.ScanTypeGroup = scanType;
    s.Receiver1 = receiverOn;
    s.FrozenClock = 0;
    RunHooks hooks;
    ConversionRun run(*reader, s, hooks);
    EXPECT_EQ(run.Run(), RunOutcome::Completed);
    return test::ReadFile(s.OutputFilename);
  }
  std::string product_, log_;
};

TEST_P(NativeFormats, GraysonReceiverValuesAreZeroForScanTableOrNoReceiver) {
  const std::regex rline("r\\d{6}(\\d{9})(\\d{3})\r");
  for (auto [scanType, on] : {std::pair{0, true}, std::pair{1, false}}) {
    std::string out = Convert(3, scanType, on);
    auto begin = std::sregex_iterator(out.begin(), out.end(), rline);
    int lines = 0;
    for (auto it = begin; it != std::sregex_iterator(); ++it, ++lines) {
      ASSERT_EQ((*it)[1].str(), "000000000");
      ASSERT_EQ((*it)[2].str(), "000");
    }
    EXPECT_GT(lines, 0);
  }
  std::string fast = Convert(3, 1, true);
  // With fast data and receiver 1 on, the measured values do appear.
  EXPECT_TRUE(std::regex_search(fast, std::regex("r\\d{6}0[1-9]\\d{7}\\d{3}\r")));
}

TEST_P(NativeFormats, WesternLongitudeSignedInPlanetNotInGrayson) {
  // The sample drive runs west of Greenwich.
  std::string grayson = Convert(3, 1, true);
  EXPECT_TRUE(std::regex_search(grayson, std::regex("G\\d{6}\\+\\d{3}\\.\\d{6}\\+\\d+\\.\\d{5}")));
  std::string planet = Convert(7, 1, true);
  EXPECT_TRUE(std::regex_search(
      planet, std::regex("\\d\\d:\\d\\d:\\d\\d:00 \\d+\\.\\d{6} -\\d+\\.\\d{6} REPORT")));
}

TEST_P(NativeFormats, PathViewRecordsCarryNegativeLongitude) {
  std::string m01 = Convert(6, 1, true);
  ASSERT_GE(m01.size(), 19u + 28u);
  EXPECT_EQ(m01.substr(0, 17), "PathView M01 File");
  ASSERT_EQ((m01.size() - 19) % 28, 0u);
  double lon = 0;
  uint64_t bits = 0;
  for (int b = 0; b < 8; ++b)
    bits |= static_cast<uint64_t>(static_cast<uint8_t>(m01[19 + 9 + static_cast<size_t>(b)]))
            << (8 * b);
  std::memcpy(&lon, &bits, 8);
  EXPECT_LT(lon, -70.0);
  EXPECT_EQ(test::ReadFile(test::TempPath(std::string("native-") + product_ + ".MDF")).size(), 26u);
}

INSTANTIATE_TEST_SUITE_P(Readers, NativeFormats, ::testing::Values("tolvan", "velmar"));

}  // namespace
}  // namespace morphel
