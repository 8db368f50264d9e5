#pragma once
// Turning command-line words into window settings: field lists, receiver
// boxes, data boxes and delimiters. Each parser reports the bad value.

#include <optional>
#include <string>
#include <vector>

#include "core/Settings.h"

namespace morphel::cli {

std::vector<std::string> SplitList(const std::string& text);

// Field names (whatever their case and surrounding blanks) or ids, each one
// the product offers; error names the bad entry and the closest offered names.
std::optional<std::vector<int>> ParseFields(const std::string& list,
                                            const std::vector<int>& available, std::string& error);
// Up to three offered field names closest to a name typed by hand.
std::vector<std::string> ClosestFields(const std::string& typed, const std::vector<int>& available);
// Segment numbers and ranges ("1-5,8"), each within 1..count, in the order
// given; error names the bad entry.
std::optional<std::vector<int>> ParseSegments(const std::string& list, int count,
                                              std::string& error);
// "1,3" or "none" into the four receiver boxes.
bool ParseReceivers(const std::string& list, Settings& s, std::string& error);
// Subset of freq,channel,rssi,sat,vmac into the Field Data boxes.
bool ParseData(const std::string& list, Settings& s, std::string& error);
// comma|semicolon|tab|space or one other character.
bool ParseDelimiter(const std::string& word, Settings& s, std::string& error);

}  // namespace morphel::cli
