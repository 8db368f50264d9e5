#pragma once
// Synthetic Zev logs, in both of the receiver's framings: the PC card log
// (".bin", 512-byte header and typed records) and the PC dump log (".zev",
// sync-framed records). Both follow the drive model through a cycle of
// measurement modes (cellular 20 channel with SAT/DCC and VMAC, 1 channel,
// C/I, variable sweep, fast fade, POCSAG and FLEX paging), with several scans
// per level record, GPS fixes, markers and clock records, and real paging
// traffic: the messages of SamplePagingMessages() encoded into POCSAG batches
// and FLEX frames.
//
// options.firmware selects the receiver firmware ("1.02": BCD positions in
// the level stream; "1.05", the default: binary GPS values).

#include <cstdint>
#include <string>
#include <vector>

#include "synth/SampleFile.h"

namespace morphel::synth {

// One paging message of the samples.
struct ZevPagingMessage {
  bool flex = false;
  bool numeric = false;
  uint32_t capcode = 0;
  std::string text;
};

// The messages the samples carry, in the order they are sent; each is sent
// once per paging segment, cycling while the segment lasts.
const std::vector<ZevPagingMessage>& SamplePagingMessages();

// Firmware number (105 for "1.05") of an options string; 105 when empty.
int ZevFirmware(const std::string& option);

bool WriteZevCardSample(const std::string& path, const SampleOptions& options);
bool WriteZevDumpSample(const std::string& path, const SampleOptions& options);

}  // namespace morphel::synth
