#include "products/Skarn.h"

#include <algorithm>

#include "core/Bytes.h"
#include "core/Fmt.h"
#include "products/FieldCatalog.h"
#include "products/Formats.h"
#include "products/SharedFields.h"

namespace morphel {

namespace {
// The Skarn has no position: the native layouts get fixed zero positions.
constexpr const char* kGraysonDatePrefix = "D000000000";
constexpr const char* kGraysonZeroPosition = "G0000000000.000000000.00000";
constexpr const char* kGraysonPositionEnd = "0000\r";
constexpr const char* kPlanetZeroPosition = " 000.000000 000.000000";

// Text of `length` bytes at `data`, ending early at a zero byte.
std::string TextUpToZero(const uint8_t* data, size_t length) {
  const uint8_t* end = std::find(data, data + length, uint8_t{0});
  return std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(end - data));
}
}  // namespace

Skarn::Skarn() {
  SetAvailableFields({FieldCatalog::kData, FieldCatalog::kCrLf, FieldCatalog::kMarkerValue,
                      FieldCatalog::kRtcTime, FieldCatalog::kRtcHour, FieldCatalog::kRtcMinute,
                      FieldCatalog::kRtcSecond, FieldCatalog::kScanMode,
                      FieldCatalog::kRecordNumber});
}

int Skarn::Open(const std::string& path) {
  hour_ = minute_ = second_ = 0;
  flags_ = 0;
  marker_ = 0;
  entries_ = {};
  bestEntry_ = 0;
  baseMHz_ = 0.0;
  spacing_ = 0;
  baseChannel_ = 0;
  infoName_.clear();
  infoVersion_.clear();
  return Product::Open(path);
}

int16_t Skarn::SegmentTypeForFlags(uint8_t flags) {
  if (flags & kOneChannelFlag) return kSegmentOneChannelData;
  if (flags & kThreeChannelFlag) return kSegmentThreeChannelData;
  if (flags & kScanTableFlag) return kSegmentScanData;
  return kNoSegment;
}

int Skarn::EntriesForType(int16_t type) {
  switch (type) {
    case kSegmentScanData:
    case kSegmentThreeChannelData:
      return kEntries;
    case kSegmentOneChannelData:
      return 1;
    default:
      return 0;
  }
}

double Skarn::FrequencyOf(uint16_t channel) const {
  // Widened before multiplying: channel offset times spacing can pass 2^31.
  return static_cast<double>(channel - baseChannel_) * spacing_ * kPlanUnitMHz + baseMHz_;
}

// ---------------------------------------------------------------------------
// Framing and records

int64_t Skarn::NextFrame(const uint8_t*& record, size_t& length) {
  record = nullptr;
  length = 0;
  size_t got = 0;
  const uint8_t* prefix = Input.View(kLengthSize, got);
  if (got == 0) return 0;
  if (got < kLengthSize) {
    ++Damage.truncatedBlocks;
    return 0;
  }
  const uint32_t size = le32(prefix);
  if (size > kMaxRecordLength) {
    // Only the length is consumed; the next four bytes are read as a length.
    ++Damage.badLengthBlocks;
    return static_cast<int64_t>(kLengthSize);
  }
  if (size > 0) {
    record = Input.View(size, got);
    if (got != size) {
      ++Damage.truncatedBlocks;
      record = nullptr;
      return 0;
    }
  }
  length = size;
  return static_cast<int64_t>(kLengthSize + size);
}

int64_t Skarn::ReadBlock(Block& buffer) {
  return CopyFrame(buffer, [this](const uint8_t*& r, size_t& n) { return NextFrame(r, n); });
}

// Indexing takes the record where it lies and reads of a data record only
// its scan mode and clock; every other record goes the whole way.
int64_t Skarn::IndexRead(Block&) {
  return NextFrame(indexRecord_, indexLength_);
}

void Skarn::IndexProcess(Block& buffer) {
  const uint8_t* b = indexRecord_;
  if (indexLength_ == 0) return;
  if (b[0] != kDataRecord || indexLength_ < kDataRecordSize || ConversionPass || Gathering) {
    CopyToBlock(buffer, b, indexLength_);
    ProcessBlock(buffer);
    return;
  }
  const int16_t type = SegmentTypeForFlags(b[kFlagsOffset]);
  if (type == kNoSegment) {
    ++Damage.unknownRecords;
    return;
  }
  if (type != SegmentType) StartSegment(type, b[kHourOffset], b[kMinuteOffset], b[kSecondOffset]);
}

int Skarn::ProcessBlock(Block& buffer) {
  if (buffer.empty()) return kNothing;
  switch (buffer[0]) {
    case kDataRecord:
      return ProcessDataRecord(buffer);
    case kSetupRecord:
      ProcessSetupRecord(buffer);
      return kNothing;
    case kInfoRecord:
      ProcessInfoRecord(buffer);
      return kNothing;
    default:
      return UnknownRecord();
  }
}

int Skarn::ProcessDataRecord(const Block& block) {
  if (block.size() < kDataRecordSize) return ShortRecord();
  const uint8_t* b = block.data();
  // A record without a scan-mode bit belongs to no segment type: it is
  // neither indexed nor converted, and leaves the state of the last record.
  const int16_t type = SegmentTypeForFlags(b[kFlagsOffset]);
  if (type == kNoSegment) return UnknownRecord();
  hour_ = b[kHourOffset];
  minute_ = b[kMinuteOffset];
  second_ = b[kSecondOffset];
  GatherTime(hour_, minute_, second_);
  GatherRecord();
  marker_ = be16(b + kMarkerOffset);
  flags_ = b[kFlagsOffset];
  for (size_t k = 0; k < kEntries; ++k) {
    const uint8_t* e = b + kFirstEntryOffset + k * kEntrySize;
    entries_[k].channel = be16(e);
    entries_[k].level = e[2];
  }
  FollowSegmentType(type, hour_, minute_, second_);
  if (!ConversionPass || SegmentDeselected) return kNothing;
  if (AverageMode == kAverageBestServer) SelectBestServer();
  PendingRecordCount = 1;
  return kRecordsReady;
}

void Skarn::ProcessSetupRecord(const Block& block) {
  if (block.size() < kSetupFieldsEnd) {
    ++Damage.badLengthBlocks;
    return;
  }
  const uint8_t* b = block.data();
  baseMHz_ = be16s(b + kBaseMHzOffset) + be16s(b + kBaseFractionOffset) * kPlanUnitMHz;
  spacing_ = be16(b + kSpacingOffset);
  baseChannel_ = be16s(b + kBaseChannelOffset);
}

void Skarn::ProcessInfoRecord(const Block& block) {
  ByteCursor c(block.data(), block.size());
  const size_t firstText = kInfoFirstLengthOffset + kLengthSize;
  if (!c.has(kInfoFirstLengthOffset, kLengthSize)) {
    ++Damage.badLengthBlocks;
    return;
  }
  const uint64_t length1 = c.le32(kInfoFirstLengthOffset);
  const uint64_t present1 = block.size() - firstText;
  const size_t take1 =
      static_cast<size_t>(std::min({length1, present1, uint64_t{kInfoTextArea - 1}}));
  infoName_ = TextUpToZero(block.data() + firstText, take1);
  infoVersion_.clear();
  const uint64_t secondLength = firstText + length1;
  bool complete = length1 <= present1;
  if (complete && c.has(static_cast<size_t>(secondLength), kLengthSize)) {
    const size_t secondText = static_cast<size_t>(secondLength) + kLengthSize;
    const uint64_t length2 = c.le32(static_cast<size_t>(secondLength));
    const uint64_t present2 = block.size() - secondText;
    complete = length2 <= present2;
    infoVersion_ =
        TextUpToZero(block.data() + secondText, static_cast<size_t>(std::min(length2, present2)));
  } else {
    complete = false;
  }
  if (!complete) ++Damage.badLengthBlocks;
  // "%s %s\n" into the 1024-byte text buffer, terminator included.
  const size_t room = kTextBufferSize - 1 - infoName_.size() - 2;
  if (infoVersion_.size() > room) infoVersion_.resize(room);
  TextBuffer.clear();
  TextBuffer.append(infoName_);
  TextBuffer.push_back(' ');
  TextBuffer.append(infoVersion_);
  TextBuffer.push_back('\n');
}

void Skarn::SelectBestServer() {
  // Only the entries the scan mode measures take part; channel 0 is an empty
  // entry. The first of equal levels wins.
  bestEntry_ = 0;
  int best = kBestServerFloorDbm;
  const int count = EntriesForType(SegmentType);
  for (int k = 0; k < count; ++k) {
    const Entry& e = entries_[static_cast<size_t>(k)];
    if (e.channel == 0) continue;
    const int level = -static_cast<int>(e.level);
    if (level > best) {
      best = level;
      bestEntry_ = k;
    }
  }
}

// ---------------------------------------------------------------------------
// Custom ASCII rows

int16_t Skarn::TitleSegmentType() {
  if (EntriesForType(SegmentType) > 0) return SegmentType;
  const int16_t peeked = PeekFirstDataType();
  if (peeked == kNoSegment) return kSegmentThreeChannelData;
  return peeked;
}

// The title row is written before the first block, when the scan mode is not
// known yet: look ahead (a bounded number of frames) for the first data record
// and come back, so a log of one-channel data gets one group of titles. Without
// one, three groups cover the widest row.
int16_t Skarn::PeekFirstDataType() {
  if (!Input.IsOpen()) return kNoSegment;
  const uint64_t start = Input.Tell();
  int16_t found = kNoSegment;
  for (int frame = 0; frame < kTitleLookaheadFrames && found == kNoSegment; ++frame) {
    uint8_t prefix[kLengthSize];
    if (Input.Read(prefix, kLengthSize) != kLengthSize) break;
    const uint32_t length = le32(prefix);
    if (length > kMaxRecordLength) continue;
    uint8_t head[kFlagsOffset + 1] = {};
    const size_t want = std::min<size_t>(length, sizeof head);
    if (Input.Read(head, want) != want) break;
    if (head[0] == kDataRecord && length >= kDataRecordSize)
      found = SegmentTypeForFlags(head[kFlagsOffset]);
    if (!Input.Skip(length - want)) break;
  }
  Input.Seek(start);
  return found;
}

int Skarn::WriteDataTitles(int, std::string& out, char delimiter) {
  out.clear();
  if (!TitlePending) return -1;
  const int groups = AverageMode == kAverageBestServer ? 1 : EntriesForType(TitleSegmentType());
  const Settings& s = Config();
  bool first = true;
  auto add = [&](const char* title) {
    if (!first) out.push_back(delimiter);
    first = false;
    out.append(title);
  };
  for (int k = 0; k < groups; ++k) {
    if (s.FrequencyField) add("\"Frequency\"");
    if (s.ChannelField) add("\"Channel\"");
    if (s.RSSIField) add("\"RSSI\"");
  }
  TitlePending = 0;
  return 0;
}

void Skarn::AppendEntryValues(std::string& out, const Entry& entry, char delimiter,
                              bool& first) const {
  const Settings& s = Config();
  auto separate = [&] {
    if (!first) out.push_back(delimiter);
    first = false;
  };
  if (s.FrequencyField) {
    separate();
    AppendKept(frequencyTexts_, out, FrequencyOf(entry.channel), text::f4);
  }
  if (s.ChannelField) {
    separate();
    text::d(out, entry.channel);
  }
  if (s.RSSIField) {
    separate();
    text::minusD(out, entry.level);
  }
}

int Skarn::FormatDataValues(int next, std::string& out, char delimiter) {
  out.clear();
  if (next != 0) return -1;
  const int count = EntriesForType(SegmentType);
  bool first = true;
  if (AverageMode == kAverageBestServer) {
    if (count > 0)
      AppendEntryValues(out, entries_[static_cast<size_t>(bestEntry_)], delimiter, first);
  } else {
    for (int k = 0; k < count; ++k)
      AppendEntryValues(out, entries_[static_cast<size_t>(k)], delimiter, first);
  }
  return 0;
}

void Skarn::FormatField(int id, std::string& out) {
  out.clear();
  switch (id) {
    case FieldCatalog::kMarkerValue:
      text::d(out, marker_);
      break;
    case FieldCatalog::kScanMode:
      // Only one mode bit may be set for the mode to be named.
      switch (flags_ & kScanModeMask) {
        case kOneChannelFlag:
          out.append("1CH");
          break;
        case kThreeChannelFlag:
          out.append("3CH");
          break;
        case kScanTableFlag:
          out.append("SCAN");
          break;
        default:
          break;
      }
      break;
    default:
      if (!RtcTimeField(id, out, hour_, minute_, second_)) RowField(id, out);
      break;
  }
}

// ---------------------------------------------------------------------------
// Native layouts

int Skarn::FormatEntryCount() const {
  return SegmentType == kSegmentThreeChannelData ? kEntries : 1;
}

// A Skarn log carries no date and no position. Its Grayson date line and its
// positions are the zeros the tools have always read from Skarn files, and
// the entries of a three-channel record share one position line (Grayson)
// or one report line (Planet), while PathView takes the last entry's level.
void Skarn::FillLayoutValues(formats::LayoutValues& v) const {
  v.gpsHour = v.rtcHour = hour_;
  v.gpsMinute = v.rtcMinute = minute_;
  v.gpsSecond = v.rtcSecond = second_;
  // The Skarn has no GPS and its clock no date: a record has a time of day
  // and no position.
  v.clock = formats::RecordClock::ReceiverTimeOfDay;
  v.hasMarker = true;
  v.marker = marker_;
}

int Skarn::WriteFormatHeader(std::string& out) {
  if (ChosenLayout() != Layout::Grayson) return Product::WriteFormatHeader(out);
  out.clear();
  out.append(kGraysonDatePrefix);
  text::d02(out, hour_);
  out.push_back('\r');
  formats::GraysonStartLine(out, minute_, second_);
  return static_cast<int>(out.size());
}

int Skarn::WriteFormatRecord(std::string& out) {
  out.clear();
  const int count = FormatEntryCount();
  switch (ChosenLayout()) {
    case Layout::Grayson:
      for (int k = 0; k < count; ++k) {
        const Entry& e = entries_[static_cast<size_t>(k)];
        formats::GraysonReceiverLine(out, minute_, second_,
                                     formats::FrequencyTenHz(FrequencyOf(e.channel)), e.level);
      }
      out.append(kGraysonZeroPosition);
      text::d02(out, hour_);
      text::d02(out, minute_);
      text::d02(out, second_);
      out.append(kGraysonPositionEnd);
      break;
    case Layout::PathView: {
      // A zero level is written as +0.0, never as minus zero.
      const uint8_t level = entries_[static_cast<size_t>(count - 1)].level;
      const double rssi = level == 0 ? 0.0 : -static_cast<double>(level);
      formats::PathViewRecord(out, rssi, 0.0, 0.0, hour_, minute_, second_);
      break;
    }
    case Layout::Planet:
      text::hms(out, hour_, minute_, second_);
      out.append(":00");
      out.append(kPlanetZeroPosition);
      for (int k = 0; k < count; ++k) {
        const Entry& e = entries_[static_cast<size_t>(k)];
        formats::PlanetReport(out, FrequencyOf(e.channel), e.channel, e.level);
      }
      break;
    case Layout::InFielder:
    case Layout::Delimited:
      break;
  }
  return static_cast<int>(out.size());
}

// ---------------------------------------------------------------------------
// Readings

// One reading per entry its scan mode measures.
void Skarn::AppendRowReadings(std::vector<Reading>& readings) {
  const int count = EntriesForType(SegmentType);
  for (int k = 0; k < count; ++k) {
    const Entry& e = entries_[static_cast<size_t>(k)];
    readings.push_back(Reading{1, e.channel, FrequencyOf(e.channel), -e.level});
  }
}

}  // namespace morphel
