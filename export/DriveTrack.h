#pragma once
// The drive as the window's map draws it: one point per place with a position
// fix, in file order, holding the strongest reading of each receiver there.
// Records at the place of the point before (a GPS fix lasts for many records)
// add to that point. Memory is bounded: past kMaxPoints the track keeps every
// other point and from then on every second new place (and so on), which a
// map of that many points does not show.

#include <array>
#include <cstdint>
#include <vector>

#include "index/ReadingRun.h"

namespace morphel::exporting {

struct TrackReading {
  int channel = 0;
  int rssiDbm = 0;
  bool present = false;  // a reading with a level was seen
};

struct TrackPoint {
  double longitude = 0, latitude = 0;
  ReadingTime time;  // of the first record at this place
  int segment = 0;   // from 1, as indexing numbers them
  std::array<TrackReading, 4> strongest{};

  // The strongest reading of a receiver (1..4), or of all receivers (0)
  // with the receiver it came from; nullptr when there is none.
  const TrackReading* Strongest(int receiver, int* from = nullptr) const;
};

class DriveTrackSink : public ReadingSink {
 public:
  static constexpr size_t kMaxPoints = 400000;

  bool BeginLog(const Product& reader) override;
  bool Take(const ReadingRecord& record) override;
  bool EndLog() override { return true; }
  std::string Error() const override { return {}; }

  std::vector<TrackPoint>& Points() { return points_; }
  // Every how many places one is kept (1 until the track was thinned).
  size_t Stride() const { return stride_; }
  // Records with readings but without a valid fix: not on the map.
  int64_t RecordsWithoutFix() const { return withoutFix_; }

 private:
  void Thin();

  std::vector<TrackPoint> points_;
  int64_t withoutFix_ = 0;
  size_t stride_ = 1;   // every stride-th new place is kept
  size_t skipped_ = 0;  // new places passed over since the last one kept
  // The place of the record before, and whether it has a point.
  bool seen_ = false, lastKept_ = false;
  ReadingPosition last_;
  int lastSegment_ = 0;
};

}  // namespace morphel::exporting
