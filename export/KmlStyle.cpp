#include "export/KmlStyle.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <string_view>

#include "export/XmlText.h"

namespace morphel::exporting {

namespace {

// Icons Google Earth ships with; the colour tints them.
constexpr const char* kPointIcon = "http://maps.google.com/mapfiles/kml/shapes/shaded_dot.png";
constexpr double kPointScale = 0.6;
constexpr const char* kNoLevelColour = "#A0A0A0";
constexpr const char* kRouteColour = "#2060FF";
constexpr int kRouteWidth = 3;  // pixels
constexpr const char* kMessageColour = "#C040FF";
constexpr double kStrongestHue = 120.0;  // green; the weakest band is red (0)

std::string HexRgb(double hue) {
  // Full saturation and value: the hue alone tells the bands apart.
  const double h = hue / 60.0;
  const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
  double r = 0, g = 0, b = 0;
  if (h < 1) {
    r = 1, g = x;
  } else if (h < 2) {
    r = x, g = 1;
  } else {
    g = 1, b = x;
  }
  auto byte = [](double v) { return static_cast<int>(std::lround(v * 255.0)); };
  return fmt::format("#{:02X}{:02X}{:02X}", byte(r), byte(g), byte(b));
}

// "aabbggrr", the order KML gives a colour's bytes, of an opaque "#RRGGBB".
std::string KmlColour(std::string_view rgb) {
  std::string kml{'f', 'f', rgb[5], rgb[6], rgb[3], rgb[4], rgb[1], rgb[2]};
  for (char& c : kml) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return kml;
}

// A point style: the tinted icon, no label (the name shows in the list and
// the balloon, not beside every point).
void AppendPointStyle(std::string& out, std::string_view id, std::string_view rgb) {
  fmt::format_to(std::back_inserter(out),
                 "<Style id=\"{}\"><IconStyle><color>{}</color><scale>{}</scale><Icon><href>{}"
                 "</href></Icon></IconStyle><LabelStyle><color>00ffffff</color><scale>0</scale>"
                 "</LabelStyle></Style>\n",
                 id, KmlColour(rgb), kPointScale, kPointIcon);
}

// A value as HTML text: entities, and a line break as <br/>.
void AppendEscaped(std::string& out, std::string_view text) {
  size_t start = 0;
  while (true) {
    const size_t lf = text.find('\n', start);
    AppendXmlText(out, text.substr(start, lf == std::string_view::npos ? lf : lf - start));
    if (lf == std::string_view::npos) break;
    out.append("<br/>");
    start = lf + 1;
  }
}

}  // namespace

KmlBands::KmlBands(std::vector<int> edges) : edges_(std::move(edges)) {}

std::string KmlBands::Colour(size_t band) const {
  const size_t last = edges_.size();
  const double share = last == 0 ? 0.0 : static_cast<double>(band) / static_cast<double>(last);
  return HexRgb(kStrongestHue * (1.0 - share));
}

std::string KmlBands::BandText(size_t band) const {
  if (edges_.empty()) return "every level";
  if (band == 0) return fmt::format("{} dBm and stronger", edges_.front());
  if (band == edges_.size()) return fmt::format("below {} dBm", edges_.back());
  return fmt::format("{} to {} dBm", edges_[band], edges_[band - 1]);
}

std::string KmlBands::StyleElements() const {
  std::string xml;
  for (size_t band = 0; band <= edges_.size(); ++band)
    AppendPointStyle(xml, fmt::format("band{}", band + 1), Colour(band));
  AppendPointStyle(xml, "nolevel", kNoLevelColour);
  AppendPointStyle(xml, kMessageStyle, kMessageColour);
  fmt::format_to(std::back_inserter(xml),
                 "<Style id=\"{}\"><LineStyle><color>{}</color><width>{}</width></LineStyle>"
                 "</Style>\n",
                 kRouteStyle, KmlColour(kRouteColour), kRouteWidth);
  return xml;
}

size_t KmlBands::BandOf(int rssiDbm) const {
  size_t band = 0;
  while (band < edges_.size() && rssiDbm < edges_[band]) ++band;
  return band;
}

std::string KmlBands::StyleId(const Reading& reading) const {
  if (!reading.hasRssi) return "nolevel";
  return fmt::format("band{}", BandOf(reading.rssiDbm) + 1);
}

std::string KmlBands::Legend() const {
  std::string html = "<b>RSSI</b><table>";
  auto row = [&html](const std::string& rgb, const std::string& text) {
    html += fmt::format(
        "<tr><td style=\"background:{}\">&#160;&#160;&#160;&#160;</td><td>{}</td></tr>", rgb, text);
  };
  for (size_t band = 0; band <= edges_.size(); ++band) row(Colour(band), BandText(band));
  row(kNoLevelColour, "no level logged");
  row(kMessageColour, "paging message");
  html += "</table>";
  return html;
}

std::string PlacemarkName(const Reading& reading) {
  return reading.hasRssi ? fmt::format("{} dBm", reading.rssiDbm) : "no level";
}

std::string MessageName(const PagingMessage& message) {
  return fmt::format("{} {:010}", message.protocol, message.capcode);
}

void AppendPlacemarkDescription(std::string& html, std::span<const Column> columns,
                                const std::vector<Cell>& cells) {
  html += "<table>";
  std::string value;
  for (size_t i = 0; i < columns.size() && i < cells.size(); ++i) {
    if (cells[i].kind == CellKind::Null) continue;
    value.clear();
    AppendCellText(value, cells[i]);
    html += "<tr><td>";
    html += columns[i].name;
    html += "</td><td>";
    AppendEscaped(html, value);
    html += "</td></tr>";
  }
  html += "</table>";
}

}  // namespace morphel::exporting
