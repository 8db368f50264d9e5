// The shortcuts a run takes per block and per row: the progress threshold
// that spares a division per block, and the position texts kept from one
// row to the next. Each must give exactly what the plain way gives.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/Bytes.h"
#include "core/CachedText.h"
#include "core/Fmt.h"
#include "core/RunHooks.h"

namespace morphel {
namespace {

int PercentOf(uint64_t done, uint64_t total) {
  if (done >= total) return 100;
  return static_cast<int>(done * 100 / total);
}

// The threshold is the first byte count at which the whole percentage
// passes the one given: never late (a change reported late) and never early
// (a needless recount is harmless, but an early threshold hides a bug).
TEST(ProgressThreshold, IsTheFirstByteOfTheNextPercent) {
  std::mt19937_64 rng(7);
  std::vector<uint64_t> totals = {1, 2, 3, 99, 100, 101, 199, 1000, 1234567, 1ull << 40};
  for (int i = 0; i < 200; ++i) totals.push_back(rng() % 100000000 + 1);
  for (uint64_t total : totals) {
    for (int percent = 0; percent < 100; ++percent) {
      const uint64_t at = BytesForNextPercent(percent, total);
      ASSERT_LE(at, total) << total << " " << percent;
      EXPECT_GT(PercentOf(at, total), percent) << total << " " << percent;
      if (at > 0) {
        EXPECT_LE(PercentOf(at - 1, total), percent) << total << " " << percent;
      }
    }
    EXPECT_EQ(BytesForNextPercent(-1, total), 0u);
    EXPECT_EQ(BytesForNextPercent(100, total), total);
  }
}

struct ToldPercents : RunHooks {
  std::vector<int> percents;
  void progress(int percent) override { percents.push_back(percent); }
};

// Walking a log block by block, the gauge tells the same percentages as
// working each one out, each of them once.
TEST(ProgressGauge, SameSequenceAsCountingEveryBlock) {
  std::mt19937_64 rng(11);
  for (int trial = 0; trial < 50; ++trial) {
    const uint64_t total = rng() % 5000000 + 1;
    std::vector<int> plain;
    int lastPlain = -1;
    ToldPercents told;
    ProgressGauge gauge(told, ProgressGauge::UnknownSize::ShowsNothing);
    gauge.Start(total);
    for (uint64_t done = 0; done <= total + 100;) {
      int p = PercentOf(done, total);
      if (p != lastPlain) plain.push_back(lastPlain = p);
      gauge.Show(done);
      done += rng() % 4000 + 1;
    }
    EXPECT_EQ(told.percents, plain) << total;
    EXPECT_EQ(gauge.Percent(), plain.back()) << total;
  }
}

// A log of unknown size (a pipe): indexing and gathering show the gauge full
// once blocks come, a conversion leaves it at 0.
TEST(ProgressGauge, UnknownSizeShowsFullOrNothing) {
  const struct {
    ProgressGauge::UnknownSize unknown;
    std::vector<int> told;
  } cases[] = {{ProgressGauge::UnknownSize::ShowsFull, {0, 100}},
               {ProgressGauge::UnknownSize::ShowsNothing, {0}}};
  for (const auto& c : cases) {
    ToldPercents told;
    ProgressGauge gauge(told, c.unknown);
    gauge.Start(0);
    for (uint64_t done : {4096u, 8192u, 9000u}) gauge.Show(done);
    EXPECT_EQ(told.percents, c.told);
  }
}

TEST(CachedText, MadeAgainOnlyWhenTheValueChanges) {
  CachedText<uint64_t> kept;
  int made = 0;
  std::string out;
  auto append = [&](double v) {
    kept.Append(out, ValueKey(v), [&](std::string& t) {
      ++made;
      text::f(t, v, 6);
    });
    out.push_back('|');
  };
  append(40.9142501);
  append(40.9142501);
  append(-73.98405);
  append(-73.98405);
  // Zero and minus zero compare equal but print differently.
  append(0.0);
  append(-0.0);
  append(0.0);
  EXPECT_EQ(out, "40.914250|40.914250|-73.984050|-73.984050|0.000000|-0.000000|0.000000|");
  EXPECT_EQ(made, 5);
  kept.Clear();
  append(0.0);
  EXPECT_EQ(made, 6);
}

// Many frequencies through a small table: keys meeting in one slot still
// give each value its own text.
TEST(CachedText, TableOfFrequenciesGivesEveryValueItsOwnText) {
  CachedTexts<4> kept;
  std::mt19937_64 rng(5);
  std::string viaTable, direct;
  for (int i = 0; i < 5000; ++i) {
    const double mhz = 851.0125 + static_cast<double>(rng() % 40) * 0.025;
    AppendKept(kept, viaTable, mhz, text::f4);
    text::f4(direct, mhz);
    viaTable.push_back(',');
    direct.push_back(',');
  }
  EXPECT_EQ(viaTable, direct);
}

// Bytes summed eight at a time: the plain sum for every length around the
// word and run sizes, for bytes at their largest and at random.
TEST(SumBytes, IsThePlainSum) {
  std::mt19937_64 rng(9);
  std::vector<uint8_t> bytes(2000);
  for (bool largest : {true, false}) {
    for (auto& b : bytes) b = largest ? 0xFF : static_cast<uint8_t>(rng());
    for (size_t offset : {0, 1, 3}) {
      for (size_t n = 0; n + offset <= bytes.size(); n += (n < 600 ? 1 : 97)) {
        uint64_t plain = 0;
        for (size_t i = 0; i < n; ++i) plain += bytes[offset + i];
        ASSERT_EQ(SumBytes(bytes.data() + offset, n), plain) << n << " at " << offset;
      }
    }
  }
}

}  // namespace
}  // namespace morphel
