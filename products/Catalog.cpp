#include "products/Catalog.h"

#include <charconv>

namespace morphel {

namespace {
constexpr std::array<ProductInfo, kProductItems> kProducts = {{
    // item, caption, label, CLI name, extension, receivers, scan type, SAT/DCC, VMAC,
    // 40 lambda, reader, InFielder
    {0, "(None)", "(None)", "none", "", 0, false, false, false, false, false, false},
    {1, "QVR Tolvan", "QVR Tolvan", "tolvan", ".tlf", 4, true, false, false, true, true, false},
    {2, "QVR Velmar", "QVR Velmar", "velmar", ".vlf", 2, true, false, false, true, true, false},
    {3, "QVR Zev (PC CARD)", "QVR Zev (PC CARD)", "zev-card", ".bin", 1, false, true, true, false,
     true, true},
    {4, "QVR Zev (PC DUMP)", "QVR Zev (PC DUMP)", "zev-dump", ".zev", 1, false, true, true, false,
     true, true},
    {5, "QVR Skarn", "QVR Skarn", "skarn", ".slf", 1, false, false, false, false, true, false},
    {6, "QVR Darsk", "QVR Darsk", "darsk", "", 0, false, false, false, false, false, false},
    {7, "QVR Tolvan (new)", "QVR Tolvan (>=fv1.27)", "tolvan-new", ".tlf", 4, true, false, false,
     true, true, false},
    {8, "QVR Brisel", "QVR Brisel", "brisel", ".blf", 2, true, false, false, false, true, false},
    {9, "QVR Brisel (PC CARD)", "QVR Brisel", "brisel-card", ".blf", 2, true, false, false, false,
     true, false},
}};

constexpr std::array<OutputFormatInfo, kFormatCount> kFormats = {{
    {0, "Comarco Workbench", "comarco", false},
    {1, "EDX SignalPro", "edx", false},
    {2, "Expert Wireless MaXPlan", "maxplan", false},
    {3, "Grayson IQ Analyzer", "grayson", true},
    {4, "MapInfo (w/ dB Planner)", "mapinfo", false},
    {5, "Microsoft Excel", "excel", false},
    {6, "MLJ PathPro", "pathpro", true},
    {7, "MSI Planet", "planet", true},
    {8, "SAFCO OPAS32", "opas32", false},
    {9, "TEC Cellular Wizard", "cellwizard", false},
    {10, "Teleworx PlotworX", "plotworx", false},
    {11, "Custom ASCII Configuration", "custom", false},
    {12, "Wireless Valley InFielder", "infielder", true},
}};

bool ParseItem(std::string_view s, int& value) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}
}  // namespace

const std::array<ProductInfo, kProductItems>& Products() {
  return kProducts;
}

const ProductInfo* ProductByItem(int item) {
  if (item < 0 || item >= kProductItems) return nullptr;
  return &kProducts[static_cast<size_t>(item)];
}

const ProductInfo* ProductByName(std::string_view name) {
  int item = 0;
  if (ParseItem(name, item)) return ProductByItem(item);
  for (const auto& p : kProducts)
    if (name == p.cliName) return &p;
  return nullptr;
}

const std::array<OutputFormatInfo, kFormatCount>& OutputFormats() {
  return kFormats;
}

const OutputFormatInfo* OutputFormatByItem(int item) {
  if (item < 0 || item >= kFormatCount) return nullptr;
  return &kFormats[static_cast<size_t>(item)];
}

const OutputFormatInfo* OutputFormatByName(std::string_view name) {
  int item = 0;
  if (ParseItem(name, item)) return OutputFormatByItem(item);
  for (const auto& f : kFormats)
    if (name == f.cliName) return &f;
  return nullptr;
}

bool ProductWritesFormat(int productItem, int formatItem) {
  const ProductInfo* p = ProductByItem(productItem);
  const OutputFormatInfo* f = OutputFormatByItem(formatItem);
  if (!p || !f || !p->supported) return false;
  if (!f->native) return true;
  return f->item != kFormatInFielder || p->inFielder;
}

std::string ProductsWritingFormat(int formatItem) {
  std::string names;
  for (const auto& p : kProducts) {
    if (!ProductWritesFormat(p.item, formatItem)) continue;
    if (!names.empty()) names += ", ";
    names += p.caption;
  }
  return names;
}

}  // namespace morphel
