// The buffered log reader: reads, seeks, skips and tells at every place
// relative to its 1 MiB buffer and to the ends of a file, and the system's
// reason when a file cannot be opened or read.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/LogFile.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

constexpr uint64_t kBuffer = LogFile::kBufferSize;
// Two whole buffers and a part of a third.
constexpr uint64_t kBigSize = 2 * kBuffer + 123;

// A byte of the test file at a position: neighbours differ, so a read one
// byte off never matches.
uint8_t PatternByte(uint64_t at) {
  return static_cast<uint8_t>((at * 2654435761u) >> 11 ^ at >> 3);
}

std::string Pattern(uint64_t from, uint64_t size) {
  std::string bytes;
  for (uint64_t at = from; at < from + size; ++at)
    bytes.push_back(static_cast<char>(PatternByte(at)));
  return bytes;
}

// The pattern's first `size` bytes in a file of their own.
std::string PatternFile(uint64_t size) {
  const std::string path = test::TempPath("pattern-" + std::to_string(size) + ".log");
  if (!test::FileExists(path)) test::WriteFile(path, Pattern(0, size));
  return path;
}

std::string ReadText(LogFile& f, size_t n) {
  std::string bytes(n, '\0');
  bytes.resize(f.Read(bytes.data(), n));
  return bytes;
}

// What a log that has come to its end answers.
void ExpectAtEnd(LogFile& f, uint64_t tell) {
  uint8_t byte = 0;
  EXPECT_EQ(f.Read(&byte, 1), 0u);
  EXPECT_FALSE(f.ReadExact(&byte, 1));
  EXPECT_EQ(f.ReadByte(), -1);
  EXPECT_TRUE(f.AtEnd());
  EXPECT_EQ(f.Tell(), tell);
  EXPECT_FALSE(f.Failed());
}

TEST(LogFileRead, ReturnsEveryByteInOrderWhateverThePieceSize) {
  const std::string expected = Pattern(0, kBigSize);
  for (size_t piece :
       {size_t{1}, size_t{3}, size_t{4096}, size_t{kBuffer - 1}, size_t{kBuffer + 5}}) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    LogFile f;
    ASSERT_TRUE(f.Open(PatternFile(kBigSize)));
    EXPECT_EQ(f.Size(), kBigSize);
    std::string read;
    for (;;) {
      std::string got;
      if (piece == 1) {
        const int byte = f.ReadByte();
        if (byte >= 0) got.push_back(static_cast<char>(byte));
      } else {
        got = ReadText(f, piece);
      }
      read += got;
      ASSERT_EQ(f.Tell(), read.size());
      if (got.size() < piece) break;  // a short read only at the end
      ASSERT_LT(read.size(), kBigSize + piece);
    }
    EXPECT_TRUE(read == expected) << "read " << read.size() << " bytes";
    ExpectAtEnd(f, kBigSize);
  }
}

// One open file through a walk of seeks and skips: the buffer holds a
// different stretch of the file at each step, and each step reads eight bytes.
TEST(LogFileSeek, LandsOnTheByteAskedForAcrossTheBufferAndBack) {
  struct Step {
    const char* what;
    bool skip;  // Skip(n) from where the last read ended, else Seek(n)
    uint64_t n;
  };
  // The buffer's stretch after each step's read in the comments (K = 1 MiB).
  const Step steps[] = {
      {"the start", false, 0},                                     // [0, K)
      {"inside the buffer", false, 5},                             // [0, K)
      {"a skip inside the buffer", true, 100},                     // [0, K)
      {"just past the full buffer", false, kBuffer + 1},           // [K+1, 2K+1)
      {"back before the buffer", false, 2},                        // [2, K+2)
      {"exactly the buffer's end", false, kBuffer + 2},            // [K+2, 2K+2)
      {"a read across the buffer's end", false, 2 * kBuffer - 1},  // [2K+2, end)
      {"the buffer's first byte", false, 2 * kBuffer + 2},         // [2K+2, end)
      {"two bytes before the end", false, kBigSize - 2},           // [2K+2, end)
      {"the end", false, kBigSize},                                // [2K+2, end)
      {"past the end", false, kBigSize + 1000},                    // nothing
      {"back from past the end", false, 11},                       // [11, K+11)
      {"a skip of a whole buffer", true, kBuffer},                 // [K+19, 2K+19)
      {"just before the buffer", false, kBuffer + 18},             // [K+18, 2K+18)
      {"a skip past the end", true, kBigSize},                     // nothing
  };
  LogFile f;
  ASSERT_TRUE(f.Open(PatternFile(kBigSize)));
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    const uint64_t at = s.skip ? f.Tell() + s.n : s.n;
    ASSERT_TRUE(s.skip ? f.Skip(s.n) : f.Seek(s.n));
    EXPECT_EQ(f.Tell(), at);
    const uint64_t present = at < kBigSize ? std::min<uint64_t>(8, kBigSize - at) : 0;
    EXPECT_EQ(ReadText(f, 8), Pattern(at, present));
    EXPECT_EQ(f.Tell(), at + present);
    EXPECT_EQ(f.AtEnd(), at + present >= kBigSize);
    EXPECT_FALSE(f.Failed());
  }
}

TEST(LogFile, ShortFilesEndWhereTheyEnd) {
  for (uint64_t size : {0, 1, 3, 7}) {
    SCOPED_TRACE(std::to_string(size) + " bytes");
    const std::string path = PatternFile(size);
    EXPECT_EQ(FileSize(path), static_cast<int64_t>(size));
    LogFile f;
    ASSERT_TRUE(f.Open(path));
    EXPECT_EQ(f.Size(), size);
    EXPECT_EQ(f.AtEnd(), size == 0);
    EXPECT_EQ(ReadText(f, 8), Pattern(0, size));
    ExpectAtEnd(f, size);
    // A whole record that is not all there: what is there is read.
    ASSERT_TRUE(f.Seek(0));
    std::string bytes(size + 1, '\0');
    EXPECT_FALSE(f.ReadExact(bytes.data(), size + 1));
    EXPECT_EQ(bytes.substr(0, size), Pattern(0, size));
    ASSERT_TRUE(f.Seek(size / 2));
    EXPECT_EQ(f.ReadByte(), size == 0 ? -1 : PatternByte(size / 2));
  }
}

TEST(LogFile, OpenFailsWithTheSystemsReason) {
  const std::string file = PatternFile(3);
  const std::string folder = test::TempPath("a-folder.log");
  std::filesystem::create_directories(folder);
  struct Case {
    std::string path;
    int error;
  };
  const Case cases[] = {
      {test::TempPath("missing.log"), ENOENT},
      {folder, EISDIR},
      {file + "/inside.log", ENOTDIR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    LogFile f;
    ASSERT_TRUE(f.Open(file));  // a failed open leaves nothing of the last log open
    EXPECT_FALSE(f.Open(c.path));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Error(), c.error) << std::strerror(f.Error());
    uint8_t byte = 0;
    EXPECT_EQ(f.Read(&byte, 1), 0u);
    EXPECT_EQ(f.ReadByte(), -1);
    EXPECT_FALSE(f.Seek(0));
  }
  EXPECT_EQ(FileSize(test::TempPath("missing.log")), -1);
}

// The kernel refuses to read the unmapped first page of the process's own
// memory: a read error in the middle of an open log.
TEST(LogFile, ReadErrorIsKeptUntilTheNextOpen) {
  LogFile f;
  ASSERT_TRUE(f.Open("/proc/self/mem"));
  uint8_t bytes[16];
  EXPECT_EQ(f.Read(bytes, sizeof bytes), 0u);
  EXPECT_TRUE(f.Failed());
  EXPECT_EQ(f.Error(), EIO);
  EXPECT_EQ(f.ReadByte(), -1);
  EXPECT_TRUE(f.Failed());

  ASSERT_TRUE(f.Open(PatternFile(7)));
  EXPECT_FALSE(f.Failed());
  EXPECT_EQ(f.Error(), 0);
  EXPECT_EQ(f.Tell(), 0u);
  EXPECT_EQ(ReadText(f, 8), Pattern(0, 7));
  f.Close();
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.Read(bytes, 1), 0u);
}

}  // namespace
}  // namespace morphel
