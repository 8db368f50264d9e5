#pragma once
// Saved set-ups (".cfg"): the state of steps 1 to 3 of the window in an INI
// text file. The file keeps the behaviour of the private-profile access the
// first versions of the program used: sections in the order of their first
// write, keys in the order of their first write, an existing entry overwritten
// in place, every other entry of the file kept, defaults for missing keys and
// for integers that are not numbers. Qt-free: the window and the command line
// both load and save through here.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morphel {

class MainModel;

// An INI file held in memory. Section and key names compare without regard
// to ASCII case, as the private-profile functions do; the spelling of the
// first write is the one kept.
class IniFile {
 public:
  // Reads a file; a missing file is an empty configuration (returns false,
  // the object is empty). Malformed lines are kept untouched but never read.
  bool Load(const std::string& path);
  // Parses text as Load does (for tests and tools).
  void Parse(const std::string& text);

  // Whether the section holds the key (the first entry of a name counts).
  bool HasKey(const std::string& section, const std::string& key) const;
  // The value up to its first zero byte; fallback when the key is missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  // A missing key or a value that is not a whole decimal integer gives
  // fallback: "-3" and "+7" are numbers, "12abc", "", "0x10" and values
  // beyond int are not. Blanks around a value never count (" 7" is 7).
  int ReadInteger(const std::string& section, const std::string& key, int fallback) const;
  // Booleans are integers: nonzero is true.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  // The file's text (lines end in CR LF).
  std::string Text() const;
  // Writes Text() to path; false when the file cannot be written.
  bool Save(const std::string& path) const;

 private:
  struct Line {
    std::string key;
    std::string value;
    std::string raw;  // the text as read; empty once the entry is rewritten
    bool isEntry = false;
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;  // entries and kept lines (comments, blanks, others)
  };
  void AddLine(std::string_view raw);
  const Section* FindSection(const std::string& name) const;
  Section& SectionFor(const std::string& name);
  const std::string* Find(const std::string& section, const std::string& key) const;

  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Section> sections_;
};

// Writes the model's steps 1 to 3 into the file at path (entries of an
// existing file that are not rewritten stay). False with *error set when the
// file cannot be written.
bool SaveConfiguration(const MainModel& model, const std::string& path, std::string* error);

// Restores a saved set-up into the model in the order the window uses:
// product (which reselects the reader and asks for indexing once the input
// name is in place), input name, scan modes, receivers and field data,
// averaging, format item, delimiter and header, both field lists with the
// selected ids, output name. A missing or foreign file restores the defaults;
// nothing is reported. Returns false only when the file cannot be read.
bool OpenConfiguration(MainModel& model, const std::string& path);

}  // namespace morphel
