// morphel sample: a synthetic log, written by a child process so that a long
// one shows its progress on a terminal and stops cleanly on Ctrl-C.

#include <fmt/format.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "cli/CliHooks.h"
#include "cli/Commands.h"
#include "products/ProductTable.h"
#include "synth/SampleFile.h"

namespace morphel::cli {

namespace {

namespace fs = std::filesystem;

// Drives longer than this are measured first: a short drive of the same
// kind gives the bytes per second, so the size of the whole is known.
constexpr double kMeasureAbove = 600;
constexpr double kProbeSeconds = 60;
constexpr int kProgressMillis = 200;

std::string Size(double bytes) {
  const char* units[] = {"bytes", "kB", "MB", "GB", "TB"};
  size_t u = 0;
  while (bytes >= 1000 && u + 1 < std::size(units)) {
    bytes /= 1000;
    ++u;
  }
  return u == 0 ? fmt::format("{:.0f} {}", bytes, units[u])
                : fmt::format("{:.1f} {}", bytes, units[u]);
}

// The size of the whole log, from a short drive of the same kind.
std::optional<double> EstimatedSize(const SampleArgs& a) {
  if (a.options.seconds <= kMeasureAbove) return std::nullopt;
  std::string probe = (fs::temp_directory_path() / "morphel-probe-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return std::nullopt;
  ::close(fd);
  synth::SampleOptions options = a.options;
  options.seconds = kProbeSeconds;
  std::string error;
  std::optional<double> size;
  std::error_code ec;
  if (WriteSample(a.product, probe, options, error)) {
    const auto bytes = fs::file_size(probe, ec);
    if (!ec) size = static_cast<double>(bytes) * a.options.seconds / kProbeSeconds;
  }
  fs::remove(probe, ec);
  return size;
}

void ShowProgress(Terminal& terminal, const std::string& path, std::optional<double> total) {
  std::error_code ec;
  const auto written = static_cast<double>(fs::file_size(path, ec));
  if (ec) return;
  if (!total || *total <= 0) {
    terminal.Status("Writing sample: " + Size(written));
    return;
  }
  const int percent = std::min(99, static_cast<int>(written * 100 / *total));
  terminal.Status("Writing sample: " + std::to_string(percent) + "% (" + Size(written) +
                  " of about " + Size(*total) + ")");
}

// Waits for the writer; true when it wrote the whole log.
bool WaitForWriter(pid_t child, const std::string& path, std::optional<double> total,
                   Terminal& terminal) {
  int st = 0;
  for (;;) {
    const pid_t r = ::waitpid(child, &st, terminal.IsTerminal() ? WNOHANG : 0);
    if (r == child) break;
    if (r < 0 && errno != EINTR) return false;
    if (Interrupted()) {
      ::kill(child, SIGTERM);
      while (::waitpid(child, &st, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    if (terminal.IsTerminal()) {
      ShowProgress(terminal, path, total);
      ::poll(nullptr, 0, kProgressMillis);
    }
  }
  return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

}  // namespace

int RunSample(const SampleArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  if (!(a.options.seconds > 0)) {
    console.Note("--seconds must be positive");
    return kUsageError;
  }
  const auto names = SampleProducts();
  if (std::find(names.begin(), names.end(), a.product) == names.end()) {
    console.Note("no sample writer for product '" + a.product + "' (see 'morphel products')");
    return kUsageError;
  }
  std::error_code ec;
  if (!a.force && fs::is_regular_file(a.output, ec)) {
    console.Note(a.output + " exists; give --force to replace it");
    return kFailed;
  }
  const std::optional<double> total = EstimatedSize(a);
  const fs::path folder = fs::absolute(a.output, ec).parent_path();
  const auto space = fs::space(folder, ec);
  if (total && !ec && *total > static_cast<double>(space.available)) {
    console.Note(fmt::format("--seconds {} would write about {}, more than the {} free in {}",
                             a.options.seconds, Size(*total),
                             Size(static_cast<double>(space.available)), folder.string()));
    return kUsageError;
  }
  InstallInterruptHandler();
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    console.Note("cannot start the sample writer");
    return kFailed;
  }
  if (child == 0) {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::string error;
    const bool ok = WriteSample(a.product, a.output, a.options, error);
    if (!ok) std::fprintf(stderr, "morphel: %s\n", error.c_str());
    std::fflush(stderr);
    ::_exit(ok ? kOk : kFailed);
  }
  if (WaitForWriter(child, a.output, total, terminal)) return kOk;
  if (!Interrupted()) return kFailed;
  if (fs::is_regular_file(a.output, ec)) fs::remove(a.output, ec);
  console.Note("sample stopped; the unfinished " + a.output + " was removed");
  return kInterrupted;
}

}  // namespace morphel::cli
