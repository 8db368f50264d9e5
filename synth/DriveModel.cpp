#include "synth/DriveModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace morphel::synth {

uint64_t Rng::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Rng::Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

double Rng::Normal() {
  double u1 = Uniform();
  double u2 = Uniform();
  if (u1 < 1e-300) u1 = 1e-300;
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

int Rng::Range(int lo, int hi) {
  if (hi <= lo) return lo;
  return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
}

namespace {
constexpr double kMetresPerDegree = 111320.0;
constexpr double kLoopSeconds = 1800.0;  // one lap of the loop
}  // namespace

DriveModel::DriveModel(uint64_t seed) : seed_(seed) {
  Rng rng(seed ^ 0x5eed);
  // A town in the northern and western hemispheres, varied a little by seed.
  startLat_ = 40.70 + rng.Uniform() * 0.2;
  startLon_ = -74.10 + rng.Uniform() * 0.2;
  radiusM_ = 2500.0 + rng.Uniform() * 1500.0;
  startSeconds_ = 9 * 3600 + 58 * 60 + rng.Range(0, 59);
  for (int i = 0; i < 6; ++i) {
    double angle = 2 * std::numbers::pi * i / 6 + rng.Uniform();
    double dist = radiusM_ * (0.4 + rng.Uniform());
    Transmitter t;
    t.latitude = startLat_ + dist * std::cos(angle) / kMetresPerDegree;
    t.longitude =
        startLon_ + dist * std::sin(angle) / (kMetresPerDegree * std::cos(startLat_ * std::numbers::pi / 180));
    t.eirpDbm = 50.0 + rng.Uniform() * 10.0;
    transmitters_.push_back(t);
  }
}

DrivePoint DriveModel::At(double seconds) const {
  DrivePoint p;
  p.seconds = seconds;
  double phase = 2 * std::numbers::pi * std::fmod(seconds, kLoopSeconds) / kLoopSeconds;
  // A wobbly loop so that speed and heading change along the drive.
  double r = radiusM_ * (1.0 + 0.15 * std::sin(3 * phase));
  double north = r * std::cos(phase);
  double east = r * std::sin(phase);
  double cosLat = std::cos(startLat_ * std::numbers::pi / 180);
  p.latitude = startLat_ + north / kMetresPerDegree;
  p.longitude = startLon_ + east / (kMetresPerDegree * cosLat);
  p.altitudeM = 30.0 + 12.0 * std::sin(phase * 2);
  p.speedMps = 2 * std::numbers::pi * radiusM_ / kLoopSeconds * (1.0 + 0.3 * std::sin(5 * phase));
  p.headingDeg = std::fmod(phase * 180 / std::numbers::pi + 90.0 + 360.0, 360.0);
  // The receiver loses the fix briefly now and then.
  p.gpsValid = std::fmod(seconds, 600.0) >= 8.0;

  double tod = startSeconds_ + seconds;
  long days = static_cast<long>(tod / 86400);
  long s = static_cast<long>(tod) % 86400;
  p.hour = static_cast<int>(s / 3600);
  p.minute = static_cast<int>(s / 60 % 60);
  p.second = static_cast<int>(s % 60);
  p.year = 2026;
  p.month = 11;
  p.day = 23 + static_cast<int>(days % 7);
  return p;
}

double DriveModel::LevelDbm(double freqMHz, int channel, const DrivePoint& p, Rng& rng) const {
  const Transmitter& t =
      transmitters_[static_cast<size_t>(std::abs(channel * 7 + 3)) % transmitters_.size()];
  double cosLat = std::cos(p.latitude * std::numbers::pi / 180);
  double dn = (p.latitude - t.latitude) * kMetresPerDegree;
  double de = (p.longitude - t.longitude) * kMetresPerDegree * cosLat;
  double dKm = std::max(0.05, std::sqrt(dn * dn + de * de) / 1000.0);
  double f = std::max(1.0, freqMHz);
  // Urban path loss with distance exponent 3.5.
  double loss = 32.45 + 20 * std::log10(f) + 35 * std::log10(dKm);
  // Slow shadowing: a smooth function of position and channel.
  double shadow = 6.0 * std::sin(p.latitude * 2900.0 + channel) * std::cos(p.longitude * 3100.0);
  // Rayleigh fading: power of a complex Gaussian, in dB.
  double a = rng.Normal(), b = rng.Normal();
  double fade = 10 * std::log10(std::max(1e-4, (a * a + b * b) / 2));
  return t.eirpDbm - loss + shadow + fade;
}

uint8_t DriveModel::LevelByte(double freqMHz, int channel, const DrivePoint& p, Rng& rng) const {
  double magnitude = -LevelDbm(freqMHz, channel, p, rng);
  return static_cast<uint8_t>(std::clamp(std::lround(magnitude), 20L, 127L));
}

}  // namespace morphel::synth
