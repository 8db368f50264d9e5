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

int ZevReader::RecordPartOf(int id) const {
  using F = FieldCatalog;
  switch (id) {
    case F::kRtcDate:
    case F::kRtcMonth:
    case F::kRtcDay:
    case F::kRtcYear:
    case F::kRtcTime:
    case F::kRtcHour:
    case F::kRtcMinute:
    case F::kRtcSecond:
      return kClockPart;
    case F::kMarkerValue:
    case F::kOdometer:
    case F::kXCoordinate:
    case F::kYCoordinate:
      return kMarkerPart;
    case F::kFlexData:
    case F::kPocsagData:
    case F::kBer:
    case F::kSpeedBps:
    case F::kMeasurementType:
      return kModePart;
    default:
      // The position in its forms, the GPS time, status, altitude and
      // velocity, and the dump log's navigation status; the fields a Zev log
      // does not have are empty whatever the part.
      return kFixPart;
  }
}

RowStamps ZevReader::CurrentRowStamps() const {
  RowStamps stamps;
  stamps.record[kModePart] = modeStamp_.Of({mode_, SegmentType, pagingDecoded_});
  stamps.record[kClockPart] =
      clockStamp_.Of({{rtcHour_, rtcMinute_, rtcSecond_, rtcDay_, rtcMonth_, rtcYear_}});
  FixState fix;
  fix.gps[0] = gpsHour_;
  fix.gps[1] = gpsMinute_;
  fix.gps[2] = gpsSecond_;
  fix.latitude = latitude_;
  fix.longitude = longitude_;
  fix.altitude = altitude_;
  fix.velocity = velocity_;
  fix.gpsStatus = gpsStatus_;
  fix.navStatus = navStatus_;
  stamps.record[kFixPart] = fixStamp_.Of(fix);
  stamps.record[kMarkerPart] = markerStamp_.Of({marker_, odometer_, xyFlag_});
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

// Makes entry k's text of its frequency and channel (those of the two
// boxes checked) and, when asked, the separator before the level after them.
void ZevReader::MakeEntryHead(int k, uint64_t plan, char delimiter, bool separatorAfter) {
  EntryText& e = entryTexts_[static_cast<size_t>(k)];
  std::string t;
  const Settings& s = Config();
  if (s.FrequencyField) text::f4(t, EntryFrequency(k));
  if (s.ChannelField) {
    if (s.FrequencyField) t.push_back(delimiter);
    text::d(t, DisplayedChannel(k));
  }
  if (separatorAfter) t.push_back(delimiter);
  e.text.Assign(t);
  e.channel = EntryChannel(k);
  e.plan = plan;
}

// What every group of a row shares: the boxes checked, the plan, where the
// levels and tone codes of the row are.
struct ZevReader::RowShape {
  char delimiter;
  bool heads, rssi, sat, vmac;
  uint64_t plan;
  RowLevels levels;
  int tones;  // tone triples of the row present
  const uint8_t* sat0;
  const uint8_t* vmac0;
};

// One group, as FormatDataValues makes it: the values of the boxes checked,
// one separator between each two.
void ZevReader::WriteEntry(RowOutput& out, int k, const RowShape& row, bool separator) {
  const char delimiter = row.delimiter;
  size_t room = 1 + kGroupRoom;
  EntryText& head = entryTexts_[static_cast<size_t>(k)];
  if (row.heads) {
    if (head.channel != channels_[static_cast<size_t>(k)] || head.plan != row.plan)
      MakeEntryHead(k, row.plan, delimiter, row.rssi);
    room += head.text.RoomNeeded();
  }
  char* p = out.Room(room);
  if (separator) {
    *p++ = delimiter;
    out.WroteSeparators(p);
  }
  if (row.heads) p = head.text.Put(p);
  if (row.rssi && k < row.levels.count) {
    if (row.levels.bytes) {
      p = fast::MinusLevels().Put(p, row.levels.bytes[k]);
    } else if (row.levels.averaged[k]) {
      *p++ = '-';
      p = fast::Signed(p, row.levels.averages[k]);
    }
  }
  const bool present = k < row.tones;
  if (row.sat) {
    if (row.heads || row.rssi) *p++ = delimiter;
    if (present) p = fast::UnsignedBytes().Put(p, row.sat0[k]);
  }
  if (row.vmac) {
    if (row.heads || row.rssi || row.sat) *p++ = delimiter;
    if (present) p = fast::UnsignedBytes().Put(p, row.vmac0[k]);
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
  const Settings& s = Config();
  const int current = CurrentRow();
  const int start = current * entryCount_;
  RowShape row;
  row.delimiter = out.Delimiter();
  row.heads = s.FrequencyField || s.ChannelField;
  row.rssi = s.RSSIField;
  row.sat = s.SATField && ToneData();
  row.vmac = s.VMACField && ToneData();
  row.plan = PlanStamp();
  row.levels = LevelsOfRow();
  row.tones = std::clamp(std::min(levelCount_, kMaxLevels) - start, 0, entryCount_);
  // Tone codes only of triples present (k < tones); the pointers go no
  // further into the arrays than that.
  row.sat0 = sat_.data() + std::min(start, kMaxLevels);
  row.vmac0 = vmac_.data() + std::min(start, kMaxLevels);
  if (AverageMode == kAverageBestServer) {
    const int at = std::min(current, kMaxLevels - 1);
    const int best = std::clamp<int>(bestPerRow_[static_cast<size_t>(at)], 0, entryCount_ - 1);
    WriteEntry(out, best, row, !first);
    return;
  }
  for (int k = 0; k < entryCount_; ++k) WriteEntry(out, k, row, k > 0 || !first);
}

}  // namespace morphel
