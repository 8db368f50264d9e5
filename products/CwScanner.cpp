#include "products/CwScanner.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/Bytes.h"
#include "core/Fmt.h"
#include "products/FieldCatalog.h"
#include "products/Formats.h"

namespace morphel {

namespace {

using F = FieldCatalog;

// Identification record: 32-bit lengths, low byte first.
constexpr size_t kIdentLengthA = 1;
constexpr int32_t kMaxTextA = 512;  // exclusive
constexpr int32_t kMaxTextB = 64;   // exclusive

// Fast-data receiver block.
constexpr size_t kBlockChannel = 0;
constexpr size_t kBlockFlags = 2;
constexpr size_t kBlockBaseMHz = 3;
constexpr size_t kBlockFraction = 5;
constexpr size_t kBlockSpacing = 7;
constexpr size_t kBlockBaseChannel = 9;

// Scan-table tuning descriptor.
constexpr size_t kDescFlags = 0;
constexpr size_t kDescBaseMHz = 1;
constexpr size_t kDescFraction = 3;
constexpr size_t kDescSpacing = 5;
constexpr size_t kDescBaseChannel = 7;

// Scan-table entry: channel, then the RSSI magnitude.
constexpr size_t kEntryChannel = 0;
constexpr size_t kEntryRssi = 2;

constexpr uint8_t kGpsValidBit = 0x80;

// Channel translation of receivers with flag bit 6.
constexpr int kTranslateDown = 34;
constexpr int kTranslateWrap = 989;

// Copies what the record holds of [offset, offset + n) into dest and zeroes
// the rest, so a short record never reads past its bytes.
void CopyPadded(uint8_t* dest, const Product::Block& src, size_t offset, size_t n) {
  size_t have = offset < src.size() ? std::min(n, src.size() - offset) : 0;
  if (have) std::memcpy(dest, src.data() + offset, have);
  if (have < n) std::memset(dest + have, 0, n - have);
}

// Text of an identification record as "%s" shows it: up to its first zero.
std::string CText(const uint8_t* p, size_t n) {
  const void* nul = std::memchr(p, 0, n);
  size_t len = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : n;
  return std::string(reinterpret_cast<const char*>(p), len);
}

}  // namespace

CwScanner::CwScanner(const Layout& layout)
    : layout_(layout),
      fastBlocks_(static_cast<size_t>(layout.receivers) * layout.receiverBlockSize, 0),
      scanData_(layout.scanDataSize, 0) {}

// ---------------------------------------------------------------- framing

bool CwScanner::AcceptsLength(uint32_t length) const {
  return length >= 1 && length <= kMaxBlockLength;
}

int64_t CwScanner::ReadBlock(Block& buffer) {
  uint64_t skipped = 0;
  for (;;) {
    uint8_t prefix[4];
    size_t got = Input.Read(prefix, sizeof prefix);
    if (got < sizeof prefix) {
      if (got > 0) ++Damage.truncatedBlocks;
      buffer.clear();
      return 0;
    }
    uint32_t length = le32(prefix);
    // After a bad prefix only a real record length is taken as the way back
    // in step: a run of zero bytes must not pass for a block.
    bool accepted = skipped == 0 ? AcceptsLength(length) : length >= 1 && length <= kMaxBlockLength;
    if (accepted) {
      buffer.resize(length);
      if (length > 0 && !Input.ReadExact(buffer.data(), length)) {
        ++Damage.truncatedBlocks;
        buffer.clear();
        return 0;
      }
      return static_cast<int64_t>(length + skipped + sizeof prefix);
    }
    // Resynchronise: the next attempt starts one byte further on.
    if (skipped == 0) ++Damage.badLengthBlocks;
    ++skipped;
    ++Damage.resyncBytes;
    if (!Input.Seek(Input.Tell() - 3)) return 0;
  }
}

// ---------------------------------------------------------------- records

int CwScanner::ProcessBlock(Block& buffer) {
  if (buffer.empty()) return kNothing;
  switch (buffer[0]) {
    case kIdentRecord:
      return ProcessIdentification(buffer);
    case kFastRecord:
      return ProcessFast(buffer);
    case kScanRecord:
      return ProcessScan(buffer);
    default:
      return UnknownRecord();
  }
}

// Indexing needs of a measurement record only its header's GPS time and its
// kind: the receiver blocks and scan tables are not copied.
void CwScanner::IndexProcess(Block& buffer) {
  if (ConversionPass || Gathering || buffer.empty() ||
      (buffer[0] != kFastRecord && buffer[0] != kScanRecord)) {
    ProcessBlock(buffer);
    return;
  }
  TakeHeader(buffer);
  FollowSegmentType(buffer[0] == kFastRecord ? kSegmentFastData : kSegmentScanData, header_.gpsHour,
                    header_.gpsMinute, header_.gpsSecond);
}

void CwScanner::OnIdentification(const std::string&, const std::string&) {}

int CwScanner::ProcessIdentification(const Block& buffer) {
  ByteCursor c(buffer.data(), buffer.size());
  int32_t lengthA = c.le32s(kIdentLengthA);
  if (c.overrun() || lengthA < 0 || lengthA >= kMaxTextA) return kNothing;
  size_t textA = kIdentLengthA + 4;
  size_t lengthBAt = textA + static_cast<size_t>(lengthA);
  int32_t lengthB = c.le32s(lengthBAt);
  if (c.overrun() || lengthB < 0 || lengthB >= kMaxTextB) return kNothing;
  size_t textB = lengthBAt + 4;
  if (!c.has(textB, static_cast<size_t>(lengthB))) return kNothing;
  std::string a = CText(buffer.data() + textA, static_cast<size_t>(lengthA));
  std::string b = CText(buffer.data() + textB, static_cast<size_t>(lengthB));
  TextBuffer.clear();
  TextBuffer.append(a).append(" ").append(b).append("\n");
  OnIdentification(a, b);
  return kNothing;
}

void CwScanner::TakeHeader(const Block& buffer) {
  size_t size = std::min(HeaderSize(), kMaxHeaderSize);
  CopyPadded(headerBytes_.data(), buffer, 0, size);
  DecodeHeader(headerBytes_.data());
  // Fast and scan records are the measurements; both carry the GPS time.
  GatherTime(header_.gpsHour, header_.gpsMinute, header_.gpsSecond);
  GatherRecord();
}

bool CwScanner::SegmentIncludes(int16_t type) {
  bool started = FollowSegmentType(type, header_.gpsHour, header_.gpsMinute, header_.gpsSecond);
  // While indexing, the record that opens a segment only marks it.
  if (started && !ConversionPass) return false;
  return !SegmentDeselected;
}

int CwScanner::ProcessFast(const Block& buffer) {
  PendingRecordCount = 1;
  TakeHeader(buffer);
  if (!SegmentIncludes(kSegmentFastData)) return kNothing;
  const size_t blockSize = layout_.receiverBlockSize;
  for (int r = 0; r < layout_.receivers; ++r) {
    if (!ReceiverOn(r + 1)) continue;
    uint8_t* block = fastBlocks_.data() + static_cast<size_t>(r) * blockSize;
    CopyPadded(block, buffer, HeaderSize() + static_cast<size_t>(r) * blockSize, blockSize);
    if (le16(block + kBlockBaseMHz) == 0 || AverageMode != kAverageLambda) continue;
    if (LambdaFirst) Averages[static_cast<size_t>(r)].window = LambdaWindow(r);
    int completed = AccumulateLambda(r);
    PendingRecordCount = static_cast<int16_t>(std::max<int>(PendingRecordCount, completed));
  }
  LambdaFirst = false;
  return kRecordsReady;
}

int CwScanner::ProcessScan(const Block& buffer) {
  TakeHeader(buffer);
  CopyPadded(scanData_.data(), buffer, HeaderSize(), scanData_.size());
  if (!SegmentIncludes(kSegmentScanData)) return kNothing;
  if (AverageMode == kAverageBestServer) SelectBestServers();
  PendingRecordCount = 1;
  return kRecordsReady;
}

void CwScanner::SelectBestServers() {
  for (int r = 0; r < layout_.receivers; ++r) {
    int best = 0;
    int bestLevel = kBestServerFloor;
    for (int e = 0; e < kScanEntries; ++e) {
      if (ScanChannel(r, e) == 0) continue;
      int level = -ScanRssi(r, e);
      if (level > bestLevel) {
        best = e;
        bestLevel = level;
      }
    }
    BestServerIndex[static_cast<size_t>(r)] = static_cast<int16_t>(best);
  }
}

// ---------------------------------------------------------------- headers

void CwScanner::DecodeRtc(const uint8_t* rtc, uint8_t gpsStatus) {
  header_.rtcSecond = rtc[0];
  header_.rtcMinute = rtc[1];
  header_.rtcHour = rtc[2];
  header_.rtcDay = rtc[3];
  header_.rtcMonth = rtc[4];
  header_.rtcYear = rtc[5];
  header_.gpsStatus = gpsStatus;
}

void CwScanner::DecodeBcdHeader(const uint8_t* h, const BcdHeaderLayout& at) {
  DecodeRtc(h + at.rtcSecond, h[at.gpsStatus]);
  header_.latitude = BcdCoordinate(be32(h + at.latitude), h[at.latitudeHemisphere]);
  header_.longitude = BcdCoordinate(be32(h + at.longitude), h[at.longitudeHemisphere]);
  header_.gpsHour = bcd(h[at.gpsHour]);
  header_.gpsMinute = bcd(h[at.gpsHour + 1]);
  header_.gpsSecond = bcd(h[at.gpsHour + 2]);
  header_.marker = le16(h + at.marker);
  header_.altitudeM = 0;
  header_.speedMph = 0;
}

// ---------------------------------------------------------------- receivers

CwScanner::Tuning CwScanner::FastTuning(int r) const {
  const uint8_t* b = fastBlocks_.data() + static_cast<size_t>(r) * layout_.receiverBlockSize;
  return Tuning{b[kBlockFlags], le16(b + kBlockBaseMHz), le16(b + kBlockFraction),
                le16(b + kBlockSpacing), le16(b + kBlockBaseChannel)};
}

int CwScanner::FastChannel(int r) const {
  return le16(fastBlocks_.data() + static_cast<size_t>(r) * layout_.receiverBlockSize +
              kBlockChannel);
}

int CwScanner::MeanRssi(int r) const {
  const uint8_t* s = fastBlocks_.data() + static_cast<size_t>(r) * layout_.receiverBlockSize +
                     layout_.samplesOffset;
  return static_cast<int>(SumBytes(s, kSamplesPerBlock) / kSamplesPerBlock);
}

CwScanner::Tuning CwScanner::ScanTuning(int r) const {
  const uint8_t* d = scanData_.data() + static_cast<size_t>(r) * layout_.descriptorSize;
  return Tuning{d[kDescFlags], le16(d + kDescBaseMHz), le16(d + kDescFraction),
                le16(d + kDescSpacing), le16(d + kDescBaseChannel)};
}

int CwScanner::ScanChannel(int r, int entry) const {
  size_t at =
      layout_.tablesOffset +
      (static_cast<size_t>(r) * kScanEntries + static_cast<size_t>(entry)) * layout_.tableEntrySize;
  return le16(scanData_.data() + at + kEntryChannel);
}

int CwScanner::ScanRssi(int r, int entry) const {
  size_t at =
      layout_.tablesOffset +
      (static_cast<size_t>(r) * kScanEntries + static_cast<size_t>(entry)) * layout_.tableEntrySize;
  return scanData_[at + kEntryRssi];
}

double CwScanner::Frequency(const Tuning& t, int channel) const {
  double mhz = t.baseMHz + 0.0001 * t.fraction;
  if (t.flags & kFlagAbove1000) mhz += 1000;
  if (t.flags & kFlagTranslate) mhz += layout_.translateOffsetMHz;
  // A damaged setup can hold any channel and spacing: the product is taken
  // in double, where it cannot overflow (exact for every product an int holds).
  return mhz + 0.0001 * (static_cast<double>(channel - t.baseChannel) * t.spacing);
}

// Cellular numbering: stored channels up to 34 show as 989 up (34 is 1023;
// there is no channel 0), 35 and above as 1 up.
int CwScanner::DisplayedChannel(const Tuning& t, int channel) {
  if (!(t.flags & kFlagTranslate)) return channel;
  int shown = channel - kTranslateDown;
  return shown <= 0 ? channel + kTranslateWrap : shown;
}

// ---------------------------------------------------------------- averaging

int CwScanner::LambdaWindow(int r) {
  if (r < 0 || r >= layout_.receivers) return 0;
  return WindowFor(kLambdaConstant, Frequency(FastTuning(r), FastChannel(r)));
}

int CwScanner::AccumulateLambda(int r) {
  if (r < 0 || r >= layout_.receivers) return 0;
  const uint8_t* s = fastBlocks_.data() + static_cast<size_t>(r) * layout_.receiverBlockSize +
                     layout_.samplesOffset;
  return AccumulateSamples(r, s, kSamplesPerBlock);
}

// ---------------------------------------------------------------- text

int CwScanner::WriteDataTitles(int next, std::string& out, char delimiter) {
  out.clear();
  if (!TitlePending) return -1;
  if (next == 0) {
    titleReceiver_ = 0;
    if (Config().ScanTypeGroup == 0) titleRepeat_ = kScanTitleRepeat;
    if (Config().ScanTypeGroup == 1) titleRepeat_ = 1;
  }
  if (titleReceiver_ >= layout_.receivers) {
    TitlePending = 0;
    return -1;
  }
  int receiver = titleReceiver_ + 1;
  int result = 1;
  if (ReceiverOn(receiver)) {
    result = 0;
    int repeat = AverageMode == kAverageBestServer ? 1 : titleRepeat_;
    const std::pair<bool, const char*> titles[] = {{Config().FrequencyField, "Frequency"},
                                                   {Config().ChannelField, "Channel"},
                                                   {Config().RSSIField, "RSSI"}};
    for (int i = 0; i < repeat; ++i) {
      for (const auto& [on, name] : titles) {
        if (!on) continue;
        if (!out.empty()) out.push_back(delimiter);
        out.append("\"Rec#");
        text::d(out, receiver);
        out.push_back(' ');
        out.append(name);
        out.push_back('"');
      }
    }
  }
  if (++titleReceiver_ >= layout_.receivers) TitlePending = 0;
  return result;
}

int CwScanner::FormatDataValues(int next, std::string& out, char delimiter) {
  out.clear();
  if (next == 0) valueReceiver_ = 0;
  if (valueReceiver_ >= layout_.receivers) return -1;
  int r = valueReceiver_++;
  if (!ReceiverOn(r + 1)) return 1;
  if (SegmentType == kSegmentFastData) AppendFastValues(r, out, delimiter);
  if (SegmentType == kSegmentScanData) AppendScanValues(r, out, delimiter);
  return 0;
}

void CwScanner::AppendFastValues(int r, std::string& out, char delimiter) {
  bool first = true;
  auto separate = [&] {
    if (!first) out.push_back(delimiter);
    first = false;
  };
  if (Config().FrequencyField) {
    separate();
    AppendReceiverField(r, F::kPerReceiverFrequency, out);
  }
  if (Config().ChannelField) {
    separate();
    AppendReceiverField(r, F::kPerReceiverChannel, out);
  }
  if (!Config().RSSIField) return;
  separate();
  if (AverageMode != kAverageLambda) {
    AppendReceiverField(r, F::kPerReceiverRssi, out);
    return;
  }
  // The index of the row being written picks the average; a receiver that
  // completed fewer averages from this record leaves its column empty.
  const AverageBlock& a = Averages[static_cast<size_t>(r)];
  int index = PendingRecordCount - RemainingRecordCount;
  if (index >= 0 && index < a.completed && index < kMaxAverages)
    text::minusD(out, a.averages[static_cast<size_t>(index)]);
}

void CwScanner::AppendScanValues(int r, std::string& out, char delimiter) {
  const bool bestOnly = AverageMode == kAverageBestServer;
  int firstEntry = bestOnly ? BestServerIndex[static_cast<size_t>(r)] : 0;
  int lastEntry = bestOnly ? firstEntry : kScanEntries - 1;
  firstEntry = std::clamp(firstEntry, 0, kScanEntries - 1);
  const Tuning t = ScanTuning(r);
  bool first = true;
  auto separate = [&] {
    if (!first) out.push_back(delimiter);
    first = false;
  };
  for (int e = firstEntry; e <= lastEntry && e < kScanEntries; ++e) {
    int channel = ScanChannel(r, e);
    if (channel == 0) break;
    if (Config().FrequencyField) {
      separate();
      AppendKept(frequencyTexts_, out, Frequency(t, channel), text::f4);
    }
    if (Config().ChannelField) {
      separate();
      text::d(out, DisplayedChannel(t, channel));
    }
    if (Config().RSSIField) {
      separate();
      text::minusD(out, ScanRssi(r, e));
    }
  }
}

void CwScanner::AppendReceiverField(int r, int k, std::string& out) const {
  switch (k) {
    case F::kPerReceiverFrequency:
      AppendKept(frequencyTexts_, out, Frequency(FastTuning(r), FastChannel(r)), text::f4);
      break;
    case F::kPerReceiverChannel:
      text::d(out, DisplayedChannel(FastTuning(r), FastChannel(r)));
      break;
    case F::kPerReceiverRssi:
      text::minusD(out, MeanRssi(r));
      break;
    default:
      break;
  }
}

void CwScanner::FormatField(int id, std::string& out) {
  out.clear();
  const Header& h = header_;
  if (coordinateFields_.Append(id, out, h.latitude, h.longitude)) return;
  if (id > 100) {
    int r = id / 100;
    if (r <= layout_.receivers) AppendReceiverField(r - 1, id % 100, out);
    return;
  }
  switch (id) {
    case F::kGpsStatus:
      out.append((h.gpsStatus & kGpsValidBit) ? "OK" : "NO");
      break;
    case F::kGpsAltitude:
      if (layout_.hasMotion) text::d(out, h.altitudeM);
      break;
    case F::kGpsVelocity:
      if (layout_.hasMotion) text::d(out, h.speedMph);
      break;
    default:
      if (!HeaderField(id, out, h)) RowField(id, out);
      break;
  }
}

// ---------------------------------------------------------------- formats

CwScanner::Report CwScanner::ReportingValues() const {
  Report report;
  int receiver = FirstCheckedReceiver(layout_.receivers);
  if (Config().ScanTypeGroup != 1 || receiver == 0) return report;
  int r = receiver - 1;
  report.frequency = Frequency(FastTuning(r), FastChannel(r));
  report.channel = FastChannel(r);
  report.rssi = MeanRssi(r);
  return report;
}

void CwScanner::FillLayoutValues(formats::LayoutValues& v) const {
  const Header& h = header_;
  const Coordinate& lat = h.latitude;
  const Coordinate& lon = h.longitude;
  v.SetClocks(h.rtcYear, h.rtcMonth, h.rtcDay, h.gpsHour, h.gpsMinute, h.gpsSecond);
  v.rtcHour = h.rtcHour;
  v.rtcMinute = h.rtcMinute;
  v.rtcSecond = h.rtcSecond;
  v.latitude =
      formats::DecimalDegrees(lat.degrees, lat.minutes, lat.thousandths, lat.hemisphere != 'N');
  v.longitude =
      formats::DecimalDegrees(lon.degrees, lon.minutes, lon.thousandths, lon.hemisphere != 'E');
  // A fix needs the receiver's word and both hemispheres.
  const bool hemispheres = (lat.hemisphere == 'N' || lat.hemisphere == 'S') &&
                           (lon.hemisphere == 'E' || lon.hemisphere == 'W');
  v.positionFix = (h.gpsStatus & kGpsValidBit) && hemispheres;
  v.hasMarker = true;
  v.marker = h.marker;
  v.graysonLatDegrees = lat.degrees;
  v.graysonLatMicro = formats::MicroDegrees(lat.minutes, lat.thousandths);
  v.graysonLongitude = formats::DecimalDegrees(lon.degrees, lon.minutes, lon.thousandths, false);
  const Report report = ReportingValues();
  v.entries.push_back({report.frequency, report.channel, report.rssi,
                       report.rssi ? -static_cast<double>(report.rssi) : 0.0, 0});
}

// ---------------------------------------------------------------- readings

// One reading per column group of the converted row: per checked receiver
// its fast-data channel, or every entry of its scan table up to the first
// empty one. A fast-data block whose base frequency is 0 comes from a
// receiver that is not in use: its group holds no measurement.
void CwScanner::AppendRowReadings(std::vector<Reading>& readings) {
  for (int r = 0; r < layout_.receivers; ++r) {
    if (!ReceiverOn(r + 1)) continue;
    if (SegmentType == kSegmentFastData) {
      const Tuning t = FastTuning(r);
      if (t.baseMHz == 0) continue;
      readings.push_back(Reading{r + 1, DisplayedChannel(t, FastChannel(r)),
                                 Frequency(t, FastChannel(r)), -MeanRssi(r)});
    } else if (SegmentType == kSegmentScanData) {
      const Tuning t = ScanTuning(r);
      for (int e = 0; e < kScanEntries && ScanChannel(r, e) != 0; ++e) {
        const int channel = ScanChannel(r, e);
        readings.push_back(
            Reading{r + 1, DisplayedChannel(t, channel), Frequency(t, channel), -ScanRssi(r, e)});
      }
    }
  }
}

}  // namespace morphel
