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

// A synthetic log of a product (the name `morphel sample` takes), written
// once per test program under TempDir().
std::string SampleLog(const std::string& product, double seconds, uint64_t seed);

// A shell command's exit status and its standard output and error together.
struct CommandResult {
  int status = -1;
  std::string output;
};
CommandResult RunCommand(const std::string& command);
// The morphel command of this build with the given arguments.
CommandResult RunMorphel(const std::string& args);

// The bytes of a record buffer, to compare with expected bytes.
inline std::vector<uint8_t> BlockBytes(const Product::Block& block) {
  return std::vector<uint8_t>(block.begin(), block.end());
}

}  // namespace morphel::test
