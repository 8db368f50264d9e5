#include "app/Configuration.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>

#include "app/MainModel.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel {

namespace {

// A saved set-up is a few kilobytes; a bigger file is not one of ours, and
// only its beginning is looked at.
constexpr size_t kMaxFileBytes = 16u << 20;

constexpr int kScanTypeItems = 2;
constexpr int kSkarnModeItems = 3;
constexpr int kDelimiterItems = 5;

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A line of the file holds one entry only: line breaks in a value would
// start new lines, so they are written as blanks.
std::string OneLine(const std::string& value) {
  std::string line = value;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

}  // namespace

// --- IniFile ---------------------------------------------------------------

bool IniFile::Load(const std::string& path) {
  preamble_.clear();
  sections_.clear();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text;
  char chunk[4096];
  while (text.size() < kMaxFileBytes && in.read(chunk, sizeof chunk).gcount() > 0)
    text.append(chunk, static_cast<size_t>(in.gcount()));
  if (text.size() > kMaxFileBytes) text.resize(kMaxFileBytes);
  Parse(text);
  return true;
}

void IniFile::Parse(const std::string& text) {
  preamble_.clear();
  sections_.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    AddLine(line);
    start = end + 1;
  }
}

void IniFile::AddLine(std::string_view raw) {
  std::string_view line = Trim(raw);
  if (!line.empty() && line.front() == '[') {
    const size_t close = line.find(']');
    if (close != std::string_view::npos) {
      sections_.push_back(Section{std::string(Trim(line.substr(1, close - 1))), {}});
      return;
    }
  }
  Line entry;
  const size_t equals = line.find('=');
  // A line without '=' (a comment, a blank line, anything else) is kept as
  // it was and never read.
  if (equals != std::string_view::npos && equals > 0 && line.front() != ';') {
    entry.key = std::string(Trim(line.substr(0, equals)));
    entry.value = std::string(Trim(line.substr(equals + 1)));
    entry.isEntry = !entry.key.empty();
  }
  entry.raw = std::string(raw);
  if (sections_.empty()) {
    preamble_.push_back(std::move(entry.raw));
  } else {
    sections_.back().lines.push_back(std::move(entry));
  }
}

const IniFile::Section* IniFile::FindSection(const std::string& name) const {
  for (const Section& s : sections_)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}

IniFile::Section& IniFile::SectionFor(const std::string& name) {
  for (Section& s : sections_)
    if (SameName(s.name, name)) return s;
  sections_.push_back(Section{name, {}});
  return sections_.back();
}

const std::string* IniFile::Find(const std::string& section, const std::string& key) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  for (const Line& line : s->lines)
    if (line.isEntry && SameName(line.key, key)) return &line.value;
  return nullptr;
}

bool IniFile::HasKey(const std::string& section, const std::string& key) const {
  return Find(section, key) != nullptr;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
  const std::string* value = Find(section, key);
  if (!value) return fallback;
  // Values are C strings: a zero byte ends one.
  return value->substr(0, value->find('\0'));
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int fallback) const {
  const std::string* value = Find(section, key);
  if (!value) return fallback;
  std::string_view s(*value);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  int number = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), number);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return fallback;
  return number;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  Section& s = SectionFor(section);
  size_t after = 0;  // a new key goes after the section's last entry
  for (size_t i = 0; i < s.lines.size(); ++i) {
    Line& line = s.lines[i];
    if (!line.isEntry) continue;
    if (SameName(line.key, key)) {
      line.value = OneLine(value);
      line.raw.clear();
      return;
    }
    after = i + 1;
  }
  Line line;
  line.key = key;
  line.value = OneLine(value);
  line.isEntry = true;
  s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(after), std::move(line));
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::string IniFile::Text() const {
  std::string text;
  for (const std::string& line : preamble_) text.append(line).append("\r\n");
  for (const Section& s : sections_) {
    text.append("[").append(s.name).append("]\r\n");
    for (const Line& line : s.lines) {
      // Entries read from the file and not rewritten keep their spelling.
      if (!line.isEntry || !line.raw.empty()) {
        text.append(line.raw);
      } else {
        text.append(line.key).append("=").append(line.value);
      }
      text.append("\r\n");
    }
  }
  return text;
}

bool IniFile::Save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const std::string text = Text();
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

// --- Saving and opening a set-up --------------------------------------------

namespace {

std::string FieldKey(size_t i) {
  return "Field" + std::to_string(i);
}
std::string TagKey(size_t i) {
  return "Tag" + std::to_string(i);
}

// An item number of a list with `count` items; anything else is the default.
int ReadItem(const IniFile& ini, const char* section, const char* key, int fallback, int count) {
  const int item = ini.ReadInteger(section, key, fallback);
  return item >= 0 && item < count ? item : fallback;
}

// How many list entries to read: at most the 100 positions of an id list.
size_t ReadCount(const IniFile& ini, const char* section) {
  const int count = ini.ReadInteger(section, "Count", 0);
  if (count <= 0) return 0;
  return static_cast<size_t>(std::min(count, MainModel::kMaxSelected));
}

// A field id as stored; a value that is no 16-bit number reads as 0.
int ReadTag(const IniFile& ini, size_t i) {
  const int tag = ini.ReadInteger("SelectedTags", TagKey(i), 0);
  if (tag < std::numeric_limits<int16_t>::min() || tag > std::numeric_limits<int16_t>::max())
    return 0;
  return tag;
}

void WriteFilter(IniFile& ini, const Settings& s) {
  const char* f = "OutputFilter";
  ini.WriteInteger(f, "SkarnMode", s.SkarnMode);
  ini.WriteInteger(f, "ScanType", s.ScanTypeGroup);
  ini.WriteBool(f, "Receiver1", s.Receiver1);
  ini.WriteBool(f, "Receiver2", s.Receiver2);
  ini.WriteBool(f, "Receiver3", s.Receiver3);
  ini.WriteBool(f, "Receiver4", s.Receiver4);
  ini.WriteBool(f, "FrequencyField", s.FrequencyField);
  ini.WriteBool(f, "ChannelField", s.ChannelField);
  ini.WriteBool(f, "RSSIField", s.RSSIField);
  ini.WriteBool(f, "SATField", s.SATField);
  ini.WriteBool(f, "VMACField", s.VMACField);
  ini.WriteBool(f, "NoAvg", s.NoAvg);
  ini.WriteBool(f, "LambdaAvg", s.LambdaAvg);
  ini.WriteBool(f, "BSAvg", s.BSAvg);
}

// Checking a radio button unchecks the others of its group; unchecking one
// leaves the group as it is.
void ReadFilter(const IniFile& ini, Settings& s) {
  const char* f = "OutputFilter";
  s.SkarnMode = ReadItem(ini, f, "SkarnMode", 0, kSkarnModeItems);
  s.ScanTypeGroup = ReadItem(ini, f, "ScanType", 0, kScanTypeItems);
  s.Receiver1 = ini.ReadBool(f, "Receiver1", true);
  s.Receiver2 = ini.ReadBool(f, "Receiver2", false);
  s.Receiver3 = ini.ReadBool(f, "Receiver3", false);
  s.Receiver4 = ini.ReadBool(f, "Receiver4", false);
  s.FrequencyField = ini.ReadBool(f, "FrequencyField", true);
  s.ChannelField = ini.ReadBool(f, "ChannelField", false);
  s.RSSIField = ini.ReadBool(f, "RSSIField", true);
  s.SATField = ini.ReadBool(f, "SATField", false);
  s.VMACField = ini.ReadBool(f, "VMACField", false);
  s.NoAvg = ini.ReadBool(f, "NoAvg", true);
  if (s.NoAvg) s.BSAvg = false;
  s.LambdaAvg = ini.ReadBool(f, "LambdaAvg", false);
  if (s.LambdaAvg) s.cbAT_None = s.rbORPS = s.rbORPM = false;
  s.BSAvg = ini.ReadBool(f, "BSAvg", false);
  if (s.BSAvg) s.NoAvg = false;
}

// While a set-up is being restored the indexing request of a product
// change waits until the whole state (the input name first of all) is in
// place; the face's callback is put back however the restore ends.
class DeferredIndexing {
 public:
  explicit DeferredIndexing(MainModel& model)
      : model_(model), saved_(std::move(model.onStartIndexing)) {
    model_.onStartIndexing = [this](int item) { requested_ = item; };
  }
  ~DeferredIndexing() {
    if (!released_) model_.onStartIndexing = std::move(saved_);
  }
  DeferredIndexing(const DeferredIndexing&) = delete;
  DeferredIndexing& operator=(const DeferredIndexing&) = delete;

  void Request(int item) { requested_ = item; }
  bool Requested() const { return requested_.has_value(); }
  // Puts the callback back and passes on the request, if any.
  void Release() {
    model_.onStartIndexing = std::move(saved_);
    released_ = true;
    if (requested_ && model_.onStartIndexing) model_.onStartIndexing(*requested_);
    requested_.reset();
  }

 private:
  MainModel& model_;
  std::function<void(int)> saved_;
  std::optional<int> requested_;
  bool released_ = false;
};

void RestoreProductAndInput(MainModel& model, const IniFile& ini, DeferredIndexing& indexing) {
  const int item = ReadItem(ini, "InputFormat", "Product", kItemNone, kProductItems);
  const std::string input = ini.ReadString("InputFile", "Filename", "Sample.in");
  const int before = model.GetSettings().InputFormatGroup;
  const bool newInput = input != model.GetSettings().InputFilename;
  model.SetInputFormatGroup(item);
  model.EditSettings().InputFilename = input;
  // The same product with another log: its segments are those of the new
  // log, so it is indexed as after a product change.
  const int now = model.GetSettings().InputFormatGroup;
  if (!indexing.Requested() && newInput && now == before && now != kItemNone &&
      model.CurrentReader())
    indexing.Request(now);
}

}  // namespace

bool SaveConfiguration(const MainModel& model, const std::string& path, std::string* error) {
  const Settings& s = model.GetSettings();
  IniFile ini;
  ini.Load(path);  // entries of an existing file stay
  ini.WriteInteger("InputFormat", "Product", s.InputFormatGroup);
  ini.WriteString("InputFile", "Filename", s.InputFilename);
  WriteFilter(ini, s);
  ini.WriteInteger("OutFormat", "Format", s.OutputFormatGroup);
  ini.WriteInteger("OutputFieldSelection", "Delimiter", s.DelimiterGroup);
  ini.WriteBool("OutputFieldSelection", "FieldTitles", s.FieldTitles);
  ini.WriteInteger("AvailableFields", "Count", static_cast<int>(s.AvailableBox.size()));
  for (size_t i = 0; i < s.AvailableBox.size(); ++i)
    ini.WriteString("AvailableFields", FieldKey(i), s.AvailableBox[i]);
  const size_t selected =
      std::min(s.SelectedBox.size(), static_cast<size_t>(MainModel::kMaxSelected));
  ini.WriteInteger("SelectedFields", "Count", static_cast<int>(selected));
  const auto& ids = model.SelectedIds();
  for (size_t i = 0; i < selected; ++i) {
    ini.WriteString("SelectedFields", FieldKey(i), s.SelectedBox[i]);
    ini.WriteInteger("SelectedTags", TagKey(i), ids[i]);
  }
  ini.WriteString("OutputFile", "Filename", s.OutputFilename);
  if (ini.Save(path)) return true;
  if (error) *error = "Configuration File Cannot Be Written: " + path;
  return false;
}

bool OpenConfiguration(MainModel& model, const std::string& path) {
  IniFile ini;
  if (!ini.Load(path)) return false;
  DeferredIndexing indexing(model);

  RestoreProductAndInput(model, ini, indexing);
  Settings& s = model.EditSettings();
  ReadFilter(ini, s);
  // The list shows the saved format; its preset does not run, so the
  // native-layout mode and the selection buttons stay as they were.
  s.OutputFormatGroup = ReadItem(ini, "OutFormat", "Format", 0, kFormatCount);
  s.DelimiterGroup = ReadItem(ini, "OutputFieldSelection", "Delimiter", 0, kDelimiterItems);
  s.FieldTitles = ini.ReadBool("OutputFieldSelection", "FieldTitles", false);

  // The available ids stay those of the product; only the texts are read.
  s.AvailableBox.clear();
  const size_t available = ReadCount(ini, "AvailableFields");
  for (size_t i = 0; i < available; ++i)
    s.AvailableBox.push_back(ini.ReadString("AvailableFields", FieldKey(i), ""));

  const size_t selected = ReadCount(ini, "SelectedFields");
  std::vector<std::string> names;
  std::vector<int> ids;
  for (size_t i = 0; i < selected; ++i) {
    names.push_back(ini.ReadString("SelectedFields", FieldKey(i), ""));
    ids.push_back(ReadTag(ini, i));
  }
  model.RestoreSelection(names, ids);
  model.EditSettings().OutputFilename = ini.ReadString("OutputFile", "Filename", "Sample.out");
  model.SettingsChanged();
  indexing.Release();
  return true;
}

}  // namespace morphel
