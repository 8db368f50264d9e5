// Micro benchmarks of the conversion's hot paths: the text helpers that
// format every value, and one record of each reader (a block through
// ProcessBlock, then every field of a heavy selection formatted as the
// conversion run formats it).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "app/MainModel.h"
#include "core/Fmt.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "synth/SampleFile.h"

namespace morphel {
namespace {

constexpr size_t kValues = 4096;

std::vector<long long> SmallIntegers() {
  std::mt19937_64 rng(1);
  std::uniform_int_distribution<long long> v(-130, 1300);
  std::vector<long long> out(kValues);
  for (auto& x : out) x = v(rng);
  return out;
}

std::vector<double> Coordinates() {
  std::mt19937_64 rng(2);
  std::uniform_real_distribution<double> v(-180.0, 180.0);
  std::vector<double> out(kValues);
  for (auto& x : out) x = v(rng);
  return out;
}

template <typename Format>
void FormatEach(benchmark::State& state, const Format& format) {
  std::string out;
  out.reserve(64);
  size_t i = 0, bytes = 0;
  for (auto _ : state) {
    out.clear();
    format(out, i++ % kValues);
    bytes += out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_FmtD(benchmark::State& state) {
  const auto v = SmallIntegers();
  FormatEach(state, [&](std::string& out, size_t i) { text::d(out, v[i]); });
}
void BM_FmtMinusD(benchmark::State& state) {
  const auto v = SmallIntegers();
  FormatEach(state, [&](std::string& out, size_t i) { text::minusD(out, v[i]); });
}
void BM_FmtD02(benchmark::State& state) {
  const auto v = SmallIntegers();
  FormatEach(state, [&](std::string& out, size_t i) { text::d02(out, v[i] % 60); });
}
void BM_FmtHms(benchmark::State& state) {
  const auto v = SmallIntegers();
  FormatEach(state, [&](std::string& out, size_t i) {
    text::hms(out, v[i] % 24, v[(i + 1) % kValues] % 60, v[(i + 2) % kValues] % 60);
  });
}
void BM_FmtF4(benchmark::State& state) {
  const auto v = Coordinates();
  FormatEach(state, [&](std::string& out, size_t i) { text::f4(out, v[i]); });
}
void BM_FmtF6(benchmark::State& state) {
  const auto v = Coordinates();
  FormatEach(state, [&](std::string& out, size_t i) { text::f(out, v[i], 6); });
}
void BM_FmtPlusF03_5(benchmark::State& state) {
  const auto v = Coordinates();
  FormatEach(state, [&](std::string& out, size_t i) { text::plusF03_5(out, v[i]); });
}
// The general formatter the helpers fall back to, for comparison.
void BM_FmtF6General(benchmark::State& state) {
  const auto v = Coordinates();
  FormatEach(state, [&](std::string& out, size_t i) {
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:.{}f}"), v[i], 6);
  });
}

BENCHMARK(BM_FmtD);
BENCHMARK(BM_FmtMinusD);
BENCHMARK(BM_FmtD02);
BENCHMARK(BM_FmtHms);
BENCHMARK(BM_FmtF4);
BENCHMARK(BM_FmtF6);
BENCHMARK(BM_FmtPlusF03_5);
BENCHMARK(BM_FmtF6General);

// One reader with a heavy selection (every field, every data value, every
// receiver) over the blocks of a short sample held in memory.
class ReaderBench {
 public:
  ReaderBench(const std::string& product, int item) {
    path_ = "/tmp/morphel-bench-" + std::to_string(::getpid()) + "-" + product;
    synth::SampleOptions options;
    options.seconds = 60;
    options.seed = 3;
    std::string error;
    if (!WriteSample(product, path_, options, error)) {
      error_ = error;
      return;
    }
    Settings& s = model_.EditSettings();
    s.InputFilename = path_;
    model_.SetInputFormatGroup(item);
    reader_ = model_.CurrentReader();
    if (!reader_) {
      error_ = "no reader";
      return;
    }
    model_.DeselectAllClick();
    model_.SelectAllClick();
    s.FrequencyField = s.ChannelField = s.RSSIField = true;
    for (int r = 1; r <= 4; ++r) s.SetReceiver(r, model_.Controls().Receiver(r).enabled);
    snapshot_ = model_.Snapshot();
    reader_->AttachReceiverSelectors(&snapshot_);
    reader_->ConversionPass = true;
    if (reader_->Open(path_) != 0) {
      error_ = "cannot open sample";
      return;
    }
    reader_->SetAverageMode(Product::kAverageNone);
    Product::Block block;
    while (blocks_.size() < kMaxBlocks && reader_->ReadBlock(block) > 0) blocks_.push_back(block);
    reader_->Close();
    if (blocks_.empty()) error_ = "sample without blocks";
    delimiter_ = ConversionRun::DelimiterFor(snapshot_.DelimiterGroup, snapshot_.OtherDelimiter);
    receivers_ = ConversionRun::ReceiversFor(item);
  }
  ~ReaderBench() { std::remove(path_.c_str()); }

  const std::string& Error() const { return error_; }

  // One block through the reader and its records formatted; returns bytes.
  size_t Record(size_t i) {
    Product::Block& block = blocks_[i % blocks_.size()];
    line_.clear();
    int result = reader_->ProcessBlock(block);
    if (result != Product::kRecordsReady && result != Product::kBoundaryAndRecords) return 0;
    const size_t fields = snapshot_.SelectedBox.size();
    for (int remaining = reader_->PendingRecordCount; remaining > 0; --remaining) {
      reader_->RemainingRecordCount = static_cast<int16_t>(remaining);
      for (int j = 1; j <= receivers_; ++j) {
        if (receivers_ > 1 && !reader_->ReceiverHasData(j)) continue;
        for (size_t f = 0; f < fields; ++f) {
          int id = reader_->SelectedFieldIds[f];
          if (f > 0) line_.push_back(delimiter_);
          if (id != 0) {
            reader_->FormatField(id, value_);
            line_.append(value_);
            continue;
          }
          for (int r = reader_->FormatDataValues(0, value_, delimiter_); r >= 0;
               r = reader_->FormatDataValues(1, value_, delimiter_)) {
            line_.append(value_);
            if (r == 0) line_.push_back(delimiter_);
          }
        }
        line_.push_back('\n');
      }
    }
    return line_.size();
  }

 private:
  static constexpr size_t kMaxBlocks = 4000;
  MainModel model_;
  Settings snapshot_;
  Product* reader_ = nullptr;
  std::string path_, error_, line_, value_;
  std::vector<Product::Block> blocks_;
  char delimiter_ = ',';
  int receivers_ = 1;
};

void BM_ReaderRecord(benchmark::State& state, const char* product, int item) {
  ReaderBench bench(product, item);
  if (!bench.Error().empty()) {
    state.SkipWithError(bench.Error().c_str());
    return;
  }
  size_t i = 0, bytes = 0;
  for (auto _ : state) bytes += bench.Record(i++);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

BENCHMARK_CAPTURE(BM_ReaderRecord, Tolvan, "tolvan", kItemTolvan);
BENCHMARK_CAPTURE(BM_ReaderRecord, Velmar, "velmar", kItemVelmar);
BENCHMARK_CAPTURE(BM_ReaderRecord, ZevCard, "zev-card", kItemZevCard);
BENCHMARK_CAPTURE(BM_ReaderRecord, ZevDump, "zev-dump", kItemZevDump);
BENCHMARK_CAPTURE(BM_ReaderRecord, Skarn, "skarn", kItemSkarn);
BENCHMARK_CAPTURE(BM_ReaderRecord, TolvanNew, "tolvan-new", kItemTolvanNew);
BENCHMARK_CAPTURE(BM_ReaderRecord, Brisel, "brisel", kItemBrisel);
BENCHMARK_CAPTURE(BM_ReaderRecord, BriselCard, "brisel-card", kItemBriselCard);

}  // namespace
}  // namespace morphel

BENCHMARK_MAIN();
