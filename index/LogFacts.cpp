#include "index/LogFacts.h"

#include <algorithm>

namespace morphel {

namespace {
constexpr int64_t kSecondsPerDay = 86400;

}  // namespace

int ReceiverFacts::LevelMin() const {
  for (int i = 0; i < kLevelBins; ++i)
    if (levelCounts[static_cast<size_t>(i)] > 0) return i + kLowestLevel;
  return 0;
}

int ReceiverFacts::LevelMax() const {
  for (int i = kLevelBins - 1; i >= 0; --i)
    if (levelCounts[static_cast<size_t>(i)] > 0) return i + kLowestLevel;
  return 0;
}

int ReceiverFacts::LevelMedian() const {
  const int64_t wanted = (levels - 1) / 2;  // 0-based rank of the lower middle
  int64_t seen = 0;
  for (int i = 0; i < kLevelBins; ++i) {
    seen += levelCounts[static_cast<size_t>(i)];
    if (seen > wanted) return i + kLowestLevel;
  }
  return 0;
}

int64_t LogFacts::DurationSeconds() const {
  if (!hasTime) return 0;
  int64_t span = last.Seconds() - first.Seconds();
  if (!first.HasDate() && span < 0) span += kSecondsPerDay;
  return span;
}

bool LogFactsSink::BeginLog(const Product& reader) {
  reader_ = &reader;
  facts_ = LogFacts{};
  lastFix_ = false;
  return true;
}

bool LogFactsSink::Take(const ReadingRecord& record) {
  for (const PagingMessage& m : record.messages)
    ++(m.protocol == "FLEX" ? facts_.flexMessages : facts_.pocsagMessages);
  if (record.time.valid) {
    if (!facts_.hasTime) facts_.first = record.time;
    if (!facts_.hasTime || !record.time.Before(facts_.last)) facts_.last = record.time;
    facts_.hasTime = true;
  }
  if (record.readings.empty()) return true;
  ++facts_.records;
  if (record.position.fix) {
    ++facts_.recordsWithFix;
    AddFix(record.position, record.time);
  }
  for (const Reading& r : record.readings) AddReading(r);
  return true;
}

bool LogFactsSink::EndLog() {
  if (reader_) facts_.firmware = reader_->FirmwareText();
  return true;
}

void LogFactsSink::AddFix(const ReadingPosition& p, const ReadingTime& time) {
  if (!facts_.hasFix) {
    facts_.south = facts_.north = p.latitude;
    facts_.west = facts_.east = p.longitude;
    facts_.hasFix = true;
  }
  facts_.south = std::min(facts_.south, p.latitude);
  facts_.north = std::max(facts_.north, p.latitude);
  facts_.west = std::min(facts_.west, p.longitude);
  facts_.east = std::max(facts_.east, p.longitude);
  // The route goes on in time: a fix measured before the last one is in the
  // area, not a step back along the road.
  if (lastFix_ && time.Before(lastFixTime_)) return;
  if (lastFix_) facts_.distanceMetres += ReadingRun::DistanceMetres(last_, p);
  last_ = p;
  lastFixTime_ = time;
  lastFix_ = true;
}

void LogFactsSink::AddReading(const Reading& r) {
  if (r.receiver < 1 || r.receiver > static_cast<int>(facts_.receivers.size())) return;
  ReceiverFacts& f = facts_.receivers[static_cast<size_t>(r.receiver - 1)];
  if (f.readings == 0) {
    f.channelMin = f.channelMax = r.channel;
    f.frequencyMinMHz = f.frequencyMaxMHz = r.frequencyMHz;
  }
  ++f.readings;
  f.channelMin = std::min(f.channelMin, r.channel);
  f.channelMax = std::max(f.channelMax, r.channel);
  f.frequencyMinMHz = std::min(f.frequencyMinMHz, r.frequencyMHz);
  f.frequencyMaxMHz = std::max(f.frequencyMaxMHz, r.frequencyMHz);
  if (!r.hasRssi) return;
  const int bin =
      std::clamp(r.rssiDbm - ReceiverFacts::kLowestLevel, 0, ReceiverFacts::kLevelBins - 1);
  ++f.levelCounts[static_cast<size_t>(bin)];
  ++f.levels;
}

}  // namespace morphel
