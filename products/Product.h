#pragma once
// The reader interface every receiver product implements, and the state the
// conversion and indexing runs share with the readers.

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/Fmt.h"
#include "core/LogFile.h"
#include "core/RowOutput.h"
#include "core/SegmentTable.h"
#include "core/Settings.h"
#include "products/FieldCatalog.h"
#include "products/Formats.h"
#include "products/RowStamps.h"
#include "products/Readings.h"

namespace morphel {

// What a reader skipped while reading a log: a damaged or cut file shows up
// here rather than as a silent gap in the output.
struct DamageCounts {
  uint64_t resyncBytes = 0;      // bytes passed over looking for the next block
  uint64_t badLengthBlocks = 0;  // blocks whose length was out of range
  uint64_t unknownRecords = 0;   // records of a kind the reader does not know
  uint64_t truncatedBlocks = 0;  // a final block cut short by the end of file
  bool Any() const { return resyncBytes || badLengthBlocks || unknownRecords || truncatedBlocks; }
};

// Allocator of a record buffer that leaves bytes added by a resize as they
// are: every reader fills a block with the read that follows the resize (and
// empties it when that read falls short), so zeroing them first would only
// cost time on each of the millions of records of a large log.
template <typename T>
struct UnzeroedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UnzeroedAllocator<U>;
  };
  UnzeroedAllocator() = default;
  template <typename U>
  UnzeroedAllocator(const UnzeroedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

class Product {
 public:
  using Block = std::vector<uint8_t, UnzeroedAllocator<uint8_t>>;

  // One channel reading kept in a receiver's reading list.
  struct DATABLOCK {
    uint16_t channel = 0;
    uint8_t rssi = 0;
    uint8_t sat = 0;
    uint8_t dcc = 0;
    uint8_t vmac = 0;
    uint8_t code = 0;
  };
  using ReadingList = std::vector<DATABLOCK>;

  static constexpr int kMaxFieldIds = 100;
  static constexpr int16_t kNoFieldId = -10;
  static constexpr size_t kTextBufferSize = 1024;
  static constexpr size_t kRawGpsSize = 72;
  static constexpr int kMaxAverages = 512;

  // ProcessBlock results.
  static constexpr int kNothing = 0;
  static constexpr int kRecordsReady = 1;
  static constexpr int kTextReady = 2;
  static constexpr int kBoundary = 3;
  static constexpr int kBoundaryAndRecords = 4;

  // Averaging modes.
  static constexpr int kAverageNone = 0;
  static constexpr int kAverageLambda = 1;
  static constexpr int kAveragePerMeters = 2;
  static constexpr int kAverageBestServer = 3;
  static constexpr int kAveragePerSeconds = 4;

  Product();
  virtual ~Product();
  Product(const Product&) = delete;
  Product& operator=(const Product&) = delete;

  // The sixteen reader operations, in their fixed order.
  virtual void DecodeGpsBlock();
  virtual void AttachReceiverSelectors(const Settings* settings);
  virtual int Open(const std::string& path);
  virtual void Close();
  virtual int WriteDataTitles(int next, std::string& out, char delimiter);
  virtual int FormatDataValues(int next, std::string& out, char delimiter);
  virtual void FormatField(int id, std::string& out);
  // Bytes taken from the file for this block (prefix and skipped bytes
  // included); 0 at end of file or on a read failure.
  virtual int64_t ReadBlock(Block& buffer);
  virtual int ProcessBlock(Block& buffer);
  // The native layouts of the format chosen, written from LayoutValues.
  virtual int WriteFormatHeader(std::string& out);
  virtual int WriteFormatRecord(std::string& out);
  virtual int WriteFormatTrailer(std::string& out);
  virtual int SetAverageMode(int mode);
  virtual int AccumulateLambda(int receiver);
  virtual int LambdaWindow(int receiver);
  virtual bool ReceiverHasData(int receiver);

  // Delimited rows written in place (products/RowWriter). A reader that
  // answers true tells how its field texts change and writes its << DATA >>
  // columns itself; the others are converted through FormatField and
  // FormatDataValues, the reference both ways must match byte for byte.
  virtual bool RowsInPlace() const { return false; }
  virtual FieldChange FieldChangeOf(int id) const;
  // The part (0 .. RowStamps::kRecordParts - 1) whose stamp a Record field
  // follows.
  virtual int RecordPartOf(int /*id*/) const { return 0; }
  virtual RowStamps CurrentRowStamps() const { return {}; }
  // A run of rows made in place begins: texts kept for another run's data
  // boxes or delimiter are forgotten.
  virtual void BeginRows() {}
  // The << DATA >> columns of the current row, exactly as the run's walk of
  // FormatDataValues writes them (`first`: DATA is the row's first field).
  // This one walks FormatDataValues itself.
  virtual void WriteDataColumns(RowOutput& out, bool first);

  // Indexing reads the log through these: a reader may frame its records
  // without copying them and decode of a record only what segments need
  // (its kind, time and caption), as long as the segments, their captions
  // and the damage counts come out exactly as ReadBlock and ProcessBlock
  // give them, which these do by default.
  virtual int64_t IndexRead(Block& buffer) { return ReadBlock(buffer); }
  virtual void IndexProcess(Block& buffer) { ProcessBlock(buffer); }

  // Puts n bytes into a record buffer: sized, then copied (its allocator
  // leaves the bytes a resize adds as they are, where assign would
  // construct them one by one).
  static void CopyToBlock(Block& buffer, const uint8_t* bytes, size_t n) {
    buffer.resize(n);
    if (n > 0) std::memcpy(buffer.data(), bytes, n);
  }

  // ReadBlock of a reader that frames records where they lie:
  // frame(record, length) takes the next one, which is copied into buffer.
  template <typename Frame>
  static int64_t CopyFrame(Block& buffer, Frame&& frame) {
    const uint8_t* record = nullptr;
    size_t length = 0;
    const int64_t taken = frame(record, length);
    CopyToBlock(buffer, record, length);
    return taken;
  }

  // The tidy values of the row a conversion with every receiver and all data
  // would write now (after ReceiverHasData chose its receiver, where a
  // record has a row per receiver), read from the state that row's fields are
  // written from: its time, position, marker and GPS status, and one reading
  // per data column group of the row. `record` is emptied by the caller.
  void CollectReadings(ReadingRecord& record);
  // The paging messages the block just processed carried (result is what
  // ProcessBlock answered), with the time and place of the record; nothing
  // for most products.
  void CollectMessages(const Block& block, int result, ReadingRecord& record);
  // The firmware version the log names, as text; empty when it names none.
  virtual std::string FirmwareText() const;

  // Field ids the product offers, in list order.
  std::vector<int> AvailableFields() const;
  // Replaces the selection ids (positions beyond ids hold kNoFieldId).
  void SetSelectedFields(const std::vector<int>& ids);

  // Raw GPS block and its decoded values (DecodeGpsBlock).
  std::array<uint8_t, kRawGpsSize> RawGps{};
  struct DecodedGps {
    int word0 = 0, word1 = 0, word2 = 0, word4 = 0, word5 = 0, word6 = 0;
    int32_t value7 = 0;
    double latitude = 0, longitude = 0, altitude = 0;
    int word27 = 0, word29 = 0, word31 = 0;
    uint8_t status = 0;
    int word34 = 0, word35 = 0;
    std::array<uint8_t, 32> satellites{};
    uint8_t status2 = 0;
  } Gps;

  LogFile Input;
  std::array<ReadingList, 4> ReadingLists;
  std::string TextBuffer;

  int32_t RecordCounter = 0;
  uint8_t TitlePending = 1;
  std::array<int16_t, kMaxFieldIds> AvailableFieldIds{};
  int16_t AvailableCount = 0;
  std::array<int16_t, kMaxFieldIds> SelectedFieldIds{};

  int16_t AverageMode = 0;
  int32_t AverageStep = 0;
  int16_t RemainingRecordCount = 1;
  int16_t PendingRecordCount = 0;
  bool LambdaFirst = false;
  std::array<int16_t, 4> BestServerIndex{};

  // Averaging area: one block per receiver and a spare. Window and counts are
  // kept 32-bit so slow speeds or low frequencies cannot wrap them.
  struct AverageBlock {
    int32_t window = 0;
    int32_t samples = 0;
    int64_t sum = 0;
    int32_t completed = 0;
    std::array<int32_t, kMaxAverages> averages{};
  };
  std::array<AverageBlock, 5> Averages{};

  // Segment bookkeeping shared with indexing.
  int16_t SegmentType = -1;
  int32_t SegmentCounter = 0;
  bool SegmentReady = false;
  std::string SegmentStartTime;
  SegmentTable SegmentNodes;
  bool SegmentDeselected = false;
  bool ConversionPass = false;

  // Gathering state (record rate of a log). The counts are 32-bit: a log of
  // an hour holds far more records than 16 bits count.
  bool Gathering = false;
  int32_t GatherRecords = 0;
  int32_t GatherSeconds = 0;
  int32_t RecordRate = 1;
  // Starts a gathering pass: counting on, both counts 0, record rate 1.
  void BeginGathering();

  DamageCounts Damage;

 protected:
  // The settings the reader consults at every use (the run's snapshot).
  const Settings& Config() const { return *settings_; }
  bool ReceiverOn(int receiver1to4) const { return settings_->ReceiverChecked(receiver1to4); }
  // First checked receiver among 1..count, or 0 when none is checked.
  int FirstCheckedReceiver(int count) const;

  // The fields every reader writes alike: "CR / LF" (a line break inside the
  // row) and the record number. Appends and answers true when id is one.
  bool RowField(int id, std::string& out) const {
    if (id == FieldCatalog::kCrLf) {
      out.push_back('\n');
      return true;
    }
    if (id != FieldCatalog::kRecordNumber) return false;
    text::d(out, RecordCounter);
    return true;
  }

  // A record of a kind the reader does not know, and one too short for its
  // kind: each is counted in Damage and gives nothing to write.
  int UnknownRecord() {
    ++Damage.unknownRecords;
    return kNothing;
  }
  int ShortRecord() {
    ++Damage.badLengthBlocks;
    return kNothing;
  }

  void SetAvailableFields(std::initializer_list<int> ids);
  // The same from ids and groups of ids (FieldCatalog::kPositionFields ...),
  // in list order.
  template <typename... Parts>
  void SetAvailableFields(const Parts&... parts) {
    SetAvailableFields({});
    (OfferField(parts), ...);
  }

  // The values the native layouts write for the current record. A reader
  // that writes them fills these; the base writes nothing.
  virtual void FillLayoutValues(formats::LayoutValues& values) const;
  // The readings of the row being written, one per data column group, in the
  // order of the columns; the base has none.
  virtual void AppendRowReadings(std::vector<Reading>& readings);
  // The paging messages of the block just processed; the base has none.
  virtual void AppendMessages(const Block& block, int result, std::vector<PagingMessage>& messages);
  // The layout of the output format chosen (Delimited for the other formats).
  Layout ChosenLayout() const;
  // The values of the current record, filled afresh.
  const formats::LayoutValues& CurrentLayoutValues();
  // A record's time, position, marker and GPS status from those values.
  void FillRecordPlace(ReadingRecord& record);

  // A record of segment type `type` begins a new segment: indexing notes its
  // start time; a conversion looks up whether the user left it out.
  void StartSegment(int16_t type, int hour, int minute, int second);
  // Starts a segment only when the type differs from the current one.
  // Returns true when a segment started.
  bool FollowSegmentType(int16_t type, int hour, int minute, int second);

  // Vehicle speed of the 40 Lambda Averaging dialog in metres per second
  // (0 when the box does not hold a positive number).
  double LambdaSpeedMetresPerSecond() const;
  // Samples per window = constant / (frequency in Hz x speed in m/s),
  // truncated; 0 when speed or frequency is not positive or the result does
  // not fit.
  int32_t WindowFor(double constant, double frequencyMHz) const;
  // Adds samples to receiver r's running sum, completing averages as the
  // window fills; returns the averages completed from these samples.
  int AccumulateSamples(int receiver, const uint8_t* samples, int count);

  // While gathering: one measurement record of the log (a record that
  // carries signal levels), whether or not its segment is converted.
  void GatherRecord();
  // While gathering: the log's time of day is now h:m:s; every change counts
  // one second. A fallback clock (the real-time clock of a log that usually
  // carries GPS time) counts only until the main clock has been seen.
  void GatherTime(int hour, int minute, int second, bool fallbackClock = false);

 private:
  static const Settings kStartupSettings;
  void OfferField(int id);
  template <size_t N>
  void OfferField(const std::array<int, N>& ids) {
    for (int id : ids) OfferField(id);
  }
  const Settings* settings_ = &kStartupSettings;
  formats::LayoutValues layoutValues_;
  std::string dataColumns_;      // WriteDataColumns' walk of FormatDataValues
  int32_t gatherLastTime_ = -1;  // seconds of the day of the last counted time
  bool gatherMainClockSeen_ = false;
};

}  // namespace morphel
