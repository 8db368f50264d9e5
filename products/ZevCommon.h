#pragma once
// What the two Zev readers share: the measurement-mode table, the position
// before a fix, the per-channel state behind the << DATA >> columns, the field
// texts and the feeding of the post-processing layouts. The PC card log and the
// PC dump log carry the same measurements in different framings; each reader
// fills this state from its own records and supplies the few rules that differ
// (frequency plan, displayed channel numbers, which entries a native record
// carries).

#include <array>
#include <cstdint>
#include <string>

#include "core/Bytes.h"
#include "core/CachedText.h"
#include "core/FastText.h"
#include "products/FieldCatalog.h"
#include "products/Product.h"
#include "products/SharedFields.h"
#include "products/ZevPaging.h"

namespace morphel {

namespace zev {

// Measurement modes of the Zev receiver.
constexpr int kModeUnknown = 0;
constexpr int kModeVariableSweep = 5;
constexpr int kModeFastFade = 8;
constexpr int kModePocsag = 7;
constexpr int kModeFlex = 15;
constexpr int kMode80Channel = 20;

// A measurement mode without a segment type of its own.
constexpr int16_t kSegmentUnchanged = -1;

// Firmware 106 reports its 80-channel sweep as mode 5.
constexpr int kFirmware80ChannelSweep = 106;
// From firmware 103 on, GPS values are binary (big-endian) instead of BCD.
constexpr int kFirmwareBinaryGps = 103;

constexpr uint8_t kGpsLockedBit = 0x80;
constexpr uint8_t kToneFlags = 0x80;  // analogue cellular channels with SAT/DCC and VMAC
// The tone triple of one entry: SAT, DCC and VMAC bytes.
constexpr size_t kToneTriple = 3, kToneSat = 0, kToneVmac = 2;

// Three-letter code of a measurement mode, looked up by its low four bits.
const char* ModeCode(int mode);
// Segment type of a measurement mode (kSegmentUnchanged for modes without one).
int16_t SegmentTypeForMode(int mode);

// A position before the first fix: 0 degrees south.
constexpr MinuteCoordinate kNoFix{0, 0, 0, 'S'};
// Decimal degrees, negative for 'S' and 'W'.
double SignedDegrees(const MinuteCoordinate& c);

}  // namespace zev

class ZevReader : public Product {
 public:
  static constexpr int kMaxChannels = 255;
  static constexpr int kMaxLevels = 255;
  static constexpr int kNoLevel = -1;

  int WriteDataTitles(int next, std::string& out, char delimiter) override;
  int FormatDataValues(int next, std::string& out, char delimiter) override;
  void FormatField(int id, std::string& out) override;
  // The firmware word of the last setup (PC card) or measurement record (PC
  // dump); empty before one.
  std::string FirmwareText() const override;

  // Rows made in place (ZevRows.cpp).
  bool RowsInPlace() const override { return true; }
  FieldChange FieldChangeOf(int id) const override;
  int RecordPartOf(int id) const override;
  RowStamps CurrentRowStamps() const override;
  void BeginRows() override;
  void WriteDataColumns(RowOutput& out, bool first) override;

  // Decoded paging traffic of the last message record (read by tests).
  const zev::PagingState& Paging() const { return paging_; }

 protected:
  // Offers the fields both Zev logs have, in the window's order, then `more`.
  template <typename... More>
  void OfferFields(const More&... more) {
    using F = FieldCatalog;
    SetAvailableFields(F::kData, F::kFlexData, F::kPocsagData, F::kBer, F::kGpsStatus,
                       F::kPositionFields, F::kGpsTimeFields, F::kGpsAltitude, F::kGpsVelocity,
                       F::kMarkerValue, F::kMeasurementType, F::kOdometer, F::kRecordNumber,
                       F::kRtcFields, F::kSpeedBps, F::kXCoordinate, F::kYCoordinate, more...);
  }
  // Frequency (MHz) of list entry k.
  virtual double EntryFrequency(int k) const = 0;
  // Channel number of entry k as the user reads it.
  virtual int DisplayedChannel(int k) const = 0;
  // Channel number of entry k in the Planet report line.
  virtual int ReportedChannel(int k) const { return EntryChannel(k); }
  // RSSI magnitude of entry k in the current row; false leaves the value empty.
  virtual bool RowLevel(int k, int& level) const;
  // True when a native record carries every entry; false: only the entry of
  // the first checked receiver.
  virtual bool PerEntryRecords() const = 0;
  virtual const char* MeasurementCode() const { return zev::ModeCode(mode_); }

  bool PagingMode() const { return mode_ == zev::kModePocsag || mode_ == zev::kModeFlex; }
  bool ToneData() const { return flags_ == zev::kToneFlags; }
  // Channel number of entry k (the paging channel in the paging modes).
  int EntryChannel(int k) const;
  // The row of the current record being written (0 outside a write).
  int CurrentRow() const;
  // Level byte of entry k in the current row, or kNoLevel.
  int LevelByte(int k) const;
  // Picks the strongest entry of every row (threshold -121 dBm, the first of
  // equal levels wins, a row without a stronger entry keeps the last choice).
  void SelectBestServer();
  // Where the levels of the current row come from, for rows made in place:
  // level bytes of the row (count of them valid), or averages with a flag
  // each, or none at all (every level column empty).
  struct RowLevels {
    const uint8_t* bytes = nullptr;
    const int32_t* averages = nullptr;
    const bool* averaged = nullptr;
    int count = 0;
  };
  virtual RowLevels LevelsOfRow() const;
  // A stamp that moves whenever the frequency plan or the channel numbering
  // changes (EntryFrequency and DisplayedChannel of the same channel).
  virtual uint64_t PlanStamp() const = 0;
  // Resets everything a new run must not inherit.
  void ClearReaderState();
  // SAT and VMAC of entry i from its tone triple at `offset` of the record;
  // a triple cut short by the record's end gives neither value.
  void TakeTones(ByteCursor& record, size_t offset, size_t i) {
    const uint8_t* bytes = record.ptr(offset, zev::kToneTriple);
    ByteCursor triple(bytes, bytes ? zev::kToneTriple : 0);
    sat_[i] = triple.u8(zev::kToneSat);
    vmac_[i] = triple.u8(zev::kToneVmac);
  }
  // Decodes the paging unit of a POCSAG or FLEX message into paging_.
  void DecodePagingUnit(bool flex, std::span<const uint8_t> unit);

  void AppendRowReadings(std::vector<Reading>& readings) override;
  // The messages of the paging unit decoded last.
  void AppendPagingMessages(std::vector<PagingMessage>& messages) const;

  // Time and date of the receiver clock.
  int rtcHour_ = 0, rtcMinute_ = 0, rtcSecond_ = 0;
  int rtcDay_ = 0, rtcMonth_ = 0, rtcYear_ = 0;
  // Last GPS fix.
  int gpsHour_ = 0, gpsMinute_ = 0, gpsSecond_ = 0;
  MinuteCoordinate latitude_ = zev::kNoFix, longitude_ = zev::kNoFix;
  int32_t altitude_ = 0;   // centimetres, below sea level negative
  uint32_t velocity_ = 0;  // units of 0.022356 mph
  uint8_t gpsStatus_ = 0;
  uint8_t navStatus_ = 0;  // the dump log's GPS records only
  // Marker words: marker value and odometer, or X and Y.
  uint8_t xyFlag_ = 0;
  uint16_t marker_ = 0;
  uint16_t odometer_ = 0;
  // Measurement plan.
  int mode_ = 0;
  int firmware_ = 0;
  uint8_t flags_ = 0;
  int entryCount_ = 0;  // n
  int levelCount_ = 0;  // m
  int rowCount_ = 0;    // rows the current record yields
  std::array<uint16_t, kMaxChannels> channels_{};
  std::array<uint8_t, kMaxLevels> levels_{};
  std::array<uint8_t, kMaxLevels> sat_{};
  std::array<uint8_t, kMaxLevels> vmac_{};
  std::array<int16_t, kMaxLevels> bestPerRow_{};
  int16_t bestChannel_ = 0;
  zev::PagingState paging_;

 private:
  int NextGroupIndex(int next);
  void FillLayoutValues(formats::LayoutValues& values) const override;
  int FirstReceiverEntry() const;
  void AppendPagingField(int id, std::string& out) const;
  void AppendGpsField(int id, std::string& out) const;

  // What the field texts are made from, compared row by row in four parts
  // that change apart: the mode and paging texts, the receiver clock (every
  // second), the GPS fix and the marker words (every record).
  enum RecordPart { kModePart, kClockPart, kFixPart, kMarkerPart };
  struct ModeState {
    int mode = 0;
    int16_t segmentType = 0;
    uint64_t paging = 0;
    bool operator==(const ModeState&) const = default;
  };
  struct ClockState {
    int rtc[6] = {};
    bool operator==(const ClockState&) const = default;
  };
  struct FixState {
    int gps[3] = {};
    MinuteCoordinate latitude, longitude;
    int32_t altitude = 0;
    uint32_t velocity = 0;
    uint8_t gpsStatus = 0, navStatus = 0;
    bool operator==(const FixState&) const = default;
  };
  struct MarkerState {
    uint16_t marker = 0, odometer = 0;
    uint8_t xyFlag = 0;
    bool operator==(const MarkerState&) const = default;
  };
  // An entry's frequency and channel as the data columns show them.
  struct EntryText {
    int channel = -1;
    uint64_t plan = 0;
    fast::ShortText text;
  };
  struct RowShape;
  void MakeEntryHead(int k, uint64_t plan, char delimiter, bool separatorAfter);
  void WriteEntry(RowOutput& out, int k, const RowShape& row, bool separator);

  int groupIndex_ = 0;
  int groupRow_ = 0;
  // The position fields, six decimals of a degree.
  CoordinateFields coordinateFields_{6};
  uint64_t pagingDecoded_ = 0;  // paging units decoded: the paging texts change
  mutable ValueStamp<ModeState> modeStamp_;
  mutable ValueStamp<ClockState> clockStamp_;
  mutable ValueStamp<FixState> fixStamp_;
  mutable ValueStamp<MarkerState> markerStamp_;
  std::array<EntryText, kMaxChannels> entryTexts_;
  // Frequencies of the channel list, the same in every row.
  CachedTexts<256> frequencyTexts_;
};

}  // namespace morphel
