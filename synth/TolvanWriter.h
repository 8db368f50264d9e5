#pragma once
// Synthetic Tolvan log: an identification record, then scan-table segments
// between fast-data segments (ten records a second) from four receivers on
// cellular, SMR and PCS bands, with levels from the drive model, marker
// presses and short losses of the GPS fix. Firmware "1.25" (the default)
// and later write binary GPS headers; earlier firmware ("1.20") BCD headers.

#include <string>

#include "synth/SampleFile.h"

namespace morphel::synth {

bool WriteTolvanSample(const std::string& path, const SampleOptions& options);

}  // namespace morphel::synth
