#include "products/ZevDump.h"

#include <algorithm>
#include <cstring>

#include "core/Bytes.h"
#include "products/FieldCatalog.h"

namespace morphel {

namespace {
constexpr char kSignature[] = "QVRZEV";
constexpr size_t kSignatureLength = 6;

// Measurement record.
constexpr size_t kFirmware = 1;
constexpr size_t kGpsStatusByte = 9;
constexpr size_t kBcdPosition = 10;
constexpr size_t kBcdLatHemisphere = 4;
constexpr size_t kBcdLongitude = 5;
constexpr size_t kBcdLonHemisphere = 9;
constexpr size_t kHeaderBcd = 23;     // firmware below 103
constexpr size_t kHeaderBinary = 26;  // firmware 103 and later
constexpr size_t kHeaderSize = 26;
static_assert(kBcdPosition + kBcdLonHemisphere < kHeaderBcd);
// Channel entries after the measurement header: the level, then the channel.
constexpr size_t kEntrySize = 5;
constexpr size_t kEntryLevel = 0;
constexpr size_t kEntryChannel = 3;
static_assert(kEntryChannel + 2 == kEntrySize);
// Measurement header.
constexpr size_t kHdrGpsTime = 0;
constexpr size_t kHdrXyFlag = 3;
constexpr size_t kHdrOdometer = 4;
constexpr size_t kHdrMarker = 6;
constexpr size_t kHdrFirstChannel = 8;
constexpr size_t kHdrLastChannel = 10;
constexpr size_t kHdrBaseMHz = 12;
constexpr size_t kHdrBaseFraction = 14;
constexpr size_t kHdrSpacing = 16;
constexpr size_t kHdrFlags = 18;
constexpr size_t kHdrSecond = 19;
constexpr size_t kHdrMinute = 20;
constexpr size_t kHdrHour = 21;
constexpr size_t kHdrDay = 22;
constexpr size_t kHdrMonth = 23;
constexpr size_t kHdrYear = 24;
constexpr size_t kHdrCount = 25;
static_assert(kHdrCount + 1 == kHeaderSize);
// Setup record.
constexpr size_t kSetFirstChannel = 9;
constexpr size_t kSetLastChannel = 11;
constexpr size_t kSetBaseMHz = 13;
constexpr size_t kSetBaseFraction = 15;
constexpr size_t kSetSpacing = 17;
constexpr size_t kSetChannelMode = 19;
static_assert(kSetChannelMode + 1 == ZevDump::kSetupSize);
// GPS record.
constexpr size_t kGpsTime = 5;
constexpr size_t kGpsLatitude = 12;
constexpr size_t kGpsLongitude = 16;
constexpr size_t kGpsAltitude = 20;
constexpr size_t kGpsVelocity = 28;
constexpr size_t kGpsNavStatus = 69;
constexpr uint8_t kNavValidBits = 0x30;
static_assert(kGpsVelocity + 4 <= kGpsNavStatus && kGpsNavStatus < ZevDump::kGpsSize);

// Channel-number modes.
constexpr uint8_t kOffsetMode = 16;
constexpr uint8_t kCellularMode = 128;
constexpr int kShiftOffset = 34;
constexpr int kCellularOffset = 33;
constexpr int kFirmwareCellularShift = 100;  // up to this version one further off
constexpr int kChannelWrap = 1023;
constexpr double kSpacingUnitKHz = 0.1;
constexpr double kFractionUnitMHz = 0.0001;
constexpr double kMHzPerKHz = 0.001;
constexpr double kLightSpeed = 3e8;
}  // namespace

ZevDump::ZevDump() {
  OfferFields(FieldCatalog::kExtNavStatus);
}

int ZevDump::Open(const std::string& path) {
  ClearReaderState();
  firstChannel_ = lastChannel_ = 0;
  baseMHz_ = baseFraction_ = spacing_ = 0;
  channelMode_ = navStatus_ = 0;
  if (Product::Open(path) != 0) return -1;
  TitlePending = 0;
  return 0;
}

int64_t ZevDump::ReadBlock(Block& buffer) {
  buffer.clear();
  int sync = Input.ReadByte();
  if (sync < 0) return 0;
  if (sync != kSync) {
    ++Damage.resyncBytes;
    return 1;
  }
  uint8_t length[2];
  if (!Input.ReadExact(length, sizeof length)) {
    ++Damage.truncatedBlocks;
    return 0;
  }
  const uint16_t l = le16(length);
  // A length of 0 or 1 leaves no room for even the type byte: like an
  // oversized length, the frame delivers nothing and reading goes on.
  if (l >= kLengthLimit || l <= 1) {
    ++Damage.badLengthBlocks;
    return 1 + sizeof length;
  }
  buffer.resize(l - 1u);
  if (!Input.ReadExact(buffer.data(), buffer.size())) {
    ++Damage.truncatedBlocks;
    buffer.clear();
    return 0;
  }
  return 1 + static_cast<int64_t>(sizeof length) + (l - 1);
}

bool ZevDump::IsMeasurement(const Block& b) {
  const int type = b[0];
  if (type == kSignatureRecord) {
    return !(b.size() > kSignatureLength &&
             std::memcmp(b.data() + 1, kSignature, kSignatureLength) == 0);
  }
  return (type >= 1 && type <= 7) || (type >= 9 && type <= 14) || type == zev::kMode80Channel;
}

int ZevDump::ProcessBlock(Block& buffer) {
  if (buffer.empty()) return kNothing;
  const Block& b = buffer;
  if (IsMeasurement(b)) return ProcessMeasurement(b);
  switch (b[0]) {
    case kSignatureRecord:
      return kNothing;
    case kSetupRecord:
      ProcessSetup(b);
      return kNothing;
    case kGpsRecord:
      ProcessGps(b);
      return kNothing;
    default:
      ++Damage.unknownRecords;
      TextBuffer = "Unrecognized\n";
      return kNothing;
  }
}

// Indexing reads nothing of a GPS record but whether it is whole.
void ZevDump::IndexProcess(Block& buffer) {
  if (ConversionPass || Gathering || buffer.empty() || buffer[0] != kGpsRecord ||
      IsMeasurement(buffer)) {
    ProcessBlock(buffer);
    return;
  }
  if (buffer.size() < kGpsSize) ++Damage.badLengthBlocks;
}

int ZevDump::ProcessMeasurement(const Block& b) {
  ByteCursor c(b.data(), b.size());
  const bool binaryGps = c.has(kFirmware, 2) && c.le16(kFirmware) >= zev::kFirmwareBinaryGps;
  const size_t header = binaryGps ? kHeaderBinary : kHeaderBcd;
  if (b.size() < header + kHeaderSize) {
    ++Damage.badLengthBlocks;
    return kNothing;
  }
  ByteCursor h(b.data() + header, kHeaderSize);
  const int hour = h.u8(kHdrHour), minute = h.u8(kHdrMinute), second = h.u8(kHdrSecond);
  GatherTime(hour, minute, second);
  GatherRecord();
  const bool changed = FollowSegmentType(zev::SegmentTypeForMode(b[0]), hour, minute, second);
  if (!ConversionPass || SegmentDeselected) return kNothing;
  DecodeMeasurement(b, header);
  if (AverageMode == kAverageBestServer) SelectBestServer();
  PendingRecordCount = 1;
  if (!changed) return kRecordsReady;
  // The layouts with a header of their own start at the first segment too.
  TitlePending = 1;
  return kBoundaryAndRecords;
}

void ZevDump::DecodeMeasurement(const Block& b, size_t header) {
  ByteCursor c(b.data(), b.size());
  ByteCursor h(b.data() + header, kHeaderSize);
  mode_ = b[0];
  firmware_ = c.le16(kFirmware);
  gpsStatus_ = c.u8(kGpsStatusByte);
  xyFlag_ = h.u8(kHdrXyFlag);
  odometer_ = h.le16(kHdrOdometer);
  marker_ = h.le16(kHdrMarker);
  flags_ = h.u8(kHdrFlags);
  rtcSecond_ = h.u8(kHdrSecond);
  rtcMinute_ = h.u8(kHdrMinute);
  rtcHour_ = h.u8(kHdrHour);
  rtcDay_ = h.u8(kHdrDay);
  rtcMonth_ = h.u8(kHdrMonth);
  rtcYear_ = h.u8(kHdrYear);
  if (firmware_ < zev::kFirmwareBinaryGps) {
    latitude_ = BcdCoordinate(c.be32(kBcdPosition), c.u8(kBcdPosition + kBcdLatHemisphere));
    longitude_ =
        BcdCoordinate(c.be32(kBcdPosition + kBcdLongitude), c.u8(kBcdPosition + kBcdLonHemisphere));
    gpsHour_ = bcd(h.u8(kHdrGpsTime));
    gpsMinute_ = bcd(h.u8(kHdrGpsTime + 1));
    gpsSecond_ = bcd(h.u8(kHdrGpsTime + 2));
    firstChannel_ = h.le16s(kHdrFirstChannel);
    lastChannel_ = h.le16s(kHdrLastChannel);
    baseMHz_ = h.le16(kHdrBaseMHz);
    baseFraction_ = h.le16(kHdrBaseFraction);
    spacing_ = h.le16(kHdrSpacing);
    channelMode_ = flags_;
  }
  const size_t entries = header + kHeaderSize;
  const int listed = h.u8(kHdrCount);
  const size_t present = (b.size() - entries) / kEntrySize;
  entryCount_ = std::min({listed, kMaxEntries, static_cast<int>(present)});
  levelCount_ = 0;
  rowCount_ = 1;
  if (PagingMode()) {
    // The message block sits where the channel entries would be.
    DecodePagingUnit(mode_ == zev::kModeFlex, std::span<const uint8_t>(b).subspan(entries));
    return;
  }
  levelCount_ = entryCount_;
  const size_t tones = entries + kEntrySize * static_cast<size_t>(listed);
  for (int k = 0; k < entryCount_; ++k) {
    auto i = static_cast<size_t>(k);
    const uint8_t* bytes = c.ptr(entries + kEntrySize * i, kEntrySize);
    ByteCursor entry(bytes, bytes ? kEntrySize : 0);
    levels_[i] = entry.u8(kEntryLevel);
    channels_[i] = entry.le16(kEntryChannel);
    if (ToneData()) {
      TakeTones(c, tones + zev::kToneTriple * i, i);
    } else {
      sat_[i] = vmac_[i] = 0;
    }
  }
}

void ZevDump::ProcessSetup(const Block& b) {
  if (b.size() < kSetupSize) {
    ++Damage.badLengthBlocks;
    return;
  }
  ByteCursor c(b.data(), b.size());
  firstChannel_ = c.le16s(kSetFirstChannel);
  lastChannel_ = c.le16s(kSetLastChannel);
  baseMHz_ = c.le16(kSetBaseMHz);
  baseFraction_ = c.le16(kSetBaseFraction);
  spacing_ = c.le16(kSetSpacing);
  channelMode_ = c.u8(kSetChannelMode);
}

void ZevDump::ProcessGps(const Block& b) {
  if (b.size() < kGpsSize) {
    ++Damage.badLengthBlocks;
    return;
  }
  ByteCursor c(b.data(), b.size());
  gpsHour_ = c.u8(kGpsTime);
  gpsMinute_ = c.u8(kGpsTime + 1);
  gpsSecond_ = c.u8(kGpsTime + 2);
  latitude_ = MilliArcCoordinate(c.be32s(kGpsLatitude), 'N', 'S');
  longitude_ = MilliArcCoordinate(c.be32s(kGpsLongitude), 'E', 'W');
  altitude_ = c.be32s(kGpsAltitude);
  velocity_ = c.be32(kGpsVelocity);
  navStatus_ = c.u8(kGpsNavStatus);
}

void ZevDump::FormatField(int id, std::string& out) {
  if (id == FieldCatalog::kExtNavStatus) {
    out.assign((navStatus_ & kNavValidBits) ? "VALID" : "INVALID");
    return;
  }
  ZevReader::FormatField(id, out);
}

const char* ZevDump::MeasurementCode() const {
  return mode_ == zev::kModeFlex ? "FLX" : zev::ModeCode(mode_);
}

double ZevDump::EntryFrequency(int k) const {
  int ch = EntryChannel(k);
  if (ch < firstChannel_ || ch > lastChannel_) return 0.0;
  return (ch - firstChannel_) * (spacing_ * kSpacingUnitKHz) * kMHzPerKHz + baseMHz_ +
         baseFraction_ * kFractionUnitMHz;
}

int ZevDump::DisplayedChannel(int k) const {
  int ch = EntryChannel(k);
  if (ch == 0) return 0;
  int shown = ch;
  if (channelMode_ == kOffsetMode) {
    shown = ch - kShiftOffset;
  } else if (channelMode_ == kCellularMode) {
    shown = ch - kCellularOffset - (firmware_ <= kFirmwareCellularShift ? 1 : 0);
  } else {
    return ch;
  }
  return shown <= 0 ? shown + kChannelWrap : shown;
}

int ZevDump::LambdaWindow(int receiver) {
  if (receiver < 0 || receiver > 3) return 0;
  return WindowFor(RecordRate * kLightSpeed, EntryFrequency(0));
}

int ZevDump::AccumulateLambda(int receiver) {
  if (receiver < 0 || receiver > 3) return 0;
  Averages[static_cast<size_t>(receiver)].window = LambdaWindow(receiver);
  return AccumulateSamples(receiver, levels_.data(), levelCount_);
}

// In the paging modes a measurement record also carries messages.
void ZevDump::AppendMessages(const Block&, int result, std::vector<PagingMessage>& messages) {
  if ((result == kRecordsReady || result == kBoundaryAndRecords) && PagingMode())
    AppendPagingMessages(messages);
}

}  // namespace morphel
