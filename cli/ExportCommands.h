#pragma once
// morphel export: the readings of logs as maps (GeoPackage, GeoJSON, KML)
// and tables (CSV). morphel info: what a log holds.
//
// Exit statuses: 0 done, 1 a run error, 2 a bad command line, 3 nothing
// written from a non-empty log, 130 interrupted.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "products/Product.h"

namespace morphel::cli {

constexpr int kNothingWritten = 3;
constexpr int kInterrupted = 130;

struct ExportArgs {
  std::vector<std::string> logs;
  std::string output, outdir, to, product, receivers, excludeSegments, bands;
  bool bestServer = false;
  std::optional<double> everySeconds, everyMetres;
  bool quiet = false;
};

struct InfoArgs {
  std::string log, product;
  bool json = false;
};

struct ExportCommands {
  ExportArgs exportArgs;
  InfoArgs infoArgs;
  CLI::App* exportCmd = nullptr;
  CLI::App* infoCmd = nullptr;
};

// Adds the two subcommands and their options to the command line.
void AddExportCommands(CLI::App& app, ExportCommands& commands);
// Runs the chosen one; -1 when neither was chosen.
int RunExportCommands(const ExportCommands& commands);

int RunExport(const ExportArgs& args);
int RunInfo(const InfoArgs& args);

// The product item of a log, named or detected; 0 with the message printed
// and status set when there is none.
int LogProduct(const std::string& name, const std::string& log, int& status);
// "N bytes skipped while resynchronising, N blocks with bad lengths, ..."
std::string DamageText(const DamageCounts& damage);
// The reader's damage counts on stderr, when there are any.
void PrintReaderDamage(const std::string& log, const Product& reader);

}  // namespace morphel::cli
