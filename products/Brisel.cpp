#include "products/Brisel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Bytes.h"
#include "core/Fmt.h"
#include "products/FieldCatalog.h"
#include "products/Formats.h"
#include "products/SharedFields.h"

namespace morphel {

namespace {

// File headers: the bytes past the last whole sector and the sector count.
constexpr size_t kCopiedRemainderOffset = 2;  // u16
constexpr size_t kCopiedSectorsOffset = 4;    // u16
constexpr size_t kCardRemainderOffset = 4;    // u16
constexpr size_t kCardSectorsOffset = 6;      // u32
static_assert(kCopiedSectorsOffset + 2 == Brisel::kHeaderSize);
static_assert(kCardSectorsOffset + 4 == Brisel::kCardHeaderSize);

// Field positions inside records (type byte at 0).
constexpr size_t kBandFlagsOffset = 1;
constexpr size_t kBandSetupOffset = 2;
// Inside one receiver's band setup.
constexpr size_t kBandFirstOffset = 0;  // u32
constexpr size_t kBandLastOffset = 4;   // u32
constexpr size_t kBandStepOffset = 8;   // u16
constexpr size_t kBandFlagsInSetup = 10;
static_assert(kBandFlagsInSetup < Brisel::kBandSetupSize);
static_assert(kBandSetupOffset + Brisel::kReceivers * Brisel::kBandSetupSize ==
              Brisel::kBandSetupRecordSize);

constexpr size_t kSamplesOffset = 1;
constexpr size_t kClockSecond = 1, kClockMinute = 2, kClockHour = 3, kClockDay = 4, kClockMonth = 5,
                 kClockYear = 6, kClockMarker = 7;
static_assert(kClockMarker + 1 == Brisel::kClockRecordSize);

// Segment headers: one frequency count (u32) per receiver, or a list of them.
constexpr size_t kCountsOffset = 1;
constexpr size_t kCountSize = 4;
static_assert(kCountsOffset + Brisel::kReceivers * kCountSize <=
              Brisel::kSingleFrequencyHeaderSize);
static_assert(kCountsOffset + Brisel::kReceivers * Brisel::kListEntries * kCountSize ==
              Brisel::kListHeaderSize);

// List readings: triples of receiver, slot and level.
constexpr size_t kTriplesOffset = 1;
constexpr size_t kTripleSize = 3;
constexpr size_t kTripleReceiver = 0, kTripleSlot = 1, kTripleLevel = 2;
// Table readings: quadruples of receiver, channel index (u16) and level.
constexpr size_t kQuadruplesOffset = 1;
constexpr size_t kQuadrupleSize = 4;
constexpr size_t kQuadrupleReceiver = 0, kQuadrupleChannel = 1, kQuadrupleLevel = 3;

constexpr size_t kTpLatHemisphere = 7, kTpLatDegrees = 8, kTpLatFraction = 10,
                 kTpLonHemisphere = 14, kTpLonDegrees = 15, kTpLonFraction = 17;
static_assert(kTpLonFraction + 4 == Brisel::kTpPositionSize);
constexpr size_t kTpSpeed = 3, kTpDirection = 5;
static_assert(kTpDirection + 2 == Brisel::kTpMotionSize);

// Cellular numbering: the first 34 channels of the band carry the numbers
// 991 and up, the rest start again at 1.
constexpr int kCellularLowBlock = 34;
constexpr int kCellularOffset = 990;
constexpr int kCellularFirstHigh = 991;

constexpr int kTpYearBase = 1900;
constexpr double kMetresPerCentimetre = 0.01;
constexpr double kMphPerCentimetreSecond = 0.02237;

int8_t Signed(uint8_t b) {
  return static_cast<int8_t>(b);
}

// The layouts print a level as a magnitude below 1 mW with the minus sign in
// the layout itself ("-%d"). Brisel levels are signed dBm, so -85 dBm is the
// magnitude 85 and prints as "-85"; a level at or above 0 dBm, beyond any
// receiver's range, counts as 0.
long Magnitude(int rssiDbm) {
  return rssiDbm < 0 ? -static_cast<long>(rssiDbm) : 0;
}

}  // namespace

int Brisel::ChannelFromCount(uint32_t count, const BandSetup& band) {
  // The instrument works the index out in 16 bits.
  auto index = static_cast<int16_t>(static_cast<uint16_t>(count - band.first + 1));
  int channel = index;
  if (band.Cellular())
    channel = index <= kCellularLowBlock ? index + kCellularOffset : index - kCellularLowBlock;
  return channel < 0 ? 0 : channel;
}

int64_t Brisel::CountFromChannel(int32_t channel, const BandSetup& band) {
  int64_t index = channel;
  if (band.Cellular())
    index = channel >= kCellularFirstHigh ? channel - kCellularOffset : channel + kCellularLowBlock;
  return index + static_cast<int64_t>(band.first) - 1;
}

Brisel::Brisel() {
  using F = FieldCatalog;
  SetAvailableFields(F::kData, F::kCrLf, F::kPositionFields, F::kGpsTimeFields, F::kGpsDate,
                     F::kGpsMonth, F::kGpsDay, F::kGpsYear, F::kGpsAltitude, F::kGpsVelocity,
                     F::kGpsStatus, F::kMarkerValue, F::kRtcFields, F::kBandFields,
                     F::kRecordNumber, F::kTpLatitude, F::kTpLongitude, F::kTpDate, F::kTpTime);
  ResetState();
}

Brisel::~Brisel() = default;

// Everything a log teaches the reader starts afresh with each file, so the
// indexing pass and every conversion of the same log see the same records
// the same way (best-server sweeps included).
void Brisel::ResetState() {
  gps_ = TGPS{};
  rx_ = {};
  current_ = 0;
  kind_ = Kind::None;
  samples_ = 0;
  timeSeen_ = bandsSeen_ = singleFrequencySeen_ = listSeen_ = false;
  newTableSegment_ = false;
  timeSource_ = TimeSource::None;
  clock_ = Clock{};
  tpPosition_ = TpPosition{};
  tpMotion_ = TpMotion{};
  dataEnd_ = 0;
  position_ = 0;
}

int Brisel::Open(const std::string& path) {
  ResetState();
  SegmentStartTime.clear();
  if (Product::Open(path) != 0) return -1;
  RecordCounter = 0;
  const bool card = Config().InputFormatGroup == kCardItem;
  const size_t headerSize = card ? kCardHeaderSize : kHeaderSize;
  std::array<uint8_t, kCardHeaderSize> header{};
  const size_t got = Input.Read(header.data(), headerSize);
  uint64_t remainder = 0;
  uint64_t sectors = 0;
  if (got == headerSize) {
    ByteCursor h(header.data(), headerSize);
    remainder = h.le16(card ? kCardRemainderOffset : kCopiedRemainderOffset);
    sectors = card ? h.le32(kCardSectorsOffset) : h.le16(kCopiedSectorsOffset);
  }
  dataEnd_ = sectors * kSectorSize + remainder;
  if (dataEnd_ == 0) dataEnd_ = Input.Size();
  position_ = headerSize;
  Input.Seek(position_);
  return 0;
}

void Brisel::Close() {
  gps_ = TGPS{};
  Product::Close();
}

bool Brisel::Ready(Kind kind) const {
  if (!timeSeen_ || !bandsSeen_) return false;
  if (kind == Kind::Samples) return singleFrequencySeen_;
  if (kind == Kind::List) return listSeen_;
  return true;
}

bool Brisel::BeginSegmentIfNew(int16_t mode) {
  if (SegmentType == mode) return false;
  SegmentType = mode;
  if (!ConversionPass) {
    // The caption is the last time record's text ("GPS hh:mm:ss"); indexing
    // picks it up as soon as there is one.
    SegmentReady = true;
  } else {
    SegmentDeselected = !SegmentNodes.Included(SegmentCounter);
  }
  if (SegmentCounter < std::numeric_limits<int32_t>::max()) ++SegmentCounter;
  return true;
}

int Brisel::ProcessBlock(Block& block) {
  if (block.empty()) return kNothing;
  switch (block[0]) {
    case kGpsRecord:
      return OnGps(block);
    case kBandSetupRecord:
      return OnBandSetups(block);
    case kSamplesReceiver1:
      return OnSamples(block, 0);
    case kSamplesReceiver2:
      return OnSamples(block, 1);
    case kClockRecord:
      return OnClock(block);
    case kSingleFrequencyHeader:
    case kListHeader:
      return OnSegmentHeader(block);
    case kListReadings:
      return OnListReadings(block);
    case kTableReadings:
      return OnTableReadings(block);
    case kTpPosition:
      return OnTpPosition(block);
    case kTpMotion:
      return OnTpMotion(block);
    case kIgnoredRecord:
      return kNothing;
    default:
      return UnknownRecord();
  }
}

int Brisel::OnGps(const Block& block) {
  if (block.size() < kGpsRecordSize) return ShortRecord();
  gps_.Decode(std::span<const uint8_t>(block.data() + 1, kGpsBlockSize));
  GatherTime(gps_.Hour(), gps_.Minute(), gps_.Second());
  timeSource_ = TimeSource::Gps;
  timeSeen_ = true;
  SegmentStartTime = "GPS ";
  text::hms(SegmentStartTime, gps_.Hour(), gps_.Minute(), gps_.Second());
  return kNothing;
}

int Brisel::OnBandSetups(const Block& block) {
  if (block.size() < kBandSetupRecordSize) return ShortRecord();
  ByteCursor c(block.data(), block.size());
  const uint8_t flags = c.u8(kBandFlagsOffset);
  for (int r = 0; r < kReceivers; ++r) {
    const size_t at = kBandSetupOffset + static_cast<size_t>(r) * kBandSetupSize;
    ReceiverState& rx = rx_[static_cast<size_t>(r)];
    rx.band.first = c.le32(at + kBandFirstOffset);
    rx.band.last = c.le32(at + kBandLastOffset);
    rx.band.step = c.le16(at + kBandStepOffset);
    rx.band.flags = c.u8(at + kBandFlagsInSetup);
    rx.present = (flags >> r & 0x01) != 0;
    // The record carries no first channel; the slot starts empty.
    rx.channels[0] = 0;
  }
  bandsSeen_ = true;
  return kNothing;
}

int Brisel::OnSamples(const Block& block, int receiver) {
  GatherRecord();
  if (SegmentDeselected) return kNothing;
  kind_ = Kind::Samples;
  // The last payload byte closes the run and is not a sample.
  const size_t inRun = block.size() >= 2 ? block.size() - 2 : 0;
  samples_ = std::min(inRun, kSlots);
  ReceiverState& rx = rx_[static_cast<size_t>(receiver)];
  ByteCursor c(block.data(), block.size());
  for (size_t i = 0; i < samples_; ++i) {
    rx.rssi[i] = Signed(c.u8(kSamplesOffset + i));
    rx.listed[i] = false;
  }
  PendingRecordCount = 1;
  if (!Ready(Kind::Samples)) return kNothing;
  if (ConversionPass) rx.newSamples = true;
  return kRecordsReady;
}

int Brisel::OnClock(const Block& block) {
  if (block.size() < kClockRecordSize) return ShortRecord();
  ByteCursor c(block.data(), block.size());
  clock_.second = c.u8(kClockSecond);
  clock_.minute = c.u8(kClockMinute);
  clock_.hour = c.u8(kClockHour);
  clock_.day = c.u8(kClockDay);
  clock_.month = c.u8(kClockMonth);
  clock_.year = c.u8(kClockYear);
  clock_.marker = c.u8(kClockMarker);
  // The GPS blocks come every second, the clock only every few: the clock
  // counts seconds only in a log without GPS.
  GatherTime(clock_.hour, clock_.minute, clock_.second, true);
  timeSource_ = TimeSource::Clock;
  timeSeen_ = true;
  SegmentStartTime = "RTC ";
  text::hms(SegmentStartTime, clock_.hour, clock_.minute, clock_.second);
  return kNothing;
}

int Brisel::OnSegmentHeader(const Block& block) {
  const bool single = block[0] == kSingleFrequencyHeader;
  if (block.size() < (single ? kSingleFrequencyHeaderSize : kListHeaderSize)) return ShortRecord();
  (single ? singleFrequencySeen_ : listSeen_) = true;
  // A list shows only what was measured since its header: the slots may hold
  // the levels of an earlier list or of a sample run.
  for (auto& rx : rx_) rx.listed.fill(false);
  const bool started = BeginSegmentIfNew(single ? kSegmentSingleFrequency : kSegmentListData);
  if (!ConversionPass || SegmentDeselected) return kNothing;
  ByteCursor c(block.data(), block.size());
  if (single) {
    for (int r = 0; r < kReceivers; ++r) {
      const uint32_t count = c.le32(kCountsOffset + kCountSize * static_cast<size_t>(r));
      auto& counts = rx_[static_cast<size_t>(r)].counts;
      std::fill(counts.begin(), counts.begin() + kSingleFrequencySlots, count);
    }
  } else {
    for (int r = 0; r < kReceivers; ++r)
      for (size_t i = 0; i < kListEntries; ++i)
        rx_[static_cast<size_t>(r)].counts[i] =
            c.le32(kCountsOffset + kCountSize * (static_cast<size_t>(r) * kListEntries + i));
  }
  // The titles written at this boundary describe the segment it opens, and
  // each new segment gets its own title line.
  kind_ = single ? Kind::Samples : Kind::List;
  if (started) TitlePending = 1;
  return kBoundary;
}

int Brisel::OnListReadings(const Block& block) {
  GatherRecord();
  if (SegmentDeselected) return kNothing;
  kind_ = Kind::List;
  ByteCursor c(block.data(), block.size());
  for (size_t k = 0; k < kListTriples; ++k) {
    const uint8_t* bytes = c.ptr(kTriplesOffset + kTripleSize * k, kTripleSize);
    if (!bytes) break;
    ByteCursor triple(bytes, kTripleSize);
    const uint8_t receiver = triple.u8(kTripleReceiver);
    const uint8_t slot = triple.u8(kTripleSlot);
    if (receiver >= kReceivers || slot >= kListEntries) continue;
    rx_[receiver].rssi[slot] = Signed(triple.u8(kTripleLevel));
    rx_[receiver].listed[slot] = true;
  }
  PendingRecordCount = 1;
  return Ready(Kind::List) ? kRecordsReady : kNothing;
}

void Brisel::TrackBestServer(ReceiverState& rx, int32_t channel, int rssi) {
  if (rx.sweepCompleted) {
    rx.sweepCompleted = false;
    rx.bestRssi = rx.pendingRssi;
    rx.bestChannel = rx.pendingChannel;
  } else if (rx.bestChannel >= channel) {
    // The sweep has started over: what was best is the sweep's result.
    rx.sweepCompleted = true;
    if (rx.bestChannel != kNoBestChannel) {
      rx.sweepEndedInRecord = true;
      rx.reportRssi = rx.bestRssi;
      rx.reportChannel = rx.bestChannel;
    }
    rx.pendingRssi = rssi;
    rx.pendingChannel = channel;
  }
  if (!rx.sweepCompleted && rssi >= rx.bestRssi) {
    rx.bestRssi = rssi;
    rx.bestChannel = channel;
  }
}

int Brisel::OnTableReadings(const Block& block) {
  GatherRecord();
  const bool started = BeginSegmentIfNew(kSegmentScanData);  // "Table Data"
  if (!ConversionPass) return kNothing;
  if (started) newTableSegment_ = true;
  if (SegmentDeselected) return kNothing;
  kind_ = Kind::Table;
  for (auto& rx : rx_) {
    rx.channels.fill(0);
    rx.readInRecord = false;
    rx.sweepEndedInRecord = false;
  }
  ByteCursor c(block.data(), block.size());
  for (size_t k = 0; k < kTableQuadruples; ++k) {
    const uint8_t* bytes = c.ptr(kQuadruplesOffset + kQuadrupleSize * k, kQuadrupleSize);
    if (!bytes) break;
    ByteCursor quadruple(bytes, kQuadrupleSize);
    const uint8_t receiver = quadruple.u8(kQuadrupleReceiver);
    if (receiver >= kReceivers) continue;
    // Channel numbers count from 1, the stored index from 0.
    const int32_t channel = quadruple.le16(kQuadrupleChannel) + 1;
    const int rssi = Signed(quadruple.u8(kQuadrupleLevel));
    ReceiverState& rx = rx_[receiver];
    rx.channels[k] = channel;
    rx.rssi[k] = static_cast<int8_t>(rssi);
    rx.listed[k] = false;
    rx.readInRecord = true;
    TrackBestServer(rx, channel, rssi);
  }
  if (BestServerMode() && !rx_[0].sweepEndedInRecord && !rx_[1].sweepEndedInRecord) {
    PendingRecordCount = 0;
    return kNothing;
  }
  PendingRecordCount = 1;
  if (!Ready(Kind::Table)) return kNothing;
  // The first record written from a segment marks its boundary, even when
  // the segment's first records could not be written yet.
  const bool boundary = newTableSegment_;
  newTableSegment_ = false;
  return boundary ? kBoundaryAndRecords : kRecordsReady;
}

int Brisel::OnTpPosition(const Block& block) {
  if (block.size() < kTpPositionSize) return ShortRecord();
  ByteCursor c(block.data(), block.size());
  TpPosition& p = tpPosition_;
  p.second = c.u8(kClockSecond);
  p.minute = c.u8(kClockMinute);
  p.hour = c.u8(kClockHour);
  p.day = c.u8(kClockDay);
  p.month = c.u8(kClockMonth);
  p.year = c.u8(kClockYear);
  p.latHemisphere = c.u8(kTpLatHemisphere);
  p.latDegrees = c.le16(kTpLatDegrees);
  p.latFraction = c.le32s(kTpLatFraction);
  p.lonHemisphere = c.u8(kTpLonHemisphere);
  p.lonDegrees = c.le16(kTpLonDegrees);
  p.lonFraction = c.le32s(kTpLonFraction);
  return kNothing;
}

int Brisel::OnTpMotion(const Block& block) {
  if (block.size() < kTpMotionSize) return ShortRecord();
  ByteCursor c(block.data(), block.size());
  tpMotion_.speed = c.le16s(kTpSpeed);
  tpMotion_.direction = c.le16(kTpDirection);
  return kNothing;
}

bool Brisel::ReceiverHasData(int receiver) {
  if (receiver < 1 || receiver > kReceivers) return false;
  current_ = receiver - 1;
  ReceiverState& rx = rx_[static_cast<size_t>(current_)];
  if (!ReceiverOn(receiver) || !rx.present) return false;
  switch (kind_) {
    case Kind::Samples:
      if (!rx.newSamples) return false;
      rx.newSamples = false;
      return true;
    case Kind::Table:
      // A receiver without readings in this record has nothing new to say.
      return BestServerMode() ? rx.sweepEndedInRecord : rx.readInRecord;
    default:
      return true;
  }
}

// ---- Text of the data columns ------------------------------------------

int Brisel::WriteDataTitles(int next, std::string& out, char delimiter) {
  out.clear();
  if (next != 0) return -1;
  int groups = 0;
  switch (kind_) {
    case Kind::Samples:
      groups = 1;
      break;
    case Kind::List:
      groups = BestServerMode() ? 1 : static_cast<int>(kListEntries);
      break;
    case Kind::Table:
      groups = BestServerMode() ? 1 : static_cast<int>(kTableQuadruples);
      break;
    case Kind::None:
      break;
  }
  const Settings& s = Config();
  bool first = true;
  auto title = [&](bool on, const char* name) {
    if (!on) return;
    if (!first) out.push_back(delimiter);
    out.append(name);
    first = false;
  };
  for (int g = 0; g < groups; ++g) {
    title(s.FrequencyField, "\"Frequency\"");
    title(s.ChannelField, "\"Channel\"");
    title(s.RSSIField, "\"RSSI\"");
  }
  return 0;
}

void Brisel::AppendEntry(std::string& out, bool& first, char delimiter, const Entry* e) const {
  const Settings& s = Config();
  auto sep = [&] {
    if (!first) out.push_back(delimiter);
    first = false;
  };
  if (s.FrequencyField) {
    sep();
    if (e)
      AppendKept(frequencyTexts_, out, e->mhz, [](std::string& t, double v) { text::f(t, v, 5); });
  }
  if (s.ChannelField) {
    sep();
    if (e) text::d(out, e->channel);
  }
  if (s.RSSIField) {
    sep();
    if (e) text::d(out, e->rssi);
  }
}

Brisel::Entry Brisel::SampleOrListEntry(const ReceiverState& rx, size_t slot) const {
  return Entry{rx.band.MHz(rx.counts[slot]), ChannelFromCount(rx.counts[slot], rx.band),
               rx.rssi[slot]};
}

// The strongest listed frequency measured in this segment (the first of
// equal levels wins), or kListEntries when there is none.
size_t Brisel::BestListed(const ReceiverState& rx) {
  int best = -150;
  size_t at = kListEntries;
  for (size_t i = 0; i < kListEntries; ++i)
    if (rx.counts[i] != 0 && rx.listed[i] && rx.rssi[i] > best) {
      best = rx.rssi[i];
      at = i;
    }
  return at;
}

Brisel::Entry Brisel::TableEntry(const ReceiverState& rx, int32_t channel, int rssi) const {
  return Entry{rx.band.MHz(CountFromChannel(channel, rx.band)), channel, rssi};
}

int Brisel::FormatDataValues(int next, std::string& out, char delimiter) {
  out.clear();
  if (next != 0) return -1;
  const ReceiverState& rx = rx_[static_cast<size_t>(current_)];
  bool first = true;
  auto append = [&](const Entry& e) { AppendEntry(out, first, delimiter, &e); };
  switch (kind_) {
    case Kind::Samples:
      for (size_t i = 0; i < samples_ && i < kSlots; ++i)
        if (rx.counts[i] != 0) append(SampleOrListEntry(rx, i));
      break;
    case Kind::List:
      if (BestServerMode()) {
        const size_t at = BestListed(rx);
        if (at < kListEntries) append(SampleOrListEntry(rx, at));
      } else {
        // A listed frequency not yet measured keeps its columns, empty.
        for (size_t i = 0; i < kListEntries; ++i) {
          if (rx.counts[i] == 0) continue;
          if (rx.listed[i]) {
            append(SampleOrListEntry(rx, i));
          } else {
            AppendEntry(out, first, delimiter, nullptr);
          }
        }
      }
      break;
    case Kind::Table:
      if (BestServerMode()) {
        append(TableEntry(rx, rx.reportChannel, rx.reportRssi));
      } else {
        // Entry k lines up with the k-th title group: a slot that holds no
        // reading of this receiver keeps its columns, empty.
        for (size_t k = 0; k < kTableQuadruples; ++k) {
          if (rx.channels[k] != 0) {
            append(TableEntry(rx, rx.channels[k], rx.rssi[k]));
          } else {
            AppendEntry(out, first, delimiter, nullptr);
          }
        }
      }
      break;
    case Kind::None:
      break;
  }
  return 0;
}

// ---- Single fields ---------------------------------------------------------

namespace {
// "%.6f" of a position value, made once per fix.
void SixPlaces(std::string& out, CachedText<uint64_t>& kept, double v) {
  kept.Append(out, ValueKey(v), [v](std::string& t) { text::f(t, v, 6); });
}
}  // namespace

bool Brisel::FormatGpsField(int id, std::string& out) const {
  using F = FieldCatalog;
  const TGPS& g = gps_;
  switch (id) {
    case F::kLatDecimal:
      SixPlaces(out, positionText_[0], g.Latitude().decimalDegrees);
      return true;
    case F::kLatDegrees:
      text::d(out, g.Latitude().degrees);
      return true;
    case F::kLatMinutes:
      text::d(out, g.Latitude().minutes);
      return true;
    case F::kLatDecimalMinutes:
      SixPlaces(out, positionText_[1], g.Latitude().decimalMinutes);
      return true;
    case F::kLatSeconds:
      text::d(out, g.Latitude().seconds);
      return true;
    case F::kLatHemisphere:
      out.push_back(g.Latitude().hemisphere);
      return true;
    case F::kLonDecimal:
      SixPlaces(out, positionText_[2], g.Longitude().decimalDegrees);
      return true;
    case F::kLonDegrees:
      text::d(out, g.Longitude().degrees);
      return true;
    case F::kLonMinutes:
      text::d(out, g.Longitude().minutes);
      return true;
    case F::kLonDecimalMinutes:
      SixPlaces(out, positionText_[3], g.Longitude().decimalMinutes);
      return true;
    case F::kLonSeconds:
      text::d(out, g.Longitude().seconds);
      return true;
    case F::kLonHemisphere:
      out.push_back(g.Longitude().hemisphere);
      return true;
    case F::kGpsStatus:
      out.append(g.StatusText());
      return true;
    case F::kGpsDate:  // "%02d/%02d/%04d"
      text::d02(out, g.Month());
      out.push_back('/');
      text::d02(out, g.Day());
      out.push_back('/');
      text::d04(out, g.Year());
      return true;
    case F::kGpsMonth:
      text::d02(out, g.Month());
      return true;
    case F::kGpsDay:
      text::d02(out, g.Day());
      return true;
    case F::kGpsYear:
      text::d02(out, g.Year());
      return true;
    case F::kGpsAltitude:
      text::f(out, g.GpsHeight() * kMetresPerCentimetre, 0);
      return true;
    case F::kGpsVelocity:
      text::f(out, g.Speed3D() * kMphPerCentimetreSecond, 0);
      return true;
    case F::kGpsTime:
    case F::kGpsHour:
    case F::kGpsMinute:
    case F::kGpsSecond:
      return GpsTimeField(id, out, g.Hour(), g.Minute(), g.Second());
    default:
      return false;
  }
}

bool Brisel::FormatClockField(int id, std::string& out) const {
  using F = FieldCatalog;
  const Clock& c = clock_;
  if (RtcField(id, out, c.year, c.month, c.day, c.hour, c.minute, c.second)) return true;
  switch (id) {
    case F::kMarkerValue:
      text::d02(out, c.marker % 100);
      return true;
    default:
      return false;
  }
}

bool Brisel::FormatTpField(int id, std::string& out) const {
  using F = FieldCatalog;
  const TpPosition& p = tpPosition_;
  // "%d.%d %c"; a zero letter ends the text as it would a C string.
  auto coordinate = [&out](int degrees, int32_t fraction, uint8_t hemisphere) {
    text::d(out, degrees);
    out.push_back('.');
    text::d(out, fraction);
    out.push_back(' ');
    if (hemisphere != 0) out.push_back(static_cast<char>(hemisphere));
  };
  switch (id) {
    case F::kTpLatitude:
      coordinate(p.latDegrees, p.latFraction, p.latHemisphere);
      return true;
    case F::kTpLongitude:
      coordinate(p.lonDegrees, p.lonFraction, p.lonHemisphere);
      return true;
    case F::kTpDate:
      text::mdy(out, p.month + 1, p.day, p.year + kTpYearBase);
      return true;
    case F::kTpTime:
      text::hms(out, p.hour, p.minute, p.second);
      return true;
    case F::kTpSpeed:
      text::d(out, tpMotion_.speed);
      return true;
    case F::kTpDirection:
      text::u(out, tpMotion_.direction);
      return true;
    default:
      return false;
  }
}

void Brisel::FormatField(int id, std::string& out) {
  out.clear();
  if (FormatGpsField(id, out) || FormatClockField(id, out) || FormatTpField(id, out) ||
      RowField(id, out))
    return;
  BandField(id, out, [this] {
    const BandSetup& band = rx_[static_cast<size_t>(current_)].band;
    return BandTexts{band.MHz(band.first), band.MHz(band.last), 5, band.StepKHz(), 2, current_ + 1};
  });
}

// ---- Post-processing layouts ----------------------------------------------

Brisel::Entry Brisel::MeasuredEntry() const {
  const int receiver = FirstCheckedReceiver(kReceivers);
  if (receiver == 0 || Config().ScanTypeGroup != 1) return Entry{};
  const ReceiverState& rx = rx_[static_cast<size_t>(receiver - 1)];
  // Slot 0 as the data lines show it: table data carries its channel, the
  // sample runs and lists a frequency count.
  // A slot without a reading reports nothing.
  if (kind_ == Kind::Table)
    return rx.channels[0] != 0 ? TableEntry(rx, rx.channels[0], rx.rssi[0]) : Entry{};
  if (kind_ == Kind::List && !rx.listed[0]) return Entry{};
  return rx.counts[0] != 0 ? SampleOrListEntry(rx, 0) : Entry{};
}

namespace {
// Status codes of the GPS receiver that stand for a position fix.
constexpr int kFix2D = 6;
constexpr int kFix3D = 7;
}  // namespace

void Brisel::FillLayoutValues(formats::LayoutValues& v) const {
  const TGPS& g = gps_;
  v.SetClocks(clock_.year, clock_.month, clock_.day, g.Hour(), g.Minute(), g.Second());
  v.rtcHour = clock_.hour;
  v.rtcMinute = clock_.minute;
  v.rtcSecond = clock_.second;
  v.gpsYear = g.Year();
  v.gpsMonth = g.Month();
  v.gpsDay = g.Day();
  // The record's time is that of the last time record, GPS block or clock.
  v.clock = timeSource_ == TimeSource::Gps     ? formats::RecordClock::Gps
            : timeSource_ == TimeSource::Clock ? formats::RecordClock::Receiver
                                               : formats::RecordClock::None;
  v.latitude = g.Latitude().decimalDegrees;
  v.longitude = g.Longitude().decimalDegrees;
  v.positionFix = g.StatusCode() == kFix2D || g.StatusCode() == kFix3D;
  v.hasMarker = true;
  v.marker = clock_.marker % 100;
  v.graysonLatDegrees = g.Latitude().degrees;
  // Millionths of a degree of the latitude's minutes.
  v.graysonLatMicro = static_cast<long>(std::trunc(g.Latitude().decimalMinutes / 60.0 * 1000000.0));
  v.graysonLongitude = g.Longitude().decimalDegrees;
  // The Brisel receivers report frequencies to five decimals.
  v.planetDecimals = 5;
  const Entry e = MeasuredEntry();
  const long magnitude = Magnitude(e.rssi);
  v.entries.push_back(
      {e.mhz, static_cast<long>(e.channel), magnitude, -static_cast<double>(magnitude), 0});
}

// ---- Readings ----------------------------------------------------------------

// The entries the data line of the receiver ReceiverHasData chose shows.
void Brisel::AppendRowReadings(std::vector<Reading>& readings) {
  const int receiver = current_ + 1;
  const ReceiverState& rx = rx_[static_cast<size_t>(current_)];
  auto add = [&readings, receiver](const Entry& e) {
    readings.push_back(
        Reading{receiver, static_cast<int>(e.channel), e.mhz, static_cast<int>(e.rssi)});
  };
  if (kind_ == Kind::Table) {
    for (size_t k = 0; k < kTableQuadruples; ++k)
      if (rx.channels[k] != 0) add(TableEntry(rx, rx.channels[k], rx.rssi[k]));
    return;
  }
  const size_t slots = kind_ == Kind::Samples ? std::min(samples_, kSlots)
                       : kind_ == Kind::List  ? kListEntries
                                              : 0;
  for (size_t i = 0; i < slots; ++i)
    if (rx.counts[i] != 0) add(SampleOrListEntry(rx, i));
}

}  // namespace morphel
