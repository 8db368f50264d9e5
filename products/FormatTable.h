#pragma once
// Everything the program knows about an output format, one row each: the
// list's caption, the command line's name, what choosing it sets up (the
// preset), and how the file is written (delimited rows or a layout of the
// tool's own, text or binary, side file, first line).

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "core/Items.h"

namespace morphel {

// The layouts of the tools that read a file format of their own.
enum class Layout { Delimited, Grayson, PathView, Planet, InFielder };

enum class HeaderChoice { Unchanged, Off, On };

// DelimiterGroup items, and a preset that leaves the delimiter as it is.
enum DelimiterItem : int {
  kDelimiterUnchanged = -1,
  kDelimiterComma,
  kDelimiterSemicolon,
  kDelimiterTab,
  kDelimiterSpace,
  kDelimiterOther,
};

// What choosing a format sets up in steps 2 and 3.
struct OutputPreset {
  HeaderChoice header;               // FieldTitles
  int delimiter;                     // DelimiterGroup item or kDelimiterUnchanged
  std::span<const int> fields;       // selected field ids
  std::span<const int> skarnFields;  // selected field ids for products with Skarn presets
  bool fieldDataSetA;                // RSSI of receiver 1 only
  const char* outputFilename;        // replaces OutputFilename, or nullptr
};

struct FormatRow {
  FormatItem item;
  const char* caption;    // format list
  const char* cliName;    // --format
  Layout layout;          // Delimited: rows of the selected fields
  bool binary;            // stored byte for byte, no CR LF
  bool sideFile;          // a side file is written beside the output
  const char* firstLine;  // written before anything else ("5\n"), or nullptr
  OutputPreset preset;

  bool Native() const { return layout != Layout::Delimited; }
  int Number() const { return ItemNumber(item); }
};

const std::array<FormatRow, kFormatCount>& FormatRows();
const FormatRow& Row(FormatItem item);
// The row of a format list item number; nullptr outside 0..12.
const FormatRow* FormatRowFor(int item);
// A format by its command-line name or its item number ("planet", "7").
const FormatRow* FormatRowByName(std::string_view name);

// Whether a product writes a format: every product writes delimited rows
// and the Grayson, PathView and Planet layouts; InFielder's only the
// products whose row says so.
bool ProductWritesFormat(int productItem, int formatItem);
// The captions of the products that write a format, ", " between.
std::string ProductsWritingFormat(int formatItem);

}  // namespace morphel
