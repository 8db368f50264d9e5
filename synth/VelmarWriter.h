#pragma once
// Synthetic Velmar log: an identification record, then scan-table segments
// between fast-data segments (ten records a second) from the unit's two
// receivers (cellular and SMR, the latter with the 10 kHz offset and channel
// translation of flag bit 6), with levels from the drive model, marker
// presses and short losses of the GPS fix.

#include <string>

#include "synth/SampleFile.h"

namespace morphel::synth {

bool WriteVelmarSample(const std::string& path, const SampleOptions& options);

}  // namespace morphel::synth
