#include "cli/CommandLine.h"

#include <algorithm>
#include <vector>

#include "app/MainModel.h"
#include "core/Fmt.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel {

namespace {

constexpr const char* kDelimiterWords[] = {"comma", "semicolon", "tab", "space"};
constexpr int kOtherDelimiter = 4;

bool PlainShellCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '_':
    case '-':
    case '.':
    case '/':
    case ',':
    case ':':
    case '@':
    case '%':
    case '+':
    case '=':
      return true;
    default:
      return false;
  }
}

// Comma-separated list of numbers.
std::string NumberList(const std::vector<int>& numbers) {
  std::string list;
  for (int n : numbers) {
    if (!list.empty()) list.push_back(',');
    text::d(list, n);
  }
  return list;
}

class Words {
 public:
  void Add(const std::string& word) {
    if (!text_.empty()) text_.push_back(' ');
    text_.append(ShellWord(word));
  }
  void Add(const std::string& option, const std::string& value) {
    Add(option);
    Add(value);
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

std::string ReceiverList(const Settings& s) {
  std::vector<int> on;
  for (int r = 1; r <= 4; ++r)
    if (s.ReceiverChecked(r)) on.push_back(r);
  return on.empty() ? "none" : NumberList(on);
}

std::string DataList(const Settings& s) {
  std::string list;
  const std::pair<bool, const char*> boxes[] = {{s.FrequencyField, "freq"},
                                                {s.ChannelField, "channel"},
                                                {s.RSSIField, "rssi"},
                                                {s.SATField, "sat"},
                                                {s.VMACField, "vmac"}};
  for (const auto& [on, name] : boxes) {
    if (!on) continue;
    if (!list.empty()) list.push_back(',');
    list.append(name);
  }
  return list.empty() ? "none" : list;
}

// The delimiter word; empty when the Other box holds no character.
std::string DelimiterWord(const Settings& s) {
  if (s.DelimiterGroup >= 0 && s.DelimiterGroup < kOtherDelimiter)
    return kDelimiterWords[s.DelimiterGroup];
  if (s.DelimiterGroup == kOtherDelimiter && !s.OtherDelimiter.empty() &&
      s.OtherDelimiter[0] != '\0')
    return s.OtherDelimiter.substr(0, 1);
  return {};
}

// Segments whose nodes are unchecked, numbered from 1 in file order.
std::string ExcludedSegments(const MainModel& model) {
  const Product* reader = model.CurrentReader();
  if (!reader) return {};
  std::vector<int> left;
  const SegmentTable& table = reader->SegmentNodes;
  for (int i = 0; i < table.Count(); ++i)
    if (!table.Included(i)) left.push_back(i + 1);
  return NumberList(left);
}

void AddAveraging(Words& w, const Settings& s) {
  w.Add("--reduce", s.BSAvg ? "best-server" : "all");
  w.Add("--average", s.LambdaAvg ? "lambda" : "none");
  // The "1 Rec per" seconds choice counts only without 40-lambda averaging.
  if (s.rbORPS && !s.LambdaAvg)
    w.Add("--per-seconds", std::to_string(std::max(EditBoxInt(s.ORPS_Value, 1), 1)));
  const double speed = EditBoxDouble(s.LambdaSpeed, 0.0);
  if (speed > 0) {
    std::string value;
    fmt::format_to(std::back_inserter(value), "{}", speed);
    w.Add("--speed", value);
  }
  if (!s.MPHchoice) w.Add("--kmh");
}

}  // namespace

std::string ShellWord(const std::string& word) {
  if (!word.empty() && std::all_of(word.begin(), word.end(), PlainShellCharacter)) return word;
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted.append("'\\''");
    } else {
      quoted.push_back(c);
    }
  }
  quoted.push_back('\'');
  return quoted;
}

std::string EquivalentCommandLine(const MainModel& model) {
  const Settings& s = model.GetSettings();
  Words w;
  w.Add("morphel");
  w.Add("convert");
  w.Add(s.InputFilename);
  w.Add("-o", s.OutputFilename);
  const ProductRow* product = ProductRowFor(s.InputFormatGroup);
  if (product && product->Supported()) w.Add("--product", product->cliName);

  const FormatRow* format = FormatRowFor(s.OutputFormatGroup);
  if (format) {
    w.Add("--format", format->cliName);
    // A format restored from a saved set-up keeps the layout mode of the
    // format applied before it.
    if (s.NativeFormat != format->Native()) w.Add(s.NativeFormat ? "--native" : "--no-native");
  }
  if (!s.SelectedBox.empty()) {
    const auto& ids = model.SelectedIds();
    std::vector<int> selected;
    for (size_t i = 0; i < s.SelectedBox.size() && i < ids.size(); ++i) selected.push_back(ids[i]);
    w.Add("--fields", NumberList(selected));
  }
  w.Add("--receivers", ReceiverList(s));
  w.Add("--data", DataList(s));
  const std::string delimiter = DelimiterWord(s);
  if (!delimiter.empty()) w.Add("--delimiter", delimiter);
  w.Add(s.FieldTitles ? "--header" : "--no-header");
  AddAveraging(w, s);
  w.Add("--scan-type", s.ScanTypeGroup == 0 ? "table" : "fast");
  if (s.cbSplit) w.Add("--split");
  const std::string excluded = ExcludedSegments(model);
  if (!excluded.empty()) w.Add("--exclude-segments", excluded);
  if (s.FrozenClock >= 0) w.Add("--frozen-clock", std::to_string(s.FrozenClock));
  return w.Text();
}

}  // namespace morphel
