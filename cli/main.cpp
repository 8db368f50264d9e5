// morphel: the command line over the conversion engine.
//   morphel sample  --product P -o FILE      write a synthetic log
//   morphel convert INPUT [-o OUTPUT] ...    convert a log
//   morphel detect FILE...                   which product wrote each file
//   morphel fields (--product P | FILE)      the product's available fields
//   morphel index FILE [--product P]         the log's measurement segments

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"

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
  convertCmd->add_option("input", conv.input, "Receiver log")->required();
  convertCmd->add_option("-o,--output", conv.output, "Output file (default: input name + .out)");
  convertCmd->add_option("--product", conv.product, "Product name or item (skips detection)");
  convertCmd->add_option("--format", conv.format, "Output format name or item 0..12");
  convertCmd->add_option("--fields", conv.fields, "Comma-separated field names or ids");
  convertCmd->add_option("--receivers", conv.receivers, "Receivers to convert, e.g. 1,3 or none");
  convertCmd->add_option("--data", conv.data, "Field Data values: freq,channel,rssi,sat,vmac");
  convertCmd->add_option("--delimiter", conv.delimiter,
                         "comma, semicolon, tab, space or one other character");
  convertCmd->add_flag("--header", conv.header, "Write the title line");
  convertCmd->add_flag("--no-header", conv.noHeader, "Write no title line");
  convertCmd->add_option("--reduce", conv.reduce, "all or best-server");
  convertCmd->add_option("--average", conv.average, "none or lambda");
  convertCmd->add_option("--speed", conv.speed, "Average vehicle speed for 40 lambda averaging");
  convertCmd->add_flag("--kmh", conv.kmh, "The speed is in km/h (default MPH)");
  convertCmd->add_option("--scan-type", conv.scanType, "table or fast");
  convertCmd->add_option("--per-seconds", conv.perSeconds, "One averaged record per N seconds");
  convertCmd->add_flag("--split", conv.split, "Split into files of 60000 records for Excel");
  convertCmd->add_option("--exclude-segments", conv.excludeSegments,
                         "Segment numbers (as 'morphel index' prints them) to leave out");
  convertCmd->add_option("--frozen-clock", conv.frozenClock,
                         "Seconds since 1970 stamped into side files (reproducible output)");
  convertCmd->add_flag("-q,--quiet", conv.quiet, "No completion message");

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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kUsageError;
  }

  if (*sampleCmd) return RunSample(sample);
  if (*convertCmd) return RunConvert(conv);
  if (*detectCmd) return RunDetect(detectFiles);
  if (*fieldsCmd) return RunFields(fieldsArgs);
  if (*indexCmd) return RunIndex(indexArgs);
  return kUsageError;
}
