#include "index/ReadingRun.h"

#include <algorithm>
#include <cmath>

#include "products/LogPass.h"
#include "products/ProductTable.h"

namespace morphel {

namespace {

constexpr int kReceivers = 4;
constexpr double kEarthRadiusMetres = 6371008.8;  // mean radius
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

bool Rows(int result) {
  return result == Product::kRecordsReady || result == Product::kBoundaryAndRecords;
}

}  // namespace

ReadingRun::ReadingRun(Product& reader, const Settings& snapshot, const ReadingOptions& options,
                       RunHooks& hooks)
    : reader_(reader), settings_(snapshot), options_(options), hooks_(hooks) {
  const ProductRow* row = ProductRowFor(snapshot.InputFormatGroup);
  rowReceivers_ = row ? row->rowReceivers : 1;
}

double ReadingRun::DistanceMetres(const ReadingPosition& a, const ReadingPosition& b) {
  const double lat1 = a.latitude * kRadiansPerDegree;
  const double lat2 = b.latitude * kRadiansPerDegree;
  const double dLat = lat2 - lat1;
  const double dLon = (b.longitude - a.longitude) * kRadiansPerDegree;
  const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

// Segments the reader started in the last block, by type.
void ReadingRun::NoteSegments(int& counted) {
  while (counted < reader_.SegmentCounter) {
    ++counted;
    const int type = reader_.SegmentType;
    if (type >= 0 && type < kSegmentTypeCount) ++summary_.segmentsByType[static_cast<size_t>(type)];
  }
}

ReadingOutcome ReadingRun::Run(ReadingSink& sink) {
  summary_ = ReadingSummary{};
  kept_ = {};
  thinnedOut_ = otherReceivers_ = 0;
  // Every receiver and every field, as a conversion of all the log's data
  // would have them; the run's own options choose afterwards. The reader's
  // field selection belongs to the window and is given back at the end.
  for (int r = 1; r <= kReceivers; ++r) settings_.SetReceiver(r, true);
  const auto selection = reader_.SelectedFieldIds;
  reader_.SetSelectedFields(reader_.AvailableFields());
  LogPass pass(reader_, settings_, hooks_, ProgressGauge::UnknownSize::ShowsFull);
  if (!pass.Open(true)) {
    reader_.SelectedFieldIds = selection;
    return ReadingOutcome::InputFailed;
  }
  reader_.SetAverageMode(Product::kAverageNone);
  summary_.inputSize = reader_.Input.Size();
  bool ok = sink.BeginLog(reader_);
  int segmentsCounted = 0;
  summary_.stopped = pass.ReadBlocks(
      [&](Product::Block& block) {
        const int result = reader_.ProcessBlock(block);
        NoteSegments(segmentsCounted);
        if (!reader_.SegmentDeselected) ok = EmitBlock(sink, block, result);
      },
      [&ok] { return ok; });
  summary_.consumed = pass.Consumed();
  summary_.percent = pass.Gauge().Percent();
  summary_.segmentsMet = reader_.SegmentCounter;
  for (int i = 0; i < reader_.SegmentCounter && i < SegmentTable::kMaxSegments; ++i)
    if (!reader_.SegmentNodes.Included(i)) ++summary_.segmentsLeftOut;
  // The sink ends the log while the reader still holds what it learnt of it.
  if (ok) ok = sink.EndLog();
  pass.Close();
  reader_.SelectedFieldIds = selection;
  if (!ok) return ReadingOutcome::SinkFailed;
  // A read error ends the blocks as the end of the log would: it must not
  // pass for one.
  if (pass.ReadFailed()) {
    hooks_.reportDetail(MessageKind::Error, kInputUnreadable,
                        SystemReason(settings_.InputFilename, pass.ReadError()));
    return ReadingOutcome::InputFailed;
  }
  if (!summary_.stopped) hooks_.progress(100);
  return ReadingOutcome::Completed;
}

// The block's paging messages, then its output records row by row, as the
// conversion writes them: a product with a row per receiver is asked which
// receivers have data.
bool ReadingRun::EmitBlock(ReadingSink& sink, const Product::Block& block, int result) {
  record_.Clear();
  reader_.CollectMessages(block, result, record_);
  if (!record_.messages.empty() && !Emit(sink, record_)) return false;
  if (!Rows(result)) return true;
  reader_.RemainingRecordCount = reader_.PendingRecordCount;
  for (; reader_.RemainingRecordCount > 0; --reader_.RemainingRecordCount) {
    ++summary_.records;
    for (int j = 1; j <= rowReceivers_; ++j) {
      if (rowReceivers_ > 1 && !reader_.ReceiverHasData(j)) continue;
      ++reader_.RecordCounter;
      record_.Clear();
      reader_.CollectReadings(record_);
      if (!Emit(sink, record_)) return false;
    }
  }
  return true;
}

bool ReadingRun::Emit(ReadingSink& sink, ReadingRecord& record) {
  record.segment = reader_.SegmentCounter;
  record.segmentType = reader_.SegmentType;
  summary_.readingsSeen += static_cast<int64_t>(record.readings.size());
  Reduce(record);
  if (record.readings.empty() && record.messages.empty()) return true;
  const auto kept = static_cast<int64_t>(record.readings.size());
  summary_.readings += kept;
  if (!record.position.fix) summary_.withoutFix += kept;
  summary_.messages += static_cast<int64_t>(record.messages.size());
  return sink.Take(record);
}

void ReadingRun::Reduce(ReadingRecord& record) {
  auto& readings = record.readings;
  const size_t before = readings.size();
  std::erase_if(readings, [this](const Reading& r) {
    return r.receiver < 1 || r.receiver > kReceivers ||
           !options_.receivers[static_cast<size_t>(r.receiver - 1)];
  });
  otherReceivers_ += static_cast<int64_t>(before - readings.size());
  if (options_.bestServer) KeepStrongest(record);
  if (options_.everySeconds <= 0 && options_.everyMetres <= 0) return;
  // One decision per receiver and record: a record's readings of a receiver
  // were measured at one time and place.
  std::array<int, kReceivers> decided{};  // 0 not yet, 1 kept, 2 thinned out
  const size_t kept = readings.size();
  std::erase_if(readings, [&](const Reading& r) {
    int& d = decided[static_cast<size_t>(r.receiver - 1)];
    if (d == 0) d = Thinned(record, r.receiver) ? 2 : 1;
    return d == 2;
  });
  thinnedOut_ += static_cast<int64_t>(kept - readings.size());
}

// The strongest reading of each receiver (the first of equal levels); a
// receiver without any level keeps its first reading.
void ReadingRun::KeepStrongest(ReadingRecord& record) {
  auto& readings = record.readings;
  std::array<int, kReceivers> best;
  best.fill(-1);
  for (size_t i = 0; i < readings.size(); ++i) {
    const Reading& r = readings[i];
    int& b = best[static_cast<size_t>(r.receiver - 1)];
    if (b < 0) {
      b = static_cast<int>(i);
      continue;
    }
    const Reading& current = readings[static_cast<size_t>(b)];
    if (r.hasRssi && (!current.hasRssi || r.rssiDbm > current.rssiDbm)) b = static_cast<int>(i);
  }
  size_t out = 0;
  for (size_t i = 0; i < readings.size(); ++i)
    if (best[static_cast<size_t>(readings[i].receiver - 1)] == static_cast<int>(i))
      readings[out++] = readings[i];
  readings.resize(out);
}

// A receiver's readings are kept when N seconds of the log's clock have
// passed (or the clock went back) or it has moved N metres since the last
// ones kept. Without a valid time, or without a fix, that cannot be told:
// such readings are left out.
bool ReadingRun::Thinned(const ReadingRecord& record, int receiver) {
  Kept& k = kept_[static_cast<size_t>(receiver - 1)];
  bool pass = true;
  if (options_.everySeconds > 0) {
    if (!record.time.valid) return true;
    const int64_t t = record.time.Seconds();
    pass = !k.any || t < k.seconds || static_cast<double>(t - k.seconds) >= options_.everySeconds;
  }
  if (options_.everyMetres > 0) {
    if (!record.position.fix) return true;
    pass = pass && (!k.any || !k.position.fix ||
                    DistanceMetres(k.position, record.position) >= options_.everyMetres);
  }
  if (!pass) return true;
  k.any = true;
  if (record.time.valid) k.seconds = record.time.Seconds();
  k.position = record.position;
  return false;
}

std::string ReadingRun::EmptyResultReason() const {
  const ReadingSummary& s = summary_;
  if (s.readings > 0 || s.messages > 0 || s.inputSize == 0) return {};
  std::string reason = "nothing written: ";
  if (s.stopped) {
    reason += "the run was stopped before the first reading";
  } else if (s.segmentsMet > 0 && s.segmentsLeftOut == s.segmentsMet) {
    reason += "every segment of the log is left out";
  } else if (s.records == 0) {
    reason += "the reader found no measurement record in it";
  } else if (s.readingsSeen == 0) {
    reason += "its measurement records hold no readings";
  } else if (otherReceivers_ == s.readingsSeen) {
    reason += "none of the chosen receivers has readings in this log";
  } else {
    reason +=
        "thinning left out every reading (readings without a valid time or a position "
        "fix cannot be thinned and are left out)";
  }
  const uint64_t skipped = reader_.Damage.resyncBytes;
  if (skipped > 0) reason += " (" + std::to_string(skipped) + " bytes skipped between records)";
  return reason;
}

}  // namespace morphel
