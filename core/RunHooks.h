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

// The gauge of a run: the whole percentage of its input done, told to the
// face only when it grows. The percentage is worked out only when a block can
// have moved it (BytesForNextPercent), not on every block.
class ProgressGauge {
 public:
  // What a log of unknown size (a pipe: size 0) shows once blocks come: the
  // indexing and gathering runs show it full, a conversion shows nothing.
  enum class UnknownSize { ShowsFull, ShowsNothing };

  ProgressGauge(RunHooks& hooks, UnknownSize unknown) : hooks_(hooks), unknown_(unknown) {}

  // Starts a pass over `total` bytes at 0 percent, and says so.
  void Start(uint64_t total) {
    total_ = total;
    last_ = 0;
    next_ = 0;
    hooks_.progress(0);
  }
  // `done` bytes of the pass are done.
  void Show(uint64_t done) {
    if (done < next_) return;
    int percent = 100;
    if (total_ == 0) {
      if (unknown_ == UnknownSize::ShowsNothing) return;
    } else if (done < total_) {
      percent = static_cast<int>(done * 100 / total_);
    }
    next_ = BytesForNextPercent(percent, total_);
    if (percent > last_) {
      last_ = percent;
      hooks_.progress(percent);
    }
  }
  // The last percentage told.
  int Percent() const { return last_; }

 private:
  RunHooks& hooks_;
  UnknownSize unknown_;
  uint64_t total_ = 0;
  uint64_t next_ = 0;
  int last_ = 0;
};

}  // namespace morphel
