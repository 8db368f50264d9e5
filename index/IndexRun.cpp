#include "index/IndexRun.h"

#include "products/LogPass.h"

namespace morphel {

IndexRun::IndexRun(Product& reader, const Settings& snapshot, int productItem, RunHooks& hooks)
    : reader_(reader), settings_(snapshot), item_(productItem), hooks_(hooks) {}

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
  reader_.SegmentNodes.Clear();
  reader_.SegmentCounter = 0;
  reader_.SegmentType = -1;
  LogPass pass(reader_, settings_, hooks_, ProgressGauge::UnknownSize::ShowsFull);
  if (!pass.Open(false)) return IndexOutcome::InputFailed;
  pass.ReadBlocks([this](Product::Block& block) {
    reader_.ProcessBlock(block);
    if (reader_.SegmentReady) NoteSegment();
  });
  pass.Close();
  hooks_.progress(0);
  return pass.Stopped() ? IndexOutcome::Stopped : IndexOutcome::Completed;
}

}  // namespace morphel
