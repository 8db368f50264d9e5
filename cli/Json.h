#pragma once
// One JSON document for scripts (the --json of detect, fields, index and
// gather): numbers as numbers, texts escaped, commas where they belong.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morphel {
struct DamageCounts;
}

namespace morphel::cli {

class Json {
 public:
  Json& BeginObject() { return Open('{'); }
  Json& EndObject() { return Close('}'); }
  Json& BeginArray() { return Open('['); }
  Json& EndArray() { return Close(']'); }
  // The name of the next member of an object.
  Json& Key(std::string_view name);
  Json& String(std::string_view text);
  Json& Number(int64_t value);
  // Shortest text that reads back as the same value; null when not finite.
  Json& Number(double value);
  Json& Bool(bool value);
  Json& Null();

  // The document with a final line feed.
  std::string Text() const { return text_ + "\n"; }

 private:
  Json& Open(char c);
  Json& Close(char c);
  void Separate();
  std::string text_;
  std::vector<bool> first_{true};  // per open level: nothing written in it yet
  bool afterKey_ = false;
};

// The members every document gives of a log's product ("item", "product":
// its command-line name or null, "caption") and of the damage its reader met.
void ProductMembers(Json& json, int item);
void DamageMembers(Json& json, const DamageCounts& damage);

}  // namespace morphel::cli
