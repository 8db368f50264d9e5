#include "products/Zev.h"

#include <algorithm>

#include "core/Bytes.h"
#include "products/FieldCatalog.h"

namespace morphel {

namespace {
// Offsets below count from the byte after the record's type byte.
// Marker, time, level and GPS records start with the clock's time.
constexpr size_t kRtcHour = 0;
constexpr size_t kRtcMinute = 1;
constexpr size_t kRtcSecond = 2;
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
constexpr size_t kChannelSize = 2;  // the channel list after the setup block, u16 each
static_assert(kSetupChannelCount + 1 == Zev::kSetupBlock);
// Marker record offsets.
constexpr size_t kMarkerOdometer = 3;
constexpr size_t kMarkerValue = 5;
static_assert(kMarkerValue + 2 == Zev::kMarkerBody);
// Level record: hour, minute, second, then the level count.
constexpr size_t kLevelCount = 3;
constexpr size_t kLevelBytes = 4;
static_assert(kLevelCount + 1 == Zev::kLevelHeader && kLevelBytes == Zev::kLevelHeader);
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
static_assert(kBcdGpsTime + 3 == Zev::kGpsBodyBcd);
static_assert(kBinGpsTime + 3 == Zev::kGpsBodyBinary);
// FLEX records: the length word of the data, then the rest of the header.
constexpr size_t kFlexLengthWord = 2;
static_assert(zev::kFlexLengthOffset + kFlexLengthWord <= Zev::kFlexHeader);
// Paging records carry the receiver's units as they are (a POCSAG record's
// trailer counted in its body).
static_assert(Zev::kFlexHeader == zev::kFlexHeaderSize);
static_assert(Zev::kPocsagBody == zev::kPocsagUnitSize + Zev::kTrailerSize);

// Analogue cellular channel numbers and their display offsets.
constexpr uint8_t kOffsetFlag = 0x10;
constexpr int kCellularOffset = 33;
constexpr int kFirmwareCellularShift = 101;  // older firmware is one further off
constexpr int kShiftOffset = 34;
constexpr int kShiftLimit = 32802;
constexpr int kChannelWrap = 1023;
constexpr int kShiftWrap = 989;
constexpr double kPlanUnitMHz = 0.0001;

// The record after its type byte (a record always has one).
ByteCursor Body(const Product::Block& b) {
  return ByteCursor(b.data() + 1, b.size() - 1);
}
}  // namespace

Zev::Zev() {
  OfferFields();
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
  if (framingFlags_ == zev::kToneFlags) size += zev::kToneTriple * count;
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
      if (ok) FollowSegmentType(kSegmentPocsag, rtcHour_, rtcMinute_, rtcSecond_);
      break;
    case kSetupRecord: {
      ok = ReadBody(buffer, kSetupBlock);
      if (!ok) break;
      ByteCursor setup = Body(buffer);
      framingMode_ = setup.u8(kSetupMode);
      framingFlags_ = setup.u8(kSetupFlags);
      framingFirmware_ = setup.le16(kSetupFirmware);
      ok = ReadBody(buffer, kChannelSize * setup.u8(kSetupChannelCount) + kTrailerSize);
      if (!ok) break;
      int16_t segment = zev::SegmentTypeForMode(framingMode_);
      if (framingMode_ == zev::kModeVariableSweep &&
          framingFirmware_ == zev::kFirmware80ChannelSweep)
        segment = kSegment80Channel;
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
           ReadBody(buffer, LevelBodySize(Body(buffer).u8(kLevelCount)) + kTrailerSize);
      break;
    case kGpsRecord: {
      size_t body = framingFirmware_ < zev::kFirmwareBinaryGps ? kGpsBodyBcd : kGpsBodyBinary;
      ok = ReadBody(buffer, body + kTrailerSize);
      break;
    }
    case kFlexRecord:
      ok = ReadBody(buffer, kFlexLengthWord) &&
           ReadBody(buffer, kFlexHeader - kFlexLengthWord +
                                Body(buffer).le16(zev::kFlexLengthOffset) + kTrailerSize);
      if (ok) FollowSegmentType(kSegmentFlex, rtcHour_, rtcMinute_, rtcSecond_);
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
  ByteCursor body = Body(b);
  rtcHour_ = body.u8(kRtcHour);
  rtcMinute_ = body.u8(kRtcMinute);
  rtcSecond_ = body.u8(kRtcSecond);
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
      odometer_ = Body(b).le16(kMarkerOdometer);
      marker_ = Body(b).le16(kMarkerValue);
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

// Indexing needs of the clock records only the time, for the caption of the
// segment a later setup or paging record opens; the rest goes the whole way.
void Zev::IndexProcess(Block& buffer) {
  if (ConversionPass || Gathering || buffer.empty()) {
    ProcessBlock(buffer);
    return;
  }
  const size_t size = buffer.size();
  switch (buffer[0]) {
    case kMarkerRecord:
      if (size >= 1 + kMarkerBody) CopyRtcTime(buffer);
      return;
    case kTimeRecord:
      if (size >= 1 + kTimeBody) CopyRtcTime(buffer);
      return;
    case kLevelRecord:
      if (size >= 1 + kLevelHeader) CopyRtcTime(buffer);
      return;
    case kGpsRecord:
      if (size >= 1 + kGpsBodyBcd) CopyRtcTime(buffer);
      return;
    default:
      ProcessBlock(buffer);
      return;
  }
}

int Zev::ProcessSetup(const Block& b) {
  ByteCursor p = Body(b);
  rtcDay_ = p.u8(kSetupDay);
  rtcMonth_ = p.u8(kSetupMonth);
  rtcYear_ = p.u8(kSetupYear);
  mode_ = framingMode_ = p.u8(kSetupMode);
  xyFlag_ = p.u8(kSetupXyFlag);
  firstChannel_ = p.le16(kSetupFirstChannel);
  baseMHz_ = p.le16(kSetupBaseMHz);
  baseFraction_ = p.le16(kSetupBaseFraction);
  spacing_ = p.le16(kSetupSpacing);
  flags_ = framingFlags_ = p.u8(kSetupFlags);
  firmware_ = framingFirmware_ = p.le16(kSetupFirmware);
  size_t listed = (p.size() - kSetupBlock) / kChannelSize;
  entryCount_ = static_cast<int>(std::min<size_t>(p.u8(kSetupChannelCount), listed));
  for (int k = 0; k < entryCount_; ++k)
    channels_[static_cast<size_t>(k)] = p.le16(kSetupBlock + kChannelSize * static_cast<size_t>(k));
  // Levels of the old plan mean nothing in the new one, nor do its sums and
  // averages: entry k of the new list is another channel.
  levelCount_ = 0;
  rowCount_ = 0;
  levelSums_.fill(0);
  averagedLevels_.fill(0);
  averaged_.fill(false);
  averageSamples_ = 0;
  TitlePending = 1;
  return kBoundary;
}

int Zev::ProcessLevel(const Block& b) {
  CopyRtcTime(b);
  GatherRecord();
  ByteCursor p = Body(b);
  const int count = p.u8(kLevelCount);
  levelCount_ = 0;
  if (mode_ != zev::kModePocsag) {
    const size_t levels = std::min<size_t>(count, p.size() - kLevelBytes);
    const uint8_t* first = p.ptr(kLevelBytes, levels);
    std::copy(first, first + levels, levels_.begin());
    levelCount_ = static_cast<int>(levels);
    if (ToneData()) {
      size_t tones = kLevelBytes + static_cast<size_t>(count);
      for (size_t i = 0; i < levels; ++i) TakeTones(p, tones + zev::kToneTriple * i, i);
    }
  }
  rowCount_ = entryCount_ > 0 ? count / entryCount_ : 0;
  if (AverageMode == kAverageBestServer) SelectBestServer();
  if (AverageMode == kAveragePerSeconds) {
    // Only whole scans that are present count, and only of a converted segment.
    if (SegmentDeselected) return kNothing;
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
  ByteCursor p = Body(b);
  gpsStatus_ = p.u8(kGpsStatus);
  if (framingFirmware_ >= zev::kFirmwareBinaryGps && p.size() >= kGpsBodyBinary) {
    latitude_ = MilliArcCoordinate(p.be32s(kBinLatitude), 'N', 'S');
    longitude_ = MilliArcCoordinate(p.be32s(kBinLongitude), 'E', 'W');
    altitude_ = p.be32s(kBinAltitude);
    velocity_ = p.be16(kBinVelocity);
    gpsHour_ = p.u8(kBinGpsTime);
    gpsMinute_ = p.u8(kBinGpsTime + 1);
    gpsSecond_ = p.u8(kBinGpsTime + 2);
    return;
  }
  latitude_ = BcdCoordinate(p.be32(kBcdLatitude), p.u8(kBcdLatHemisphere));
  longitude_ = BcdCoordinate(p.be32(kBcdLongitude), p.u8(kBcdLonHemisphere));
  gpsHour_ = bcd(p.u8(kBcdGpsTime));
  gpsMinute_ = bcd(p.u8(kBcdGpsTime + 1));
  gpsSecond_ = bcd(p.u8(kBcdGpsTime + 2));
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

// POCSAG and FLEX records carry the messages.
void Zev::AppendMessages(const Block& block, int, std::vector<PagingMessage>& messages) {
  if (!block.empty() && (block[0] == kPocsagRecord || block[0] == kFlexRecord) && ConversionPass)
    AppendPagingMessages(messages);
}

}  // namespace morphel
