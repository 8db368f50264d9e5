#include "export/DriveTrack.h"

namespace morphel::exporting {

const TrackReading* TrackPoint::Strongest(int receiver, int* from) const {
  const TrackReading* best = nullptr;
  for (int r = 1; r <= static_cast<int>(strongest.size()); ++r) {
    const TrackReading& reading = strongest[static_cast<size_t>(r - 1)];
    if (!reading.present || (receiver != 0 && r != receiver)) continue;
    if (best && reading.rssiDbm <= best->rssiDbm) continue;
    best = &reading;
    if (from) *from = r;
  }
  return best;
}

bool DriveTrackSink::BeginLog(const Product&) {
  points_.clear();
  withoutFix_ = 0;
  stride_ = 1;
  skipped_ = 0;
  seen_ = lastKept_ = false;
  return true;
}

bool DriveTrackSink::Take(const ReadingRecord& record) {
  if (record.readings.empty()) return true;
  const ReadingPosition& p = record.position;
  if (!p.fix) {
    ++withoutFix_;
    return true;
  }
  const bool samePlace = seen_ && last_.latitude == p.latitude && last_.longitude == p.longitude &&
                         lastSegment_ == record.segment;
  if (samePlace && !lastKept_) return true;
  if (!samePlace) {
    seen_ = true;
    last_ = p;
    lastSegment_ = record.segment;
    lastKept_ = ++skipped_ >= stride_;
    if (!lastKept_) return true;
    skipped_ = 0;
    if (points_.size() == kMaxPoints) Thin();
    TrackPoint point;
    point.longitude = p.longitude;
    point.latitude = p.latitude;
    point.time = record.time;
    point.segment = record.segment;
    points_.push_back(point);
  }
  TrackPoint& point = points_.back();
  for (const Reading& r : record.readings) {
    if (!r.hasRssi || r.receiver < 1 || r.receiver > static_cast<int>(point.strongest.size()))
      continue;
    TrackReading& best = point.strongest[static_cast<size_t>(r.receiver - 1)];
    if (best.present && r.rssiDbm <= best.rssiDbm) continue;
    best = TrackReading{r.channel, r.rssiDbm, true};
  }
  return true;
}

void DriveTrackSink::Thin() {
  size_t kept = 0;
  for (size_t i = 0; i < points_.size(); i += 2) points_[kept++] = points_[i];
  points_.resize(kept);
  stride_ *= 2;
}

}  // namespace morphel::exporting
