#pragma once
// Recognises which receiver product wrote a log from the first bytes of the
// file.

#include <string>

namespace morphel {

// The input list item (1..9, never 6) of the product that wrote the log at
// path, or 0 when the file cannot be read or is not recognised.
int DetectProduct(const std::string& path);

}  // namespace morphel
