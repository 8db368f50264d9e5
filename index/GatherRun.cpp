#include "index/GatherRun.h"

#include <fmt/format.h>

#include <iterator>

#include "core/Fmt.h"

namespace morphel {

namespace {
constexpr int kPercent = 100;
}  // namespace

GatherRun::GatherRun(Product& reader, const Settings& snapshot, RunHooks& hooks)
    : reader_(reader), settings_(snapshot), hooks_(hooks), rate_(reader.RecordRate) {}

std::string GatherRun::PercentText(long percent) {
  std::string text;
  text::d(text, percent);
  text.append("% Complete");
  return text;
}

std::string GatherRun::CountsText(int32_t records, int32_t seconds, int32_t rate) {
  std::string text;
  fmt::format_to(std::back_inserter(text), "{} Records\n{} Seconds\n{} Records Per Second", records,
                 seconds, rate);
  return text;
}

void GatherRun::ShowProgress(uint64_t done, uint64_t total) {
  if (done < nextPercentAt_) return;
  int percent = kPercent;
  if (total > 0 && done < total) percent = static_cast<int>(done * kPercent / total);
  nextPercentAt_ = BytesForNextPercent(percent, total);
  if (percent != lastPercent_) {
    lastPercent_ = percent;
    hooks_.progress(percent);
  }
}

GatherOutcome GatherRun::Run() {
  lastPercent_ = 0;
  nextPercentAt_ = 0;
  rate_ = reader_.RecordRate;
  reader_.AttachReceiverSelectors(&settings_);
  if (reader_.Open(settings_.InputFilename) != 0) {
    reader_.AttachReceiverSelectors(nullptr);
    hooks_.reportDetail(MessageKind::Error, kInputMissing,
                        SystemReason(settings_.InputFilename, reader_.Input.Error()));
    return GatherOutcome::InputFailed;
  }

  // The pass only reads: no segment is looked up, no paging text decoded.
  reader_.ConversionPass = false;
  const uint64_t total = reader_.Input.Size();
  uint64_t done = 0;
  hooks_.progress(0);

  const int32_t previousRate = reader_.RecordRate;
  Product::Block block;
  int64_t taken = reader_.ReadBlock(block);
  reader_.RecordCounter = 0;
  reader_.BeginGathering();
  bool stopped = false;
  while (taken > 0) {
    if (hooks_.stopRequested()) {
      stopped = true;
      break;
    }
    done += static_cast<uint64_t>(taken);
    ShowProgress(done, total);
    reader_.ProcessBlock(block);
    taken = reader_.ReadBlock(block);
  }
  // Counting ends with the pass, whether it completed or not: a later
  // conversion must not count on.
  reader_.Gathering = false;

  if (stopped) {
    reader_.RecordRate = previousRate;
  } else {
    records_ = reader_.GatherRecords;
    seconds_ = reader_.GatherSeconds;
    hooks_.report(MessageKind::Information, kGathered);
    // Without a counted second the rate stays at the 1 the pass began with.
    if (seconds_ > 0) reader_.RecordRate = records_ / seconds_;
    hooks_.report(MessageKind::Information, CountsText(records_, seconds_, reader_.RecordRate));
  }
  rate_ = reader_.RecordRate;

  reader_.Close();
  reader_.AttachReceiverSelectors(nullptr);
  hooks_.progress(0);
  return stopped ? GatherOutcome::Stopped : GatherOutcome::Completed;
}

}  // namespace morphel
