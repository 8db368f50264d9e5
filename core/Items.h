#pragma once
// The receiver products of the input list and the output formats of the
// format list. Their numbers are the lists' item indices, which configuration
// files store, so they never change.

#include <cstdint>

namespace morphel {

enum class ProductItem : int {
  None = 0,
  Tolvan = 1,
  Velmar = 2,
  ZevCard = 3,
  ZevDump = 4,
  Skarn = 5,
  Darsk = 6,  // listed, no reader
  TolvanNew = 7,
  Brisel = 8,
  BriselCard = 9,
};
constexpr int kProductItems = 10;

enum class FormatItem : int {
  Comarco = 0,
  EdxSignalPro = 1,
  MaxPlan = 2,
  Grayson = 3,
  MapInfo = 4,
  Excel = 5,
  PathPro = 6,
  Planet = 7,
  Opas32 = 8,
  CellWizard = 9,
  PlotworX = 10,
  Custom = 11,
  InFielder = 12,
};
constexpr int kFormatCount = 13;

// The list item number of a product or a format (what Settings and
// configuration files hold).
constexpr int ItemNumber(ProductItem p) {
  return static_cast<int>(p);
}
constexpr int ItemNumber(FormatItem f) {
  return static_cast<int>(f);
}

// Item numbers by name, for the places that hold list items as numbers.
constexpr int kItemNone = ItemNumber(ProductItem::None);
constexpr int kItemTolvan = ItemNumber(ProductItem::Tolvan);
constexpr int kItemVelmar = ItemNumber(ProductItem::Velmar);
constexpr int kItemZevCard = ItemNumber(ProductItem::ZevCard);
constexpr int kItemZevDump = ItemNumber(ProductItem::ZevDump);
constexpr int kItemSkarn = ItemNumber(ProductItem::Skarn);
constexpr int kItemDarsk = ItemNumber(ProductItem::Darsk);
constexpr int kItemTolvanNew = ItemNumber(ProductItem::TolvanNew);
constexpr int kItemBrisel = ItemNumber(ProductItem::Brisel);
constexpr int kItemBriselCard = ItemNumber(ProductItem::BriselCard);
constexpr int kFormatEdx = ItemNumber(FormatItem::EdxSignalPro);
constexpr int kFormatPathView = ItemNumber(FormatItem::PathPro);
constexpr int kFormatCustom = ItemNumber(FormatItem::Custom);
constexpr int kFormatInFielder = ItemNumber(FormatItem::InFielder);

// The segment types the readers report: the index tree's nodes and the
// segment table's entries.
enum SegmentCode : int16_t {
  kSegmentFastData,
  kSegmentScanData,        // "Table Data" in Brisel logs
  kSegmentOneChannelData,  // Skarn channel modes
  kSegmentThreeChannelData,
  kSegmentCiRatio,  // the Zev measurement types, 80 Channel included
  kSegmentAdjacentChannel,
  kSegmentOneChannel,
  kSegmentTwentyChannel,
  kSegmentVariableSweep,
  kSegmentOneMHzSweep,
  kSegmentPocsag,
  kSegmentFastFade,
  kSegmentStrongestAb,
  kSegmentCoChannelControl,
  kSegmentGroup,
  kSegmentFollow,
  kSegmentBer,
  kSegmentSystem,
  kSegmentFlex,
  kSegmentSingleFrequency,  // Brisel
  kSegmentListData,
  kSegment80Channel,  // Zev
};
constexpr int kSegmentTypeCount = 22;
static_assert(kSegment80Channel + 1 == kSegmentTypeCount);

}  // namespace morphel
