#include "products/Product.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "core/Bytes.h"
#include "core/Fmt.h"
#include "products/FieldCatalog.h"

namespace morphel {

const Settings Product::kStartupSettings{};

Product::Product() {
  SelectedFieldIds.fill(kNoFieldId);
  AvailableFieldIds.fill(kNoFieldId);
}

Product::~Product() = default;

void Product::DecodeGpsBlock() {
  const uint8_t* b = RawGps.data();
  Gps.word0 = b[0];
  Gps.word1 = b[1];
  Gps.word2 = be16(b + 2);
  Gps.word4 = b[4];
  Gps.word5 = b[5];
  Gps.word6 = b[6];
  Gps.value7 = be32s(b + 7);
  Gps.latitude = be32s(b + 11) / 3600000.0;
  Gps.longitude = be32s(b + 15) / 3600000.0;
  Gps.altitude = static_cast<double>(be32s(b + 19));
  Gps.word27 = be16(b + 27);
  Gps.word29 = be16(b + 29);
  Gps.word31 = be16(b + 31);
  Gps.status = b[33];
  Gps.word34 = b[34];
  Gps.word35 = b[35];
  for (size_t i = 0; i < Gps.satellites.size(); ++i) Gps.satellites[i] = b[36 + i];
  Gps.status2 = b[68];
}

void Product::AttachReceiverSelectors(const Settings* settings) {
  settings_ = settings ? settings : &kStartupSettings;
}

int Product::Open(const std::string& path) {
  SegmentType = -1;
  SegmentCounter = 0;
  SegmentReady = false;
  SegmentDeselected = false;
  RecordCounter = 0;
  TitlePending = 1;
  Damage = DamageCounts{};
  TextBuffer.clear();
  if (!Input.Open(path)) return -1;
  for (auto& list : ReadingLists) list.clear();
  return 0;
}

void Product::Close() {
  Input.Close();
}

// A reader without data columns contributes none (a zero answer here would
// make the title walk ask for ever).
int Product::WriteDataTitles(int, std::string& out, char) {
  out.clear();
  return -1;
}

int Product::FormatDataValues(int, std::string& out, char) {
  out.clear();
  return -1;
}

void Product::FormatField(int, std::string& out) {
  out.clear();
}
int64_t Product::ReadBlock(Block&) {
  return 0;
}
int Product::ProcessBlock(Block&) {
  return kNothing;
}

FieldChange Product::FieldChangeOf(int) const {
  return FieldChange::EveryRow;
}

void Product::WriteDataColumns(RowOutput& out, bool first) {
  const char delimiter = out.Delimiter();
  int r = FormatDataValues(0, dataColumns_, delimiter);
  if (!first && r == 0) out.Separator();
  while (r >= 0) {
    out.Text(dataColumns_);
    r = FormatDataValues(1, dataColumns_, delimiter);
    if (r == 0) out.Separator();
  }
}

void Product::FillLayoutValues(formats::LayoutValues&) const {}

Layout Product::ChosenLayout() const {
  const FormatRow* row = FormatRowFor(Config().OutputFormatGroup);
  return row ? row->layout : Layout::Delimited;
}

const formats::LayoutValues& Product::CurrentLayoutValues() {
  // The entries keep their storage from record to record.
  std::vector<formats::LayoutEntry> entries = std::move(layoutValues_.entries);
  entries.clear();
  layoutValues_ = formats::LayoutValues{};
  layoutValues_.entries = std::move(entries);
  FillLayoutValues(layoutValues_);
  return layoutValues_;
}

int Product::WriteFormatHeader(std::string& out) {
  out.clear();
  const Layout layout = ChosenLayout();
  if (layout != Layout::Delimited) formats::WriteHeader(layout, CurrentLayoutValues(), out);
  return static_cast<int>(out.size());
}

int Product::WriteFormatRecord(std::string& out) {
  out.clear();
  const Layout layout = ChosenLayout();
  if (layout != Layout::Delimited) formats::WriteRecord(layout, CurrentLayoutValues(), out);
  return static_cast<int>(out.size());
}

int Product::WriteFormatTrailer(std::string& out) {
  out.clear();
  const Layout layout = ChosenLayout();
  if (layout != Layout::Delimited) formats::WriteTrailer(layout, CurrentLayoutValues(), out);
  return static_cast<int>(out.size());
}

int Product::SetAverageMode(int mode) {
  AverageMode = static_cast<int16_t>(mode);
  AverageStep = 0;
  for (auto& a : Averages) a = AverageBlock{};
  if (mode == kAverageLambda) LambdaFirst = true;
  return 0;
}

int Product::AccumulateLambda(int) {
  return 0;
}
int Product::LambdaWindow(int) {
  return 0;
}
bool Product::ReceiverHasData(int) {
  return false;
}

std::vector<int> Product::AvailableFields() const {
  std::vector<int> ids;
  for (int i = 0; i < AvailableCount; ++i) ids.push_back(AvailableFieldIds[static_cast<size_t>(i)]);
  return ids;
}

void Product::SetSelectedFields(const std::vector<int>& ids) {
  SelectedFieldIds.fill(kNoFieldId);
  for (size_t i = 0; i < ids.size() && i < SelectedFieldIds.size(); ++i)
    SelectedFieldIds[i] = static_cast<int16_t>(ids[i]);
}

void Product::SetAvailableFields(std::initializer_list<int> ids) {
  AvailableFieldIds.fill(kNoFieldId);
  AvailableCount = 0;
  for (int id : ids) OfferField(id);
}

void Product::OfferField(int id) {
  if (AvailableCount < kMaxFieldIds)
    AvailableFieldIds[static_cast<size_t>(AvailableCount++)] = static_cast<int16_t>(id);
}

int Product::FirstCheckedReceiver(int count) const {
  for (int r = 1; r <= count; ++r)
    if (ReceiverOn(r)) return r;
  return 0;
}

void Product::StartSegment(int16_t type, int hour, int minute, int second) {
  SegmentType = type;
  if (!ConversionPass) {
    SegmentReady = true;
    SegmentStartTime.clear();
    text::hms(SegmentStartTime, hour, minute, second);
  } else {
    SegmentDeselected = !SegmentNodes.Included(SegmentCounter);
  }
  if (SegmentCounter < std::numeric_limits<int32_t>::max()) ++SegmentCounter;
}

bool Product::FollowSegmentType(int16_t type, int hour, int minute, int second) {
  if (type == SegmentType) return false;
  StartSegment(type, hour, minute, second);
  return true;
}

double Product::LambdaSpeedMetresPerSecond() const {
  double v = EditBoxDouble(Config().LambdaSpeed, 0.0);
  if (!(v > 0)) return 0.0;
  if (Config().MPHchoice) v *= 1.609;
  return v * 1000.0 / 3600.0;
}

int32_t Product::WindowFor(double constant, double frequencyMHz) const {
  double f = frequencyMHz * 1000000.0;
  double v = LambdaSpeedMetresPerSecond();
  if (!(f > 0) || !(v > 0)) return 0;
  double w = std::trunc(constant / (f * v));
  if (!(w >= 0) || w > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(w);
}

int Product::AccumulateSamples(int receiver, const uint8_t* samples, int count) {
  AverageBlock& a = Averages[static_cast<size_t>(receiver)];
  a.completed = 0;
  if (a.window <= 0) return 0;
  for (int i = 0; i < count; ++i) {
    ++a.samples;
    a.sum += samples[i];
    if (a.samples == a.window) {
      if (a.completed < kMaxAverages)
        a.averages[static_cast<size_t>(a.completed++)] = static_cast<int32_t>(a.sum / a.window);
      a.samples = 0;
      a.sum = 0;
    }
  }
  return a.completed;
}

void Product::BeginGathering() {
  Gathering = true;
  GatherRecords = 0;
  GatherSeconds = 0;
  RecordRate = 1;
  gatherLastTime_ = -1;
  gatherMainClockSeen_ = false;
}

void Product::GatherRecord() {
  if (Gathering && GatherRecords < std::numeric_limits<int32_t>::max()) ++GatherRecords;
}

void Product::GatherTime(int hour, int minute, int second, bool fallbackClock) {
  if (!Gathering) return;
  if (fallbackClock && gatherMainClockSeen_) return;
  if (!fallbackClock) gatherMainClockSeen_ = true;
  constexpr int kSecondsPerHour = 3600, kSecondsPerMinute = 60;
  const int32_t time = hour * kSecondsPerHour + minute * kSecondsPerMinute + second;
  if (time == gatherLastTime_) return;
  gatherLastTime_ = time;
  if (GatherSeconds < std::numeric_limits<int32_t>::max()) ++GatherSeconds;
}

// ---------------------------------------------------------------- readings

namespace {

ReadingTime RecordTime(const formats::LayoutValues& v) {
  switch (v.clock) {
    case formats::RecordClock::Receiver:
      return ReceiverClockTime(v.rtcYear, v.rtcMonth, v.rtcDay, v.rtcHour, v.rtcMinute,
                               v.rtcSecond);
    case formats::RecordClock::ReceiverTimeOfDay:
      return TimeOfDay(ReadingClock::Receiver, v.rtcHour, v.rtcMinute, v.rtcSecond);
    case formats::RecordClock::Gps:
      return ClockTime(ReadingClock::Gps, v.gpsYear, v.gpsMonth, v.gpsDay, v.gpsHour, v.gpsMinute,
                       v.gpsSecond);
    case formats::RecordClock::None:
      break;
  }
  return {};
}

}  // namespace

void Product::FillRecordPlace(ReadingRecord& record) {
  const formats::LayoutValues& v = CurrentLayoutValues();
  record.time = RecordTime(v);
  record.position = PositionFix(v.latitude, v.longitude, v.positionFix);
  record.hasMarker = v.hasMarker;
  record.marker = v.hasMarker ? static_cast<int>(v.marker) : 0;
  const auto offered = std::span(AvailableFieldIds).first(static_cast<size_t>(AvailableCount));
  if (std::find(offered.begin(), offered.end(), FieldCatalog::kGpsStatus) != offered.end())
    FormatField(FieldCatalog::kGpsStatus, record.gpsStatus);
}

void Product::CollectReadings(ReadingRecord& record) {
  AppendRowReadings(record.readings);
  FillRecordPlace(record);
}

void Product::CollectMessages(const Block& block, int result, ReadingRecord& record) {
  AppendMessages(block, result, record.messages);
  if (!record.messages.empty()) FillRecordPlace(record);
}

void Product::AppendRowReadings(std::vector<Reading>&) {}

void Product::AppendMessages(const Block&, int, std::vector<PagingMessage>&) {}

std::string Product::FirmwareText() const {
  return {};
}

}  // namespace morphel
