#pragma once
// A delimited row written straight into the output buffer: separators, field
// texts and values go in where they belong and the line ends in CR LF where it
// is made. A row that holds no text at all is taken back with its separators,
// since a row of empty fields is never written. Text mode only: the buffer of
// an open OutputFile is written in place.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "core/OutputFile.h"

namespace morphel {

class RowOutput {
 public:
  // The most a writer asks room for at a time; longer texts go in pieces.
  static constexpr size_t kMaxRoom = 64 * 1024;

  RowOutput(OutputFile& file, char delimiter) : file_(file), delimiter_(delimiter) {}
  RowOutput(const RowOutput&) = delete;
  RowOutput& operator=(const RowOutput&) = delete;

  char Delimiter() const { return delimiter_; }

  void BeginRow() {
    cur_ = file_.Cursor();
    end_ = file_.BufferEnd();
    row_ = cur_;
    content_ = false;
  }
  // Room for n (at most kMaxRoom) more bytes at the cursor, which it answers.
  char* Room(size_t n) {
    if (static_cast<size_t>(end_ - cur_) < n) MakeRoom(n);
    return cur_;
  }
  // A value's bytes were written up to p; the row has text when p moved.
  void Wrote(char* p) {
    content_ |= p != cur_;
    cur_ = p;
  }
  // Separators were written up to p: they alone are no text.
  void WroteSeparators(char* p) { cur_ = p; }
  void Separator() {
    Room(1);
    *cur_++ = delimiter_;
  }
  // Bytes ready to store as they are (separators and texts whose line
  // feeds are already CR LF); `text` tells whether they hold any text.
  void Bytes(std::string_view bytes, bool text) {
    content_ |= text;
    while (!bytes.empty()) {
      const size_t take = std::min(bytes.size(), kMaxRoom);
      std::memcpy(Room(take), bytes.data(), take);
      cur_ += take;
      bytes.remove_prefix(take);
    }
  }
  // A text as a reader made it: each line feed is stored as CR LF.
  void Text(std::string_view text) {
    while (!text.empty()) {
      const size_t take = std::min(text.size(), kMaxRoom / 2);
      char* p = Room(2 * take);
      for (char c : text.substr(0, take)) {
        if (c == '\n') *p++ = '\r';
        *p++ = c;
      }
      Wrote(p);
      text.remove_prefix(take);
    }
  }
  // Ends the line with CR LF; a row without text is taken back. True when
  // a line was written.
  bool EndRow() {
    if (!content_) {
      file_.MoveCursor(row_);
      return false;
    }
    char* p = Room(2);
    p[0] = '\r';
    p[1] = '\n';
    cur_ = p + 2;
    file_.MoveCursor(cur_);
    return true;
  }

 private:
  // Writes out what the buffer holds before the row, and the row too once
  // it has text (it can no longer be taken back); a row without text so
  // far holds separators only, which move to the front of the buffer.
  void MakeRoom(size_t) {
    file_.MoveCursor(cur_);
    char* front = file_.FlushBefore(content_ ? cur_ : row_);
    row_ = front;
    cur_ = file_.Cursor();
    end_ = file_.BufferEnd();
  }

  OutputFile& file_;
  char delimiter_;
  char* cur_ = nullptr;
  char* end_ = nullptr;
  char* row_ = nullptr;
  bool content_ = false;
};

}  // namespace morphel
