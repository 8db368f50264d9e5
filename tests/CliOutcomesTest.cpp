// How a run of the morphel command ends, as a user and a script see it: the
// exit status, the one line that says why, and what is left on disk.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "tests/CliSupport.h"

namespace morphel {
namespace {

namespace fs = std::filesystem;
using namespace test;

std::string TolvanLog() {
  return SampleLog("tolvan", "outcomes.tlf", 8);
}

TEST(CliOutcome, UnreadableInputsAndOutputsNameThePathAndTheReason) {
  const std::string log = TolvanLog();
  const std::string missing = TempPath("nosuch.tlf");
  const std::string folder = test::TempDir();
  struct Case {
    std::string args, line;
  } cases[] = {
      // Without --product the log is detected first: a missing log is not
      // "not from a QVR CW product".
      {"convert " + missing + " --fields 18,0",
       "Error: Input File Does Not Exist! (" + missing + ": No such file or directory)"},
      {"convert " + missing + " --product tolvan --fields 18,0",
       "Error: Input File Does Not Exist! (" + missing + ": No such file or directory)"},
      {"convert " + folder + " --fields 18",
       "Error: Input File Does Not Exist! (" + folder + ": Is a directory)"},
      // A log that opens but fails when read (the kernel answers a read at
      // address 0 of a process's memory with an I/O error).
      {"convert /proc/self/mem --fields 18",
       "Error: Input File Cannot Be Read! (/proc/self/mem: Input/output error)"},
      {"convert /proc/self/mem --product tolvan --fields 18 -o " + TempPath("mem.out"),
       "Error: Input File Cannot Be Read! (/proc/self/mem: Input/output error)"},
      {"convert " + log + " --fields 18 -o /dev/full",
       "Error: Output File Cannot Be Accessed! (/dev/full: No space left on device)"},
      {"convert " + log + " --fields 18 -o " + TempPath("no/such/folder.out"),
       "Error: Output File Cannot Be Accessed! (" + TempPath("no/such/folder.out") +
           ": No such file or directory)"},
  };
  for (const auto& c : cases) {
    CliRun r = Morphel(c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.line + "\n") << c.args;
  }
  if (::geteuid() != 0) {  // the superuser reads and writes whatever the mode
    const std::string locked = TempPath("locked.tlf");
    fs::copy_file(log, locked);
    ::chmod(locked.c_str(), 0);
    CliRun r = Morphel("convert " + locked + " --fields 18");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Input File Does Not Exist! (" + locked + ": Permission denied)\n");
  }
}

// A conversion into a named pipe: the test reads a little, sends the signal
// while the run waits for the reader, then reads what the run still writes.
struct Stopped {
  int status = -1;
  std::string err, output;
};

Stopped ConvertAndStop(const std::string& log, const std::string& fields, int signal) {
  static int count = 0;
  const std::string n = std::to_string(++count);
  const std::string fifo = TempPath("stop-" + n + ".fifo");
  const std::string errPath = TempPath("stop-" + n + ".stderr");
  Stopped s;
  if (::mkfifo(fifo.c_str(), 0600) != 0) return s;
  const pid_t child = ::fork();
  if (child == 0) {
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(err, STDERR_FILENO);
    ::execl(MORPHEL_BINARY, "morphel", "convert", log.c_str(), "--fields", fields.c_str(),
            "--no-header", "-o", fifo.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const int fd = ::open(fifo.c_str(), O_RDONLY);
  char buf[4096];
  ssize_t got = ::read(fd, buf, sizeof buf);
  if (got > 0) s.output.append(buf, static_cast<size_t>(got));
  ::kill(child, signal);
  while ((got = ::read(fd, buf, sizeof buf)) > 0) s.output.append(buf, static_cast<size_t>(got));
  ::close(fd);
  int st = 0;
  ::waitpid(child, &st, 0);
  s.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  s.err = ReadFile(errPath);
  return s;
}

TEST(CliOutcome, InterruptKeepsWholeLinesAndSaysWhatWasWritten) {
  // Far more output than the run's buffer and the pipe hold together, so the
  // run is still going when the signal comes.
  const std::string log = SampleLog("zev-card", "stop.bin", 1800);
  std::string fields = "0";
  for (int i = 0; i < 99; ++i) fields += ",32";
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const Stopped s = ConvertAndStop(log, fields, signal);
    EXPECT_EQ(s.status, 130) << s.err;
    ASSERT_FALSE(s.output.empty());
    EXPECT_EQ(s.output.substr(s.output.size() - 2), "\r\n") << "the output ends on a whole line";
    const std::string written = std::to_string(Lines(s.output)) + " records written to ";
    EXPECT_EQ(s.err.rfind("morphel: conversion cancelled at ", 0), 0u) << s.err;
    EXPECT_NE(s.err.find(written), std::string::npos) << s.err;
    EXPECT_EQ(Lines(s.err), 1u) << s.err;
    EXPECT_EQ(s.err.find("Completed"), std::string::npos) << s.err;
  }
}

TEST(CliOutcome, NoDataRecordExitsThreeWithTheLikelyReason) {
  const std::string log = TolvanLog();
  const CliRun index = Morphel("index " + log);
  std::string all;
  for (size_t at = index.out.find("\n  "); at != std::string::npos;
       at = index.out.find("\n  ", at + 1)) {
    const size_t end = index.out.find('\t', at);
    all += (all.empty() ? "" : ",") + index.out.substr(at + 3, end - at - 3);
  }
  ASSERT_FALSE(all.empty()) << index.out;
  const std::string out = TempPath("left-out.out");
  CliRun r = Morphel("convert " + log + " --fields 18,0 --exclude-segments " + all + " -o " + out);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Warning: no data record was written: every segment of the log is left out\n");

  // A Skarn log read as a Zev PC dump: the detected product is named, and
  // the bytes passed over are counted.
  const std::string skarn = SampleLog("skarn", "outcomes.slf", 8);
  r = Morphel("convert " + skarn + " --product zev-dump --fields 0 -o " + TempPath("skarn.out"));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_EQ(r.err.rfind("Warning: no data record was written: the log looks like a QVR Skarn log, "
                        "not QVR Zev (PC DUMP); ",
                        0),
            0u)
      << r.err;
  EXPECT_NE(r.err.find(" bytes skipped between records)"), std::string::npos) << r.err;
}

TEST(CliOutcome, LayoutTheProductLacksIsRefusedBeforeAnythingIsOpened) {
  const std::string out = TempPath("tolvan-infielder.out");
  CliRun r = Morphel("convert " + TolvanLog() + " --format infielder -o " + out);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "Error: QVR Tolvan has no Wireless Valley InFielder layout; it is written for "
            "QVR Zev (PC CARD), QVR Zev (PC DUMP).\n");
  EXPECT_FALSE(test::FileExists(out));
}

TEST(CliOutcome, SampleNeverReplacesAFileUnasked) {
  const std::string log = TempPath("precious.tlf");
  test::WriteFile(log, std::string("a log from the field"));
  CliRun r = Morphel("sample --product velmar --seconds 2 -o " + log);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "morphel: " + log + " exists; give --force to replace it\n");
  EXPECT_EQ(ReadFile(log), "a log from the field");
  r = Morphel("sample --product velmar --seconds 2 -o " + log + " --force");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Morphel("detect " + log).out, log + "\t2\tQVR Velmar\n");

  // A drive that would fill any disk is refused before a byte is written
  // (the file size limit keeps a wrong build from trying).
  const std::string huge = TempPath("huge.tlf");
  r = test::Shell("ulimit -f 40000; \"$M\" sample --product tolvan --seconds 1e12 -o " + huge);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("morphel: --seconds 1000000000000 would write about ", 0), 0u) << r.err;
  EXPECT_FALSE(test::FileExists(huge));
}

TEST(CliOutcome, DefaultOutputNameReplacesTheExtension) {
  const std::string log = TolvanLog();
  const std::string folder = TempPath("names");
  fs::create_directories(folder + "/v1.2");
  struct Case {
    const char *log, *output;
  } cases[] = {
      {"drive1.tlf", "drive1.out"},  {"DRIVE1", "DRIVE1.out"},           {"run.7.tlf", "run.7.out"},
      {".hidden.tlf", "hidden.out"}, {"v1.2/DRIVE2", "v1.2/DRIVE2.out"},
  };
  for (const auto& c : cases) {
    fs::copy_file(log, folder + "/" + c.log);
    CliRun r = Morphel(std::string("convert -q ") + c.log + " --fields 18", folder);
    EXPECT_EQ(r.status, 0) << c.log << ": " << r.err;
    EXPECT_TRUE(test::FileExists(folder + "/" + c.output)) << c.log;
  }
  EXPECT_FALSE(test::FileExists(folder + "/DR.out"));
}

TEST(CliOutcome, ConfigurationSavedWithoutALogWorksFromAnyFolder) {
  const std::string log = TolvanLog();
  const std::string folder = TempPath("cfg-here");
  const std::string elsewhere = TempPath("cfg-elsewhere");
  fs::create_directories(folder);
  fs::create_directories(elsewhere);
  fs::copy_file(log, folder + "/drive.tlf");

  // A set-up without a log, then applied to one.
  CliRun r =
      Morphel("config save plain.cfg --product tolvan --fields 18,0 --delimiter tab", folder);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  r = Morphel("convert -q --config " + folder + "/plain.cfg " + folder + "/drive.tlf", elsewhere);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(folder + "/drive.out").find("\"GPS Time (HH:MM:SS)\"\t"), 0u);

  // Names given relative to one folder are saved whole.
  r = Morphel("config save rel.cfg drive.tlf -o drive.csv --fields 18", folder);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string saved = ReadFile(folder + "/rel.cfg");
  EXPECT_NE(saved.find("Filename=" + folder + "/drive.tlf\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Filename=" + folder + "/drive.csv\r\n"), std::string::npos) << saved;
  r = Morphel("convert -q --config " + folder + "/rel.cfg", elsewhere);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(test::FileExists(folder + "/drive.csv"));
  EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST(CliOutcome, HelpStatesTheExitStatuses) {
  for (const char* args : {"--help", "convert --help"}) {
    CliRun r = Morphel(args);
    EXPECT_EQ(r.status, 0);
    for (const char* status : {"0 converted", "1 a run error", "2 a bad command line",
                               "3 converted but no data record", "130 interrupted"})
      EXPECT_NE(r.out.find(status), std::string::npos) << args << ": " << status;
  }
}

// --- What a reader skipped --------------------------------------------------

// A Zev PC dump log without the line noise the sample writer puts between
// frames: frames are a sync byte, a 16-bit length and that many bytes less
// one; noise never holds the sync byte.
std::string WithoutLineNoise(const std::string& log) {
  constexpr unsigned char kSync = 0xAA;
  std::string clean;
  for (size_t at = 0; at + 3 <= log.size();) {
    if (static_cast<unsigned char>(log[at]) != kSync) {
      ++at;
      continue;
    }
    const size_t length = static_cast<unsigned char>(log[at + 1]) |
                          static_cast<size_t>(static_cast<unsigned char>(log[at + 2])) << 8;
    const size_t frame = 2 + length;
    clean += log.substr(at, frame);
    at += frame;
  }
  return clean;
}

TEST(CliDamage, BytesBetweenRecordsAreNotCalledDamage) {
  const std::string log = SampleLog("zev-dump", "noise.zev", 60);
  CliRun r = Morphel("convert -q " + log + " --fields 0 -o " + log + ".out");
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_EQ(r.err.find("damaged"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.rfind("morphel: ", 0), 0u);
  EXPECT_NE(r.err.find(" bytes skipped while resynchronising between records\n"), std::string::npos)
      << r.err;
}

struct SampleProduct {
  const char *name, *file;
};

class CleanLog : public ::testing::TestWithParam<SampleProduct> {};

TEST_P(CleanLog, ReportsNothingSkipped) {
  const SampleProduct& p = GetParam();
  std::string log = SampleLog(p.name, std::string("clean-") + p.file, 60);
  if (std::string(p.name) == "zev-dump") {
    const std::string clean = log + ".clean";
    test::WriteFile(clean, WithoutLineNoise(ReadFile(log)));
    log = clean;
  }
  const std::string args = log + " --product " + p.name;
  CliRun r = Morphel("convert " + args + " --fields 0 -o " + log + ".out");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Conversion Has Been Completed!\n");
  r = Morphel("index " + args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CleanLog,
    ::testing::Values(SampleProduct{"tolvan", "a.tlf"}, SampleProduct{"velmar", "a.vlf"},
                      SampleProduct{"zev-card", "a.bin"}, SampleProduct{"zev-dump", "a.zev"},
                      SampleProduct{"skarn", "a.slf"}, SampleProduct{"tolvan-new", "b.tlf"},
                      SampleProduct{"brisel", "a.blf"}, SampleProduct{"brisel-card", "b.blf"}),
    [](const ::testing::TestParamInfo<SampleProduct>& p) {
      std::string name = p.param.name;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

}  // namespace
}  // namespace morphel
