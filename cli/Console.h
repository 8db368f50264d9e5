#pragma once
// Where the command's messages go. Standard error is shared by every job of
// a batch: whole lines are written under one lock, and the transient
// progress line exists only on a terminal. A log's messages go through its
// own Console: straight to standard error for a single log, or gathered and
// written as one line once the log is done (a batch, so that parallel jobs
// never interleave).

#include <mutex>
#include <string>
#include <vector>

#include "core/RunHooks.h"

namespace morphel::cli {

class Terminal {
 public:
  Terminal();
  ~Terminal() { EndStatus(); }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  bool IsTerminal() const { return terminal_; }
  // Replaces the progress line (a terminal only).
  void Status(const std::string& text);
  // One whole line; the progress line is ended first.
  void Print(const std::string& line);

 private:
  void EndStatus();
  std::mutex mutex_;
  bool terminal_;
  bool statusShown_ = false;
};

class Console {
 public:
  Console(Terminal& terminal, bool gather) : terminal_(terminal), gather_(gather) {}

  // A message of the run in the system's words, with what the system says
  // about it after it ("Error: Input File Does Not Exist! (x.tlf: No such
  // file or directory)").
  void Message(MessageKind kind, const std::string& text, const std::string& detail = {});
  // A line of the command's own ("morphel: ...").
  void Note(const std::string& text);
  // Progress of a single log (a batch shows its own).
  void Progress(const char* activity, int percent);
  Terminal& Term() { return terminal_; }

  bool Gathering() const { return gather_; }
  // What was gathered, without the "morphel: " of notes.
  const std::vector<std::string>& Gathered() const { return gathered_; }

 private:
  void Emit(const std::string& line, const std::string& gathered);
  Terminal& terminal_;
  bool gather_;
  std::vector<std::string> gathered_;
};

}  // namespace morphel::cli
