#include "synth/Samples.h"

#include <functional>
#include <utility>

#include "synth/BriselWriter.h"
#include "synth/SkarnWriter.h"
#include "synth/Tolvan2Writer.h"
#include "synth/TolvanWriter.h"
#include "synth/VelmarWriter.h"
#include "synth/ZevWriter.h"

namespace morphel::synth {

namespace {
using Writer = std::function<bool(const std::string&, const SampleOptions&)>;

const std::vector<std::pair<std::string, Writer>>& Writers() {
  static const std::vector<std::pair<std::string, Writer>> writers = {
      {"tolvan", WriteTolvanSample},
      {"velmar", WriteVelmarSample},
      {"zev-card", WriteZevCardSample},
      {"zev-dump", WriteZevDumpSample},
      {"skarn", WriteSkarnSample},
      {"tolvan-new", WriteTolvan2Sample},
      {"brisel",
       [](const std::string& path, const SampleOptions& o) { return WriteBriselSample(path, o, false); }},
      {"brisel-card",
       [](const std::string& path, const SampleOptions& o) { return WriteBriselSample(path, o, true); }},
  };
  return writers;
}
}  // namespace

std::vector<std::string> SampleProducts() {
  std::vector<std::string> names;
  for (const auto& w : Writers()) names.push_back(w.first);
  return names;
}

bool WriteSample(const std::string& product, const std::string& path, const SampleOptions& options,
                 std::string& error) {
  for (const auto& w : Writers()) {
    if (w.first != product) continue;
    if (!w.second(path, options)) {
      error = "cannot write " + path;
      return false;
    }
    return true;
  }
  error = "no sample writer for product '" + product + "'";
  return false;
}

}  // namespace morphel::synth
