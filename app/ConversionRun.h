#pragma once
// One conversion: drives the current reader from the first block of the log to
// the last and writes the converted file (delimited rows with an optional title
// line, or the reader's own layout), then the optional Excel split. Plain
// synchronous code: the window runs it on a worker, the command line directly.

#include <string>

#include "core/OutputFile.h"
#include "core/RunHooks.h"
#include "core/Settings.h"
#include "products/FormatTable.h"
#include "products/Product.h"

namespace morphel {

enum class RunOutcome {
  Completed,     // the run went to its end (see ConversionSummary for how it ended)
  InputFailed,   // the log could not be opened, or reading it failed part-way
  OutputFailed,  // the output (or a split part) could not be opened or written
  SplitFailed,   // the split folder could not be made
  Refused,       // nothing to convert as set up (no field, no layout); nothing opened
};

// How a run that went to its end ended: whether it was stopped, how much it
// wrote, and what a face needs to say so truthfully.
struct ConversionSummary {
  bool stopped = false;        // the loop ended on a stop request
  int percent = 0;             // the gauge's last whole percentage
  int64_t dataRecords = 0;     // rows, native records and texts written
  int64_t offeredRecords = 0;  // records the reader made ready
  int64_t rowsStarted = 0;     // delimited rows walked (RecordCounter)
  uint64_t inputSize = 0;      // bytes of the log
  uint64_t consumed = 0;       // bytes of the log read
  int segmentsMet = 0;         // segments the reader met
  int segmentsLeftOut = 0;     // of those, left out in the index tree
};

class ConversionRun {
 public:
  static constexpr int kExcelLines = 60000;
  static constexpr const char* kOutputIsInput = "Output File Is The Input File!";
  static constexpr const char* kOutputFailed = "Output File Cannot Be Accessed!";
  static constexpr const char* kSplitFailed = "Split File Cannot Be Accessed!";
  static constexpr const char* kNoDirectory = "Cannot create directory.";
  static constexpr const char* kCompleted = "Conversion Has Been Completed!";
  static constexpr const char* kNoFieldSelected =
      "No field is selected: choose the fields of the output in step 3.";

  ConversionRun(Product& reader, const Settings& snapshot, RunHooks& hooks);
  // The window shows the completion message after a stop and after an empty
  // result, as it always has; the command line says only what is true
  // ("Completed" for a whole run that wrote records).
  void CompletionOnlyWhenWhole(bool on) { completionOnlyWhenWhole_ = on; }
  // Writes the output to an open descriptor (the command line's standard
  // output) instead of creating OutputFilename, which then only names it.
  void OutputTo(int fd) { outputFd_ = fd; }
  RunOutcome Run();
  const ConversionSummary& Summary() const { return summary_; }
  // Why a run that went to its end wrote no data record, in one line
  // (empty when it wrote some, or when the log is empty).
  std::string EmptyResultReason() const;

  // Delimiter byte for a DelimiterGroup item and OtherDelimiter text.
  static char DelimiterFor(int item, const std::string& other);
  // Averaging mode from the averaging buttons (first match wins).
  static int AverageModeFor(const Settings& s);
  // Receivers walked for one record of a product item.
  static int ReceiversFor(int item);

 private:
  void WriteTitleLine();
  void WriteRecordLines();
  void WriteNativeHeader();
  void TakeBlock(Product::Block& block);
  RunOutcome ExcelSplit();
  bool TitleAtBoundary() const;
  const FormatRow& Format() const;
  // The output (or its PathView side file) is the input log under some name.
  bool OverwritesInput() const;
  // Reasons not to start at all, reported before anything is opened.
  bool Refuse();
  void CountSegments();

  Product& reader_;
  Settings settings_;
  RunHooks& hooks_;
  OutputFile out_;
  char delimiter_ = ',';
  bool headerPending_ = true;
  std::string titleArea_;
  std::string recordArea_;
  bool completionOnlyWhenWhole_ = false;
  int outputFd_ = -1;
  ConversionSummary summary_;
};

}  // namespace morphel
