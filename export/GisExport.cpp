// GeoPackage, GeoJSON and KML through GDAL/OGR: one point feature per
// reading (no geometry without a position fix), the paging messages in a
// layer (GeoPackage, KML) or a file (GeoJSON) of their own. GeoPackage
// features go in transactions of a fixed size, so memory stays the same
// however long the log. KML goes through the LIBKML driver, which holds the
// whole document until the file is closed: a KML export takes at most
// ExportSettings::maxKmlPoints points.

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <fmt/format.h>
#include <gdal_priv.h>
#include <ogr_featurestyle.h>
#include <ogrsf_frmts.h>

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "export/KmlStyle.h"
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
      return "LIBKML";
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

// The file name without folder and extension.
std::string Stem(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
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
      : settings_(settings),
        pagingPath_(PagingFileName(settings.format, settings.path)),
        kml_(settings.format == ExportFormat::Kml),
        bands_(settings.bandEdges) {
    srs_.SetWellKnownGeogCS("WGS84");
    srs_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  }
  ~GisExport() override {
    QuietGdal quiet;
    if (pagingDs_) GDALClose(pagingDs_);
    if (ds_) GDALClose(ds_);
  }

  bool BeginLog(const Product&) override {
    route_.clear();
    if (ds_) return true;
    QuietGdal quiet;
    return Open();
  }

  bool Take(const ReadingRecord& record) override {
    QuietGdal quiet;
    if (kml_ &&
        placemarks_ + static_cast<int64_t>(record.readings.size() + record.messages.size()) >
            settings_.maxKmlPoints) {
      error_ = fmt::format(
          "{}: a KML file holds at most {} points (the whole map is kept in memory until it "
          "is written) and this one holds the first {}: keep one reading per some seconds or "
          "metres, or the strongest only, or export to a GeoPackage",
          settings_.path, settings_.maxKmlPoints, placemarks_);
      return false;
    }
    for (const Reading& reading : record.readings) {
      ReadingCells(log_, record, reading, cells_);
      OGRLayer* layer = kml_ ? KmlReadingLayer(record, reading) : readingsLayer_;
      if (!layer || !Write(layer, record.position, ReadingColumns(), &reading)) return false;
      ++readings_;
    }
    for (const PagingMessage& message : record.messages) {
      MessageCells(log_, record, message, cells_);
      OGRLayer* layer = PagingLayer();
      if (!layer || !Write(layer, record.position, PagingColumns(), nullptr, &message))
        return false;
      ++messages_;
    }
    if (kml_ && record.position.fix && !record.readings.empty()) AddRoutePoint(record);
    return true;
  }

  bool EndLog() override {
    QuietGdal quiet;
    if (kml_ && !WriteRoute()) return false;
    return Commit(true);
  }

  bool Close() override {
    QuietGdal quiet;
    bool ok = Commit(false);
    // Closing writes what a driver keeps until the end (the KML document,
    // the GeoPackage's spatial index).
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
  GDALDataset* Create(const std::string& path, char** options) {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName(settings_.format));
    if (!driver) {
      error_ = std::string("GDAL has no ") + DriverName(settings_.format) + " driver";
      return nullptr;
    }
    // A file of that name from an earlier export is replaced.
    VSIStatBufL st;
    if (VSIStatL(path.c_str(), &st) == 0 && VSI_ISREG(st.st_mode)) VSIUnlink(path.c_str());
    GDALDataset* ds = driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, options);
    if (!ds) error_ = GdalReason(path + ": cannot be created");
    return ds;
  }

  bool Open() {
    CPLStringList options;
    if (kml_) {
      options.SetNameValue("NAME", Stem(settings_.path).c_str());
      options.SetNameValue("DESCRIPTION", bands_.Legend().c_str());
    }
    // The messages' file is made with the first message; one left from an
    // earlier export of the same name would describe another log.
    if (!pagingPath_.empty()) VSIUnlink(pagingPath_.c_str());
    ds_ = Create(settings_.path, options.List());
    if (!ds_) return false;
    if (kml_) {
      OGRStyleTable table;
      for (const KmlStyle& style : bands_.Styles())
        table.AddStyle(style.name.c_str(), style.ogr.c_str());
      ds_->SetStyleTable(&table);
      return true;
    }
    readingsLayer_ = CreateLayer(ds_, "readings", ReadingColumns(), true);
    return readingsLayer_ && Begin();
  }

  // A layer with the given columns (KML: the placemark's name, balloon
  // and time stamp).
  OGRLayer* CreateLayer(GDALDataset* ds, const std::string& name, std::span<const Column> columns,
                        bool points) {
    CPLStringList options;
    if (settings_.format == ExportFormat::GeoJson) options.SetNameValue("RFC7946", "YES");
    OGRLayer* layer = ds->CreateLayer(name.c_str(), &srs_, points ? wkbPoint : wkbMultiLineString,
                                      options.List());
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
    if (kml_) {
      // Only the fields the driver writes as a placemark's own elements:
      // attribute fields cost the LIBKML writer time that grows with the
      // square of the points.
      if (!add("name", OFTString, OFSTNone) || !add("description", OFTString, OFSTNone) ||
          !add("timestamp", OFTDateTime, OFSTNone))
        return nullptr;
      return layer;
    }
    for (const Column& c : columns)
      if (!add(c.name, FieldType(c.kind), c.kind == CellKind::Boolean ? OFSTBoolean : OFSTNone))
        return nullptr;
    return layer;
  }

  // A feature of the row in cells_; KML names it after the reading or the
  // message.
  bool Write(OGRLayer* layer, const ReadingPosition& position, std::span<const Column> columns,
             const Reading* reading, const PagingMessage* message = nullptr) {
    OGRFeature feature(layer->GetLayerDefn());
    if (kml_) {
      feature.SetField(0, reading ? PlacemarkName(*reading).c_str()
                                  : MessageName(message ? *message : PagingMessage{}).c_str());
      feature.SetField(1, PlacemarkDescription(columns, cells_).c_str());
      SetCell(feature, 2, cells_[0]);
      feature.SetStyleString(reading ? bands_.StyleOf(*reading).c_str()
                                     : KmlBands::MessageStyle().c_str());
    } else {
      for (size_t i = 0; i < cells_.size(); ++i) SetCell(feature, static_cast<int>(i), cells_[i]);
    }
    // The point holds the values of the latitude and longitude columns.
    if (position.fix)
      feature.SetGeometryDirectly(new OGRPoint(RoundTo(position.longitude, kDegreePlaces),
                                               RoundTo(position.latitude, kDegreePlaces)));
    if (layer->CreateFeature(&feature) != OGRERR_NONE) {
      error_ = GdalReason(settings_.path + ": a feature cannot be written");
      return false;
    }
    ++placemarks_;
    return ++pending_ < kTransactionFeatures || Commit(true);
  }

  static std::string MessageName(const PagingMessage& message) {
    return fmt::format("{} {:010}", message.protocol, message.capcode);
  }

  // One folder per log, receiver and segment.
  OGRLayer* KmlReadingLayer(const ReadingRecord& record, const Reading& reading) {
    auto key = std::make_tuple(log_.name, reading.receiver, record.segment);
    auto found = kmlLayers_.find(key);
    if (found != kmlLayers_.end()) return found->second;
    std::string name =
        fmt::format("{} receiver {} segment {}", log_.name, reading.receiver, record.segment);
    const std::string type = log_.SegmentCaption(record.segmentType);
    if (!type.empty()) name += " (" + type + ")";
    OGRLayer* layer = CreateLayer(ds_, name, ReadingColumns(), true);
    if (layer) kmlLayers_.emplace(key, layer);
    return layer;
  }

  OGRLayer* PagingLayer() {
    if (pagingLayer_) return pagingLayer_;
    GDALDataset* ds = ds_;
    if (!pagingPath_.empty()) {
      pagingDs_ = Create(pagingPath_, nullptr);
      if (!pagingDs_) return nullptr;
      ds = pagingDs_;
    } else if (!Commit(false)) {
      return nullptr;
    }
    pagingLayer_ = CreateLayer(ds, kml_ ? "Paging messages" : "paging", PagingColumns(), true);
    if (pagingLayer_ && !Begin()) return nullptr;
    return pagingLayer_;
  }

  // The route goes on in time: a row measured before the last point is no
  // step back along the road.
  void AddRoutePoint(const ReadingRecord& record) {
    const ReadingPosition& p = record.position;
    if (!route_.empty() && record.time.Before(routeTime_)) return;
    routeTime_ = record.time;
    if (!route_.empty() && route_.back().latitude == p.latitude &&
        route_.back().longitude == p.longitude)
      return;
    route_.push_back(p);
  }

  // The log's route as one line through its fixes.
  bool WriteRoute() {
    if (route_.size() < 2) return true;
    if (!routeLayer_) routeLayer_ = CreateLayer(ds_, "Route", ReadingColumns(), false);
    if (!routeLayer_) return false;
    OGRFeature feature(routeLayer_->GetLayerDefn());
    feature.SetField(0, ("Route of " + log_.name).c_str());
    auto* line = new OGRLineString();
    for (const ReadingPosition& p : route_)
      line->addPoint(RoundTo(p.longitude, kDegreePlaces), RoundTo(p.latitude, kDegreePlaces));
    auto* lines = new OGRMultiLineString();
    lines->addGeometryDirectly(line);
    feature.SetGeometryDirectly(lines);
    feature.SetStyleString(KmlBands::RouteStyle().c_str());
    route_.clear();
    if (routeLayer_->CreateFeature(&feature) == OGRERR_NONE) return true;
    error_ = GdalReason(settings_.path + ": the route cannot be written");
    return false;
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
  bool kml_;
  KmlBands bands_;
  OGRSpatialReference srs_;
  GDALDataset* ds_ = nullptr;
  GDALDataset* pagingDs_ = nullptr;
  OGRLayer* readingsLayer_ = nullptr;
  OGRLayer* pagingLayer_ = nullptr;
  OGRLayer* routeLayer_ = nullptr;
  std::map<std::tuple<std::string, int, int>, OGRLayer*> kmlLayers_;
  std::vector<ReadingPosition> route_;
  ReadingTime routeTime_;
  std::vector<Cell> cells_;
  bool inTransaction_ = false;
  int64_t pending_ = 0;
  int64_t placemarks_ = 0;
};

}  // namespace

}  // namespace morphel::exporting

// The module's entry point (GisModule.cpp finds it by this name).
extern "C" morphel::exporting::ExportSink* MorphelCreateGisExport(
    const morphel::exporting::ExportSettings& settings) {
  return new morphel::exporting::GisExport(settings);
}
