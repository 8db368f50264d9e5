#pragma once
// Run hooks of the command line: messages on stderr, a progress line when
// stderr is a terminal, and Ctrl-C asking the run to stop at the next block.

#include <string>

#include "app/RunHooks.h"

namespace morphel::cli {

class CliHooks : public RunHooks {
 public:
  CliHooks(const char* activity, bool quiet);
  ~CliHooks() override;
  void progress(int percent) override;
  void report(MessageKind kind, const std::string& text) override;
  bool stopRequested() override;
  bool errorReported() const { return errors_ > 0; }

 private:
  void EndProgressLine();
  const char* activity_;
  bool quiet_;
  bool terminal_;
  bool progressShown_ = false;
  int errors_ = 0;
};

// Installs the Ctrl-C handler (once).
void InstallInterruptHandler();

}  // namespace morphel::cli
