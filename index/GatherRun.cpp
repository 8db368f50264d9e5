#include "index/GatherRun.h"

#include <fmt/format.h>

#include <iterator>

#include "core/Fmt.h"
#include "products/LogPass.h"

namespace morphel {

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

GatherOutcome GatherRun::Run() {
  rate_ = reader_.RecordRate;
  // The pass only reads: no segment is looked up, no paging text decoded.
  LogPass pass(reader_, settings_, hooks_, ProgressGauge::UnknownSize::ShowsFull);
  if (!pass.Open(false)) return GatherOutcome::InputFailed;
  const int32_t previousRate = reader_.RecordRate;
  reader_.BeginGathering();
  pass.ReadBlocks([this](Product::Block& block) { reader_.ProcessBlock(block); });
  // Counting ends with the pass, whether it completed or not: a later
  // conversion must not count on.
  reader_.Gathering = false;

  if (pass.Stopped()) {
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

  pass.Close();
  hooks_.progress(0);
  return pass.Stopped() ? GatherOutcome::Stopped : GatherOutcome::Completed;
}

}  // namespace morphel
