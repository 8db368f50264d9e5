#include "export/XmlText.h"

namespace morphel::exporting {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The bytes of the character `text` starts with, when it is UTF-8 (the
// shortest form, no surrogate) and XML 1.0 allows it; 0 otherwise.
size_t AllowedLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r' ? 1 : 0;
  size_t length = 0;
  unsigned low = 0x80, high = 0xBF;  // of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong form
    if (lead == 0xED) high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong form
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) return 0;
  }
  // U+FFFE and U+FFFF are no characters of XML.
  if (lead == 0xEF && static_cast<unsigned char>(text[1]) == 0xBF &&
      static_cast<unsigned char>(text[2]) >= 0xBE)
    return 0;
  return length;
}

// Walks the text: runs of printable ASCII that `special` passes over are
// appended as they are, a byte it names goes to `ascii`, other characters
// as they are when allowed, else as U+FFFD.
template <typename Special, typename Ascii>
void AppendAllowed(std::string& out, std::string_view text, Special special, Ascii ascii) {
  size_t i = 0;
  while (i < text.size()) {
    size_t run = i;
    while (run < text.size()) {
      const auto c = static_cast<unsigned char>(text[run]);
      if (c < 0x20 || c >= 0x80 || special(text[run])) break;
      ++run;
    }
    out.append(text.substr(i, run - i));
    i = run;
    if (i == text.size()) break;
    const size_t length = AllowedLength(text.substr(i));
    if (length == 0) {
      out.append(kReplacement);
      ++i;
    } else if (length == 1) {
      ascii(out, text[i++]);
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
}

}  // namespace

void AppendXmlText(std::string& out, std::string_view text) {
  auto special = [](char c) { return c == '&' || c == '<' || c == '>' || c == '"' || c == '\''; };
  AppendAllowed(out, text, special, [](std::string& o, char c) {
    switch (c) {
      case '&':
        o.append("&amp;");
        break;
      case '<':
        o.append("&lt;");
        break;
      case '>':
        o.append("&gt;");
        break;
      case '"':
        o.append("&quot;");
        break;
      case '\'':
        o.append("&apos;");
        break;
      case '\r':
        o.append("&#13;");
        break;
      default:
        o.push_back(c);
    }
  });
}

void AppendCdata(std::string& out, std::string_view text) {
  out.append("<![CDATA[");
  AppendAllowed(
      out, text, [](char c) { return c == '>'; },
      [](std::string& o, char c) {
        // The section's opening ends in '[': a "]]" before this '>' is the
        // text's own.
        if (c == '>' && o.size() >= 2 && o.compare(o.size() - 2, 2, "]]") == 0)
          o.append("]]><![CDATA[");
        o.push_back(c);
      });
  out.append("]]>");
}

}  // namespace morphel::exporting
