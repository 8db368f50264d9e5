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

// Where a unit keeps its channel, level and bit error rate.
struct UnitHeader {
  size_t channel, level, ber;
};

// What every unit begins with: no lines yet, the channel, level and bit
// error rate. The cursor reads the rest of the unit.
ByteCursor StartUnit(std::span<const uint8_t> unit, PagingState& state, bool flex,
                     const UnitHeader& at) {
  state.lineCount = 0;
  state.flexLines = flex;
  state.present = true;
  ByteCursor c(unit);
  state.channel = c.le16(at.channel);
  state.level = c.u8(at.level);
  state.ber = c.u8(at.ber);
  return c;
}
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
  ByteCursor c =
      StartUnit(unit, state, false, {kPocsagChannelOffset, kPocsagLevelOffset, kPocsagBerOffset});
  state.baud = c.le16(kPocsagBaudOffset);
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
  ByteCursor c =
      StartUnit(unit, state, true, {kFlexChannelOffset, kFlexLevelOffset, kFlexBerOffset});
  state.flexSpeed = c.u8(kFlexSpeedOffset);
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
