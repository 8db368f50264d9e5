#include "products/Velmar.h"

#include "products/FieldCatalog.h"

namespace morphel {

namespace {

constexpr CwScanner::Layout kVelmarLayout{
    .receivers = Velmar::kReceivers,
    .receiverBlockSize = Velmar::kReceiverBlockSize,
    .samplesOffset = 18,
    .scanDataSize = Velmar::kScanRecordSize - Velmar::kHeaderSize,
    .descriptorSize = 11,
    .tablesOffset = 45 - Velmar::kHeaderSize,
    .tableEntrySize = 3,
    .translateOffsetMHz = 0.01,
    .hasMotion = false,
};

constexpr CwScanner::BcdHeaderLayout kHeader{
    .rtcSecond = 1,
    .gpsStatus = 7,
    .latitude = 8,
    .latitudeHemisphere = 12,
    .longitude = 13,
    .longitudeHemisphere = 17,
    .gpsHour = 18,
    .marker = 21,
};

}  // namespace

Velmar::Velmar() : CwScanner(kVelmarLayout) {
  using F = FieldCatalog;
  SetAvailableFields(F::kData, F::kCrLf, F::kPositionFields, F::kGpsTimeFields, F::kGpsStatus,
                     F::kMarkerValue, F::kRtcFields);
}

void Velmar::DecodeHeader(const uint8_t* bytes) {
  DecodeBcdHeader(bytes, kHeader);
}

// The unit writes an empty block as a zero length. A length above 4096 cannot
// be a record: rather than handing on the previous block's bytes again, the
// reader then resynchronises byte by byte as on a Tolvan log, taking the next
// length of 1..4096 as the way back in step.
bool Velmar::AcceptsLength(uint32_t length) const {
  return length <= kMaxBlockLength;
}

}  // namespace morphel
