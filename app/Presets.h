#pragma once
// What choosing an output format in the list sets up: the header and
// delimiter choices, the selected columns the post-processing tool expects,
// the Field Data boxes and whether the reader's own layout is written.

#include <array>
#include <span>

#include "products/Catalog.h"

namespace morphel {

enum class HeaderChoice { Unchanged, Off, On };

// DelimiterGroup items.
constexpr int kDelimiterComma = 0;
constexpr int kDelimiterSemicolon = 1;
constexpr int kDelimiterTab = 2;
constexpr int kDelimiterSpace = 3;
constexpr int kDelimiterOther = 4;
constexpr int kDelimiterUnchanged = -1;

struct OutputPreset {
  int item;                          // OutputFormatGroup item
  HeaderChoice header;               // FieldTitles
  int delimiter;                     // DelimiterGroup item or kDelimiterUnchanged
  std::span<const int> fields;       // selected field ids, products other than Skarn
  std::span<const int> skarnFields;  // selected field ids for Skarn logs
  bool fieldDataSetA;                // RSSI of receiver 1 only
  const char* outputFilename;        // replaces OutputFilename, or nullptr
  bool native;                       // the reader's own layout (NativeFormat)
};

const std::array<OutputPreset, kFormatCount>& OutputPresets();
// The preset of an OutputFormatGroup item, nullptr outside 0..12.
const OutputPreset* PresetForItem(int item);

}  // namespace morphel
