#include "synth/Tolvan2Writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Bytes.h"
#include "synth/DriveModel.h"

namespace morphel::synth {

namespace {
// Layout of the log, written from the log's own description.
constexpr uint8_t kFileHeader[6] = {'T', 'D', 'L', 0x00, 0x01, 0x1B};  // "TDL", firmware 1.27
constexpr uint8_t kFast = 'F';
constexpr uint8_t kScan = 'S';
constexpr uint8_t kVoice = 'v';
constexpr uint8_t kControl = 'c';
constexpr uint8_t kSweep = 'r';
constexpr uint8_t kSweepSat = 's';
constexpr uint8_t kNote = 'd';

constexpr size_t kHeaderSize = 32;
constexpr size_t kFlagsOffset = 32;
constexpr size_t kFastBlocksOffset = 36;
constexpr size_t kFastBlockSize = 708;
constexpr size_t kFastRecordSize = kFastBlocksOffset + 4 * kFastBlockSize;
constexpr size_t kScanRecordSize = kHeaderSize + 4 * 12;
constexpr size_t kSamplesOffset = 22;
constexpr int kSamples = 512;

constexpr double kFastInterval = 0.1;  // ten fast records a second
constexpr double kFastSeconds = 6.0;   // a fast segment, then
constexpr double kScanSeconds = 4.0;   // a scan segment, in turn

struct Band {
  uint8_t flags;  // bit 6 cellular numbering
  uint16_t baseMHz;
  uint16_t baseFraction;  // 0.0001 MHz
  uint16_t step;          // 0.1 kHz; 62 = 6.25 kHz
  uint16_t first, last;
  uint8_t decode;  // bit 6 SAT/VMAC, bit 7 DCC
};

// Receiver 1: cellular control channels 313..333 (indices 347..367);
// receiver 2: a 6.25 kHz land-mobile band; receiver 3: cellular voice
// channels; receiver 4: a 12.5 kHz VHF band.
constexpr std::array<Band, 4> kBands = {{
    {0x40, 869, 100, 300, 1, 834, 0x80},
    {0x00, 451, 0, 62, 0, 1599, 0x00},
    {0x40, 869, 100, 300, 1, 834, 0x40},
    {0x00, 152, 75, 125, 1, 400, 0x40},
}};
constexpr uint16_t kFirstControlIndex = 313 + 34;
constexpr int kControlChannels = 21;
constexpr uint16_t kSweep2First = 40;  // receiver 2 sweeps every 8th channel
constexpr uint16_t kSweep2Spacing = 8;
constexpr int kSweep2Length = 40;  // two scan headers' worth of readings
constexpr int kSweep2PerSecond = 20;
constexpr uint16_t kSweep3FirstIndex = 35;  // cellular voice channel 1
constexpr int kSweep3Length = 20;
constexpr int kSweep3PerSecond = 10;
constexpr std::array<uint16_t, 4> kVoiceChannels = {12, 57, 140, 233};

double FrequencyMHz(const Band& b, uint16_t index) {
  const double step = b.step == 62 ? 0.00625 : b.step * 0.0001;
  return (index - b.first) * step + b.baseMHz + b.baseFraction * 0.0001;
}

void WriteFrame(SampleFile& file, const std::vector<uint8_t>& record) {
  uint8_t length[2];
  putLe16(length, static_cast<uint16_t>(record.size()));
  file.Write(length, sizeof length);
  file.Write(record);
}

// The 12 bytes of a band setup after its channel word.
void PutBand(uint8_t* p, const Band& b) {
  p[0] = b.flags;
  putLe16(p + 1, b.baseMHz);
  putLe16(p + 3, b.baseFraction);
  putLe16(p + 5, b.step);
  putLe16(p + 7, b.first);
  putLe16(p + 9, b.last);
  p[11] = b.decode;
}

void PutHeader(uint8_t* r, uint8_t kind, const DrivePoint& p, int16_t marker) {
  r[0] = kind;
  r[2] = static_cast<uint8_t>(p.second);
  r[3] = static_cast<uint8_t>(p.minute);
  r[4] = static_cast<uint8_t>(p.hour);
  r[5] = static_cast<uint8_t>(p.day);
  r[6] = static_cast<uint8_t>(p.month);
  r[7] = static_cast<uint8_t>(p.year % 100);
  r[8] = p.gpsValid ? 0x80 : 0x00;
  putBe32(r + 9, static_cast<uint32_t>(static_cast<int32_t>(std::lround(p.latitude * 3600000.0))));
  putBe32(r + 13,
          static_cast<uint32_t>(static_cast<int32_t>(std::lround(p.longitude * 3600000.0))));
  putBe32(r + 17, static_cast<uint32_t>(static_cast<int32_t>(std::lround(p.altitudeM * 100.0))));
  putBe16(r + 21, static_cast<uint16_t>(std::lround(p.speedMps * 100.0)));
  putBe16(r + 23,
          static_cast<uint16_t>(static_cast<int16_t>(std::lround(p.headingDeg * 10.0) % 3600)));
  r[25] = static_cast<uint8_t>(p.hour);
  r[26] = static_cast<uint8_t>(p.minute);
  r[27] = static_cast<uint8_t>(p.second);
  putLe16(r + 28, static_cast<uint16_t>(marker));
}

class Writer {
 public:
  Writer(SampleFile& file, uint64_t seed)
      : file_(file), model_(seed), rng_(seed * 0x9E3779B97F4A7C15ull + 27) {}

  void Fast(double t, int segment, int16_t marker);
  void ScanSecond(double t, int16_t marker);

 private:
  uint8_t Level(const Band& b, uint16_t index, const DrivePoint& p) {
    return model_.LevelByte(FrequencyMHz(b, index), index, p, rng_);
  }
  void Reading(uint8_t kind, int receiver, uint16_t channel, uint8_t rssi, uint8_t a, uint8_t b);
  void SweepReading(uint8_t kind, int receiver, bool start, uint16_t channel, uint8_t rssi,
                    uint8_t sat);

  SampleFile& file_;
  DriveModel model_;
  Rng rng_;
  std::vector<uint8_t> record_;
  int sweep2Position_ = 0;
  int sweep3Position_ = 0;
};

// Channel each receiver samples in a fast segment; receiver 4 takes part only
// in every other fast segment.
void Writer::Fast(double t, int segment, int16_t marker) {
  const DrivePoint p = model_.At(t);
  record_.assign(kFastRecordSize, 0);
  PutHeader(record_.data(), kFast, p, marker);
  const std::array<uint16_t, 4> channels = {
      static_cast<uint16_t>(kFirstControlIndex + segment % kControlChannels),
      static_cast<uint16_t>(kSweep2First + kSweep2Spacing * (segment % 25)),
      static_cast<uint16_t>(kSweep3FirstIndex + 3 * (segment % 7)),
      kVoiceChannels[static_cast<size_t>(segment) % kVoiceChannels.size()]};
  for (int i = 0; i < 4; ++i) {
    if (i == 3 && segment % 2 == 0) continue;
    const size_t ui = static_cast<size_t>(i);
    record_[kFlagsOffset + ui] = 1;
    uint8_t* block = record_.data() + kFastBlocksOffset + kFastBlockSize * ui;
    const Band& band = kBands[ui];
    putLe16(block, channels[ui]);
    PutBand(block + 2, band);
    block[14] = static_cast<uint8_t>(channels[ui] % 3);  // SAT or DCC
    block[15] = static_cast<uint8_t>(channels[ui] % 8);  // VMAC or spare code
    for (int k = 0; k < kSamples; ++k)
      block[kSamplesOffset + static_cast<size_t>(k)] = Level(band, channels[ui], p);
  }
  WriteFrame(file_, record_);
}

void Writer::Reading(uint8_t kind, int receiver, uint16_t channel, uint8_t rssi, uint8_t a,
                     uint8_t b) {
  record_.assign(7, 0);
  record_[0] = kind;
  record_[1] = static_cast<uint8_t>(receiver);
  putLe16(&record_[2], channel);
  record_[4] = rssi;
  record_[5] = a;
  record_[6] = b;
  WriteFrame(file_, record_);
}

void Writer::SweepReading(uint8_t kind, int receiver, bool start, uint16_t channel, uint8_t rssi,
                          uint8_t sat) {
  record_.assign(kind == kSweepSat ? 8 : 7, 0);
  record_[0] = kind;
  record_[1] = static_cast<uint8_t>(receiver);
  putLe16(&record_[2], start ? 1 : 2);
  putLe16(&record_[4], channel);
  record_[6] = rssi;
  if (kind == kSweepSat) record_[7] = sat;
  WriteFrame(file_, record_);
}

// One second of a scan segment: the scan header with the four band setups,
// then the readings the receivers made during that second. The sweeps of
// receivers 2 and 3 run on across scan headers.
void Writer::ScanSecond(double t, int16_t marker) {
  const DrivePoint p = model_.At(t);
  record_.assign(kScanRecordSize, 0);
  PutHeader(record_.data(), kScan, p, marker);
  for (size_t i = 0; i < 4; ++i) PutBand(record_.data() + kHeaderSize + 12 * i, kBands[i]);
  WriteFrame(file_, record_);
  WriteFrame(file_, {kNote, 0, 0, 0});  // the receiver's own note; nothing to convert

  for (int k = 0; k < kControlChannels; ++k) {
    const auto index = static_cast<uint16_t>(kFirstControlIndex + k);
    Reading(kControl, 0, index, Level(kBands[0], index, p), static_cast<uint8_t>(k % 4), 0);
  }
  for (int k = 0; k < kSweep2PerSecond; ++k) {
    const auto channel = static_cast<uint16_t>(kSweep2First + kSweep2Spacing * sweep2Position_);
    SweepReading(kSweep, 1, sweep2Position_ == 0, channel, Level(kBands[1], channel, p), 0);
    sweep2Position_ = (sweep2Position_ + 1) % kSweep2Length;
  }
  for (int k = 0; k < kSweep3PerSecond; ++k) {
    const auto index = static_cast<uint16_t>(kSweep3FirstIndex + sweep3Position_);
    SweepReading(kSweepSat, 2, sweep3Position_ == 0, index, Level(kBands[2], index, p),
                 static_cast<uint8_t>(index % 3));
    sweep3Position_ = (sweep3Position_ + 1) % kSweep3Length;
  }
  for (uint16_t channel : kVoiceChannels)
    Reading(kVoice, 3, channel, Level(kBands[3], channel, p), static_cast<uint8_t>(channel % 3),
            static_cast<uint8_t>(channel % 8));
}

}  // namespace

bool WriteTolvan2Sample(const std::string& path, const SampleOptions& options) {
  SampleFile file(path);
  if (!file.IsOpen()) return false;
  file.Write(kFileHeader, sizeof kFileHeader);
  Writer writer(file, options.seed);
  Rng markerRng(options.seed ^ 0x7012);

  const double seconds = std::max(0.0, options.seconds);
  const long fastTicks = std::lround(kFastSeconds / kFastInterval);
  const long cycleTicks = fastTicks + std::lround(kScanSeconds / kFastInterval);
  const long ticksPerSecond = std::lround(1.0 / kFastInterval);
  int16_t marker = 0;
  double nextMarker = 3.0 + markerRng.Uniform() * 4.0;
  const auto ticks = static_cast<long>(std::floor(seconds / kFastInterval + 1e-9));
  for (long tick = 0; tick < ticks; ++tick) {
    const double t = static_cast<double>(tick) * kFastInterval;
    if (t >= nextMarker) {
      ++marker;
      nextMarker = t + 5.0 + markerRng.Uniform() * 6.0;
    }
    const int segment = static_cast<int>(tick / cycleTicks);
    if (tick % cycleTicks < fastTicks) {
      writer.Fast(t, segment, marker);
    } else if (tick % ticksPerSecond == 0) {
      writer.ScanSecond(t, marker);
    }
  }
  const uint8_t end[2] = {0, 0};  // length 0 ends the log
  file.Write(end, sizeof end);
  return file.Close();
}

}  // namespace morphel::synth
