#pragma once
// Reading a log as tidy readings: drives a reader over the whole log as a
// conversion does (every receiver, all data, the segments left out in the
// index tree producing nothing) and hands each output record's readings and
// paging messages to a sink, after the run's own choices: which receivers,
// the strongest reading only, one reading per N seconds or N metres. Plain
// synchronous code: the window runs it on a worker, the command line
// directly.

#include <array>
#include <cstdint>
#include <string>

#include "core/RunHooks.h"
#include "core/Settings.h"
#include "index/IndexRun.h"
#include "products/Product.h"
#include "products/Readings.h"

namespace morphel {

struct ReadingOptions {
  std::array<bool, 4> receivers{true, true, true, true};  // receivers 1..4 kept
  bool bestServer = false;  // only the strongest reading per receiver and record
  double everySeconds = 0;  // > 0: one reading per receiver per N seconds of the log's clock
  double everyMetres = 0;   // > 0: one reading per receiver per N metres driven
};

// What a reading run saw and handed on.
struct ReadingSummary {
  bool stopped = false;  // the loop ended on a stop request
  int percent = 0;       // last whole percentage of the log read
  uint64_t inputSize = 0;
  uint64_t consumed = 0;
  int64_t records = 0;       // output records the reader made ready
  int64_t readingsSeen = 0;  // readings of those records
  int64_t readings = 0;      // readings handed to the sink
  int64_t withoutFix = 0;    // of those, without a valid position fix
  int64_t messages = 0;      // paging messages handed to the sink
  int segmentsMet = 0;       // segments the reader met
  int segmentsLeftOut = 0;   // of those, left out in the index tree
  std::array<int, kSegmentTypeCount> segmentsByType{};
};

// Where a run's records go. A sink that fails says why in its own words and
// ends the run.
class ReadingSink {
 public:
  virtual ~ReadingSink() = default;
  // The log has been opened by its reader and is about to be read.
  virtual bool BeginLog(const Product& reader) = 0;
  // One output record with its kept readings and messages (never neither).
  virtual bool Take(const ReadingRecord& record) = 0;
  // The log has been read to its end (or to a stop).
  virtual bool EndLog() = 0;
  // Why the last call answered false.
  virtual std::string Error() const = 0;
};

enum class ReadingOutcome {
  Completed,    // the log was read to its end, or to a stop (see the summary)
  InputFailed,  // "Input File Does Not Exist!" or "Input File Cannot Be Read!" was reported
  SinkFailed,   // the sink failed; its Error() says why
};

class ReadingRun {
 public:
  // The snapshot names the log (InputFilename) and its product item
  // (InputFormatGroup); the run checks every receiver box itself.
  ReadingRun(Product& reader, const Settings& snapshot, const ReadingOptions& options,
             RunHooks& hooks);
  ReadingOutcome Run(ReadingSink& sink);
  const ReadingSummary& Summary() const { return summary_; }
  // Why a run that went to its end handed on nothing, in one line (empty
  // when it handed on something or the log is empty).
  std::string EmptyResultReason() const;

  // Great-circle distance in metres between two positions.
  static double DistanceMetres(const ReadingPosition& a, const ReadingPosition& b);

 private:
  struct Kept {
    bool any = false;
    int64_t seconds = 0;
    ReadingPosition position;
  };

  void NoteSegments(int& counted);
  // Filters the record's readings in place: receivers, strongest, thinning.
  void Reduce(ReadingRecord& record);
  void KeepStrongest(ReadingRecord& record);
  // Whether a receiver's readings in this record are left out by thinning.
  bool Thinned(const ReadingRecord& record, int receiver);
  bool EmitBlock(ReadingSink& sink, const Product::Block& block, int result);
  bool Emit(ReadingSink& sink, ReadingRecord& record);

  Product& reader_;
  Settings settings_;
  ReadingOptions options_;
  RunHooks& hooks_;
  ReadingSummary summary_;
  std::array<Kept, 4> kept_{};
  int64_t thinnedOut_ = 0;
  int64_t otherReceivers_ = 0;
  int rowReceivers_ = 1;  // receivers walked per record (each asked whether it has data)
  ReadingRecord record_;
};

}  // namespace morphel
