#pragma once
// Running the real morphel binary from the command-line tests: its exit
// status with standard output and standard error kept apart, in a folder of
// the test's choice, and a log sample made once per name.

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "cli/CommandLine.h"
#include "tests/TestSupport.h"

namespace morphel::test {

struct CliRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs a shell line in which "$M" is the binary under test; `folder` is the
// working folder (the test's temporary folder by default).
inline CliRun Shell(const std::string& line, const std::string& folder = "") {
  static int count = 0;
  const std::string n = std::to_string(++count);
  const std::string out = TempPath("run-" + n + ".stdout");
  const std::string err = TempPath("run-" + n + ".stderr");
  const std::string cmd = "M=" + ShellWord(MORPHEL_BINARY) + "; cd " +
                          ShellWord(folder.empty() ? TempDir() : folder) + " && { " + line +
                          " ; } >" + ShellWord(out) + " 2>" + ShellWord(err) + " </dev/null";
  CliRun r;
  const int st = std::system(cmd.c_str());
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

inline CliRun Morphel(const std::string& args, const std::string& folder = "") {
  return Shell("\"$M\" " + args, folder);
}

// A sample log of a product in the temporary folder, written once.
inline std::string SampleLog(const std::string& product, const std::string& name, int seconds,
                             int seed = 5) {
  const std::string path = TempPath(name);
  if (!FileExists(path))
    Morphel("sample --product " + product + " -o " + ShellWord(path) + " --seconds " +
            std::to_string(seconds) + " --seed " + std::to_string(seed));
  return path;
}

inline size_t Lines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

}  // namespace morphel::test
