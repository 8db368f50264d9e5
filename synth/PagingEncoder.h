#pragma once
// Paging traffic for the synthetic Zev logs: builds the raw POCSAG batch
// units and FLEX frame units that the Zev receivers log, from known
// messages, so that decoding a sample gives back the messages put in.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morphel::synth {

enum class PagingKind { kNumeric, kAlphanumeric, kTone };

struct PagingMessage {
  uint32_t capcode = 0;
  PagingKind kind = PagingKind::kNumeric;
  // Numeric: the characters "0123456789U -][" (others are left out).
  // Alphanumeric: 7-bit characters. Tone: unused.
  std::string text;
};

// --- POCSAG -----------------------------------------------------------------
// 79-byte units: byte 0 the unit length, byte 3 the function-code map, bytes
// 5..6 the baud rate (little-endian), codeword c of frame f at 13 + 8f + 4c.
// Function codes: 0 numeric, 1 tone only, 3 alphanumeric (code 2 maps to
// "XX"). Each address codeword sits in the frame given by the low 3 bits of
// the capcode (capcodes are taken modulo 2^21); its message codewords follow
// it and run on into the next batch when the batch is full. Unused
// codewords are idle.
inline constexpr size_t kPocsagUnitBytes = 79;
inline constexpr uint8_t kPocsagFunctionMap = 0xC6;
inline constexpr uint32_t kPocsagMaxCapcode = 0x1FFFFF;

std::vector<std::vector<uint8_t>> EncodePocsagBatches(const std::vector<PagingMessage>& messages,
                                                      uint16_t baud = 1200);

// Standard POCSAG/FLEX codeword check bits: the 21 data bits (top bits of
// the 32-bit codeword) followed by their BCH(31,21) remainder and an even
// parity bit.
uint32_t PagingCodeword(uint32_t data21);

// --- FLEX -------------------------------------------------------------------
// One frame unit: 18-byte header (bytes 0..1 the data byte count, byte 4 the
// speed type), then 88 words per phase, interleaved word by word across the
// phases. Messages fill phase 0 first, then the next phases, in order.
// Per phase: word 0 block information (vector start), the address field
// from word 1, the vector field after it with one vector word per address
// word (the vector of the address word at 1 + c is word vectorStart + c; a
// long address uses two address words and two vector words, the second
// vector word carrying message word 2 of a numeric message), and the message
// words after the vectors. Numeric messages use vector type 3, alphanumeric
// type 5 and tone-only messages type 2 (no message words).
// Short addresses serve capcodes 1 .. 1933312, long addresses 2068481 and up;
// capcodes in between (and 0) cannot be sent.
inline constexpr size_t kFlexHeaderBytes = 18;
inline constexpr int kFlexWordsPerPhase = 88;
inline constexpr size_t kFlexMaxNumericDigits = 41;

// Phases of a speed type: 4 or 6 -> 2, 8 -> 4, anything else (0 too) -> 1.
int FlexPhasesForSpeed(int speedType);

// Encodes the leading messages that fit in one frame; *placed (if given)
// receives how many were placed. Placement stops at the first message that
// does not fit the frame, has a capcode that cannot be sent, or a numeric
// text of more than 41 digits.
std::vector<uint8_t> EncodeFlexFrame(const std::vector<PagingMessage>& messages, int speedType,
                                     size_t* placed = nullptr);

}  // namespace morphel::synth
