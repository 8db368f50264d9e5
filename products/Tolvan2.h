#pragma once
// Reader for logs of Tolvan receivers with firmware 1.27 and later. The log is
// a 6-byte file header and then records framed by a 16-bit length: GPS/RTC
// headers that open a fast-data block (512 rapid samples of one channel per
// receiver) or a scan block (the band setups, then small per-channel reading
// records). Each receiver keeps a list of readings that is printed as the
// << DATA >> values, one line per receiver with new data. The post-processing
// layouts are in Tolvan2Layouts.cpp.

#include <array>
#include <cstdint>
#include <string>

#include "core/CachedText.h"
#include "core/FastText.h"
#include "products/Product.h"
#include "products/Tolvan2Tables.h"

namespace morphel {

class Tolvan2 : public Product {
 public:
  static constexpr int kReceivers = 4;
  static constexpr size_t kFileHeaderSize = 6;
  static constexpr size_t kLengthSize = 2;
  static constexpr size_t kMaxBlockLength = 4096;
  static constexpr int kSamples = 512;

  // Record kinds (payload byte 0).
  static constexpr uint8_t kFastRecord = 'F';
  static constexpr uint8_t kScanHeader = 'S';
  static constexpr uint8_t kVoiceReading = 'v';
  static constexpr uint8_t kControlReading = 'c';
  static constexpr uint8_t kSweepReading = 'r';
  static constexpr uint8_t kSweepSatReading = 's';
  static constexpr uint8_t kDataNote = 'd';  // carries nothing this reader prints
  static constexpr uint8_t kCarriageReturn = '\r';

  // Sweep codes of 'r' and 's' records.
  static constexpr uint16_t kSweepStart = 1;
  static constexpr uint16_t kSweepContinue = 2;

  // A sweep cannot hold more distinct channels than a 16-bit index has values;
  // a damaged log whose sweep never restarts cannot grow a list beyond this.
  static constexpr size_t kMaxListEntries = 65536;

  Tolvan2();

  int Open(const std::string& path) override;
  int WriteDataTitles(int next, std::string& out, char delimiter) override;
  int FormatDataValues(int next, std::string& out, char delimiter) override;
  void FormatField(int id, std::string& out) override;
  int64_t ReadBlock(Block& buffer) override;
  int ProcessBlock(Block& buffer) override;
  int AccumulateLambda(int receiver) override;
  int LambdaWindow(int receiver) override;
  bool ReceiverHasData(int receiver) override;
  // Rows made in place (Tolvan2Rows.cpp).
  bool RowsInPlace() const override { return true; }
  FieldChange FieldChangeOf(int id) const override;
  RowStamps CurrentRowStamps() const override;
  void BeginRows() override;
  void WriteDataColumns(RowOutput& out, bool first) override;

  // Inspection (tests, diagnostics).
  const tolvan2::BandSetup& Band(int receiver) const { return bands_[Index(receiver)]; }
  bool HasDataFlag(int receiver) const { return hasData_[Index(receiver)]; }
  int CurrentReceiver() const { return current_; }
  // Sweep readings dropped because a list was full.
  uint64_t DroppedReadings() const { return droppedReadings_; }

  // The decoded GPS/RTC header of the last converted 'F' or 'S' record.
  // Header status bit: the position is a valid fix.
  static constexpr uint8_t kPositionValid = 0x80;
  struct Header {
    int rtcSecond = 0, rtcMinute = 0, rtcHour = 0, rtcDay = 0, rtcMonth = 0, rtcYear = 0;
    uint8_t status = 0;
    int32_t latitude = 0, longitude = 0;  // thousandths of an arc-second
    int32_t altitude = 0;                 // centimetres
    uint16_t velocity = 0;                // centimetres per second
    int16_t heading = 0;                  // tenths of a degree
    int gpsHour = 0, gpsMinute = 0, gpsSecond = 0;
    int16_t marker = 0;
    bool operator==(const Header&) const = default;
  };
  const Header& CurrentHeader() const { return fix_.header; }

 private:
  struct Angle {
    long degrees = 0, minutes = 0, seconds = 0;  // of the absolute value
    bool operator==(const Angle&) const = default;
  };
  // A header and the angles split from it: what a line of readings prints
  // for the time and place they were measured.
  struct Fix {
    Header header;
    Angle lat, lon;
    bool operator==(const Fix&) const = default;
  };
  struct PendingSweep {
    DATABLOCK reading;
    Fix fix;  // the header the sweep start was measured under
    bool pending = false;
  };
  // What the post-processing layouts report for the measured receiver.
  struct Measured {
    double frequency = 0;
    long channel = 0;
    long rssi = 0;
    bool present = false;
  };
  // The last fast block of a receiver, as the layouts and averaging use it.
  struct FastState {
    bool present = false;
    tolvan2::BandSetup band;
    long mean = 0;
    std::array<uint8_t, kSamples> samples{};
  };

  static size_t Index(int receiver) { return static_cast<size_t>(receiver & 3); }

  int ProcessFast(const Block& block);
  int ProcessFastReceiver(int r, const uint8_t* fastBlock);
  int ProcessScan(const Block& block);
  int ProcessChannelReading(const Block& block, uint8_t kind);
  int ProcessSweep(const Block& block, uint8_t kind);
  int StartSweep(size_t r, const DATABLOCK& reading, PendingSweep& pending, bool flushPending);
  bool FinishSweep(size_t r, PendingSweep& pending, bool flushPending);
  void ContinueSweep(size_t r, const DATABLOCK& reading, PendingSweep& pending);
  // The end of the log and a change of segment hand out the sweeps still
  // being collected, as the start of a next sweep would.
  bool SweepsToClose() const;
  bool OpensSegment(const Block& block) const;
  int CloseSweeps();
  int64_t EndOfLog(int64_t consumed);
  void ClearList(size_t r);
  void AppendReading(size_t r, const DATABLOCK& reading);
  bool Skipping() const { return !ConversionPass || SegmentDeselected; }

  void DecodeHeader(const Block& block);
  void SetBand(size_t r, const tolvan2::BandSetup& band);
  void AppendEntry(std::string& out, size_t r, const DATABLOCK& e, char delimiter, bool& first);
  void CacheChannelTexts(size_t r, uint16_t channel);
  void FormatPositionField(int id, std::string& out, const Fix& fix) const;
  // The header of the line being written: that of the receiver's readings
  // while a line is written, else the last one read.
  const Fix& RowFix() const { return rowFix_ ? *rowFix_ : fix_; }
  void FillLayoutValues(formats::LayoutValues& values) const override;
  void AppendRowReadings(std::vector<Reading>& readings) override;
  Measured MeasuredEntry() const;
  // Whole latitude degrees (signed) and the fraction of a degree in millionths.
  int LatitudeWholeDegrees() const;
  long LatitudeMicroDegrees() const;
  static double Degrees(int32_t milliArcSeconds) { return milliArcSeconds / 3600000.0; }

  Fix fix_;  // the last header read
  // The header each receiver's reading list was measured under.
  std::array<Fix, kReceivers> listFix_{};
  const Fix* rowFix_ = nullptr;
  std::array<tolvan2::BandSetup, kReceivers> bands_{};
  std::array<bool, kReceivers> hasData_{};
  std::array<bool, kReceivers> sweepOpen_{};  // the list holds the sweep being collected
  std::array<PendingSweep, kReceivers> pendingRssi_{};
  std::array<PendingSweep, kReceivers> pendingSat_{};
  std::array<FastState, kReceivers> fast_{};
  int current_ = 1;
  uint64_t droppedReadings_ = 0;

  // A record that opens a segment waits while the sweeps of the segment it
  // ends are handed out.
  Block heldBlock_;
  int64_t heldCount_ = 0;
  bool holding_ = false;
  bool closeSweeps_ = false;  // the block just read is the hand-out of open sweeps
  bool ended_ = false;        // the log's end has been read

  // FormatDataValues walk.
  int callCounter_ = 0;
  int doneCounter_ = 0;

  // Frequency and channel texts of the last channel printed per receiver: a
  // fast block repeats one channel hundreds of times.
  std::array<std::string, kReceivers> frequencyText_;
  std::array<std::string, kReceivers> channelText_;
  std::array<int32_t, kReceivers> cachedChannel_{};  // -1 = nothing cached
  // Decimal degrees of the last fix, kept from row to row.
  mutable CachedText<uint64_t> latitudeText_, longitudeText_;

  // Rows made in place: stamps of the row's header and of each receiver's
  // band, and each receiver's text of the channel last written.
  struct HeadText {
    int32_t channel = -1;
    uint64_t band = 0;
    fast::ShortText text;
  };
  void MakeEntryHead(size_t r, uint16_t channel, uint64_t band, char delimiter,
                     bool separatorAfter);
  void WriteEntries(RowOutput& out, size_t r, const DATABLOCK* from, const DATABLOCK* to,
                    bool separator);
  mutable ValueStamp<Fix> fixStamp_;
  mutable std::array<ValueStamp<tolvan2::BandSetup>, kReceivers> bandStamps_;
  std::array<HeadText, kReceivers> headTexts_;
};

}  // namespace morphel
