#include "cli/Options.h"

#include <algorithm>
#include <charconv>
#include <string_view>

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

// A field name as typed and as listed compare in lower case, without blanks
// around them and with one blank wherever several stand together.
std::string Normalised(std::string_view name) {
  std::string out;
  bool blank = false;
  for (char c : name) {
    if (c == ' ' || c == '\t') {
      blank = !out.empty();
      continue;
    }
    if (blank) out.push_back(' ');
    blank = false;
    out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return out;
}

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "'A'", "'A' or 'B'", "'A', 'B' or 'C'".
std::string Alternatives(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += "'" + names[i] + "'";
  }
  return text;
}

std::string WithSuggestions(std::string error, const std::vector<std::string>& closest) {
  if (!closest.empty()) error += "; did you mean " + Alternatives(closest) + "?";
  return error;
}

std::optional<int> FindField(const std::string& entry) {
  const std::string wanted = Normalised(entry);
  for (int id = 0; !FieldCatalog::Name(id).empty(); ++id)
    if (Normalised(FieldCatalog::Name(id)) == wanted) return id;
  return std::nullopt;
}
}  // namespace

std::vector<std::string> ClosestFields(const std::string& typed,
                                       const std::vector<int>& available) {
  constexpr size_t kMostShown = 3;
  const std::string q = Normalised(typed);
  if (q.empty()) return {};
  // A typo anywhere, or the start of a longer name ("gps time" for
  // "GPS Time (HH:MM:SS)"), counts as close.
  const size_t limit = std::max<size_t>(2, q.size() / 3);
  std::vector<std::pair<size_t, size_t>> scored;  // (distance, position in the list)
  for (size_t k = 0; k < available.size(); ++k) {
    const std::string name = Normalised(FieldCatalog::Name(available[k]));
    size_t d = EditDistance(q, name);
    if (q.size() < name.size()) d = std::min(d, EditDistance(q, name.substr(0, q.size())) + 1);
    if (d <= limit) scored.emplace_back(d, k);
  }
  std::stable_sort(scored.begin(), scored.end());
  std::vector<std::string> names;
  for (const auto& [d, k] : scored) {
    if (d > scored.front().first + 2) break;  // far behind the best match
    const std::string name(FieldCatalog::Name(available[k]));
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    names.push_back(name);
    if (names.size() == kMostShown) break;
  }
  return names;
}

std::optional<std::vector<int>> ParseFields(const std::string& list,
                                            const std::vector<int>& available, std::string& error) {
  std::vector<int> ids;
  for (const std::string& entry : SplitList(list)) {
    if (entry.empty()) continue;
    std::optional<int> id = ParseNumber(entry);
    if (!id) id = FindField(entry);
    if (!id || FieldCatalog::Name(*id).empty()) {
      error = WithSuggestions("unknown field '" + entry + "'", ClosestFields(entry, available));
      return std::nullopt;
    }
    if (std::find(available.begin(), available.end(), *id) == available.end()) {
      const std::string name(FieldCatalog::Name(*id));
      error = WithSuggestions("field '" + name + "' is not offered by this product",
                              ClosestFields(name, available));
      return std::nullopt;
    }
    ids.push_back(*id);
  }
  return ids;
}

std::optional<std::vector<int>> ParseSegments(const std::string& list, int count,
                                              std::string& error) {
  std::vector<int> numbers;
  for (const std::string& entry : SplitList(list)) {
    if (entry.empty()) continue;
    const size_t dash = entry.find('-', 1);
    std::optional<int> first = ParseNumber(entry.substr(0, dash));
    std::optional<int> last = first;
    if (dash != std::string::npos) {
      std::string to = entry.substr(dash + 1);
      while (!to.empty() && to.front() == ' ') to.erase(to.begin());
      std::string from = entry.substr(0, dash);
      while (!from.empty() && from.back() == ' ') from.pop_back();
      first = ParseNumber(from);
      last = ParseNumber(to);
    }
    if (!first || !last || *first < 1 || *last > count || *first > *last) {
      error = first && last && *first > *last
                  ? "segment range '" + entry + "' runs backwards"
                  : "segment '" + entry + "' is not one of 1.." + std::to_string(count);
      return std::nullopt;
    }
    for (int k = *first; k <= *last; ++k) numbers.push_back(k);
  }
  return numbers;
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
    if (entry == "freq")
      freq = true;
    else if (entry == "channel")
      channel = true;
    else if (entry == "rssi")
      rssi = true;
    else if (entry == "sat")
      sat = true;
    else if (entry == "vmac")
      vmac = true;
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
  if (word == "comma")
    s.DelimiterGroup = 0;
  else if (word == "semicolon")
    s.DelimiterGroup = 1;
  else if (word == "tab")
    s.DelimiterGroup = 2;
  else if (word == "space")
    s.DelimiterGroup = 3;
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
