#pragma once
// Exports of tidy readings: one row (CSV) or one point feature (GeoPackage,
// GeoJSON, KML) per reading, and the paging messages of Zev logs in a second
// table. CSV and KML are written here, as text; GeoPackage and GeoJSON
// through GDAL/OGR, in a module loaded when one is asked for. The engine does
// not depend on this library.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/Cells.h"
#include "index/ReadingRun.h"

namespace morphel::exporting {

enum class ExportFormat { Gpkg, GeoJson, Kml, Csv };

// "gpkg", "geojson", "kml", "csv".
std::optional<ExportFormat> ExportFormatByName(std::string_view name);
// From a file name's extension (.gpkg, .geojson or .json, .kml, .csv).
std::optional<ExportFormat> ExportFormatForPath(std::string_view path);
const char* ExportFormatName(ExportFormat format);
// ".gpkg", ".geojson", ".kml", ".csv".
const char* ExportExtension(ExportFormat format);
// The file of the paging messages of a format that holds one table per file
// (CSV, GeoJSON): "<name>-paging<ext>"; empty for the others, which give the
// messages a layer of their own.
std::string PagingFileName(ExportFormat format, const std::string& path);

// The RSSI band edges of the KML styles, strongest first (dBm).
std::vector<int> DefaultBandEdges();
// "-70,-85,-100": one to eight whole dBm values, each below the one before.
bool ParseBandEdges(std::string_view text, std::vector<int>& edges, std::string& error);

struct ExportSettings {
  ExportFormat format = ExportFormat::Csv;
  std::string path;
  std::vector<int> bandEdges = DefaultBandEdges();
};

// A reading sink that writes one export. Logs follow one another into the
// same file(s): SetLog names the next one before its run. Close finishes the
// files; an export that is not closed leaves what it wrote in a state its
// format allows.
class ExportSink : public ReadingSink {
 public:
  void SetLog(const ExportLog& log) { log_ = log; }
  virtual bool Close() = 0;
  std::string Error() const override { return error_; }
  // Features written so far, by layer: readings and paging messages.
  int64_t ReadingsWritten() const { return readings_; }
  int64_t MessagesWritten() const { return messages_; }

 protected:
  ExportLog log_;
  std::string error_;
  int64_t readings_ = 0;
  int64_t messages_ = 0;
};

std::unique_ptr<ExportSink> CreateExport(const ExportSettings& settings);

}  // namespace morphel::exporting
