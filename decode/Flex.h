#pragma once
// FLEX frame formatter: turns one logged FLEX frame into message lines
// "FLEX   <code> <capcode> <text>", continuation lines indented under the
// first line's text.
//
// Unit layout as the Zev receiver logs it: an 18-byte header (bytes 0..1 the
// number of data bytes, little-endian; byte 4 the speed type: 4 or 6 means
// 2 interleaved phases, 8 means 4, 0 keeps the previous frame's count, any
// other value 1), then the data bytes: 4-byte words dealt out to the phases
// in turn, word i going to word i div phases of phase i mod phases, 88 words
// per phase. Words missing from a short frame read as zero.
//
// Frame layout of one phase as this program reads it:
//   word 0                  block information word: priority-address count
//                           (reversed field 5/4), end of block information
//                           e (9/2), vector start v (11/6)
//   words 1 .. e            further block information: date or time
//   words e+1 .. v-1        address field
//   words v ..              vector field, one vector word per address word
//   after that              message words, found through the vectors
// The address counter c counts address words from the start of the address
// field: the address at word e+1+c has its vector word at word v+c. A long
// address takes the two address words e+1+c and e+2+c, and so owns the two
// vector words v+c and v+c+1; for a numeric message the second one (v+c+1)
// stands in for message word 2. The address field ends at the vector start
// (or at the end of the phase): the words past it are vectors and messages,
// never addresses.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "decode/PagingBits.h"

namespace morphel {

class TFLEX {
 public:
  static constexpr size_t kHeaderSize = 18;
  static constexpr size_t kSpeedTypeOffset = 4;
  static constexpr int kWordsPerPhase = 88;
  static constexpr int kMaxPhases = 4;
  static constexpr size_t kWordBytes = 4;
  // Length of the "FLEX   KK CCCCCCCCCC " head of the first line.
  static constexpr size_t kLineHeadLength = 21;

  struct Date {
    bool present = false;
    int year = 0, month = 0, day = 0;  // raw fields of the date word
  };
  struct Time {
    bool present = false;
    int hours = 0, minutes = 0, seconds = 0;  // raw fields of the time word
  };

  // unit = header + data bytes; byteCount = the number of data bytes the
  // caller trusts (never more than the unit holds is read); phaseCount = the
  // count of the previous frame, used when the speed type is 0.
  TFLEX(std::span<const uint8_t> unit, int byteCount, int phaseCount);

  // The phase count this frame used (serves the next frame).
  int PhaseCount() const { return phaseCount_; }
  // Restarts the address counter of a phase.
  void ResetPhase(int phase);
  // Fills out with the message of the next address of the phase (empty when
  // that address has no printable message) and answers 0, or answers 1 with
  // empty output when the phase has no further address words.
  int FormatNext(int phase, std::string& out);

  // The date and time words last seen in the frame's block information.
  const Date& FrameDate() const { return date_; }
  const Time& FrameTime() const { return time_; }
  // The block information fields of a phase (0 for a phase not in use).
  int PriorityAddressCount(int phase) const;
  int EndOfBlockInfo(int phase) const;
  int VectorStart(int phase) const;

 private:
  struct Phase {
    std::array<paging::Codeword, kWordsPerPhase> words{};
    int priorityCount = 0;
    int endOfBlockInfo = 0;
    int vectorStart = 0;
    int counter = 0;
  };

  void ReadBlockInfo(const Phase& p);
  void FormatVector(const Phase& p, int vectorPos, bool isLong, unsigned long capcode,
                    std::string& out) const;
  const Phase* PhaseAt(int phase) const;

  std::array<Phase, kMaxPhases> phases_{};
  int phaseCount_ = 1;
  Date date_;
  Time time_;
};

}  // namespace morphel
