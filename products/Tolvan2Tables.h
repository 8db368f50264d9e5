#pragma once
// Band setups and lookup tables of the Tolvan receivers with firmware 1.27 and
// later: how a channel index of a band turns into a frequency and a printed
// channel number, and the compass points of the GPS heading.

#include <array>
#include <cstdint>
#include <string_view>

#include "core/Bytes.h"

namespace morphel::tolvan2 {

// Layout of one receiver's band setup (14 bytes; scan headers carry bytes
// 2..13 of it, without the channel word).
constexpr size_t kBandSetupSize = 14;
constexpr size_t kScanBandSetupSize = 12;
constexpr size_t kBandChannelOffset = 0;
constexpr size_t kBandFlagsOffset = 2;
constexpr size_t kBandBaseMHzOffset = 3;
constexpr size_t kBandBaseFractionOffset = 5;
constexpr size_t kBandStepOffset = 7;
constexpr size_t kBandFirstOffset = 9;
constexpr size_t kBandLastOffset = 11;
constexpr size_t kBandDecodeOffset = 13;

constexpr uint8_t kCellularNumbering = 0x40;  // flags bit 6
constexpr uint8_t kUpperBand = 0x80;          // flags bit 7: 1000 MHz above the base
constexpr uint8_t kSatVmacDecoded = 0x40;     // decode flags bit 6
constexpr uint8_t kDccDecoded = 0x80;         // decode flags bit 7

// The step word 62 stands for exactly 6.25 kHz (it cannot be written in
// units of 0.1 kHz).
constexpr uint16_t kStep6k25Word = 62;
constexpr double kStep6k25MHz = 0.00625;
constexpr double kWordUnitMHz = 0.0001;  // base fraction and step unit

// Cellular numbering: the first 34 indices of the band are channels 990 up,
// index 35 is channel 1.
constexpr int kCellularSplit = 34;
constexpr int kCellularLowOffset = 989;

struct BandSetup {
  uint16_t channel = 0;  // channel index sampled by a fast block; 0 in scan setups
  uint8_t flags = 0;
  uint16_t baseMHz = 0;
  uint16_t baseFraction = 0;  // units of 0.0001 MHz
  uint16_t step = 0;          // units of 0.1 kHz; 0 = receiver not in use
  uint16_t firstChannel = 0;
  uint16_t lastChannel = 0;
  uint8_t decodeFlags = 0;

  // From the 14 bytes of a fast block.
  static BandSetup FromFastBytes(const uint8_t* p) {
    BandSetup b = FromScanBytes(p + kBandFlagsOffset);
    b.channel = le16(p + kBandChannelOffset);
    return b;
  }
  // From the 12 bytes of a scan header (bytes 2..13 of the full setup).
  static BandSetup FromScanBytes(const uint8_t* p) {
    constexpr size_t kShift = kBandFlagsOffset;
    BandSetup b;
    b.flags = p[kBandFlagsOffset - kShift];
    b.baseMHz = le16(p + kBandBaseMHzOffset - kShift);
    b.baseFraction = le16(p + kBandBaseFractionOffset - kShift);
    b.step = le16(p + kBandStepOffset - kShift);
    b.firstChannel = le16(p + kBandFirstOffset - kShift);
    b.lastChannel = le16(p + kBandLastOffset - kShift);
    b.decodeFlags = p[kBandDecodeOffset - kShift];
    return b;
  }

  bool InUse() const { return step != 0; }
  bool InBand(uint16_t k) const { return k >= firstChannel && k <= lastChannel; }

  double StepMHz() const { return step == kStep6k25Word ? kStep6k25MHz : step * kWordUnitMHz; }
  // Frequency of channel index k in MHz.
  double FrequencyMHz(uint16_t k) const {
    const int offset = static_cast<int>(k) - static_cast<int>(firstChannel);
    return offset * StepMHz() + baseMHz + baseFraction * kWordUnitMHz;
  }
  // The frequency the post-processing layouts report: the step word taken
  // literally, plus 1000 MHz for bands flagged as upper.
  double ReportFrequencyMHz(uint16_t k) const {
    const int offset = static_cast<int>(k) - static_cast<int>(firstChannel);
    double f = offset * step * kWordUnitMHz + baseMHz + baseFraction * kWordUnitMHz;
    if (flags & kUpperBand) f += 1000.0;
    return f;
  }
  // Channel number as printed.
  long PrintedChannel(uint16_t k) const {
    if (!(flags & kCellularNumbering)) return k;
    return k > kCellularSplit ? static_cast<long>(k) - kCellularSplit
                              : static_cast<long>(k) + kCellularLowOffset;
  }
};

// Compass points in steps of 22.5 degrees; the last entry takes 360.0.
constexpr std::array<std::string_view, 17> kCompass = {"N",  "NNE", "NE", "ENE", "E",  "ESE",
                                                       "SE", "SSE", "S",  "SSW", "SW", "WSW",
                                                       "W",  "WNW", "NW", "NNW", "N"};
constexpr int kHeadingStep = 225;  // tenths of a degree per compass point

// The nearest compass point of a heading word in tenths of a degree: 350.0
// is N and 20.0 NNE (C division, which truncates toward zero); headings
// outside 0..360.0 clamp to the ends.
inline std::string_view CompassPoint(int16_t heading) {
  const int32_t h = heading;
  int32_t index = (h + kHeadingStep / 2) / kHeadingStep;
  if (index < 0) index = 0;
  if (index > 16) index = 16;
  return kCompass[static_cast<size_t>(index)];
}

}  // namespace morphel::tolvan2
