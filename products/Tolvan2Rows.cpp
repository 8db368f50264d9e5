// Rows made in place for Tolvan receivers with firmware 1.27 and later: the
// texts of the header a receiver's readings were measured under are kept
// while it stays the same, those of its band while the band does; each
// reading is the kept text of its channel (frequency and channel number),
// its level from a table and its codes, straight into the output buffer.

#include <algorithm>

#include "products/RowWriter.h"
#include "products/Tolvan2.h"

namespace morphel {

namespace {
// Room for one reading besides its channel's text: a separator, a level,
// the SAT/DCC pair and VMAC with their separators.
constexpr size_t kReadingRoom = 1 + 4 * (1 + fast::ByteTexts::kWidth);
}  // namespace

// The band fields and the receiver follow the row's receiver; the record
// number counts rows; the rest is made from the row's header.
FieldChange Tolvan2::FieldChangeOf(int id) const {
  return BandReaderFieldChange(id);
}

RowStamps Tolvan2::CurrentRowStamps() const {
  const size_t r = Index(current_);
  RowStamps stamps;
  stamps.record[0] = fixStamp_.Of(RowFix());
  stamps.receiver = bandStamps_[r].Of(bands_[r]);
  stamps.slot = static_cast<int>(r);
  return stamps;
}

void Tolvan2::BeginRows() {
  for (HeadText& h : headTexts_) h.channel = -1;
}

// Makes receiver r's text of a reading's frequency and channel number
// (those of the two boxes checked) and, when asked, the separator before
// the values that follow.
void Tolvan2::MakeEntryHead(size_t r, uint16_t channel, uint64_t band, char delimiter,
                            bool separatorAfter) {
  HeadText& h = headTexts_[r];
  const Settings& s = Config();
  std::string t;
  if (s.FrequencyField) text::f(t, bands_[r].FrequencyMHz(channel), 5);
  if (s.ChannelField) {
    if (s.FrequencyField) t.push_back(delimiter);
    text::d(t, bands_[r].PrintedChannel(channel));
  }
  if (separatorAfter) t.push_back(delimiter);
  h.text.Assign(t);
  h.channel = channel;
  h.band = band;
}

// One group of readings [from, to), one separator between each two values.
void Tolvan2::WriteEntries(RowOutput& out, size_t r, const DATABLOCK* from, const DATABLOCK* to,
                           bool separator) {
  const Settings& s = Config();
  const char delimiter = out.Delimiter();
  if (separator) {
    char* p = out.Room(1);
    *p++ = delimiter;
    out.WroteSeparators(p);
  }
  const bool heads = s.FrequencyField || s.ChannelField;
  const bool rssi = s.RSSIField, sat = s.SATField, vmac = s.VMACField;
  if (!heads && !rssi && !sat && !vmac) return;
  const bool after = rssi || sat || vmac;
  const uint64_t band = bandStamps_[r].Of(bands_[r]);
  const fast::ByteTexts& levels = fast::MinusLevels();
  const fast::ByteTexts& bytes = fast::UnsignedBytes();
  HeadText& head = headTexts_[r];
  for (const DATABLOCK* e = from; e != to; ++e) {
    size_t room = kReadingRoom;
    if (heads) {
      if (head.channel != e->channel || head.band != band)
        MakeEntryHead(r, e->channel, band, delimiter, after);
      room += head.text.RoomNeeded();
    }
    char* p = out.Room(room);
    if (e != from) *p++ = delimiter;
    if (heads) p = head.text.Put(p);
    if (rssi) {
      p = levels.Put(p, e->rssi);
      if (sat || vmac) *p++ = delimiter;
    }
    if (sat) {
      p = bytes.Put(p, e->sat);
      *p++ = ',';
      p = bytes.Put(p, e->dcc);
      if (vmac) *p++ = delimiter;
    }
    if (vmac) p = bytes.Put(p, e->vmac);
    out.Wrote(p);
  }
}

// The row's receiver's readings, in the groups FormatDataValues hands out:
// under 40 lambda one group per reading of a fast block, else one group of
// them all (best server: of the strongest alone).
void Tolvan2::WriteDataColumns(RowOutput& out, bool first) {
  const size_t r = Index(current_);
  const ReadingList& list = ReadingLists[r];
  const DATABLOCK* begin = list.data();
  const DATABLOCK* end = begin + list.size();
  if (AverageMode == kAverageBestServer) {
    // The first of equal readings wins, as a stable sort would put it first.
    const DATABLOCK* best = std::min_element(
        begin, end, [](const DATABLOCK& a, const DATABLOCK& b) { return a.rssi < b.rssi; });
    WriteEntries(out, r, best, best == end ? end : best + 1, !first);
    return;
  }
  if (AverageMode == kAverageLambda && SegmentType == kSegmentFastData && begin != end) {
    for (const DATABLOCK* e = begin; e != end; ++e)
      WriteEntries(out, r, e, e + 1, e != begin || !first);
    return;
  }
  WriteEntries(out, r, begin, end, !first);
}

}  // namespace morphel
