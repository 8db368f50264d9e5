// The buffered output: line feeds stored as CR LF in text mode whatever the
// size of the write (single characters, short fields, long texts) and at
// every position relative to the buffer's end; bytes unchanged in binary.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
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

// A line feed that falls on the buffer's last bytes, however it is written:
// the carriage return and the line feed both arrive, in order.
TEST(OutputFile, LineFeedAtTheBufferEdge) {
  struct Way {
    const char* name;
    bool put;          // Put('\n'), else Write(text)
    std::string text;  // what is written after the head
  };
  const Way ways[] = {
      {"put", true, "\n"},
      {"short write", false, "\n"},
      {"long write", false, std::string(40, 'b') + "\n"},
  };
  constexpr size_t kBuffer = OutputFile::kBufferSize;
  for (bool binary : {false, true}) {
    for (const Way& way : ways) {
      for (size_t head : {kBuffer - 2, kBuffer - 1, kBuffer, kBuffer + 1}) {
        SCOPED_TRACE(std::string(binary ? "binary, " : "text, ") + way.name + " after " +
                     std::to_string(head));
        const std::string path = test::TempPath("of-edge");
        OutputFile out;
        ASSERT_TRUE(out.Open(path, binary));
        out.Write(std::string(head, 'a'));
        if (way.put)
          out.Put('\n');
        else
          out.Write(way.text);
        out.Put('z');
        ASSERT_TRUE(out.Close());
        const std::string expected = std::string(head, 'a') + way.text + "z";
        EXPECT_TRUE(test::ReadFile(path) == (binary ? expected : Crlf(expected)));
      }
    }
  }
}

// A device that takes nothing: the failure and its reason come out at the
// flush that meets it, at the latest at Close; nothing after it is written.
TEST(OutputFile, FullDeviceFailsWithTheSystemsReason) {
  for (size_t size : {size_t{10}, 3 * OutputFile::kBufferSize}) {
    SCOPED_TRACE(size);
    OutputFile out;
    ASSERT_TRUE(out.Open("/dev/full", false));
    for (size_t done = 0; done < size; done += 10) out.Write("-81,-77,\n");
    EXPECT_EQ(out.Failed(), size > OutputFile::kBufferSize);
    out.Put('\n');
    EXPECT_FALSE(out.Close());
    EXPECT_TRUE(out.Failed());
    EXPECT_EQ(out.Error(), ENOSPC) << std::strerror(out.Error());
  }
}

TEST(OutputFile, OpenFailsWithTheSystemsReasonAndTruncatesOtherwise) {
  const std::string folder = test::TempPath("of-folder");
  std::filesystem::create_directories(folder);
  OutputFile out;
  EXPECT_FALSE(out.Open(test::TempPath("no-such-folder/out.txt"), false));
  EXPECT_EQ(out.Error(), ENOENT);
  EXPECT_FALSE(out.Open(folder, false));
  EXPECT_EQ(out.Error(), EISDIR);
  EXPECT_FALSE(out.IsOpen());

  const std::string path = test::TempPath("of-existing");
  test::WriteFile(path, std::string(5000, 'x'));
  ASSERT_TRUE(out.Open(path, false));
  EXPECT_EQ(out.Error(), 0);
  out.Write("new\n");
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(test::ReadFile(path), "new\r\n");
}

// Standard output is written through a copy of its descriptor: closing the
// output leaves the descriptor itself open.
TEST(OutputFile, OpenDescriptorWritesThroughACopy) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  OutputFile out;
  ASSERT_TRUE(out.OpenDescriptor(pipeFds[1], false));
  out.Write("a\nb");
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(::write(pipeFds[1], "c", 1), 1);
  ::close(pipeFds[1]);
  std::string got(16, '\0');
  got.resize(static_cast<size_t>(std::max<ssize_t>(0, ::read(pipeFds[0], got.data(), got.size()))));
  ::close(pipeFds[0]);
  EXPECT_EQ(got, "a\r\nbc");

  EXPECT_FALSE(out.OpenDescriptor(pipeFds[0], false));  // closed by now
  EXPECT_EQ(out.Error(), EBADF);
  EXPECT_FALSE(out.IsOpen());
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
