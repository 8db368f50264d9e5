#include "cli/Options.h"

#include <algorithm>
#include <charconv>

#include "products/FieldCatalog.h"

namespace morphel::cli {

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == ',') {
      parts.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  parts.push_back(current);
  for (auto& p : parts) {
    while (!p.empty() && p.front() == ' ') p.erase(p.begin());
    while (!p.empty() && p.back() == ' ') p.pop_back();
  }
  return parts;
}

namespace {
std::optional<int> ParseNumber(const std::string& s) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}
}  // namespace

std::optional<std::vector<int>> ParseFields(const std::string& list,
                                            const std::vector<int>& available, std::string& error) {
  std::vector<int> ids;
  for (const std::string& entry : SplitList(list)) {
    if (entry.empty()) continue;
    std::optional<int> id = ParseNumber(entry);
    if (!id) id = FieldCatalog::Find(entry);
    if (!id || FieldCatalog::Name(*id).empty()) {
      error = "unknown field '" + entry + "'";
      return std::nullopt;
    }
    if (std::find(available.begin(), available.end(), *id) == available.end()) {
      error = "field '" + std::string(FieldCatalog::Name(*id)) + "' is not offered by this product";
      return std::nullopt;
    }
    ids.push_back(*id);
  }
  return ids;
}

bool ParseReceivers(const std::string& list, Settings& s, std::string& error) {
  bool on[5] = {};
  if (list != "none") {
    for (const std::string& entry : SplitList(list)) {
      std::optional<int> r = ParseNumber(entry);
      if (!r || *r < 1 || *r > 4) {
        error = "receiver '" + entry + "' is not one of 1, 2, 3, 4";
        return false;
      }
      on[*r] = true;
    }
  }
  for (int r = 1; r <= 4; ++r) s.SetReceiver(r, on[r]);
  return true;
}

bool ParseData(const std::string& list, Settings& s, std::string& error) {
  bool freq = false, channel = false, rssi = false, sat = false, vmac = false;
  for (const std::string& entry : SplitList(list)) {
    if (entry == "freq") freq = true;
    else if (entry == "channel") channel = true;
    else if (entry == "rssi") rssi = true;
    else if (entry == "sat") sat = true;
    else if (entry == "vmac") vmac = true;
    else if (!entry.empty()) {
      error = "data value '" + entry + "' is not one of freq, channel, rssi, sat, vmac";
      return false;
    }
  }
  s.FrequencyField = freq;
  s.ChannelField = channel;
  s.RSSIField = rssi;
  s.SATField = sat;
  s.VMACField = vmac;
  return true;
}

bool ParseDelimiter(const std::string& word, Settings& s, std::string& error) {
  if (word == "comma") s.DelimiterGroup = 0;
  else if (word == "semicolon") s.DelimiterGroup = 1;
  else if (word == "tab") s.DelimiterGroup = 2;
  else if (word == "space") s.DelimiterGroup = 3;
  else if (word.size() == 1) {
    s.DelimiterGroup = 4;
    s.OtherDelimiter = word;
  } else {
    error = "delimiter '" + word + "' is not comma, semicolon, tab, space or one character";
    return false;
  }
  return true;
}

}  // namespace morphel::cli
