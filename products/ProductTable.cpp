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
constexpr int kBriselTableType = 1;

constexpr TopLevelNode kCwNodes[] = {{1, "Scan Data"}, {0, "Fast Data"}};
constexpr TopLevelNode kZevNodes[] = {{4, "C/I Ratio"},
                                      {5, "Adjacent Channel"},
                                      {6, "1 Channel"},
                                      {7, "20 Channel"},
                                      {21, "80 Channel"},
                                      {8, "Variable Sweep"},
                                      {9, "1 MHz Sweep"},
                                      {10, "POCSAG"},
                                      {11, "Fast Fade"},
                                      {12, "Strongest AB"},
                                      {13, "Co-Channel Control"},
                                      {14, "Group"},
                                      {15, "Follow"},
                                      {16, "BER"},
                                      {17, "System"},
                                      {18, "FLEX Paging"}};
constexpr TopLevelNode kSkarnNodes[] = {
    {1, "Scan Data"}, {2, "1 Channel Data"}, {3, "3 Channel Data"}};
constexpr TopLevelNode kBriselNodes[] = {
    {19, "Single Frequency"}, {20, "List Data"}, {1, "Table Data"}};

using P = ProductItem;

// item, caption, label, CLI name, filter, extensions; receivers, scan type,
// scan mode, SAT/DCC, VMAC, 40 lambda; row receivers, title at the first
// segment, Skarn presets, InFielder; index nodes, reader of, reader, sample.
const std::array<ProductRow, kProductItems> kProducts = {{
    {P::None, "(None)", "(None)", "none", nullptr, {},    0,  false,   false,   false,
     false,   false,    1,        false,  false,   false, {}, P::None, nullptr, nullptr},
    {P::Tolvan,
     "QVR Tolvan",
     "QVR Tolvan",
     "tolvan",
     "Tolvan Log File",
     kTlf,
     4,
     true,
     false,
     false,
     false,
     true,
     1,
     false,
     false,
     false,
     kCwNodes,
     P::Tolvan,
     Make<Tolvan>,
     synth::WriteTolvanSample},
    {P::Velmar,
     "QVR Velmar",
     "QVR Velmar",
     "velmar",
     "Velmar Log File",
     kVlf,
     2,
     true,
     false,
     false,
     false,
     true,
     1,
     false,
     false,
     false,
     kCwNodes,
     P::Velmar,
     Make<Velmar>,
     synth::WriteVelmarSample},
    {P::ZevCard,
     "QVR Zev (PC CARD)",
     "QVR Zev (PC CARD)",
     "zev-card",
     "Zev Log File (PC Card)",
     kBin,
     1,
     false,
     false,
     true,
     true,
     false,
     1,
     true,
     false,
     true,
     kZevNodes,
     P::ZevCard,
     Make<Zev>,
     synth::WriteZevCardSample},
    {P::ZevDump,
     "QVR Zev (PC DUMP)",
     "QVR Zev (PC DUMP)",
     "zev-dump",
     "Zev Log File (PC Dump)",
     kZev,
     1,
     false,
     false,
     true,
     true,
     false,
     1,
     true,
     false,
     true,
     kZevNodes,
     P::ZevDump,
     Make<ZevDump>,
     synth::WriteZevDumpSample},
    {P::Skarn, "QVR Skarn", "QVR Skarn", "skarn",     "Skarn Log File",
     kSlf,     1,           false,       true,        false,
     false,    false,       1,           false,       true,
     false,    kSkarnNodes, P::Skarn,    Make<Skarn>, synth::WriteSkarnSample},
    {P::Darsk, "QVR Darsk", "QVR Darsk", "darsk", nullptr, {},    0,  false,    false,   false,
     false,    false,       1,           false,   false,   false, {}, P::Darsk, nullptr, nullptr},
    {P::TolvanNew,
     "QVR Tolvan (new)",
     "QVR Tolvan (>=fv1.27)",
     "tolvan-new",
     nullptr,
     kTlf,
     4,
     true,
     false,
     false,
     false,
     true,
     4,
     false,
     false,
     false,
     kCwNodes,
     P::TolvanNew,
     Make<Tolvan2>,
     synth::WriteTolvan2Sample},
    {P::Brisel,
     "QVR Brisel",
     "QVR Brisel",
     "brisel",
     "Brisel Log File",
     kBlf,
     2,
     true,
     false,
     false,
     false,
     false,
     2,
     true,
     false,
     false,
     kBriselNodes,
     P::Brisel,
     Make<Brisel>,
     WriteBrisel},
    {P::BriselCard,
     "QVR Brisel (PC CARD)",
     "QVR Brisel",
     "brisel-card",
     nullptr,
     kBlf,
     2,
     true,
     false,
     false,
     false,
     false,
     2,
     true,
     false,
     false,
     kBriselNodes,
     P::Brisel,
     Make<Brisel>,
     WriteBriselCard},
}};

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
  if (brisel && type == kBriselTableType) return "Table Data";
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
