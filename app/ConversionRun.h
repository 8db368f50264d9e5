#pragma once
// One conversion: drives the current reader from the first block of the log to
// the last and writes the converted file (delimited rows with an optional title
// line, or the reader's own layout), then the optional Excel split. Plain
// synchronous code: the window runs it on a worker, the command line directly.

#include <string>

#include "app/RunHooks.h"
#include "app/Settings.h"
#include "products/OutputFile.h"
#include "products/Product.h"

namespace morphel {

enum class RunOutcome {
  Completed,      // "Conversion Has Been Completed!" was reported
  InputFailed,    // the log could not be opened
  OutputFailed,   // the output (or a split part) could not be opened or written
  SplitFailed,    // the split folder could not be made
};

class ConversionRun {
 public:
  static constexpr int kExcelLines = 60000;
  static constexpr size_t kSplitLine = 4095;  // longest line piece copied by the split
  static constexpr const char* kOutputIsInput = "Output File Is The Input File!";

  ConversionRun(Product& reader, const Settings& snapshot, RunHooks& hooks);
  RunOutcome Run();

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
  void ShowProgress(uint64_t consumed, uint64_t total);
  RunOutcome ExcelSplit();
  bool TitleAtBoundary() const;
  // The output (or its PathView side file) is the input log under some name.
  bool OverwritesInput() const;

  Product& reader_;
  Settings settings_;
  RunHooks& hooks_;
  OutputFile out_;
  char delimiter_ = ',';
  bool headerPending_ = true;
  int lastPercent_ = -1;
  uint64_t nextPercentAt_ = 0;
  std::string titleArea_;
  std::string recordArea_;
};

}  // namespace morphel
