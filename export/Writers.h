#pragma once
// The export writers behind CreateExport.

#include <memory>

#include "export/Export.h"

namespace morphel::exporting {

std::unique_ptr<ExportSink> CreateCsvExport(const ExportSettings& settings);
std::unique_ptr<ExportSink> CreateKmlExport(const ExportSettings& settings);
// GeoPackage and GeoJSON, from the GDAL module (loaded on first use).
std::unique_ptr<ExportSink> CreateGisExport(const ExportSettings& settings);

// What the GDAL module exports: a new sink the caller owns.
using GisFactory = ExportSink* (*)(const ExportSettings& settings);
constexpr const char* kGisFactorySymbol = "MorphelCreateGisExport";

}  // namespace morphel::exporting
