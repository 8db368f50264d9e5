#include "app/Detect.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "core/Bytes.h"
#include "core/LogFile.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel {

namespace {

// The head every detection test looks at.
constexpr size_t kHeadSize = 32;
// The first record of the older products (Tolvan, Velmar, Zev card, Skarn)
// is length-prefixed: a 32-bit little-endian length, then the record.
constexpr size_t kLengthSize = 4;
constexpr int32_t kMaxFirstRecord = 256;
// An identification record starts with 'I', carries the low byte of its
// text length at record byte 1 and the product name from record byte 5.
constexpr uint8_t kIdentRecord = 'I';
constexpr size_t kIdentLengthOffset = 1;
constexpr size_t kIdentNameOffset = 5;
constexpr size_t kNameBufferSize = 128;

// Offsets at which the newer products place their tags in the head.
constexpr size_t kBriselCardTagOffset = 13;
constexpr size_t kZevDumpTagOffset = 4;
constexpr size_t kBriselTagOffset = 9;

// Text from offset k of the bytes present: up to the first zero byte or the
// end of what was read, whichever comes first.
std::string_view TextFrom(const uint8_t* bytes, size_t size, size_t offset) {
  if (offset >= size) return {};
  const auto* begin = reinterpret_cast<const char*>(bytes + offset);
  size_t n = 0;
  while (offset + n < size && bytes[offset + n] != 0) ++n;
  return {begin, n};
}

bool Contains(std::string_view text, std::string_view tag) {
  return text.find(tag) != std::string_view::npos;
}

// The identification record of a length-prefixed log.
int DetectFromFirstRecord(const uint8_t* record, size_t present) {
  if (present < 1 || record[0] != kIdentRecord) return kItemNone;
  if (present <= kIdentNameOffset) return kItemNone;
  // The name is cut to its stated length, to the name buffer and to the
  // bytes of the record actually present.
  size_t limit = std::min<size_t>(record[kIdentLengthOffset], kNameBufferSize);
  limit = std::min(limit, present - kIdentNameOffset);
  std::string_view name = TextFrom(record + kIdentNameOffset, limit, 0);
  if (Contains(name, "TOLV")) return kItemTolvan;
  if (Contains(name, "VELM")) return kItemVelmar;
  if (Contains(name, "ZEV")) return kItemZevCard;
  if (Contains(name, "SKAR")) return kItemSkarn;
  return kItemNone;
}

// Logs that do not start with a small record length carry a tag in the head.
int DetectFromTags(const uint8_t* head, size_t size) {
  if (Contains(TextFrom(head, size, kZevDumpTagOffset), "QVRZEV")) return kItemZevDump;
  if (Contains(TextFrom(head, size, 0), "ZEV")) return kItemZevCard;
  if (Contains(TextFrom(head, size, 0), "TDL")) return kItemTolvanNew;
  if (Contains(TextFrom(head, size, kBriselTagOffset), "QVRBRISEL")) return kItemBrisel;
  return kItemNone;
}

}  // namespace

int DetectProduct(const std::string& path) {
  LogFile file;
  if (!file.Open(path)) return kItemNone;

  std::array<uint8_t, kHeadSize> head{};
  const size_t headSize = file.Read(head.data(), head.size());
  if (Contains(TextFrom(head.data(), headSize, kBriselCardTagOffset), "QVRBRISEL"))
    return kItemBriselCard;
  if (headSize < kLengthSize) return kItemNone;

  const int32_t length = le32s(head.data());
  // A negative length is no record at all: not one of ours.
  if (length < 0) return kItemNone;
  if (length >= 1 && length <= kMaxFirstRecord) {
    std::array<uint8_t, kMaxFirstRecord> record{};
    if (!file.Seek(kLengthSize)) return kItemNone;
    const size_t present = file.Read(record.data(), static_cast<size_t>(length));
    return DetectFromFirstRecord(record.data(), present);
  }
  return DetectFromTags(head.data(), headSize);
}

}  // namespace morphel
