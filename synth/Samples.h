#pragma once
// One entry point for every synthetic log writer, by product name.

#include <string>
#include <vector>

#include "synth/SampleFile.h"

namespace morphel::synth {

// Product names that have a sample writer, in list order.
std::vector<std::string> SampleProducts();
// Writes a sample log of the named product; false with a message in error.
bool WriteSample(const std::string& product, const std::string& path, const SampleOptions& options,
                 std::string& error);

}  // namespace morphel::synth
