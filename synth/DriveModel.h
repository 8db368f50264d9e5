#pragma once
// A deterministic drive test for the sample logs: a vehicle driving a loop
// through a town with a handful of transmitters, each channel served by one
// of them. Signal levels follow distance path loss with slow shadowing and
// fast (Rayleigh) fading, so averages and best-server choices mean something.

#include <cstdint>
#include <vector>

namespace morphel::synth {

// Small, fast, portable generator (splitmix64): the same seed gives the same
// log on every machine and library.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  double Uniform();  // [0, 1)
  double Normal();   // mean 0, deviation 1
  int Range(int lo, int hi);  // lo..hi inclusive

 private:
  uint64_t state_;
};

struct DrivePoint {
  double seconds = 0;  // since the start of the drive
  double latitude = 0;   // degrees, north positive
  double longitude = 0;  // degrees, east positive
  double altitudeM = 0;
  double speedMps = 0;
  double headingDeg = 0;  // from north
  bool gpsValid = true;
  int year = 0, month = 0, day = 0;  // year in four digits
  int hour = 0, minute = 0, second = 0;
};

struct Transmitter {
  double latitude = 0, longitude = 0;
  double eirpDbm = 0;
};

class DriveModel {
 public:
  explicit DriveModel(uint64_t seed);

  DrivePoint At(double seconds) const;
  // Received level in dBm (negative) of a carrier on freqMHz served by the
  // transmitter of `channel`, at point p; fast fading drawn from rng.
  double LevelDbm(double freqMHz, int channel, const DrivePoint& p, Rng& rng) const;
  // Level as a logged magnitude byte (dB below 1 mW, 20..127).
  uint8_t LevelByte(double freqMHz, int channel, const DrivePoint& p, Rng& rng) const;

  const std::vector<Transmitter>& Transmitters() const { return transmitters_; }
  uint64_t Seed() const { return seed_; }

 private:
  uint64_t seed_;
  double startLat_, startLon_;
  double radiusM_;
  double startSeconds_;  // time of day at the start
  std::vector<Transmitter> transmitters_;
};

}  // namespace morphel::synth
