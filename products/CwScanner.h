#pragma once
// The CW scanning receivers of the QVR line (Tolvan four-receiver, Velmar
// two-receiver) log the same kind of records: length-prefixed blocks holding
// an identification record, fast-data records (a GPS/RTC header and one block
// of 512 RSSI samples per receiver) and scan-table records (a header, one
// tuning descriptor and an 80-entry channel table per receiver). The products
// differ only in header layout, block sizes and receiver count; this class
// holds everything they share and takes those differences as a layout table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/CachedText.h"
#include "products/Product.h"
#include "products/SharedFields.h"

namespace morphel {

class CwScanner : public Product {
 public:
  static constexpr int kMaxReceivers = 4;
  static constexpr uint32_t kMaxBlockLength = 4096;
  static constexpr int kSamplesPerBlock = 512;
  static constexpr int kScanEntries = 80;
  static constexpr int kScanTitleRepeat = 80;
  static constexpr double kLambdaConstant = 153600000000.0;  // 512 x speed of light (m/s)
  static constexpr int kBestServerFloor = -121;              // dBm; never chosen at or below

  static constexpr uint8_t kIdentRecord = 'I';
  static constexpr uint8_t kFastRecord = 'F';
  static constexpr uint8_t kScanRecord = 'S';

  // Flag bits of a receiver's tuning.
  static constexpr uint8_t kFlagAbove1000 = 0x80;
  static constexpr uint8_t kFlagTranslate = 0x40;

  // Where a product keeps what differs between the family's logs.
  struct Layout {
    int receivers;              // receiver blocks per record
    size_t receiverBlockSize;   // bytes of one fast-data receiver block
    size_t samplesOffset;       // first RSSI sample within a receiver block
    size_t scanDataSize;        // scan bytes following the header
    size_t descriptorSize;      // one tuning descriptor in the scan data
    size_t tablesOffset;        // first channel table within the scan data
    size_t tableEntrySize;      // one channel-table entry
    double translateOffsetMHz;  // added to the frequency when bit 6 is set
    bool hasMotion;             // the header carries altitude and speed
  };

  // A BCD header as offsets: RTC second..year follow one another, the
  // position is three degree digits, two minute digits and three digits of
  // thousandths of a minute, each followed by its hemisphere letter.
  struct BcdHeaderLayout {
    size_t rtcSecond;
    size_t gpsStatus;
    size_t latitude;
    size_t latitudeHemisphere;
    size_t longitude;
    size_t longitudeHemisphere;
    size_t gpsHour;  // hour, minute, second
    size_t marker;   // 16-bit, low byte first
  };

  // One coordinate as the receivers report it.
  using Coordinate = MinuteCoordinate;

  // The decoded measurement header.
  struct Header {
    int rtcSecond = 0, rtcMinute = 0, rtcHour = 0, rtcDay = 0, rtcMonth = 0, rtcYear = 0;
    uint8_t gpsStatus = 0;
    Coordinate latitude, longitude;
    int gpsHour = 0, gpsMinute = 0, gpsSecond = 0;
    int marker = 0;
    long altitudeM = 0;
    long speedMph = 0;
    bool operator==(const Header&) const = default;
  };

  // How a receiver was tuned: the frequency of `baseChannel` and the spacing.
  struct Tuning {
    uint8_t flags = 0;
    int baseMHz = 0;
    int fraction = 0;  // 0.0001 MHz
    int spacing = 0;   // 0.0001 MHz
    int baseChannel = 0;
  };

  explicit CwScanner(const Layout& layout);

  int WriteDataTitles(int next, std::string& out, char delimiter) override;
  int FormatDataValues(int next, std::string& out, char delimiter) override;
  void FormatField(int id, std::string& out) override;
  int64_t ReadBlock(Block& buffer) override;
  int ProcessBlock(Block& buffer) override;
  void IndexProcess(Block& buffer) override;
  int AccumulateLambda(int receiver) override;
  int LambdaWindow(int receiver) override;
  // Rows made in place (CwScannerRows.cpp).
  bool RowsInPlace() const override { return true; }
  FieldChange FieldChangeOf(int id) const override;
  RowStamps CurrentRowStamps() const override;
  void WriteDataColumns(RowOutput& out, bool first) override;

  const Header& CurrentHeader() const { return header_; }

 protected:
  void FillLayoutValues(formats::LayoutValues& values) const override;
  // Per checked receiver its fast-data channel, or every entry of its scan
  // table up to the first empty one.
  void AppendRowReadings(std::vector<Reading>& readings) override;

 public:
  const Layout& GetLayout() const { return layout_; }

  // Frequency in MHz of `channel` on a receiver tuned as `t`.
  double Frequency(const Tuning& t, int channel) const;
  // The channel number the receiver shows for `channel`.
  static int DisplayedChannel(const Tuning& t, int channel);
  // Receiver r (0-based) of the last fast-data record.
  Tuning FastTuning(int receiver) const;
  int FastChannel(int receiver) const;
  int MeanRssi(int receiver) const;
  // Receiver r (0-based) of the last scan-table record.
  Tuning ScanTuning(int receiver) const;
  int ScanChannel(int receiver, int entry) const;
  int ScanRssi(int receiver, int entry) const;

 protected:
  // Length of the measurement header with the current firmware.
  virtual size_t HeaderSize() const = 0;
  // Decodes the header bytes (HeaderSize() of them, zero-padded when the
  // record was short) into header_.
  virtual void DecodeHeader(const uint8_t* bytes) = 0;
  // An identification record gave unit text and firmware text.
  virtual void OnIdentification(const std::string& unitText, const std::string& firmwareText);
  // Whether a length prefix is accepted; a zero length marks an empty block
  // in some products.
  virtual bool AcceptsLength(uint32_t length) const;

  // RTC second, minute, hour, day, month and year bytes in that order, as
  // stored, and the GPS status byte.
  void DecodeRtc(const uint8_t* rtc, uint8_t gpsStatus);
  void DecodeBcdHeader(const uint8_t* bytes, const BcdHeaderLayout& at);

  Header header_;

 private:
  static constexpr size_t kMaxHeaderSize = 64;

  int ProcessIdentification(const Block& buffer);
  int ProcessFast(const Block& buffer);
  int ProcessScan(const Block& buffer);
  // Copies the header and decodes it; false when the record holds none.
  void TakeHeader(const Block& buffer);
  // Starts a segment on a change of record type; true when the record is to
  // produce output.
  bool SegmentIncludes(int16_t type);
  void SelectBestServers();

  void WriteFastValues(int receiver, RowOutput& out);
  void WriteScanValues(int receiver, RowOutput& out);
  void AppendFastValues(int receiver, std::string& out, char delimiter);
  void AppendScanValues(int receiver, std::string& out, char delimiter);
  void AppendReceiverField(int receiver, int k, std::string& out) const;
  // Reporting values of the post-processing formats.
  struct Report {
    double frequency = 0;
    int channel = 0;
    int rssi = 0;
  };
  Report ReportingValues() const;

  Layout layout_;
  std::array<uint8_t, kMaxHeaderSize> headerBytes_{};
  std::vector<uint8_t> fastBlocks_;  // receivers x receiverBlockSize
  std::vector<uint8_t> scanData_;    // scanDataSize
  int titleReceiver_ = 0;
  int titleRepeat_ = 1;
  int valueReceiver_ = 0;
  // The position fields, four decimals of a degree.
  CoordinateFields coordinateFields_{4};
  // Frequencies of the channels in use, the same row after row.
  mutable CachedTexts<256> frequencyTexts_;
  mutable ValueStamp<Header> headerStamp_;
};

}  // namespace morphel
