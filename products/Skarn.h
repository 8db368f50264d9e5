#pragma once
// Reader for logs of the Skarn receiver. The Skarn has no GPS: every data
// record carries the receiver's clock time, a marker value and up to three
// channel/level pairs measured in one of three scan modes (one channel,
// three channels, scan table). The log is a chain of frames, each a
// little-endian 32-bit length followed by the record; the first record byte
// names its kind. Values inside records are big-endian.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/CachedText.h"
#include "core/FastText.h"
#include "products/Product.h"

namespace morphel {

class Skarn : public Product {
 public:
  // Record kinds (record byte 0).
  static constexpr uint8_t kDataRecord = 'D';
  static constexpr uint8_t kSetupRecord = 'U';
  static constexpr uint8_t kInfoRecord = 'I';

  // Framing.
  static constexpr size_t kLengthSize = 4;
  static constexpr uint32_t kMaxRecordLength = 4096;

  // Data record layout (type byte included).
  static constexpr size_t kDataRecordSize = 16;
  static constexpr size_t kHourOffset = 1;
  static constexpr size_t kMinuteOffset = 2;
  static constexpr size_t kSecondOffset = 3;
  static constexpr size_t kMarkerOffset = 4;
  static constexpr size_t kFlagsOffset = 6;
  static constexpr size_t kFirstEntryOffset = 7;
  static constexpr size_t kEntrySize = 3;  // channel (16-bit) and level byte
  static constexpr int kEntries = 3;

  // Setup record layout: only the frequency plan is read.
  static constexpr size_t kSetupRecordSize = 256;
  static constexpr size_t kBaseMHzOffset = 2;
  static constexpr size_t kBaseFractionOffset = 4;
  static constexpr size_t kSpacingOffset = 6;
  static constexpr size_t kBaseChannelOffset = 8;
  static constexpr size_t kSetupFieldsEnd = 10;
  static constexpr double kPlanUnitMHz = 0.0001;

  // Information record: two length-prefixed texts.
  static constexpr size_t kInfoFirstLengthOffset = 1;
  static constexpr size_t kInfoTextArea = 512;

  // Scan-mode flag bits, tested in this order.
  static constexpr uint8_t kOneChannelFlag = 0x10;
  static constexpr uint8_t kThreeChannelFlag = 0x20;
  static constexpr uint8_t kScanTableFlag = 0x40;
  static constexpr uint8_t kScanModeMask = 0x70;

  // No scan-mode bit set: no segment type.
  static constexpr int16_t kNoSegment = -1;

  // Best server: a level must be stronger than this to be chosen.
  static constexpr int kBestServerFloorDbm = -121;

  // Titles before the first data record: how far ahead to look for a data
  // record that tells the scan mode of the log.
  static constexpr int kTitleLookaheadFrames = 256;

  struct Entry {
    uint16_t channel = 0;
    uint8_t level = 0;  // magnitude: the level is minus this, in dBm
  };

  Skarn();

  // The base opening, plus a fresh reader state: nothing decoded from an
  // earlier run (an indexing pass, another log) carries into this one.
  int Open(const std::string& path) override;
  int WriteDataTitles(int next, std::string& out, char delimiter) override;
  int FormatDataValues(int next, std::string& out, char delimiter) override;
  void FormatField(int id, std::string& out) override;
  int64_t ReadBlock(Block& buffer) override;
  int ProcessBlock(Block& buffer) override;
  int64_t IndexRead(Block& buffer) override;
  void IndexProcess(Block& buffer) override;
  // Rows made in place (SkarnRows.cpp).
  bool RowsInPlace() const override { return true; }
  FieldChange FieldChangeOf(int id) const override;
  RowStamps CurrentRowStamps() const override;
  void WriteDataColumns(RowOutput& out, bool first) override;
  void BeginRows() override;
  int WriteFormatHeader(std::string& out) override;
  int WriteFormatRecord(std::string& out) override;
  // The second text of the information record.
  std::string FirmwareText() const override { return infoVersion_; }

 protected:
  void FillLayoutValues(formats::LayoutValues& values) const override;
  void AppendRowReadings(std::vector<Reading>& readings) override;

 public:
  // Segment type of a flags byte, or kNoSegment when no scan-mode bit is set.
  static int16_t SegmentTypeForFlags(uint8_t flags);
  // Entries a data row holds for a segment type: 3 for scan data and three
  // channels, 1 for one channel, 0 for anything else.
  static int EntriesForType(int16_t type);
  // Frequency in MHz of a channel under the current plan.
  double FrequencyOf(uint16_t channel) const;

  // Decoded state of the last records (read by tests and the formats).
  int Hour() const { return hour_; }
  int Minute() const { return minute_; }
  int Second() const { return second_; }
  uint8_t Flags() const { return flags_; }
  int Marker() const { return marker_; }
  const std::array<Entry, kEntries>& Entries() const { return entries_; }
  int BestEntry() const { return bestEntry_; }
  double BaseFrequencyMHz() const { return baseMHz_; }
  int Spacing() const { return spacing_; }
  int BaseChannel() const { return baseChannel_; }
  const std::string& InfoName() const { return infoName_; }
  const std::string& InfoVersion() const { return infoVersion_; }

 private:
  // The next frame's record where it lies in the input (valid until the
  // next read); the bytes taken from the log, 0 at its end.
  int64_t NextFrame(const uint8_t*& record, size_t& length);
  int ProcessDataRecord(const Block& block);
  void ProcessSetupRecord(const Block& block);
  void ProcessInfoRecord(const Block& block);
  void SelectBestServer();
  // Segment type whose entry count the title row uses.
  int16_t TitleSegmentType();
  int16_t PeekFirstDataType();
  // Entries of the current record written by the native formats.
  int FormatEntryCount() const;
  void AppendEntryValues(std::string& out, const Entry& entry, char delimiter, bool& first) const;
  // What an entry's kept text is made from: its frequency (the double's
  // bits) and its channel.
  struct EntryKey {
    uint64_t frequency = 0;
    uint32_t channel = 0;
    bool operator==(const EntryKey&) const = default;
    uint64_t Hash() const { return frequency ^ (uint64_t{channel} << 7); }
  };
  const fast::ShortText& EntryText(uint16_t channel, char delimiter);

  int hour_ = 0, minute_ = 0, second_ = 0;  // the record's clock
  uint8_t flags_ = 0;
  int marker_ = 0;
  std::array<Entry, kEntries> entries_{};
  int bestEntry_ = 0;

  double baseMHz_ = 0.0;
  int spacing_ = 0;
  int baseChannel_ = 0;

  const uint8_t* indexRecord_ = nullptr;  // the record IndexRead took
  size_t indexLength_ = 0;
  std::string infoName_;
  std::string infoVersion_;
  // Frequencies of the channels in use, the same row after row.
  mutable CachedTexts<64> frequencyTexts_;
  // Rows made in place: the frequency and channel of each channel in use.
  fast::KeptTexts<256, EntryKey> entryTexts_;
};

}  // namespace morphel
