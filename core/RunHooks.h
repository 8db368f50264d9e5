#pragma once
// What a run tells its face (window or command line) and asks of it.

#include <cstdint>
#include <cstring>
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
  // The same message with what the system says about it (a path and its
  // reason). A window shows the message as it stands; a command line prints
  // the detail after it on the same line.
  virtual void reportDetail(MessageKind kind, const std::string& text,
                            const std::string& /*detail*/) {
    report(kind, text);
  }
  // Asked once per block; true ends the run's loop at the next block.
  virtual bool stopRequested() { return false; }
};

// "path: reason" for the system's error number err (the reason alone when
// the path is empty).
inline std::string SystemReason(const std::string& path, int err) {
  std::string reason = err ? std::strerror(err) : "unknown error";
  return path.empty() ? reason : path + ": " + reason;
}

// The number of bytes done from which done * 100 / total first exceeds
// `percent`: a run compares against it per block and works out the
// percentage itself only when it can have changed.
inline uint64_t BytesForNextPercent(int percent, uint64_t total) {
  if (percent < 0) return 0;
  if (percent >= 99) return total;
  const uint64_t want = static_cast<uint64_t>(percent) + 1;
  return (want * total + 99) / 100;
}

}  // namespace morphel
