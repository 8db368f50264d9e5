#pragma once
// What a run tells its face (window or command line) and asks of it.

#include <string>

namespace morphel {

enum class MessageKind { Information = 0, Warning = 1, Error = 2 };

// Caption of a message box of the given kind: "Information", "Warning", "Error".
const char* MessageCaption(MessageKind kind);

class RunHooks {
 public:
  virtual ~RunHooks() = default;
  // The whole-number percentage of the input consumed; called only on change.
  virtual void progress(int /*percent*/) {}
  // A message for the user; the run waits until this returns.
  virtual void report(MessageKind /*kind*/, const std::string& /*text*/) {}
  // Asked once per block; true ends the run's loop at the next block.
  virtual bool stopRequested() { return false; }
};

}  // namespace morphel
