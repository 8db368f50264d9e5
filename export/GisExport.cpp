// GeoPackage and GeoJSON through GDAL/OGR: one point feature per reading (no
// geometry without a position fix), the paging messages in a layer
// (GeoPackage) or a file (GeoJSON) of their own. GeoPackage features go in
// transactions of a fixed size, so memory stays the same however long the
// log. (KML is written by KmlExport, without GDAL.)

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <mutex>

#include "export/Writers.h"

namespace morphel::exporting {

namespace {

constexpr int64_t kTransactionFeatures = 50000;
constexpr int kUtcFlag = 100;  // OGR time zone flag of UTC
constexpr int kUnknownZone = 0;

// GDAL reports through a handler of its own; an export says what failed in
// its message instead, so GDAL's messages stay off the terminal while one of
// ours runs on this thread.
class QuietGdal {
 public:
  QuietGdal() {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietGdal() { CPLPopErrorHandler(); }
  QuietGdal(const QuietGdal&) = delete;
  QuietGdal& operator=(const QuietGdal&) = delete;
};

std::string GdalReason(const std::string& what) {
  const char* message = CPLGetLastErrorMsg();
  return message && *message ? what + ": " + message : what;
}

const char* DriverName(ExportFormat format) {
  switch (format) {
    case ExportFormat::Gpkg:
      return "GPKG";
    case ExportFormat::GeoJson:
      return "GeoJSON";
    case ExportFormat::Kml:
    case ExportFormat::Csv:
      break;
  }
  return "";
}

OGRFieldType FieldType(CellKind kind) {
  switch (kind) {
    case CellKind::Integer:
      return OFTInteger64;
    case CellKind::Boolean:
      return OFTInteger;  // with the boolean subtype
    case CellKind::Real:
      return OFTReal;
    case CellKind::Time:
      return OFTDateTime;
    default:
      return OFTString;
  }
}

void SetCell(OGRFeature& feature, int field, const Cell& cell) {
  switch (cell.kind) {
    case CellKind::Null:
      feature.SetFieldNull(field);
      break;
    case CellKind::Integer:
    case CellKind::Boolean:
      feature.SetField(field, static_cast<GIntBig>(cell.integer));
      break;
    case CellKind::Real:
      feature.SetField(field, cell.real);
      break;
    case CellKind::Text:
      feature.SetField(field, std::string(cell.text).c_str());
      break;
    case CellKind::Time:
      // A time of day without a date does not make a date-time.
      if (!cell.time.HasDate()) {
        feature.SetFieldNull(field);
        break;
      }
      feature.SetField(field, cell.time.year, cell.time.month, cell.time.day, cell.time.hour,
                       cell.time.minute, static_cast<float>(cell.time.second),
                       cell.time.clock == ReadingClock::Gps ? kUtcFlag : kUnknownZone);
      break;
  }
}

class GisExport : public ExportSink {
 public:
  explicit GisExport(const ExportSettings& settings)
      : settings_(settings), pagingPath_(PagingFileName(settings.format, settings.path)) {
    srs_.SetWellKnownGeogCS("WGS84");
    srs_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  }
  ~GisExport() override {
    QuietGdal quiet;
    if (pagingDs_) GDALClose(pagingDs_);
    if (ds_) GDALClose(ds_);
  }

  bool BeginLog(const Product&) override {
    if (ds_) return true;
    QuietGdal quiet;
    return Open();
  }

  bool Take(const ReadingRecord& record) override {
    QuietGdal quiet;
    for (const Reading& reading : record.readings) {
      ReadingCells(log_, record, reading, cells_);
      if (!Write(readingsLayer_, record.position)) return false;
      ++readings_;
    }
    for (const PagingMessage& message : record.messages) {
      MessageCells(log_, record, message, cells_);
      OGRLayer* layer = PagingLayer();
      if (!layer || !Write(layer, record.position)) return false;
      ++messages_;
    }
    return true;
  }

  bool EndLog() override {
    QuietGdal quiet;
    return Commit(true);
  }

  bool Close() override {
    QuietGdal quiet;
    bool ok = Commit(false);
    // Closing writes what a driver keeps until the end (the GeoPackage's
    // spatial index).
    if (pagingDs_) GDALClose(pagingDs_);
    if (ds_) GDALClose(ds_);
    pagingDs_ = ds_ = nullptr;
    if (ok && CPLGetLastErrorType() >= CE_Failure) {
      error_ = GdalReason(settings_.path + ": the file could not be finished");
      ok = false;
    }
    return ok;
  }

 private:
  GDALDataset* Create(const std::string& path) {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName(settings_.format));
    if (!driver) {
      error_ = std::string("GDAL has no ") + DriverName(settings_.format) + " driver";
      return nullptr;
    }
    // A file of that name from an earlier export is replaced.
    VSIStatBufL st;
    if (VSIStatL(path.c_str(), &st) == 0 && VSI_ISREG(st.st_mode)) VSIUnlink(path.c_str());
    GDALDataset* ds = driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!ds) error_ = GdalReason(path + ": cannot be created");
    return ds;
  }

  bool Open() {
    // The messages' file is made with the first message; one left from an
    // earlier export of the same name would describe another log.
    if (!pagingPath_.empty()) VSIUnlink(pagingPath_.c_str());
    ds_ = Create(settings_.path);
    if (!ds_) return false;
    readingsLayer_ = CreateLayer(ds_, "readings", ReadingColumns());
    return readingsLayer_ && Begin();
  }

  // A point layer with the given columns.
  OGRLayer* CreateLayer(GDALDataset* ds, const std::string& name, std::span<const Column> columns) {
    CPLStringList options;
    if (settings_.format == ExportFormat::GeoJson) options.SetNameValue("RFC7946", "YES");
    OGRLayer* layer = ds->CreateLayer(name.c_str(), &srs_, wkbPoint, options.List());
    if (!layer) {
      error_ = GdalReason(settings_.path + ": layer " + name + " cannot be created");
      return nullptr;
    }
    auto add = [&](const char* field, OGRFieldType type, OGRFieldSubType sub) {
      OGRFieldDefn defn(field, type);
      defn.SetSubType(sub);
      if (layer->CreateField(&defn) == OGRERR_NONE) return true;
      error_ = GdalReason(settings_.path + ": field " + field + " cannot be created");
      return false;
    };
    for (const Column& c : columns)
      if (!add(c.name, FieldType(c.kind), c.kind == CellKind::Boolean ? OFSTBoolean : OFSTNone))
        return nullptr;
    return layer;
  }

  // A feature of the row in cells_.
  bool Write(OGRLayer* layer, const ReadingPosition& position) {
    OGRFeature feature(layer->GetLayerDefn());
    for (size_t i = 0; i < cells_.size(); ++i) SetCell(feature, static_cast<int>(i), cells_[i]);
    // The point holds the values of the latitude and longitude columns.
    if (position.fix)
      feature.SetGeometryDirectly(new OGRPoint(RoundTo(position.longitude, kDegreePlaces),
                                               RoundTo(position.latitude, kDegreePlaces)));
    if (layer->CreateFeature(&feature) != OGRERR_NONE) {
      error_ = GdalReason(settings_.path + ": a feature cannot be written");
      return false;
    }
    return ++pending_ < kTransactionFeatures || Commit(true);
  }

  OGRLayer* PagingLayer() {
    if (pagingLayer_) return pagingLayer_;
    GDALDataset* ds = ds_;
    if (!pagingPath_.empty()) {
      pagingDs_ = Create(pagingPath_);
      if (!pagingDs_) return nullptr;
      ds = pagingDs_;
    } else if (!Commit(false)) {
      return nullptr;
    }
    pagingLayer_ = CreateLayer(ds, "paging", PagingColumns());
    if (pagingLayer_ && !Begin()) return nullptr;
    return pagingLayer_;
  }

  // Transactions where the format has them (GeoPackage).
  bool Begin() {
    if (!ds_->TestCapability(ODsCTransactions)) return true;
    if (ds_->StartTransaction() == OGRERR_NONE) {
      inTransaction_ = true;
      return true;
    }
    error_ = GdalReason(settings_.path + ": cannot start writing");
    return false;
  }

  bool Commit(bool again) {
    pending_ = 0;
    if (!inTransaction_) return true;
    inTransaction_ = false;
    if (ds_->CommitTransaction() != OGRERR_NONE) {
      error_ = GdalReason(settings_.path + ": the features cannot be stored");
      return false;
    }
    return !again || Begin();
  }

  ExportSettings settings_;
  std::string pagingPath_;
  OGRSpatialReference srs_;
  GDALDataset* ds_ = nullptr;
  GDALDataset* pagingDs_ = nullptr;
  OGRLayer* readingsLayer_ = nullptr;
  OGRLayer* pagingLayer_ = nullptr;
  std::vector<Cell> cells_;
  bool inTransaction_ = false;
  int64_t pending_ = 0;
};

}  // namespace

}  // namespace morphel::exporting

// The module's entry point (GisModule.cpp finds it by this name).
extern "C" morphel::exporting::ExportSink* MorphelCreateGisExport(
    const morphel::exporting::ExportSettings& settings) {
  return new morphel::exporting::GisExport(settings);
}
