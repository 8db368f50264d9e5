#pragma once
// Average information: reads the whole log once through the current reader in
// its gathering mode, counts records and seconds and stores the record rate
// (records per second) in the reader, where the 40-lambda window uses it.
// Plain synchronous code: the window runs it on a worker (TMakeList).

#include <cstdint>
#include <string>

#include "core/RunHooks.h"
#include "core/Settings.h"
#include "products/Product.h"

namespace morphel {

enum class GatherOutcome {
  Completed,    // rate stored, both messages reported
  InputFailed,  // "Input File Does Not Exist!" reported, rate unchanged
  Stopped,      // "Exit" stopped the run: no messages, rate unchanged
};

class GatherRun {
 public:
  static constexpr const char* kGathered = "Information Has Been Gathered!";

  GatherRun(Product& reader, const Settings& snapshot, RunHooks& hooks);
  GatherOutcome Run();

  // Counts of the last completed run. Records are the measurement records
  // of the log (records that carry signal levels, converted or not); seconds
  // are the changes of the log's time of day. Rate is the reader's record
  // rate after the run (unchanged by a stopped or failed run).
  int32_t Records() const { return records_; }
  int32_t Seconds() const { return seconds_; }
  int32_t Rate() const { return rate_; }

  // "%ld%% Complete" for a percentage (the dialog's label).
  static std::string PercentText(long percent);
  // "%d Records\n%d Seconds\n%d Records Per Second" (the closing message).
  static std::string CountsText(int32_t records, int32_t seconds, int32_t rate);

 private:
  Product& reader_;
  Settings settings_;
  RunHooks& hooks_;
  int32_t records_ = 0;
  int32_t seconds_ = 0;
  int32_t rate_ = 1;
};

}  // namespace morphel
