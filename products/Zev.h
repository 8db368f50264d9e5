#pragma once
// Reader for the logs the Zev receiver writes to its PC card (".bin"): a
// 512-byte file header, then self-delimiting records that each start with a
// type byte. Setups carry the frequency plan and channel list; level records
// carry one or more scans of that list.

#include <array>
#include <cstdint>
#include <string>

#include "products/ZevCommon.h"

namespace morphel {

class Zev : public ZevReader {
 public:
  static constexpr size_t kFileHeaderSize = 512;

  // Record type bytes.
  static constexpr uint8_t kPocsagRecord = 0x97;
  static constexpr uint8_t kSetupRecord = 0xA1;
  static constexpr uint8_t kMarkerRecord = 0xB2;
  static constexpr uint8_t kLevelRecord = 0xC3;
  static constexpr uint8_t kGpsRecord = 0xD4;
  static constexpr uint8_t kTimeRecord = 0xE5;
  static constexpr uint8_t kFlexRecord = 0xF6;

  // Body sizes (after the type byte).
  static constexpr size_t kTrailerSize = 2;  // closes every record
  static constexpr size_t kPocsagBody = 81;
  static constexpr size_t kSetupBlock = 25;
  static constexpr size_t kMarkerBody = 7;
  static constexpr size_t kTimeBody = 7;
  static constexpr size_t kLevelHeader = 4;
  static constexpr size_t kPocsagLevelBlock = 79;
  static constexpr size_t kGpsBodyBcd = 20;
  static constexpr size_t kGpsBodyBinary = 23;
  static constexpr size_t kFlexHeader = 18;  // length word and 16 bytes
  // Largest record: a FLEX record with a length word of 65,535.
  static constexpr size_t kLargestRecord = 1 + kFlexHeader + 65535 + kTrailerSize;
  // Channels the per-second averaging keeps.
  static constexpr int kAveragedChannels = 86;

  Zev();

  int Open(const std::string& path) override;
  int64_t ReadBlock(Block& buffer) override;
  int ProcessBlock(Block& buffer) override;
  void IndexProcess(Block& buffer) override;
  void AppendMessages(const Block& block, int result,
                      std::vector<PagingMessage>& messages) override;

 protected:
  double EntryFrequency(int k) const override;
  int DisplayedChannel(int k) const override;
  bool RowLevel(int k, int& level) const override;
  bool PerEntryRecords() const override { return false; }
  RowLevels LevelsOfRow() const override;
  uint64_t PlanStamp() const override;

 private:
  bool ReadBody(Block& buffer, size_t size);
  size_t LevelBodySize(uint8_t count) const;
  int ProcessSetup(const Block& b);
  int ProcessLevel(const Block& b);
  int ProcessGps(const Block& b);
  void DecodeGps(const Block& b);
  void CopyRtcTime(const Block& b);
  int EmitAverages();
  int CurrentType() const;

  // Plan of the last setup, as the framing of later records needs it.
  int framingMode_ = 0;
  uint8_t framingFlags_ = 0;
  int framingFirmware_ = 0;
  // Frequency plan.
  uint16_t firstChannel_ = 0;
  uint16_t baseMHz_ = 0;
  uint16_t baseFraction_ = 0;
  uint16_t spacing_ = 0;
  // One record per N seconds.
  std::array<int32_t, kAveragedChannels> levelSums_{};
  std::array<int32_t, kAveragedChannels> averagedLevels_{};
  std::array<bool, kAveragedChannels> averaged_{};
  int32_t averageSamples_ = 0;
  int32_t averageSeconds_ = 0;
  int32_t averagedRows_ = 0;
  // The plan the displayed frequencies and channels are made from.
  struct Plan {
    uint16_t firstChannel, baseMHz, baseFraction, spacing;
    uint8_t flags;
    int firmware, mode;
    bool operator==(const Plan&) const = default;
  };
  mutable ValueStamp<Plan> planStamp_;
};

}  // namespace morphel
