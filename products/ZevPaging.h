#pragma once
// Paging traffic in Zev logs: the receiver records raw POCSAG batches and FLEX
// frames together with the channel, level, bit-error and speed values it saw
// them on. This keeps what the message formatters made of the last message
// record, and what has to survive from one record to the next (a POCSAG
// message running on into the next batch, the FLEX phase count).

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "decode/Pocsag.h"

namespace morphel::zev {

// The receiver's own bytes in front of a POCSAG batch (79-byte unit).
constexpr size_t kPocsagUnitSize = 79;
constexpr size_t kPocsagCountOffset = 0;  // 10 or less: no usable batch
constexpr uint8_t kPocsagMinCount = 10;
constexpr size_t kPocsagChannelOffset = 1;  // u16 little-endian
constexpr size_t kPocsagLevelOffset = 4;
constexpr size_t kPocsagBaudOffset = 5;  // u16 little-endian
constexpr size_t kPocsagBerOffset = 7;
static_assert(kPocsagBerOffset < kPocsagUnitSize);

// The 18-byte header of a FLEX frame unit.
constexpr size_t kFlexHeaderSize = 18;
constexpr size_t kFlexLengthOffset = 0;   // u16 little-endian: data bytes
constexpr size_t kFlexChannelOffset = 2;  // u16 little-endian
constexpr size_t kFlexSpeedTypeOffset = 4;
constexpr size_t kFlexSpeedOffset = 5;  // speed in units of 1600 bit/s
constexpr size_t kFlexLevelOffset = 6;
constexpr size_t kFlexBerOffset = 7;
static_assert(kFlexBerOffset < kFlexHeaderSize);
constexpr int kFlexBitsPerSpeedUnit = 1600;

struct PagingState {
  static constexpr int kMaxLines = 100;

  bool present = false;  // a message record has been decoded
  uint16_t channel = 0;
  uint8_t level = 0;
  int ber = 0;
  int baud = 0;
  int flexSpeed = 0;
  std::array<std::string, kMaxLines> lines;
  int lineCount = 0;
  bool flexLines = false;  // the lines come from a FLEX frame (else POCSAG)
  // Carried from one POCSAG batch to the next.
  std::string continuation;
  TPOCSAG::Carry carry{};
  // Carried from one FLEX frame to the next.
  int flexPhases = 1;

  void Clear();
  // Keeps a non-empty line while there is room; later lines are dropped.
  void Store(const std::string& line);
};

// Decodes one POCSAG batch unit (continuation and carry go in and come out).
// Without messages only the unit's header values are taken.
void DecodePocsag(std::span<const uint8_t> unit, PagingState& state, bool messages = true);
// Decodes one FLEX frame unit (header and data bytes).
void DecodeFlex(std::span<const uint8_t> unit, PagingState& state, bool messages = true);

}  // namespace morphel::zev
