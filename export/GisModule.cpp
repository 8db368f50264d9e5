// GeoPackage and GeoJSON live in a module of their own, loaded the first time
// one is asked for: GDAL and the hundred libraries it brings take a tenth of
// a second and some 30 MB to start, which every other command (and every CSV
// and KML export, written without GDAL) is spared. A machine without the
// module still exports CSV and KML.

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <string>

#include "export/Writers.h"

namespace morphel::exporting {

namespace {

constexpr const char* kModuleName = "libmorphel_gis.so";

// An export that cannot be made: says why at its first step.
class Unavailable : public ExportSink {
 public:
  explicit Unavailable(std::string why) { error_ = std::move(why); }
  bool BeginLog(const Product&) override { return false; }
  bool Take(const ReadingRecord&) override { return false; }
  bool EndLog() override { return false; }
  bool Close() override { return true; }
};

std::string ExecutableFolder() {
  std::array<char, 4096> path{};
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return {};
  std::string exe(path.data(), static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

// The module beside the program, else where an install puts it, else where
// this build put it.
GisFactory LoadFactory(std::string& error) {
  std::string tried;
  const std::string bin = ExecutableFolder();
  const std::string installed = bin.empty() ? bin : bin + "/" + MORPHEL_GIS_FROM_BIN;
  for (const std::string& folder : {bin, installed, std::string(MORPHEL_GIS_MODULE_DIR)}) {
    if (folder.empty()) continue;
    const std::string path = folder + "/" + kModuleName;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char* why = ::dlerror();
      tried += (tried.empty() ? "" : "; ") + std::string(why ? why : path);
      continue;
    }
    auto factory = reinterpret_cast<GisFactory>(::dlsym(module, kGisFactorySymbol));
    if (factory) return factory;
    tried += (tried.empty() ? "" : "; ") + path + ": no " + kGisFactorySymbol;
  }
  error = "GeoPackage and GeoJSON are written by the GDAL module " + std::string(kModuleName) +
          ", which cannot be loaded (" + tried + "); CSV and KML need no module";
  return nullptr;
}

}  // namespace

std::unique_ptr<ExportSink> CreateGisExport(const ExportSettings& settings) {
  static std::string error;
  static const GisFactory factory = LoadFactory(error);
  if (!factory) return std::make_unique<Unavailable>(error);
  return std::unique_ptr<ExportSink>(factory(settings));
}

}  // namespace morphel::exporting
