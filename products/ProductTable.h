#pragma once
// Everything the program knows about a receiver product, one row each: the
// window's list and controls, the command line's name, the log files, the
// reader, how a record becomes rows, the index tree and the sample writer.
// Adding a product is its reader, its sample writer, a row here and tests.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Items.h"

namespace morphel {

class Product;
namespace synth {
struct SampleOptions;
}

// A top-level node of the index tree: one per measurement type of a product.
struct TopLevelNode {
  int16_t type;  // segment type code the reader reports
  const char* caption;
};

struct ProductRow {
  ProductItem item = ProductItem::None;
  const char* caption = "";  // input list
  const char* label = "";    // beside "Input:" once selected
  const char* cliName = "";  // --product
  // Open dialog: the filter's name (nullptr: the product shares another's)
  // and the extensions of its logs.
  const char* filterName = nullptr;
  std::span<const char* const> extensions{};
  // Step 2 controls offered.
  int receivers = 0;
  bool scanType = false;  // "Scan Type"
  bool scanMode = false;  // "Scan Mode" (1 Channel, 3 Channel, Scan Table)
  bool satDcc = false;
  bool vmac = false;
  bool lambda = false;  // "40 Lambda"
  // Rows of a record: receivers walked (each asked whether it has data when
  // more than one), and whether the title line waits for the first segment.
  int rowReceivers = 1;
  bool titleAtFirstSegment = false;
  // Presets take their Skarn column for this product.
  bool skarnPresets = false;
  // Writes the Wireless Valley InFielder layout.
  bool inFielder = false;
  // Its logs carry paging messages (POCSAG and FLEX).
  bool paging = false;
  std::span<const TopLevelNode> segmentNodes{};
  // The product whose reader object serves this one (itself, or the item it
  // shares a reader with).
  ProductItem readerOf = ProductItem::None;
  std::unique_ptr<Product> (*createReader)() = nullptr;  // nullptr: no reader
  bool (*writeSample)(const std::string& path, const synth::SampleOptions& options) = nullptr;

  bool Supported() const { return createReader != nullptr; }
  int Number() const { return ItemNumber(item); }
};

const std::array<ProductRow, kProductItems>& ProductRows();
const ProductRow& Row(ProductItem item);
// The row of an input list item number; nullptr outside 0..9.
const ProductRow* ProductRowFor(int item);
// A product by its command-line name or its item number ("tolvan", "7").
const ProductRow* ProductRowByName(std::string_view name);

// A fresh reader for an input list item (nullptr when there is none).
std::unique_ptr<Product> CreateReader(int item);
// The top-level nodes of an item in display order (empty without a product).
std::span<const TopLevelNode> TopLevelNodes(int item);
// Caption of a segment type code; Brisel logs call type 1 "Table Data".
const char* SegmentTypeCaption(int type, bool brisel);

// Open dialog filters in the order offered: name and patterns ("*.tlf").
struct LogFilter {
  const char* name;
  std::vector<std::string> extensions;  // ".tlf"
  bool receiverLog;                     // a log a reader takes
};
std::vector<LogFilter> OpenDialogFilters();

// Product names that have a sample writer, in list order.
std::vector<std::string> SampleProducts();
// Writes a sample log of the named product; false with a message in error.
bool WriteSample(const std::string& product, const std::string& path,
                 const synth::SampleOptions& options, std::string& error);

}  // namespace morphel
