#include "index/IndexRun.h"

#include <array>

#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel {

namespace {
constexpr int kPercent = 100;
}  // namespace

IndexRun::IndexRun(Product& reader, const Settings& snapshot, int productItem, RunHooks& hooks)
    : reader_(reader), settings_(snapshot), item_(productItem), hooks_(hooks) {}

void IndexRun::ShowProgress(uint64_t done, uint64_t total) {
  if (done < nextPercentAt_) return;
  int percent = kPercent;
  if (total > 0 && done < total) percent = static_cast<int>(done * kPercent / total);
  nextPercentAt_ = BytesForNextPercent(percent, total);
  if (percent > lastPercent_) {
    lastPercent_ = percent;
    hooks_.progress(percent);
  }
}

// The reader met the start of a segment in this block: it is the one just
// counted. Past the table's capacity the segment is not stored, so its
// conversion finds no entry and keeps it.
void IndexRun::NoteSegment() {
  if (!reader_.SegmentReady) return;
  reader_.SegmentReady = false;
  if (reader_.SegmentStartTime.empty() || reader_.SegmentCounter < 1) return;
  IndexedSegment segment;
  segment.index = reader_.SegmentCounter - 1;
  segment.type = reader_.SegmentType;
  segment.caption = reader_.SegmentStartTime;
  segment.stored = reader_.SegmentNodes.Set(segment.index, segment.type, segment.caption);
  ++found_;
  if (segmentAdded) segmentAdded(segment);
}

IndexOutcome IndexRun::Run() {
  found_ = 0;
  lastPercent_ = 0;
  nextPercentAt_ = 0;
  reader_.SegmentNodes.Clear();
  reader_.SegmentCounter = 0;
  reader_.SegmentType = -1;
  reader_.ConversionPass = false;
  reader_.AttachReceiverSelectors(&settings_);

  if (reader_.Open(settings_.InputFilename) != 0) {
    reader_.AttachReceiverSelectors(nullptr);
    hooks_.reportDetail(MessageKind::Error, kInputMissing,
                        SystemReason(settings_.InputFilename, reader_.Input.Error()));
    return IndexOutcome::InputFailed;
  }

  const uint64_t total = reader_.Input.Size();
  uint64_t done = 0;
  hooks_.progress(0);

  Product::Block block;
  int64_t taken = reader_.ReadBlock(block);
  reader_.RecordCounter = 0;
  bool stopped = false;
  while (taken > 0) {
    if (hooks_.stopRequested()) {
      stopped = true;
      break;
    }
    done += static_cast<uint64_t>(taken);
    ShowProgress(done, total);
    reader_.ProcessBlock(block);
    if (reader_.SegmentReady) NoteSegment();
    taken = reader_.ReadBlock(block);
  }

  reader_.Close();
  reader_.AttachReceiverSelectors(nullptr);
  hooks_.progress(0);
  return stopped ? IndexOutcome::Stopped : IndexOutcome::Completed;
}

}  // namespace morphel
