// Tolvan and Velmar rows made in place: the texts of the measurement header
// are kept while the header stays the same; each receiver's frequency,
// channel and level go straight into the output buffer.

#include <algorithm>

#include "core/FastText.h"
#include "products/CwScanner.h"
#include "products/FieldCatalog.h"

namespace morphel {

namespace {
// Room for one reading besides its frequency's text: three separators, a
// channel and a level.
constexpr size_t kReadingRoom = 3 + 20 + 21;
}  // namespace

// The record number counts rows; the per-receiver ids read the receiver
// blocks; every other field is made from the measurement header alone.
FieldChange CwScanner::FieldChangeOf(int id) const {
  if (id == FieldCatalog::kRecordNumber) return FieldChange::RecordNumber;
  if (id < 0 || id >= FieldCatalog::kFieldCount) return FieldChange::EveryRow;
  return FieldChange::Record;
}

RowStamps CwScanner::CurrentRowStamps() const {
  RowStamps stamps;
  stamps.record[0] = headerStamp_.Of(header_);
  return stamps;
}

// One group per checked receiver, as FormatDataValues hands them out.
void CwScanner::WriteDataColumns(RowOutput& out, bool first) {
  for (int r = 0; r < layout_.receivers; ++r) {
    if (!ReceiverOn(r + 1)) continue;
    if (r > 0 || !first) out.Separator();
    if (SegmentType == kSegmentFastData) WriteFastValues(r, out);
    if (SegmentType == kSegmentScanData) WriteScanValues(r, out);
  }
}

void CwScanner::WriteFastValues(int r, RowOutput& out) {
  const Settings& s = Config();
  const char delimiter = out.Delimiter();
  const Tuning t = FastTuning(r);
  const int channel = FastChannel(r);
  const std::string_view frequency =
      s.FrequencyField ? KeptView(frequencyTexts_, Frequency(t, channel), text::f4)
                       : std::string_view();
  char* p = out.Room(kReadingRoom + frequency.size());
  bool first = true;
  auto separate = [&] {
    if (!first) *p++ = delimiter;
    first = false;
  };
  if (s.FrequencyField) {
    separate();
    std::memcpy(p, frequency.data(), frequency.size());
    p += frequency.size();
  }
  if (s.ChannelField) {
    separate();
    p = fast::Signed(p, DisplayedChannel(t, channel));
  }
  if (s.RSSIField) {
    separate();
    if (AverageMode != kAverageLambda) {
      p = fast::MinusLevels().Put(p, static_cast<uint8_t>(MeanRssi(r)));
    } else {
      // The average of the row being written; none: the column stays empty.
      const AverageBlock& a = Averages[static_cast<size_t>(r)];
      const int index = PendingRecordCount - RemainingRecordCount;
      if (index >= 0 && index < a.completed && index < kMaxAverages) {
        *p++ = '-';
        p = fast::Signed(p, a.averages[static_cast<size_t>(index)]);
      }
    }
  }
  out.Wrote(p);
}

void CwScanner::WriteScanValues(int r, RowOutput& out) {
  const Settings& s = Config();
  const char delimiter = out.Delimiter();
  const bool bestOnly = AverageMode == kAverageBestServer;
  int firstEntry = bestOnly ? BestServerIndex[static_cast<size_t>(r)] : 0;
  const int lastEntry = bestOnly ? firstEntry : kScanEntries - 1;
  firstEntry = std::clamp(firstEntry, 0, kScanEntries - 1);
  const Tuning t = ScanTuning(r);
  bool first = true;
  for (int e = firstEntry; e <= lastEntry && e < kScanEntries; ++e) {
    const int channel = ScanChannel(r, e);
    if (channel == 0) break;
    const std::string_view frequency =
        s.FrequencyField ? KeptView(frequencyTexts_, Frequency(t, channel), text::f4)
                         : std::string_view();
    char* p = out.Room(kReadingRoom + frequency.size());
    if (s.FrequencyField) {
      if (!first) *p++ = delimiter;
      first = false;
      std::memcpy(p, frequency.data(), frequency.size());
      p += frequency.size();
    }
    if (s.ChannelField) {
      if (!first) *p++ = delimiter;
      first = false;
      p = fast::Signed(p, DisplayedChannel(t, channel));
    }
    if (s.RSSIField) {
      if (!first) *p++ = delimiter;
      first = false;
      p = fast::MinusLevels().Put(p, static_cast<uint8_t>(ScanRssi(r, e)));
    }
    out.Wrote(p);
  }
}

}  // namespace morphel
