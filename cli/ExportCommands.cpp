#include "cli/ExportCommands.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "app/Catalog.h"
#include "app/Detect.h"
#include "app/MainModel.h"
#include "app/Readers.h"
#include "cli/CliHooks.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "export/Export.h"
#include "index/IndexRun.h"
#include "index/ReadingRun.h"

namespace morphel::cli {

namespace {

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

int Usage(const std::string& text) {
  std::fprintf(stderr, "morphel: %s\n", text.c_str());
  return kUsageError;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "morphel: %s\n", text.c_str());
  return kFailed;
}

std::string BaseName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
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
int PlanJobs(const ExportArgs& a, ExportPlan& plan) {
  std::set<std::string> outputs;
  for (const std::string& log : a.logs) {
    int status = kOk;
    Job job{log, LogProduct(a.product, log, status), a.output};
    if (!job.item) return status;
    const ProductInfo* product = ProductByItem(job.item);
    for (int r = 1; r <= 4; ++r)
      if (!a.receivers.empty() && plan.options.receivers[static_cast<size_t>(r - 1)] &&
          r > product->receivers)
        return Usage("receiver " + std::to_string(r) + " is not available for " + product->caption);
    if (!plan.oneFile) {
      job.output = (std::filesystem::path(a.outdir) / (std::filesystem::path(log).stem().string() +
                                                       exporting::ExportExtension(plan.format)))
                       .string();
      if (!outputs.insert(job.output).second)
        return Usage("two logs would both be exported to " + job.output);
    }
    plan.jobs.push_back(job);
  }
  return kOk;
}

// Nothing is ever written over a log being exported.
int GuardInputs(const ExportPlan& plan) {
  for (const Job& job : plan.jobs) {
    const std::string paging = exporting::PagingFileName(plan.format, job.output);
    for (const Job& other : plan.jobs) {
      if (SameFile(job.output, other.log) || (!paging.empty() && SameFile(paging, other.log))) {
        std::fprintf(stderr, "%s: %s (%s)\n", MessageCaption(MessageKind::Error),
                     "Output File Is The Input File!", other.log.c_str());
        return kFailed;
      }
    }
  }
  return kOk;
}

// Leaves out the listed segments (numbers as 'morphel index' prints them).
int ExcludeSegments(Product& reader, const Settings& s, int item, const std::string& list,
                    bool quiet) {
  CliHooks hooks("Indexing", quiet);
  IndexRun index(reader, s, item, hooks);
  if (index.Run() != IndexOutcome::Completed) return kFailed;
  for (const std::string& entry : SplitList(list)) {
    if (entry.empty()) continue;
    char* end = nullptr;
    errno = 0;
    const long k = std::strtol(entry.c_str(), &end, 10);
    if (errno || *end || k < 1 || k > index.SegmentsFound())
      return Usage("segment '" + entry + "' is not one of 1.." +
                   std::to_string(index.SegmentsFound()));
    if (k > SegmentTable::kMaxSegments)
      return Usage("segment " + entry + " lies beyond the first " +
                   std::to_string(SegmentTable::kMaxSegments) +
                   " segments, which alone can be left out");
    reader.SegmentNodes.SetState(static_cast<int>(k - 1), SegmentTable::kUnchecked);
  }
  return kOk;
}

void PrintSummary(const Job& job, const ReadingRun& run, ExportFormat format) {
  const ReadingSummary& s = run.Summary();
  const char* noFix = format == ExportFormat::Csv ? "empty position" : "no geometry";
  std::string text = fmt::format(
      "{}: {} readings written to {}, {} without a position fix ({}), "
      "{} paging messages",
      job.log, s.readings, job.output, s.withoutFix, noFix, s.messages);
  if (s.stopped)
    text = fmt::format(
        "{}: interrupted at {}%: {} readings and {} paging messages written to {} "
        "before the stop",
        job.log, s.percent, s.readings, s.messages, job.output);
  else if (s.readings == 0 && s.messages == 0 && s.inputSize > 0)
    text = job.log + ": " + run.EmptyResultReason();
  std::fprintf(stderr, "%s\n", text.c_str());
}

// The worse of two outcomes: interrupted, failed, a wrong command line (a
// segment the log does not have), nothing written.
int Worse(int a, int b) {
  for (int status : {kInterrupted, kFailed, kUsageError, kNothingWritten})
    if (a == status || b == status) return status;
  return a;
}

// One log through its reader into the sink.
int ExportLog(const ExportArgs& a, const ExportPlan& plan, const Job& job,
              exporting::ExportSink& sink) {
  std::unique_ptr<Product> reader = CreateReader(job.item);
  const ProductInfo* product = ProductByItem(job.item);
  if (!reader) return Fail(std::string("no reader for ") + product->caption + " in this build");
  Settings s;
  s.InputFilename = job.log;
  s.InputFormatGroup = job.item;
  if (!a.excludeSegments.empty()) {
    const int status = ExcludeSegments(*reader, s, job.item, a.excludeSegments, a.quiet);
    if (status != kOk) return status;
  }
  sink.SetLog({product->cliName, BaseName(job.log),
               job.item == kItemBrisel || job.item == kItemBriselCard});
  CliHooks hooks("Exporting", a.quiet);
  ReadingRun run(*reader, s, plan.options, hooks);
  const ReadingOutcome outcome = run.Run(sink);
  PrintReaderDamage(job.log, *reader);
  if (outcome == ReadingOutcome::InputFailed) return kFailed;
  if (outcome == ReadingOutcome::SinkFailed) return Fail(sink.Error());
  const ReadingSummary& sum = run.Summary();
  const bool nothing = sum.readings == 0 && sum.messages == 0 && sum.inputSize > 0;
  // Quiet keeps the line of a whole run to itself, never why a run fell short.
  if (!a.quiet || sum.stopped || nothing) PrintSummary(job, run, plan.format);
  if (sum.stopped) return kInterrupted;
  return nothing ? kNothingWritten : kOk;
}

int ExportAll(const ExportArgs& a, const ExportPlan& plan) {
  InstallInterruptHandler();
  std::unique_ptr<exporting::ExportSink> shared;
  int status = kOk;
  for (const Job& job : plan.jobs) {
    exporting::ExportSettings settings = plan.settings;
    settings.path = job.output;
    std::unique_ptr<exporting::ExportSink> own;
    if (plan.oneFile && !shared) shared = exporting::CreateExport(settings);
    if (!plan.oneFile) own = exporting::CreateExport(settings);
    exporting::ExportSink& sink = plan.oneFile ? *shared : *own;
    status = Worse(status, ExportLog(a, plan, job, sink));
    if (own && !own->Close()) status = Worse(status, Fail(own->Error()));
    if (status == kInterrupted || status == kUsageError || (status == kFailed && plan.oneFile))
      break;
  }
  if (shared && !shared->Close()) status = Worse(status, Fail(shared->Error()));
  return status;
}

}  // namespace

int LogProduct(const std::string& name, const std::string& log, int& status) {
  if (!name.empty()) {
    const ProductInfo* p = ProductByName(name);
    if (!p || !p->supported) {
      status = Usage("unknown product '" + name + "'");
      return 0;
    }
    return p->item;
  }
  if (::access(log.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "%s: %s: %s\n", MessageCaption(MessageKind::Error),
                 ReadingRun::kInputMissing, SystemReason(log, errno).c_str());
    status = kFailed;
    return 0;
  }
  const int item = DetectProduct(log);
  if (item == kItemNone || !ProductByItem(item)->supported) {
    std::fprintf(stderr, "%s: %s (%s)\n", MessageCaption(MessageKind::Warning),
                 MainModel::kNotOurProduct, log.c_str());
    status = kFailed;
    return 0;
  }
  return item;
}

std::string DamageText(const DamageCounts& d) {
  return fmt::format(
      "{} bytes skipped while resynchronising, {} blocks with bad lengths, {} unknown records, "
      "{} truncated blocks",
      d.resyncBytes, d.badLengthBlocks, d.unknownRecords, d.truncatedBlocks);
}

void PrintReaderDamage(const std::string& log, const Product& reader) {
  if (!reader.Damage.Any()) return;
  std::fprintf(stderr, "morphel: %s is damaged: %s\n", log.c_str(),
               DamageText(reader.Damage).c_str());
}

int RunExport(const ExportArgs& a) {
  ExportPlan plan;
  std::string error;
  if (a.logs.empty()) return Usage("give the logs to export");
  if (!ReadFormat(a, plan, error) || !ReadOptions(a, plan, error)) return Usage(error);
  if (!a.excludeSegments.empty() && a.logs.size() > 1)
    return Usage("--exclude-segments takes one log (segment numbers are the log's own)");
  if (int status = PlanJobs(a, plan); status != kOk) return status;
  if (!plan.oneFile) {
    std::error_code ec;
    std::filesystem::create_directories(a.outdir, ec);
    if (ec) return Fail(a.outdir + ": " + ec.message());
  }
  if (int status = GuardInputs(plan); status != kOk) return status;
  return ExportAll(a, plan);
}

void AddExportCommands(CLI::App& app, ExportCommands& c) {
  ExportArgs& e = c.exportArgs;
  c.exportCmd = app.add_subcommand("export", "Export the readings of logs as a map or a table");
  c.exportCmd->add_option("logs", e.logs, "Receiver logs")->required();
  c.exportCmd->add_option("-o,--output", e.output, "File of all the logs' readings");
  c.exportCmd->add_option("--outdir", e.outdir, "Folder of one file per log");
  c.exportCmd->add_option("--to", e.to, "gpkg, geojson, kml or csv (default: from -o's name)");
  c.exportCmd->add_option("--product", e.product, "Product name or item (skips detection)");
  c.exportCmd->add_option("--receivers", e.receivers, "Receivers to export, e.g. 1,3");
  c.exportCmd->add_option("--exclude-segments", e.excludeSegments,
                          "Segment numbers (as 'morphel index' prints them) to leave out");
  c.exportCmd->add_flag("--best-server", e.bestServer,
                        "Only the strongest reading per receiver and record");
  c.exportCmd->add_option("--every-seconds", e.everySeconds,
                          "One reading per receiver per N seconds");
  c.exportCmd->add_option("--every-metres", e.everyMetres,
                          "One reading per receiver per N metres driven");
  c.exportCmd->add_option("--bands", e.bands,
                          "KML colour band edges in dBm, strongest first (default -70,-85,-100)");
  c.exportCmd->add_flag("-q,--quiet", e.quiet, "No progress and no summary lines");

  InfoArgs& i = c.infoArgs;
  c.infoCmd = app.add_subcommand("info", "Tell what a log holds");
  c.infoCmd->add_option("log", i.log, "Receiver log")->required();
  c.infoCmd->add_option("--product", i.product, "Product name or item (skips detection)");
  c.infoCmd->add_flag("--json", i.json, "As a JSON object");
}

int RunExportCommands(const ExportCommands& c) {
  if (c.exportCmd && *c.exportCmd) return RunExport(c.exportArgs);
  if (c.infoCmd && *c.infoCmd) return RunInfo(c.infoArgs);
  return -1;
}

}  // namespace morphel::cli
