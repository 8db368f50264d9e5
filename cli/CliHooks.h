#pragma once
// Run hooks of the command line: messages through the log's Console, a
// progress line when standard error is a terminal, and Ctrl-C or SIGTERM
// asking the run to stop at the next block.

#include <functional>
#include <string>

#include "cli/Console.h"
#include "core/RunHooks.h"

namespace morphel::cli {

class CliHooks : public RunHooks {
 public:
  CliHooks(Console& console, const char* activity, bool quiet);
  void progress(int percent) override;
  void report(MessageKind kind, const std::string& text) override;
  void reportDetail(MessageKind kind, const std::string& text, const std::string& detail) override;
  bool stopRequested() override;

  // Set in a batch: progress goes to the batch's own line instead.
  std::function<void(int percent)> onProgress;

 protected:
  Console& console_;

 private:
  const char* activity_;
  bool quiet_;
};

// Installs the handler of Ctrl-C (SIGINT) and SIGTERM: the first asks every
// run to stop at its next block.
void InstallInterruptHandler();
// Whether Ctrl-C or SIGTERM has arrived.
bool Interrupted();

}  // namespace morphel::cli
