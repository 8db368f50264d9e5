#pragma once
// The two tables the window, the command line and the tests share: the
// receiver products (input list items) and the output formats.

#include <array>
#include <string>
#include <string_view>

namespace morphel {

struct ProductInfo {
  int item;               // input list item
  const char* caption;    // input list caption
  const char* label;      // shown beside "Input:" once the product is selected
  const char* cliName;    // name on the command line
  const char* extension;  // usual file extension
  int receivers;
  bool scanType;   // "Scan Type" group offered
  bool satDcc;     // "SAT/DCC" offered
  bool vmac;       // "VMAC" offered
  bool lambda;     // "40 Lambda" offered
  bool supported;  // a reader exists
  bool inFielder;  // writes the Wireless Valley InFielder layout
};

constexpr int kItemNone = 0;
constexpr int kItemTolvan = 1;
constexpr int kItemVelmar = 2;
constexpr int kItemZevCard = 3;
constexpr int kItemZevDump = 4;
constexpr int kItemSkarn = 5;
constexpr int kItemDarsk = 6;
constexpr int kItemTolvanNew = 7;
constexpr int kItemBrisel = 8;
constexpr int kItemBriselCard = 9;
constexpr int kProductItems = 10;

const std::array<ProductInfo, kProductItems>& Products();
const ProductInfo* ProductByItem(int item);
// A product by its command-line name or its item number ("tolvan", "7").
const ProductInfo* ProductByName(std::string_view name);

struct OutputFormatInfo {
  int item;
  const char* caption;
  const char* cliName;
  bool native;  // the reader's own layout, no delimited rows
};

constexpr int kFormatCount = 13;
constexpr int kFormatEdx = 1;
constexpr int kFormatPathView = 6;
constexpr int kFormatCustom = 11;
constexpr int kFormatInFielder = 12;

const std::array<OutputFormatInfo, kFormatCount>& OutputFormats();
const OutputFormatInfo* OutputFormatByItem(int item);
const OutputFormatInfo* OutputFormatByName(std::string_view name);

// Whether a product writes the layout of an output format: every product
// writes delimited rows and the Grayson, PathView and Planet layouts; only
// the Zev readers write InFielder's.
bool ProductWritesFormat(int productItem, int formatItem);
// The captions of the products that write a format's layout, ", " between.
std::string ProductsWritingFormat(int formatItem);

}  // namespace morphel
