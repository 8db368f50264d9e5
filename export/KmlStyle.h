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

class KmlBands {
 public:
  // Edges in dBm, strongest first: n edges make n + 1 bands.
  explicit KmlBands(std::vector<int> edges);

  // The KML <Style> elements of the bands, the reading without a level, the
  // paging message and the route.
  std::string StyleElements() const;
  // The id of the style a reading's point takes ("band2", "nolevel").
  std::string StyleId(const Reading& reading) const;
  static constexpr const char* kRouteStyle = "route";
  static constexpr const char* kMessageStyle = "message";
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
// "POCSAG 0001234567": the name of a paging message's placemark.
std::string MessageName(const PagingMessage& message);
// HTML table of a row's non-empty cells, for a placemark's balloon.
void AppendPlacemarkDescription(std::string& html, std::span<const Column> columns,
                                const std::vector<Cell>& cells);

}  // namespace morphel::exporting
