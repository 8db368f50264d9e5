#include "export/Export.h"

#include <charconv>

#include "export/Writers.h"

namespace morphel::exporting {

namespace {

struct FormatRow {
  ExportFormat format;
  const char* name;
  const char* extension;
  bool pagingFile;  // one table per file: the messages get a file of their own
};

constexpr FormatRow kFormats[] = {
    {ExportFormat::Gpkg, "gpkg", ".gpkg", false},
    {ExportFormat::GeoJson, "geojson", ".geojson", true},
    {ExportFormat::Kml, "kml", ".kml", false},
    {ExportFormat::Csv, "csv", ".csv", true},
};

const FormatRow& Row(ExportFormat format) {
  for (const FormatRow& row : kFormats)
    if (row.format == format) return row;
  return kFormats[0];
}

constexpr size_t kMaxBands = 8;

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  text = text.substr(text.size() - tail.size());
  for (size_t i = 0; i < tail.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<ExportFormat> ExportFormatByName(std::string_view name) {
  for (const FormatRow& row : kFormats)
    if (name == row.name) return row.format;
  return std::nullopt;
}

std::optional<ExportFormat> ExportFormatForPath(std::string_view path) {
  for (const FormatRow& row : kFormats)
    if (EndsWithNoCase(path, row.extension)) return row.format;
  if (EndsWithNoCase(path, ".json")) return ExportFormat::GeoJson;
  return std::nullopt;
}

const char* ExportFormatName(ExportFormat format) {
  return Row(format).name;
}
const char* ExportExtension(ExportFormat format) {
  return Row(format).extension;
}

std::string PagingFileName(ExportFormat format, const std::string& path) {
  if (!Row(format).pagingFile) return {};
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (!hasExtension) return path + "-paging";
  return path.substr(0, dot) + "-paging" + path.substr(dot);
}

std::vector<int> DefaultBandEdges() {
  return {-70, -85, -100};
}

bool ParseBandEdges(std::string_view text, std::vector<int>& edges, std::string& error) {
  std::vector<int> parsed;
  while (true) {
    const size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    int value = 0;
    auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (item.empty() || ec != std::errc() || end != item.data() + item.size()) {
      error = "band edge '" + std::string(item) + "' is not a whole number of dBm";
      return false;
    }
    if (!parsed.empty() && value >= parsed.back()) {
      error = "band edges go from the strongest down: " + std::to_string(value) +
              " does not lie below " + std::to_string(parsed.back());
      return false;
    }
    parsed.push_back(value);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (parsed.size() > kMaxBands) {
    error = "at most " + std::to_string(kMaxBands) + " band edges";
    return false;
  }
  edges = parsed;
  return true;
}

std::unique_ptr<ExportSink> CreateExport(const ExportSettings& settings) {
  switch (settings.format) {
    case ExportFormat::Csv:
      return CreateCsvExport(settings);
    case ExportFormat::Kml:
      return CreateKmlExport(settings);
    case ExportFormat::Gpkg:
    case ExportFormat::GeoJson:
      break;
  }
  return CreateGisExport(settings);
}

}  // namespace morphel::exporting
