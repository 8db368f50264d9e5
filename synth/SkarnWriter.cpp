#include "synth/SkarnWriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core/Bytes.h"
#include "synth/DriveModel.h"

namespace morphel::synth {

namespace {
// Record layouts of the Skarn log, written from the log's own description.
constexpr uint8_t kInfoKind = 'I';
constexpr uint8_t kSetupKind = 'U';
constexpr uint8_t kDataKind = 'D';
constexpr size_t kSetupSize = 256;
constexpr size_t kDataSize = 16;

// Scan-mode bits of a data record.
constexpr uint8_t kOneChannel = 0x10;
constexpr uint8_t kThreeChannel = 0x20;
constexpr uint8_t kScanTable = 0x40;

// Frequency plan: channel 1 on 851.0125 MHz, 12.5 kHz apart.
constexpr int16_t kBaseMHz = 851;
constexpr int16_t kBaseFraction = 125;  // 0.0001 MHz units
constexpr uint16_t kSpacing = 125;      // 0.0001 MHz units
constexpr int16_t kBaseChannel = 1;

constexpr double kRecordInterval = 0.2;  // five records a second
constexpr const char* kProductName = "QVR SKARN";
constexpr const char* kDefaultVersion = "2.04";

// The order in which the operator switches scan modes; it repeats.
constexpr std::array<uint8_t, 6> kModeCycle = {kOneChannel, kThreeChannel, kScanTable,
                                               kOneChannel, kScanTable,    kThreeChannel};
constexpr std::array<uint16_t, 3> kSingleChannels = {101, 257, 389};
constexpr std::array<uint16_t, 3> kTripleChannels = {120, 245, 377};
// Channels 1, 18, 35, ...; not a multiple of three, so each channel of the
// table comes round in every entry position in turn.
constexpr int kScanTableLength = 25;
constexpr int kScanTableStep = 17;

double FrequencyMHz(uint16_t channel) {
  return kBaseMHz + kBaseFraction * 0.0001 + (channel - kBaseChannel) * kSpacing * 0.0001;
}

void WriteFrame(SampleFile& file, const std::vector<uint8_t>& record) {
  uint8_t length[4];
  putLe32(length, static_cast<uint32_t>(record.size()));
  file.Write(length, sizeof length);
  file.Write(record);
}

void WriteInfo(SampleFile& file, const std::string& version) {
  const std::string name = kProductName;
  const std::string text = "Version " + version;
  std::vector<uint8_t> r(1 + 4 + name.size() + 4 + text.size());
  r[0] = kInfoKind;
  putLe32(&r[1], static_cast<uint32_t>(name.size()));
  std::copy(name.begin(), name.end(), r.begin() + 5);
  const size_t second = 5 + name.size();
  putLe32(&r[second], static_cast<uint32_t>(text.size()));
  std::copy(text.begin(), text.end(), r.begin() + static_cast<long>(second + 4));
  WriteFrame(file, r);
}

void WriteSetup(SampleFile& file) {
  std::vector<uint8_t> r(kSetupSize, 0);
  r[0] = kSetupKind;
  putBe16(&r[2], static_cast<uint16_t>(kBaseMHz));
  putBe16(&r[4], static_cast<uint16_t>(kBaseFraction));
  putBe16(&r[6], kSpacing);
  putBe16(&r[8], static_cast<uint16_t>(kBaseChannel));
  WriteFrame(file, r);
}

struct Reading {
  uint16_t channel = 0;
  uint8_t level = 0;
};

// Channels measured by one record of the given mode.
std::array<Reading, 3> Measure(uint8_t mode, int segment, int& scanPosition,
                               const DriveModel& model, const DrivePoint& p, Rng& rng) {
  std::array<Reading, 3> out{};
  auto read = [&](uint16_t channel) {
    return Reading{channel, model.LevelByte(FrequencyMHz(channel), channel, p, rng)};
  };
  if (mode == kOneChannel) {
    out[0] = read(kSingleChannels[static_cast<size_t>(segment) % kSingleChannels.size()]);
  } else if (mode == kThreeChannel) {
    for (size_t k = 0; k < 3; ++k) out[k] = read(kTripleChannels[k]);
  } else {
    for (size_t k = 0; k < 3; ++k) {
      out[k] = read(static_cast<uint16_t>(1 + scanPosition * kScanTableStep));
      scanPosition = (scanPosition + 1) % kScanTableLength;
    }
  }
  return out;
}

void WriteData(SampleFile& file, const DrivePoint& p, uint16_t marker, uint8_t mode,
               const std::array<Reading, 3>& readings) {
  std::vector<uint8_t> r(kDataSize, 0);
  r[0] = kDataKind;
  r[1] = static_cast<uint8_t>(p.hour);
  r[2] = static_cast<uint8_t>(p.minute);
  r[3] = static_cast<uint8_t>(p.second);
  putBe16(&r[4], marker);
  r[6] = mode;
  for (size_t k = 0; k < 3; ++k) {
    putBe16(&r[7 + 3 * k], readings[k].channel);
    r[9 + 3 * k] = readings[k].level;
  }
  WriteFrame(file, r);
}
}  // namespace

bool WriteSkarnSample(const std::string& path, const SampleOptions& options) {
  SampleFile file(path);
  if (!file.IsOpen()) return false;
  DriveModel model(options.seed);
  Rng rng(options.seed * 0x9E3779B97F4A7C15ull + 5);
  WriteInfo(file, options.firmware.empty() ? kDefaultVersion : options.firmware);

  const double seconds = std::max(0.0, options.seconds);
  // Six or more segments over the drive, each at least a few seconds long.
  const double segmentSeconds = std::clamp(seconds / 7.0, 4.0, 60.0);
  const auto records = static_cast<long>(seconds / kRecordInterval);
  int segment = -1;
  int scanPosition = 0;
  uint16_t marker = 0;
  double nextMarker = 5.0 + rng.Uniform() * 6.0;
  for (long i = 0; i < records; ++i) {
    const double t = static_cast<double>(i) * kRecordInterval;
    const int s = static_cast<int>(t / segmentSeconds);
    if (s != segment) {
      // The receiver writes its plan again whenever the operator changes mode.
      segment = s;
      WriteSetup(file);
    }
    if (t >= nextMarker) {
      ++marker;
      nextMarker = t + 6.0 + rng.Uniform() * 8.0;
    }
    const uint8_t mode = kModeCycle[static_cast<size_t>(segment) % kModeCycle.size()];
    const DrivePoint p = model.At(t);
    WriteData(file, p, marker, mode, Measure(mode, segment, scanPosition, model, p, rng));
  }
  return file.Close();
}

}  // namespace morphel::synth
