// Reference outputs: every line of tests/golden/manifest runs the real
// `morphel convert` (or `morphel export`) over a committed log of
// tests/samples/ and compares the whole output with its reference file.
// MORPHEL_UPDATE_GOLDEN=1 rewrites the references from the current build
// instead.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "products/Formats.h"
#include "tests/CliSupport.h"

namespace morphel {
namespace {

namespace fs = std::filesystem;

struct GoldenCase {
  std::string reference;       // file name in tests/golden/
  std::string form;            // "bytes", "hex" or "export"
  std::string arguments;       // the words after `morphel convert` (`morphel export`)
  int line = 0;                // first manifest line of the case
  std::string name;            // test name
  bool namesReference = true;  // the first line of its reference
};

constexpr const char* kBytes = "bytes";
constexpr const char* kHex = "hex";
constexpr const char* kExport = "export";
// References are read by people: a whole output a page or two long.
constexpr size_t kMaxReferenceSize = 50000;

std::string ManifestPath() {
  return test::SourcePath("tests/golden/manifest");
}
std::string SamplesDir() {
  return test::SourcePath("tests/samples");
}

// The next blank-separated word of text from at, moving at past it.
std::string NextWord(const std::string& text, size_t& at) {
  at = text.find_first_not_of(" \t", at);
  if (at == std::string::npos) return at = text.size(), std::string();
  const size_t end = std::min(text.find_first_of(" \t", at), text.size());
  std::string word = text.substr(at, end - at);
  at = end;
  return word;
}

// The file of paging messages an export writes beside a table or a GeoJSON
// file: "NAME-paging.EXT".
std::string PagingName(const std::string& name) {
  const size_t dot = name.rfind('.');
  return name.substr(0, dot) + "-paging" + name.substr(dot);
}

std::string TestName(const std::string& reference) {
  std::string name = reference.substr(0, reference.rfind('.'));
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

// The cases of the manifest's text: comments and blank lines skipped, a
// backslash at a line's end joining the next line to it (as the shell does).
std::vector<GoldenCase> ParseManifest(const std::string& text) {
  std::vector<GoldenCase> cases;
  std::set<std::string> references, names;
  std::string logical;
  int lineNumber = 0, firstLine = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (logical.empty()) {
      const size_t first = line.find_first_not_of(" \t");
      if (first == std::string::npos || line[first] == '#') continue;
      firstLine = lineNumber;
    }
    const bool goesOn = !line.empty() && line.back() == '\\';
    if (goesOn) line.pop_back();
    logical += line;
    if (goesOn && start < text.size()) continue;
    GoldenCase c;
    size_t at = 0;
    c.reference = NextWord(logical, at);
    c.form = NextWord(logical, at);
    const size_t rest = logical.find_first_not_of(" \t", at);
    c.arguments = rest == std::string::npos ? "" : logical.substr(rest);
    c.line = firstLine;
    c.namesReference = references.insert(c.reference).second;
    c.name = TestName(c.reference);
    for (int n = 2; !names.insert(c.name).second; ++n)
      c.name = TestName(c.reference) + "_" + std::to_string(n);
    cases.push_back(std::move(c));
    logical.clear();
  }
  return cases;
}

std::vector<GoldenCase> ManifestCases() {
  static const std::vector<GoldenCase> cases = ParseManifest(test::ReadFile(ManifestPath()));
  return cases;
}

// Hex dump with a line for the first `head` bytes, then `width` bytes a line.
std::string HexDump(const std::string& bytes, size_t head, size_t width) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += fmt::format("{:02x}", static_cast<uint8_t>(bytes[i]));
    const bool end = i + 1 == head || (i >= head && (i - head) % width == width - 1);
    out += (end || i + 1 == bytes.size()) ? "\n" : " ";
  }
  return out;
}

// Where two texts first part, with the lines around it, for the failure
// message (a whole output would bury it).
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const size_t lineStart = at == 0 ? 0 : expected.rfind('\n', at - 1) + 1;
  const auto lineAt = [lineStart](const std::string& s) {
    return lineStart >= s.size() ? std::string("(end)")
                                 : s.substr(lineStart, s.find('\n', lineStart) - lineStart);
  };
  return fmt::format(
      "sizes {} (reference) and {} (output); first difference at byte {}, line {}\n"
      "reference: {}\n"
      "output:    {}",
      expected.size(), actual.size(), at,
      1 + std::count(expected.begin(), expected.begin() + lineStart, '\n'), lineAt(expected),
      lineAt(actual));
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// The manifest line, not the object's bytes, in gtest's messages.
void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << "manifest line " << c.line << ": " << c.reference;
}

class Golden : public ::testing::TestWithParam<GoldenCase> {};

// The reference of a file written and whether the output equals it.
void ExpectReference(const GoldenCase& c, const std::string& name, const std::string& out) {
  const std::string reference = test::SourcePath("tests/golden/" + name);
  const char* update = std::getenv("MORPHEL_UPDATE_GOLDEN");
  if (update && std::string(update) == "1" && c.namesReference) test::WriteFile(reference, out);
  ASSERT_TRUE(test::FileExists(reference)) << reference;
  const std::string expected = test::ReadFile(reference);
  EXPECT_TRUE(out == expected) << name << ": " << FirstDifference(expected, out);
  EXPECT_LT(out.size(), kMaxReferenceSize);
}

TEST_P(Golden, OutputEqualsReference) {
  const GoldenCase& c = GetParam();
  SCOPED_TRACE("tests/golden/manifest:" + std::to_string(c.line));
  const std::string folder = test::TempPath("golden-" + std::to_string(c.line));
  fs::create_directories(folder);
  const std::string output = folder + "/" + c.reference;
  const bool exported = c.form == kExport;
  const test::CliRun run = test::Morphel(std::string(exported ? "export " : "convert ") +
                                             c.arguments + " -o " + ShellWord(output) + " --quiet",
                                         SamplesDir());
  ASSERT_EQ(run.status, 0) << run.err;

  std::string out = test::ReadFile(output);
  std::set<std::string> written = {c.reference};
  if (c.form == kHex) {
    const std::string side = formats::PathViewSideFileName(output);
    written.insert(fs::path(side).filename().string());
    out = HexDump(out, formats::kPathViewHeaderSize, formats::kPathViewRecordSize) +
          HexDump(test::ReadFile(side), formats::kPathViewSideFileSize, 1);
  } else if (exported && test::FileExists(PagingName(output))) {
    // Paging messages go to a file of their own, with a reference of its own.
    written.insert(PagingName(c.reference));
    ExpectReference(c, PagingName(c.reference), test::ReadFile(PagingName(output)));
  } else {
    ASSERT_TRUE(c.form == kBytes || exported) << "form is bytes, hex or export";
  }
  EXPECT_EQ(FilesIn(folder), written);
  ExpectReference(c, c.reference, out);
}

INSTANTIATE_TEST_SUITE_P(Manifest, Golden, ::testing::ValuesIn(ManifestCases()),
                         [](const auto& param) { return param.param.name; });

// Every reference and every sample is named by some line, so that neither
// outlives the case it was made for.
TEST(GoldenManifest, NamesEveryReferenceAndSample) {
  const std::vector<GoldenCase> cases = ManifestCases();
  ASSERT_FALSE(cases.empty());
  std::set<std::string> references;
  std::string arguments;
  for (const GoldenCase& c : cases) {
    references.insert(c.reference);
    arguments += " " + c.arguments + " ";
  }
  for (const GoldenCase& c : cases)
    if (c.form == kExport) references.insert(PagingName(c.reference));
  for (const std::string& file : FilesIn(test::SourcePath("tests/golden"))) {
    if (file == "manifest") continue;
    EXPECT_TRUE(references.count(file)) << file;
  }
  for (const std::string& file : FilesIn(SamplesDir())) {
    if (file.ends_with(".md") || file.starts_with(".")) continue;
    EXPECT_NE(arguments.find(" " + file + " "), std::string::npos) << file;
  }
}

TEST(GoldenManifest, ReadsCasesOverContinuedLines) {
  const auto cases = ParseManifest(
      "# comment\n\n"
      "a.out bytes log.tlf --fields \"Record Number, \\\n"
      "    << DATA >>\" --header\n"
      "   # indented comment\n"
      "a.out hex  log.tlf\\\n"
      "   --frozen-clock 1\\\n");
  ASSERT_EQ(cases.size(), 2u);
  EXPECT_EQ(cases[0].reference, "a.out");
  EXPECT_EQ(cases[0].form, "bytes");
  EXPECT_EQ(cases[0].arguments, "log.tlf --fields \"Record Number,     << DATA >>\" --header");
  EXPECT_EQ(cases[0].line, 3);
  EXPECT_TRUE(cases[0].namesReference);
  EXPECT_EQ(cases[1].arguments, "log.tlf   --frozen-clock 1");
  EXPECT_EQ(cases[1].line, 6);
  EXPECT_FALSE(cases[1].namesReference);
  EXPECT_EQ(cases[1].name, "a_2");
}

}  // namespace
}  // namespace morphel
