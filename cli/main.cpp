// morphel: the command line over the conversion engine.
//   morphel sample  --product P -o FILE      write a synthetic log
//   morphel convert LOG... [-o OUTPUT] ...   convert one log, or many (--outdir, --jobs)
//   morphel convert --config FILE.cfg ...    convert as a saved set-up says
//   morphel config save FILE.cfg [LOG] ...   save the set-up the options give
//   morphel gather FILE [--product P]        the log's record rate
//   morphel detect FILE...                   which product wrote each file
//   morphel fields (--product P | FILE)      the product's available fields
//   morphel index FILE [--product P]         the log's measurement segments
//   morphel products, morphel formats        the names the options take
//   morphel export LOG... -o FILE|--outdir DIR  readings as a map or a table
//   morphel info LOG [--json]                what a log holds

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExportCommands.h"

namespace {

using morphel::cli::FormatNames;
using morphel::cli::ProductNames;

// The options that describe a conversion set-up (convert and config save).
void AddSetupOptions(CLI::App* cmd, morphel::cli::ConvertArgs& conv) {
  cmd->add_option("--config", conv.config, "Saved set-up applied before the other options");
  cmd->add_option("-o,--output", conv.output,
                  "Output file; '-' writes to standard output (default: the log's name with its "
                  "extension replaced by .out)");
  cmd->add_option("--product", conv.product,
                  "Product (skips detection): " + ProductNames() + ", or the item number");
  cmd->add_option("--format", conv.format,
                  "Output format preset: " + FormatNames() + ", or the item 0..12");
  cmd->add_option("--fields", conv.fields,
                  "Comma-separated field names (any case) or ids, as 'morphel fields' lists them");
  cmd->add_option("--receivers", conv.receivers, "Receivers to convert, e.g. 1,3 or none");
  cmd->add_option("--data", conv.data, "Field Data values: freq,channel,rssi,sat,vmac or none");
  cmd->add_option("--delimiter", conv.delimiter,
                  "comma, semicolon, tab, space or one other character");
  cmd->add_flag("--header", conv.header, "Write the title line");
  cmd->add_flag("--no-header", conv.noHeader, "Write no title line");
  cmd->add_option("--reduce", conv.reduce, "all or best-server");
  cmd->add_option("--average", conv.average, "none or lambda");
  cmd->add_option("--speed", conv.speed, "Average vehicle speed for 40 lambda averaging");
  cmd->add_flag("--kmh", conv.kmh, "The speed is in km/h (default MPH)");
  cmd->add_option("--scan-type", conv.scanType, "table or fast");
  cmd->add_option("--per-seconds", conv.perSeconds, "One averaged record per N seconds");
  cmd->add_flag("--split", conv.split, "Split into files of 60000 records for Excel");
  cmd->add_option("--exclude-segments", conv.excludeSegments,
                  "Segments to leave out, numbers and ranges as 'morphel index' numbers them "
                  "(1-5,8)");
  cmd->add_flag("--native", conv.native, "Write the reader's own layout whatever the format");
  cmd->add_flag("--no-native", conv.noNative, "Write delimited rows whatever the format");
}

struct Args {
  morphel::cli::SampleArgs sample;
  morphel::cli::ConvertArgs convert;
  morphel::cli::ConfigSaveArgs save;
  morphel::cli::DetectArgs detect;
  morphel::cli::FieldsArgs fields;
  morphel::cli::IndexArgs index;
  morphel::cli::GatherArgs gather;
  morphel::cli::ExportArgs exportLogs;
  morphel::cli::InfoArgs info;
};

struct Commands {
  CLI::App *sample, *convert, *save, *detect, *fields, *index, *gather, *products, *formats,
      *exportLogs, *info;
};

CLI::App* AddSample(CLI::App& app, morphel::cli::SampleArgs& a) {
  auto* cmd = app.add_subcommand("sample", "Write a synthetic log of a product");
  cmd->add_option("--product", a.product, "Product: " + ProductNames())->required();
  cmd->add_option("-o,--output", a.output, "Log file to write")->required();
  cmd->add_option("--seconds", a.options.seconds, "Length of the drive in seconds");
  cmd->add_option("--seed", a.options.seed, "Seed of the drive model");
  cmd->add_option("--firmware", a.options.firmware, "Firmware version to imitate");
  cmd->add_flag("--force", a.force, "Replace the file if it exists");
  return cmd;
}

CLI::App* AddConvert(CLI::App& app, morphel::cli::ConvertArgs& a) {
  auto* cmd = app.add_subcommand("convert", "Convert a log, or many logs with one set of options");
  cmd->add_option("input", a.inputs,
                  "Receiver logs (default: the configuration's), each detected on its own unless "
                  "--product");
  AddSetupOptions(cmd, a);
  cmd->add_option("--outdir", a.outdir,
                  "Folder for the outputs, named by the default rule (created if missing)");
  cmd->add_option("--jobs", a.jobs, "Logs converted at the same time (default 1)");
  cmd->add_option("--frozen-clock", a.frozenClock,
                  "Seconds since 1970 stamped into side files (reproducible output)");
  cmd->add_flag("-q,--quiet", a.quiet, "No progress and no completion message");
  cmd->footer(std::string("Products (--product): ") + ProductNames() +
              "; 'morphel products' describes them.\nFormats (--format): " + FormatNames() +
              "; 'morphel formats' describes them.\n\n" + morphel::cli::kExitStatusHelp);
  return cmd;
}

CLI::App* AddConfigSave(CLI::App& app, morphel::cli::ConfigSaveArgs& a) {
  auto* config = app.add_subcommand("config", "Saved set-ups (.cfg files)");
  config->require_subcommand(1);
  auto* cmd = config->add_subcommand("save", "Write the set-up the options describe");
  cmd->add_option("file", a.file, "Configuration file to write")->required();
  cmd->add_option("input", a.input, "Receiver log (optional)");
  AddSetupOptions(cmd, a.set);
  return cmd;
}

// The commands that tell about logs and names.
void AddQuestions(CLI::App& app, Args& a, Commands& c) {
  const char* json = "One JSON document on standard output";
  c.detect = app.add_subcommand("detect", "Tell which product wrote each file");
  c.detect->add_option("files", a.detect.files, "Log files")->required();
  c.detect->add_flag("--json", a.detect.json, json);

  c.fields = app.add_subcommand("fields", "List a product's available fields");
  c.fields->add_option("file", a.fields.file, "A log of the product");
  c.fields->add_option("--product", a.fields.product, "Product: " + ProductNames());
  c.fields->add_flag("--json", a.fields.json, json);

  c.index = app.add_subcommand("index", "List a log's measurement segments");
  c.index->add_option("file", a.index.file, "Receiver log")->required();
  c.index->add_option("--product", a.index.product, "Product (skips detection)");
  c.index->add_flag("--json", a.index.json, json);

  c.gather = app.add_subcommand("gather", "Count a log's records and seconds (record rate)");
  c.gather->add_option("file", a.gather.file, "Receiver log")->required();
  c.gather->add_option("--product", a.gather.product, "Product (skips detection)");
  c.gather->add_flag("--json", a.gather.json, json);

  c.products = app.add_subcommand("products", "List the products and their names");
  c.formats = app.add_subcommand("formats", "List the output formats and their names");
}

int Dispatch(const Commands& c, const Args& a) {
  using namespace morphel::cli;
  if (*c.sample) return RunSample(a.sample);
  if (*c.convert) return RunConvert(a.convert);
  if (*c.detect) return RunDetect(a.detect);
  if (*c.fields) return RunFields(a.fields);
  if (*c.index) return RunIndex(a.index);
  if (*c.save) return RunConfigSave(a.save);
  if (*c.gather) return RunGather(a.gather);
  if (*c.products) return RunProducts();
  if (*c.formats) return RunFormats();
  if (*c.exportLogs) return RunExport(a.exportLogs);
  if (*c.info) return RunInfo(a.info);
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace morphel::cli;
  CLI::App app{"Morphel: converts and filters receiver drive-test logs", "morphel"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "morphel 5.15");
  // Subcommands take the footer over when they are made.
  app.footer(kExitStatusHelp);

  Args args;
  Commands commands{};
  commands.sample = AddSample(app, args.sample);
  commands.convert = AddConvert(app, args.convert);
  commands.save = AddConfigSave(app, args.save);
  AddQuestions(app, args, commands);
  commands.exportLogs = AddExport(app, args.exportLogs);
  commands.info = AddInfo(app, args.info);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version print as CLI11 prints them; a wrong command line is
    // one line naming what was wrong.
    if (e.get_exit_code() == 0) return app.exit(e);
    if (app.get_subcommands().empty() && argc > 1 && argv[1][0] != '-') {
      std::fprintf(stderr, "morphel: unknown command '%s'\n", argv[1]);
      return kUsageError;
    }
    std::fprintf(stderr, "morphel: %s\n", e.what());
    return kUsageError;
  }
  return Dispatch(commands, args);
}
