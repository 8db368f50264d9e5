#pragma once
// Indexing a log: reads the whole file through the current reader with its
// conversion pass off and records one entry per measurement segment (type and
// start time) in the reader's segment table. Plain synchronous code: the
// window runs it on a worker, the command line directly.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/RunHooks.h"
#include "core/Settings.h"
#include "products/Product.h"
#include "products/ProductTable.h"

namespace morphel {

// One segment found while indexing.
struct IndexedSegment {
  int index;            // position in file order, from 0
  int16_t type;         // segment type code
  std::string caption;  // start time "HH:MM:SS"
  bool stored;          // false past the segment table's capacity (always converted)
};

enum class IndexOutcome {
  Completed,    // the whole log was read
  InputFailed,  // "Input File Does Not Exist!" was reported
  Stopped,      // a stop request ended the run after the current block
};

class IndexRun {
 public:
  IndexRun(Product& reader, const Settings& snapshot, int productItem, RunHooks& hooks);
  IndexOutcome Run();

  // Called for every segment as it is found (the window adds a tree node).
  std::function<void(const IndexedSegment&)> segmentAdded;

  // Segments found in the last run, including those past the table.
  int SegmentsFound() const { return found_; }
  int ProductItem() const { return item_; }

 private:
  void NoteSegment();

  Product& reader_;
  Settings settings_;
  int item_;
  RunHooks& hooks_;
  int found_ = 0;
};

}  // namespace morphel
