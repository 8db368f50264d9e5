#include "synth/ZevWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/Bytes.h"
#include "synth/DriveModel.h"
#include "synth/PagingEncoder.h"

namespace morphel::synth {

namespace {
// Frequency plans: the channel on the base frequency, the base in whole MHz
// and 0.0001 MHz, the spacing in 0.0001 MHz (the same 0.1 kHz unit the dump
// log uses), and how the receiver numbers the channels.
struct Plan {
  uint16_t first;
  uint16_t baseMHz;
  uint16_t fraction;
  uint16_t spacing;
  uint8_t cardFlags;    // 0x80 analogue cellular with tones, 0x10 offset by 34
  uint8_t dumpNumbers;  // 128 analogue cellular, 16 offset by 34
};
constexpr Plan kCellular{34, 870, 300, 300, 0x80, 128};  // channel 1 on 870.0300 MHz
constexpr Plan kPaging{35, 929, 125, 250, 0x10, 16};     // 929.0125 MHz, 25 kHz
constexpr Plan kTrunked{1, 851, 125, 125, 0x00, 0};      // 851.0125 MHz, 12.5 kHz

// Measurement modes.
constexpr uint8_t kModeCi = 1;
constexpr uint8_t kMode1Ch = 3;
constexpr uint8_t kMode20Ch = 4;
constexpr uint8_t kModeVar = 5;
constexpr uint8_t kModePocsag = 7;
constexpr uint8_t kModeFastFade = 8;
constexpr uint8_t kModeFlex = 15;

struct Segment {
  uint8_t mode;
  const Plan* plan;
  uint16_t firstChannel;  // of the list
  int count;              // channels in the list
  int step;               // between listed channels
  int scans;              // scans of the list per level record
};
// The operator's cycle of modes; it repeats, so each mode gives several segments.
constexpr std::array<Segment, 7> kCycle = {{
    {kMode20Ch, &kCellular, 346, 20, 1, 1},  // the 21 control channels, SAT/DCC and VMAC
    {kMode1Ch, &kTrunked, 257, 1, 1, 5},
    {kModePocsag, &kPaging, 160, 1, 1, 1},
    {kModeCi, &kTrunked, 101, 2, 1, 1},
    {kModeVar, &kTrunked, 1, 12, 4, 2},
    {kModeFlex, &kPaging, 200, 1, 1, 1},
    {kModeFastFade, &kTrunked, 389, 1, 1, 10},
}};

constexpr double kTick = 0.5;  // two level records a second
constexpr int kGpsToLocalHours = 5;
constexpr int kClockEvery = 10;  // seconds between time records
constexpr int kMaxChannels = 20;
constexpr double kMphPerUnit = 0.022356;
constexpr double kMsPerDegree = 3600000.0;

double FrequencyMHz(const Plan& plan, int channel) {
  return plan.baseMHz + plan.fraction * 0.0001 + (channel - plan.first) * plan.spacing * 0.0001;
}

uint16_t ListChannel(const Segment& s, int k) {
  return static_cast<uint16_t>(s.firstChannel + k * s.step);
}

// One measurement: the listed channels and `scans` level bytes for each.
struct Scan {
  int count = 0;
  std::array<uint16_t, kMaxChannels> channels{};
  std::vector<uint8_t> levels;  // scans x count
  std::vector<uint8_t> sat, vmac;
};

Scan Measure(const Segment& s, const DriveModel& model, const DrivePoint& p, Rng& rng) {
  Scan scan;
  scan.count = s.count;
  for (int k = 0; k < s.count; ++k) scan.channels[static_cast<size_t>(k)] = ListChannel(s, k);
  for (int r = 0; r < s.scans; ++r) {
    for (int k = 0; k < s.count; ++k) {
      uint16_t ch = ListChannel(s, k);
      scan.levels.push_back(model.LevelByte(FrequencyMHz(*s.plan, ch), ch, p, rng));
      // SAT colour code 0..2 (3 = none), VMAC 0..7, as the cellular sites send them.
      scan.sat.push_back(static_cast<uint8_t>(ch % 4));
      scan.vmac.push_back(static_cast<uint8_t>(ch % 8));
    }
  }
  return scan;
}

struct Position {
  std::array<uint8_t, 4> latBcd{}, lonBcd{};
  char latHemisphere = 'N', lonHemisphere = 'E';
  int32_t latMs = 0, lonMs = 0;
};

// DDDMMmmm as packed BCD.
std::array<uint8_t, 4> BcdDigits(double degrees) {
  double a = std::fabs(degrees);
  int d = static_cast<int>(a);
  double minutes = (a - d) * 60.0;
  int m = static_cast<int>(minutes);
  int t = static_cast<int>((minutes - m) * 1000.0);
  int digits[8] = {d / 100 % 10, d / 10 % 10, d % 10, m / 10, m % 10, t / 100, t / 10 % 10, t % 10};
  std::array<uint8_t, 4> out{};
  for (size_t i = 0; i < 4; ++i)
    out[i] = static_cast<uint8_t>(digits[2 * i] << 4 | digits[2 * i + 1]);
  return out;
}

Position PositionOf(const DrivePoint& p) {
  Position pos;
  pos.latBcd = BcdDigits(p.latitude);
  pos.lonBcd = BcdDigits(p.longitude);
  pos.latHemisphere = p.latitude > 0 ? 'N' : 'S';
  pos.lonHemisphere = p.longitude > 0 ? 'E' : 'W';
  pos.latMs = static_cast<int32_t>(std::lround(p.latitude * kMsPerDegree));
  pos.lonMs = static_cast<int32_t>(std::lround(p.longitude * kMsPerDegree));
  return pos;
}

int GpsHour(const DrivePoint& p) {
  return (p.hour + kGpsToLocalHours) % 24;
}

uint32_t VelocityUnits(const DrivePoint& p) {
  return static_cast<uint32_t>(std::lround(p.speedMps * 2.2369363 / kMphPerUnit));
}

// The receiver's own bytes beside the encoded paging data: channel, level,
// bit errors and (FLEX) speed in units of 1600 bit/s.
constexpr size_t kPocsagChannel = 1;
constexpr size_t kPocsagLevel = 4;
constexpr size_t kPocsagBer = 7;
constexpr size_t kFlexChannel = 2;
constexpr size_t kFlexSpeed = 5;
constexpr size_t kFlexLevel = 6;
constexpr size_t kFlexBer = 7;
constexpr uint16_t kPocsagBaud = 1200;

PagingMessage ToEncoder(const ZevPagingMessage& m) {
  PagingMessage out;
  out.capcode = m.capcode;
  out.kind = m.numeric ? PagingKind::kNumeric : PagingKind::kAlphanumeric;
  out.text = m.text;
  return out;
}

// The sample messages, sent in turn on the paging channel: POCSAG batches
// queued from the whole list, FLEX frames filled from where the last left off.
class PagingSource {
 public:
  explicit PagingSource(uint64_t seed) : rng_(seed ^ 0x5A9E3779ull) {
    for (const ZevPagingMessage& m : SamplePagingMessages())
      (m.flex ? flex_ : pocsag_).push_back(ToEncoder(m));
  }
  std::vector<uint8_t> PocsagUnit(uint16_t channel, uint8_t level) {
    if (next_ >= batches_.size()) {
      batches_ = EncodePocsagBatches(pocsag_, kPocsagBaud);
      next_ = 0;
    }
    std::vector<uint8_t> unit = batches_[next_++];
    unit.resize(kPocsagUnitBytes, 0);
    putLe16(&unit[kPocsagChannel], channel);
    unit[kPocsagLevel] = level;
    unit[kPocsagBer] = static_cast<uint8_t>(rng_.Range(0, 3));
    return unit;
  }
  // Frames alternate between 1600 bit/s (one phase) and 3200 bit/s (two).
  std::vector<uint8_t> FlexUnit(uint16_t channel, uint8_t level) {
    const bool fast = (frames_++ % 2) == 1;
    const int speedType = fast ? 4 : 2;
    std::vector<PagingMessage> rest(flex_.begin() + static_cast<long>(flexNext_), flex_.end());
    size_t placed = 0;
    std::vector<uint8_t> unit = EncodeFlexFrame(rest, speedType, &placed);
    flexNext_ += placed;
    if (flexNext_ >= flex_.size() || placed == 0) flexNext_ = 0;
    unit.resize(std::max(unit.size(), kFlexHeaderBytes), 0);
    putLe16(&unit[kFlexChannel], channel);
    unit[kFlexSpeed] = fast ? 2 : 1;
    unit[kFlexLevel] = level;
    unit[kFlexBer] = static_cast<uint8_t>(rng_.Range(0, 3));
    return unit;
  }

 private:
  Rng rng_;
  std::vector<PagingMessage> pocsag_, flex_;
  std::vector<std::vector<uint8_t>> batches_;
  size_t next_ = 0;
  size_t flexNext_ = 0;
  long frames_ = 0;
};

// ---------------------------------------------------------------------------
// PC card log.

constexpr size_t kCardHeaderSize = 512;
constexpr uint8_t kCardPocsag = 0x97;
constexpr uint8_t kCardSetup = 0xA1;
constexpr uint8_t kCardMarker = 0xB2;
constexpr uint8_t kCardLevel = 0xC3;
constexpr uint8_t kCardGps = 0xD4;
constexpr uint8_t kCardTime = 0xE5;
constexpr uint8_t kCardFlex = 0xF6;
constexpr size_t kCardPocsagLevelBlock = 79;

class CardWriter {
 public:
  CardWriter(SampleFile& file, int firmware) : file_(file), firmware_(firmware) {}

  void Header() {
    std::vector<uint8_t> h(kCardHeaderSize, 0);
    const char* title = "ZEV PC CARD LOG";
    std::memcpy(h.data(), title, std::strlen(title));
    file_.Write(h);
  }
  void Setup(const Segment& s, const DrivePoint& p) {
    std::vector<uint8_t> r(1 + 25, 0);
    r[0] = kCardSetup;
    r[1] = static_cast<uint8_t>(p.day);
    r[2] = static_cast<uint8_t>(p.month);
    r[3] = static_cast<uint8_t>(p.year % 100);
    r[4] = s.mode;
    putLe16(&r[6], s.plan->first);
    putLe16(&r[10], s.plan->baseMHz);
    putLe16(&r[12], s.plan->fraction);
    putLe16(&r[14], s.plan->spacing);
    r[16] = s.plan->cardFlags;
    putLe16(&r[17], static_cast<uint16_t>(firmware_));
    r[25] = static_cast<uint8_t>(s.count);
    for (int k = 0; k < s.count; ++k) {
      uint8_t ch[2];
      putLe16(ch, ListChannel(s, k));
      r.insert(r.end(), ch, ch + 2);
    }
    End(r);
  }
  void Level(const Segment& s, const Scan& scan, const DrivePoint& p) {
    std::vector<uint8_t> r = Timed(kCardLevel, p);
    if (s.mode == kModePocsag) {
      r.push_back(static_cast<uint8_t>(s.count));
      r.resize(r.size() + kCardPocsagLevelBlock, 0);
    } else {
      r.push_back(static_cast<uint8_t>(scan.levels.size()));
      r.insert(r.end(), scan.levels.begin(), scan.levels.end());
      if (s.plan->cardFlags == 0x80) {
        for (size_t i = 0; i < scan.levels.size(); ++i) {
          r.push_back(scan.sat[i]);
          r.push_back(0);
          r.push_back(scan.vmac[i]);
        }
      }
    }
    End(r);
  }
  void Gps(const DrivePoint& p) {
    Position pos = PositionOf(p);
    std::vector<uint8_t> r = Timed(kCardGps, p);
    r.push_back(p.gpsValid ? 0x80 : 0x00);
    if (firmware_ < 103) {
      r.insert(r.end(), pos.latBcd.begin(), pos.latBcd.end());
      r.push_back(static_cast<uint8_t>(pos.latHemisphere));
      r.insert(r.end(), pos.lonBcd.begin(), pos.lonBcd.end());
      r.push_back(static_cast<uint8_t>(pos.lonHemisphere));
      r.resize(r.size() + 3, 0);
      r.push_back(toBcd(GpsHour(p)));
      r.push_back(toBcd(p.minute));
      r.push_back(toBcd(p.second));
    } else {
      size_t at = r.size();
      r.resize(at + 16, 0);
      putBe32(&r[at], static_cast<uint32_t>(pos.latMs));
      putBe32(&r[at + 4], static_cast<uint32_t>(pos.lonMs));
      putBe32(&r[at + 8], static_cast<uint32_t>(std::lround(p.altitudeM * 100.0)));
      putBe16(&r[at + 12], static_cast<uint16_t>(VelocityUnits(p)));
      r.push_back(static_cast<uint8_t>(GpsHour(p)));
      r.push_back(static_cast<uint8_t>(p.minute));
      r.push_back(static_cast<uint8_t>(p.second));
    }
    End(r);
  }
  void Marker(const DrivePoint& p, uint16_t odometer, uint16_t marker) {
    std::vector<uint8_t> r = Timed(kCardMarker, p);
    r.resize(r.size() + 4);
    putLe16(&r[4], odometer);
    putLe16(&r[6], marker);
    End(r);
  }
  void Clock(const DrivePoint& p) {
    std::vector<uint8_t> r = Timed(kCardTime, p);
    r.resize(r.size() + 4, 0);
    End(r);
  }
  void Pocsag(const std::vector<uint8_t>& unit) {
    std::vector<uint8_t> r{kCardPocsag};
    r.insert(r.end(), unit.begin(), unit.end());
    r.resize(1 + 81, 0);
    file_.Write(r);
  }
  // The unit is the 18-byte frame header with its data; two closing bytes follow.
  void Flex(const std::vector<uint8_t>& unit) {
    std::vector<uint8_t> r{kCardFlex};
    r.insert(r.end(), unit.begin(), unit.end());
    End(r);
  }

 private:
  static std::vector<uint8_t> Timed(uint8_t type, const DrivePoint& p) {
    return {type, static_cast<uint8_t>(p.hour), static_cast<uint8_t>(p.minute),
            static_cast<uint8_t>(p.second)};
  }
  void End(std::vector<uint8_t>& r) {
    r.push_back(0);
    r.push_back(0);
    file_.Write(r);
  }
  SampleFile& file_;
  int firmware_;
};

// ---------------------------------------------------------------------------
// PC dump log.

constexpr uint8_t kSync = 0xAA;
constexpr uint8_t kDumpSignature = 15;
constexpr uint8_t kDumpSetup = 0x20;
constexpr uint8_t kDumpGps = 0x22;
constexpr size_t kDumpGpsSize = 72;

class DumpWriter {
 public:
  DumpWriter(SampleFile& file, int firmware) : file_(file), firmware_(firmware) {}

  void Signature() {
    std::vector<uint8_t> r{kDumpSignature, 'Q', 'V', 'R', 'Z', 'E', 'V'};
    r.resize(16, 0);
    Frame(r);
  }
  void Setup(const Segment& s) {
    std::vector<uint8_t> r(20, 0);
    r[0] = kDumpSetup;
    putLe16(&r[1], static_cast<uint16_t>(firmware_));
    putLe16(&r[9], s.plan->first);
    putLe16(&r[11], static_cast<uint16_t>(s.plan->first + 1000));
    putLe16(&r[13], s.plan->baseMHz);
    putLe16(&r[15], s.plan->fraction);
    putLe16(&r[17], s.plan->spacing);
    r[19] = s.plan->dumpNumbers;
    Frame(r);
  }
  void Gps(const DrivePoint& p) {
    Position pos = PositionOf(p);
    std::vector<uint8_t> r(kDumpGpsSize, 0);
    r[0] = kDumpGps;
    r[5] = static_cast<uint8_t>(GpsHour(p));
    r[6] = static_cast<uint8_t>(p.minute);
    r[7] = static_cast<uint8_t>(p.second);
    putBe32(&r[12], static_cast<uint32_t>(pos.latMs));
    putBe32(&r[16], static_cast<uint32_t>(pos.lonMs));
    putBe32(&r[20], static_cast<uint32_t>(std::lround(p.altitudeM * 100.0)));
    putBe32(&r[28], VelocityUnits(p));
    r[69] = p.gpsValid ? 0x30 : 0x00;
    Frame(r);
  }
  // One measurement record; `paging` replaces the channel entries in the
  // paging modes.
  void Measurement(const Segment& s, const Scan& scan, const DrivePoint& p, uint16_t odometer,
                   uint16_t marker, const std::vector<uint8_t>& paging) {
    const bool bcd = firmware_ < 103;
    std::vector<uint8_t> r(10, 0);
    r[0] = s.mode;
    putLe16(&r[1], static_cast<uint16_t>(firmware_));
    r[9] = p.gpsValid ? 0x80 : 0x00;
    if (bcd) {
      Position pos = PositionOf(p);
      r.insert(r.end(), pos.latBcd.begin(), pos.latBcd.end());
      r.push_back(static_cast<uint8_t>(pos.latHemisphere));
      r.insert(r.end(), pos.lonBcd.begin(), pos.lonBcd.end());
      r.push_back(static_cast<uint8_t>(pos.lonHemisphere));
      r.resize(r.size() + 3, 0);
    } else {
      r.resize(r.size() + 16, 0);
    }
    size_t h = r.size();
    r.resize(h + 26, 0);
    r[h] = toBcd(GpsHour(p));
    r[h + 1] = toBcd(p.minute);
    r[h + 2] = toBcd(p.second);
    putLe16(&r[h + 4], odometer);
    putLe16(&r[h + 6], marker);
    if (bcd) {
      putLe16(&r[h + 8], s.plan->first);
      putLe16(&r[h + 10], static_cast<uint16_t>(s.plan->first + 1000));
      putLe16(&r[h + 12], s.plan->baseMHz);
      putLe16(&r[h + 14], s.plan->fraction);
      putLe16(&r[h + 16], s.plan->spacing);
    }
    const bool tones = s.plan->cardFlags == 0x80;
    r[h + 18] = bcd ? s.plan->dumpNumbers : (tones ? 0x80 : 0x00);
    r[h + 19] = static_cast<uint8_t>(p.second);
    r[h + 20] = static_cast<uint8_t>(p.minute);
    r[h + 21] = static_cast<uint8_t>(p.hour);
    r[h + 22] = static_cast<uint8_t>(p.day);
    r[h + 23] = static_cast<uint8_t>(p.month);
    r[h + 24] = static_cast<uint8_t>(p.year % 100);
    r[h + 25] = static_cast<uint8_t>(scan.count);
    if (s.mode == kModePocsag || s.mode == kModeFlex) {
      r.insert(r.end(), paging.begin(), paging.end());
    } else {
      for (int k = 0; k < scan.count; ++k) {
        uint8_t e[5] = {scan.levels[static_cast<size_t>(k)], 0, 0, 0, 0};
        putLe16(&e[3], scan.channels[static_cast<size_t>(k)]);
        r.insert(r.end(), e, e + 5);
      }
      if (tones) {
        for (int k = 0; k < scan.count; ++k) {
          r.push_back(scan.sat[static_cast<size_t>(k)]);
          r.push_back(0);
          r.push_back(scan.vmac[static_cast<size_t>(k)]);
        }
      }
    }
    Frame(r);
  }
  // A burst of line noise between frames, as a data link delivers now and then.
  void Noise(Rng& rng) {
    std::array<uint8_t, 3> junk{};
    for (auto& b : junk) b = static_cast<uint8_t>(rng.Range(0, 0xA9));
    file_.Write(junk.data(), junk.size());
  }

 private:
  void Frame(const std::vector<uint8_t>& record) {
    uint8_t head[3] = {kSync, 0, 0};
    putLe16(&head[1], static_cast<uint16_t>(record.size() + 1));
    file_.Write(head, sizeof head);
    file_.Write(record);
  }
  SampleFile& file_;
  int firmware_;
};

// The drive, shared by both framings: calls the writer's hooks in file order.
template <typename Hooks>
void Drive(const SampleOptions& options, Hooks& hooks) {
  DriveModel model(options.seed);
  Rng rng(options.seed * 0x9E3779B97F4A7C15ull + 0x2E5);
  const double seconds = std::max(0.0, options.seconds);
  const double segmentSeconds = std::clamp(seconds / 8.0, 4.0, 60.0);
  const auto ticks = static_cast<long>(seconds / kTick);
  int segment = -1;
  uint16_t marker = 0;
  uint16_t odometer = 0;
  double nextMarker = 3.0 + rng.Uniform() * 4.0;
  for (long i = 0; i < ticks; ++i) {
    const double t = static_cast<double>(i) * kTick;
    const DrivePoint p = model.At(t);
    const Segment& s = kCycle[static_cast<size_t>(segment < 0 ? 0 : segment) % kCycle.size()];
    const int now = static_cast<int>(t / segmentSeconds);
    const bool wholeSecond = i % 2 == 0;
    odometer = static_cast<uint16_t>(odometer + std::lround(p.speedMps * kTick));
    if (t >= nextMarker) {
      ++marker;
      nextMarker = t + 5.0 + rng.Uniform() * 6.0;
      hooks.Marker(p, odometer, marker);
    }
    if (now != segment) {
      segment = now;
      hooks.Setup(kCycle[static_cast<size_t>(segment) % kCycle.size()], p);
      continue;
    }
    if (wholeSecond) hooks.Gps(p, static_cast<long>(t) % kClockEvery == 0);
    hooks.Level(s, Measure(s, model, p, rng), p, odometer, marker, wholeSecond);
  }
}

struct CardHooks {
  CardWriter& w;
  PagingSource& paging;
  void Marker(const DrivePoint& p, uint16_t odometer, uint16_t marker) {
    w.Marker(p, odometer, marker);
  }
  // The receiver stamps its clock before each new plan.
  void Setup(const Segment& s, const DrivePoint& p) {
    w.Clock(p);
    w.Setup(s, p);
  }
  void Gps(const DrivePoint& p, bool clock) {
    if (clock) w.Clock(p);
    w.Gps(p);
  }
  void Level(const Segment& s, const Scan& scan, const DrivePoint& p, uint16_t, uint16_t,
             bool wholeSecond) {
    const uint16_t ch = ListChannel(s, 0);
    if (wholeSecond && s.mode == kModePocsag)
      w.Pocsag(paging.PocsagUnit(ch, scan.levels.empty() ? 90 : scan.levels[0]));
    if (wholeSecond && s.mode == kModeFlex)
      w.Flex(paging.FlexUnit(ch, scan.levels.empty() ? 90 : scan.levels[0]));
    w.Level(s, scan, p);
  }
};

struct DumpHooks {
  DumpWriter& w;
  PagingSource& paging;
  Rng& rng;
  int firmware;
  long frames = 0;
  void Marker(const DrivePoint&, uint16_t, uint16_t) {}  // markers ride in the measurements
  void Setup(const Segment& s, const DrivePoint&) { w.Setup(s); }
  void Gps(const DrivePoint& p, bool) {
    if (firmware >= 103) w.Gps(p);
  }
  void Level(const Segment& s, const Scan& scan, const DrivePoint& p, uint16_t odometer,
             uint16_t marker, bool wholeSecond) {
    if (++frames % 37 == 0) w.Noise(rng);
    const uint16_t ch = ListChannel(s, 0);
    const uint8_t level = scan.levels.empty() ? 90 : scan.levels[0];
    std::vector<uint8_t> unit;
    if (s.mode == kModePocsag) {
      if (!wholeSecond) return;
      unit = paging.PocsagUnit(ch, level);
    } else if (s.mode == kModeFlex) {
      if (!wholeSecond) return;
      unit = paging.FlexUnit(ch, level);
    }
    // The dump log has no fast-fade mode: those seconds go out as 1 channel.
    Segment sent = s;
    if (s.mode == kModeFastFade) sent.mode = kMode1Ch;
    Scan first = scan;
    first.levels.resize(static_cast<size_t>(scan.count));
    w.Measurement(sent, first, p, odometer, marker, unit);
  }
};
}  // namespace

const std::vector<ZevPagingMessage>& SamplePagingMessages() {
  static const std::vector<ZevPagingMessage> messages = {
      {false, true, 1234567, "5551234"},
      {false, false, 200017, "MEETING MOVED TO 3PM ROOM 4"},
      {false, true, 8, "911-0 [U]"},
      {false, false, 1048575,
       "CALL DISPATCH: UNIT 12 RESPOND TO 1400 MAIN ST, SMOKE REPORTED, CROSS STREET ELM AVE"},
      {true, true, 1, "0123456789"},
      {true, false, 100000, "FLEX TEST MESSAGE"},
      {true, false, 2100000,
       "LONG ADDRESS PAGE: THE 10:30 REVIEW IS POSTPONED TO THURSDAY, PLEASE CONFIRM BY REPLY"},
      {true, true, 1933312, "555 0199"},
  };
  return messages;
}

int ZevFirmware(const std::string& option) {
  if (option.empty()) return 105;
  int value = 0;
  bool any = false;
  for (char c : option) {
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      any = true;
    }
  }
  return any ? value : 105;
}

bool WriteZevCardSample(const std::string& path, const SampleOptions& options) {
  SampleFile file(path);
  if (!file.IsOpen()) return false;
  CardWriter writer(file, ZevFirmware(options.firmware));
  PagingSource paging(options.seed);
  writer.Header();
  CardHooks hooks{writer, paging};
  Drive(options, hooks);
  return file.Close();
}

bool WriteZevDumpSample(const std::string& path, const SampleOptions& options) {
  SampleFile file(path);
  if (!file.IsOpen()) return false;
  const int firmware = ZevFirmware(options.firmware);
  DumpWriter writer(file, firmware);
  PagingSource paging(options.seed);
  Rng noise(options.seed + 0xD0);
  writer.Signature();
  DumpHooks hooks{writer, paging, noise, firmware};
  Drive(options, hooks);
  return file.Close();
}

}  // namespace morphel::synth
