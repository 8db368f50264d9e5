// A log cut at any byte, as a card pulled mid-write or a copy broken off
// leaves it: indexing and conversion end normally, memory stays bounded, and
// what is converted is what the bytes before the cut hold.
//
// The property checked is the strongest that holds for delimited output with
// no averaging: the output of a cut log is a byte prefix of the output of the
// whole log, and it ends at a line end, so no half-decoded record appears.
// One exception: products whose title line is written before the first block
// (Tolvan, Velmar, Skarn, Tolvan 1.27+) title it from what the indexing pass
// left in the reader, and a Skarn log cut before its first record is titled
// for three channels. So that line is compared only once the cut log has
// given a data row; the rows after it must still be a prefix.
// Cut points: every offset in the head of the log (file headers, set-up and
// identification records), every offset near each of the first block
// boundaries the reader itself reports, and a stride through the rest.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "fuzz/FuzzTargets.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "synth/SampleFile.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

using test::ReadFile;
using test::TempPath;
using test::WriteFile;

constexpr size_t kDenseHead = 160;     // every offset up to here
constexpr size_t kBoundaries = 24;     // block boundaries looked at closely
constexpr size_t kAroundBoundary = 1;  // offsets either side of a boundary
constexpr size_t kStrideCuts = 48;     // then this many cuts spread over the rest
constexpr size_t kMaxReadings = 4096;  // readings a reader may hold per receiver

struct Case {
  const char* product;
  int item;
};

const Case kCases[] = {
    {"tolvan", kItemTolvan},    {"velmar", kItemVelmar},
    {"zev-card", kItemZevCard}, {"zev-dump", kItemZevDump},
    {"skarn", kItemSkarn},      {"tolvan-new", kItemTolvanNew},
    {"brisel", kItemBrisel},    {"brisel-card", kItemBriselCard},
};

class Truncation : public ::testing::TestWithParam<Case> {
 protected:
  // Indexes and converts the log at path; returns the output text.
  std::string Convert(Product& reader, const std::string& path) {
    Settings s = conversion_.settings;
    s.InputFilename = path;
    s.OutputFilename = TempPath(std::string(GetParam().product) + ".trunc.out");
    fuzz::SilentHooks hooks;
    IndexRun index(reader, s, GetParam().item, hooks);
    EXPECT_EQ(index.Run(), IndexOutcome::Completed);
    reader.SetSelectedFields(conversion_.ids);
    reader.TitlePending = 1;
    ConversionRun run(reader, s, hooks);
    EXPECT_EQ(run.Run(), RunOutcome::Completed);
    for (const auto& list : reader.ReadingLists) EXPECT_LE(list.size(), kMaxReadings);
    return ReadFile(s.OutputFilename);
  }

  // Offsets after each block, as the reader frames the whole log.
  static std::vector<size_t> BlockEnds(Product& reader, const std::string& path) {
    std::vector<size_t> ends;
    Settings s;
    s.InputFilename = path;
    reader.AttachReceiverSelectors(&s);
    if (reader.Open(path) != 0) return ends;
    Product::Block block;
    while (ends.size() < kBoundaries && reader.ReadBlock(block) > 0)
      ends.push_back(static_cast<size_t>(reader.Input.Tell()));
    reader.Close();
    reader.AttachReceiverSelectors(nullptr);
    return ends;
  }

  static std::set<size_t> CutPoints(size_t size, const std::vector<size_t>& ends) {
    std::set<size_t> cuts;
    for (size_t k = 0; k < std::min(size, kDenseHead); ++k) cuts.insert(k);
    for (size_t end : ends)
      for (size_t k = end > kAroundBoundary ? end - kAroundBoundary : 0;
           k <= end + kAroundBoundary && k < size; ++k)
        cuts.insert(k);
    const size_t stride = std::max<size_t>(size / kStrideCuts, 1);
    for (size_t k = kDenseHead; k < size; k += stride) cuts.insert(k);
    return cuts;
  }

  fuzz::Conversion conversion_;
};

TEST_P(Truncation, CutLogConvertsToAPrefixOfTheWholeOutput) {
  const Case& c = GetParam();
  const std::string log = TempPath(std::string("trunc-") + c.product);
  synth::SampleOptions options;
  options.seconds = 2;
  options.seed = 11;
  std::string error;
  ASSERT_TRUE(WriteSample(c.product, log, options, error)) << error;
  const std::string bytes = ReadFile(log);

  // Every field and data box the product offers, no averaging, titles on.
  const auto conversions = fuzz::ConversionsFor(c.item);
  ASSERT_FALSE(conversions.empty());
  conversion_ = conversions.front();
  ASSERT_GT(conversion_.ids.size(), 3u);

  std::unique_ptr<Product> reader = CreateReader(c.item);
  ASSERT_NE(reader, nullptr);
  const std::string whole = Convert(*reader, log);
  ASSERT_GT(std::count(whole.begin(), whole.end(), '\n'), 3) << "the sample converts to rows";

  const bool titleFirst = c.item != kItemZevCard && c.item != kItemZevDump &&
                          c.item != kItemBrisel && c.item != kItemBriselCard;
  const size_t wholeTitle = whole.find('\n') + 1;
  const std::set<size_t> cuts = CutPoints(bytes.size(), BlockEnds(*reader, log));
  const std::string cutLog = log + ".cut";
  size_t checked = 0;
  for (size_t cut : cuts) {
    WriteFile(cutLog, bytes.substr(0, cut));
    std::string part = Convert(*reader, cutLog);
    std::string reference = whole;
    if (titleFirst && !part.empty()) {
      const size_t partTitle = part.find('\n') + 1;
      if (partTitle < part.size()) {
        ASSERT_EQ(part.substr(0, partTitle), whole.substr(0, wholeTitle)) << "cut at " << cut;
      }
      part.erase(0, partTitle);
      reference.erase(0, wholeTitle);
    }
    ASSERT_LE(part.size(), reference.size()) << "cut at " << cut;
    ASSERT_EQ(reference.compare(0, part.size(), part), 0)
        << c.product << " cut at " << cut << " of " << bytes.size()
        << ": output is not a prefix of the whole log's output";
    if (!part.empty()) {
      ASSERT_EQ(part.back(), '\n') << "cut at " << cut;
    }
    ++checked;
  }
  EXPECT_GE(checked, std::min<size_t>(bytes.size(), kDenseHead));
  RecordProperty("cuts", static_cast<int>(checked));
  std::printf("%s: %zu bytes, %zu cuts\n", c.product, bytes.size(), checked);
}

INSTANTIATE_TEST_SUITE_P(Readers, Truncation, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& p) {
                           std::string name = p.param.product;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace morphel
