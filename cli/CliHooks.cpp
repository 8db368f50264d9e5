#include "cli/CliHooks.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace morphel::cli {

namespace {
volatile std::sig_atomic_t gInterrupted = 0;
void OnInterrupt(int) { gInterrupted = 1; }
}  // namespace

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
}

CliHooks::CliHooks(const char* activity, bool quiet)
    : activity_(activity), quiet_(quiet), terminal_(::isatty(STDERR_FILENO) == 1) {}

CliHooks::~CliHooks() { EndProgressLine(); }

void CliHooks::EndProgressLine() {
  if (progressShown_) std::fputc('\n', stderr);
  progressShown_ = false;
}

void CliHooks::progress(int percent) {
  if (!terminal_ || quiet_) return;
  std::fprintf(stderr, "\r%s: %3d%%", activity_, percent);
  std::fflush(stderr);
  progressShown_ = true;
}

void CliHooks::report(MessageKind kind, const std::string& text) {
  EndProgressLine();
  if (kind == MessageKind::Error) ++errors_;
  if (kind == MessageKind::Information && quiet_) return;
  if (kind == MessageKind::Information) {
    std::fprintf(stderr, "%s\n", text.c_str());
  } else {
    std::fprintf(stderr, "%s: %s\n", MessageCaption(kind), text.c_str());
  }
}

bool CliHooks::stopRequested() { return gInterrupted != 0; }

}  // namespace morphel::cli
