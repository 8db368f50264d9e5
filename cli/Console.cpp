#include "cli/Console.h"

#include <unistd.h>

#include <cstdio>

namespace morphel::cli {

Terminal::Terminal() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void Terminal::EndStatus() {
  if (!statusShown_) return;
  // Blank the line rather than leave a half-overwritten percentage.
  std::fputs("\r\033[K", stderr);
  statusShown_ = false;
}

void Terminal::Status(const std::string& text) {
  if (!terminal_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(stderr, "\r\033[K%s", text.c_str());
  std::fflush(stderr);
  statusShown_ = true;
}

void Terminal::Print(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  EndStatus();
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void Console::Emit(const std::string& line, const std::string& gathered) {
  if (gather_) {
    gathered_.push_back(gathered);
  } else {
    terminal_.Print(line);
  }
}

void Console::Message(MessageKind kind, const std::string& text, const std::string& detail) {
  std::string line =
      kind == MessageKind::Information ? text : std::string(MessageCaption(kind)) + ": " + text;
  if (!detail.empty()) line += " (" + detail + ")";
  Emit(line, line);
}

void Console::Note(const std::string& text) {
  Emit("morphel: " + text, text);
}

void Console::Progress(const char* activity, int percent) {
  if (gather_) return;
  terminal_.Status(std::string(activity) + ": " + std::to_string(percent) + "%");
}

}  // namespace morphel::cli
