#pragma once
// The export writers behind CreateExport.

#include <memory>

#include "export/Export.h"

namespace morphel::exporting {

std::unique_ptr<ExportSink> CreateCsvExport(const ExportSettings& settings);
std::unique_ptr<ExportSink> CreateGisExport(const ExportSettings& settings);

}  // namespace morphel::exporting
