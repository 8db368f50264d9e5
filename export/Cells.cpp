#include "export/Cells.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <iterator>

namespace morphel::exporting {

namespace {

constexpr int kFrequencyPlaces = 5;  // the finest any product prints

constexpr Column kCommon[] = {
    {"time", CellKind::Time, 0},
    {"clock", CellKind::Text, 0},
    {"latitude", CellKind::Real, kDegreePlaces},
    {"longitude", CellKind::Real, kDegreePlaces},
    {"fix", CellKind::Boolean, 0},
    {"product", CellKind::Text, 0},
    {"log", CellKind::Text, 0},
    {"segment", CellKind::Integer, 0},
    {"segment_type", CellKind::Text, 0},
};
constexpr size_t kCommonCount = std::size(kCommon);

constexpr std::array<Column, kCommonCount + 9> kReading = [] {
  std::array<Column, kCommonCount + 9> c{};
  for (size_t i = 0; i < kCommonCount; ++i) c[i] = kCommon[i];
  const Column own[] = {{"receiver", CellKind::Integer, 0},
                        {"channel", CellKind::Integer, 0},
                        {"frequency_mhz", CellKind::Real, kFrequencyPlaces},
                        {"rssi_dbm", CellKind::Integer, 0},
                        {"sat", CellKind::Integer, 0},
                        {"dcc", CellKind::Integer, 0},
                        {"vmac", CellKind::Integer, 0},
                        {"marker", CellKind::Integer, 0},
                        {"gps_status", CellKind::Text, 0}};
  for (size_t i = 0; i < std::size(own); ++i) c[kCommonCount + i] = own[i];
  return c;
}();

constexpr std::array<Column, kCommonCount + 4> kPaging = [] {
  std::array<Column, kCommonCount + 4> c{};
  for (size_t i = 0; i < kCommonCount; ++i) c[i] = kCommon[i];
  const Column own[] = {{"protocol", CellKind::Text, 0},
                        {"capcode", CellKind::Integer, 0, true},
                        {"kind", CellKind::Text, 0},
                        {"text", CellKind::Text, 0}};
  for (size_t i = 0; i < std::size(own); ++i) c[kCommonCount + i] = own[i];
  return c;
}();

Cell Integer(int64_t v) {
  Cell c;
  c.kind = CellKind::Integer;
  c.integer = v;
  return c;
}

Cell Real(double v, int decimals) {
  Cell c;
  c.kind = CellKind::Real;
  c.real = RoundTo(v, decimals);
  c.decimals = decimals;
  return c;
}

Cell Text(std::string_view s) {
  Cell c;
  if (s.empty()) return c;
  c.kind = CellKind::Text;
  c.text = s;
  return c;
}

Cell Code(int v) {
  return v == Reading::kNoCode ? Cell{} : Integer(v);
}

// The columns every row shares: when, where, from which log and segment.
void CommonCells(const ExportLog& log, const ReadingRecord& record, std::vector<Cell>& cells) {
  cells.clear();
  Cell time;
  if (record.time.valid) {
    time.kind = CellKind::Time;
    time.time = record.time;
  }
  cells.push_back(time);
  cells.push_back(Text(ClockName(record.time.valid ? record.time.clock : ReadingClock::None)));
  const ReadingPosition& p = record.position;
  cells.push_back(p.fix ? Real(p.latitude, kDegreePlaces) : Cell{});
  cells.push_back(p.fix ? Real(p.longitude, kDegreePlaces) : Cell{});
  Cell fix;
  fix.kind = CellKind::Boolean;
  fix.integer = p.fix ? 1 : 0;
  cells.push_back(fix);
  cells.push_back(Text(log.product));
  cells.push_back(Text(log.name));
  cells.push_back(record.segment > 0 ? Integer(record.segment) : Cell{});
  cells.push_back(Text(log.SegmentCaption(record.segmentType)));
}

}  // namespace

const char* ExportLog::SegmentCaption(int type) const {
  for (const TopLevelNode& node : segmentNodes)
    if (node.type == type) return node.caption;
  return SegmentTypeCaption(type, false);
}

std::span<const Column> ReadingColumns() {
  return kReading;
}
std::span<const Column> PagingColumns() {
  return kPaging;
}

void ReadingCells(const ExportLog& log, const ReadingRecord& record, const Reading& reading,
                  std::vector<Cell>& cells) {
  CommonCells(log, record, cells);
  cells.push_back(Integer(reading.receiver));
  cells.push_back(Integer(reading.channel));
  cells.push_back(Real(reading.frequencyMHz, kFrequencyPlaces));
  cells.push_back(reading.hasRssi ? Integer(reading.rssiDbm) : Cell{});
  cells.push_back(Code(reading.sat));
  cells.push_back(Code(reading.dcc));
  cells.push_back(Code(reading.vmac));
  cells.push_back(record.hasMarker ? Integer(record.marker) : Cell{});
  cells.push_back(Text(record.gpsStatus));
}

void MessageCells(const ExportLog& log, const ReadingRecord& record, const PagingMessage& message,
                  std::vector<Cell>& cells) {
  CommonCells(log, record, cells);
  cells.push_back(Text(message.protocol));
  cells.push_back(Integer(static_cast<int64_t>(message.capcode)));
  cells.push_back(Text(message.kind));
  cells.push_back(Text(message.text));
}

std::string IsoTime(const ReadingTime& t) {
  if (!t.valid) return {};
  if (!t.HasDate()) return fmt::format("{:02}:{:02}:{:02}", t.hour, t.minute, t.second);
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}{}", t.year, t.month, t.day, t.hour,
                     t.minute, t.second, t.clock == ReadingClock::Gps ? "Z" : "");
}

const char* ClockName(ReadingClock clock) {
  switch (clock) {
    case ReadingClock::Gps:
      return "gps";
    case ReadingClock::Receiver:
      return "receiver";
    case ReadingClock::None:
      break;
  }
  return "";
}

double RoundTo(double value, int decimals) {
  if (!std::isfinite(value)) return value;
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::round(value * scale) / scale;
  return rounded == 0 ? 0.0 : rounded;
}

void AppendCellText(std::string& out, const Cell& cell) {
  switch (cell.kind) {
    case CellKind::Null:
      break;
    case CellKind::Integer:
      fmt::format_to(std::back_inserter(out), "{}", cell.integer);
      break;
    case CellKind::Real: {
      const size_t start = out.size();
      fmt::format_to(std::back_inserter(out), "{:.{}f}", cell.real, cell.decimals);
      if (out.find('.', start) != std::string::npos) {
        while (out.back() == '0') out.pop_back();
        if (out.back() == '.') out.pop_back();
      }
      break;
    }
    case CellKind::Text:
      out.append(cell.text);
      break;
    case CellKind::Time:
      out.append(IsoTime(cell.time));
      break;
    case CellKind::Boolean:
      out.append(cell.integer ? "true" : "false");
      break;
  }
}

}  // namespace morphel::exporting
