#include "core/SegmentTable.h"

#include <cstring>

namespace morphel {

SegmentTable::SegmentTable() : entries_(std::make_unique<std::array<Entry, kMaxSegments>>()) {}

void SegmentTable::Clear() {
  count_.store(0);
  for (auto& e : *entries_) {
    e.type = -1;
    e.caption[0] = '\0';
    e.state.store(kChecked);
  }
}

bool SegmentTable::Set(int index, int16_t type, const std::string& caption) {
  if (index < 0 || index >= kMaxSegments) return false;
  Entry& e = (*entries_)[static_cast<size_t>(index)];
  e.type = type;
  size_t n = std::min(caption.size(), sizeof e.caption - 1);
  std::memcpy(e.caption, caption.data(), n);
  e.caption[n] = '\0';
  e.state.store(kChecked);
  if (index + 1 > count_.load()) count_.store(index + 1);
  return true;
}

bool SegmentTable::Included(int index) const {
  return State(index) == kChecked;
}

int SegmentTable::State(int index) const {
  if (index < 0 || index >= count_.load()) return kChecked;
  return (*entries_)[static_cast<size_t>(index)].state.load();
}

void SegmentTable::SetState(int index, int state) {
  if (index < 0 || index >= count_.load()) return;
  (*entries_)[static_cast<size_t>(index)].state.store(state);
}

void SegmentTable::Toggle(int index) {
  if (index < 0 || index >= count_.load()) return;
  auto& st = (*entries_)[static_cast<size_t>(index)].state;
  st.store(st.load() == kChecked ? kUnchecked : kChecked);
}

int16_t SegmentTable::Type(int index) const {
  if (index < 0 || index >= count_.load()) return -1;
  return (*entries_)[static_cast<size_t>(index)].type;
}

std::string SegmentTable::Caption(int index) const {
  if (index < 0 || index >= count_.load()) return {};
  return (*entries_)[static_cast<size_t>(index)].caption;
}

}  // namespace morphel
