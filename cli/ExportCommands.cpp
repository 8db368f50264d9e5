// morphel export: each log read by its reader into one export (all logs into
// the file of -o, or a file per log in --outdir), with a summary line per log.

#include "cli/ExportCommands.h"

#include <fmt/format.h>

#include <filesystem>
#include <memory>
#include <set>

#include "app/ConversionRun.h"
#include "app/MainModel.h"
#include "cli/CliHooks.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/Setup.h"
#include "export/Export.h"
#include "index/ReadingRun.h"
#include "products/ProductTable.h"

namespace morphel::cli {

namespace {

namespace fs = std::filesystem;
using exporting::ExportFormat;

// One log of an export and where its readings go.
struct Job {
  std::string log;
  int item = 0;
  std::string output;
};

struct ExportPlan {
  ExportFormat format = ExportFormat::Csv;
  exporting::ExportSettings settings;
  ReadingOptions options;
  std::vector<Job> jobs;
  bool oneFile = false;  // -o: every log into the same file
};

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

// Receivers, strongest reading, thinning and KML bands from the options.
bool ReadOptions(const ExportArgs& a, ExportPlan& plan, std::string& error) {
  if (!a.receivers.empty()) {
    Settings probe;
    if (!ParseReceivers(a.receivers, probe, error)) return false;
    for (int r = 1; r <= 4; ++r)
      plan.options.receivers[static_cast<size_t>(r - 1)] = probe.ReceiverChecked(r);
  }
  plan.options.bestServer = a.bestServer;
  if (a.everySeconds && a.everyMetres) {
    error = "--every-seconds and --every-metres exclude each other";
    return false;
  }
  if ((a.everySeconds && !(*a.everySeconds > 0)) || (a.everyMetres && !(*a.everyMetres > 0))) {
    error = "thinning needs a positive number of seconds or metres";
    return false;
  }
  plan.options.everySeconds = a.everySeconds.value_or(0);
  plan.options.everyMetres = a.everyMetres.value_or(0);
  if (!a.bands.empty() && !exporting::ParseBandEdges(a.bands, plan.settings.bandEdges, error))
    return false;
  return true;
}

// The format: --to, else the output's extension; CSV into a folder.
bool ReadFormat(const ExportArgs& a, ExportPlan& plan, std::string& error) {
  if (a.output.empty() == a.outdir.empty()) {
    error = "give either -o FILE or --outdir DIR";
    return false;
  }
  std::optional<ExportFormat> format;
  if (!a.to.empty()) {
    format = exporting::ExportFormatByName(a.to);
    if (!format) {
      error = "format '" + a.to + "' is not gpkg, geojson, kml or csv";
      return false;
    }
  } else if (!a.output.empty()) {
    format = exporting::ExportFormatForPath(a.output);
    if (!format) {
      error = "cannot tell the format of '" + a.output +
              "' from its name: end it in .gpkg, .geojson, .kml or .csv, or give --to";
      return false;
    }
  }
  plan.format = format.value_or(ExportFormat::Csv);
  plan.settings.format = plan.format;
  plan.oneFile = !a.output.empty();
  return true;
}

// Each log's product and output; two logs never write the same file.
int PlanJobs(const ExportArgs& a, ExportPlan& plan, Console& console) {
  std::set<std::string> outputs;
  for (const std::string& log : a.logs) {
    int status = kOk;
    Job job{log, ResolveProduct(a.product, log, console, status), a.output};
    if (!job.item) return status;
    const ProductRow& product = *ProductRowFor(job.item);
    for (int r = 1; r <= 4; ++r) {
      if (!a.receivers.empty() && plan.options.receivers[static_cast<size_t>(r - 1)] &&
          r > product.receivers) {
        console.Note("receiver " + std::to_string(r) + " is not available for " + product.label);
        return kUsageError;
      }
    }
    if (!plan.oneFile) {
      job.output = (fs::path(a.outdir) /
                    (fs::path(log).stem().string() + exporting::ExportExtension(plan.format)))
                       .string();
      if (!outputs.insert(job.output).second) {
        console.Note("two logs would both be exported to " + job.output);
        return kUsageError;
      }
    }
    plan.jobs.push_back(job);
  }
  return kOk;
}

// Nothing is ever written over a log being exported.
int GuardInputs(const ExportPlan& plan, Console& console) {
  for (const Job& job : plan.jobs) {
    const std::string paging = exporting::PagingFileName(plan.format, job.output);
    for (const Job& other : plan.jobs) {
      if (SameFile(job.output, other.log) || (!paging.empty() && SameFile(paging, other.log))) {
        console.Message(MessageKind::Error, ConversionRun::kOutputIsInput, other.log);
        return kFailed;
      }
    }
  }
  return kOk;
}

void PrintSummary(const Job& job, const ReadingRun& run, ExportFormat format, Console& console) {
  const ReadingSummary& s = run.Summary();
  const char* noFix = format == ExportFormat::Csv ? "empty position" : "no geometry";
  std::string text = fmt::format(
      "{}: {} readings written to {}, {} without a position fix ({}), {} paging messages", job.log,
      s.readings, job.output, s.withoutFix, noFix, s.messages);
  if (s.stopped)
    text = fmt::format(
        "{}: interrupted at {}%: {} readings and {} paging messages written to {} before the "
        "stop",
        job.log, s.percent, s.readings, s.messages, job.output);
  else if (s.readings == 0 && s.messages == 0 && s.inputSize > 0)
    text = job.log + ": " + run.EmptyResultReason();
  console.Term().Print(text);
}

// The worse of two outcomes: interrupted, failed, a wrong command line (a
// segment the log does not have), nothing written.
int Worse(int a, int b) {
  for (int status : {kInterrupted, kFailed, kUsageError, kNothingWritten})
    if (a == status || b == status) return status;
  return a;
}

// One log through its reader into the sink; `said` keeps the sink's
// message when the run printed it.
int ExportLog(const ExportArgs& a, const ExportPlan& plan, const Job& job,
              exporting::ExportSink& sink, Console& console, std::string& said) {
  int status = kOk;
  int item = 0;
  MainModel model;
  if (!OpenLog(model, std::to_string(job.item), job.log, console, item, status)) return status;
  if (!a.excludeSegments.empty() &&
      !ExcludeSegments(model, item, a.excludeSegments, a.quiet, console, status))
    return status;
  Product& reader = *model.CurrentReader();
  sink.SetLog(exporting::ExportLog(*ProductRowFor(item), fs::path(job.log).filename().string()));
  CliHooks hooks(console, "Exporting", a.quiet);
  ReadingRun run(reader, model.Snapshot(), plan.options, hooks);
  const ReadingOutcome outcome = run.Run(sink);
  const std::string damage = DamageText(reader.Damage);
  if (!damage.empty()) console.Note(job.log + ": " + damage);
  if (outcome == ReadingOutcome::InputFailed) return kFailed;
  if (outcome == ReadingOutcome::SinkFailed) {
    said = sink.Error();
    console.Note(said);
    return kFailed;
  }
  const ReadingSummary& sum = run.Summary();
  const bool nothing = sum.readings == 0 && sum.messages == 0 && sum.inputSize > 0;
  // Quiet keeps the line of a whole run to itself, never why a run fell short.
  if (!a.quiet || sum.stopped || nothing) PrintSummary(job, run, plan.format, console);
  if (sum.stopped) return kInterrupted;
  return nothing ? kNothingWritten : kOk;
}

int ExportAll(const ExportArgs& a, const ExportPlan& plan, Console& console) {
  InstallInterruptHandler();
  std::unique_ptr<exporting::ExportSink> shared;
  int status = kOk;
  std::string said;
  // A sink that failed also fails to close, for the same reason: said once.
  auto closed = [&console, &said](exporting::ExportSink& sink) {
    if (sink.Close()) return kOk;
    if (sink.Error() != said) console.Note(sink.Error());
    return kFailed;
  };
  for (const Job& job : plan.jobs) {
    exporting::ExportSettings settings = plan.settings;
    settings.path = job.output;
    std::unique_ptr<exporting::ExportSink> own;
    if (plan.oneFile && !shared) shared = exporting::CreateExport(settings);
    if (!plan.oneFile) own = exporting::CreateExport(settings);
    exporting::ExportSink& sink = plan.oneFile ? *shared : *own;
    status = Worse(status, ExportLog(a, plan, job, sink, console, said));
    if (own) status = Worse(status, closed(*own));
    if (status == kInterrupted || status == kUsageError || (status == kFailed && plan.oneFile))
      break;
  }
  if (shared) status = Worse(status, closed(*shared));
  return status;
}

}  // namespace

int RunExport(const ExportArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  ExportPlan plan;
  std::string error;
  auto usage = [&console](const std::string& text) {
    console.Note(text);
    return kUsageError;
  };
  if (!ReadFormat(a, plan, error) || !ReadOptions(a, plan, error)) return usage(error);
  if (!a.excludeSegments.empty() && a.logs.size() > 1)
    return usage("--exclude-segments takes one log (segment numbers are the log's own)");
  if (int status = PlanJobs(a, plan, console); status != kOk) return status;
  if (!plan.oneFile) {
    std::error_code ec;
    fs::create_directories(a.outdir, ec);
    if (ec) {
      console.Note(a.outdir + ": " + ec.message());
      return kFailed;
    }
  }
  if (int status = GuardInputs(plan, console); status != kOk) return status;
  return ExportAll(a, plan, console);
}

CLI::App* AddExport(CLI::App& app, ExportArgs& e) {
  auto* cmd = app.add_subcommand("export", "Export the readings of logs as a map or a table");
  cmd->add_option("logs", e.logs, "Receiver logs")->required();
  cmd->add_option("-o,--output", e.output, "File of all the logs' readings");
  cmd->add_option("--outdir", e.outdir, "Folder of one file per log (created if missing)");
  cmd->add_option("--to", e.to, "gpkg, geojson, kml or csv (default: from -o's name)");
  cmd->add_option("--product", e.product,
                  "Product (skips detection): " + ProductNames() + ", or the item number");
  cmd->add_option("--receivers", e.receivers, "Receivers to export, e.g. 1,3");
  cmd->add_option("--exclude-segments", e.excludeSegments,
                  "Segments to leave out, numbers and ranges as 'morphel index' numbers them "
                  "(1-5,8)");
  cmd->add_flag("--best-server", e.bestServer,
                "Only the strongest reading per receiver and record");
  cmd->add_option("--every-seconds", e.everySeconds, "One reading per receiver per N seconds");
  cmd->add_option("--every-metres", e.everyMetres, "One reading per receiver per N metres driven");
  cmd->add_option("--bands", e.bands,
                  "KML colour band edges in dBm, strongest first (default -70,-85,-100)");
  cmd->add_flag("-q,--quiet", e.quiet, "No progress and no summary lines");
  return cmd;
}

CLI::App* AddInfo(CLI::App& app, InfoArgs& i) {
  auto* cmd = app.add_subcommand("info", "Tell what a log holds");
  cmd->add_option("log", i.log, "Receiver log")->required();
  cmd->add_option("--product", i.product, "Product (skips detection)");
  cmd->add_flag("--json", i.json, "One JSON document on standard output");
  return cmd;
}

}  // namespace morphel::cli
