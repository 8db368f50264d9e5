#include "synth/CwScannerWriter.h"

#include <algorithm>
#include <cmath>

#include "core/Bytes.h"

namespace morphel::synth {

namespace {

constexpr int kSamples = 512;
constexpr int kTableEntries = 80;
constexpr int kTicksPerSecond = 10;  // fast data comes ten times a second
constexpr int kCycleTicks = 130;     // one scan segment and one fast segment
constexpr int kScanTicks = 30;       // the scan segment's share of a cycle
constexpr int kScanEveryTicks = 5;   // scan records twice a second
constexpr int kMarkerEveryTicks = 170;
constexpr int kUtcOffsetHours = 5;  // the RTC keeps local time, GPS keeps UTC

// Receiver block / descriptor fields, low byte first.
constexpr size_t kBlockChannel = 0;
constexpr size_t kBlockTuning = 2;  // flags, base MHz, fraction, spacing, base channel
constexpr size_t kEntryRssi = 2;

double FrequencyMHz(const CwSampleLayout& layout, const CwRadioPlan& radio, int channel) {
  double mhz = radio.baseMHz + radio.fraction / 10000.0;
  if (radio.flags & 0x80) mhz += 1000.0;
  if (radio.flags & 0x40) mhz += layout.translateOffsetMHz;
  return mhz + (channel - radio.baseChannel) * radio.spacing / 10000.0;
}

void PutTuning(uint8_t* p, const CwRadioPlan& radio) {
  p[0] = radio.flags;
  putLe16(p + 1, static_cast<uint16_t>(radio.baseMHz));
  putLe16(p + 3, static_cast<uint16_t>(radio.fraction));
  putLe16(p + 5, static_cast<uint16_t>(radio.spacing));
  putLe16(p + 7, static_cast<uint16_t>(radio.baseChannel));
}

void PutFrame(SampleFile& file, const std::vector<uint8_t>& record) {
  uint8_t prefix[4];
  putLe32(prefix, static_cast<uint32_t>(record.size()));
  file.Write(prefix, sizeof prefix);
  file.Write(record);
}

std::vector<uint8_t> Identification(const CwSampleLayout& layout) {
  std::vector<uint8_t> rec(1 + 4 + layout.unitText.size() + 4 + layout.firmwareText.size());
  rec[0] = 'I';
  putLe32(rec.data() + 1, static_cast<uint32_t>(layout.unitText.size()));
  std::copy(layout.unitText.begin(), layout.unitText.end(), rec.begin() + 5);
  size_t b = 5 + layout.unitText.size();
  putLe32(rec.data() + b, static_cast<uint32_t>(layout.firmwareText.size()));
  std::copy(layout.firmwareText.begin(), layout.firmwareText.end(), rec.begin() + b + 4);
  return rec;
}

CwHeaderValues HeaderValues(uint8_t kind, const DrivePoint& p, int tick) {
  CwHeaderValues v;
  v.kind = kind;
  v.local = p;
  v.gpsHour = (p.hour + kUtcOffsetHours) % 24;
  v.gpsMinute = p.minute;
  v.gpsSecond = p.second;
  // Short losses of the fix in the town's street canyons.
  v.gpsValid = tick % 470 >= 20;
  v.marker = tick / kMarkerEveryTicks;
  return v;
}

void FastRecord(std::vector<uint8_t>& rec, const CwSampleLayout& layout, const DriveModel& model,
                const DrivePoint& p, int segment, Rng& rng) {
  for (size_t r = 0; r < layout.radios.size(); ++r) {
    const CwRadioPlan& radio = layout.radios[r];
    uint8_t* block = rec.data() + layout.headerSize + r * layout.receiverBlockSize;
    int channel = radio.firstChannel + (segment * 7 + static_cast<int>(r) * 3) % radio.fastChannels;
    putLe16(block + kBlockChannel, static_cast<uint16_t>(channel));
    PutTuning(block + kBlockTuning, radio);
    double mhz = FrequencyMHz(layout, radio, channel);
    for (int i = 0; i < kSamples; ++i)
      block[layout.samplesOffset + static_cast<size_t>(i)] = model.LevelByte(mhz, channel, p, rng);
  }
}

void ScanRecord(std::vector<uint8_t>& rec, const CwSampleLayout& layout, const DriveModel& model,
                const DrivePoint& p, Rng& rng) {
  for (size_t r = 0; r < layout.radios.size(); ++r) {
    const CwRadioPlan& radio = layout.radios[r];
    PutTuning(rec.data() + layout.headerSize + r * layout.descriptorSize, radio);
    uint8_t* table = rec.data() + layout.tablesAt + r * kTableEntries * layout.tableEntrySize;
    for (int e = 0; e < radio.scanEntries && e < kTableEntries; ++e) {
      uint8_t* entry = table + static_cast<size_t>(e) * layout.tableEntrySize;
      int channel = radio.firstChannel + e * radio.channelStep;
      putLe16(entry, static_cast<uint16_t>(channel));
      entry[kEntryRssi] = model.LevelByte(FrequencyMHz(layout, radio, channel), channel, p, rng);
    }
  }
}

}  // namespace

void PutBcdCoordinate(uint8_t* p, double degrees) {
  long long total = std::llround(std::fabs(degrees) * 60000.0);  // thousandths of a minute
  int deg = static_cast<int>(total / 60000);
  int minutes = static_cast<int>(total % 60000 / 1000);
  int thousandths = static_cast<int>(total % 1000);
  int digits[8] = {deg / 100 % 10,        deg / 10 % 10,   deg % 10,
                   minutes / 10,          minutes % 10,    thousandths / 100,
                   thousandths / 10 % 10, thousandths % 10};
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(digits[2 * i] << 4 | digits[2 * i + 1]);
}

void PutBcdFix(uint8_t* p, const CwHeaderValues& v) {
  PutBcdCoordinate(p, v.local.latitude);
  p[4] = v.local.latitude >= 0 ? 'N' : 'S';
  PutBcdCoordinate(p + 5, v.local.longitude);
  p[9] = v.local.longitude >= 0 ? 'E' : 'W';
  p[10] = toBcd(v.gpsHour);
  p[11] = toBcd(v.gpsMinute);
  p[12] = toBcd(v.gpsSecond);
  putLe16(p + 13, static_cast<uint16_t>(v.marker));
}

void PutRtcAndStatus(uint8_t* p, const CwHeaderValues& v) {
  const int fields[] = {v.local.second, v.local.minute, v.local.hour,
                        v.local.day,    v.local.month,  v.local.year % 100};
  for (size_t i = 0; i < 6; ++i) p[i] = static_cast<uint8_t>(fields[i]);
  p[6] = v.gpsValid ? 0x80 : 0x00;
}

int32_t ArcMilliseconds(double degrees) {
  return static_cast<int32_t>(std::llround(degrees * 3600000.0));
}

bool WriteCwSample(const std::string& path, const SampleOptions& options,
                   const CwSampleLayout& layout) {
  SampleFile file(path);
  if (!file.IsOpen() || !layout.writeHeader) return false;
  DriveModel model(options.seed);
  Rng rng(options.seed * 0x9E3779B97F4A7C15ull + 0xC3);
  PutFrame(file, Identification(layout));

  const size_t fastSize = layout.headerSize + layout.radios.size() * layout.receiverBlockSize;
  std::vector<uint8_t> fast(fastSize);
  std::vector<uint8_t> scan(layout.scanRecordSize);
  const long long ticks = std::llround(options.seconds * kTicksPerSecond);
  for (long long t = 0; t < ticks && file.Ok(); ++t) {
    int tick = static_cast<int>(t);
    int phase = tick % kCycleTicks;
    bool scanPart = phase < kScanTicks;
    if (scanPart && phase % kScanEveryTicks != 0) continue;
    DrivePoint p = model.At(static_cast<double>(t) / kTicksPerSecond);
    std::vector<uint8_t>& rec = scanPart ? scan : fast;
    std::fill(rec.begin(), rec.end(), 0);
    layout.writeHeader(rec.data(), HeaderValues(scanPart ? 'S' : 'F', p, tick));
    if (scanPart)
      ScanRecord(rec, layout, model, p, rng);
    else
      FastRecord(rec, layout, model, p, tick / kCycleTicks, rng);
    PutFrame(file, rec);
  }
  return file.Close();
}

}  // namespace morphel::synth
