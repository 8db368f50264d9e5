#include "cli/Json.h"

#include <fmt/format.h>

#include <cmath>

#include "products/Product.h"
#include "products/ProductTable.h"

namespace morphel::cli {

void Json::Separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.back()) text_.push_back(',');
  first_.back() = false;
}

Json& Json::Open(char c) {
  Separate();
  text_.push_back(c);
  first_.push_back(true);
  return *this;
}

Json& Json::Close(char c) {
  if (first_.size() > 1) first_.pop_back();
  text_.push_back(c);
  return *this;
}

Json& Json::Key(std::string_view name) {
  String(name);
  text_.push_back(':');
  afterKey_ = true;
  return *this;
}

Json& Json::String(std::string_view value) {
  Separate();
  text_.push_back('"');
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        text_ += "\\\"";
        break;
      case '\\':
        text_ += "\\\\";
        break;
      case '\n':
        text_ += "\\n";
        break;
      case '\r':
        text_ += "\\r";
        break;
      case '\t':
        text_ += "\\t";
        break;
      default:
        if (c < 0x20) {
          fmt::format_to(std::back_inserter(text_), "\\u{:04x}", c);
        } else {
          text_.push_back(ch);
        }
    }
  }
  text_.push_back('"');
  return *this;
}

Json& Json::Number(int64_t value) {
  Separate();
  fmt::format_to(std::back_inserter(text_), "{}", value);
  return *this;
}

Json& Json::Number(double value) {
  if (!std::isfinite(value)) return Null();
  Separate();
  fmt::format_to(std::back_inserter(text_), "{}", value);
  return *this;
}

Json& Json::Bool(bool value) {
  Separate();
  text_ += value ? "true" : "false";
  return *this;
}

Json& Json::Null() {
  Separate();
  text_ += "null";
  return *this;
}

// The product of a log as scripts name it: its command-line name, or null.
void ProductMembers(Json& json, int item) {
  const ProductRow* p = ProductRowFor(item);
  json.Key("item").Number(int64_t{item});
  json.Key("product");
  if (p && p->Supported()) {
    json.String(p->cliName);
  } else {
    json.Null();
  }
  json.Key("caption").String(p ? p->caption : "(None)");
}

void DamageMembers(Json& json, const DamageCounts& d) {
  json.Key("damage").BeginObject();
  json.Key("resyncBytes").Number(static_cast<int64_t>(d.resyncBytes));
  json.Key("badLengthBlocks").Number(static_cast<int64_t>(d.badLengthBlocks));
  json.Key("unknownRecords").Number(static_cast<int64_t>(d.unknownRecords));
  json.Key("truncatedBlocks").Number(static_cast<int64_t>(d.truncatedBlocks));
  json.EndObject();
}

}  // namespace morphel::cli
