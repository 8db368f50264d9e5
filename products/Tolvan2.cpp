#include "products/Tolvan2.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/Fmt.h"
#include "products/FieldCatalog.h"
#include "products/SharedFields.h"

namespace morphel {

using tolvan2::BandSetup;

namespace {

// GPS/RTC header of 'F' and 'S' records (payload offsets; GPS values BE).
constexpr size_t kHeaderCopySize = 38;
constexpr size_t kHeaderSize = 30;  // the bytes the reader interprets
constexpr size_t kRtcSecondOffset = 2;
constexpr size_t kRtcMinuteOffset = 3;
constexpr size_t kRtcHourOffset = 4;
constexpr size_t kRtcDayOffset = 5;
constexpr size_t kRtcMonthOffset = 6;
constexpr size_t kRtcYearOffset = 7;
constexpr size_t kStatusOffset = 8;
constexpr size_t kLatitudeOffset = 9;
constexpr size_t kLongitudeOffset = 13;
constexpr size_t kAltitudeOffset = 17;
constexpr size_t kVelocityOffset = 21;
constexpr size_t kHeadingOffset = 23;
constexpr size_t kGpsHourOffset = 25;
constexpr size_t kGpsMinuteOffset = 26;
constexpr size_t kGpsSecondOffset = 27;
constexpr size_t kMarkerOffset = 28;

// 'F' record.
constexpr size_t kActiveFlagsOffset = 32;
constexpr size_t kFastBlocksOffset = 36;
constexpr size_t kFastBlockSize = 708;
constexpr size_t kFastCodeOffset = 14;   // SAT or DCC
constexpr size_t kFastCode2Offset = 15;  // VMAC or a second control code
constexpr size_t kFastSamplesOffset = 22;
constexpr size_t kFastRecordMin = kFastBlocksOffset;  // header and active flags
static_assert(kFastSamplesOffset + Tolvan2::kSamples <= kFastBlockSize);
static_assert(kFastBlocksOffset + Tolvan2::kReceivers * kFastBlockSize <= Tolvan2::kMaxBlockLength);

// 'S' record.
constexpr size_t kScanSetupsOffset = 32;
constexpr size_t kScanRecordSize =
    kScanSetupsOffset + Tolvan2::kReceivers * tolvan2::kScanBandSetupSize;

// Reading records.
constexpr size_t kReadingReceiverOffset = 1;
constexpr size_t kReadingChannelOffset = 2;  // 'v' and 'c'
constexpr size_t kReadingRssiOffset = 4;
constexpr size_t kReadingCodeOffset = 5;
constexpr size_t kReadingCode2Offset = 6;
constexpr size_t kReadingSize = 7;
constexpr size_t kSweepCodeOffset = 2;  // 'r' and 's'
constexpr size_t kSweepChannelOffset = 4;
constexpr size_t kSweepRssiOffset = 6;
constexpr size_t kSweepSatOffset = 7;
constexpr size_t kSweepSatSize = 8;

// 40 lambda: samples per window = kLambdaConstant / (velocity x f x 0.01).
constexpr double kLambdaConstant = 153600000000.0;
constexpr int32_t kMaxWindow = Tolvan2::kSamples;

// Velocity word in cm/s to whole miles per hour.
constexpr int64_t kMphNumerator = 22356;
constexpr int64_t kMphDenominator = 1000000;

}  // namespace

Tolvan2::Tolvan2() {
  using F = FieldCatalog;
  SetAvailableFields(F::kData, F::kCrLf, F::kPositionFields, F::kGpsTimeFields, F::kGpsAltitude,
                     F::kGpsVelocity, F::kGpsHeading, F::kGpsStatus, F::kMarkerValue, F::kRtcFields,
                     F::kBandFields);
  cachedChannel_.fill(-1);
}

int Tolvan2::Open(const std::string& path) {
  if (Product::Open(path) != 0) return -1;
  uint8_t fileHeader[kFileHeaderSize];
  Input.Read(fileHeader, sizeof fileHeader);  // identification only; a short file ends at once
  // Nothing of an earlier file may show up in this one: a pending sweep start
  // or a has-data flag belongs to the log it was read from.
  fix_ = Fix{};
  listFix_.fill(Fix{});
  rowFix_ = nullptr;
  heldBlock_.clear();
  holding_ = closeSweeps_ = ended_ = false;
  bands_.fill(BandSetup{});
  hasData_.fill(false);
  sweepOpen_.fill(false);
  pendingRssi_.fill(PendingSweep{});
  pendingSat_.fill(PendingSweep{});
  for (auto& f : fast_) f.present = false;
  cachedChannel_.fill(-1);
  droppedReadings_ = 0;
  callCounter_ = doneCounter_ = 0;
  return 0;
}

int64_t Tolvan2::ReadBlock(Block& block) {
  block.clear();
  closeSweeps_ = false;
  if (holding_) {
    holding_ = false;
    block.swap(heldBlock_);
    return heldCount_;
  }
  if (ended_) return 0;
  uint8_t prefix[kLengthSize];
  const size_t got = Input.Read(prefix, kLengthSize);
  if (got == 0) return EndOfLog(0);
  if (got < kLengthSize) {
    ++Damage.truncatedBlocks;
    return EndOfLog(static_cast<int64_t>(got));
  }
  const uint16_t length = le16(prefix);
  if (length == 0) return EndOfLog(kLengthSize);  // the log's end mark
  if (length > kMaxBlockLength) {
    // Only the length word is consumed; the next read starts right after it.
    ++Damage.badLengthBlocks;
    return static_cast<int64_t>(kLengthSize);
  }
  block.resize(length);
  const size_t read = Input.Read(block.data(), length);
  if (read < length) {
    ++Damage.truncatedBlocks;
    block.clear();
    return EndOfLog(static_cast<int64_t>(kLengthSize + read));
  }
  if (OpensSegment(block) && SweepsToClose()) {
    // The sweeps of the segment that ends go out first (counted with the
    // length word); the record follows at the next read.
    heldBlock_.swap(block);
    block.clear();
    heldCount_ = length;
    holding_ = true;
    closeSweeps_ = true;
    return static_cast<int64_t>(kLengthSize);
  }
  return static_cast<int64_t>(length + kLengthSize);
}

// The log has ended: one more block, empty, when sweeps are still open, so
// that they are printed. A run takes a block only with a count above zero;
// at a log that simply stops after a whole block that one byte is the only
// count not read from the file.
int64_t Tolvan2::EndOfLog(int64_t consumed) {
  ended_ = true;
  if (!SweepsToClose()) return 0;
  closeSweeps_ = true;
  return std::max<int64_t>(consumed, 1);
}

bool Tolvan2::SweepsToClose() const {
  if (!ConversionPass) return false;
  for (size_t r = 0; r < kReceivers; ++r)
    if (pendingRssi_[r].pending || (sweepOpen_[r] && !ReadingLists[r].empty())) return true;
  return false;
}

// An 'F' or 'S' record of another segment type than the current one.
bool Tolvan2::OpensSegment(const Block& block) const {
  if (block.empty()) return false;
  if (block[0] == kFastRecord && block.size() >= kFastRecordMin)
    return SegmentType != kSegmentFastData;
  if (block[0] == kScanHeader && block.size() >= kScanRecordSize)
    return SegmentType != kSegmentScanData;
  return false;
}

// As a sweep start of an 'r' record would: a pending start alone is a sweep
// of one reading; a pending 's' start alone stays replaced.
int Tolvan2::CloseSweeps() {
  bool ready = false;
  for (size_t r = 0; r < kReceivers; ++r) {
    pendingSat_[r].pending = false;
    if (pendingRssi_[r].pending || sweepOpen_[r])
      ready = FinishSweep(r, pendingRssi_[r], true) || ready;
  }
  return ready ? kRecordsReady : kNothing;
}

int Tolvan2::ProcessBlock(Block& block) {
  PendingRecordCount = 1;
  rowFix_ = nullptr;
  if (closeSweeps_) {
    closeSweeps_ = false;
    return CloseSweeps();
  }
  if (block.empty()) return kNothing;
  const uint8_t kind = block[0];
  switch (kind) {
    case kFastRecord:
      return ProcessFast(block);
    case kScanHeader:
      return ProcessScan(block);
    case kVoiceReading:
    case kControlReading:
      return ProcessChannelReading(block, kind);
    case kSweepReading:
    case kSweepSatReading:
      return ProcessSweep(block, kind);
    case kDataNote:
    case kCarriageReturn:
      return kNothing;
    default:
      return UnknownRecord();
  }
}

void Tolvan2::DecodeHeader(const Block& block) {
  std::array<uint8_t, kHeaderCopySize> raw{};
  std::copy_n(block.begin(), std::min(block.size(), raw.size()), raw.begin());
  const uint8_t* p = raw.data();
  Header& h = fix_.header;
  h.rtcSecond = p[kRtcSecondOffset];
  h.rtcMinute = p[kRtcMinuteOffset];
  h.rtcHour = p[kRtcHourOffset];
  h.rtcDay = p[kRtcDayOffset];
  h.rtcMonth = p[kRtcMonthOffset];
  h.rtcYear = p[kRtcYearOffset];
  h.status = p[kStatusOffset];
  h.latitude = be32s(p + kLatitudeOffset);
  h.longitude = be32s(p + kLongitudeOffset);
  h.altitude = be32s(p + kAltitudeOffset);
  h.velocity = be16(p + kVelocityOffset);
  h.heading = be16s(p + kHeadingOffset);
  h.gpsHour = p[kGpsHourOffset];
  h.gpsMinute = p[kGpsMinuteOffset];
  h.gpsSecond = p[kGpsSecondOffset];
  h.marker = le16s(p + kMarkerOffset);
  auto split = [](int32_t value) {
    const int64_t seconds = std::llabs(static_cast<int64_t>(value)) / 1000;
    const int64_t rest = seconds % 3600;
    return Angle{static_cast<long>(seconds / 3600), static_cast<long>(rest / 60),
                 static_cast<long>(rest % 60)};
  };
  fix_.lat = split(h.latitude);
  fix_.lon = split(h.longitude);
}

void Tolvan2::SetBand(size_t r, const BandSetup& band) {
  bands_[r] = band;
  cachedChannel_[r] = -1;
}

void Tolvan2::ClearList(size_t r) {
  ReadingLists[r].clear();
  sweepOpen_[r] = false;
}

void Tolvan2::AppendReading(size_t r, const DATABLOCK& reading) {
  if (ReadingLists[r].size() >= kMaxListEntries) {
    ++droppedReadings_;
    return;
  }
  ReadingLists[r].push_back(reading);
}

int Tolvan2::ProcessFast(const Block& block) {
  if (block.size() < kFastRecordMin) return kNothing;
  GatherTime(block[kGpsHourOffset], block[kGpsMinuteOffset], block[kGpsSecondOffset]);
  GatherRecord();
  FollowSegmentType(kSegmentFastData, block[kGpsHourOffset], block[kGpsMinuteOffset],
                    block[kGpsSecondOffset]);
  if (Skipping()) return kNothing;
  DecodeHeader(block);
  bool produced = false;
  for (int i = 0; i < kReceivers; ++i) {
    if (block[kActiveFlagsOffset + static_cast<size_t>(i)] == 0 || !ReceiverOn(i + 1)) continue;
    const size_t offset = kFastBlocksOffset + kFastBlockSize * static_cast<size_t>(i);
    if (block.size() < offset + kFastBlockSize) break;  // a cut record holds no further blocks
    const int result = ProcessFastReceiver(i, block.data() + offset);
    if (result < 0) break;  // sampled channel outside the band: the rest is dropped
    if (result > 0) produced = true;
  }
  return produced ? kRecordsReady : kNothing;
}

// One receiver's fast block: -1 when its channel lies outside its band, else
// the number of readings it produced.
int Tolvan2::ProcessFastReceiver(int i, const uint8_t* fastBlock) {
  const size_t r = static_cast<size_t>(i);
  const BandSetup band = BandSetup::FromFastBytes(fastBlock);
  SetBand(r, band);
  ClearList(r);
  listFix_[r] = fix_;
  FastState& fast = fast_[r];
  fast.present = true;
  fast.band = band;
  std::copy_n(fastBlock + kFastSamplesOffset, kSamples, fast.samples.begin());
  long sum = 0;
  for (uint8_t s : fast.samples) sum += s;
  fast.mean = sum / kSamples;
  if (!band.InBand(band.channel)) return -1;

  DATABLOCK reading;
  reading.channel = band.channel;
  if (band.decodeFlags & tolvan2::kSatVmacDecoded) {
    reading.sat = fastBlock[kFastCodeOffset];
    reading.vmac = fastBlock[kFastCode2Offset];
  }
  if (band.decodeFlags & tolvan2::kDccDecoded) {
    reading.dcc = fastBlock[kFastCodeOffset];
    reading.code = fastBlock[kFastCode2Offset];
  }
  ReadingList& list = ReadingLists[r];
  if (AverageMode == kAverageLambda) {
    LambdaWindow(i);
    const int count = AccumulateLambda(i);
    const AverageBlock& a = Averages[r];
    for (int k = 0; k < count; ++k) {
      reading.rssi = static_cast<uint8_t>(a.averages[static_cast<size_t>(k)]);
      list.push_back(reading);
    }
    if (count > 0) hasData_[r] = true;
    return count;
  }
  for (uint8_t s : fast.samples) {
    reading.rssi = s;
    list.push_back(reading);
  }
  hasData_[r] = true;
  return kSamples;
}

int Tolvan2::ProcessScan(const Block& block) {
  if (block.size() < kScanRecordSize) return kNothing;
  GatherTime(block[kGpsHourOffset], block[kGpsMinuteOffset], block[kGpsSecondOffset]);
  FollowSegmentType(kSegmentScanData, block[kGpsHourOffset], block[kGpsMinuteOffset],
                    block[kGpsSecondOffset]);
  if (Skipping()) return kNothing;
  DecodeHeader(block);
  for (size_t r = 0; r < kReceivers; ++r)
    SetBand(r, BandSetup::FromScanBytes(block.data() + kScanSetupsOffset +
                                        tolvan2::kScanBandSetupSize * r));
  return kNothing;
}

int Tolvan2::ProcessChannelReading(const Block& block, uint8_t kind) {
  if (block.size() >= kReadingSize) GatherRecord();
  if (Skipping() || block.size() < kReadingSize) return kNothing;
  const size_t r = block[kReadingReceiverOffset];
  if (r >= kReceivers) return kNothing;
  DATABLOCK reading;
  reading.channel = le16(block.data() + kReadingChannelOffset);
  reading.rssi = block[kReadingRssiOffset];
  if (kind == kVoiceReading) {
    reading.sat = block[kReadingCodeOffset];
    reading.vmac = block[kReadingCode2Offset];
  } else {
    reading.dcc = block[kReadingCodeOffset];
  }
  ClearList(r);
  ReadingLists[r].push_back(reading);
  listFix_[r] = fix_;
  hasData_[r] = true;
  return kRecordsReady;
}

int Tolvan2::ProcessSweep(const Block& block, uint8_t kind) {
  const bool withSat = kind == kSweepSatReading;
  if (block.size() >= (withSat ? kSweepSatSize : kReadingSize)) GatherRecord();
  if (Skipping() || block.size() < (withSat ? kSweepSatSize : kReadingSize)) return kNothing;
  const size_t r = block[kReadingReceiverOffset];
  if (r >= kReceivers) return kNothing;
  DATABLOCK reading;
  reading.channel = le16(block.data() + kSweepChannelOffset);
  reading.rssi = block[kSweepRssiOffset];
  if (withSat) reading.sat = block[kSweepSatOffset];
  PendingSweep& pending = withSat ? pendingSat_[r] : pendingRssi_[r];
  switch (le16(block.data() + kSweepCodeOffset)) {
    case kSweepStart:
      // An 's' start replaces an earlier pending start; an 'r' start first
      // hands out a sweep that consisted of its start reading alone.
      return StartSweep(r, reading, pending, !withSat);
    case kSweepContinue:
      ContinueSweep(r, reading, pending);
      return kNothing;
    default:
      return kNothing;
  }
}

// A sweep start hands out the sweep collected so far and becomes the first
// reading of the next one.
int Tolvan2::StartSweep(size_t r, const DATABLOCK& reading, PendingSweep& pending,
                        bool flushPending) {
  const bool ready = FinishSweep(r, pending, flushPending);
  pending.reading = reading;
  pending.fix = fix_;
  pending.pending = true;
  return ready ? kRecordsReady : kNothing;
}

// Makes the receiver's list the sweep to print, if there is one: with
// flushPending a pending start that nothing followed is a sweep of its own.
bool Tolvan2::FinishSweep(size_t r, PendingSweep& pending, bool flushPending) {
  if (flushPending && pending.pending) {
    ClearList(r);
    ReadingLists[r].push_back(pending.reading);
    listFix_[r] = pending.fix;
    sweepOpen_[r] = true;
  }
  pending.pending = false;
  // Readings that are not a collected sweep (a fast block, a channel reading)
  // were printed with their own record and are not printed again here.
  if (!sweepOpen_[r]) ClearList(r);
  sweepOpen_[r] = false;
  if (ReadingLists[r].empty()) return false;
  hasData_[r] = true;
  return true;
}

void Tolvan2::ContinueSweep(size_t r, const DATABLOCK& reading, PendingSweep& pending) {
  if (pending.pending) {
    ClearList(r);
    ReadingLists[r].push_back(pending.reading);
    listFix_[r] = pending.fix;
    pending.pending = false;
    sweepOpen_[r] = true;
  }
  if (!sweepOpen_[r]) {
    ClearList(r);
    listFix_[r] = fix_;
    sweepOpen_[r] = true;
  }
  AppendReading(r, reading);
}

int Tolvan2::LambdaWindow(int receiver) {
  if (receiver < 0 || receiver >= kReceivers) return 0;
  const size_t r = static_cast<size_t>(receiver);
  const BandSetup& band = bands_[r];
  const double f = band.FrequencyMHz(band.channel) * 1000000.0;
  const double x = fix_.header.velocity * f * 0.01;
  int32_t window = 1;
  if (x != 0) {
    const double w = std::trunc(kLambdaConstant / x);
    // A negative or undefined quotient (a band below 0 MHz) counts as 1.
    window = !(w >= 1) ? 1 : (w > kMaxWindow ? kMaxWindow : static_cast<int32_t>(w));
  }
  Averages[r].window = window;
  return window;
}

// The running count and sum carry over from block to block, while the window
// follows the speed. When the window shrinks below the samples already
// summed, the average completes at the next sample as the mean of the samples
// it holds, so the count never exceeds the largest window (512).
int Tolvan2::AccumulateLambda(int receiver) {
  if (receiver < 0 || receiver >= kReceivers) return 0;
  const size_t r = static_cast<size_t>(receiver);
  AverageBlock& a = Averages[r];
  a.completed = 0;
  if (a.window <= 0 || !fast_[r].present) return 0;
  for (uint8_t s : fast_[r].samples) {
    ++a.samples;
    a.sum += s;
    if (a.samples >= a.window) {
      a.averages[static_cast<size_t>(a.completed++)] = static_cast<int32_t>(a.sum / a.samples);
      a.samples = 0;
      a.sum = 0;
    }
  }
  return a.completed;
}

bool Tolvan2::ReceiverHasData(int receiver) {
  if (receiver < 1 || receiver > kReceivers) return false;
  current_ = receiver - 1;
  const size_t r = static_cast<size_t>(current_);
  if (!bands_[r].InUse() || !ReceiverOn(receiver) || !hasData_[r]) return false;
  hasData_[r] = false;
  rowFix_ = &listFix_[r];
  return true;
}

int Tolvan2::WriteDataTitles(int, std::string& out, char delimiter) {
  out.clear();
  if (!TitlePending) return -1;
  const Settings& s = Config();
  const std::pair<bool, const char*> titles[] = {{s.FrequencyField, "\"Frequency\""},
                                                 {s.ChannelField, "\"Channel\""},
                                                 {s.RSSIField, "\"RSSI\""},
                                                 {s.SATField, "\"SAT/DCC\""},
                                                 {s.VMACField, "\"VMAC\""}};
  for (const auto& [on, title] : titles) {
    if (!on) continue;
    if (!out.empty()) out.push_back(delimiter);
    out.append(title);
  }
  TitlePending = 0;
  return 0;
}

void Tolvan2::CacheChannelTexts(size_t r, uint16_t channel) {
  if (cachedChannel_[r] == channel) return;
  frequencyText_[r].clear();
  text::f(frequencyText_[r], bands_[r].FrequencyMHz(channel), 5);
  channelText_[r].clear();
  text::d(channelText_[r], bands_[r].PrintedChannel(channel));
  cachedChannel_[r] = channel;
}

void Tolvan2::AppendEntry(std::string& out, size_t r, const DATABLOCK& e, char delimiter,
                          bool& first) {
  const Settings& s = Config();
  auto separate = [&] {
    if (!first) out.push_back(delimiter);
    first = false;
  };
  if (s.FrequencyField || s.ChannelField) CacheChannelTexts(r, e.channel);
  if (s.FrequencyField) {
    separate();
    out.append(frequencyText_[r]);
  }
  if (s.ChannelField) {
    separate();
    out.append(channelText_[r]);
  }
  if (s.RSSIField) {
    separate();
    text::minusD(out, e.rssi);
  }
  if (s.SATField) {
    separate();
    text::d(out, e.sat);
    out.push_back(',');
    text::d(out, e.dcc);
  }
  if (s.VMACField) {
    separate();
    text::d(out, e.vmac);
  }
}

int Tolvan2::FormatDataValues(int next, std::string& out, char delimiter) {
  out.clear();
  if (next == 0) {
    callCounter_ = 0;
    doneCounter_ = 0;
  } else if (doneCounter_ > 0) {
    return -1;
  }
  ++callCounter_;
  const size_t r = static_cast<size_t>(current_);
  const ReadingList& list = ReadingLists[r];
  bool first = true;
  if (AverageMode == kAverageBestServer) {
    // Only the strongest reading (smallest magnitude) is printed; the first
    // of equal readings wins, as a stable sort would put it first.
    if (callCounter_ == 1 && !list.empty()) {
      auto best = std::min_element(list.begin(), list.end(),
                                   [](const auto& a, const auto& b) { return a.rssi < b.rssi; });
      AppendEntry(out, r, *best, delimiter, first);
    }
    ++doneCounter_;
    return 0;
  }
  const size_t start = static_cast<size_t>(callCounter_ - 1);
  if (AverageMode == kAverageLambda) {
    // Nothing left at this position: done, so the caller's walk ends.
    if (start >= list.size()) {
      ++doneCounter_;
      return 0;
    }
    const size_t end = SegmentType == kSegmentFastData ? start + 1 : list.size();
    for (size_t k = start; k < end; ++k) AppendEntry(out, r, list[k], delimiter, first);
    if (end == list.size()) ++doneCounter_;
    return 0;
  }
  for (size_t k = start; k < list.size(); ++k) AppendEntry(out, r, list[k], delimiter, first);
  ++doneCounter_;
  return 0;
}

void Tolvan2::FormatPositionField(int id, std::string& out, const Fix& fix) const {
  using F = FieldCatalog;
  const Header& h = fix.header;
  switch (id) {
    case F::kLatDecimal: {
      const double v = Degrees(h.latitude);
      latitudeText_.Append(out, ValueKey(v), [v](std::string& t) { text::f(t, v, 6); });
      break;
    }
    case F::kLonDecimal: {
      const double v = Degrees(h.longitude);
      longitudeText_.Append(out, ValueKey(v), [v](std::string& t) { text::f(t, v, 6); });
      break;
    }
    case F::kLatDegrees:
      text::d(out, fix.lat.degrees);
      break;
    case F::kLatMinutes:
      text::d(out, fix.lat.minutes);
      break;
    case F::kLatSeconds:
      text::d(out, fix.lat.seconds);
      break;
    case F::kLonDegrees:
      text::d(out, fix.lon.degrees);
      break;
    case F::kLonMinutes:
      text::d(out, fix.lon.minutes);
      break;
    case F::kLonSeconds:
      text::d(out, fix.lon.seconds);
      break;
    case F::kLatHemisphere:
      out.push_back(h.latitude > 0 ? 'N' : 'S');
      break;
    case F::kLonHemisphere:
      out.push_back(h.longitude > 0 ? 'E' : 'W');
      break;
    default:
      break;  // decimal minutes stay empty
  }
}

void Tolvan2::FormatField(int id, std::string& out) {
  using F = FieldCatalog;
  out.clear();
  const Fix& fix = RowFix();
  const Header& h = fix.header;
  auto band = [this] {
    const BandSetup& b = bands_[static_cast<size_t>(current_)];
    const double first = b.FrequencyMHz(b.firstChannel), last = b.FrequencyMHz(b.lastChannel);
    return BandTexts{first, last, 4, b.step * 0.1, 1, current_ + 1};
  };
  switch (id) {
    case F::kLatDecimal:
    case F::kLatDegrees:
    case F::kLatMinutes:
    case F::kLatDecimalMinutes:
    case F::kLatSeconds:
    case F::kLatHemisphere:
    case F::kLonDecimal:
    case F::kLonDegrees:
    case F::kLonMinutes:
    case F::kLonDecimalMinutes:
    case F::kLonSeconds:
    case F::kLonHemisphere:
      FormatPositionField(id, out, fix);
      break;
    case F::kGpsStatus:
      out.append(h.status & kPositionValid ? "VALID" : "INVALID");
      break;
    case F::kGpsAltitude:
      text::d(out, h.altitude / 100);
      break;
    case F::kGpsVelocity:
      text::d(out, h.velocity * kMphNumerator / kMphDenominator);
      break;
    case F::kGpsHeading:
      out.append(tolvan2::CompassPoint(h.heading));
      break;
    default:
      if (!HeaderField(id, out, h) && !BandField(id, out, band)) RowField(id, out);
      break;
  }
}

}  // namespace morphel
