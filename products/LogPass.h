#pragma once
// The shape every run over a log shares (conversion, indexing, gathering):
// the reader attached to the run's settings and the log opened, its blocks
// read one by one with the gauge moving and a stop request heard before each,
// then the log closed and the reader let go of the settings.

#include <cstdint>

#include "core/RunHooks.h"
#include "core/Settings.h"
#include "products/Product.h"

namespace morphel {

// The log could not be opened (missing, a folder, not readable).
inline constexpr const char* kInputMissing = "Input File Does Not Exist!";
// Reading the log failed part-way.
inline constexpr const char* kInputUnreadable = "Input File Cannot Be Read!";

class LogPass {
 public:
  LogPass(Product& reader, const Settings& settings, RunHooks& hooks,
          ProgressGauge::UnknownSize unknownSize)
      : reader_(reader), settings_(settings), hooks_(hooks), gauge_(hooks, unknownSize) {}
  LogPass(const LogPass&) = delete;
  LogPass& operator=(const LogPass&) = delete;

  // Attaches the reader to the settings and opens their input log, for a
  // conversion pass or for a pass that only reads. A log that cannot be
  // opened is reported ("Input File Does Not Exist!" with the path and the
  // system's reason) and the reader let go; false then.
  bool Open(bool conversionPass);

  // Starts the gauge at 0 and hands the log's blocks to `each` in file order
  // while `goOn()` holds, until the end of the log or a stop request (asked
  // before every block). True when a stop request ended it.
  template <typename Each, typename GoOn>
  bool ReadBlocks(Each&& each, GoOn&& goOn) {
    gauge_.Start(reader_.Input.Size());
    Product::Block block;
    int64_t taken = reader_.ReadBlock(block);
    while (taken > 0 && goOn()) {
      if (hooks_.stopRequested()) return stopped_ = true;
      consumed_ += static_cast<uint64_t>(taken);
      gauge_.Show(consumed_);
      each(block);
      taken = reader_.ReadBlock(block);
    }
    return false;
  }
  template <typename Each>
  bool ReadBlocks(Each&& each) {
    return ReadBlocks(each, [] { return true; });
  }

  // Closes the log and lets the reader go of the settings; whether a read
  // failed (ReadFailed, ReadError) is kept.
  void Close();

  bool Stopped() const { return stopped_; }
  uint64_t Consumed() const { return consumed_; }
  // A read failed part-way: the blocks ended as at the end of the log.
  bool ReadFailed() const { return readFailed_; }
  int ReadError() const { return readError_; }
  ProgressGauge& Gauge() { return gauge_; }

 private:
  Product& reader_;
  const Settings& settings_;
  RunHooks& hooks_;
  ProgressGauge gauge_;
  uint64_t consumed_ = 0;
  bool stopped_ = false;
  bool readFailed_ = false;
  int readError_ = 0;
};

}  // namespace morphel
