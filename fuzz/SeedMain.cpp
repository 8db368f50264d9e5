// Writes the seed corpora of the fuzz harnesses: short sample logs of every
// product from the synthetic writers, and paging units and GPS blocks from
// their encoders. Usage: morphel_fuzz_seeds <folder>; one sub-folder
// corpus-<harness> per harness.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "products/ProductTable.h"
#include "synth/GpsBlockWriter.h"
#include "synth/PagingEncoder.h"
#include "synth/SampleFile.h"

namespace fs = std::filesystem;
using namespace morphel::synth;

namespace {

struct ReaderSeeds {
  const char* harness;
  std::vector<const char*> products;
};

const std::vector<ReaderSeeds> kReaderSeeds = {{"tolvan", {"tolvan"}},
                                               {"velmar", {"velmar"}},
                                               {"zev_card", {"zev-card"}},
                                               {"zev_dump", {"zev-dump"}},
                                               {"skarn", {"skarn"}},
                                               {"tolvan2", {"tolvan-new"}},
                                               {"brisel", {"brisel", "brisel-card"}}};

void Save(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Load(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

bool WriteReaderSeeds(const fs::path& root) {
  const fs::path detect = root / "corpus-detect";
  fs::create_directories(detect);
  for (const ReaderSeeds& r : kReaderSeeds) {
    const fs::path dir = root / (std::string("corpus-") + r.harness);
    fs::create_directories(dir);
    for (const char* product : r.products) {
      for (double seconds : {1.0, 3.0}) {
        SampleOptions options;
        options.seconds = seconds;
        options.seed = static_cast<uint64_t>(seconds) + 7;
        const fs::path file =
            dir / (std::string(product) + "-" + std::to_string(static_cast<int>(seconds)));
        std::string error;
        if (!WriteSample(product, file.string(), options, error)) {
          std::cerr << error << "\n";
          return false;
        }
        // Detection reads only the head of a log.
        std::vector<uint8_t> head = Load(file);
        head.resize(std::min<size_t>(head.size(), 512));
        Save(detect / file.filename(), head);
      }
    }
  }
  return true;
}

void WritePagingSeeds(const fs::path& root) {
  const std::vector<PagingMessage> messages = {
      {1234567, PagingKind::kNumeric, "5551234 U-[]"},
      {8, PagingKind::kTone, ""},
      {20001, PagingKind::kAlphanumeric, "Meet at the north gate at 10, bring the spare radio"},
      {2068490, PagingKind::kAlphanumeric,
       "A long message that runs well past eighty characters so that it continues on a second "
       "line of the output"},
      {77, PagingKind::kNumeric, "0123456789"}};
  const fs::path pocsag = root / "corpus-pocsag";
  const fs::path flex = root / "corpus-flex";
  fs::create_directories(pocsag);
  fs::create_directories(flex);
  std::vector<uint8_t> units;
  for (const auto& batch : EncodePocsagBatches(messages, 1200)) {
    units.insert(units.end(), batch.begin(), batch.end());
  }
  Save(pocsag / "messages", units);
  for (int speedType : {0, 4, 8}) {
    std::vector<PagingMessage> flexMessages;
    for (const auto& m : messages)
      if (m.capcode != 8 && (m.capcode <= 1933312 || m.capcode >= 2068481))
        flexMessages.push_back(m);
    Save(flex / ("speed" + std::to_string(speedType)), EncodeFlexFrame(flexMessages, speedType));
  }
}

void WriteGpsSeeds(const fs::path& root) {
  const fs::path dir = root / "corpus-gps";
  fs::create_directories(dir);
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 3; ++i) {
    GpsFix fix;
    fix.hour = 10 + i;
    fix.latitude = 45.5 - i;
    fix.longitude = -74.25 + i;
    fix.rawLatitude = fix.latitude + 0.001;
    fix.rawLongitude = fix.longitude;
    fix.statusCode = static_cast<uint8_t>(5 + i);
    fix.heading = static_cast<uint16_t>(1200 * i);
    bytes.push_back(0xFF);  // a whole block follows (see FuzzGps)
    const auto block = BuildGpsBlock(fix);
    bytes.insert(bytes.end(), block.begin(), block.end());
  }
  Save(dir / "fixes", bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: morphel_fuzz_seeds <folder>\n";
    return 2;
  }
  const fs::path root = argv[1];
  if (!WriteReaderSeeds(root)) return 1;
  WritePagingSeeds(root);
  WriteGpsSeeds(root);
  return 0;
}
