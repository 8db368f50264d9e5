#pragma once
// Buffered output for converted files. In text mode every line feed is stored
// as carriage return + line feed (a carriage return already in the text stays
// as it is); in binary mode bytes are stored unchanged. Write failures (a full
// disk, a vanished device) are remembered and reported by Close().

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morphel {

class OutputFile {
 public:
  static constexpr size_t kBufferSize = 1 << 20;

  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates or truncates the file.
  bool Open(const std::string& path, bool binary);
  // Writes to a copy of an open descriptor (standard output); Close closes
  // the copy only.
  bool OpenDescriptor(int fd, bool binary);
  bool IsOpen() const { return fd_ >= 0; }
  void Write(std::string_view bytes) {
    // Most writes are one field of a few characters: copied byte by byte
    // straight into the buffer, which costs less than a search and a copy.
    if (bytes.size() <= kShortWrite && !binary_ && fd_ >= 0 &&
        buffer_.size() - used_ >= 2 * kShortWrite) {
      char* dest = buffer_.data() + used_;
      for (char c : bytes) {
        if (c == '\n') *dest++ = '\r';
        *dest++ = c;
      }
      used_ = static_cast<size_t>(dest - buffer_.data());
      return;
    }
    WriteLong(bytes);
  }
  void Write(const void* data, size_t n) {
    Write(std::string_view(static_cast<const char*>(data), n));
  }
  void Put(char c) {
    if (fd_ < 0) return;
    if (used_ + 2 > buffer_.size()) Flush();
    if (c == '\n' && !binary_) buffer_[used_++] = '\r';
    buffer_[used_++] = c;
  }
  // Rows made in place (RowOutput, text mode): the buffer's cursor and end,
  // and a flush that keeps the bytes from `keep` to the cursor (a row not
  // finished yet) by moving them to the front; it answers where they begin.
  char* Cursor() { return buffer_.data() + used_; }
  char* BufferEnd() { return buffer_.data() + buffer_.size(); }
  void MoveCursor(char* p) { used_ = static_cast<size_t>(p - buffer_.data()); }
  char* FlushBefore(char* keep);
  // Writes out what the buffer holds (a failure is remembered as for any
  // write); nothing on a closed file.
  void Flush();
  // Flushes and closes; false if any write since Open failed.
  bool Close();
  bool Failed() const { return failed_; }
  // The system's error number of the failed open or write (0: none).
  int Error() const { return error_; }

 private:
  static constexpr size_t kShortWrite = 32;
  bool Begin(bool binary);

  void Append(const char* data, size_t n);
  void WriteLong(std::string_view bytes);

  int fd_ = -1;
  bool binary_ = false;
  bool failed_ = false;
  int error_ = 0;
  std::vector<char> buffer_;
  size_t used_ = 0;
};

}  // namespace morphel
