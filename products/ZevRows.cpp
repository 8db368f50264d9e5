// Zev rows made in place (PC card and PC dump logs): the field texts are
// kept while what they are made from stays the same; each channel of the list
// is a kept text of its frequency and channel number, made again only when
// the channel or the plan changes, followed by its level (and tone codes)
// straight into the output buffer.

#include <algorithm>

#include "products/FieldCatalog.h"
#include "products/Zev.h"
#include "products/ZevDump.h"

namespace morphel {

namespace {
// Room for one group besides its kept text: four separators, a level and
// two tone codes.
constexpr size_t kGroupRoom = 4 + 21 + 2 * fast::ByteTexts::kWidth;
}  // namespace

FieldChange ZevReader::FieldChangeOf(int id) const {
  if (id == FieldCatalog::kRecordNumber) return FieldChange::RecordNumber;
  if (id < 0 || id >= FieldCatalog::kFieldCount) return FieldChange::EveryRow;
  return FieldChange::Record;
}

// The navigation status is the dump log's own, read from its GPS records.
FieldChange ZevDump::FieldChangeOf(int id) const {
  if (id == FieldCatalog::kExtNavStatus) return FieldChange::EveryRow;
  return ZevReader::FieldChangeOf(id);
}

RowStamps ZevReader::CurrentRowStamps() const {
  FieldState state;
  state.rtc[0] = rtcHour_;
  state.rtc[1] = rtcMinute_;
  state.rtc[2] = rtcSecond_;
  state.rtc[3] = rtcDay_;
  state.rtc[4] = rtcMonth_;
  state.rtc[5] = rtcYear_;
  state.gps[0] = gpsHour_;
  state.gps[1] = gpsMinute_;
  state.gps[2] = gpsSecond_;
  state.latitude = latitude_;
  state.longitude = longitude_;
  state.altitude = altitude_;
  state.velocity = velocity_;
  state.gpsStatus = gpsStatus_;
  state.xyFlag = xyFlag_;
  state.marker = marker_;
  state.odometer = odometer_;
  state.mode = mode_;
  state.segmentType = SegmentType;
  state.paging = pagingDecoded_;
  RowStamps stamps;
  stamps.record = fieldStamp_.Of(state);
  return stamps;
}

void ZevReader::BeginRows() {
  for (EntryText& e : entryTexts_) e.channel = -1;
}

ZevReader::RowLevels ZevReader::LevelsOfRow() const {
  RowLevels levels;
  const int start = CurrentRow() * entryCount_;
  const int present = std::min(levelCount_, kMaxLevels) - start;
  if (present <= 0) return levels;
  levels.bytes = levels_.data() + start;
  levels.count = std::min(present, entryCount_);
  return levels;
}

// The 40-lambda sums are not kept for the PC card: its levels stay empty.
ZevReader::RowLevels Zev::LevelsOfRow() const {
  if (AverageMode == kAverageLambda) return {};
  if (AverageMode == kAveragePerSeconds && !PagingMode()) {
    RowLevels levels;
    levels.averages = averagedLevels_.data();
    levels.averaged = averaged_.data();
    levels.count = std::min(entryCount_, kAveragedChannels);
    return levels;
  }
  return ZevReader::LevelsOfRow();
}

uint64_t Zev::PlanStamp() const {
  return planStamp_.Of(
      {firstChannel_, baseMHz_, baseFraction_, spacing_, flags_, firmware_, mode_});
}

uint64_t ZevDump::PlanStamp() const {
  return planStamp_.Of({firstChannel_, lastChannel_, baseMHz_, baseFraction_, spacing_,
                        channelMode_, firmware_, mode_});
}

// Entry k's frequency and channel (those of the two boxes checked) and,
// when asked, the separator before the level that follows them.
const fast::ShortText& ZevReader::EntryHead(int k, uint64_t plan, char delimiter,
                                            bool separatorAfter) {
  EntryText& e = entryTexts_[static_cast<size_t>(k)];
  const int channel = EntryChannel(k);
  if (e.channel == channel && e.plan == plan) return e.text;
  std::string t;
  const Settings& s = Config();
  if (s.FrequencyField) text::f4(t, EntryFrequency(k));
  if (s.ChannelField) {
    if (s.FrequencyField) t.push_back(delimiter);
    text::d(t, DisplayedChannel(k));
  }
  if (separatorAfter) t.push_back(delimiter);
  e.text.Assign(t);
  e.channel = channel;
  e.plan = plan;
  return e.text;
}

// One group, as FormatDataValues makes it: the values of the boxes checked,
// one separator between each two. `tones` is the number of tone triples of
// the row present (-1: the row carries none).
void ZevReader::WriteEntry(RowOutput& out, int k, uint64_t plan, const RowLevels& levels, int tones,
                           bool separator) {
  const Settings& s = Config();
  const char delimiter = out.Delimiter();
  const bool heads = s.FrequencyField || s.ChannelField;
  const bool sat = s.SATField && tones >= 0;
  const bool vmac = s.VMACField && tones >= 0;
  const fast::ShortText* head = heads ? &EntryHead(k, plan, delimiter, s.RSSIField) : nullptr;
  char* p = out.Room(1 + (head ? head->RoomNeeded() : 0) + kGroupRoom);
  if (separator) {
    *p++ = delimiter;
    out.WroteSeparators(p);
  }
  if (head) p = head->Put(p);
  if (s.RSSIField && k < levels.count) {
    if (levels.bytes) {
      p = fast::MinusLevels().Put(p, levels.bytes[k]);
    } else if (levels.averaged[k]) {
      *p++ = '-';
      p = fast::Signed(p, levels.averages[k]);
    }
  }
  const int triple = CurrentRow() * entryCount_ + k;
  const bool present = k < tones;
  if (sat) {
    if (heads || s.RSSIField) *p++ = delimiter;
    if (present) p = fast::UnsignedBytes().Put(p, sat_[static_cast<size_t>(triple)]);
  }
  if (vmac) {
    if (heads || s.RSSIField || sat) *p++ = delimiter;
    if (present) p = fast::UnsignedBytes().Put(p, vmac_[static_cast<size_t>(triple)]);
  }
  out.Wrote(p);
}

// One group per channel of the list (best server: the strongest one), as
// the run walks FormatDataValues; the paging modes go through that walk.
void ZevReader::WriteDataColumns(RowOutput& out, bool first) {
  if (PagingMode()) {
    Product::WriteDataColumns(out, first);
    return;
  }
  if (entryCount_ <= 0) return;
  const RowLevels levels = LevelsOfRow();
  const uint64_t plan = PlanStamp();
  int tones = -1;
  if (ToneData()) {
    const int start = CurrentRow() * entryCount_;
    tones = std::clamp(std::min(levelCount_, kMaxLevels) - start, 0, entryCount_);
  }
  if (AverageMode == kAverageBestServer) {
    const int row = std::min(CurrentRow(), kMaxLevels - 1);
    const int best = std::clamp<int>(bestPerRow_[static_cast<size_t>(row)], 0, entryCount_ - 1);
    WriteEntry(out, best, plan, levels, tones, !first);
    return;
  }
  for (int k = 0; k < entryCount_; ++k) WriteEntry(out, k, plan, levels, tones, k > 0 || !first);
}

}  // namespace morphel
