#include "core/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace morphel {

OutputFile::~OutputFile() {
  Close();
}

bool OutputFile::Open(const std::string& path, bool binary) {
  Close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return Begin(binary);
}

bool OutputFile::OpenDescriptor(int fd, bool binary) {
  Close();
  fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  return Begin(binary);
}

bool OutputFile::Begin(bool binary) {
  error_ = fd_ < 0 ? errno : 0;
  if (fd_ < 0) return false;
  binary_ = binary;
  failed_ = false;
  if (buffer_.size() != kBufferSize) buffer_.resize(kBufferSize);
  used_ = 0;
  return true;
}

void OutputFile::Append(const char* data, size_t n) {
  while (n > 0) {
    if (used_ == buffer_.size()) Flush();
    size_t take = std::min(n, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, data, take);
    used_ += take;
    data += take;
    n -= take;
  }
}

void OutputFile::WriteLong(std::string_view bytes) {
  if (fd_ < 0) return;
  if (binary_) {
    Append(bytes.data(), bytes.size());
    return;
  }
  while (!bytes.empty()) {
    const void* lf = std::memchr(bytes.data(), '\n', bytes.size());
    if (!lf) {
      Append(bytes.data(), bytes.size());
      return;
    }
    size_t head = static_cast<size_t>(static_cast<const char*>(lf) - bytes.data());
    Append(bytes.data(), head);
    Append("\r\n", 2);
    bytes.remove_prefix(head + 1);
  }
}

void OutputFile::Flush() {
  if (fd_ < 0) return;
  size_t done = 0;
  while (done < used_ && !failed_) {
    ssize_t put = ::write(fd_, buffer_.data() + done, used_ - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      failed_ = true;
      error_ = put < 0 ? errno : ENOSPC;  // a write that takes nothing: the device is full
      break;
    }
    done += static_cast<size_t>(put);
  }
  used_ = 0;
}

char* OutputFile::FlushBefore(char* keep) {
  const size_t from = static_cast<size_t>(keep - buffer_.data());
  const size_t kept = used_ - from;
  used_ = from;
  Flush();
  // A failed write drops the buffer as Flush always has; the row's bytes
  // still move, so the row in hand stays whole for its writer.
  std::memmove(buffer_.data(), buffer_.data() + from, kept);
  used_ = kept;
  return buffer_.data();
}

bool OutputFile::Close() {
  if (fd_ < 0) return !failed_;
  Flush();
  if (::close(fd_) != 0 && !failed_) {
    failed_ = true;
    error_ = errno;
  }
  fd_ = -1;
  return !failed_;
}

}  // namespace morphel
