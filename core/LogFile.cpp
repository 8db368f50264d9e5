#include "core/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace morphel {

LogFile::~LogFile() {
  Close();
}

bool LogFile::Open(const std::string& path) {
  Close();
  error_ = 0;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    error_ = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  if (buffer_.size() != kBufferSize) buffer_.resize(kBufferSize);
  bufferStart_ = 0;
  pos_ = len_ = 0;
  failed_ = false;
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  return true;
}

void LogFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = len_ = 0;
  bufferStart_ = 0;
}

bool LogFile::Fill() {
  if (fd_ < 0) return false;
  bufferStart_ += len_;
  pos_ = len_ = 0;
  for (;;) {
    ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      failed_ = true;
      error_ = errno;
      return false;
    }
    len_ = static_cast<size_t>(got);
    return got > 0;
  }
}

size_t LogFile::ReadAcross(void* dest, size_t n) {
  auto* out = static_cast<uint8_t*>(dest);
  size_t done = 0;
  while (done < n) {
    if (pos_ == len_ && !Fill()) break;
    size_t take = std::min(n - done, len_ - pos_);
    std::memcpy(out + done, buffer_.data() + pos_, take);
    pos_ += take;
    done += take;
  }
  return done;
}

int LogFile::ReadByteAcross() {
  if (pos_ == len_ && !Fill()) return -1;
  return buffer_[pos_++];
}

bool LogFile::Seek(uint64_t position) {
  if (fd_ < 0) return false;
  if (position >= bufferStart_ && position <= bufferStart_ + len_) {
    pos_ = static_cast<size_t>(position - bufferStart_);
    return true;
  }
  if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
    failed_ = true;
    return false;
  }
  bufferStart_ = position;
  pos_ = len_ = 0;
  return true;
}

int64_t FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

}  // namespace morphel
