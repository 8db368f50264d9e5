#include "app/DelimiterCheck.h"

#include <string_view>

#include "app/ConversionRun.h"
#include "products/FieldCatalog.h"

namespace morphel {

namespace {
constexpr int kOtherDelimiter = 4;

// The picture of a field's values in its name, as in "GPS Time (HH:MM:SS)"
// or "RTC Date (MM-DD-YY)": a bracketed part of capitals and separators.
std::string_view ValuePicture(std::string_view name) {
  const size_t open = name.rfind('(');
  const size_t close = name.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return {};
  const std::string_view inside = name.substr(open + 1, close - open - 1);
  bool separator = false;
  for (char c : inside) {
    if (c >= 'A' && c <= 'Z') continue;
    if (c == ' ') return {};
    separator = true;
  }
  return separator ? inside : std::string_view{};
}
}  // namespace

std::string OtherDelimiterProblem(const Settings& s) {
  if (s.NativeFormat || s.DelimiterGroup != kOtherDelimiter) return {};
  const char c = ConversionRun::DelimiterFor(s.DelimiterGroup, s.OtherDelimiter);
  if (c == '\0') return "The Other delimiter is empty: fields are separated by zero bytes.";
  const std::string quoted = std::string("'") + c + "'";
  if (c >= '0' && c <= '9')
    return "The delimiter " + quoted + " is a digit: it also occurs in the output's numbers.";
  if (c == '.') return "The delimiter '.' is also the decimal point of the output's numbers.";
  if (c == '-')
    return "The delimiter '-' is also the minus sign of the output's levels and positions.";
  if (c == '"') return "The delimiter '\"' is also the quote around the title line's names.";
  for (const std::string& name : s.SelectedBox) {
    if (name == FieldCatalog::Name(FieldCatalog::kData)) continue;
    if (ValuePicture(name).find(c) != std::string_view::npos)
      return "The delimiter " + quoted + " also occurs in the values of '" + name + "'.";
    if (s.FieldTitles && name.find(c) != std::string::npos)
      return "The delimiter " + quoted + " also occurs in the title '" + name + "'.";
  }
  return {};
}

}  // namespace morphel
