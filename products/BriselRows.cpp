// Brisel rows made in place: the field texts are kept while the GPS fix, the
// clock and the trip computer's values stay the same, the band fields while
// the row's receiver's band does; each entry is the kept text of its
// frequency and channel and its level, straight into the output buffer.

#include <bit>

#include "products/Brisel.h"
#include "products/RowWriter.h"

namespace morphel {

namespace {
// Room for one entry besides its kept text: three separators and a level.
constexpr size_t kEntryRoom = 3 + 21;
}  // namespace

// The band fields and the receiver follow the row's receiver; the record
// number counts rows; the rest is made from the fix, the clock and the trip
// computer.
FieldChange Brisel::FieldChangeOf(int id) const {
  return BandReaderFieldChange(id);
}

RowStamps Brisel::CurrentRowStamps() const {
  FieldState state;
  state.latitude = gps_.Latitude().value;
  state.longitude = gps_.Longitude().value;
  state.status = gps_.StatusByte();
  state.time[0] = gps_.Hour();
  state.time[1] = gps_.Minute();
  state.time[2] = gps_.Second();
  state.time[3] = gps_.Month();
  state.time[4] = gps_.Day();
  state.time[5] = gps_.Year();
  state.height = std::bit_cast<uint64_t>(gps_.GpsHeight());
  state.speed = gps_.Speed3D();
  state.clock = clock_;
  state.tpPosition = tpPosition_;
  state.tpMotion = tpMotion_;
  const size_t r = static_cast<size_t>(current_);
  RowStamps stamps;
  stamps.record[0] = fieldStamp_.Of(state);
  stamps.receiver = bandStamps_[r].Of(rx_[r].band);
  stamps.slot = current_;
  return stamps;
}

void Brisel::BeginRows() {
  entryTexts_.Clear();
}

// An entry's kept text of its frequency and channel (those of the two
// boxes checked).
const fast::ShortText& Brisel::EntryHead(const Entry& e, char delimiter) {
  return entryTexts_.Get({std::bit_cast<uint64_t>(e.mhz), e.channel}, [&](std::string& t) {
    const Settings& s = Config();
    if (s.FrequencyField) text::f(t, e.mhz, 5);
    if (s.ChannelField) {
      if (s.FrequencyField) t.push_back(delimiter);
      text::d(t, e.channel);
    }
  });
}

// One entry's values (those of the boxes checked), a separator before each
// but the group's first; without an entry the columns stay empty.
void Brisel::PutEntry(RowOutput& out, const Entry* e, char delimiter, bool firstEntry) {
  const Settings& s = Config();
  const bool heads = s.FrequencyField || s.ChannelField;
  const fast::ShortText* head = heads && e ? &EntryHead(*e, delimiter) : nullptr;
  char* p = out.Room(kEntryRoom + (head ? head->RoomNeeded() : 0));
  if (!firstEntry) *p++ = delimiter;
  if (head) {
    p = head->Put(p);
  } else if (s.FrequencyField && s.ChannelField) {
    *p++ = delimiter;
  }
  if (s.RSSIField) {
    if (heads) *p++ = delimiter;
    if (e) p = fast::Signed(p, e->rssi);
  }
  out.Wrote(p);
}

// The row's receiver's entries in one group, as FormatDataValues makes it.
void Brisel::WriteDataColumns(RowOutput& out, bool first) {
  if (!first) out.Separator();
  const Settings& s = Config();
  if (!s.FrequencyField && !s.ChannelField && !s.RSSIField) return;
  const ReceiverState& rx = rx_[static_cast<size_t>(current_)];
  const char delimiter = out.Delimiter();
  bool firstEntry = true;
  auto put = [&](const Entry* e) {
    PutEntry(out, e, delimiter, firstEntry);
    firstEntry = false;
  };
  switch (kind_) {
    case Kind::Samples:
      for (size_t i = 0; i < samples_ && i < kSlots; ++i) {
        if (rx.counts[i] == 0) continue;
        const Entry e = SampleOrListEntry(rx, i);
        put(&e);
      }
      break;
    case Kind::List:
      if (BestServerMode()) {
        const size_t at = BestListed(rx);
        if (at < kListEntries) {
          const Entry e = SampleOrListEntry(rx, at);
          put(&e);
        }
        break;
      }
      for (size_t i = 0; i < kListEntries; ++i) {
        if (rx.counts[i] == 0) continue;
        const Entry e = SampleOrListEntry(rx, i);
        put(rx.listed[i] ? &e : nullptr);
      }
      break;
    case Kind::Table:
      if (BestServerMode()) {
        const Entry e = TableEntry(rx, rx.reportChannel, rx.reportRssi);
        put(&e);
        break;
      }
      for (size_t k = 0; k < kTableQuadruples; ++k) {
        const Entry e = rx.channels[k] != 0 ? TableEntry(rx, rx.channels[k], rx.rssi[k]) : Entry{};
        put(rx.channels[k] != 0 ? &e : nullptr);
      }
      break;
    case Kind::None:
      break;
  }
}

}  // namespace morphel
