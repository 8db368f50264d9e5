// morphel convert: one log, or many with one set of options (a batch), each
// converted by a model and reader objects of its own.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "app/ConversionRun.h"
#include "app/DelimiterCheck.h"
#include "app/MainModel.h"
#include "cli/CliHooks.h"
#include "cli/Commands.h"
#include "cli/Setup.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kStandardOutput = "-";

enum class Ending { Converted, Empty, Failed, Cancelled, NotStarted };

struct LogResult {
  Ending ending = Ending::NotStarted;
  int status = kOk;
  std::string output;  // the output's name, once known
};

LogResult Failed(int status) {
  return {status == kInterrupted ? Ending::Cancelled : Ending::Failed, status, {}};
}

// The output of one log of a batch (or of --outdir): the default name rule,
// inside the folder when one is given.
std::string BatchOutput(const std::string& input, const std::string& outdir) {
  const std::string name = MainModel::DefaultOutputName(input);
  if (outdir.empty()) return name;
  return (fs::path(outdir) / fs::path(name).filename()).string();
}

// What cannot be written to standard output, before anything is opened.
bool RefuseStandardOutput(const Settings& s, Console& console) {
  const FormatRow* format = FormatRowFor(s.OutputFormatGroup);
  if (s.NativeFormat && format && (format->binary || format->sideFile)) {
    const std::string name = format->caption;
    console.Note(format->binary && ::isatty(STDOUT_FILENO) == 1
                     ? "the " + name + " layout is binary: it is not written to a terminal"
                     : "the " + name + " layout comes with an .MDF side file: give -o FILE");
    return true;
  }
  if (s.cbSplit) {
    console.Note("--split reads the finished output back: give -o FILE");
    return true;
  }
  return false;
}

// The set-up of one log up to the point where the run starts.
bool Prepare(MainModel& model, const ConvertArgs& a, const std::string& input, bool batch,
             Console& console, int& status) {
  int item = 0;
  if (!BuildModel(model, a, input, true, console, item, status)) return false;
  Settings& s = model.EditSettings();
  if (batch || !a.outdir.empty()) s.OutputFilename = BatchOutput(s.InputFilename, a.outdir);
  if (!s.NativeFormat && s.SelectedBox.empty()) {
    console.Note("no field is selected (use --fields or --format)");
    status = kUsageError;
    return false;
  }
  if (a.output == kStandardOutput && RefuseStandardOutput(s, console)) {
    status = kUsageError;
    return false;
  }
  const std::string problem = OtherDelimiterProblem(s);
  if (!problem.empty()) console.Message(MessageKind::Warning, problem);
  return a.excludeSegments.empty() ||
         ExcludeSegments(model, item, a.excludeSegments, a.quiet, console, status);
}

std::string OutputWords(const std::string& output) {
  return output == kStandardOutput ? "standard output" : output;
}

// Converts one log and says how it ended.
LogResult ConvertLog(const ConvertArgs& a, const std::string& input, bool batch, Console& console,
                     const std::function<void(int)>& onProgress) {
  int status = kOk;
  MainModel model;
  if (!Prepare(model, a, input, batch, console, status)) return Failed(status);
  LogResult result;
  result.output = model.GetSettings().OutputFilename;
  CliHooks hooks(console, "Converting", a.quiet);
  hooks.onProgress = onProgress;
  ConversionRun run(*model.CurrentReader(), model.Snapshot(), hooks);
  run.CompletionOnlyWhenWhole(true);
  if (a.output == kStandardOutput) run.OutputTo(STDOUT_FILENO);
  const RunOutcome outcome = run.Run();
  const ConversionSummary& summary = run.Summary();
  if (outcome == RunOutcome::Refused) {
    result = {Ending::Failed, kUsageError, result.output};
  } else if (outcome != RunOutcome::Completed) {
    result = {Ending::Failed, kFailed, result.output};
  } else if (summary.stopped) {
    console.Note("conversion cancelled at " + std::to_string(summary.percent) +
                 "%: " + std::to_string(summary.dataRecords) + " records written to " +
                 OutputWords(result.output));
    result.ending = Ending::Cancelled;
    result.status = kInterrupted;
  } else if (const std::string reason = run.EmptyResultReason(); !reason.empty()) {
    console.Message(MessageKind::Warning, reason);
    result.ending = Ending::Empty;
    result.status = kNothingWritten;
  } else {
    result.ending = Ending::Converted;
  }
  // The empty result's reason already counts the bytes skipped between records.
  const DamageCounts& d = model.CurrentReader()->Damage;
  const bool skippedOnly = !d.badLengthBlocks && !d.unknownRecords && !d.truncatedBlocks;
  const std::string damage = DamageText(d);
  if (!damage.empty() && !(result.ending == Ending::Empty && skippedOnly)) console.Note(damage);
  return result;
}

// The progress line of a batch on a terminal: logs done and those running.
class BatchProgress {
 public:
  BatchProgress(Terminal& terminal, size_t total) : terminal_(terminal), total_(total) {}
  void Update(const std::string& log, int percent) {
    std::lock_guard<std::mutex> lock(mutex_);
    running_[log] = percent;
    Show();
  }
  void Done(const std::string& log) {
    std::lock_guard<std::mutex> lock(mutex_);
    running_.erase(log);
    ++done_;
  }

 private:
  void Show() {
    std::string text =
        "Converting: " + std::to_string(done_) + " of " + std::to_string(total_) + " logs done";
    for (const auto& [log, percent] : running_)
      text += "; " + fs::path(log).filename().string() + " " + std::to_string(percent) + "%";
    terminal_.Status(text);
  }
  std::mutex mutex_;
  Terminal& terminal_;
  size_t total_;
  size_t done_ = 0;
  std::map<std::string, int> running_;
};

// Two logs of a batch must not write the same output.
bool OutputsClash(const ConvertArgs& a, Terminal& terminal) {
  std::map<std::string, std::string> seen;
  for (const std::string& input : a.inputs) {
    const std::string output = fs::absolute(BatchOutput(input, a.outdir)).lexically_normal();
    auto [at, fresh] = seen.emplace(output, input);
    if (fresh) continue;
    terminal.Print("morphel: " + at->second + " and " + input + " would both be converted into " +
                   output);
    return true;
  }
  return false;
}

std::string BatchLine(const std::string& input, const LogResult& r, const Console& console) {
  std::string line = input;
  if (!r.output.empty()) line += " -> " + OutputWords(r.output);
  line += ":";
  const auto& parts = console.Gathered();
  for (size_t i = 0; i < parts.size(); ++i) line += (i ? "; " : " ") + parts[i];
  return line;
}

int BatchStatus(const std::vector<LogResult>& results) {
  bool failed = false, usageOnly = true, empty = false;
  for (const LogResult& r : results) {
    if (r.ending == Ending::Cancelled || r.ending == Ending::NotStarted) return kInterrupted;
    if (r.ending == Ending::Failed) {
      failed = true;
      usageOnly &= r.status == kUsageError;
    }
    empty |= r.ending == Ending::Empty;
  }
  if (failed) return usageOnly ? kUsageError : kFailed;
  return empty ? kNothingWritten : kOk;
}

std::string BatchSummary(const std::vector<LogResult>& results) {
  size_t count[5] = {};
  for (const LogResult& r : results) ++count[static_cast<int>(r.ending)];
  std::string text = std::to_string(results.size()) + " logs: " + std::to_string(count[0]) +
                     " converted, " + std::to_string(count[1]) + " empty, " +
                     std::to_string(count[2]) + " failed";
  if (count[3]) text += ", " + std::to_string(count[3]) + " cancelled";
  if (count[4]) text += ", " + std::to_string(count[4]) + " not started";
  return text;
}

int RunBatch(const ConvertArgs& a, Terminal& terminal) {
  if (!a.output.empty()) {
    terminal.Print("morphel: -o names one output; for several logs give --outdir DIR");
    return kUsageError;
  }
  if (OutputsClash(a, terminal)) return kUsageError;
  std::vector<LogResult> results(a.inputs.size());
  BatchProgress progress(terminal, a.inputs.size());
  std::atomic<size_t> next{0};
  auto work = [&]() {
    for (size_t k = next++; k < a.inputs.size(); k = next++) {
      if (Interrupted()) continue;  // left as not started
      const std::string& input = a.inputs[k];
      Console console(terminal, true);
      std::function<void(int)> onProgress;
      if (terminal.IsTerminal() && !a.quiet)
        onProgress = [&progress, &input](int percent) { progress.Update(input, percent); };
      results[k] = ConvertLog(a, input, true, console, onProgress);
      progress.Done(input);
      if (!console.Gathered().empty()) terminal.Print(BatchLine(input, results[k], console));
    }
  };
  const size_t jobs = std::min(static_cast<size_t>(a.jobs), a.inputs.size());
  std::vector<std::thread> threads;
  for (size_t j = 1; j < jobs; ++j) threads.emplace_back(work);
  work();
  for (auto& t : threads) t.join();
  const int status = BatchStatus(results);
  if (!a.quiet || status != kOk) terminal.Print("morphel: " + BatchSummary(results));
  return status;
}

}  // namespace

int RunConvert(const ConvertArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  if (a.jobs < 1) {
    console.Note("--jobs must be 1 or more");
    return kUsageError;
  }
  if (!a.outdir.empty()) {
    if (!a.output.empty()) {
      console.Note("-o and --outdir exclude each other");
      return kUsageError;
    }
    std::error_code ec;
    fs::create_directories(a.outdir, ec);
    if (ec || !fs::is_directory(a.outdir)) {
      console.Message(MessageKind::Error, ConversionRun::kOutputFailed,
                      a.outdir + ": " + (ec ? ec.message() : "not a folder"));
      return kFailed;
    }
  }
  InstallInterruptHandler();
  if (a.inputs.size() > 1) return RunBatch(a, terminal);
  return ConvertLog(a, a.inputs.empty() ? std::string() : a.inputs[0], false, console, {}).status;
}

}  // namespace morphel::cli
