// Layout of the written log
// -------------------------
// Header: the copied log (input item 8) has 6 bytes: 0..1 zero, 2..3 the
// remainder R, 4..5 the sector count S (little-endian). The memory-card log
// (item 9) has 10 bytes: 0..3 zero, 4..5 R, 6..9 S. The data end S x 512 + R
// is patched in once the whole log is written.
//
// The first block is an identification record of the ignored type 8:
//   length word, 0x08, "QVRBRISEL", 0x00, firmware text, 0x00.
// With the 6-byte header the length word sits at 6..7, the type at 8 and the
// tag at 9..17: the text from offset 9 holds "QVRBRISEL", and the first four
// bytes (two zeros, then R) read as a length of 0 or at least 65536, never a
// record length of 1..256. With the 10-byte header the tag starts at offset
// 13, where the memory-card test looks; the tag of a copied log starts at 9,
// so the text from 13 ("ISEL") never mistakes it for a card log.
//
// Then, every second of the drive: a GPS block (type 0) for the vehicle's
// position, the real-time clock (type 4) every few seconds with the marker
// count, and trip-computer position and motion records (0xC0, 0xC1). The
// measurements cycle through three segments: Single Frequency (type 5
// header, then a sample run of each receiver every second, 20 samples of
// which the header's 16 slots keep 16), List Data (type 6 header with ten
// frequencies per receiver, then list readings, type 7) and Table Data
// (type 9, four readings of one receiver per record, the receivers sweeping
// their tables continuously). Band setups (type 1) open each cycle:
// receiver 1 in the cellular band with cellular channel numbering, receiver 2
// in a paging band counted from 1.
//
// The data end falls right after the last record. The memory-card log is
// padded with 0xFF to whole sectors beyond the data end.

#include "synth/BriselWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "core/Bytes.h"
#include "synth/DriveModel.h"
#include "synth/GpsBlockWriter.h"

namespace morphel::synth {

namespace {

constexpr uint8_t kGps = 0x00, kBands = 0x01, kSamples1 = 0x02, kClock = 0x04, kSfHeader = 0x05,
                  kListHeader = 0x06, kList = 0x07, kIdentification = 0x08, kTable = 0x09,
                  kTpPosition = 0xC0, kTpMotion = 0xC1;
constexpr size_t kHeader = 6, kCardHeader = 10;
constexpr uint32_t kSector = 512;

// Receiver 1: cellular forward band, 30 kHz steps from 869.040 MHz.
constexpr uint32_t kCellBase = 28968;
constexpr uint32_t kCellLast = kCellBase + 832;
constexpr uint16_t kCellStep = 30 * 256;
// Receiver 2: paging band, 12.5 kHz steps from 929.0125 MHz.
constexpr uint32_t kPageBase = 74321;
constexpr uint32_t kPageLast = kPageBase + 238;
constexpr uint16_t kPageStep = 12 * 256 + 128;

constexpr int kSegmentSeconds = 10;  // length of each measurement segment
constexpr int kSamplesPerRun = 20;
constexpr int kListSize = 10;
constexpr int kCellFirstChannel = 313, kCellChannels = 21;  // control channels
constexpr int kPageChannels = 12;
constexpr int kReadingsPerTableRecord = 4;

struct Reading {
  uint8_t receiver;
  uint16_t channel;  // as printed; the record holds channel - 1
  int8_t rssi;
};

// Frequency count of a cellular channel number (991..1023 below channel 1).
uint32_t CellCount(int channel) {
  int index = channel >= 991 ? channel - 990 : channel + 34;
  return kCellBase + static_cast<uint32_t>(index) - 1;
}
double CellMHz(uint32_t count) {
  return count * 0.030;
}
double PageMHz(uint32_t count) {
  return count * 0.0125;
}

// Feeder, splitter and antenna losses of the scanner's vehicle installation.
constexpr double kInstallationLossDb = 28.0;

int8_t LevelDbm(const DriveModel& model, double mhz, int channel, const DrivePoint& p, Rng& rng) {
  long v = std::lround(model.LevelDbm(mhz, channel, p, rng) - kInstallationLossDb);
  return static_cast<int8_t>(std::clamp(v, -127L, -20L));
}

class Log {
 public:
  explicit Log(SampleFile& file) : file_(file) {}
  void Record(const std::vector<uint8_t>& payload) {
    uint8_t word[2];
    putLe16(word, static_cast<uint16_t>(payload.size()));
    file_.Write(word, sizeof word);
    file_.Write(payload);
    size_ += sizeof word + payload.size();
  }
  void Raw(const std::vector<uint8_t>& bytes) {
    file_.Write(bytes);
    size_ += bytes.size();
  }
  uint64_t Size() const { return size_; }

 private:
  SampleFile& file_;
  uint64_t size_ = 0;
};

std::vector<uint8_t> Identification(const std::string& firmware) {
  std::string text = "QVRBRISEL";
  text.push_back('\0');
  text += firmware;
  text.push_back('\0');
  std::vector<uint8_t> r(1 + text.size(), kIdentification);
  std::memcpy(r.data() + 1, text.data(), text.size());
  return r;
}

void PutBand(std::vector<uint8_t>& r, uint32_t first, uint32_t last, uint16_t step, uint8_t flags) {
  size_t at = r.size();
  r.resize(at + 12);
  putLe32(&r[at], first);
  putLe32(&r[at + 4], last);
  putLe16(&r[at + 8], step);
  r[at + 10] = flags;
}

std::vector<uint8_t> BandSetups() {
  std::vector<uint8_t> r{kBands, 0x03};
  PutBand(r, kCellBase, kCellLast, kCellStep, 0x01);
  PutBand(r, kPageBase, kPageLast, kPageStep, 0x00);
  return r;
}

std::vector<uint8_t> ClockRecord(const DrivePoint& p, int marker) {
  return {kClock,
          static_cast<uint8_t>(p.second),
          static_cast<uint8_t>(p.minute),
          static_cast<uint8_t>(p.hour),
          static_cast<uint8_t>(p.day),
          static_cast<uint8_t>(p.month),
          static_cast<uint8_t>(p.year % 100),
          static_cast<uint8_t>(marker)};
}

std::vector<uint8_t> GpsRecord(const DrivePoint& p, Rng& rng) {
  GpsFix fix;
  fix.month = p.month;
  fix.day = p.day;
  fix.year = p.year;
  fix.hour = p.hour;
  fix.minute = p.minute;
  fix.second = p.second;
  fix.latitude = p.latitude;
  fix.longitude = p.longitude;
  // Mean sea level lies some 33 m above the ellipsoid around the route.
  fix.mslHeightCm = static_cast<int32_t>(std::lround(p.altitudeM * 100.0));
  fix.gpsHeightCm = fix.mslHeightCm - 3300;
  // The unfiltered solution wanders a few metres around the filtered one.
  fix.rawLatitude = p.latitude + rng.Normal() * 3e-5;
  fix.rawLongitude = p.longitude + rng.Normal() * 3e-5;
  fix.rawGpsHeightCm = fix.gpsHeightCm + rng.Range(-300, 300);
  fix.rawMslHeightCm = fix.mslHeightCm + rng.Range(-300, 300);
  fix.speed2DCmps = static_cast<uint16_t>(std::lround(p.speedMps * 100.0));
  fix.speed3DCmps = static_cast<uint16_t>(fix.speed2DCmps + rng.Range(0, 5));
  fix.heading = static_cast<uint16_t>(std::lround(p.headingDeg) % 360);
  fix.visibleSatellites = static_cast<uint8_t>(rng.Range(7, 11));
  fix.trackedSatellites =
      static_cast<uint8_t>(p.gpsValid ? rng.Range(5, fix.visibleSatellites) : 2);
  fix.geometry = static_cast<uint16_t>(p.gpsValid ? rng.Range(10, 30) : 99);
  fix.statusCode = p.gpsValid ? 7 : 3;  // 3-D fix, or acquiring satellites
  std::vector<uint8_t> r{kGps};
  const auto block = BuildGpsBlock(fix);
  r.insert(r.end(), block.begin(), block.end());
  return r;
}

// Trip computer position: degrees and millionths of a degree per
// coordinate, with the hemisphere as a letter; the date as the C library
// keeps it (month from 0, years since 1900).
std::vector<uint8_t> TpPositionRecord(const DrivePoint& p) {
  std::vector<uint8_t> r(21, 0);
  r[0] = kTpPosition;
  r[1] = static_cast<uint8_t>(p.second);
  r[2] = static_cast<uint8_t>(p.minute);
  r[3] = static_cast<uint8_t>(p.hour);
  r[4] = static_cast<uint8_t>(p.day);
  r[5] = static_cast<uint8_t>(p.month - 1);
  r[6] = static_cast<uint8_t>(p.year - 1900);
  auto put = [&r](size_t at, double value, char positive, char negative) {
    double a = std::fabs(value);
    double whole = std::floor(a);
    r[at] = static_cast<uint8_t>(value >= 0 ? positive : negative);
    putLe16(&r[at + 1], static_cast<uint16_t>(whole));
    putLe32(&r[at + 3], static_cast<uint32_t>(std::lround((a - whole) * 1000000.0) % 1000000));
  };
  put(7, p.latitude, 'N', 'S');
  put(14, p.longitude, 'E', 'W');
  return r;
}

std::vector<uint8_t> TpMotionRecord(const DrivePoint& p) {
  std::vector<uint8_t> r(7, 0);
  r[0] = kTpMotion;
  putLe16(&r[3], static_cast<uint16_t>(std::lround(p.speedMps * 3.6)));
  putLe16(&r[5], static_cast<uint16_t>(std::lround(p.headingDeg)) % 360);
  return r;
}

std::vector<uint8_t> SingleFrequencyHeader(uint32_t count1, uint32_t count2) {
  std::vector<uint8_t> r(9, 0);
  r[0] = kSfHeader;
  putLe32(&r[1], count1);
  putLe32(&r[5], count2);
  return r;
}

std::array<uint32_t, kListSize> ListCounts(int receiver) {
  std::array<uint32_t, kListSize> counts{};
  for (int i = 0; i < kListSize; ++i)
    counts[static_cast<size_t>(i)] =
        receiver == 0 ? CellCount(kCellFirstChannel + i) : kPageBase + 2 * static_cast<uint32_t>(i);
  return counts;
}

std::vector<uint8_t> ListHeader() {
  std::vector<uint8_t> r(81, 0);
  r[0] = kListHeader;
  for (int rx = 0; rx < 2; ++rx) {
    auto counts = ListCounts(rx);
    for (size_t i = 0; i < counts.size(); ++i)
      putLe32(&r[1 + 4 * (static_cast<size_t>(rx) * kListSize + i)], counts[i]);
  }
  return r;
}

std::vector<uint8_t> TableRecord(std::deque<Reading>& queue) {
  std::vector<uint8_t> r{kTable};
  for (int k = 0; k < kReadingsPerTableRecord; ++k) {
    if (queue.empty()) {
      // A closing record of a sweep stream is filled with unused slots.
      r.insert(r.end(), {0xFF, 0, 0, 0});
      continue;
    }
    Reading rd = queue.front();
    queue.pop_front();
    const auto raw = static_cast<uint16_t>(rd.channel - 1);
    r.insert(r.end(), {rd.receiver, static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8),
                       static_cast<uint8_t>(rd.rssi)});
  }
  return r;
}

struct Drive {
  const DriveModel& model;
  Rng& rng;
  Log& log;
  std::array<std::deque<Reading>, 2> sweeps;
  int lastSegment = -1;
};

void SampleRuns(Drive& d, const DrivePoint& p) {
  const uint32_t counts[2] = {CellCount(333), kPageBase + 4};
  for (int rx = 0; rx < 2; ++rx) {
    const double mhz = rx == 0 ? CellMHz(counts[0]) : PageMHz(counts[1]);
    std::vector<uint8_t> r{static_cast<uint8_t>(kSamples1 + rx)};
    uint8_t check = 0;
    for (int i = 0; i < kSamplesPerRun; ++i) {
      auto v = static_cast<uint8_t>(LevelDbm(d.model, mhz, 333 + rx, p, d.rng));
      r.push_back(v);
      check = static_cast<uint8_t>(check + v);
    }
    r.push_back(check);  // closing byte of the run
    d.log.Record(r);
  }
}

void ListReadings(Drive& d, const DrivePoint& p) {
  for (int rx = 0; rx < 2; ++rx) {
    auto counts = ListCounts(rx);
    for (int half = 0; half < 2; ++half) {
      std::vector<uint8_t> r{kList};
      for (int k = 0; k < 5; ++k) {
        const int pos = half * 5 + k;
        const double mhz = rx == 0 ? CellMHz(counts[static_cast<size_t>(pos)])
                                   : PageMHz(counts[static_cast<size_t>(pos)]);
        r.insert(r.end(), {static_cast<uint8_t>(rx), static_cast<uint8_t>(pos),
                           static_cast<uint8_t>(LevelDbm(d.model, mhz, pos + 10 * rx, p, d.rng))});
      }
      d.log.Record(r);
    }
  }
}

void TableSweeps(Drive& d, const DrivePoint& p) {
  for (int i = 0; i < kCellChannels; ++i) {
    const int ch = kCellFirstChannel + i;
    d.sweeps[0].push_back(
        {0, static_cast<uint16_t>(ch), LevelDbm(d.model, CellMHz(CellCount(ch)), ch, p, d.rng)});
  }
  for (int ch = 1; ch <= kPageChannels; ++ch)
    d.sweeps[1].push_back({1, static_cast<uint16_t>(ch),
                           LevelDbm(d.model, PageMHz(kPageBase + ch - 1), ch + 40, p, d.rng)});
  for (auto& q : d.sweeps)
    while (q.size() >= kReadingsPerTableRecord) d.log.Record(TableRecord(q));
}

void FlushSweeps(Drive& d) {
  for (auto& q : d.sweeps)
    while (!q.empty()) d.log.Record(TableRecord(q));
}

void Measure(Drive& d, int second, const DrivePoint& p) {
  const int segment = (second / kSegmentSeconds) % 3;
  if (segment != d.lastSegment) {
    if (d.lastSegment == 2) FlushSweeps(d);
    if (segment == 0) {
      d.log.Record(BandSetups());
      d.log.Record(SingleFrequencyHeader(CellCount(333), kPageBase + 4));
    } else if (segment == 1) {
      d.log.Record(ListHeader());
    }
    d.lastSegment = segment;
  }
  if (segment == 0) SampleRuns(d, p);
  if (segment == 1) ListReadings(d, p);
  if (segment == 2) TableSweeps(d, p);
}

bool PatchHeader(const std::string& path, bool pcCard, uint64_t dataEnd) {
  std::array<uint8_t, kCardHeader> h{};
  const auto sectors = static_cast<uint32_t>(dataEnd / kSector);
  const auto remainder = static_cast<uint16_t>(dataEnd % kSector);
  if (pcCard) {
    putLe16(&h[4], remainder);
    putLe32(&h[6], sectors);
  } else if (sectors <= 0xFFFF) {
    putLe16(&h[2], remainder);
    putLe16(&h[4], static_cast<uint16_t>(sectors));
  }
  // A copied log past 32 MB cannot state its data end in the 16-bit sector
  // count; it keeps a zero data end, which stands for the whole file.
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (!f) return false;
  const size_t n = pcCard ? kCardHeader : kHeader;
  bool ok = std::fwrite(h.data(), 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

bool WriteBriselSample(const std::string& path, const SampleOptions& options, bool pcCard) {
  SampleFile file(path);
  if (!file.IsOpen()) return false;
  Log log(file);
  DriveModel model(options.seed);
  Rng rng(options.seed * 0x9E37u + 0xB815E1u);
  log.Raw(std::vector<uint8_t>(pcCard ? kCardHeader : kHeader, 0));
  log.Record(Identification(options.firmware.empty() ? "2.10" : options.firmware));

  Drive drive{model, rng, log, {}, -1};
  int marker = 0;
  const int seconds = std::max(1, static_cast<int>(options.seconds));
  for (int t = 0; t < seconds; ++t) {
    const DrivePoint p = model.At(t);
    log.Record(GpsRecord(p, rng));
    if (t % 5 == 0) {
      if (t > 0 && t % 15 == 0) ++marker;  // the driver presses the marker key
      log.Record(ClockRecord(p, marker));
    }
    if (t % 2 == 0) {
      log.Record(TpPositionRecord(p));
      log.Record(TpMotionRecord(p));
    }
    Measure(drive, t, p);
  }
  FlushSweeps(drive);
  const uint64_t dataEnd = log.Size();
  if (pcCard && dataEnd % kSector != 0)
    log.Raw(std::vector<uint8_t>(kSector - dataEnd % kSector, 0xFF));
  if (!file.Close()) return false;
  return PatchHeader(path, pcCard, dataEnd);
}

}  // namespace morphel::synth
