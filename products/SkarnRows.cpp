// Skarn rows made in place: the clock, marker and scan mode of a record are
// the texts kept from row to row; each entry is the kept text of its
// channel (frequency and channel number) and its level from a table.

#include <bit>

#include "products/FieldCatalog.h"
#include "products/Skarn.h"

namespace morphel {

// Every field but the record number is made from the clock, the marker and
// the flags of the last data record (or is always empty).
FieldChange Skarn::FieldChangeOf(int id) const {
  return id == FieldCatalog::kRecordNumber ? FieldChange::RecordNumber : FieldChange::Record;
}

// Those values themselves, packed: bytes and a 16-bit marker.
RowStamps Skarn::CurrentRowStamps() const {
  RowStamps stamps;
  stamps.record[0] = static_cast<uint64_t>(hour_ & 0xFF) | static_cast<uint64_t>(minute_ & 0xFF) << 8 |
                  static_cast<uint64_t>(second_ & 0xFF) << 16 |
                  static_cast<uint64_t>(flags_) << 24 |
                  static_cast<uint64_t>(marker_ & 0xFFFF) << 32;
  return stamps;
}

void Skarn::BeginRows() {
  entryTexts_.Clear();
}

// The text of an entry before its level: the frequency and the channel
// number (those of the two boxes checked), and the separator before the
// level when that box is checked too.
const fast::ShortText& Skarn::EntryText(uint16_t channel, char delimiter) {
  const double mhz = FrequencyOf(channel);
  return entryTexts_.Get({std::bit_cast<uint64_t>(mhz), channel}, [&](std::string& t) {
    const Settings& s = Config();
    if (s.FrequencyField) text::f4(t, mhz);
    if (s.ChannelField) {
      if (s.FrequencyField) t.push_back(delimiter);
      text::d(t, channel);
    }
    if (s.RSSIField && (s.FrequencyField || s.ChannelField)) t.push_back(delimiter);
  });
}

// One group: the entries of the scan mode, or the best one, each
// separated from the last.
void Skarn::WriteDataColumns(RowOutput& out, bool first) {
  if (!first) out.Separator();
  const Settings& s = Config();
  if (!s.FrequencyField && !s.ChannelField && !s.RSSIField) return;
  const int count = EntriesForType(SegmentType);
  const bool best = AverageMode == kAverageBestServer;
  const int from = best ? bestEntry_ : 0;
  const int to = best ? (count > 0 ? bestEntry_ + 1 : 0) : count;
  const char delimiter = out.Delimiter();
  const fast::ByteTexts& levels = fast::MinusLevels();
  const bool heads = s.FrequencyField || s.ChannelField;
  for (int k = from; k < to; ++k) {
    const Entry& e = entries_[static_cast<size_t>(k)];
    const fast::ShortText* head = heads ? &EntryText(e.channel, delimiter) : nullptr;
    char* p = out.Room(1 + (head ? head->RoomNeeded() : 0) + fast::ByteTexts::kWidth);
    if (k > from) *p++ = delimiter;
    if (head) p = head->Put(p);
    if (s.RSSIField) p = levels.Put(p, e.level);
    out.Wrote(p);
  }
}

}  // namespace morphel
