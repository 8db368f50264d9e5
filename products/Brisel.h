#pragma once
// Reader for logs of the two-receiver Brisel scanner. One object reads both
// kinds of Brisel log: the file copied from the instrument (input item 8,
// 6-byte header) and the file read from its memory card (item 9, 10-byte
// header). After the header the log is a chain of length-prefixed records:
// time (GPS block or real-time clock), band setups, segment headers, sample
// runs, list readings, table readings and the position and motion records of
// an attached trip computer.

#include <array>
#include <cstdint>
#include <string>

#include "core/CachedText.h"
#include "core/FastText.h"
#include "decode/Gps.h"
#include "products/Product.h"

namespace morphel {

class Brisel : public Product {
 public:
  // Record types (payload byte 0).
  static constexpr uint8_t kGpsRecord = 0x00;
  static constexpr uint8_t kBandSetupRecord = 0x01;
  static constexpr uint8_t kSamplesReceiver1 = 0x02;
  static constexpr uint8_t kSamplesReceiver2 = 0x03;
  static constexpr uint8_t kClockRecord = 0x04;
  static constexpr uint8_t kSingleFrequencyHeader = 0x05;
  static constexpr uint8_t kListHeader = 0x06;
  static constexpr uint8_t kListReadings = 0x07;
  static constexpr uint8_t kIgnoredRecord = 0x08;
  static constexpr uint8_t kTableReadings = 0x09;
  static constexpr uint8_t kTpPosition = 0xC0;
  static constexpr uint8_t kTpMotion = 0xC1;

  // Record sizes, type byte included.
  static constexpr size_t kGpsBlockSize = 152;
  static constexpr size_t kGpsRecordSize = 1 + kGpsBlockSize;
  static constexpr size_t kBandSetupSize = 12;
  static constexpr size_t kBandSetupRecordSize = 2 + 2 * kBandSetupSize;
  static constexpr size_t kClockRecordSize = 8;
  static constexpr size_t kSingleFrequencyHeaderSize = 9;
  static constexpr size_t kListEntries = 10;
  static constexpr size_t kListHeaderSize = 1 + 2 * 4 * kListEntries;
  static constexpr size_t kListTriples = 5;
  static constexpr size_t kTableQuadruples = 4;
  static constexpr size_t kTpPositionSize = 21;
  static constexpr size_t kTpMotionSize = 7;

  // Input list item of the memory-card log (the copied log is item 8).
  static constexpr int kCardItem = 9;

  // File framing.
  static constexpr size_t kHeaderSize = 6;       // item 8
  static constexpr size_t kCardHeaderSize = 10;  // item 9 (memory card)
  static constexpr uint64_t kSectorSize = 512;
  static constexpr size_t kMaxBlockLength = 4096;
  static constexpr int64_t kBadLengthConsumed = 4;

  static constexpr int kReceivers = 2;
  static constexpr size_t kSlots = 32;
  static constexpr size_t kSingleFrequencySlots = 16;

  // Measurement kind of the last measurement record.
  enum class Kind { None = 0, Samples = 1, List = 2, Table = 3 };

  // Best-server starting values: no reading yet.
  static constexpr int kNoBestRssi = -120;
  static constexpr int32_t kNoBestChannel = 1000000;

  // One receiver's band: frequency counts n stand for n x step kHz, with the
  // step in 1/256 kHz.
  struct BandSetup {
    uint32_t first = 0;  // first count of the band, also the channel base
    uint32_t last = 0;
    uint16_t step = 0;
    uint8_t flags = 0;  // bit 0: cellular channel numbering
    bool Cellular() const { return (flags & 0x01) != 0; }
    double StepKHz() const { return step / 256.0; }
    double MHz(int64_t count) const { return static_cast<double>(count) * StepKHz() * 0.001; }
    bool operator==(const BandSetup&) const = default;
  };

  // Channel number printed for a frequency count; 0 when the count lies so
  // far below the band that no channel exists.
  static int ChannelFromCount(uint32_t count, const BandSetup& band);
  // Frequency count of a table channel (the reverse of ChannelFromCount).
  static int64_t CountFromChannel(int32_t channel, const BandSetup& band);

  Brisel();
  ~Brisel() override;

  int Open(const std::string& path) override;
  void Close() override;
  int WriteDataTitles(int next, std::string& out, char delimiter) override;
  int FormatDataValues(int next, std::string& out, char delimiter) override;
  void FormatField(int id, std::string& out) override;
  int64_t ReadBlock(Block& buffer) override;
  int ProcessBlock(Block& buffer) override;
  int64_t IndexRead(Block& buffer) override;
  void IndexProcess(Block& buffer) override;
  bool ReceiverHasData(int receiver) override;
  // Rows made in place (BriselRows.cpp).
  bool RowsInPlace() const override { return true; }
  FieldChange FieldChangeOf(int id) const override;
  RowStamps CurrentRowStamps() const override;
  void BeginRows() override;
  void WriteDataColumns(RowOutput& out, bool first) override;

  // Where the log's data ends (from the header, or the file size).
  uint64_t DataEnd() const { return dataEnd_; }
  Kind MeasurementKind() const { return kind_; }

 private:
  enum class TimeSource { None, Gps, Clock };

  struct ReceiverState {
    std::array<uint32_t, kSlots> counts{};
    // Table channels; 0 marks a slot that got no reading in the current
    // table record (real channel numbers start at 1).
    std::array<int32_t, kSlots> channels{};
    std::array<int8_t, kSlots> rssi{};
    // The slot holds a list reading of the current segment.
    std::array<bool, kSlots> listed{};
    BandSetup band;
    bool present = false;
    bool newSamples = false;
    bool readInRecord = false;  // this table record carried readings for it
    // Best-server tracking over table sweeps.
    int bestRssi = kNoBestRssi;
    int32_t bestChannel = kNoBestChannel;
    bool sweepCompleted = false;
    int pendingRssi = kNoBestRssi;
    int32_t pendingChannel = 0;
    // The best of the sweep that ended in the current record.
    bool sweepEndedInRecord = false;
    int reportRssi = kNoBestRssi;
    int32_t reportChannel = kNoBestChannel;
  };

  struct Clock {
    int second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0, marker = 0;
    bool operator==(const Clock&) const = default;
  };
  struct TpPosition {
    int second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;
    uint8_t latHemisphere = 0, lonHemisphere = 0;
    int latDegrees = 0, lonDegrees = 0;
    int32_t latFraction = 0, lonFraction = 0;
    bool operator==(const TpPosition&) const = default;
  };
  struct TpMotion {
    int16_t speed = 0;
    uint16_t direction = 0;
    bool operator==(const TpMotion&) const = default;
  };
  // What the field texts are made from, compared row by row (a coordinate
  // follows from its value, a height from its bits).
  struct FieldState {
    int32_t latitude = 0, longitude = 0;
    uint8_t status = 0;
    int time[6] = {};
    uint64_t height = 0;
    uint16_t speed = 0;
    Clock clock;
    TpPosition tpPosition;
    TpMotion tpMotion;
    bool operator==(const FieldState&) const = default;
  };
  // What an entry's kept text of frequency and channel is made from.
  struct EntryKey {
    uint64_t mhz = 0;  // the double's bits
    long long channel = 0;
    bool operator==(const EntryKey&) const = default;
    uint64_t Hash() const { return mhz ^ static_cast<uint64_t>(channel) << 11; }
  };

  // One entry of a data line: its frequency, channel and level.
  struct Entry {
    double mhz = 0;
    long long channel = 0;
    int rssi = 0;
  };

  // The next block's record where it lies in the input (valid until the
  // next read), as ReadBlock takes it (BriselIndex.cpp).
  int64_t NextFrame(const uint8_t*& record, size_t& length);
  void ResetState();
  bool Ready(Kind kind) const;
  bool BestServerMode() const { return AverageMode == kAverageBestServer; }
  bool BeginSegmentIfNew(int16_t mode);

  int OnGps(const Block& block);
  int OnBandSetups(const Block& block);
  int OnSamples(const Block& block, int receiver);
  int OnClock(const Block& block);
  int OnSegmentHeader(const Block& block);
  int OnListReadings(const Block& block);
  int OnTableReadings(const Block& block);
  void TrackBestServer(ReceiverState& rx, int32_t channel, int rssi);
  int OnTpPosition(const Block& block);
  int OnTpMotion(const Block& block);

  // One entry's values; without an entry (nullptr) its columns stay empty.
  void AppendEntry(std::string& out, bool& first, char delimiter, const Entry* e) const;
  Entry SampleOrListEntry(const ReceiverState& rx, size_t slot) const;
  static size_t BestListed(const ReceiverState& rx);
  Entry TableEntry(const ReceiverState& rx, int32_t channel, int rssi) const;
  bool FormatGpsField(int id, std::string& out) const;
  bool FormatClockField(int id, std::string& out) const;
  bool FormatTpField(int id, std::string& out) const;
  // The entry the post-processing layouts report (first checked receiver,
  // slot 0; zero unless the scan type is "Fast Data").
  void FillLayoutValues(formats::LayoutValues& values) const override;
  void AppendRowReadings(std::vector<Reading>& readings) override;
  Entry MeasuredEntry() const;

  TGPS gps_;
  std::array<ReceiverState, kReceivers> rx_{};
  int current_ = 0;  // receiver of the line being written, 0 or 1
  Kind kind_ = Kind::None;
  size_t samples_ = 0;

  bool timeSeen_ = false;
  bool bandsSeen_ = false;
  bool singleFrequencySeen_ = false;
  bool listSeen_ = false;
  bool newTableSegment_ = false;
  TimeSource timeSource_ = TimeSource::None;
  Clock clock_;
  TpPosition tpPosition_;
  TpMotion tpMotion_;

  uint64_t dataEnd_ = 0;
  uint64_t position_ = 0;
  const uint8_t* indexRecord_ = nullptr;  // the record IndexRead took
  size_t indexLength_ = 0;
  // Latitude and longitude in decimal degrees and decimal minutes of the
  // last fix, kept from row to row.
  mutable std::array<CachedText<uint64_t>, 4> positionText_;
  // Frequencies of the channels in use, the same row after row.
  mutable CachedTexts<256> frequencyTexts_;

  // Rows made in place.
  const fast::ShortText& EntryHead(const Entry& e, char delimiter);
  void PutEntry(RowOutput& out, const Entry* e, char delimiter, bool firstEntry);
  mutable ValueStamp<FieldState> fieldStamp_;
  mutable std::array<ValueStamp<BandSetup>, kReceivers> bandStamps_;
  fast::KeptTexts<256, EntryKey> entryTexts_;
};

}  // namespace morphel
