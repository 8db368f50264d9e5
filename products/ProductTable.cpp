#include "products/ProductTable.h"

#include <charconv>

#include "products/Brisel.h"
#include "products/Skarn.h"
#include "products/Tolvan.h"
#include "products/Tolvan2.h"
#include "products/Velmar.h"
#include "products/Zev.h"
#include "products/ZevDump.h"
#include "synth/BriselWriter.h"
#include "synth/SkarnWriter.h"
#include "synth/Tolvan2Writer.h"
#include "synth/TolvanWriter.h"
#include "synth/VelmarWriter.h"
#include "synth/ZevWriter.h"

namespace morphel {

namespace {

template <typename Reader>
std::unique_ptr<Product> Make() {
  return std::make_unique<Reader>();
}

bool WriteBrisel(const std::string& path, const synth::SampleOptions& options) {
  return synth::WriteBriselSample(path, options, false);
}
bool WriteBriselCard(const std::string& path, const synth::SampleOptions& options) {
  return synth::WriteBriselSample(path, options, true);
}

constexpr const char* kTlf[] = {".tlf"};
constexpr const char* kVlf[] = {".vlf"};
constexpr const char* kBin[] = {".bin"};
constexpr const char* kZev[] = {".zev"};
constexpr const char* kSlf[] = {".slf"};
constexpr const char* kBlf[] = {".blf"};

// Segment types: 0 fast data, 1 scan data ("Table Data" in Brisel logs), 2
// and 3 Skarn channel modes, 4..18 and 21 the Zev measurement types, 19 and
// 20 Brisel single frequency and list data.
constexpr std::array<const char*, kSegmentTypeCount> kTypeCaptions = {
    "Fast Data",        "Scan Data", "1 Channel Data", "3 Channel Data",     "C/I Ratio",
    "Adjacent Channel", "1 Channel", "20 Channel",     "Variable Sweep",     "1 MHz Sweep",
    "POCSAG",           "Fast Fade", "Strongest AB",   "Co-Channel Control", "Group",
    "Follow",           "BER",       "System",         "FLEX Paging",        "Single Frequency",
    "List Data",        "80 Channel"};

constexpr TopLevelNode kCwNodes[] = {{kSegmentScanData, "Scan Data"},
                                     {kSegmentFastData, "Fast Data"}};
constexpr TopLevelNode kZevNodes[] = {{kSegmentCiRatio, "C/I Ratio"},
                                      {kSegmentAdjacentChannel, "Adjacent Channel"},
                                      {kSegmentOneChannel, "1 Channel"},
                                      {kSegmentTwentyChannel, "20 Channel"},
                                      {kSegment80Channel, "80 Channel"},
                                      {kSegmentVariableSweep, "Variable Sweep"},
                                      {kSegmentOneMHzSweep, "1 MHz Sweep"},
                                      {kSegmentPocsag, "POCSAG"},
                                      {kSegmentFastFade, "Fast Fade"},
                                      {kSegmentStrongestAb, "Strongest AB"},
                                      {kSegmentCoChannelControl, "Co-Channel Control"},
                                      {kSegmentGroup, "Group"},
                                      {kSegmentFollow, "Follow"},
                                      {kSegmentBer, "BER"},
                                      {kSegmentSystem, "System"},
                                      {kSegmentFlex, "FLEX Paging"}};
constexpr TopLevelNode kSkarnNodes[] = {{kSegmentScanData, "Scan Data"},
                                        {kSegmentOneChannelData, "1 Channel Data"},
                                        {kSegmentThreeChannelData, "3 Channel Data"}};
constexpr TopLevelNode kBriselNodes[] = {{kSegmentSingleFrequency, "Single Frequency"},
                                         {kSegmentListData, "List Data"},
                                         {kSegmentScanData, "Table Data"}};

using P = ProductItem;

// clang-format off
const std::array<ProductRow, kProductItems> kProducts = {{
    {.item = P::None, .caption = "(None)", .label = "(None)", .cliName = "none"},
    {.item = P::Tolvan, .caption = "QVR Tolvan", .label = "QVR Tolvan", .cliName = "tolvan",
     .filterName = "Tolvan Log File", .extensions = kTlf,
     .receivers = 4, .scanType = true, .lambda = true,
     .segmentNodes = kCwNodes, .readerOf = P::Tolvan,
     .createReader = Make<Tolvan>, .writeSample = synth::WriteTolvanSample},
    {.item = P::Velmar, .caption = "QVR Velmar", .label = "QVR Velmar", .cliName = "velmar",
     .filterName = "Velmar Log File", .extensions = kVlf,
     .receivers = 2, .scanType = true, .lambda = true,
     .segmentNodes = kCwNodes, .readerOf = P::Velmar,
     .createReader = Make<Velmar>, .writeSample = synth::WriteVelmarSample},
    {.item = P::ZevCard, .caption = "QVR Zev (PC CARD)", .label = "QVR Zev (PC CARD)",
     .cliName = "zev-card", .filterName = "Zev Log File (PC Card)", .extensions = kBin,
     .receivers = 1, .satDcc = true, .vmac = true,
     .titleAtFirstSegment = true, .inFielder = true, .paging = true,
     .segmentNodes = kZevNodes, .readerOf = P::ZevCard,
     .createReader = Make<Zev>, .writeSample = synth::WriteZevCardSample},
    {.item = P::ZevDump, .caption = "QVR Zev (PC DUMP)", .label = "QVR Zev (PC DUMP)",
     .cliName = "zev-dump", .filterName = "Zev Log File (PC Dump)", .extensions = kZev,
     .receivers = 1, .satDcc = true, .vmac = true,
     .titleAtFirstSegment = true, .inFielder = true, .paging = true,
     .segmentNodes = kZevNodes, .readerOf = P::ZevDump,
     .createReader = Make<ZevDump>, .writeSample = synth::WriteZevDumpSample},
    {.item = P::Skarn, .caption = "QVR Skarn", .label = "QVR Skarn", .cliName = "skarn",
     .filterName = "Skarn Log File", .extensions = kSlf,
     .receivers = 1, .scanMode = true,
     .skarnPresets = true,
     .segmentNodes = kSkarnNodes, .readerOf = P::Skarn,
     .createReader = Make<Skarn>, .writeSample = synth::WriteSkarnSample},
    // Listed in the product list, but no reader reads its logs.
    {.item = P::Darsk, .caption = "QVR Darsk", .label = "QVR Darsk", .cliName = "darsk",
     .readerOf = P::Darsk},
    // Tolvan firmware 1.27 and later: the same .tlf extension, another layout.
    {.item = P::TolvanNew, .caption = "QVR Tolvan (new)", .label = "QVR Tolvan (>=fv1.27)",
     .cliName = "tolvan-new", .extensions = kTlf,
     .receivers = 4, .scanType = true, .lambda = true,
     .rowReceivers = 4,
     .segmentNodes = kCwNodes, .readerOf = P::TolvanNew,
     .createReader = Make<Tolvan2>, .writeSample = synth::WriteTolvan2Sample},
    {.item = P::Brisel, .caption = "QVR Brisel", .label = "QVR Brisel", .cliName = "brisel",
     .filterName = "Brisel Log File", .extensions = kBlf,
     .receivers = 2, .scanType = true,
     .rowReceivers = 2, .titleAtFirstSegment = true,
     .segmentNodes = kBriselNodes, .readerOf = P::Brisel,
     .createReader = Make<Brisel>, .writeSample = WriteBrisel},
    // The PC card variant of the Brisel log: the Brisel reader tells the two
    // apart by their heads.
    {.item = P::BriselCard, .caption = "QVR Brisel (PC CARD)", .label = "QVR Brisel",
     .cliName = "brisel-card", .extensions = kBlf,
     .receivers = 2, .scanType = true,
     .rowReceivers = 2, .titleAtFirstSegment = true,
     .segmentNodes = kBriselNodes, .readerOf = P::Brisel,
     .createReader = Make<Brisel>, .writeSample = WriteBriselCard},
}};
// clang-format on

// Files converted by Pell's tool were always offered in the Open dialog,
// after the Skarn logs, though no reader takes them.
constexpr const char* kPellFilter = "Pell Converted File";
constexpr const char* kPellExtension = ".pel";

bool ParseItem(std::string_view s, int& value) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

}  // namespace

const std::array<ProductRow, kProductItems>& ProductRows() {
  return kProducts;
}

const ProductRow& Row(ProductItem item) {
  return kProducts[static_cast<size_t>(item)];
}

const ProductRow* ProductRowFor(int item) {
  if (item < 0 || item >= kProductItems) return nullptr;
  return &kProducts[static_cast<size_t>(item)];
}

const ProductRow* ProductRowByName(std::string_view name) {
  int item = 0;
  if (ParseItem(name, item)) return ProductRowFor(item);
  for (const auto& p : kProducts)
    if (name == p.cliName) return &p;
  return nullptr;
}

std::unique_ptr<Product> CreateReader(int item) {
  const ProductRow* row = ProductRowFor(item);
  return row && row->createReader ? row->createReader() : nullptr;
}

std::span<const TopLevelNode> TopLevelNodes(int item) {
  const ProductRow* row = ProductRowFor(item);
  return row ? row->segmentNodes : std::span<const TopLevelNode>{};
}

const char* SegmentTypeCaption(int type, bool brisel) {
  if (type < 0 || type >= kSegmentTypeCount) return "";
  if (brisel && type == kSegmentScanData) return "Table Data";
  return kTypeCaptions[static_cast<size_t>(type)];
}

std::vector<LogFilter> OpenDialogFilters() {
  std::vector<LogFilter> filters;
  for (const ProductRow& p : kProducts) {
    if (p.item == P::Brisel) filters.push_back({kPellFilter, {kPellExtension}, false});
    if (!p.filterName) continue;
    filters.push_back({p.filterName, {p.extensions.begin(), p.extensions.end()}, true});
  }
  return filters;
}

std::vector<std::string> SampleProducts() {
  std::vector<std::string> names;
  for (const auto& p : kProducts)
    if (p.writeSample) names.emplace_back(p.cliName);
  return names;
}

bool WriteSample(const std::string& product, const std::string& path,
                 const synth::SampleOptions& options, std::string& error) {
  for (const auto& p : kProducts) {
    if (!p.writeSample || product != p.cliName) continue;
    if (!p.writeSample(path, options)) {
      error = "cannot write " + path;
      return false;
    }
    return true;
  }
  error = "no sample writer for product '" + product + "'";
  return false;
}

}  // namespace morphel
