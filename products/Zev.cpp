#include "products/Zev.h"

#include <algorithm>

#include "products/Bytes.h"
#include "products/FieldCatalog.h"

namespace morphel {

namespace {
// Setup block offsets.
constexpr size_t kSetupDay = 0;
constexpr size_t kSetupMonth = 1;
constexpr size_t kSetupYear = 2;
constexpr size_t kSetupMode = 3;
constexpr size_t kSetupXyFlag = 4;
constexpr size_t kSetupFirstChannel = 5;
constexpr size_t kSetupBaseMHz = 9;
constexpr size_t kSetupBaseFraction = 11;
constexpr size_t kSetupSpacing = 13;
constexpr size_t kSetupFlags = 15;
constexpr size_t kSetupFirmware = 16;
constexpr size_t kSetupChannelCount = 24;
// Marker record offsets.
constexpr size_t kMarkerOdometer = 3;
constexpr size_t kMarkerValue = 5;
// Level record: hour, minute, second, then the level count.
constexpr size_t kLevelCount = 3;
constexpr size_t kLevelBytes = 4;
constexpr size_t kToneTriple = 3;
constexpr size_t kToneVmac = 2;
// GPS record offsets.
constexpr size_t kGpsStatus = 3;
constexpr size_t kBcdLatitude = 4;
constexpr size_t kBcdLatHemisphere = 8;
constexpr size_t kBcdLongitude = 9;
constexpr size_t kBcdLonHemisphere = 13;
constexpr size_t kBcdGpsTime = 17;
constexpr size_t kBinLatitude = 4;
constexpr size_t kBinLongitude = 8;
constexpr size_t kBinAltitude = 12;
constexpr size_t kBinVelocity = 16;
constexpr size_t kBinGpsTime = 20;

// Analogue cellular channel numbers and their display offsets.
constexpr uint8_t kOffsetFlag = 0x10;
constexpr int kCellularOffset = 33;
constexpr int kFirmwareCellularShift = 101;  // older firmware is one further off
constexpr int kShiftOffset = 34;
constexpr int kShiftLimit = 32802;
constexpr int kChannelWrap = 1023;
constexpr int kShiftWrap = 989;
constexpr double kPlanUnitMHz = 0.0001;
}  // namespace

Zev::Zev() {
  SetAvailableFields({0,  1,  2,  3,  17, 5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 18, 19,
                      20, 21, 26, 27, 29, 30, 31, 32, 33, 36, 34, 35, 37, 38, 39, 40, 41, 42, 43});
}

int Zev::Open(const std::string& path) {
  ClearReaderState();
  framingMode_ = 0;
  framingFlags_ = 0;
  framingFirmware_ = 0;
  firstChannel_ = baseMHz_ = baseFraction_ = spacing_ = 0;
  levelSums_.fill(0);
  averagedLevels_.fill(0);
  averaged_.fill(false);
  averageSamples_ = averageSeconds_ = averagedRows_ = 0;
  if (Product::Open(path) != 0) return -1;
  // Titles follow the first setup record, which brings the channel list.
  TitlePending = 0;
  std::array<uint8_t, kFileHeaderSize> header{};
  Input.Read(header.data(), header.size());
  return 0;
}

bool Zev::ReadBody(Block& buffer, size_t size) {
  size_t start = buffer.size();
  buffer.resize(start + size);
  if (Input.ReadExact(buffer.data() + start, size)) return true;
  ++Damage.truncatedBlocks;
  buffer.clear();
  return false;
}

size_t Zev::LevelBodySize(uint8_t count) const {
  if (framingMode_ == zev::kModePocsag) return kPocsagLevelBlock;
  size_t size = count;
  if (framingFlags_ == zev::kToneFlags) size += kToneTriple * count;
  return size;
}

int Zev::CurrentType() const {
  return SegmentType;
}

int64_t Zev::ReadBlock(Block& buffer) {
  buffer.clear();
  int type = Input.ReadByte();
  if (type < 0) return 0;
  buffer.push_back(static_cast<uint8_t>(type));
  bool ok = false;
  switch (type) {
    case kPocsagRecord:
      ok = ReadBody(buffer, kPocsagBody);
      if (ok) FollowSegmentType(zev::kSegmentPocsag, rtcHour_, rtcMinute_, rtcSecond_);
      break;
    case kSetupRecord: {
      ok = ReadBody(buffer, kSetupBlock);
      if (!ok) break;
      const uint8_t* p = buffer.data() + 1;
      framingMode_ = p[kSetupMode];
      framingFlags_ = p[kSetupFlags];
      framingFirmware_ = le16(p + kSetupFirmware);
      ok = ReadBody(buffer, 2 * size_t{p[kSetupChannelCount]} + kTrailerSize);
      if (!ok) break;
      int16_t segment = zev::SegmentTypeForMode(framingMode_);
      if (framingMode_ == zev::kModeVariableSweep &&
          framingFirmware_ == zev::kFirmware80ChannelSweep)
        segment = zev::kSegment80Channel;
      // A setup always opens a segment; a mode without a type keeps the last one.
      if (segment == zev::kSegmentUnchanged) segment = static_cast<int16_t>(CurrentType());
      StartSegment(segment, rtcHour_, rtcMinute_, rtcSecond_);
      break;
    }
    case kMarkerRecord:
      ok = ReadBody(buffer, kMarkerBody + kTrailerSize);
      break;
    case kTimeRecord:
      ok = ReadBody(buffer, kTimeBody + kTrailerSize);
      break;
    case kLevelRecord:
      ok = ReadBody(buffer, kLevelHeader) &&
           ReadBody(buffer, LevelBodySize(buffer[1 + kLevelCount]) + kTrailerSize);
      break;
    case kGpsRecord: {
      size_t body = framingFirmware_ < zev::kFirmwareBinaryGps ? kGpsBodyBcd : kGpsBodyBinary;
      ok = ReadBody(buffer, body + kTrailerSize);
      break;
    }
    case kFlexRecord:
      ok = ReadBody(buffer, 2) &&
           ReadBody(buffer, kFlexHeader - 2 + le16(buffer.data() + 1) + kTrailerSize);
      if (ok) FollowSegmentType(zev::kSegmentFlex, rtcHour_, rtcMinute_, rtcSecond_);
      break;
    default:
      // Without a known type the record's size is unknown: the log ends here.
      ++Damage.unknownRecords;
      break;
  }
  if (!ok) {
    buffer.clear();
    return 0;
  }
  return static_cast<int64_t>(buffer.size());
}

void Zev::CopyRtcTime(const Block& b) {
  rtcHour_ = b[1];
  rtcMinute_ = b[2];
  rtcSecond_ = b[3];
  GatherTime(rtcHour_, rtcMinute_, rtcSecond_);
}

int Zev::ProcessBlock(Block& buffer) {
  if (buffer.empty()) return kNothing;
  const Block& b = buffer;
  const size_t size = b.size();
  switch (b[0]) {
    case kSetupRecord:
      if (size < 1 + kSetupBlock) return kNothing;
      return ProcessSetup(b);
    case kMarkerRecord:
      if (size < 1 + kMarkerBody) return kNothing;
      CopyRtcTime(b);
      odometer_ = le16(b.data() + 1 + kMarkerOdometer);
      marker_ = le16(b.data() + 1 + kMarkerValue);
      return kNothing;
    case kTimeRecord:
      if (size >= 1 + kTimeBody) CopyRtcTime(b);
      return kNothing;
    case kLevelRecord:
      if (size < 1 + kLevelHeader) return kNothing;
      return ProcessLevel(b);
    case kGpsRecord:
      if (size < 1 + kGpsBodyBcd) return kNothing;
      return ProcessGps(b);
    case kPocsagRecord:
      if (ConversionPass) DecodePagingUnit(false, std::span<const uint8_t>(b).subspan(1));
      return kNothing;
    case kFlexRecord:
      if (ConversionPass) DecodePagingUnit(true, std::span<const uint8_t>(b).subspan(1));
      return kNothing;
    default:
      TextBuffer = "Unknown Type\n";
      return kNothing;
  }
}

int Zev::ProcessSetup(const Block& b) {
  const uint8_t* p = b.data() + 1;
  rtcDay_ = p[kSetupDay];
  rtcMonth_ = p[kSetupMonth];
  rtcYear_ = p[kSetupYear];
  mode_ = framingMode_ = p[kSetupMode];
  xyFlag_ = p[kSetupXyFlag];
  firstChannel_ = le16(p + kSetupFirstChannel);
  baseMHz_ = le16(p + kSetupBaseMHz);
  baseFraction_ = le16(p + kSetupBaseFraction);
  spacing_ = le16(p + kSetupSpacing);
  flags_ = framingFlags_ = p[kSetupFlags];
  firmware_ = framingFirmware_ = le16(p + kSetupFirmware);
  size_t listed = (b.size() - 1 - kSetupBlock) / 2;
  entryCount_ = static_cast<int>(std::min<size_t>(p[kSetupChannelCount], listed));
  for (int k = 0; k < entryCount_; ++k)
    channels_[static_cast<size_t>(k)] = le16(p + kSetupBlock + 2 * static_cast<size_t>(k));
  // Levels of the old plan mean nothing in the new one.
  levelCount_ = 0;
  rowCount_ = 0;
  TitlePending = 1;
  return kBoundary;
}

int Zev::ProcessLevel(const Block& b) {
  CopyRtcTime(b);
  GatherRecord();
  const uint8_t* p = b.data() + 1;
  const size_t body = b.size() - 1;
  const int count = p[kLevelCount];
  levelCount_ = 0;
  if (mode_ != zev::kModePocsag) {
    levelCount_ = static_cast<int>(std::min<size_t>(count, body - kLevelBytes));
    for (int i = 0; i < levelCount_; ++i)
      levels_[static_cast<size_t>(i)] = p[kLevelBytes + static_cast<size_t>(i)];
    if (ToneData()) {
      size_t tones = kLevelBytes + static_cast<size_t>(count);
      for (int i = 0; i < levelCount_; ++i) {
        size_t at = tones + kToneTriple * static_cast<size_t>(i);
        bool present = at + kToneVmac < body;
        sat_[static_cast<size_t>(i)] = present ? p[at] : 0;
        vmac_[static_cast<size_t>(i)] = present ? p[at + kToneVmac] : 0;
      }
    }
  }
  rowCount_ = entryCount_ > 0 ? count / entryCount_ : 0;
  if (AverageMode == kAverageBestServer) SelectBestServer();
  if (AverageMode == kAveragePerSeconds) {
    // Only whole scans that are present count.
    int scans = entryCount_ > 0 ? levelCount_ / entryCount_ : 0;
    int channels = std::min(entryCount_, kAveragedChannels);
    for (int r = 0; r < scans; ++r)
      for (int k = 0; k < channels; ++k)
        levelSums_[static_cast<size_t>(k)] += levels_[static_cast<size_t>(r * entryCount_ + k)];
    averageSamples_ += scans;
    return kNothing;
  }
  if (SegmentDeselected || rowCount_ == 0) return kNothing;
  PendingRecordCount = static_cast<int16_t>(rowCount_);
  return kRecordsReady;
}

void Zev::DecodeGps(const Block& b) {
  const uint8_t* p = b.data() + 1;
  gpsStatus_ = p[kGpsStatus];
  if (framingFirmware_ >= zev::kFirmwareBinaryGps && b.size() >= 1 + kGpsBodyBinary) {
    latitude_ = zev::SplitCoordinate(be32s(p + kBinLatitude), true);
    longitude_ = zev::SplitCoordinate(be32s(p + kBinLongitude), false);
    altitude_ = be32(p + kBinAltitude);
    velocity_ = be16(p + kBinVelocity);
    gpsHour_ = p[kBinGpsTime];
    gpsMinute_ = p[kBinGpsTime + 1];
    gpsSecond_ = p[kBinGpsTime + 2];
    return;
  }
  latitude_ = zev::BcdCoordinate(p + kBcdLatitude, p[kBcdLatHemisphere]);
  longitude_ = zev::BcdCoordinate(p + kBcdLongitude, p[kBcdLonHemisphere]);
  gpsHour_ = bcd(p[kBcdGpsTime]);
  gpsMinute_ = bcd(p[kBcdGpsTime + 1]);
  gpsSecond_ = bcd(p[kBcdGpsTime + 2]);
}

int Zev::ProcessGps(const Block& b) {
  CopyRtcTime(b);
  DecodeGps(b);
  if (AverageMode != kAveragePerSeconds) return kNothing;
  ++averageSeconds_;
  int seconds = std::max(EditBoxInt(Config().ORPS_Value, 1), 1);
  if (averageSeconds_ < seconds) return kNothing;
  // A left-out segment keeps the count, so the next GPS record tries again.
  if (SegmentDeselected) return kNothing;
  return EmitAverages();
}

int Zev::EmitAverages() {
  if (averageSamples_ > 0) {
    int channels = std::min(entryCount_, kAveragedChannels);
    for (int k = 0; k < channels; ++k) {
      auto i = static_cast<size_t>(k);
      // Rounded to the nearest whole dB.
      averagedLevels_[i] = (levelSums_[i] + averageSamples_ / 2) / averageSamples_;
      averaged_[i] = true;
    }
  }
  levelSums_.fill(0);
  averageSamples_ = 0;
  averageSeconds_ = 0;
  ++averagedRows_;
  PendingRecordCount = 1;
  return kRecordsReady;
}

bool Zev::RowLevel(int k, int& level) const {
  // The 40-lambda sums are not kept for this receiver: the value stays empty.
  if (AverageMode == kAverageLambda) return false;
  if (AverageMode == kAveragePerSeconds && !PagingMode()) {
    if (k < 0 || k >= std::min(entryCount_, kAveragedChannels)) return false;
    if (!averaged_[static_cast<size_t>(k)]) return false;
    level = averagedLevels_[static_cast<size_t>(k)];
    return true;
  }
  return ZevReader::RowLevel(k, level);
}

double Zev::EntryFrequency(int k) const {
  int ch = EntryChannel(k);
  if (ch == 0) return 0.0;
  return spacing_ * kPlanUnitMHz * (ch - firstChannel_) + baseMHz_ + baseFraction_ * kPlanUnitMHz;
}

int Zev::DisplayedChannel(int k) const {
  int ch = EntryChannel(k);
  if (ch == 0) return 0;
  if (flags_ == zev::kToneFlags) {
    int shown = ch - kCellularOffset - (firmware_ < kFirmwareCellularShift ? 1 : 0);
    return shown <= 0 ? shown + kChannelWrap : shown;
  }
  if (flags_ & kOffsetFlag) {
    if (ch > kShiftOffset && ch < kShiftLimit) return ch - kShiftOffset;
    return static_cast<uint16_t>(ch + kShiftWrap);
  }
  return ch;
}

// A level record's rows carry the readings; POCSAG and FLEX records their
// messages.
void Zev::CollectReadings(const Block& block, int result, ReadingRecord& record) {
  const bool rows = result == kRecordsReady || result == kBoundaryAndRecords;
  const bool messages =
      !block.empty() && (block[0] == kPocsagRecord || block[0] == kFlexRecord) && ConversionPass;
  if (!rows && !messages) return;
  FillRecordState(record);
  if (rows) AppendRowReadings(record);
  if (messages) AppendPagingMessages(record);
}


}  // namespace morphel
