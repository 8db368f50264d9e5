#pragma once
// morphel export: the readings of logs as maps (GeoPackage, GeoJSON, KML)
// and tables (CSV). morphel info: what a log holds.
//
// Exit statuses as for convert: 0 done, 1 a run error, 2 a bad command line,
// 3 nothing written from a non-empty log, 130 interrupted.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace morphel::cli {

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

// The two subcommands and their options.
CLI::App* AddExport(CLI::App& app, ExportArgs& args);
CLI::App* AddInfo(CLI::App& app, InfoArgs& args);

int RunExport(const ExportArgs& args);
int RunInfo(const InfoArgs& args);

}  // namespace morphel::cli
