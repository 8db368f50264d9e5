#pragma once
// The columns of an export and the values of one row: the same names, kinds
// and values for the CSV tables and the GIS layers, so a reading reads the
// same whatever the format.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "products/ProductTable.h"
#include "products/Readings.h"

namespace morphel::exporting {

// The log a record comes from, as the rows name it.
struct ExportLog {
  const char* product = "";  // command-line name of the product ("tolvan", "zev-card")
  std::string name;          // file name of the log, without its folder
  std::span<const TopLevelNode> segmentNodes;  // the product's segment types and captions

  ExportLog() = default;
  ExportLog(const ProductRow& row, std::string fileName)
      : product(row.cliName), name(std::move(fileName)), segmentNodes(row.segmentNodes) {}
  // A segment type as the product's index tree names it.
  const char* SegmentCaption(int type) const;
};

enum class CellKind { Null, Integer, Real, Text, Time, Boolean };

struct Column {
  const char* name;
  CellKind kind;
  int decimals;       // Real columns: places kept
  bool wide = false;  // Integer columns: values past 32 bits (capcodes)
};

struct Cell {
  CellKind kind = CellKind::Null;
  int64_t integer = 0;  // Integer and Boolean
  double real = 0;      // rounded to `decimals` places
  int decimals = 0;
  std::string_view text;
  ReadingTime time;
};

// One row per reading, one per paging message.
std::span<const Column> ReadingColumns();
std::span<const Column> PagingColumns();

// The cells of a row, in column order. Text cells point into the log, the
// record and the reading or message, which must outlive them.
void ReadingCells(const ExportLog& log, const ReadingRecord& record, const Reading& reading,
                  std::vector<Cell>& cells);
void MessageCells(const ExportLog& log, const ReadingRecord& record, const PagingMessage& message,
                  std::vector<Cell>& cells);

// A cell as text: nothing for Null, decimal numbers (reals to their places,
// without trailing zeros), ISO 8601 times, "true" or "false".
void AppendCellText(std::string& out, const Cell& cell);

// "2024-05-01T12:34:56" (with "Z" on GPS time, UTC), "12:34:56" for a time
// of day without a date, "" when the time is not valid.
std::string IsoTime(const ReadingTime& time);
// "gps", "receiver" or "" (no time).
const char* ClockName(ReadingClock clock);
// Rounded to `decimals` places (0 is never negative).
double RoundTo(double value, int decimals);
// Places of the latitude and longitude columns and of the point geometries.
constexpr int kDegreePlaces = 7;

}  // namespace morphel::exporting
