// The buffered output: line feeds stored as CR LF in text mode whatever the
// size of the write (single characters, short fields, long texts) and at
// every position relative to the buffer's end; bytes unchanged in binary.

#include <gtest/gtest.h>

#include <string>

#include "core/OutputFile.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

TEST(OutputFile, TextModeStoresEveryLineFeedAsCrLf) {
  struct Case {
    const char* name;
    std::string piece;
  };
  const Case cases[] = {
      {"field", "-81"},
      {"field-with-lf", "12:00:01\n"},
      {"only-lf", "\n"},
      {"cr-kept", "a\r\nb"},
      {"short-limit", std::string(31, 'x') + "\n"},
      {"long", std::string(200, 'y') + "\n" + std::string(50, 'z') + "\n\n"},
  };
  for (const Case& c : cases) {
    const std::string path = test::TempPath(std::string("of-") + c.name);
    OutputFile out;
    ASSERT_TRUE(out.Open(path, false));
    // Enough pieces to cross the buffer's end at many different offsets.
    std::string expected;
    const size_t pieces = 3 * OutputFile::kBufferSize / (c.piece.size() + 1) + 7;
    for (size_t i = 0; i < pieces; ++i) {
      out.Write(c.piece);
      out.Put(i % 5 == 0 ? '\n' : ',');
      expected += c.piece;
      expected += i % 5 == 0 ? '\n' : ',';
    }
    ASSERT_TRUE(out.Close());
    ASSERT_EQ(test::ReadFile(path), Crlf(expected)) << c.name;
  }
}

TEST(OutputFile, BinaryModeStoresBytesUnchanged) {
  const std::string path = test::TempPath("of-binary");
  OutputFile out;
  ASSERT_TRUE(out.Open(path, true));
  std::string expected;
  for (int i = 0; i < 70000; ++i) {
    std::string piece = {static_cast<char>(i & 0xFF), '\n', static_cast<char>(i >> 8)};
    out.Write(piece);
    out.Put('\n');
    expected += piece + "\n";
  }
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(test::ReadFile(path), expected);
}

TEST(OutputFile, WritesToAClosedFileAreIgnored) {
  OutputFile out;
  out.Put('x');
  out.Write("abc\n");
  EXPECT_FALSE(out.IsOpen());
  EXPECT_TRUE(out.Close());
}

}  // namespace
}  // namespace morphel
