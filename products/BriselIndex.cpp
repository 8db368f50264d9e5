// Brisel framing, and the indexing pass: the records are taken where they
// lie in the input, and of those that carry nothing a segment needs (sample
// runs, list readings) nothing is decoded; a GPS record gives only its time,
// for the caption of the next segment.

#include "core/Bytes.h"
#include "core/Fmt.h"
#include "products/Brisel.h"

namespace morphel {

int64_t Brisel::NextFrame(const uint8_t*& record, size_t& length) {
  record = nullptr;
  length = 0;
  size_t got = 0;
  const uint8_t* word = Input.View(2, got);
  if (got != 2) {
    if (position_ < dataEnd_ && position_ < Input.Size()) ++Damage.truncatedBlocks;
    return 0;
  }
  position_ += 2;
  if (position_ > dataEnd_) return 0;
  const uint16_t size = le16(word);
  if (size > kMaxBlockLength) {
    // The word cannot be a length; the next word is tried as one.
    ++Damage.badLengthBlocks;
    return kBadLengthConsumed;
  }
  const uint8_t* at = Input.View(size, got);
  if (got != size) {
    ++Damage.truncatedBlocks;
    return 0;
  }
  position_ += size;
  // A block that runs past the data end is the instrument's unfinished last
  // write and is not taken; one that ends exactly there is the last complete
  // block of the log.
  if (position_ > dataEnd_) return 0;
  record = at;
  length = size;
  return static_cast<int64_t>(size) + 2;
}

int64_t Brisel::ReadBlock(Block& buffer) {
  return CopyFrame(buffer, [this](const uint8_t*& r, size_t& n) { return NextFrame(r, n); });
}

int64_t Brisel::IndexRead(Block&) {
  return NextFrame(indexRecord_, indexLength_);
}

void Brisel::IndexProcess(Block& buffer) {
  if (indexLength_ == 0) return;
  const uint8_t* b = indexRecord_;
  if (!ConversionPass && !Gathering) {
    switch (b[0]) {
      case kSamplesReceiver1:
      case kSamplesReceiver2:
      case kListReadings:
        return;
      case kGpsRecord:
        if (indexLength_ < kGpsRecordSize) break;
        timeSource_ = TimeSource::Gps;
        timeSeen_ = true;
        SegmentStartTime = "GPS ";
        text::hms(SegmentStartTime, b[1 + TGPS::kHourOffset], b[1 + TGPS::kMinuteOffset],
                  b[1 + TGPS::kSecondOffset]);
        return;
      default:
        break;
    }
  }
  CopyToBlock(buffer, b, indexLength_);
  ProcessBlock(buffer);
}

}  // namespace morphel
