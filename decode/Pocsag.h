#pragma once
// POCSAG batch formatter: turns one logged 79-byte POCSAG unit into message
// lines "POCSAG <kind> <capcode> <text>".
//
// Unit layout as the Zev receiver logs it:
//   byte 0        length/count byte (the reader rejects units with 10 or less)
//   byte 3        function-code map: 2 bits per function code, code 3 in the
//                 top pair (0xC0), then code 2 (0x30), code 1 (0x0C), code 0
//                 (0x03); 0 "XX", 1 "TN" tone only, 2 "NU" numeric, 3 "AN"
//   bytes 5..6    16-bit value the reader keeps (not used here)
//   13 + 8f + 4c  codeword c (0, 1) of frame f (0..7): the 16 codewords of a
//                 batch. Bit 1 of a codeword is 0 for an address, 1 for a
//                 message codeword. The idle codeword is the 4 bytes whose
//                 little-endian value is 0x7A89C197, or the same 4 bytes in
//                 the order they are sent (7A 89 C1 97).
// A unit shorter than 79 bytes is read as far as it goes: a codeword that is
// not wholly present counts as idle.
//
// A message whose codewords run up to the end of a batch continues in the
// next batch: the caller keeps the last line as the continuation text and
// the alphanumeric carry (a character split between the batches), and hands
// both to the formatter of the next batch, which then starts with message
// codewords and prints the continuation text followed by the new text.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "decode/PagingBits.h"

namespace morphel {

class TPOCSAG {
 public:
  // An alphanumeric character split across codewords: bitsNeeded (1..7) bits
  // still to come, bits = the 7 - bitsNeeded low bits already taken.
  struct Carry {
    int bitsNeeded = 0;
    uint32_t bits = 0;
  };

  static constexpr size_t kUnitSize = 79;
  static constexpr size_t kFunctionMapOffset = 3;
  static constexpr size_t kFirstCodewordOffset = 13;
  static constexpr int kFrames = 8;
  static constexpr int kCodewordsPerFrame = 2;
  static constexpr int kCodewords = kFrames * kCodewordsPerFrame;
  static constexpr uint32_t kIdleCodeword = 0x7A89C197;  // read in either byte order
  // Length of the "POCSAG KK CCCCCCCCCC " head of every line.
  static constexpr size_t kLineHeadLength = 21;

  // A continuation text that is not empty makes the batch start with the
  // message codewords of the previous batch's last message.
  TPOCSAG(std::span<const uint8_t> unit, std::string continuation, Carry carry);

  // Fills out with the next message line (empty when the step produced no
  // printable message) and answers true once the batch is finished.
  bool FormatNext(std::string& out);

  // True when the batch ended inside an addressed message: its codewords
  // ran to the end of the batch without an idle codeword, a further address
  // or a terminating character. The caller then keeps the last line as the
  // continuation text and CarryOut() for the next batch.
  bool PositionedAtAddress() const { return finished_ && messageOpen_; }
  bool MessageContinues() const { return PositionedAtAddress(); }

  // The alphanumeric carry at the end of the batch (cleared unless the
  // message continues).
  Carry CarryOut() const { return carry_; }

 private:
  enum Step : int { kBatchEnd = -1, kAddress = 0, kMessage = 1, kIdle = 2 };
  enum Kind : uint32_t { kKindNone = 0, kKindTone = 1, kKindNumeric = 2, kKindAlpha = 3 };

  int NextStep();
  const paging::Codeword& Current() const;
  uint32_t ContinuationKind() const;
  std::string_view ContinuationText() const;
  bool StartMessage(uint32_t& kind, unsigned long& capcode);
  void DecodeNumeric();
  void DecodeAlpha();
  void AddAlpha(uint32_t ch, bool& wordEnded);

  std::array<paging::Codeword, kCodewords> words_{};
  std::array<bool, kCodewords> idle_{};
  uint8_t functionMap_ = 0;

  int frame_ = -1;
  int position_ = 1;
  bool atAddress_ = false;  // the last step stopped at an address codeword
  bool finished_ = false;
  bool messageOpen_ = false;   // the last message ran to the end of the batch
  bool messageEnded_ = false;  // a character 0 ended the current message
  Carry carry_;
  std::string continuation_;
  paging::TextLines text_;
};

}  // namespace morphel
