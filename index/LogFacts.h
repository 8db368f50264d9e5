#pragma once
// What a log holds, gathered from a reading run: its time span, how much of
// it has a position fix, where and how far the drive went, and per receiver
// the channels, frequencies and signal levels it measured. Constant memory
// whatever the length of the log.

#include <array>
#include <cstdint>
#include <string>

#include "index/ReadingRun.h"

namespace morphel {

struct ReceiverFacts {
  static constexpr int kLowestLevel = -256;  // dBm; levels are counted in one bin per dB
  static constexpr int kLevelBins = 512;

  int64_t readings = 0;
  int channelMin = 0, channelMax = 0;
  double frequencyMinMHz = 0, frequencyMaxMHz = 0;
  int64_t levels = 0;  // readings with a level
  std::array<int64_t, kLevelBins> levelCounts{};

  // Lowest, middle (the lower of two middles) and highest level; only with
  // levels > 0.
  int LevelMin() const;
  int LevelMedian() const;
  int LevelMax() const;
};

struct LogFacts {
  std::string firmware;
  int64_t records = 0;         // records with readings
  int64_t recordsWithFix = 0;  // of those, with a valid position fix
  bool hasTime = false;
  ReadingTime first, last;  // the first valid time in file order, the latest after it
  bool hasFix = false;
  double south = 0, west = 0, north = 0, east = 0;  // bounding box of the fixes
  double distanceMetres = 0;  // along the fixes in file order, each later than the one before
  std::array<ReceiverFacts, 4> receivers{};
  int64_t pocsagMessages = 0;
  int64_t flexMessages = 0;

  // Seconds from the first to the last time (a time of day alone wraps at
  // midnight); 0 without times.
  int64_t DurationSeconds() const;
};

class LogFactsSink : public ReadingSink {
 public:
  bool BeginLog(const Product& reader) override;
  bool Take(const ReadingRecord& record) override;
  bool EndLog() override;
  std::string Error() const override { return {}; }
  const LogFacts& Facts() const { return facts_; }

 private:
  void AddFix(const ReadingPosition& p, const ReadingTime& time);
  void AddReading(const Reading& r);

  const Product* reader_ = nullptr;
  LogFacts facts_;
  bool lastFix_ = false;
  ReadingPosition last_;
  ReadingTime lastFixTime_;
};

}  // namespace morphel
