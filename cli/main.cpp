// morphel: the command line over the conversion engine.
//   morphel sample  --product P -o FILE      write a synthetic log
//   morphel convert INPUT [-o OUTPUT] ...    convert a log
//   morphel convert --config FILE.cfg ...    convert as a saved set-up says
//   morphel config save FILE.cfg INPUT ...   save the set-up the options give
//   morphel gather FILE [--product P]        the log's record rate
//   morphel detect FILE...                   which product wrote each file
//   morphel fields (--product P | FILE)      the product's available fields
//   morphel index FILE [--product P]         the log's measurement segments
//   morphel export LOG... -o FILE|--outdir DIR  readings as a map or a table
//   morphel info LOG [--json]                what a log holds

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExportCommands.h"

namespace {

// The options that describe a conversion set-up (convert and config save).
void AddSetupOptions(CLI::App* cmd, morphel::cli::ConvertArgs& conv) {
  cmd->add_option("--config", conv.config, "Saved set-up applied before the other options");
  cmd->add_option("-o,--output", conv.output, "Output file (default: input name + .out)");
  cmd->add_option("--product", conv.product, "Product name or item (skips detection)");
  cmd->add_option("--format", conv.format, "Output format name or item 0..12");
  cmd->add_option("--fields", conv.fields, "Comma-separated field names or ids");
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
                  "Segment numbers (as 'morphel index' prints them) to leave out");
  cmd->add_flag("--native", conv.native, "Write the reader's own layout whatever the format");
  cmd->add_flag("--no-native", conv.noNative, "Write delimited rows whatever the format");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace morphel::cli;
  CLI::App app{"Morphel: converts and filters receiver drive-test logs", "morphel"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "morphel 5.15");

  SampleArgs sample;
  auto* sampleCmd = app.add_subcommand("sample", "Write a synthetic log of a product");
  sampleCmd->add_option("--product", sample.product, "Product name")->required();
  sampleCmd->add_option("-o,--output", sample.output, "Log file to write")->required();
  sampleCmd->add_option("--seconds", sample.options.seconds, "Length of the drive in seconds");
  sampleCmd->add_option("--seed", sample.options.seed, "Seed of the drive model");
  sampleCmd->add_option("--firmware", sample.options.firmware, "Firmware version to imitate");

  ConvertArgs conv;
  auto* convertCmd = app.add_subcommand("convert", "Convert a log");
  convertCmd->add_option("input", conv.input, "Receiver log (default: the configuration's)");
  AddSetupOptions(convertCmd, conv);
  convertCmd->add_option("--frozen-clock", conv.frozenClock,
                         "Seconds since 1970 stamped into side files (reproducible output)");
  convertCmd->add_flag("-q,--quiet", conv.quiet, "No completion message");

  ConfigSaveArgs saveArgs;
  auto* configCmd = app.add_subcommand("config", "Saved set-ups (.cfg files)");
  configCmd->require_subcommand(1);
  auto* saveCmd = configCmd->add_subcommand("save", "Write the set-up the options describe");
  saveCmd->add_option("file", saveArgs.file, "Configuration file to write")->required();
  saveCmd->add_option("input", saveArgs.set.input, "Receiver log");
  AddSetupOptions(saveCmd, saveArgs.set);

  std::vector<std::string> detectFiles;
  auto* detectCmd = app.add_subcommand("detect", "Tell which product wrote each file");
  detectCmd->add_option("files", detectFiles, "Log files")->required();

  FieldsArgs fieldsArgs;
  auto* fieldsCmd = app.add_subcommand("fields", "List a product's available fields");
  fieldsCmd->add_option("file", fieldsArgs.file, "A log of the product");
  fieldsCmd->add_option("--product", fieldsArgs.product, "Product name or item");

  IndexArgs indexArgs;
  auto* indexCmd = app.add_subcommand("index", "List a log's measurement segments");
  indexCmd->add_option("file", indexArgs.file, "Receiver log")->required();
  indexCmd->add_option("--product", indexArgs.product, "Product name or item (skips detection)");

  GatherArgs gatherArgs;
  auto* gatherCmd = app.add_subcommand("gather", "Count a log's records and seconds (record rate)");
  gatherCmd->add_option("file", gatherArgs.file, "Receiver log")->required();
  gatherCmd->add_option("--product", gatherArgs.product, "Product name or item (skips detection)");

  ExportCommands exportCommands;
  AddExportCommands(app, exportCommands);

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

  if (*sampleCmd) return RunSample(sample);
  if (*convertCmd) return RunConvert(conv);
  if (*detectCmd) return RunDetect(detectFiles);
  if (*fieldsCmd) return RunFields(fieldsArgs);
  if (*indexCmd) return RunIndex(indexArgs);
  if (*saveCmd) return RunConfigSave(saveArgs);
  if (*gatherCmd) return RunGather(gatherArgs);
  if (int status = RunExportCommands(exportCommands); status >= 0) return status;
  return kUsageError;
}
