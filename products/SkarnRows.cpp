// Skarn rows made in place: the clock, marker and scan mode of a record are
// the texts kept from row to row; the channel/level pairs go straight into
// the output buffer.

#include "core/FastText.h"
#include "products/FieldCatalog.h"
#include "products/Skarn.h"

namespace morphel {

namespace {
// Room for one entry's values besides the frequency's text: three
// separators, a channel and a level.
constexpr size_t kEntryRoom = 3 + 20 + fast::ByteTexts::kWidth;
}  // namespace

// Every field but the record number is made from the clock, the marker and
// the flags of the last data record (or is always empty).
FieldChange Skarn::FieldChangeOf(int id) const {
  return id == FieldCatalog::kRecordNumber ? FieldChange::RecordNumber : FieldChange::Record;
}

// Those values themselves, packed: bytes and a 16-bit marker.
RowStamps Skarn::CurrentRowStamps() const {
  RowStamps stamps;
  stamps.record = static_cast<uint64_t>(hour_ & 0xFF) | static_cast<uint64_t>(minute_ & 0xFF) << 8 |
                  static_cast<uint64_t>(second_ & 0xFF) << 16 |
                  static_cast<uint64_t>(flags_) << 24 |
                  static_cast<uint64_t>(marker_ & 0xFFFF) << 32;
  return stamps;
}

char* Skarn::PutEntryValues(char* p, const Entry& entry, std::string_view frequency, char delimiter,
                            bool& first) const {
  const Settings& s = Config();
  if (s.FrequencyField) {
    if (!first) *p++ = delimiter;
    first = false;
    std::memcpy(p, frequency.data(), frequency.size());
    p += frequency.size();
  }
  if (s.ChannelField) {
    if (!first) *p++ = delimiter;
    first = false;
    p = fast::Unsigned(p, entry.channel);
  }
  if (s.RSSIField) {
    if (!first) *p++ = delimiter;
    first = false;
    p = fast::MinusLevels().Put(p, entry.level);
  }
  return p;
}

// One group: the entries of the scan mode, or the best one.
void Skarn::WriteDataColumns(RowOutput& out, bool first) {
  if (!first) out.Separator();
  const int count = EntriesForType(SegmentType);
  const char delimiter = out.Delimiter();
  const bool frequencies = Config().FrequencyField;
  bool firstValue = true;
  const bool best = AverageMode == kAverageBestServer;
  const int from = best ? bestEntry_ : 0;
  const int to = best ? (count > 0 ? bestEntry_ + 1 : 0) : count;
  for (int k = from; k < to; ++k) {
    const Entry& e = entries_[static_cast<size_t>(k)];
    const std::string_view frequency =
        frequencies ? KeptView(frequencyTexts_, FrequencyOf(e.channel), text::f4)
                    : std::string_view();
    char* p = out.Room(kEntryRoom + frequency.size());
    out.Wrote(PutEntryValues(p, e, frequency, delimiter, firstValue));
  }
}

}  // namespace morphel
