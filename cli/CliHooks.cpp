#include "cli/CliHooks.h"

#include <atomic>
#include <csignal>

namespace morphel::cli {

namespace {
// Set by the signal handler, read by every job of a batch.
std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free,
              "a signal handler sets only lock-free atomics");
void OnInterrupt(int) {
  gInterrupted = true;
}
}  // namespace

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

bool Interrupted() {
  return gInterrupted;
}

CliHooks::CliHooks(Console& console, const char* activity, bool quiet)
    : console_(console), activity_(activity), quiet_(quiet) {}

void CliHooks::progress(int percent) {
  if (quiet_) return;
  if (onProgress) {
    onProgress(percent);
  } else {
    console_.Progress(activity_, percent);
  }
}

void CliHooks::report(MessageKind kind, const std::string& text) {
  reportDetail(kind, text, {});
}

void CliHooks::reportDetail(MessageKind kind, const std::string& text, const std::string& detail) {
  if (kind == MessageKind::Information && quiet_) return;
  console_.Message(kind, text, detail);
}

bool CliHooks::stopRequested() {
  return Interrupted();
}

}  // namespace morphel::cli
