#pragma once
// Common ground of the synthetic log writers: options and a buffered file
// sink, so that benchmark corpora of gigabytes are written in constant memory.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace morphel::synth {

struct SampleOptions {
  double seconds = 120;   // length of the drive
  uint64_t seed = 1;
  std::string firmware;   // product specific ("1.25" for a Tolvan); empty = the writer's default
};

class SampleFile {
 public:
  explicit SampleFile(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {}
  ~SampleFile() { Close(); }
  SampleFile(const SampleFile&) = delete;
  SampleFile& operator=(const SampleFile&) = delete;

  bool IsOpen() const { return f_ != nullptr; }
  void Write(const void* data, size_t n) {
    if (f_ && std::fwrite(data, 1, n, f_) != n) failed_ = true;
  }
  void Write(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }
  // Closes; false if the file could not be opened or a write failed.
  bool Close() {
    if (!f_) return false;
    bool ok = !failed_ && std::fclose(f_) == 0;
    f_ = nullptr;
    closedOk_ = ok;
    return ok;
  }
  bool Ok() const { return f_ ? !failed_ : closedOk_; }

 private:
  std::FILE* f_;
  bool failed_ = false;
  bool closedOk_ = false;
};

}  // namespace morphel::synth
