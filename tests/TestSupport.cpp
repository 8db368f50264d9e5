#include "tests/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "products/ProductTable.h"
#include "synth/SampleFile.h"

namespace fs = std::filesystem;

namespace morphel::test {

namespace {
struct TempRoot {
  fs::path path;
  TempRoot() {
    std::string templ = (fs::temp_directory_path() / "morphel-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("cannot create temporary directory");
    path = templ;
  }
  ~TempRoot() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};
}  // namespace

std::string TempDir() {
  static TempRoot root;
  return root.path.string();
}

std::string TempPath(const std::string& name) {
  return (fs::path(TempDir()) / name).string();
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) {
  return fs::exists(path);
}

std::string SourcePath(const std::string& relative) {
  return (fs::path(MORPHEL_SOURCE_DIR) / relative).string();
}

std::string CommittedSample(const std::string& name) {
  return SourcePath("tests/samples/" + name);
}

std::string GoldenReference(const std::string& name) {
  return ReadFile(SourcePath("tests/golden/" + name));
}

std::string SyntheticLog(const std::string& product, double seconds, uint64_t seed) {
  const std::string path =
      TempPath("sample-" + product + "-" + std::to_string(seconds) + "-" + std::to_string(seed));
  if (FileExists(path)) return path;
  synth::SampleOptions options;
  options.seconds = seconds;
  options.seed = seed;
  std::string error;
  if (!WriteSample(product, path, options, error)) throw std::runtime_error(error);
  return path;
}

}  // namespace morphel::test
