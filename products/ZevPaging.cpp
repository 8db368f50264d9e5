#include "products/ZevPaging.h"

#include <algorithm>

#include "core/Bytes.h"
#include "decode/Flex.h"

namespace morphel::zev {

namespace {
// A formatter that fails to reach its end must not hold up the log: a POCSAG
// batch has 16 codewords and a FLEX phase 88 words, so these are ample.
constexpr int kMaxPocsagCalls = 64;
constexpr int kMaxFlexCallsPerPhase = 200;
}  // namespace

void PagingState::Clear() {
  present = false;
  channel = 0;
  level = 0;
  ber = baud = flexSpeed = 0;
  for (auto& line : lines) line.clear();
  lineCount = 0;
  flexLines = false;
  continuation.clear();
  carry = TPOCSAG::Carry{};
  flexPhases = 1;
}

void PagingState::Store(const std::string& line) {
  if (line.empty() || lineCount >= kMaxLines) return;
  lines[static_cast<size_t>(lineCount++)] = line;
}

void DecodePocsag(std::span<const uint8_t> unit, PagingState& state, bool messages) {
  state.lineCount = 0;
  state.flexLines = false;
  ByteCursor c(unit);
  state.present = true;
  state.channel = c.le16(kPocsagChannelOffset);
  state.level = c.u8(kPocsagLevelOffset);
  state.baud = c.le16(kPocsagBaudOffset);
  state.ber = c.u8(kPocsagBerOffset);
  // A unit without a usable batch breaks any message that was running on.
  if (!messages || unit.size() < kPocsagUnitSize || c.u8(kPocsagCountOffset) <= kPocsagMinCount) {
    state.continuation.clear();
    state.carry = TPOCSAG::Carry{};
    return;
  }
  TPOCSAG pocsag(unit.first(kPocsagUnitSize), state.continuation, state.carry);
  std::string line;
  bool done = false;
  for (int calls = 0; !done && calls < kMaxPocsagCalls; ++calls) {
    done = pocsag.FormatNext(line);
    state.Store(line);
  }
  if (pocsag.PositionedAtAddress()) {
    state.continuation = line;
    state.carry = pocsag.CarryOut();
  } else {
    state.continuation.clear();
    state.carry = TPOCSAG::Carry{};
  }
}

void DecodeFlex(std::span<const uint8_t> unit, PagingState& state, bool messages) {
  state.lineCount = 0;
  state.flexLines = true;
  ByteCursor c(unit);
  state.present = true;
  state.channel = c.le16(kFlexChannelOffset);
  state.level = c.u8(kFlexLevelOffset);
  state.flexSpeed = c.u8(kFlexSpeedOffset);
  state.ber = c.u8(kFlexBerOffset);
  if (!messages || unit.size() < kFlexHeaderSize) return;
  // Never hand over more data bytes than the record holds.
  size_t available = unit.size() - kFlexHeaderSize;
  int byteCount = static_cast<int>(std::min<size_t>(c.le16(kFlexLengthOffset), available));
  TFLEX flex(unit, byteCount, state.flexPhases);
  std::string line;
  for (int phase = 0; phase < flex.PhaseCount(); ++phase) {
    flex.ResetPhase(phase);
    for (int calls = 0; calls < kMaxFlexCallsPerPhase; ++calls) {
      int end = flex.FormatNext(phase, line);
      state.Store(line);
      if (end == 1) break;
    }
  }
  state.flexPhases = flex.PhaseCount();
}

}  // namespace morphel::zev
