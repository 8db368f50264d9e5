#pragma once
// Text as XML 1.0 takes it. Names of logs and the texts of paging messages
// can hold any byte: what is not UTF-8, and the characters XML does not allow
// (control characters other than tab, line feed and carriage return, U+FFFE,
// U+FFFF), become U+FFFD, the replacement character, one per byte.

#include <string>
#include <string_view>

namespace morphel::exporting {

// Character data or an attribute value: & < > " ' as entities, a carriage
// return as &#13; (a parser would make it a line feed).
void AppendXmlText(std::string& out, std::string_view text);

// A CDATA section of the text (HTML for a balloon): "]]>" inside the text is
// split over two sections.
void AppendCdata(std::string& out, std::string_view text);

}  // namespace morphel::exporting
