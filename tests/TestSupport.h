#pragma once
// Shared helpers for the test suite: temporary files and whole-file reads.

#include <cstdint>
#include <string>
#include <vector>

#include "products/Product.h"

namespace morphel::test {

// A fresh empty directory under the system's temporary folder, removed at exit.
std::string TempDir();
// A path inside TempDir() with the given file name.
std::string TempPath(const std::string& name);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Path of a file below the source tree (for golden files and fixtures).
std::string SourcePath(const std::string& relative);
// A committed sample log (tests/samples/) and a reference output
// (tests/golden/), which the golden runner holds equal to the command's output.
std::string CommittedSample(const std::string& name);
std::string GoldenReference(const std::string& name);

// A synthetic log of a product (the name `morphel sample` takes), written
// once per test program under TempDir().
std::string SyntheticLog(const std::string& product, double seconds, uint64_t seed);

// The bytes of a record buffer, to compare with expected bytes.
inline std::vector<uint8_t> BlockBytes(const Product::Block& block) {
  return std::vector<uint8_t>(block.begin(), block.end());
}

}  // namespace morphel::test
