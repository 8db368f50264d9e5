#pragma once
// Synthetic Skarn log: an information record, a frequency plan, and data
// records in the receiver's three scan modes (one channel, three channels,
// scan table) in alternating segments, about five records a second, with
// levels from the drive model and marker presses along the way.

#include <string>

#include "synth/SampleFile.h"

namespace morphel::synth {

// Writes the sample log to path; deterministic for a given seed. False when
// the file cannot be written.
bool WriteSkarnSample(const std::string& path, const SampleOptions& options);

}  // namespace morphel::synth
