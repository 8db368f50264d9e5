#include "products/ZevCommon.h"

#include <algorithm>
#include <cstdlib>

#include "core/Bytes.h"
#include "core/Fmt.h"
#include "products/FieldCatalog.h"
#include "products/Formats.h"

namespace morphel {

namespace zev {

namespace {
constexpr const char* kModeCodes[16] = {"UKN", "C/I", "ADJ", "1CH", "20C", "VAR", "1MH", "POC",
                                        "FF ", "SAB", "COC", "GRP", "FOL", "BER", "SYS", "UKN"};
constexpr int16_t kModeSegments[16] = {
    kSegmentUnchanged, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
}  // namespace

const char* ModeCode(int mode) {
  return kModeCodes[mode & 0x0F];
}

int16_t SegmentTypeForMode(int mode) {
  if (mode == kMode80Channel) return kSegment80Channel;
  if (mode < 0 || mode > 15) return kSegmentUnchanged;
  return kModeSegments[mode];
}

double SignedDegrees(const MinuteCoordinate& c) {
  bool negative = c.hemisphere != 'N' && c.hemisphere != 'E';
  return formats::DecimalDegrees(c.degrees, c.minutes, c.thousandths, negative);
}

}  // namespace zev

namespace {
constexpr int kBestServerThreshold = -121;
constexpr size_t kPocsagFieldWidth = 73;
constexpr double kMphPerVelocityUnit = 0.022356;
constexpr int32_t kCentimetresPerMetre = 100;

void Delimit(std::string& out, char delimiter) {
  if (!out.empty()) out.push_back(delimiter);
}

}  // namespace

void ZevReader::ClearReaderState() {
  rtcHour_ = rtcMinute_ = rtcSecond_ = rtcDay_ = rtcMonth_ = rtcYear_ = 0;
  gpsHour_ = gpsMinute_ = gpsSecond_ = 0;
  latitude_ = longitude_ = zev::kNoFix;
  longitude_.hemisphere = 'W';
  altitude_ = velocity_ = 0;
  gpsStatus_ = 0;
  xyFlag_ = 0;
  marker_ = odometer_ = 0;
  mode_ = firmware_ = 0;
  flags_ = 0;
  entryCount_ = levelCount_ = rowCount_ = 0;
  channels_.fill(0);
  levels_.fill(0);
  sat_.fill(0);
  vmac_.fill(0);
  bestPerRow_.fill(0);
  bestChannel_ = 0;
  paging_.Clear();
  groupIndex_ = groupRow_ = 0;
}

int ZevReader::EntryChannel(int k) const {
  if (PagingMode()) return paging_.channel;
  if (k < 0 || k >= entryCount_) return 0;
  return channels_[static_cast<size_t>(k)];
}

int ZevReader::CurrentRow() const {
  int row = PendingRecordCount - RemainingRecordCount;
  if (row < 0 || row >= rowCount_) return 0;
  return row;
}

int ZevReader::LevelByte(int k) const {
  if (k < 0 || k >= entryCount_) return kNoLevel;
  int index = CurrentRow() * entryCount_ + k;
  if (index >= levelCount_ || index >= kMaxLevels) return kNoLevel;
  return levels_[static_cast<size_t>(index)];
}

bool ZevReader::RowLevel(int k, int& level) const {
  if (PagingMode()) {
    level = paging_.level;
    return true;
  }
  level = LevelByte(k);
  return level != kNoLevel;
}

void ZevReader::SelectBestServer() {
  for (int row = 0; row < rowCount_ && row < kMaxLevels; ++row) {
    int best = kBestServerThreshold;
    for (int k = 0; k < entryCount_; ++k) {
      int index = row * entryCount_ + k;
      if (index >= levelCount_) break;
      int level = -levels_[static_cast<size_t>(index)];
      if (level > best) {
        best = level;
        bestChannel_ = static_cast<int16_t>(k);
      }
    }
    bestPerRow_[static_cast<size_t>(row)] = bestChannel_;
  }
}

void ZevReader::DecodePagingUnit(bool flex, std::span<const uint8_t> unit) {
  // The message texts show only in the two paging data fields; without them
  // the unit's channel, level, speed and error rate are all a run needs.
  const auto& ids = SelectedFieldIds;
  ++pagingDecoded_;
  const bool messages = std::find(ids.begin(), ids.end(), FieldCatalog::kFlexData) != ids.end() ||
                        std::find(ids.begin(), ids.end(), FieldCatalog::kPocsagData) != ids.end();
  if (flex) {
    zev::DecodeFlex(unit, paging_, messages);
  } else {
    zev::DecodePocsag(unit, paging_, messages);
  }
}

// The channel index of the next group of << DATA >> columns, or -1 when the
// list is done. Best server shows one group, that of the strongest channel.
int ZevReader::NextGroupIndex(int next) {
  if (next == 0) {
    groupIndex_ = 0;
    groupRow_ = CurrentRow();
  }
  if (groupIndex_ >= entryCount_) return -1;
  if (AverageMode == kAverageBestServer) {
    groupIndex_ = entryCount_;
    int best = bestPerRow_[static_cast<size_t>(std::min(groupRow_, kMaxLevels - 1))];
    return std::clamp(best, 0, std::max(entryCount_ - 1, 0));
  }
  return groupIndex_++;
}

int ZevReader::WriteDataTitles(int next, std::string& out, char delimiter) {
  out.clear();
  int k = NextGroupIndex(next);
  if (k < 0) return -1;
  const Settings& s = Config();
  auto title = [&](bool on, const char* name) {
    if (!on) return;
    Delimit(out, delimiter);
    out.push_back('"');
    out.append(name);
    out.push_back('#');
    text::d(out, k + 1);
    out.push_back('"');
  };
  title(s.FrequencyField, "Freq. ");
  title(s.ChannelField, "Channel ");
  title(s.RSSIField, "RSSI ");
  title(s.SATField && ToneData(), "SAT/DCC ");
  title(s.VMACField && ToneData(), "VMAC ");
  return 0;
}

int ZevReader::FormatDataValues(int next, std::string& out, char delimiter) {
  out.clear();
  int k = NextGroupIndex(next);
  if (k < 0) return -1;
  const Settings& s = Config();
  bool first = true;
  auto separate = [&] {
    if (!first) out.push_back(delimiter);
    first = false;
  };
  if (s.FrequencyField) {
    separate();
    AppendKept(frequencyTexts_, out, EntryFrequency(k), text::f4);
  }
  if (s.ChannelField) {
    separate();
    text::d(out, DisplayedChannel(k));
  }
  if (s.RSSIField) {
    separate();
    int level = 0;
    if (RowLevel(k, level)) text::minusD(out, level);
  }
  if (ToneData()) {
    int triple = CurrentRow() * entryCount_ + k;
    bool present = triple >= 0 && triple < levelCount_ && triple < kMaxLevels;
    if (s.SATField) {
      separate();
      if (present) text::d(out, sat_[static_cast<size_t>(triple)]);
    }
    if (s.VMACField) {
      separate();
      if (present) text::d(out, vmac_[static_cast<size_t>(triple)]);
    }
  }
  return 0;
}

void ZevReader::AppendPagingField(int id, std::string& out) const {
  if (id == FieldCatalog::kFlexData) {
    // Lines of a POCSAG batch never show as FLEX messages, nor the reverse.
    if (SegmentType != kSegmentFlex || !paging_.flexLines) return;
    for (int i = 0; i < paging_.lineCount; ++i) {
      if (i > 0) out.push_back('\n');
      out.append(paging_.lines[static_cast<size_t>(i)]);
    }
  } else if (id == FieldCatalog::kPocsagData) {
    if (SegmentType != kSegmentPocsag || paging_.flexLines || paging_.lineCount == 0) return;
    out.append(paging_.lines[0], 0, kPocsagFieldWidth);
  } else if (id == FieldCatalog::kBer) {
    text::d(out, paging_.ber);
  } else if (id == FieldCatalog::kSpeedBps) {
    text::d(out, mode_ == zev::kModeFlex ? paging_.flexSpeed * zev::kFlexBitsPerSpeedUnit
                                         : paging_.baud);
  }
}

void ZevReader::AppendGpsField(int id, std::string& out) const {
  if (id == FieldCatalog::kGpsStatus) {
    out.append((gpsStatus_ & zev::kGpsLockedBit) ? "LOCKED" : "UNLOCKED");
  } else if (id == FieldCatalog::kGpsAltitude) {
    // Signed: below sea level the GPS height is negative.
    text::d(out, altitude_ / kCentimetresPerMetre);
  } else if (id == FieldCatalog::kGpsVelocity) {
    text::f(out, velocity_ * kMphPerVelocityUnit, 1);
  }
}

void ZevReader::FormatField(int id, std::string& out) {
  out.clear();
  switch (id) {
    case FieldCatalog::kFlexData:
    case FieldCatalog::kPocsagData:
    case FieldCatalog::kBer:
    case FieldCatalog::kSpeedBps:
      AppendPagingField(id, out);
      break;
    case FieldCatalog::kMarkerValue:
      if (xyFlag_)
        out.append("N/A");
      else
        text::d(out, marker_);
      break;
    case FieldCatalog::kOdometer:
      if (xyFlag_)
        out.append("N/A");
      else
        text::d(out, odometer_);
      break;
    case FieldCatalog::kXCoordinate:
      if (xyFlag_)
        text::d(out, marker_);
      else
        out.append("N/A");
      break;
    case FieldCatalog::kYCoordinate:
      if (xyFlag_)
        text::d(out, odometer_);
      else
        out.append("N/A");
      break;
    case FieldCatalog::kMeasurementType:
      out.append(MeasurementCode());
      break;
    case FieldCatalog::kRecordNumber:  // no "CR / LF" in a Zev row
      text::d(out, RecordCounter);
      break;
    default:
      if (!coordinateFields_.Append(id, out, latitude_, longitude_) &&
          !GpsTimeField(id, out, gpsHour_, gpsMinute_, gpsSecond_) &&
          !RtcField(id, out, rtcYear_, rtcMonth_, rtcDay_, rtcHour_, rtcMinute_, rtcSecond_))
        AppendGpsField(id, out);
      break;
  }
}

// Entry of the first checked receiver (0..3), or -1 when none is checked.
int ZevReader::FirstReceiverEntry() const {
  return FirstCheckedReceiver(4) - 1;
}

void ZevReader::FillLayoutValues(formats::LayoutValues& v) const {
  v.SetClocks(rtcYear_, rtcMonth_, rtcDay_, gpsHour_, gpsMinute_, gpsSecond_);
  v.rtcHour = rtcHour_;
  v.rtcMinute = rtcMinute_;
  v.rtcSecond = rtcSecond_;
  v.positionFix = (gpsStatus_ & zev::kGpsLockedBit) != 0;
  // With the X/Y flag the marker word is an X coordinate, not a marker.
  v.hasMarker = xyFlag_ == 0;
  v.latitude = zev::SignedDegrees(latitude_);
  v.longitude = zev::SignedDegrees(longitude_);
  v.graysonLatDegrees = latitude_.degrees;
  v.graysonLatMicro = formats::MicroDegrees(latitude_.minutes, latitude_.thousandths);
  v.graysonLongitude = formats::DecimalDegrees(longitude_.degrees, longitude_.minutes,
                                               longitude_.thousandths, false);
  // InFielder places the record at its marker and odometer reading.
  v.inFielder = true;
  v.inFielderX = marker_;
  v.inFielderY = odometer_;
  v.marker = marker_;
  int first = 0;
  int last = entryCount_;
  if (!PerEntryRecords()) {
    first = FirstReceiverEntry();
    last = first + 1;
  }
  for (int k = first; k < last; ++k) {
    // An entry that is not there (no receiver checked, or beyond the list)
    // reports zeros.
    const bool valid = k >= 0 && (k < entryCount_ || PagingMode());
    int level = 0;
    if (valid && !RowLevel(k, level)) level = 0;
    int reported = level;
    if (!PerEntryRecords() && !RowLevel(0, reported)) reported = 0;
    v.entries.push_back({valid ? EntryFrequency(k) : 0.0, valid ? ReportedChannel(k) : 0, level,
                         -static_cast<double>(level), reported});
  }
}

// ---------------------------------------------------------------- readings

std::string ZevReader::FirmwareText() const {
  return firmware_ ? std::to_string(firmware_) : std::string();
}

// One reading per channel entry of the row being written, as the << DATA >>
// groups show them.
void ZevReader::AppendRowReadings(std::vector<Reading>& readings) {
  const int row = CurrentRow();
  for (int k = 0; k < entryCount_; ++k) {
    Reading reading{1, DisplayedChannel(k), EntryFrequency(k)};
    int level = 0;
    reading.hasRssi = RowLevel(k, level);
    reading.rssiDbm = -level;
    const int triple = row * entryCount_ + k;
    if (ToneData() && triple < levelCount_ && triple < kMaxLevels) {
      reading.sat = sat_[static_cast<size_t>(triple)];
      reading.vmac = vmac_[static_cast<size_t>(triple)];
    }
    readings.push_back(reading);
  }
}

// A POCSAG message that runs on into the next batch is held back: the next
// batch prints it again, whole.
void ZevReader::AppendPagingMessages(std::vector<PagingMessage>& messages) const {
  int count = paging_.lineCount;
  if (count > 0 && !paging_.flexLines && !paging_.continuation.empty() &&
      paging_.lines[static_cast<size_t>(count - 1)] == paging_.continuation)
    --count;
  PagingMessage message;
  for (int i = 0; i < count; ++i)
    if (ParsePagingLine(paging_.lines[static_cast<size_t>(i)], message))
      messages.push_back(message);
}

}  // namespace morphel
