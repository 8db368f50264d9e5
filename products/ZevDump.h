#pragma once
// Reader for the logs the Zev receiver sends over its data link (".zev"):
// frames of a sync byte, a length word and the record. Every measurement
// record is self-contained (time, date, channel entries and levels); the
// frequency plan comes from setup records and, from firmware 103 on, the
// position from separate GPS records.

#include <cstdint>
#include <string>

#include "products/ZevCommon.h"

namespace morphel {

class ZevDump : public ZevReader {
 public:
  static constexpr uint8_t kSync = 0xAA;
  static constexpr uint16_t kLengthLimit = 4196;  // lengths from here on are damage
  // Largest record: the longest frame's record data.
  static constexpr size_t kLargestRecord = kLengthLimit - 2;

  // Record types besides the measurement modes.
  static constexpr uint8_t kSignatureRecord = 15;  // also FLEX measurements
  static constexpr uint8_t kSetupRecord = 0x20;
  static constexpr uint8_t kGpsRecord = 0x22;
  static constexpr size_t kSetupSize = 20;  // type byte included
  static constexpr size_t kGpsSize = 72;
  static constexpr int kMaxEntries = 86;

  ZevDump();

  int Open(const std::string& path) override;
  int64_t ReadBlock(Block& buffer) override;
  int ProcessBlock(Block& buffer) override;
  void IndexProcess(Block& buffer) override;
  void FormatField(int id, std::string& out) override;
  void AppendMessages(const Block& block, int result,
                      std::vector<PagingMessage>& messages) override;
  int AccumulateLambda(int receiver) override;
  int LambdaWindow(int receiver) override;

 protected:
  double EntryFrequency(int k) const override;
  int DisplayedChannel(int k) const override;
  int ReportedChannel(int k) const override { return DisplayedChannel(k); }
  bool PerEntryRecords() const override { return true; }
  const char* MeasurementCode() const override;
  uint64_t PlanStamp() const override;

 private:
  static bool IsMeasurement(const Block& b);
  int ProcessMeasurement(const Block& b);
  void DecodeMeasurement(const Block& b, size_t header);
  void ProcessSetup(const Block& b);
  void ProcessGps(const Block& b);

  // Frequency plan and channel-number mode.
  int16_t firstChannel_ = 0;
  int16_t lastChannel_ = 0;
  uint16_t baseMHz_ = 0;
  uint16_t baseFraction_ = 0;
  uint16_t spacing_ = 0;  // units of 0.1 kHz
  uint8_t channelMode_ = 0;
  // The plan the displayed frequencies and channels are made from.
  struct Plan {
    int16_t firstChannel, lastChannel;
    uint16_t baseMHz, baseFraction, spacing;
    uint8_t channelMode;
    int firmware, mode;
    bool operator==(const Plan&) const = default;
  };
  mutable ValueStamp<Plan> planStamp_;
};

}  // namespace morphel
