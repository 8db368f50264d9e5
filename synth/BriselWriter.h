#pragma once
// Synthetic Brisel logs: a drive with both receivers measuring in turn a
// single frequency, a list of ten frequencies and a swept table of channels.

#include <string>

#include "synth/SampleFile.h"

namespace morphel::synth {

// Writes a Brisel log; pcCard selects the memory-card variant (10-byte
// header, file padded to whole sectors) instead of the copied log (6-byte
// header). Deterministic for a given seed. False if the file cannot be
// written.
bool WriteBriselSample(const std::string& path, const SampleOptions& options, bool pcCard);

}  // namespace morphel::synth
