#pragma once
// Synthetic log of a Tolvan receiver with firmware 1.27 or later: the file
// header, then fast-data segments (ten records a second, 512 samples per
// receiver) alternating with scan segments (a scan header every second with
// control-channel, voice-channel and sweep readings), four receivers on a
// cellular control band, a 6.25 kHz band, a cellular voice band and a
// 12.5 kHz band, levels from the drive model and marker presses.

#include <string>

#include "synth/SampleFile.h"

namespace morphel::synth {

// Writes the sample log to path; deterministic for a given seed. False when
// the file cannot be written.
bool WriteTolvan2Sample(const std::string& path, const SampleOptions& options);

}  // namespace morphel::synth
