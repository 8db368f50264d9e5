#pragma once
// How a drive looks in Google Earth (and on the window's map): points
// coloured by RSSI band, a grey point for a reading without a level, the
// route as a blue line, a legend of the bands in the document's description,
// and each point's values in its balloon.

#include <span>
#include <string>
#include <vector>

#include "export/Cells.h"

namespace morphel::exporting {

struct KmlStyle {
  std::string name;  // style id, referred to by the placemarks
  std::string ogr;   // the OGR feature style string
};

class KmlBands {
 public:
  // Edges in dBm, strongest first: n edges make n + 1 bands.
  explicit KmlBands(std::vector<int> edges);

  // The styles of the bands, the reading without a level and the route.
  std::vector<KmlStyle> Styles() const;
  // The style a reading's point takes ("@name" for a feature's style string).
  std::string StyleOf(const Reading& reading) const;
  static std::string RouteStyle();
  static std::string MessageStyle();
  // HTML table of the bands and their colours.
  std::string Legend() const;

  // The bands as the window's map shows them too: their number, the band of
  // a level (0 = strongest), its colour "#RRGGBB" (green through yellow to
  // red) and its words ("-70 dBm and stronger").
  size_t BandCount() const { return edges_.size() + 1; }
  size_t BandOf(int rssiDbm) const;
  std::string Colour(size_t band) const;
  std::string BandText(size_t band) const;

 private:
  std::vector<int> edges_;
};

// The name of a reading's placemark ("-72 dBm", "no level").
std::string PlacemarkName(const Reading& reading);
// HTML table of a row's non-empty cells, for a placemark's balloon.
std::string PlacemarkDescription(std::span<const Column> columns, const std::vector<Cell>& cells);

}  // namespace morphel::exporting
