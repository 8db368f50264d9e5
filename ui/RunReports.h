#pragma once
// What the window says about its runs beside their own messages: the status
// bar's line while a run works and after it ends, and a warning after the
// run's message when the result is empty or the log is damaged.

#include <QString>
#include <string>

#include "app/ConversionRun.h"
#include "index/GatherRun.h"
#include "index/IndexRun.h"
#include "products/Product.h"

namespace morphel::ui {

// How a conversion ended, as the window learns it once the run is over.
struct ConversionEnd {
  RunOutcome outcome = RunOutcome::Completed;
  ConversionSummary summary;
  DamageCounts damage;
  std::string emptyReason;  // ConversionRun::EmptyResultReason()
  std::string message;      // the last message the run reported
  std::string output;       // the output file
};

// How an indexing run ended.
struct IndexEnd {
  IndexOutcome outcome = IndexOutcome::Completed;
  int segments = 0;
  DamageCounts damage;
  std::string message;  // the last message the run reported
  std::string log;
};

// What a reader passed over, e.g. "9 bytes skipped while resynchronising
// between records"; empty for a clean log.
QString DamageText(const DamageCounts& damage);

QString IndexingStatus(const std::string& log);
QString ConvertingStatus(const std::string& log, const std::string& output);
QString GatheringStatus(const std::string& log);

QString IndexStatus(const IndexEnd& end);
// Empty when the log read cleanly.
QString IndexWarning(const IndexEnd& end);
QString ConversionStatus(const ConversionEnd& end);
// Empty when the run wrote records from a clean log (or did not run).
QString ConversionWarning(const ConversionEnd& end);
QString GatherStatus(GatherOutcome outcome, const std::string& log);

}  // namespace morphel::ui
