// morphel convert: one log, converted as the window would, ending with an
// exit status that says how it ended.

#include "app/ConversionRun.h"
#include "app/MainModel.h"
#include "cli/CliHooks.h"
#include "cli/Commands.h"
#include "cli/Setup.h"

namespace morphel::cli {

namespace {

// The set-up of the log up to the point where the run starts.
bool Prepare(MainModel& model, const ConvertArgs& a, Console& console, int& status) {
  int item = 0;
  if (!BuildModel(model, a, a.input, true, console, item, status)) return false;
  const Settings& s = model.GetSettings();
  if (!s.NativeFormat && s.SelectedBox.empty()) {
    console.Note("no field is selected (use --fields or --format)");
    status = kUsageError;
    return false;
  }
  return a.excludeSegments.empty() ||
         ExcludeSegments(model, item, a.excludeSegments, a.quiet, console, status);
}

}  // namespace

int RunConvert(const ConvertArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  InstallInterruptHandler();
  int status = kOk;
  MainModel model;
  if (!Prepare(model, a, console, status)) return status;
  const std::string output = model.GetSettings().OutputFilename;
  CliHooks hooks(console, "Converting", a.quiet);
  ConversionRun run(*model.CurrentReader(), model.Snapshot(), hooks);
  run.CompletionOnlyWhenWhole(true);
  const RunOutcome outcome = run.Run();
  const ConversionSummary& summary = run.Summary();
  if (outcome == RunOutcome::Refused) {
    status = kUsageError;
  } else if (outcome != RunOutcome::Completed) {
    status = kFailed;
  } else if (summary.stopped) {
    console.Note("conversion cancelled at " + std::to_string(summary.percent) +
                 "%: " + std::to_string(summary.dataRecords) + " records written to " + output);
    status = kInterrupted;
  } else if (const std::string reason = run.EmptyResultReason(); !reason.empty()) {
    console.Message(MessageKind::Warning, reason);
    status = kNothingWritten;
  }
  // The empty result's reason already counts the bytes skipped between records.
  const DamageCounts& d = model.CurrentReader()->Damage;
  const bool skippedOnly = !d.badLengthBlocks && !d.unknownRecords && !d.truncatedBlocks;
  const std::string damage = DamageText(d);
  if (!damage.empty() && !(status == kNothingWritten && skippedOnly)) console.Note(damage);
  return status;
}

}  // namespace morphel::cli
